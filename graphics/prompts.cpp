#include "graphics/prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTranslator>
#include <QUrl>

namespace graphics {

bool loadQtGermanCatalogue(QTranslator& translator) {
    if (!translator.load(QStringLiteral("qtbase_de"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QString dialogText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}

Answer DialogPrompts::message(QWidget* parent, const model::Message& m, Buttons buttons) {
    QMessageBox box(parent);
    switch (m.kind) {
    case model::MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(QStringLiteral("Fehler"));
        break;
    case model::MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Warnung"));
        break;
    case model::MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Information"));
        break;
    case model::MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle(QStringLiteral("Bestätigen"));
        break;
    }
    box.setText(dialogText(m.text));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Yes/No questions ask before something is given up (unsaved changes, a running
        // calculation, an object): Enter answers No, as Escape does.
        box.setDefaultButton(QMessageBox::No);
        break;
    case Buttons::YesNoAbort:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort);
        break;
    case Buttons::Abort:
        box.setStandardButtons(QMessageBox::Abort);
        break;
    case Buttons::Cancel:
        box.setStandardButtons(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        // Escape on a Yes/No question counts as No.
        return buttons == Buttons::Ok           ? Answer::Ok
               : buttons == Buttons::YesNoAbort ? Answer::Abort
                                                : Answer::No;
    }
}

QString suffixForFilter(const FileRequest& request, int index) {
    if (index < 0 || index >= request.filters.size()) return request.defaultSuffix;
    // The first pattern of "Text (*.ext *.other)", when it names one extension.
    const QString& filter = request.filters[index];
    const qsizetype open = filter.lastIndexOf(u'(');
    const QString patterns = open < 0 ? filter : filter.mid(open + 1).chopped(1);
    const QString first = patterns.section(u' ', 0, 0, QString::SectionSkipEmpty);
    const QString suffix = first.startsWith(QStringLiteral("*.")) ? first.mid(2) : QString();
    const bool plain = !suffix.isEmpty() && !suffix.contains(u'*') && !suffix.contains(u'?');
    return plain ? suffix : request.defaultSuffix;
}

namespace {

QString runFileDialog(QWidget* parent, FileRequest& r, bool save) {
    QFileDialog dialog(parent, r.title, r.directory);
    dialog.setNameFilters(r.filters);
    if (r.filterIndex >= 0 && r.filterIndex < r.filters.size())
        dialog.selectNameFilter(dialog.nameFilters().value(r.filterIndex));
    dialog.setDefaultSuffix(suffixForFilter(r, r.filterIndex));
    // The extension follows the filter, so that the overwrite question sees the real name. The
    // dialog reports a filter as it keeps it (blanks simplified): found by its position.
    const auto indexOf = [&dialog](const QString& filter) {
        return static_cast<int>(dialog.nameFilters().indexOf(filter));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(suffixForFilter(r, indexOf(filter)));
    });
    if (save) {
        // Qt's own dialog: a platform's may ask about the name before the extension is added.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!r.presetName.isEmpty()) dialog.selectFile(r.presetName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    r.filterIndex = std::max(0, indexOf(dialog.selectedNameFilter()));
    return dialog.selectedFiles().first();
}

} // namespace

QString DialogPrompts::openFile(QWidget* parent, FileRequest& request) {
    return runFileDialog(parent, request, false);
}

QString DialogPrompts::saveFile(QWidget* parent, FileRequest& request) {
    return runFileDialog(parent, request, true);
}

bool DialogPrompts::exec(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

bool DialogPrompts::printerSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Drucker einrichten"));
    return dialog.exec() == QDialog::Accepted;
}

bool DialogPrompts::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QColor DialogPrompts::chooseColor(QWidget* parent, const QColor& initial) {
    return QColorDialog::getColor(initial, parent);
}

} // namespace graphics
