// The manual in a window of the program, for when no HTML browser can be started: tvhelp.html
// with its pictures (beside it), its links inside the page, back and the table of contents.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace ui {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows the manual at path (its pictures are looked for beside it) from the top.
    void showManual(const QString& path);

    QTextBrowser* TBHelp = nullptr;
};

} // namespace ui
