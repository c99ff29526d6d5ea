// Real servers for the network tests, started on 127.0.0.1 with free ports, each serving a
// fresh temporary folder, and stopped with the object. A server whose program is missing
// leaves available() false with the reason; the test is then skipped with it.
#pragma once

#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A test server that cannot start skips the test on a developer's machine; under
// "./run.sh test", which installs every server (TERVANA_REQUIRE_TEST_SERVERS), it fails it.
namespace nettest {
inline bool serversRequired() {
    return qEnvironmentVariableIsSet("TERVANA_REQUIRE_TEST_SERVERS");
}
} // namespace nettest
#define NETTEST_REQUIRE(ok, why)                                                                   \
    if (ok) {                                                                                      \
    } else if (nettest::serversRequired())                                                         \
        FAIL() << (why);                                                                           \
    else                                                                                           \
        GTEST_SKIP() << (why)
// The same for the QtTest programs of the windows.
#define NETTEST_QREQUIRE(ok, why)                                                                  \
    do {                                                                                           \
        if (!(ok)) {                                                                               \
            if (nettest::serversRequired()) QFAIL(qPrintable(why));                                \
            QSKIP(qPrintable(why));                                                                \
        }                                                                                          \
    } while (false)

namespace nettest {

// A free TCP port on 127.0.0.1 (or the given address), bound and released.
quint16 freePort(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost));

// What every server here shares: a fresh folder, its process on a free port, why it is not
// available, and the stop.
class LoopbackServer {
public:
    bool available() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return port_; }

protected:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    // Starts program on port() (proc_ as prepared, else with its output merged) and waits until
    // the port takes connections; false with error() set when it ends or does not listen.
    bool launch(const QString& program, const QStringList& args, const QString& logFile = {});

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> proc_;
    QHostAddress address_{QHostAddress::LocalHost};
    quint16 port_ = 0;
    QString error_;
};

// How the FTP server behaves.
struct FtpOptions {
    // pyftpdlib's permissions of the user: e list, l fetch, r read, a append, d delete,
    // f rename, m make folders, w store, and others. "elr" may read only.
    QString perm = QStringLiteral("elradfmw");
    bool ipv6 = false;      // on ::1 instead of 127.0.0.1
    int bytesPerSecond = 0; // files trickle to the client at this rate; 0: at full speed
};

// pyftpdlib as user "calc" with the given password; the user's home (the FTP root) is home().
class FtpServer : public LoopbackServer {
public:
    explicit FtpServer(const QString& password, const FtpOptions& options = {});
    QString home() const;
};

// busybox telnetd bound to loopback; its login program asks "login:" and "Password:",
// checks user "calc" and the password, changes to home and starts /bin/sh with the prompt
// "$ " and PATH including pathDir (where kq4calc is). A wrong name or password ends the
// session. home is the folder shared with the FTP server.
class TelnetServer : public LoopbackServer {
public:
    TelnetServer(const QString& home, const QString& password, const QString& pathDir);
};

// sshd on a free port with a host key made for it, letting the current user (user()) in with
// the key clientKey() (no passphrase); PATH of the sessions includes pathDir. home() is an
// empty folder for the test's host files (an absolute path, used as the host folder).
// knownHosts() is an empty known_hosts file for the client side.
class SshServer : public LoopbackServer {
public:
    explicit SshServer(const QString& pathDir);
    QString user() const;
    QString home() const;
    QString clientKey() const;
    QString knownHosts() const;
    // A line for known_hosts with another key for this host and port (the "changed" case).
    QString otherHostKeyLine() const;
};

} // namespace nettest
