#include "ui/help_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace ui {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("DlgHelp"));
    setWindowTitle(QStringLiteral("Tervana – Hilfe"));
    TBHelp = new QTextBrowser(this);
    TBHelp->setObjectName(QStringLiteral("TBHelp"));
    TBHelp->setOpenExternalLinks(true);
    auto* back = new QPushButton(QStringLiteral("&Zurück"), this);
    auto* contents = new QPushButton(QStringLiteral("&Inhalt"), this);
    back->setEnabled(false);
    connect(back, &QPushButton::clicked, TBHelp, &QTextBrowser::backward);
    connect(contents, &QPushButton::clicked, TBHelp, &QTextBrowser::home);
    connect(TBHelp, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(TBHelp, 1);
    // Wide enough for the pictures of the manual, within the screen.
    QSize size(1060, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size);
}

void THelpWindow::showManual(const QString& path) {
    TBHelp->clearHistory();
    TBHelp->setSource(QUrl::fromLocalFile(path));
    TBHelp->moveCursor(QTextCursor::Start);
    if (!TBHelp->documentTitle().isEmpty()) setWindowTitle(TBHelp->documentTitle());
}

} // namespace ui
