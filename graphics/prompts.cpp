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

namespace {

QString runFileDialog(QWidget* parent, FileRequest& r, bool save) {
    QFileDialog dialog(parent, r.title, r.directory);
    dialog.setNameFilters(r.filters);
    if (r.filterIndex >= 0 && r.filterIndex < r.filters.size())
        dialog.selectNameFilter(r.filters[r.filterIndex]);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!r.presetName.isEmpty()) dialog.selectFile(r.presetName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    r.filterIndex = std::max<int>(0, r.filters.indexOf(dialog.selectedNameFilter()));
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
