// The modal questions and file dialogs of the windows, behind one small interface: the
// program shows real dialogs, the tests answer them from a script without blocking.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include "model/message.h"

class QDialog;
class QPrinter;
class QTranslator;
class QUrl;
class QWidget;

namespace graphics {

enum class Buttons { Ok, YesNo, YesNoAbort, Abort, Cancel };
enum class Answer { Ok, Yes, No, Abort, Cancel };

struct FileRequest {
    QString title;
    QString directory;     // starting directory
    QString presetName;    // name in the edit field (save dialogs), may be a full path
    QStringList filters;   // "Projektdatei (*.k4p)", ...
    int filterIndex = 0;   // preselected filter; on return the one in use
    QString defaultSuffix; // for a filter without an extension of its own ("alle Dateien (*.*)")
};

// The extension a name without one gets, inside the dialog and so before its overwrite question,
// while filter index is chosen: the filter's own ("Windows Bitmap (*.bmp)": "bmp"), else the
// request's defaultSuffix.
QString suffixForFilter(const FileRequest& request, int index);

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message dialog of the message's kind; "\r" in the text is a line break. In a Yes/No
    // question No is the default button.
    virtual Answer message(QWidget* parent, const model::Message& m, Buttons buttons) = 0;
    // An existing file to open, or empty when cancelled.
    virtual QString openFile(QWidget* parent, FileRequest& request) = 0;
    // A file to write, or empty when cancelled. A name without extension takes the one of the
    // filter chosen (suffixForFilter), and the dialog asks before that file is overwritten.
    virtual QString saveFile(QWidget* parent, FileRequest& request) = 0;
    // Runs a dialog modally; true when it was accepted.
    virtual bool exec(QDialog& dialog) = 0;
    virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // The full colour dialog; an invalid colour when cancelled.
    virtual QColor chooseColor(QWidget* parent, const QColor& initial) = 0;
};

// The real dialogs.
class DialogPrompts : public Prompts {
public:
    Answer message(QWidget* parent, const model::Message& m, Buttons buttons) override;
    QString openFile(QWidget* parent, FileRequest& request) override;
    QString saveFile(QWidget* parent, FileRequest& request) override;
    bool exec(QDialog& dialog) override;
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    bool openUrl(const QUrl& url) override;
    QColor chooseColor(QWidget* parent, const QColor& initial) override;
};

// Loads and installs Qt's own German catalogue (standard buttons, file and print dialogs);
// false when it is not installed.
bool loadQtGermanCatalogue(QTranslator& translator);

// The dialog text of a model message: "\r" becomes a line break.
QString dialogText(const std::string& text);

} // namespace graphics
