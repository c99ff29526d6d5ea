// "Report": the window showing a project's report, read-only, tabs kept and lines not wrapped. It
// prints and saves it as PDF with the page header on every page, saves the RTF lines and copies
// the selection (with the whole report as RTF).
#pragma once

#include <QString>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenuBar;
class QPagedPaintDevice;
class QPrinter;
class QTextDocument;

namespace graphics {

class Prompts;
struct FileRequest;

// What the report window gets from outside.
struct ReportServices {
    Prompts* prompts = nullptr;
    std::function<QPrinter*()> printer; // none: printing is disabled
    std::function<void()> showMainWindow;
};

// Lays out document page by page on device with the page header at the top of each page: the text
// before a tab at the left, after it at the right, underlined. The number of pages painted (0
// when the device cannot be painted on).
int paintPages(QPagedPaintDevice& device, const QTextDocument& document, const QString& header);

// The report's text as shown: a QTextEdit whose copies also carry the whole report as RTF.
class ReportText : public QTextEdit {
    Q_OBJECT
public:
    explicit ReportText(QWidget* parent = nullptr);
    QByteArray rtf;

protected:
    QMimeData* createMimeDataFromSelection() const override;
};

class TRTFReport : public QWidget {
    Q_OBJECT
public:
    explicit TRTFReport(ReportServices& services, QWidget* parent = nullptr);
    ~TRTFReport() override;

    // New content: caption "Report " + projectName; the scroll position is kept.
    void setReport(const QString& projectName, const std::vector<std::string>& rtfLines,
                   const QString& date);
    // The project's file: the name "Sichern unter..." proposes (without its extension).
    void setProjectFile(const QString& path) { projectFile_ = path; }

    const std::vector<std::string>& lines() const { return lines_; }
    QString pageHeader() const { return pageHeader_; }
    // The file text of the lines: each ended by CR LF.
    QByteArray rtfBytes() const;

    // Commands of the menu.
    void print();
    void saveAs();
    void copy();
    void savePdf();
    // Writes the report as PDF; false (and a message) when it cannot be written.
    bool writePdf(const QString& path);

    ReportText* Text = nullptr;
    QMenuBar* Menu = nullptr;
    QAction *MainWindowItem = nullptr, *PrintItem = nullptr, *SaveItem = nullptr,
            *CopyItem = nullptr, *PdfItem = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A save dialog in the project file's folder, preset with its name (+ presetExtension).
    FileRequest besideProject(const QString& title, const QString& filter, const QString& suffix,
                              const QString& presetExtension) const;
    ReportServices& services_;
    std::vector<std::string> lines_;
    QTextDocument* document_ = nullptr; // a child of Text, which shows it
    QString projectName_, projectFile_, date_, pageHeader_;
};

} // namespace graphics
