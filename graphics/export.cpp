#include "graphics/export.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

#include "graphics/metafile.h"

namespace graphics {

namespace {

// Metafiles and vector files are laid out in tenths of a millimetre, and their curves traced at
// one point per unit, the resolution of the output (ten units per point left a curve of many
// harmonics angular and cut its peaks).
constexpr int unitsPerMm = 10;
constexpr int vectorRho = 1;

double bitmapFactor(int resolution, double screenPpi) {
    switch (resolution) {
    case 1:
        return 180.0 / screenPpi;
    case 2:
        return 300.0 / screenPpi;
    default:
        return 1.0;
    }
}

// The font with its size multiplied by factor; a font given in pixels keeps its unit.
QFont scaledFont(QFont font, double factor, bool rounded) {
    auto scale = [&](double v) {
        return rounded ? std::round(v * factor) : std::trunc(v * factor);
    };
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(scale(font.pixelSize()))));
    else
        font.setPointSizeF(std::max(1.0, scale(font.pointSizeF())));
    return font;
}

// The bitmap: screen pixels per millimetre times the resolution factor, the font scaled alike
// (the image reports screen dpi while drawing, so point sizes give screen pixels), rho 1. The
// saved image carries its true resolution.
QImage bitmap(const DrawFn& draw, const ExportOptions& o, double screenPpi) {
    const double f = bitmapFactor(o.resolution, screenPpi);
    const double p = screenPpi / 25.4;
    const int w = static_cast<int>(std::lround(o.widthMm * p * f));
    const int h = static_cast<int>(std::lround(o.heightMm * p * f));
    QImage image(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto dpm = [](double dpi) { return static_cast<int>(std::lround(dpi / 0.0254)); };
    image.setDotsPerMeterX(dpm(screenPpi));
    image.setDotsPerMeterY(dpm(screenPpi));
    {
        QPainter painter(&image);
        painter.setFont(scaledFont(o.font, f, true));
        draw(painter, image.width(), image.height(), 1);
    }
    image.setDotsPerMeterX(dpm(screenPpi * f));
    image.setDotsPerMeterY(dpm(screenPpi * f));
    return image;
}

// The units per inch of a metafile: 0.1 mm; a WMF, whose coordinates are 16-bit, larger than
// 3276.7 mm on a side takes a coarser unit, so that its largest coordinate stays within 32767.
double metafileUnitsPerInch(MetafileKind kind, const ExportOptions& o) {
    const double fine = 25.4 * unitsPerMm;
    if (kind != MetafileKind::Wmf) return fine;
    const double longest = std::max({o.widthMm, o.heightMm, 1});
    return std::clamp(std::floor(32767.0 * 25.4 / longest), 1.0, fine);
}

// The metafile: units as above, the screen as reference device for the font, whose size is
// converted so that it keeps its printed height.
QByteArray metafile(MetafileKind kind, const DrawFn& draw, const ExportOptions& o,
                    double screenPpi) {
    const double perInch = metafileUnitsPerInch(kind, o);
    const auto units = [perInch](int mm) {
        return std::max(1, static_cast<int>(std::lround(mm * perInch / 25.4)));
    };
    const int w = units(o.widthMm), h = units(o.heightMm);
    MetafileDevice device(kind, w, h, o.widthMm, o.heightMm, screenPpi);
    {
        QPainter painter(&device);
        painter.setFont(scaledFont(o.font, perInch / screenPpi, false));
        draw(painter, w, h, vectorRho);
    }
    return device.bytes();
}

QByteArray svg(const DrawFn& draw, const ExportOptions& o) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const int w = o.widthMm * unitsPerMm, h = o.heightMm * unitsPerMm;
    QSvgGenerator gen;
    gen.setOutputDevice(&buffer);
    gen.setResolution(static_cast<int>(std::lround(25.4 * unitsPerMm)));
    gen.setSize(QSize(w, h));
    gen.setViewBox(QRect(0, 0, w, h));
    gen.setTitle(QStringLiteral("Diagramm"));
    gen.setDescription(QStringLiteral("Tervana"));
    {
        QPainter painter(&gen);
        painter.setFont(o.font);
        draw(painter, w, h, vectorRho);
    }
    return buffer.data();
}

QByteArray pdf(const DrawFn& draw, const ExportOptions& o) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Tervana"));
        writer.setTitle(QStringLiteral("Diagramm"));
        writer.setResolution(static_cast<int>(std::lround(25.4 * unitsPerMm)));
        writer.setPageLayout(
            QPageLayout(QPageSize(QSizeF(o.widthMm, o.heightMm), QPageSize::Millimeter),
                        QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&writer);
        painter.setFont(o.font);
        draw(painter, writer.width(), writer.height(), vectorRho);
    }
    return buffer.data();
}

QByteArray imageBytes(const QImage& image, const char* format) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

// Written through a temporary file renamed at the end: the file is whole or untouched.
std::optional<model::Message> writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.commit())
        return model::errorMessage("Fehler beim Schreiben der Datei\r" +
                                   QDir::toNativeSeparators(path).toStdString());
    return std::nullopt;
}

} // namespace

std::optional<model::Message> exportPicture(const QString& path, const DrawFn& draw,
                                            const ExportOptions& options, double screenPpi) {
    const QString suffix = QFileInfo(path).suffix();
    const QString extension = suffix.isEmpty() ? QString() : "." + suffix;
    const QString upper = extension.toUpper();
    QByteArray bytes;
    if (upper == ".BMP")
        bytes = imageBytes(bitmap(draw, options, screenPpi), "BMP");
    else if (upper == ".PNG")
        bytes = imageBytes(bitmap(draw, options, screenPpi), "PNG");
    else if (upper == ".EMF")
        bytes = metafile(MetafileKind::Emf, draw, options, screenPpi);
    else if (upper == ".WMF")
        bytes = metafile(MetafileKind::Wmf, draw, options, screenPpi);
    else if (upper == ".SVG")
        bytes = svg(draw, options);
    else if (upper == ".PDF")
        bytes = pdf(draw, options);
    else
        return model::errorMessage("Unbekanntes Format: " + extension.toStdString() +
                                   "\rDie Grafik wurde nicht gesichert.");
    return writeWhole(path, bytes);
}

QMimeData* pictureMimeData(const DrawFn& draw, const ExportOptions& options, double screenPpi) {
    auto* data = new QMimeData;
    data->setImageData(bitmap(draw, options, screenPpi));
    data->setData(QStringLiteral("image/svg+xml"), svg(draw, options));
    const QByteArray emf = metafile(MetafileKind::Emf, draw, options, screenPpi);
    data->setData(QStringLiteral("image/x-emf"), emf);
    data->setData(QStringLiteral("application/x-qt-windows-mime;value=\"Enhanced Metafile\""), emf);
    return data;
}

std::optional<model::Message> printPicture(QPrinter& printer, const DrawFn& draw, bool landscape,
                                           const QFont& font) {
    const QPageLayout::Orientation previous = printer.pageLayout().orientation();
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    std::optional<model::Message> result;
    QPainter painter;
    if (painter.begin(&printer)) {
        painter.setFont(font);
        draw(painter, printer.width(), printer.height(), 2);
        if (!painter.end())
            result = model::errorMessage("Der Druck konnte nicht abgeschlossen werden.");
    } else {
        result = model::errorMessage("Der Druck konnte nicht gestartet werden.");
    }
    printer.setPageOrientation(previous);
    return result;
}

} // namespace graphics
