// The telnet script against busybox telnetd (the whole login and shell dialogue) and against a
// loopback peer that checks the bytes on the wire: line ends, option answers, matching rules.
#include "net/telnet_script.h"
#include "tests/net/test_servers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

using net::TTelnetScript;

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_net_telnet";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a = new QCoreApplication(argc, argv);
    return *a;
}

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list) out.append(char(b));
    return out;
}

TTelnetScript::WatchEvent watch(int id, const QString& search, const QString& send, bool ignoreCase,
                                bool persistent, std::function<void(int)> handler = {}) {
    return {id, search, send, ignoreCase, persistent, std::move(handler)};
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr int ECHO_ = 1, SGA = 3, STATUS = 5, TTYPE = 24, LINEMODE = 34;

// For what must happen; what must not happen is checked after Peer::write's pause.
bool eventually(const std::function<bool()>& what) {
    return QTest::qWaitFor(what, 5000);
}

// The far end of one connection, written to and read by the test.
class Peer {
public:
    Peer() { server_.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server_.serverPort(); }
    bool accept() {
        if (!QTest::qWaitFor([&] { return server_.hasPendingConnections(); }, 5000)) return false;
        conn_ = server_.nextPendingConnection();
        QObject::connect(conn_, &QTcpSocket::readyRead, [this] { received += conn_->readAll(); });
        return true;
    }
    // Writes one packet and lets the client read it before the next one.
    void write(const QByteArray& b) {
        conn_->write(b);
        conn_->flush();
        QTest::qWait(50);
    }
    bool waitReceived(qsizetype n) {
        return QTest::qWaitFor([&] { return received.size() >= n; }, 5000);
    }
    QByteArray received;

private:
    QTcpServer server_;
    QTcpSocket* conn_ = nullptr;
};

class TelnetScript : public ::testing::Test {
protected:
    void SetUp() override { app(); }

    // Connects script to peer and accepts the connection.
    void open(TTelnetScript& script, Peer& peer) {
        QSignalSpy connected(&script, &TTelnetScript::sessionConnected);
        script.setHost(QStringLiteral("127.0.0.1"), peer.port());
        script.connectToHost();
        ASSERT_TRUE(peer.accept());
        ASSERT_TRUE(QTest::qWaitFor([&] { return connected.count() == 1; }, 5000));
    }
};

TEST_F(TelnetScript, LoginCommandWithDollarAndLogoutOnBusybox) {
    QTemporaryDir home, pathDir;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("work")));
    nettest::TelnetServer server(home.path(), QStringLiteral("se'cret"), pathDir.path());
    NETTEST_REQUIRE(server.available(), server.error().toStdString());

    TTelnetScript script;
    QString received;
    QObject::connect(&script, &TTelnetScript::dataAvailable,
                     [&](const QString& t) { received += t; });
    QSignalSpy closed(&script, &TTelnetScript::sessionClosed);
    const QString marker = home.filePath(QStringLiteral("work/marker"));
    const QString eol = QString::fromLatin1(script.lineEnd());
    int prompts = 0;
    bool markerAtThirdPrompt = false;
    script.addEvent(watch(1, QStringLiteral("LOGIN:"), QStringLiteral("calc") + eol, true, false));
    script.addEvent(
        watch(2, QStringLiteral("password:"), QStringLiteral("se'cret") + eol, true, false));
    script.addEvent({3, QStringLiteral("$"), {}, true, true, [&](int id) {
                         EXPECT_EQ(id, 3);
                         ++prompts;
                         if (prompts == 1) {
                             script.sendLine(QStringLiteral("cd work"));
                         } else if (prompts == 2) {
                             // the "$" of the echo must not be taken for the prompt
                             script.sendLine(
                                 QStringLiteral("echo remote$.kq4 0; sleep 1; echo done > marker"));
                         } else {
                             markerAtThirdPrompt = QFile::exists(marker);
                             script.clearEvents();
                             script.sendLine(QStringLiteral("logout"));
                         }
                     }});
    script.setHost(QStringLiteral("127.0.0.1"), server.port());
    script.connectToHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() == 1; }, 10000))
        << received.toStdString();
    EXPECT_EQ(prompts, 3);
    EXPECT_TRUE(markerAtThirdPrompt);
    EXPECT_TRUE(received.contains(QStringLiteral("remote$.kq4 0\r\n")));
    EXPECT_FALSE(received.contains(QStringLiteral("se'cret"))); // the password is not echoed
    EXPECT_FALSE(script.isConnected());
}

