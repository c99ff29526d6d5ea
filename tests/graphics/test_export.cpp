// Picture files checked by independent programs: ImageMagick for the bitmaps, librsvg for SVG,
// poppler for PDF and printing, libwmf for WMF, and libuemf's record dump for EMF.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <uemf.h>
#include <uemf_print.h>
#include <uemf_safe.h>

#include "graphics/export.h"
#include "graphics/motion_curves.h"
#include "graphics/picture.h"

namespace {

const QString kText = QStringLiteral("Weg-Achse");
const QColor kFill(0, 160, 0);

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_graphics_export";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
}

// What a diagram draws: a frame, a clipped dashed polyline, a filled rectangle in the middle,
// a label.
void drawSample(QPainter& p, int w, int h, int rho) {
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(0, 0, w - 1, h - 1);
    p.save();
    p.setClipRect(QRect(w / 10, h / 10, w * 8 / 10, h * 8 / 10));
    p.setPen(QPen(Qt::blue, 0, Qt::DashLine));
    QPolygon curve;
    for (int x = 0; x <= w; x += rho * 5) curve << QPoint(x, h / 2 + (x * 7 % h) / 3);
    p.drawPolyline(curve);
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(kFill);
    p.drawRect(w * 2 / 5, h * 2 / 5, w / 5, h / 5);
    p.setPen(Qt::red);
    p.drawLine(0, h, w, 0);
    p.drawText(QPoint(w / 10, h / 20), kText);
}

graphics::ExportOptions options(int resolution = 0) {
    graphics::ExportOptions o;
    o.widthMm = 100;
    o.heightMm = 150;
    o.resolution = resolution;
    o.font = QFont(QStringLiteral("DejaVu Sans"), 10);
    return o;
}

// Runs a tool; its standard output, or a failure naming the tool when it is missing or fails.
QString run(const QString& program, const QStringList& args) {
    QProcess proc;
    proc.start(program, args);
    EXPECT_TRUE(proc.waitForFinished(60000)) << program.toStdString() << " did not run";
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0) << program.toStdString() << ": "
                                  << proc.readAllStandardError().toStdString();
    return QString::fromUtf8(proc.readAllStandardOutput());
}

QString pixelSize(const QString& file) {
    return run("identify", {"-format", "%w %h", file});
}

class Export : public testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        ASSERT_TRUE(dir.isValid());
    }
    QString write(const QString& name, int resolution = 0) {
        const QString path = dir.filePath(name);
        const auto msg = graphics::exportPicture(path, drawSample, options(resolution), 96);
        EXPECT_FALSE(msg) << msg->text;
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(Export, BitmapsHaveTheSizeOfTheResolutionAndTheDrawing) {
    // 100 × 150 mm at 96, 180 and 300 dpi, rounded to whole pixels.
    const struct {
        const char* name;
        int resolution;
        const char* size;
    } cases[] = {
        {"screen.bmp", 0, "378 567"}, {"mixed.Bmp", 1, "709 1063"}, {"fine.png", 2, "1181 1772"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(c.name, c.resolution);
        EXPECT_EQ(pixelSize(path), c.size);
        const QImage image(path);
        EXPECT_EQ(image.pixelColor(image.width() * 9 / 20, image.height() * 9 / 20).name(),
                  kFill.name());
    }
}

TEST_F(Export, SvgIsSizedInMillimetres) {
    const QString path = write("pic.svg");
    const QString png = dir.filePath("svg.png");
    run("rsvg-convert", {"-d", "254", "-p", "254", "-o", png, path});
    EXPECT_EQ(pixelSize(png), "1000 1500");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains(kText.toUtf8()));
}

TEST_F(Export, PdfPageIsTheDrawing) {
    // Portrait and landscape pages; the writer keeps page sizes in whole points.
    for (const QSize mm : {QSize(100, 150), QSize(200, 141)}) {
        graphics::ExportOptions o = options();
        o.widthMm = mm.width();
        o.heightMm = mm.height();
        const QString path = dir.filePath("pic.PDF");
        ASSERT_FALSE(graphics::exportPicture(path, drawSample, o, 96));
        run("pdftoppm", {"-r", "20", "-png", "-singlefile", path, dir.filePath("pdf")});
        const QString info = run("pdfinfo", {path});
        const QRegularExpressionMatch m =
            QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)").match(info);
        ASSERT_TRUE(m.hasMatch()) << info.toStdString();
        EXPECT_NEAR(QLocale::c().toDouble(m.captured(1)), mm.width() * 72 / 25.4, 0.5);
        EXPECT_NEAR(QLocale::c().toDouble(m.captured(2)), mm.height() * 72 / 25.4, 0.5);
        EXPECT_TRUE(run("pdftotext", {path, "-"}).contains(kText));
    }
}

