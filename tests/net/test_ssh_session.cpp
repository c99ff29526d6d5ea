// The SSH session against a real sshd on loopback: host keys against known_hosts, key and
// password log-in, SFTP with "$" in the names, and the real module run, stopped and abandoned.
#include "net/ssh_session.h"
#include "tests/net/test_servers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

class SshSessionTest : public ::testing::Test {
protected:
    void SetUp() override { NETTEST_REQUIRE(server_.available(), server_.error().toStdString()); }

    net::SshConfig config() const {
        net::SshConfig c;
        c.host = "127.0.0.1";
        c.port = server_.port();
        c.user = server_.user().toStdString();
        c.keyAuth = true;
        c.keyFile = server_.clientKey().toStdString();
        c.knownHostsFile = server_.knownHosts().toStdString();
        c.directory = server_.home().toStdString();
        c.timeoutSeconds = 20;
        return c;
    }

    // Connected (host key accepted) and logged in.
    void open(net::SshSession& s) {
        const auto state = s.connect();
        ASSERT_NE(state, net::HostKeyState::Failed) << s.lastError();
        if (state == net::HostKeyState::Unknown) {
            ASSERT_TRUE(s.acceptHostKey()) << s.lastError();
        }
        ASSERT_TRUE(s.authenticate()) << s.lastError();
    }

    std::string home() const { return server_.home().toStdString(); }

    static bool sleepRuns(const QString& pattern) {
        return !run("/usr/bin/pgrep", {"-f", pattern}).trimmed().isEmpty();
    }

    nettest::SshServer server_{QFileInfo(KQ4CALC_PATH).absolutePath()};
};

TEST_F(SshSessionTest, UnknownHostKeyIsAcceptedAndThenKnown) {
    // known_hosts in a folder that does not exist yet: accepting creates both.
    QTemporaryDir tmp;
    auto cfg = config();
    cfg.knownHostsFile = (tmp.path() + "/new/.ssh/known_hosts").toStdString();
    {
        net::SshSession s(cfg);
        ASSERT_EQ(s.connect(), net::HostKeyState::Unknown) << s.lastError();
        EXPECT_FALSE(s.authenticate()); // not before the user accepted the key
        ASSERT_TRUE(s.acceptHostKey()) << s.lastError();
        EXPECT_TRUE(s.authenticate()) << s.lastError();
        EXPECT_EQ(s.fingerprint().rfind("SHA256:", 0), 0u) << s.fingerprint();
        // OpenSSH finds the entry and gives the same fingerprint.
        const QString listed = run("/usr/bin/ssh-keygen",
                                   {"-l", "-F", "[127.0.0.1]:" + QString::number(server_.port()),
                                    "-f", QString::fromStdString(cfg.knownHostsFile)});
        EXPECT_TRUE(listed.contains(QString::fromStdString(s.fingerprint())))
            << listed.toStdString();
    }
    net::SshSession again(cfg);
    EXPECT_EQ(again.connect(), net::HostKeyState::Known) << again.lastError();
    EXPECT_TRUE(again.authenticate()) << again.lastError();
    EXPECT_TRUE(again.connected());
}

TEST_F(SshSessionTest, AnotherKnownKeyForTheHostIsChanged) {
    writeFile(server_.knownHosts().toStdString(), server_.otherHostKeyLine().toStdString() + "\n");
    auto cfg = config();
    cfg.keyAuth = false;
    cfg.password = "secret";
    net::SshSession s(cfg);
    EXPECT_EQ(s.connect(), net::HostKeyState::Changed);
    EXPECT_FALSE(s.lastError().empty());
    // Nothing is sent to a host with another key.
    EXPECT_FALSE(s.authenticate());
    EXPECT_FALSE(s.connected());
}

TEST_F(SshSessionTest, WrongPasswordAndRefusedPortFailAtOnce) {
    auto cfg = config();
    cfg.timeoutSeconds = 60;
    cfg.keyAuth = false;
    cfg.password = "not-the-password-4711";
    std::vector<std::string> log;
    {
        net::SshSession s(cfg);
        s.setLog([&](const std::string& line) { log.push_back(line); });
        ASSERT_NE(s.connect(), net::HostKeyState::Failed) << s.lastError();
        const auto t = Clock::now();
        EXPECT_FALSE(s.authenticate());
        EXPECT_LT(secondsSince(t), 15.0);
        EXPECT_FALSE(s.connected());
    }
    for (const auto& line : log) EXPECT_EQ(line.find(cfg.password), std::string::npos) << line;

    // A key file that does not exist.
    cfg.keyAuth = true;
    cfg.keyFile = home() + "/missing_key";
    net::SshSession noKey(cfg);
    ASSERT_NE(noKey.connect(), net::HostKeyState::Failed);
    EXPECT_FALSE(noKey.authenticate());

    quint16 closed = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closed = probe.serverPort();
    }
    cfg.port = closed;
    net::SshSession refused(cfg);
    const auto t = Clock::now();
    EXPECT_EQ(refused.connect(), net::HostKeyState::Failed);
    EXPECT_LT(secondsSince(t), 15.0);
    EXPECT_FALSE(refused.lastError().empty());
}