TEST_F(TelnetScript, WrongPasswordEndsTheSession) {
    QTemporaryDir home;
    nettest::TelnetServer server(home.path(), QStringLiteral("right"), home.path());
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    TTelnetScript script;
    script.setCrOnly(false);
    QString received;
    QObject::connect(&script, &TTelnetScript::dataAvailable,
                     [&](const QString& t) { received += t; });
    QSignalSpy closed(&script, &TTelnetScript::sessionClosed);
    script.addEvent(watch(1, QStringLiteral("login:"), QStringLiteral("calc\r\n"), false, false));
    script.addEvent(
        watch(2, QStringLiteral("Password:"), QStringLiteral("wrong\r\n"), false, false));
    script.setHost(QStringLiteral("127.0.0.1"), server.port());
    script.connectToHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() == 1; }, 5000));
    EXPECT_TRUE(received.contains(QStringLiteral("Login incorrect")));
}

TEST_F(TelnetScript, RefusedConnectionFailsAtOnce) {
    quint16 port;
    {
        QTcpServer s;
        ASSERT_TRUE(s.listen(QHostAddress::LocalHost, 0));
        port = s.serverPort();
    }
    TTelnetScript script;
    QSignalSpy failed(&script, &TTelnetScript::connectFailed);
    QSignalSpy closed(&script, &TTelnetScript::sessionClosed);
    script.setHost(QStringLiteral("127.0.0.1"), port);
    script.connectToHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.count() == 1; }, 2000));
    EXPECT_FALSE(failed.at(0).at(0).toString().isEmpty());
    QTest::qWait(50);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_FALSE(script.isConnected());
}

TEST_F(TelnetScript, LineEndsInterruptAndUtf8OnTheWire) {
    struct Case {
        bool crOnly;
        QByteArray eol;
    };
    for (const Case& c : {Case{true, QByteArray("\r\0", 2)}, Case{false, QByteArray("\r\n")}}) {
        SCOPED_TRACE(c.crOnly);
        Peer peer;
        TTelnetScript script;
        script.setCrOnly(c.crOnly);
        open(script, peer);
        script.sendLine(QStringLiteral("cd /tmp/äx"));
        script.send(QStringLiteral("ab"));
        script.interrupt();
        const QByteArray want =
            QByteArray("cd /tmp/\xc3\xa4x") + c.eol + "ab" + bytes({IAC, 244, 3});
        ASSERT_TRUE(peer.waitReceived(want.size()));
        EXPECT_EQ(peer.received, want);
    }
}

