// The settings of a remote calculation, as the settings window edits them and as they are
// kept in the user's settings (group "V0398/Remote"; the password never).
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace net {

enum class RemoteProtocol { FtpTelnet = 0, Ssh = 1 };

inline constexpr int kMinMaxTime = 60;
inline constexpr int kMaxMaxTime = 36000;
inline constexpr int kDefaultMaxTime = 1200;
inline constexpr int kDefaultFtpPort = 21;
inline constexpr int kDefaultTelnetPort = 23;
inline constexpr int kDefaultSshPort = 22;

struct RemoteSettings {
    QString host;     // "HostName": "name" or "name:port" (the FTP port, or the SSH port)
    QString user;     // "UserName": FTP user and telnet login (or SSH user)
    QString password; // never stored
    QString prompt;   // "Prompt": the last character(s) of the host's shell prompt
    QString loginReq = QStringLiteral("login:");  // "LoginReq"
    QString pwdReq = QStringLiteral("Password:"); // "PWDReq"
    QString command;                              // "Cmd": runs the module on the host
    QString remotePath;                           // "RPath": host folder; empty: the login folder
    bool crOnly = true;            // "CRonly": lines end with CR alone (sent as CR NUL), else CR LF
    int maxTime = kDefaultMaxTime; // "MaxTime", seconds
    bool details = false;          // "CDetails": FTP and telnet texts into the log
    RemoteProtocol protocol = RemoteProtocol::FtpTelnet; // "Protocol"
    int telnetPort = kDefaultTelnetPort;                 // "TelnetPort"
    bool sshKeyAuth = false;                             // "SshKeyAuth": key instead of password
    QString sshKeyFile; // "SshKeyFile": empty: the agent and the user's default keys
    QString knownHosts; // "KnownHosts": empty: ~/.ssh/known_hosts
};

// The group in the user's settings.
inline constexpr const char* kRemoteGroup = "V0398/Remote";

// The user's settings store, which the desktop program and tervana-cli share.
inline constexpr const char* kSettingsOrganisation = "Norbeck";
inline constexpr const char* kSettingsApplication = "Tervas";
std::unique_ptr<QSettings> openUserSettings();

// Reads the group of s (nothing changes when it does not exist); stored empty login and
// password requests give their defaults, a maximum time outside 60 .. 36000 is clamped.
void readRemoteSettings(QSettings& s, RemoteSettings& r);
// Writes everything but the password.
void writeRemoteSettings(QSettings& s, const RemoteSettings& r);

struct HostPort {
    QString host;
    int port = 0;
    bool ok = false; // a name is there and the port, when given, is 1 .. 65535
};
// "name", "name:port", "[v6-address]:port" or a bare IPv6 address.
HostPort splitHost(const QString& text, int defaultPort);

// Seconds as "1h 1m 40s".
QString hmsText(int seconds);

// Why the settings cannot be used (the field to fill in), or empty when they are complete:
// host (with a valid port), user, and for FTP and telnet also prompt and command.
QString incompleteReason(const RemoteSettings& r);

} // namespace net
