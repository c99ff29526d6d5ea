// The remote run against real servers on loopback: pyftpdlib and busybox telnetd sharing one
// home folder, and sshd; the host's shell runs the real kq4calc. Results must equal those of
// the local run, and every failure must end with its code, quickly.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <sstream>

#include <gtest/gtest.h>

#include "calcctl/result_code.h"
#include "cli/calc_command.h"
#include "model/project_file.h"
#include "net/remote_run.h"
#include "tests/calcctl/calcctl_test_support.h"
#include "tests/net/remote_hosts.h"
#include "tests/net/test_servers.h"

namespace net {
namespace {

using calcctl::Calculation;

const QString kModuleDir = QFileInfo(QStringLiteral(KQ4CALC_PATH)).absolutePath();
const std::string kExample = TERVANA_SOURCE_DIR "/examples/cam_dwell.k4p";
const QString kPassword = QStringLiteral("s3cr$t pw");

std::vector<model::TVector> seriesOf(model::Node& project) {
    std::vector<model::TVector> out;
    for (auto& c : project.children)
        if (auto* h = c->as<model::THSHeader>()) out.push_back(h->sSC);
    return out;
}

class RemoteRun : public calcctl::test::InScratchDir {
protected:
    void SetUp() override {
        InScratchDir::SetUp();
        qputenv("XDG_RUNTIME_DIR", lockDir().toUtf8());
        // OpenBLAS picks its kernels by the processor unless told; SSH sessions are not told,
        // so neither is the local reference run (else the last digits may differ).
        qunsetenv("OPENBLAS_CORETYPE");
    }
    // The example, opened afresh.
    model::Node& project() {
        auto opened = model::openProject(tree_, kExample);
        EXPECT_TRUE(std::holds_alternative<model::Node*>(opened));
        return *std::get<model::Node*>(opened);
    }
    // Runs project p with a runner made from s; the log lines are kept.
    int run(model::Node& p, const RemoteSettings& s,
            const std::function<void(RemoteRunner&)>& onStart = {}) {
        Calculation calc;
        configure(calc);
        calc.settings.modulePath = QStringLiteral(KQ4CALC_PATH);
        calc.BatchMode = true;
        log_.clear();
        calc.runnerFactory = [&] {
            auto r = std::make_unique<RemoteRunner>(s);
            QObject::connect(r.get(), &RemoteRunner::listingLine,
                             [this](const QString& l) { log_ << l; });
            if (onStart) onStart(*r);
            return std::unique_ptr<calcctl::ModuleRunner>(std::move(r));
        };
        return calcctl::test::runToEnd(calc, p);
    }
    std::vector<model::TVector> localSeries() {
        model::ProjectTree tree;
        auto opened = model::openProject(tree, kExample);
        model::Node& p = *std::get<model::Node*>(opened);
        Calculation calc;
        configure(calc);
        calc.settings.modulePath = QStringLiteral(KQ4CALC_PATH);
        calc.BatchMode = true;
        const int code = calcctl::test::runToEnd(calc, p);
        EXPECT_TRUE(code == 0 || code == 1) << code;
        return seriesOf(p);
    }
    model::ProjectTree tree_;
    QStringList log_;
};

// FTP and telnet servers over one home folder, with the host folder "calc" in it.
struct FtpTelnetHost {
    explicit FtpTelnetHost(bool writable = true)
        : ftp(kPassword, {.perm = writable ? QStringLiteral("elradfmw") : QStringLiteral("elr")}),
          telnet(ftp.home(), kPassword, kModuleDir) {
        QDir(ftp.home()).mkpath(QStringLiteral("calc"));
    }
    bool available() const { return ftp.available() && telnet.available(); }
    QString why() const { return ftp.error() + telnet.error(); }
    RemoteSettings
    settings(const QString& command = QStringLiteral("kq4calc remote$.kq4 0")) const {
        RemoteSettings s;
        s.host = QStringLiteral("127.0.0.1:%1").arg(ftp.port());
        s.telnetPort = telnet.port();
        s.user = QStringLiteral("calc");
        s.password = kPassword;
        s.prompt = QStringLiteral("$");
        s.command = command;
        s.remotePath = QStringLiteral("calc");
        s.maxTime = 20;
        s.details = true;
        return s;
    }
    QString file(const RemoteSettings& s, const QString& name) const {
        return ftp.home() + QLatin1Char('/') + s.remotePath + QLatin1Char('/') + name;
    }
    nettest::FtpServer ftp;
    nettest::TelnetServer telnet;
};

#define REQUIRE_HOST(h) NETTEST_REQUIRE((h).available(), (h).why().toStdString())

void put(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST_F(RemoteRun, FtpTelnetResultsEqualTheLocalOnesAndStaleHostFilesAreNotRead) {
    const auto local = localSeries();
    // In the host folder and in the login folder, with either line end.
    for (const auto& [path, crOnly] : {std::pair{"calc", true}, std::pair{"", false}}) {
        SCOPED_TRACE(path);
        FtpTelnetHost host;
        REQUIRE_HOST(host);
        RemoteSettings s = host.settings();
        s.remotePath = QString::fromLatin1(path);
        s.crOnly = crOnly;
        // Left on the host by a larger project: must be gone, not read.
        put(host.file(s, QStringLiteral("remote$.fk2")), "1 2 3 4\n");
        put(host.file(s, QStringLiteral("remote$.kqe")),
            "1 1 1 1 1 1 1 1 1 9 9 9 9 9 9 9 9 9 9 9 9\n");
        model::Node& p = project();
        const int code = run(p, s);
        EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << log_.join('\n').toStdString();
        EXPECT_EQ(seriesOf(p), local);
        EXPECT_FALSE(QFileInfo::exists(host.file(s, QStringLiteral("remote$.fk2"))));
        EXPECT_TRUE(log_.contains(QString::fromUtf8(kTextDownloadDone)));
        // The password shows nowhere, though the server greets with it.
        EXPECT_FALSE(log_.join('\n').contains(kPassword));
        EXPECT_TRUE(log_.join('\n').contains(QStringLiteral("#########")));
    }
}

TEST_F(RemoteRun, FailuresEndWithTheirCodesQuickly) {
    struct Case {
        const char* what;
        std::function<void(RemoteSettings&)> change;
        bool writable;
        int code;
        qint64 withinMs;
    };
    const std::vector<Case> cases{
        {"wrong password", [](RemoteSettings& s) { s.password = QStringLiteral("wrong"); }, true,
         calcctl::kCodeNoConnection, 5000},
        {"refused upload", [](RemoteSettings&) {}, false, calcctl::kCodeNoConnection, 5000},
        {"no telnet server", [](RemoteSettings& s) { s.telnetPort = nettest::freePort(); }, true,
         calcctl::kCodeNoConnection, 5000},
        {"unreadable status file",
         [](RemoteSettings& s) { s.command = QStringLiteral("echo kaputt > kq4.err"); }, true,
         calcctl::kCodeNoAnswer, 5000},
        {"no status file",
         [](RemoteSettings& s) {
             s.command = QStringLiteral("echo nothing");
             s.maxTime = 3;
         },
         true, calcctl::kCodeUploadTimeout, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FtpTelnetHost host(c.writable);
        REQUIRE_HOST(host);
        RemoteSettings s = host.settings();
        c.change(s);
        // A finished run of another project is on the host: nothing of it may be taken.
        put(host.file(s, QStringLiteral("kq4.err")), "0\n");
        put(host.file(s, QStringLiteral("remote$.fk1")), "0 0\n");
        model::Node& p = project();
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(run(p, s), c.code) << log_.join('\n').toStdString();
        EXPECT_LT(t.elapsed(), c.withinMs);
        EXPECT_FALSE(model::projectObj(p).ResultsStored);
        EXPECT_FALSE(std::filesystem::exists(work() / "remote$.fk1"));
        EXPECT_FALSE(std::filesystem::exists(work() / kFetchedStatusFile));
    }
}

TEST_F(RemoteRun, SshResultsEqualTheLocalOnesAndAnUnknownHostKeyIsAskedAboutOnce) {
    nettest::SshServer server(kModuleDir);
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    const auto local = localSeries();
    const RemoteSettings s = nettest::sshSettings(server);
    put(server.home() + QStringLiteral("/remote$.fk2"), "1 2\n");
    int asked = 0;
    auto trusting = [&](RemoteRunner& r) {
        r.acceptHostKey = [&](const QString&, const QString& fingerprint) {
            EXPECT_TRUE(fingerprint.startsWith(QStringLiteral("SHA256:")));
            ++asked;
            return true;
        };
    };
    for (int round = 0; round < 2; ++round) {
        model::Node& p = project();
        const int code = run(p, s, trusting);
        EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << log_.join('\n').toStdString();
        EXPECT_EQ(seriesOf(p), local);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFileInfo::exists(server.home() + QStringLiteral("/remote$.fk2")));
}

TEST_F(RemoteRun, SshRefusesARefusedOrChangedHostKeyAtOnce) {
    nettest::SshServer server(kModuleDir);
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    const RemoteSettings s = nettest::sshSettings(server);
    int asked = 0;
    auto refusing = [&](RemoteRunner& r) {
        r.acceptHostKey = [&](const QString&, const QString&) {
            ++asked;
            return false;
        };
    };
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(run(project(), s, refusing), calcctl::kCodeNoConnection);
    EXPECT_EQ(asked, 1);
    // Another key known for this host: refused without a question.
    put(server.knownHosts(), server.otherHostKeyLine().toUtf8() + "\n");
    EXPECT_EQ(run(project(), s, refusing), calcctl::kCodeNoConnection);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(log_.join('\n').contains(QStringLiteral("geändert")));
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(QFileInfo::exists(server.home() + QStringLiteral("/remote$.kq4")));
}

TEST_F(RemoteRun, CancelEndsWithinASecondAndStopsTheCommand) {
    const QString command = QStringLiteral("sleep 20; echo late > late.txt");
    FtpTelnetHost host;
    nettest::SshServer ssh(kModuleDir);
    for (const bool overSsh : {false, true}) {
        SCOPED_TRACE(overSsh ? "SSH" : "FTP and telnet");
        if (!(overSsh ? ssh.available() : host.available())) continue;
        RemoteSettings s = overSsh ? nettest::sshSettings(ssh) : host.settings(command);
        s.command = command;
        QElapsedTimer t;
        const int code = run(project(), s, [&](RemoteRunner& r) {
            r.acceptHostKey = [](const QString&, const QString&) { return true; };
            QObject::connect(&r, &RemoteRunner::listingLine, &r, [&r, &t](const QString& l) {
                if (l == QString::fromUtf8(kTextCommandStarted)) {
                    t.start();
                    QTimer::singleShot(300, &r, [&r] { r.cancel(); });
                }
            });
        });
        EXPECT_EQ(code, calcctl::kCodeUserAbort);
        // Regression: log lines of the aborted operation came after the end, to listeners
        // that were gone by then.
        const qsizetype lines = log_.size();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(log_.size(), lines);
        EXPECT_TRUE(t.isValid());
        EXPECT_LT(t.elapsed(), 1300);
        // The interrupted command never gets to write.
        QThread::sleep(1);
        const QString late = overSsh ? ssh.home() + QStringLiteral("/late.txt")
                                     : host.file(s, QStringLiteral("late.txt"));
        EXPECT_FALSE(QFileInfo::exists(late));
    }
}

TEST_F(RemoteRun, CliCalculatesRemotelyWithThePasswordFromTheEnvironment) {
    FtpTelnetHost host;
    REQUIRE_HOST(host);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    const std::string out = (dir() / "out.k4p").string();
    auto args = [&](const std::string& password) {
        return std::vector<std::string>{"calc",
                                        kExample,
                                        "--remote",
                                        "--host",
                                        "127.0.0.1:" + std::to_string(host.ftp.port()),
                                        "--telnet-port",
                                        std::to_string(host.telnet.port()),
                                        "--user",
                                        "calc",
                                        "--folder",
                                        "calc",
                                        "--prompt",
                                        "$",
                                        "--command",
                                        "kq4calc remote$.kq4 0",
                                        "--workdir",
                                        work().string(),
                                        "-o",
                                        out,
                                        password};
    };
    std::ostringstream o, e;
    // Never from the command line.
    EXPECT_EQ(cli::runCalcCli(args("--password=x"), o, e), 2);
    qputenv("TERVANA_REMOTE_PASSWORD", kPassword.toUtf8());
    const int status = cli::runCalcCli(args("--details"), o, e);
    qunsetenv("TERVANA_REMOTE_PASSWORD");
    ASSERT_EQ(status, 0) << o.str() << e.str();
    EXPECT_EQ(o.str().find(kPassword.toStdString()), std::string::npos);
    // The same project calculated here and saved the same way.
    const std::string localOut = (dir() / "local.k4p").string();
    ASSERT_EQ(cli::runCalcCli({"calc", kExample, "--workdir", work().string(), "--module",
                               KQ4CALC_PATH, "-o", localOut},
                              o, e),
              0);
    model::ProjectTree tree;
    auto remote = model::openProject(tree, out);
    auto here = model::openProject(tree, localOut);
    ASSERT_TRUE(std::holds_alternative<model::Node*>(remote));
    ASSERT_TRUE(std::holds_alternative<model::Node*>(here));
    EXPECT_EQ(seriesOf(*std::get<model::Node*>(remote)), seriesOf(*std::get<model::Node*>(here)));
}

TEST(RemoteSettingsText, TimesAndHosts) {
    EXPECT_EQ(hmsText(3700), QStringLiteral("1h 1m 40s"));
    EXPECT_EQ(hmsText(1200), QStringLiteral("0h 20m 0s"));
    struct H {
        const char* text;
        const char* host;
        int port;
        bool ok;
    };
    for (const H& h : std::initializer_list<H>{{"calc.example", "calc.example", 21, true},
                                               {"calc:2121", "calc", 2121, true},
                                               {"[::1]:2222", "::1", 2222, true},
                                               {"::1", "::1", 21, true},
                                               {"calc:", "calc", 21, false},
                                               {"calc:99999", "calc", 21, false},
                                               {":21", "", 21, false},
                                               {"", "", 21, false}}) {
        SCOPED_TRACE(h.text);
        const HostPort hp = splitHost(QString::fromLatin1(h.text), 21);
        EXPECT_EQ(hp.ok, h.ok);
        if (h.ok) {
            EXPECT_EQ(hp.host, QString::fromLatin1(h.host));
            EXPECT_EQ(hp.port, h.port);
        }
    }
}

} // namespace
} // namespace net