TEST_F(Export, WmfIsReadByLibwmf) {
    const QString path = write("pic.wmf");
    const QString svg = dir.filePath("wmf.svg");
    run("wmf2svg", {"-o", svg, path});
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray out = f.readAll();
    EXPECT_TRUE(out.contains(kText.toLatin1())) << out.left(2000).toStdString();
    EXPECT_TRUE(out.contains("polyline") || out.contains("<line")) << out.left(2000).toStdString();
    // The dashed pen keeps its style.
    EXPECT_TRUE(
        QString::fromLatin1(out).contains(QRegularExpression("stroke-dasharray:\\s*[1-9]")));
}

// A WMF wider than 16-bit coordinates in 0.1 mm reach (tervana-cli plot --size 20000x1000) had
// every coordinate clamped to 32767: its right part collapsed onto the border. The header keeps
// the true size within the 16 bits, and libwmf draws the middle rectangle in the middle.
TEST_F(Export, WideWmfIsScaledIntoSixteenBitsNotClipped) {
    graphics::ExportOptions wide = options();
    wide.widthMm = static_cast<int>(std::lround(20000 * 25.4 / 96)); // 20000 pixels at 96 dpi
    wide.heightMm = static_cast<int>(std::lround(1000 * 25.4 / 96));
    const QString path = dir.filePath("wide.wmf");
    ASSERT_FALSE(graphics::exportPicture(path, drawSample, wide, 96));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(16);
    ASSERT_EQ(head.size(), 16);
    const auto word = [&](int i) {
        return static_cast<uint8_t>(head[i]) | static_cast<uint8_t>(head[i + 1]) << 8;
    };
    const int right = word(10), bottom = word(12), inch = word(14);
    EXPECT_LE(right, 32767);
    EXPECT_GT(right, 30000); // the coarser unit still uses the range
    ASSERT_GT(inch, 0);
    EXPECT_NEAR(right * 25.4 / inch, wide.widthMm, 1.0);
    EXPECT_NEAR(bottom * 25.4 / inch, wide.heightMm, 1.0);

    const QString svg = dir.filePath("wide.svg");
    run("wmf2svg", {"-o", svg, path});
    QFile out(svg);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(out.readAll());
    const auto number = [&](const QString& pattern) {
        const auto m = QRegularExpression(pattern).match(text);
        EXPECT_TRUE(m.hasMatch()) << pattern.toStdString();
        return QLocale::c().toDouble(m.captured(1));
    };
    const double width = number(R"re(<svg width="([0-9.]+)")re");
    // The filled rectangle (green; the background is white) spans 2/5 .. 3/5 of the width.
    const auto fill = QRegularExpression(
        R"re(<rect x="([0-9.]+)" y="[0-9.]+" width="([0-9.]+)"[^>]*fill:(?!white|none))re");
    const auto m = fill.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.left(3000).toStdString();
    const double x = QLocale::c().toDouble(m.captured(1)), w = QLocale::c().toDouble(m.captured(2));
    EXPECT_NEAR((x + w / 2) / width, 0.5, 0.02);
    EXPECT_NEAR(w / width, 0.2, 0.02);
}

