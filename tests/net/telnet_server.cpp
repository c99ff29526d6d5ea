// busybox telnetd with a login program of our own: a shell script that asks "login: " and
// "Password: " (without echo), lets user "calc" in with the password and starts an
// interactive /bin/sh with the prompt "$ " in home. The shell's start-up file defines
// "logout", which /bin/sh (dash) does not know.
#include "tests/net/test_servers.h"

#include <QFile>
#include <QStandardPaths>

namespace nettest {

namespace {

// s as one word of the shell, in single quotes.
QString shellQuoted(const QString& s) {
    QString q = s;
    q.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + q + u'\'';
}

bool writeText(const QString& path, const QString& text, bool executable) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size()) return false;
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
}

} // namespace

TelnetServer::TelnetServer(const QString& home, const QString& password, const QString& pathDir) {
    const QString busybox = QStandardPaths::findExecutable(QStringLiteral("busybox"));
    if (busybox.isEmpty()) {
        error_ = QStringLiteral("busybox is not installed (package busybox-static)");
        return;
    }
    if (!error_.isEmpty()) return;
    const QString shrc = dir_.filePath(QStringLiteral("shrc"));
    const QString login = dir_.filePath(QStringLiteral("login.sh"));
    const QString issue = dir_.filePath(QStringLiteral("issue"));
    const QString script =
        QStringLiteral("#!/bin/sh\n"
                       "printf 'login: '\n"
                       "read -r user\n"
                       "printf 'Password: '\n"
                       "stty -echo 2>/dev/null\n"
                       "read -r pw\n"
                       "stty echo 2>/dev/null\n"
                       "printf '\\r\\n'\n"
                       "if [ \"$user\" = calc ] && [ \"$pw\" = %1 ]; then\n"
                       "  cd %2 || exit 1\n"
                       "  PATH=%3:$PATH PS1='$ ' ENV=%4 HOME=%2\n"
                       "  export PATH PS1 ENV HOME\n"
                       "  exec /bin/sh -i\n"
                       "fi\n"
                       "printf 'Login incorrect\\r\\n'\n"
                       "exit 1\n")
            .arg(shellQuoted(password), shellQuoted(home), shellQuoted(pathDir), shellQuoted(shrc));
    if (!writeText(shrc, QStringLiteral("logout() { exit 0; }\n"), false) ||
        !writeText(login, script, true) || !writeText(issue, QString(), false)) {
        error_ = QStringLiteral("cannot write the login program in ") + dir_.path();
        return;
    }

    port_ = freePort();
    (void)launch(busybox, {QStringLiteral("telnetd"), QStringLiteral("-F"), QStringLiteral("-b"),
                           QStringLiteral("127.0.0.1:%1").arg(port_), QStringLiteral("-l"), login,
                           QStringLiteral("-f"), issue});
}

} // namespace nettest
