// The FTP session against a real server (pyftpdlib on loopback): transfers, refusals, failures
// that must come at once, the abort flag, and the password kept out of the log.
#include "net/ftp_session.h"
#include "net/line_buffer.h"
#include "tests/net/test_servers.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using net::FtpResult;
using net::TFtpSession;
using Clock = std::chrono::steady_clock;

// Also in the server's greeting, with "$" and a character of two bytes.
const std::string kPassword = "s3cr$t\xE2\x82\xAC"; // "s3cr$t€"

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class TFtpSessionTest : public testing::Test {
protected:
    void SetUp() override {
        NETTEST_REQUIRE(server_.available(), server_.error().toStdString());
        ASSERT_TRUE(local_.isValid());
    }

    net::FtpConfig config(const std::string& folder = {}) const {
        net::FtpConfig c;
        c.host = "127.0.0.1";
        c.port = server_.port();
        c.user = "calc";
        c.password = kPassword;
        c.directory = folder;
        return c;
    }
    std::string host(const std::string& name) const {
        return (server_.home() + "/").toStdString() + name;
    }
    std::string local(const std::string& name) const {
        return local_.filePath(name.c_str()).toStdString();
    }
    void logTo(TFtpSession& session) {
        session.setLog([this](const std::string& line) { log_ += line + "\n"; });
    }

    nettest::FtpServer server_{QString::fromStdString(kPassword)};
    QTemporaryDir local_;
    std::string log_;
};

TEST(FtpNames, EncodeAndMask) {
    const struct {
        const char* name;
        const char* encoded;
    } names[] = {
        {"remote$.kq4", "remote%24.kq4"},
        {"kq4.err", "kq4.err"},
        {"a b", "a%20b"},
        {"A-z_0.9~", "A-z_0.9~"},
        {"a/b%", "a%2Fb%25"},
        {"\xC3\xBC", "%C3%BC"},
        {"", ""},
    };
    for (const auto& c : names) EXPECT_EQ(net::ftpEncodeName(c.name), c.encoded) << c.name;

    const struct {
        const char* text;
        const char* secret;
        const char* masked;
    } masks[] = {
        {"PASS geheim", "geheim", "PASS ######"},
        {"geheim/geheim.", "geheim", "######/######."},
        {"PASS p\xC3\xA4sswort", "p\xC3\xA4sswort", "PASS ########"}, // 9 bytes, 8 characters
        {"\xE2\x82\xAC \xE2\x82\xAC", "\xE2\x82\xAC", "# #"},
        {"aaa", "aa", "##a"},
        {"unchanged", "", "unchanged"},
        {"no secret here", "geheim", "no secret here"},
    };
    for (const auto& c : masks) EXPECT_EQ(net::maskSecret(c.text, c.secret), c.masked) << c.text;
}

// Output without line ends (a command printing one endless line) is handed on in bounded
// pieces, none of it lost.
TEST(LineBufferBound, LongLineComesInBoundedPieces) {
    net::LineBuffer buffer;
    const std::string endless(3 * net::LineBuffer::kMaxLine + 5, 'x');
    std::string joined;
    auto take = [&](const std::string& piece) {
        EXPECT_LE(piece.size(), net::LineBuffer::kMaxLine);
        joined += piece;
    };
    for (std::size_t at = 0; at < endless.size(); at += 1000)
        buffer.add(endless.data() + at, std::min<std::size_t>(1000, endless.size() - at), take);
    buffer.add("y\n", 2, take);
    EXPECT_EQ(joined, endless + "y");
}

// Up and back down, in the login folder and in a subfolder, on one control connection.
TEST_F(TFtpSessionTest, RoundTripOfDollarNameOnOneConnection) {
    const std::string text = "zeile 1\nzeile 2\n\n3 \xC3\xA4\n";
    writeFile(local("remote$.kq4"), text);
    // A folder name to encode, relative to the login folder and absolute (the server's root is
    // the login folder).
    ASSERT_TRUE(QDir(server_.home()).mkpath("calc $/run"));
    for (const std::string folder : {"", "calc $/run", "/calc $/run/"}) {
        SCOPED_TRACE("folder \"" + folder + "\"");
        log_.clear();
        TFtpSession session(config(folder));
        logTo(session);
        ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
        EXPECT_TRUE(session.connected());
        ASSERT_EQ(session.put(local("remote$.kq4"), "remote$.kq4"), FtpResult::Ok)
            << session.lastError();
        const std::string onHost = host(folder + "/remote$.kq4");
        EXPECT_EQ(readFile(onHost), text);
        ASSERT_EQ(session.get("remote$.kq4", local("back.kq4")), FtpResult::Ok)
            << session.lastError();
        EXPECT_EQ(readFile(local("back.kq4")), text);
        EXPECT_FALSE(std::filesystem::exists(local("back.kq4.part")));
        session.quit();
        EXPECT_FALSE(session.connected());
        std::size_t logins = 0;
        for (std::size_t at = log_.find("USER calc"); at != std::string::npos;
             at = log_.find("USER calc", at + 1))
            ++logins;
        EXPECT_EQ(logins, 1u) << log_;
        EXPECT_NE(log_.find("QUIT"), std::string::npos) << log_;
    }
}