// Walks the records as libuemf's safety check and dump see them.
TEST_F(Export, EmfRecordsAreWholeAndCounted) {
    const QString path = write("pic.emf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray data = f.readAll();
    ASSERT_GE(data.size(), static_cast<qsizetype>(sizeof(U_EMRHEADER)));
    U_EMRHEADER head;
    std::memcpy(&head, data.constData(), sizeof head);
    EXPECT_EQ(head.emr.iType, static_cast<uint32_t>(U_EMR_HEADER));
    EXPECT_EQ(head.dSignature, static_cast<uint32_t>(U_ENHMETA_SIGNATURE));
    EXPECT_EQ(head.nBytes, static_cast<uint32_t>(data.size()));
    EXPECT_EQ(head.rclFrame.right - head.rclFrame.left, 10000);
    EXPECT_EQ(head.rclFrame.bottom - head.rclFrame.top, 15000);
    const auto* desc = reinterpret_cast<const char16_t*>(data.constData() + head.offDescription);
    EXPECT_EQ(QString::fromUtf16(desc, head.nDescription),
              QStringLiteral("Tervana") + QChar(0) + "Diagramm" + QChar(0) + QChar(0));

    // The dump goes to standard output; catch it in a file.
    const QByteArray dumpName = dir.filePath("emf.txt").toLocal8Bit();
    std::fflush(stdout);
    const int saved = dup(1);
    FILE* dump = std::fopen(dumpName.constData(), "w");
    ASSERT_NE(dump, nullptr);
    dup2(fileno(dump), 1);
    uint32_t records = 0, offset = 0, last = 0;
    int fontHeight = 0;
    bool clip = false;
    while (offset < static_cast<uint32_t>(data.size())) {
        const char* rec = data.constData() + offset;
        const auto* emr = reinterpret_cast<const U_EMR*>(rec);
        if (emr->nSize < 8 || emr->nSize % 4 != 0 || !U_emf_record_safe(rec)) break;
        if (U_emf_onerec_print(data.constData(), data.data() + data.size(), records, offset) < 0)
            break;
        if (emr->iType == U_EMR_EXTCREATEFONTINDIRECTW)
            fontHeight =
                reinterpret_cast<const U_EMREXTCREATEFONTINDIRECTW*>(rec)->elfw.elfLogFont.lfHeight;
        clip |= emr->iType == U_EMR_INTERSECTCLIPRECT;
        last = emr->iType;
        offset += emr->nSize;
        ++records;
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::fclose(dump);
    EXPECT_EQ(offset, static_cast<uint32_t>(data.size()));
    EXPECT_EQ(records, head.nRecords);
    EXPECT_EQ(last, static_cast<uint32_t>(U_EMR_EOF));
    EXPECT_TRUE(clip);
    // 10 pt is 3.53 mm: 35 units of 0.1 mm.
    EXPECT_EQ(fontHeight, -35);
    QFile text(QString::fromLocal8Bit(dumpName));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QByteArray printed = text.readAll();
    EXPECT_TRUE(printed.contains(kText.toUtf8())) << printed.left(3000).toStdString();
}

// The jerk curve of a PDF was traced at one point per millimetre: a curve of many harmonics
// came out angular with its peaks cut. s = sin(24 phi + 0.3) / 24³ has the jerk
// -cos(24 phi + 0.3) per radian; drawn by poppler, the curve reaches every peak within 1 %
// and never goes beyond. The legend names the motion and a second one without a short name.
TEST_F(Export, PdfCurveReachesEveryPeakOfAJerkOfManyHarmonics) {
    constexpr int k = 24;
    constexpr double phase = 0.3, pi = 3.14159265358979323846;
    model::Node motion(std::make_unique<model::THSHeader>()),
        other(std::make_unique<model::THSHeader>());
    auto& h = *motion.as<model::THSHeader>();
    h.ShortName = "Greifer";
    h.sSC.ReSize(2 * k + 2);
    h.sSC.set(2 * k, std::cos(phase) / (k * k * k));
    h.sSC.set(2 * k + 1, std::sin(phase) / (k * k * k));
    h.HasResults = h.ResultsCurrent = true;
    other.obj().IPar[2] = 2;
    other.obj().UpdateCaption();
    graphics::Picture pic;
    pic.choose({false, false, false, true, false});
    pic.members = {&motion, &other};
    graphics::TAxis& y = pic.diagrams[0].yAxis;
    y.autoRange = false;
    y.requestedMin = -1.5;
    y.requestedMax = 1.5;
    const QString path = dir.filePath("jerk.pdf");
    ASSERT_FALSE(graphics::exportPicture(
        path,
        [&pic](QPainter& p, int w, int h, int rho) { graphics::drawPicture(p, w, h, pic, rho); },
        options(), 96));
    const QString text = run("pdftotext", {path, "-"});
    EXPECT_TRUE(text.contains("Greifer") && text.contains("Bewegungsvorgabe (abs) 2"));
    // At 254 dpi a pixel is a unit of the layout (0.1 mm): the curve's pixels in the frame.
    run("pdftoppm",
        {"-r", "254", "-aaVector", "no", "-png", "-singlefile", path, dir.filePath("jerk")});
    const QImage image(dir.filePath("jerk.png"));
    const QColor colour = graphics::motionColours(h, 0).s;
    std::vector<std::pair<double, double>> points; // (phi, jerk)
    const QRect frame = pic.diagrams[0].area.adjusted(1, 1, -1, -1);
    for (int py = frame.top(); py <= frame.bottom(); ++py)
        for (int px = frame.left(); px <= frame.right(); ++px) {
            const QColor c = image.pixelColor(px, py);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                points.emplace_back(pic.diagrams[0].xAxis.UnScale(px), y.UnScale(py));
        }
    ASSERT_FALSE(points.empty());
    const double tol = 0.01;
    for (const auto& [phi, v] : points) ASSERT_LE(std::fabs(v), 1.0 + tol) << phi;
    // Maxima at k phi + phase = (2j + 1) pi, minima at 2j pi; a quarter period around each.
    for (int j = 0; j <= 2 * k; ++j) {
        const double peak = (j * pi - phase) / k * 180.0 / pi;
        if (peak < 5.0 || peak > 355.0) continue;
        double reached = -2.0;
        for (const auto& [phi, v] : points)
            if (std::fabs(phi - peak) < 90.0 / k) reached = std::max(reached, j % 2 == 1 ? v : -v);
        EXPECT_GE(reached, 1.0 - tol) << "peak at " << peak;
    }
}

TEST_F(Export, FailuresWriteNothing) {
    const auto msg = graphics::exportPicture(dir.filePath("pic.jpg"), drawSample, options(), 96);
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->text, "Unbekanntes Format: .jpg\rDie Grafik wurde nicht gesichert.");
    const QString missing = dir.filePath("no/such/pic.bmp");
    const auto fail = graphics::exportPicture(missing, drawSample, options(), 96);
    ASSERT_TRUE(fail);
    EXPECT_EQ(fail->text, "Fehler beim Schreiben der Datei\r" + missing.toStdString());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(Export, ClipboardHoldsBitmapSvgAndEmf) {
    std::unique_ptr<QMimeData> data(graphics::pictureMimeData(drawSample, options(1), 96));
    const QImage image = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(image.size(), QSize(709, 1063));
    EXPECT_TRUE(data->data("image/svg+xml").contains("<svg"));
    const QByteArray emf = data->data("image/x-emf");
    ASSERT_GE(emf.size(), 8);
    EXPECT_EQ(reinterpret_cast<const U_EMR*>(emf.constData())->iType,
              static_cast<uint32_t>(U_EMR_HEADER));
}

TEST_F(Export, PrintsOnePageInTheOrientationAndRestoresIt) {
    for (bool landscape : {true, false}) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(dir.filePath("print.pdf"));
        ASSERT_FALSE(graphics::printPicture(printer, drawSample, landscape, options().font));
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
        run("pdftoppm",
            {"-r", "10", "-png", "-singlefile", dir.filePath("print.pdf"), dir.filePath("print")});
        const QImage page(dir.filePath("print.png"));
        EXPECT_EQ(page.width() > page.height(), landscape);
        EXPECT_TRUE(run("pdftotext", {dir.filePath("print.pdf"), "-"}).contains(kText));
    }
    QPrinter broken;
    broken.setOutputFormat(QPrinter::PdfFormat);
    broken.setOutputFileName(dir.filePath("no/such/print.pdf"));
    const auto msg = graphics::printPicture(broken, drawSample, false, QFont());
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->text, "Der Druck konnte nicht gestartet werden.");
}

} // namespace