TEST_F(SshSessionTest, FilesRoundTripWithDollarNames) {
    net::SshSession s(config());
    open(s);
    // Larger than one transfer chunk, with every byte value.
    std::string data(200000, '\0');
    std::mt19937 rng(4);
    for (char& c : data) c = static_cast<char>(rng());
    QTemporaryDir tmp;
    const std::string local = tmp.path().toStdString() + "/remote$.kq4";
    writeFile(local, data);

    ASSERT_EQ(s.put(local, "remote$.kq4"), net::SshResult::Ok) << s.lastError();
    EXPECT_EQ(readFile(home() + "/remote$.kq4"), data);
    // put replaces a longer file completely.
    writeFile(home() + "/remote$.lst", std::string(300000, 'x'));
    writeFile(local, "short");
    ASSERT_EQ(s.put(local, "remote$.lst"), net::SshResult::Ok);
    EXPECT_EQ(readFile(home() + "/remote$.lst"), "short");

    const std::string back = tmp.path().toStdString() + "/back$.kq4";
    ASSERT_EQ(s.get("remote$.kq4", back), net::SshResult::Ok) << s.lastError();
    EXPECT_EQ(readFile(back), data);

    // A missing file: NotFound, and the local file stays as it was, without a temporary file.
    writeFile(back, "old");
    EXPECT_EQ(s.get("remote$.fk1", back), net::SshResult::NotFound);
    EXPECT_EQ(readFile(back), "old");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 2);

    EXPECT_EQ(s.remove("remote$.kq4"), net::SshResult::Ok) << s.lastError();
    EXPECT_FALSE(std::filesystem::exists(home() + "/remote$.kq4"));
    EXPECT_EQ(s.remove("remote$.kq4"), net::SshResult::NotFound);
    EXPECT_EQ(s.put(local, "no-such-folder/x"), net::SshResult::NotFound);
    EXPECT_EQ(s.put(tmp.path().toStdString() + "/missing", "x"), net::SshResult::Failed);
    EXPECT_TRUE(s.connected());
}

TEST_F(SshSessionTest, RunsTheModuleInAFolderWithAQuoteInItsName) {
    auto cfg = config();
    cfg.directory = home() + "/it's a folder";
    std::filesystem::create_directory(cfg.directory);
    std::vector<std::string> log;
    net::SshSession s(cfg);
    s.setLog([&](const std::string& line) { log.push_back(line); });
    open(s);
    ASSERT_EQ(s.put(TERVANA_SOURCE_DIR "/examples/demo.kq4", "remote$.kq4"), net::SshResult::Ok)
        << s.lastError();
    ASSERT_TRUE(s.startCommand("kq4calc remote$.kq4 0")) << s.lastError();
    int status = -2;
    int rc = 0;
    for (int i = 0; i < 120 && rc == 0; ++i) rc = s.waitCommand(1000, status);
    ASSERT_EQ(rc, 1) << s.lastError();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(s.waitCommand(10, status), -1); // no command any more

    QTemporaryDir tmp;
    const std::string err = tmp.path().toStdString() + "/kq4.err";
    ASSERT_EQ(s.get("kq4.err", err), net::SshResult::Ok) << s.lastError();
    const std::string first = readFile(err).substr(0, readFile(err).find('\n'));
    EXPECT_NO_THROW((void)std::stoi(first)) << first;
    EXPECT_EQ(s.get("remote$.fk1", tmp.path().toStdString() + "/remote$.fk1"), net::SshResult::Ok);
    // The module's output came to the log line by line, without carriage returns.
    EXPECT_GT(log.size(), 3u);
    for (const auto& line : log) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
}

TEST_F(SshSessionTest, StopEndsTheRemoteCommand) {
    net::SshSession s(config());
    open(s);
    // Regression: a fixed duration matched the same test running at once in the
    // twin (locale) process, so its sleep looked like one that had survived the stop.
    const QString sleep = QStringLiteral("sleep 37.%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(s.startCommand(sleep.toStdString()));
    int status = 0;
    EXPECT_EQ(s.waitCommand(500, status), 0);
    ASSERT_TRUE(sleepRuns(sleep));
    const auto t = Clock::now();
    s.stopCommand();
    while (sleepRuns(sleep) && secondsSince(t) < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(sleepRuns(sleep));
    EXPECT_LT(secondsSince(t), 3.0);
    // The session goes on.
    EXPECT_EQ(s.remove("nothing"), net::SshResult::NotFound);
}

TEST_F(SshSessionTest, AbortFlagEndsAWait) {
    std::atomic<bool> abort{false};
    net::SshSession s(config());
    s.setAbortFlag(&abort);
    open(s);
    ASSERT_TRUE(s.startCommand("sleep 38.25"));
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        abort = true;
    });
    int status = 0;
    const auto t = Clock::now();
    EXPECT_EQ(s.waitCommand(30000, status), 0);
    EXPECT_LT(secondsSince(t), 5.0);
    setter.join();
    s.stopCommand();
    // Connecting while the flag stands ends at once, too.
    net::SshSession other(config());
    other.setAbortFlag(&abort);
    EXPECT_EQ(other.connect(), net::HostKeyState::Failed);
}

} // namespace