TEST_F(TFtpSessionTest, MissingFileIsNotFoundAndLeavesTargetAlone) {
    TFtpSession session(config());
    ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
    writeFile(local("kq4.err"), "old");
    EXPECT_EQ(session.get("kq4.err", local("kq4.err")), FtpResult::NotFound);
    EXPECT_FALSE(session.lastError().empty());
    EXPECT_EQ(readFile(local("kq4.err")), "old");
    EXPECT_FALSE(std::filesystem::exists(local("kq4.err.part")));
    EXPECT_EQ(session.get("kq4.err", local("new.err")), FtpResult::NotFound);
    EXPECT_FALSE(std::filesystem::exists(local("new.err")));

    // The session goes on after the refusal.
    EXPECT_TRUE(session.connected());
    writeFile(host("kq4.err"), "0\n");
    EXPECT_EQ(session.get("kq4.err", local("kq4.err")), FtpResult::Ok) << session.lastError();
    EXPECT_EQ(readFile(local("kq4.err")), "0\n");
    EXPECT_TRUE(session.lastError().empty());
}

TEST_F(TFtpSessionTest, RemoveExistingThenMissing) {
    writeFile(host("remote$.fk1"), "x\n");
    std::filesystem::create_directories(host("calc"));
    writeFile(host("calc/remote$.fk1"), "x\n");
    // Regression: DELE went to the login folder, not the host folder.
    TFtpSession inFolder(config("calc"));
    EXPECT_EQ(inFolder.remove("remote$.fk1"), FtpResult::Ok) << inFolder.lastError();
    EXPECT_FALSE(std::filesystem::exists(host("calc/remote$.fk1")));
    EXPECT_TRUE(std::filesystem::exists(host("remote$.fk1")));
    TFtpSession session(config());
    ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
    EXPECT_EQ(session.remove("remote$.fk1"), FtpResult::Ok) << session.lastError();
    EXPECT_FALSE(std::filesystem::exists(host("remote$.fk1")));
    EXPECT_EQ(session.remove("remote$.fk1"), FtpResult::NotFound);
    EXPECT_TRUE(session.connected());
    // A line end would start a second command.
    EXPECT_EQ(session.remove("x\r\nRMD ."), FtpResult::Failed);
}

TEST_F(TFtpSessionTest, WrongPasswordAndRefusedConnectionFailAtOnce) {
    auto wrong = config();
    wrong.password = "falsch";
    auto refused = config();
    refused.port = nettest::freePort();
    auto noFolder = config("gibt/es/nicht");
    for (const auto& c : {wrong, refused, noFolder}) {
        SCOPED_TRACE(c.password + " port " + std::to_string(c.port) + " " + c.directory);
        TFtpSession session(c);
        const auto start = Clock::now();
        EXPECT_EQ(session.connect(), FtpResult::Failed);
        EXPECT_LT(secondsSince(start), 5.0);
        EXPECT_FALSE(session.connected());
        EXPECT_FALSE(session.lastError().empty());
    }
}

// Regression: a refused DELE counted as "no such file", so an account that may not delete kept
// an earlier run's files, which were then taken for new ones. pyftpdlib answers 550 to both.
TEST_F(TFtpSessionTest, RefusedDeleteIsNotAMissingFile) {
    nettest::FtpServer readOnly(QString::fromStdString(kPassword), {.perm = QStringLiteral("elr")});
    ASSERT_TRUE(readOnly.available()) << readOnly.error().toStdString();
    writeFile((readOnly.home() + "/kq4.err").toStdString(), "0\n");
    writeFile(local("remote$.kq4"), "input\n");
    auto c = config();
    c.port = readOnly.port();
    TFtpSession session(c);
    ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
    EXPECT_EQ(session.put(local("remote$.kq4"), "remote$.kq4"), FtpResult::NotFound);
    EXPECT_FALSE(QFile::exists(readOnly.home() + "/remote$.kq4"));
    EXPECT_EQ(session.remove("kq4.err"), FtpResult::Failed);
    EXPECT_TRUE(QFile::exists(readOnly.home() + "/kq4.err"));
    EXPECT_EQ(session.remove("missing.err"), FtpResult::NotFound);
    EXPECT_EQ(session.makeFolder(), FtpResult::Failed); // "elr" may not make folders either
    EXPECT_TRUE(session.connected());
    EXPECT_EQ(session.get("kq4.err", local("kq4.err")), FtpResult::Ok) << session.lastError();
}

