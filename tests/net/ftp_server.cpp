// The FTP server of the network tests: pyftpdlib of the system Python (Debian package
// python3-pyftpdlib), run as a child process on 127.0.0.1. Its greeting names the password so
// that the tests can see it masked in the client's log.
#include "tests/net/test_servers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace nettest {

namespace {

const char* const kPython = "/usr/bin/python3";

// argv: port, home, password, permissions, address, bytes per second. A failed login is
// answered at once (the default waits 3 s), which keeps the tests short; the client must not
// depend on either.
const char* const kServerScript = R"(import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
port, home, password, perm = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
address, rate = sys.argv[5], int(sys.argv[6])
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user("calc", password, home, perm=perm)
class Handler(FTPHandler):
    pass
Handler.authorizer = authorizer
Handler.banner = "test server for calc, password " + password
Handler.auth_failed_timeout = 0
if rate:
    class Trickle(ThrottledDTPHandler):
        write_limit = rate
    Handler.dtp_handler = Trickle
server = FTPServer((address, port), Handler)
server.serve_forever()
)";

} // namespace

FtpServer::FtpServer(const QString& password, const FtpOptions& options) {
    if (!error_.isEmpty()) return;
    if (!QFileInfo::exists(kPython)) {
        error_ = QString(kPython) + " is missing";
        return;
    }
    QDir(dir_.path()).mkpath("home");
    const QString script = dir_.filePath("ftp_server.py");
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kServerScript) < 0) {
        error_ = "cannot write " + script;
        return;
    }
    file.close();

    if (options.ipv6) address_ = QHostAddress(QHostAddress::LocalHostIPv6);
    port_ = freePort(address_);
    // A missing pyftpdlib ends the process.
    (void)launch(QString::fromLatin1(kPython),
                 {script, QString::number(port_), home(), password, options.perm,
                  address_.toString(), QString::number(options.bytesPerSecond)});
}

QString FtpServer::home() const {
    return dir_.filePath("home");
}

} // namespace nettest