TEST_F(TelnetScript, AnswersOptionsOnceAndSkipsUnknownSubnegotiation) {
    Peer peer;
    TTelnetScript script;
    QString text;
    QObject::connect(&script, &TTelnetScript::dataAvailable, [&](const QString& t) { text += t; });
    script.addEvent(watch(1, QStringLiteral("ready>"), QStringLiteral("ok"), false, true));
    open(script, peer);

    // Commands split across packets, a doubled IAC in the data, an overlong subnegotiation.
    peer.write(bytes({IAC, DO}));
    peer.write(bytes({TTYPE, IAC, SB, TTYPE}));
    peer.write(bytes({1,    IAC, SE,  IAC, DO,  LINEMODE, IAC, WILL, STATUS, IAC, WILL, ECHO_, IAC,
                      WILL, SGA, IAC, DO,  SGA, 'a',      IAC, IAC,  'b',    IAC, SB,   99}) +
               QByteArray(2000, 'x') + bytes({IAC, SE, IAC, DO, ECHO_}));
    const QByteArray answers =
        bytes({IAC, WILL, TTYPE, IAC, SB, TTYPE, 0}) + "dumb" +
        bytes({IAC,   SE,  IAC, WONT, LINEMODE, IAC,  DONT, STATUS, IAC,  DO,
               ECHO_, IAC, DO,  SGA,  IAC,      WILL, SGA,  IAC,    WONT, ECHO_});
    ASSERT_TRUE(peer.waitReceived(answers.size()));
    EXPECT_EQ(peer.received, answers);

    // Requests for the state already in force, and refusals of what is off: no answer.
    peer.write(bytes({IAC, WILL, ECHO_, IAC, DO, TTYPE, IAC, WONT, STATUS, IAC, DONT, LINEMODE, IAC,
                      DONT, ECHO_, IAC, WONT, 77}) +
               "ready> ");
    ASSERT_TRUE(peer.waitReceived(answers.size() + 2));
    QTest::qWait(50);
    EXPECT_EQ(peer.received, answers + "ok");
    EXPECT_EQ(text, QStringLiteral("a\uFFFDbready> "));
}

TEST_F(TelnetScript, MatchesOnlyAtTheEndAndOnlyOnce) {
    Peer peer;
    TTelnetScript script;
    int pwd = 0, once = 0;
    script.addEvent(
        {1, QStringLiteral("password:"), QStringLiteral("p"), true, true, [&](int) { ++pwd; }});
    script.addEvent({2, QStringLiteral("login:"), {}, false, false, [&](int) { ++once; }});
    open(script, peer);

    peer.write("PASS");
    peer.write("WORD: \t ");
    EXPECT_TRUE(eventually(
        [&] { return pwd == 1; })); // split across packets, case ignored, blanks after it
    peer.write("\r\n");
    peer.write("x");
    EXPECT_EQ(pwd, 1); // consumed: later text does not find it again
    peer.write("password: and more");
    EXPECT_EQ(pwd, 1); // not at the end
    peer.write("Login: ");
    EXPECT_EQ(once, 0); // case matters without ignoreCase
    peer.write("login: ");
    peer.write("login: ");
    EXPECT_TRUE(eventually([&] { return once == 1; })); // one-shot
    peer.write("Password:");
    EXPECT_TRUE(eventually([&] { return pwd == 2; })); // persistent
    ASSERT_TRUE(peer.waitReceived(2));
    EXPECT_EQ(peer.received, "pp");
}

// A "$" in the echo of a command line must not count as the prompt.
TEST_F(TelnetScript, WaitsForTheEchoOfALine) {
    Peer peer;
    TTelnetScript script;
    int prompts = 0;
    QSignalSpy closed(&script, &TTelnetScript::sessionClosed);
    script.addEvent({3, QStringLiteral("$"), {}, false, true, [&](int id) {
                         ++prompts;
                         script.removeEvent(id); // changing the list and closing inside
                         script.close();         // the handler is allowed
                     }});
    open(script, peer);
    peer.write(bytes({IAC, WILL, ECHO_}));
    script.sendLine(QStringLiteral("kq4calc remote$.kq4 0"));
    peer.write("kq4calc remote$");
    peer.write(" ");
    EXPECT_EQ(prompts, 0);
    peer.write(".kq4 \r");      // a wrap artefact inside the echo
    peer.write("0\r\nrunning"); // the echo ends at "0", output follows
    EXPECT_EQ(prompts, 0);
    peer.write("\r\n$ ");
    EXPECT_TRUE(eventually([&] { return prompts == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() == 1; }, 5000));
}

} // namespace
