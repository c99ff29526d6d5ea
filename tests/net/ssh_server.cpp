#include "tests/net/test_servers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace nettest {

namespace {

const QString kSshd = QStringLiteral("/usr/sbin/sshd");
const QString kKeygen = QStringLiteral("/usr/bin/ssh-keygen");

// An ed25519 key pair without passphrase: path and path.pub. Empty on success, else why not.
QString makeKey(const QString& path, const QString& comment) {
    QProcess p;
    p.start(kKeygen, {"-q", "-t", "ed25519", "-N", "", "-C", comment, "-f", path});
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "ssh-keygen: " + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString();
    return {};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace

SshServer::SshServer(const QString& pathDir) {
    if (!QFileInfo(kSshd).isExecutable() || !QFileInfo(kKeygen).isExecutable()) {
        error_ = "openssh-server (" + kSshd + ", " + kKeygen + ") is not installed";
        return;
    }
    if (!error_.isEmpty()) return;
    const QString d = dir_.path();
    // sshd refuses to start without its privilege separation folder.
    if (!QDir().mkpath("/run/sshd")) {
        error_ = "cannot create /run/sshd";
        return;
    }
    for (const char* key : {"host_key", "client_key", "other_key"}) {
        error_ = makeKey(d + "/" + key, "tervana-test");
        if (!error_.isEmpty()) return;
    }
    if (!QDir().mkpath(home()) || !writeAll(knownHosts(), {}) ||
        !writeAll(d + "/authorized_keys", readAll(d + "/client_key.pub"))) {
        error_ = "cannot write the files of sshd in " + d;
        return;
    }
    port_ = freePort();
    // bash started by sshd reads ~/.bashrc at shell level 1 only: SHLVL=1 keeps the tests
    // independent of the user's start-up files (which may change PATH or wait for locks).
    const QByteArray config = QStringLiteral(R"(ListenAddress 127.0.0.1
HostKey %1/host_key
PidFile %1/sshd.pid
AuthorizedKeysFile %1/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication yes
PermitRootLogin yes
Subsystem sftp internal-sftp
SetEnv PATH=%2:/usr/local/bin:/usr/bin:/bin SHLVL=1
)")
                                  .arg(d, pathDir)
                                  .toUtf8();
    const QString configFile = d + "/sshd_config";
    if (!writeAll(configFile, config)) {
        error_ = "cannot write " + configFile;
        return;
    }
    (void)launch(kSshd, {"-D", "-e", "-f", configFile, "-p", QString::number(port_)},
                 d + "/sshd.log");
}

QString SshServer::user() const {
    const passwd* pw = getpwuid(geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : qEnvironmentVariable("USER");
}

QString SshServer::home() const {
    return dir_.path() + "/home";
}

QString SshServer::clientKey() const {
    return dir_.path() + "/client_key";
}

QString SshServer::knownHosts() const {
    return dir_.path() + "/known_hosts";
}

QString SshServer::otherHostKeyLine() const {
    const QList<QByteArray> parts = readAll(dir_.path() + "/other_key.pub").split(' ');
    if (parts.size() < 2) return {};
    return "[127.0.0.1]:" + QString::number(port_) + " " + QString::fromLatin1(parts[0]) + " " +
           QString::fromLatin1(parts[1].trimmed());
}

} // namespace nettest
