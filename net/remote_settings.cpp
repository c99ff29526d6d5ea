#include "net/remote_settings.h"

#include <QHostAddress>

#include <algorithm>

namespace net {

std::unique_ptr<QSettings> openUserSettings() {
    return std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganisation),
                                       QString::fromLatin1(kSettingsApplication));
}

void readRemoteSettings(QSettings& s, RemoteSettings& r) {
    s.beginGroup(QString::fromLatin1(kRemoteGroup));
    if (!s.childKeys().isEmpty()) {
        auto text = [&](const char* key, QString& into) {
            into = s.value(QString::fromLatin1(key), into).toString();
        };
        auto flag = [&](const char* key, bool& into) {
            into = s.value(QString::fromLatin1(key), into ? 1 : 0).toInt() != 0;
        };
        auto number = [&](const char* key, int& into, int lo, int hi) {
            bool ok = false;
            const int v = s.value(QString::fromLatin1(key)).toInt(&ok);
            if (ok) into = std::clamp(v, lo, hi);
        };
        text("HostName", r.host);
        text("UserName", r.user);
        text("Prompt", r.prompt);
        text("LoginReq", r.loginReq);
        text("PWDReq", r.pwdReq);
        text("Cmd", r.command);
        text("RPath", r.remotePath);
        flag("CRonly", r.crOnly);
        number("MaxTime", r.maxTime, kMinMaxTime, kMaxMaxTime);
        flag("CDetails", r.details);
        int protocol = static_cast<int>(r.protocol);
        number("Protocol", protocol, 0, 1);
        r.protocol = static_cast<RemoteProtocol>(protocol);
        number("TelnetPort", r.telnetPort, 1, 65535);
        flag("SshKeyAuth", r.sshKeyAuth);
        text("SshKeyFile", r.sshKeyFile);
        text("KnownHosts", r.knownHosts);
    }
    // An empty search text would match everything.
    const RemoteSettings defaults;
    if (r.loginReq.isEmpty()) r.loginReq = defaults.loginReq;
    if (r.pwdReq.isEmpty()) r.pwdReq = defaults.pwdReq;
    s.endGroup();
}

void writeRemoteSettings(QSettings& s, const RemoteSettings& r) {
    s.beginGroup(QString::fromLatin1(kRemoteGroup));
    s.setValue(QStringLiteral("HostName"), r.host);
    s.setValue(QStringLiteral("UserName"), r.user);
    s.setValue(QStringLiteral("Prompt"), r.prompt);
    s.setValue(QStringLiteral("LoginReq"), r.loginReq);
    s.setValue(QStringLiteral("PWDReq"), r.pwdReq);
    s.setValue(QStringLiteral("Cmd"), r.command);
    s.setValue(QStringLiteral("RPath"), r.remotePath);
    s.setValue(QStringLiteral("CRonly"), r.crOnly ? 1 : 0);
    s.setValue(QStringLiteral("MaxTime"), r.maxTime);
    s.setValue(QStringLiteral("CDetails"), r.details ? 1 : 0);
    s.setValue(QStringLiteral("Protocol"), static_cast<int>(r.protocol));
    s.setValue(QStringLiteral("TelnetPort"), r.telnetPort);
    s.setValue(QStringLiteral("SshKeyAuth"), r.sshKeyAuth ? 1 : 0);
    s.setValue(QStringLiteral("SshKeyFile"), r.sshKeyFile);
    s.setValue(QStringLiteral("KnownHosts"), r.knownHosts);
    s.endGroup();
}

HostPort splitHost(const QString& text, int defaultPort) {
    HostPort hp;
    const QString t = text.trimmed();
    hp.port = defaultPort;
    QString portText;
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0) return hp;
        hp.host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) return hp;
            portText = rest.mid(1);
        }
    } else if (t.count(QLatin1Char(':')) == 1) {
        hp.host = t.section(QLatin1Char(':'), 0, 0);
        portText = t.section(QLatin1Char(':'), 1);
    } else {
        hp.host = t; // a name, or a bare IPv6 address
    }
    if (hp.host.isEmpty() || hp.host.contains(QLatin1Char(' '))) return hp;
    if (portText.isEmpty() && t.endsWith(QLatin1Char(':'))) return hp;
    if (!portText.isEmpty()) {
        bool ok = false;
        const int p = portText.toInt(&ok);
        if (!ok || p < 1 || p > 65535) return hp;
        hp.port = p;
    }
    hp.ok = true;
    return hp;
}

QString hmsText(int seconds) {
    seconds = std::max(seconds, 0);
    return QStringLiteral("%1h %2m %3s")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60)
        .arg(seconds % 60);
}

QString incompleteReason(const RemoteSettings& r) {
    const bool ssh = r.protocol == RemoteProtocol::Ssh;
    if (r.host.trimmed().isEmpty()) return QStringLiteral("Bitte den Host angeben.");
    if (!splitHost(r.host, ssh ? kDefaultSshPort : kDefaultFtpPort).ok)
        return QStringLiteral("Der Host ist nicht als \"Name\" oder \"Name:Port\" angegeben.");
    if (r.user.isEmpty()) return QStringLiteral("Bitte den Benutzernamen angeben.");
    if (!ssh && r.prompt.isEmpty()) return QStringLiteral("Bitte den Prompt angeben.");
    if (r.command.trimmed().isEmpty()) return QStringLiteral("Bitte das Kommando angeben.");
    return {};
}

} // namespace net
