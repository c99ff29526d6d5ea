// The main window's settings: window position, files, options and priority in the
// per-user settings store.
#include "ui/main_window.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QSettings>

#include "calcctl/platform.h"
#include "model/import.h"
#include "net/remote_settings.h"
#include "ui/binding_panel.h"

#include "ui/main_window_support.h"

namespace ui {

using model::Node;
using model::ObjectKind;

namespace {

// Values of the Options key: name, the action that shows it and its default.
struct OptionFlag {
    const char* name;
    QAction* TDlgMain::*action;
    int byDefault = 0;
};
constexpr OptionFlag kOptionFlags[] = {
    {"DelConfirm", &TDlgMain::DelConfirm},
    {"ShowEditor", &TDlgMain::ShowEditor},
    {"ShowBinding", &TDlgMain::ShowBinding, 1},
};
constexpr int kDefaultPriorityClass = 2; // 1 low, 2 normal, 3 high
constexpr int kRemotePriorityClass = 4;  // "&extern ..."

} // namespace

QByteArray encodePosition(const WindowPosition& p) {
    QByteArray bytes;
    for (int v : {p.left, p.top, p.width, p.height}) {
        const auto u = static_cast<quint32>(static_cast<qint32>(v));
        for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
    return bytes;
}

bool decodePosition(const QByteArray& bytes, WindowPosition& p) {
    if (bytes.size() != 16) return false;
    int v[4];
    for (int k = 0; k < 4; ++k) {
        quint32 u = 0;
        for (int i = 0; i < 4; ++i)
            u |= static_cast<quint32>(static_cast<unsigned char>(bytes[4 * k + i])) << (8 * i);
        v[k] = static_cast<qint32>(u);
    }
    p = {v[0], v[1], v[2], v[3]};
    return true;
}

// ---- settings ----

void TDlgMain::readSettings() {
    const std::unique_ptr<QSettings> settings = net::openUserSettings();
    QSettings& s = *settings;
    s.beginGroup(QString::fromUtf8(kFilesGroup));
    lastK4PPath_ = s.value(QStringLiteral("LastK4PPath")).toString().left(255);
    lastImportPath_ = s.value(QStringLiteral("LastImportPath")).toString().left(255);
    bool ok = false;
    lastFType_ = s.value(QStringLiteral("LastFType"), 1).toInt(&ok);
    if (!ok || lastFType_ < 1 || lastFType_ > 3) lastFType_ = 1;
    for (int i = 1;; ++i) {
        const QString f = s.value(QStringLiteral("File_%1").arg(i)).toString();
        if (f.isEmpty()) break;
        appendRecentItem(f);
    }
    s.endGroup();

    s.beginGroup(QString::fromUtf8(kOptionsGroup));
    for (const OptionFlag& f : kOptionFlags)
        (this->*f.action)->setChecked(s.value(QString::fromUtf8(f.name), f.byDefault).toInt() != 0);
    if (!s.childKeys().isEmpty()) {
        switch (s.value(QStringLiteral("PriorityClass"), kDefaultPriorityClass).toInt()) {
        case 1:
            PrioLow->setChecked(true);
            break;
        case 3:
            PrioHigh->setChecked(true);
            break;
        case kRemotePriorityClass:
            Extern->setChecked(true);
            break;
        default:
            PrioNormal->setChecked(true);
            break;
        }
        lastPriority_ = priorities_->checkedAction();
        WindowPosition p;
        if (decodePosition(s.value(QStringLiteral("Position")).toByteArray(), p)) {
            move(p.left, p.top);
            resize(std::max(p.width, 100), std::max(p.height, 100));
        }
    } else {
        const WindowPosition p;
        move(p.left, p.top);
        resize(p.width, p.height);
    }
    s.endGroup();
    // The panel's action shows or hides the panel only when triggered.
    DBinding->setVisible(ShowBinding->isChecked());
}

void TDlgMain::writeSettings() {
    const std::unique_ptr<QSettings> settings = net::openUserSettings();
    QSettings& s = *settings;
    s.beginGroup(QString::fromUtf8(kFilesGroup));
    s.setValue(QStringLiteral("HomePath"), QCoreApplication::applicationDirPath());
    s.setValue(QStringLiteral("LastK4PPath"), lastK4PPath_);
    s.setValue(QStringLiteral("LastImportPath"), lastImportPath_);
    s.setValue(QStringLiteral("LastFType"), lastFType_);
    for (const QString& k : s.childKeys())
        if (k.startsWith(QStringLiteral("File_"))) s.remove(k);
    const QStringList files = recentFiles();
    for (int i = 0; i < files.size(); ++i)
        s.setValue(QStringLiteral("File_%1").arg(i + 1), files[i]);
    s.endGroup();

    s.beginGroup(QString::fromUtf8(kOptionsGroup));
    for (const OptionFlag& f : kOptionFlags)
        s.setValue(QString::fromUtf8(f.name), (this->*f.action)->isChecked() ? 1 : 0);
    s.setValue(QStringLiteral("PriorityClass"), Extern->isChecked()     ? kRemotePriorityClass
                                                : PrioLow->isChecked()  ? 1
                                                : PrioHigh->isChecked() ? 3
                                                                        : 2);
    const QRect g = geometry();
    s.setValue(QStringLiteral("Position"),
               encodePosition({pos().x(), pos().y(), g.width(), g.height()}));
    s.endGroup();
}

} // namespace ui