// Regression: the URL of an IPv6 address lacked its brackets ("ftp://::1:21/").
TEST(FtpIpv6, RoundTripOverTheIpv6Loopback) {
    nettest::FtpServer server(QString::fromStdString(kPassword), {.ipv6 = true});
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    QTemporaryDir local;
    const std::string in = local.filePath("in").toStdString();
    writeFile(in, "1 2\n");
    net::FtpConfig c;
    c.host = "::1";
    c.port = server.port();
    c.user = "calc";
    c.password = kPassword;
    TFtpSession session(c);
    ASSERT_EQ(session.put(in, "remote$.kq4"), FtpResult::Ok) << session.lastError();
    const std::string back = local.filePath("back").toStdString();
    ASSERT_EQ(session.get("remote$.kq4", back), FtpResult::Ok) << session.lastError();
    EXPECT_EQ(readFile(back), "1 2\n");
}

TEST_F(TFtpSessionTest, LocalFileMissingFailsWithoutServer) {
    TFtpSession session(config());
    EXPECT_EQ(session.put(local("fehlt.kq4"), "remote$.kq4"), FtpResult::Failed);
    EXPECT_NE(session.lastError().find("fehlt.kq4"), std::string::npos);
}

TEST_F(TFtpSessionTest, AbortEndsLargeDownloadQuickly) {
    {
        std::ofstream big(host("remote$.fk2"), std::ios::binary);
        const std::string line(99, 'x');
        for (int i = 0; i < 1'000'000; ++i) big << line << '\n'; // 100 MB
    }
    std::atomic<bool> abort{false};
    TFtpSession session(config());
    session.setAbortFlag(&abort);
    ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
    const std::string part = local("remote$.fk2.part");
    Clock::time_point abortedAt;
    std::thread stopper([&] {
        // Abort once data has arrived, so that the transfer is under way.
        const auto give_up = Clock::now() + std::chrono::seconds(20);
        std::error_code ec;
        while (Clock::now() < give_up && std::filesystem::file_size(part, ec) < 1'000'000)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        abortedAt = Clock::now();
        abort = true;
    });
    const FtpResult result = session.get("remote$.fk2", local("remote$.fk2"));
    const auto endedAt = Clock::now();
    stopper.join();
    EXPECT_EQ(result, FtpResult::Failed);
    EXPECT_LT(std::chrono::duration<double>(endedAt - abortedAt).count(), 1.0);
    EXPECT_FALSE(session.connected());
    EXPECT_FALSE(std::filesystem::exists(local("remote$.fk2")));
    EXPECT_FALSE(std::filesystem::exists(part));
}

// A server that takes the connection and never answers: the abort flag and the time-out each
// end the wait although no data moves.
TEST(FtpSilentServer, AbortAndTimeOutEndTheWait) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    net::FtpConfig c;
    c.host = "127.0.0.1";
    c.port = silent.serverPort();
    c.user = "calc";
    c.password = kPassword;
    {
        std::atomic<bool> abort{false};
        TFtpSession session(c);
        session.setAbortFlag(&abort);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            abort = true;
        });
        const auto start = Clock::now();
        EXPECT_EQ(session.connect(), FtpResult::Failed);
        stopper.join();
        EXPECT_LT(secondsSince(start), 1.5);
    }
    c.connectTimeoutSeconds = 1;
    c.transferTimeoutSeconds = 1;
    TFtpSession session(c);
    const auto start = Clock::now();
    EXPECT_EQ(session.connect(), FtpResult::Failed);
    EXPECT_LT(secondsSince(start), 5.0);
}

TEST_F(TFtpSessionTest, LogShowsConversationWithPasswordMasked) {
    TFtpSession session(config());
    logTo(session);
    ASSERT_EQ(session.connect(), FtpResult::Ok) << session.lastError();
    session.quit();
    EXPECT_EQ(log_.find(kPassword), std::string::npos) << log_;
    EXPECT_NE(log_.find("PASS #######\n"), std::string::npos) << log_;     // 7 characters
    EXPECT_NE(log_.find("password #######\n"), std::string::npos) << log_; // the greeting
    EXPECT_NE(log_.find("USER calc\n"), std::string::npos) << log_;
    EXPECT_EQ(log_.find('\r'), std::string::npos);

    // Failed logins too: the reply may quote what was sent.
    log_.clear();
    auto wrong = config();
    wrong.password = "s3cr";
    TFtpSession refused(wrong);
    logTo(refused);
    EXPECT_EQ(refused.connect(), FtpResult::Failed);
    EXPECT_NE(log_.find("PASS ####\n"), std::string::npos) << log_;
    EXPECT_EQ(refused.lastError().find("s3cr"), std::string::npos) << refused.lastError();
}

} // namespace
