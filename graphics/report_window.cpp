#include "graphics/report_window.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "graphics/prompts.h"
#include "graphics/rtf_reader.h"

namespace graphics {

namespace {

model::Message writeError(const QString& path) {
    return model::errorMessage("Fehler beim Schreiben der Datei\r" +
                               QDir::toNativeSeparators(path).toStdString());
}

} // namespace

int paintPages(QPagedPaintDevice& device, const QTextDocument& document, const QString& header) {
    QPainter painter(&device);
    if (!painter.isActive()) return 0;
    // The document's pixels are those of the screen; the device is scaled to them.
    const double scale = device.logicalDpiY() / twipsToPixels(1440);
    QFont headerFont(QStringLiteral("Arial"), 8);
    headerFont.setBold(true);
    headerFont.setItalic(true);
    headerFont.setUnderline(true);
    const QFontMetricsF metrics(headerFont, &device);
    const double headerHeight = 2.5 * metrics.height();
    const double width = device.width() / scale;
    const double bodyHeight = (device.height() - headerHeight) / scale;
    if (width <= 1 || bodyHeight <= 1) return 0;

    std::unique_ptr<QTextDocument> pages(document.clone());
    QTextOption option = pages->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    pages->setDefaultTextOption(option);
    pages->setPageSize(QSizeF(width, bodyHeight));
    const int count = std::max(1, pages->pageCount());
    const QString left = header.section(u'\t', 0, 0);
    const QString right = header.section(u'\t', 1);
    for (int page = 0; page < count; ++page) {
        if (page > 0) device.newPage();
        painter.save();
        painter.setFont(headerFont);
        const QRectF line(0, 0, device.width(), metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, left);
        painter.drawText(line, Qt::AlignRight | Qt::AlignTop, right);
        painter.translate(0, headerHeight);
        painter.scale(scale, scale);
        painter.translate(0, -page * bodyHeight);
        pages->drawContents(&painter, QRectF(0, page * bodyHeight, width, bodyHeight));
        painter.restore();
    }
    return count;
}

ReportText::ReportText(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

QMimeData* ReportText::createMimeDataFromSelection() const {
    QMimeData* data = QTextEdit::createMimeDataFromSelection();
    if (!rtf.isEmpty()) {
        data->setData(QStringLiteral("text/rtf"), rtf);
        data->setData(QStringLiteral("application/rtf"), rtf);
    }
    return data;
}

TRTFReport::TRTFReport(ReportServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Menu = new QMenuBar(this);
    layout->setMenuBar(Menu);
    Text = new ReportText(this);
    layout->addWidget(Text);

    MainWindowItem = Menu->addAction(QStringLiteral("Hauptfenster"), this, [this] {
        if (services_.showMainWindow) services_.showMainWindow();
    });
    PrintItem = Menu->addAction(QStringLiteral("Drucken"), this, &TRTFReport::print);
    SaveItem = Menu->addAction(QStringLiteral("Sichern unter..."), this, &TRTFReport::saveAs);
    PdfItem = Menu->addAction(QStringLiteral("Als PDF sichern"), this, &TRTFReport::savePdf);
    CopyItem = Menu->addAction(QStringLiteral("Kopieren"), this, &TRTFReport::copy);
    CopyItem->setShortcut(QKeySequence::Copy);
    CopyItem->setEnabled(false);
    connect(Text, &QTextEdit::copyAvailable, CopyItem, &QAction::setEnabled);
    PrintItem->setEnabled(services_.printer && services_.printer() != nullptr);
    resize(720, 560);
}

TRTFReport::~TRTFReport() = default;

void TRTFReport::showEvent(QShowEvent* event) {
    PrintItem->setEnabled(services_.printer && services_.printer() != nullptr);
    QWidget::showEvent(event);
}

QByteArray TRTFReport::rtfBytes() const {
    QByteArray bytes;
    for (const std::string& line : lines_) {
        bytes.append(line.data(), static_cast<qsizetype>(line.size()));
        bytes.append("\r\n");
    }
    return bytes;
}

void TRTFReport::setReport(const QString& projectName, const std::vector<std::string>& rtfLines,
                           const QString& date) {
    projectName_ = projectName;
    date_ = date;
    lines_ = rtfLines;
    setWindowTitle(QStringLiteral("Report ") + projectName);
    const QByteArray bytes = rtfBytes();
    RtfDocument read = readRtf(bytes, QLocale::system().decimalPoint().front());
    pageHeader_ = read.pageHeader.isEmpty() ? projectName + u'\t' + date : read.pageHeader;

    const int h = Text->horizontalScrollBar()->value();
    const int v = Text->verticalScrollBar()->value();
    Text->rtf = bytes;
    QTextDocument* old = document_;
    document_ = read.document.release();
    document_->setParent(Text);
    Text->setDocument(document_);
    Text->setLineWrapMode(QTextEdit::NoWrap);
    delete old; // only now that it is no longer shown
    auto restore = [this, h, v] {
        Text->horizontalScrollBar()->setValue(h);
        Text->verticalScrollBar()->setValue(v);
    };
    document_->documentLayout()->documentSize(); // lays out, so that the ranges are known
    restore();
    QTimer::singleShot(0, this, restore);
}

void TRTFReport::print() {
    QPrinter* printer = services_.printer ? services_.printer() : nullptr;
    if (printer == nullptr || document_ == nullptr) return;
    if (services_.prompts != nullptr && !services_.prompts->printerSetup(this, *printer)) return;
    printer->setDocName(QStringLiteral("Tervana-Report: ") + projectName_);
    if (paintPages(*printer, *document_, pageHeader_) == 0 && services_.prompts != nullptr)
        (void)services_.prompts->message(
            this, model::errorMessage("Der Report konnte nicht gedruckt werden."), Buttons::Ok);
}

FileRequest TRTFReport::besideProject(const QString& title, const QString& filter,
                                      const QString& suffix, const QString& presetExtension) const {
    FileRequest request;
    request.title = title;
    request.filters = {filter};
    request.defaultSuffix = suffix;
    if (!projectFile_.isEmpty()) {
        const QFileInfo info(projectFile_);
        request.directory = info.absolutePath();
        request.presetName = info.absolutePath() + u'/' + info.completeBaseName() + presetExtension;
    }
    return request;
}

void TRTFReport::saveAs() {
    if (services_.prompts == nullptr) return;
    FileRequest request =
        besideProject(QStringLiteral("Report sichern"), QStringLiteral("RTF-Datei (*.rtf)"),
                      QStringLiteral("rtf"), QString());
    const QString path = services_.prompts->saveFile(this, request);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().compare(u"rtf", Qt::CaseInsensitive) != 0) {
        const model::Message question{"Der Report wird unabhängig vom gewählten Dateiname\rim "
                                      "Rich Text Format gespeichert. Fortfahren?",
                                      model::MessageKind::Warning};
        if (services_.prompts->message(this, question, Buttons::YesNo) != Answer::Yes) return;
    }
    const QByteArray bytes = rtfBytes();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        (void)services_.prompts->message(this, writeError(path), Buttons::Ok);
}

void TRTFReport::copy() {
    Text->copy();
}

bool TRTFReport::writePdf(const QString& path) {
    if (document_ == nullptr) return false;
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Tervana-Report: ") + projectName_);
        pdf.setCreator(QStringLiteral("Tervana"));
        ok = paintPages(pdf, *document_, pageHeader_) > 0;
    }
    ok = ok && file.commit();
    if (!ok && services_.prompts != nullptr)
        (void)services_.prompts->message(this, writeError(path), Buttons::Ok);
    return ok;
}

void TRTFReport::savePdf() {
    if (services_.prompts == nullptr) return;
    FileRequest request =
        besideProject(QStringLiteral("Report als PDF sichern"), QStringLiteral("PDF-Datei (*.pdf)"),
                      QStringLiteral("pdf"), QStringLiteral(".pdf"));
    const QString path = services_.prompts->saveFile(this, request);
    if (!path.isEmpty()) (void)writePdf(path);
}

} // namespace graphics
