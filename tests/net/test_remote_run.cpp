// The remote run against real servers on loopback: pyftpdlib and busybox telnetd sharing one
// home folder, and sshd; the host's shell runs the real kq4calc. Results must equal those of
// the local run, and every failure must end with its code, quickly.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
std::string example(const std::string& name) {
    return TERVANA_SOURCE_DIR "/examples/" + name + ".k4p";
}
const std::string kExample = example("cam_dwell");
const QString kPassword = QStringLiteral("s3cr$t pw");

std::vector<model::TVector> seriesOf(model::Node& project) {
    std::vector<model::TVector> out;
    for (auto& c : project.children)
        if (auto* h = c->as<model::THSHeader>()) out.push_back(h->sSC);
    return out;
}

// What a folder holds, without "." and "..".
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}
// The same as one text, for a comparison that shows it.
std::string listed(const QString& folder) {
    return entries(folder).join(QLatin1Char(' ')).toStdString();
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
    // A project, opened afresh.
    model::Node& project(const std::string& file = kExample) {
        auto opened = model::openProject(tree_, file);
        EXPECT_TRUE(std::holds_alternative<model::Node*>(opened));
        return *std::get<model::Node*>(opened);
    }
    // A calculation of p with a runner made from s; the log lines and the runner's words on
    // a failure are kept.
    void prepare(Calculation& calc, const RemoteSettings& s,
                 const std::function<void(RemoteRunner&)>& onStart = {}) {
        configure(calc);
        calc.settings.modulePath = QStringLiteral(KQ4CALC_PATH);
        calc.BatchMode = true;
        calc.runnerFactory = [this, s, onStart] {
            auto r = std::make_unique<RemoteRunner>(s);
            QObject::connect(r.get(), &RemoteRunner::listingLine,
                             [this](const QString& l) { log_ << l; });
            QObject::connect(r.get(), &RemoteRunner::finished,
                             [this, runner = r.get()] { failure_ = runner->failureText(); });
            if (onStart) onStart(*r);
            return std::unique_ptr<calcctl::ModuleRunner>(std::move(r));
        };
    }
    int run(model::Node& p, const RemoteSettings& s,
            const std::function<void(RemoteRunner&)>& onStart = {}) {
        Calculation calc;
        prepare(calc, s, onStart);
        log_.clear();
        failure_.clear();
        return calcctl::test::runToEnd(calc, p);
    }
    std::vector<model::TVector> localSeries(const std::string& file = kExample) {
        model::ProjectTree tree;
        auto opened = model::openProject(tree, file);
        model::Node& p = *std::get<model::Node*>(opened);
        Calculation calc;
        configure(calc);
        calc.settings.modulePath = QStringLiteral(KQ4CALC_PATH);
        calc.BatchMode = true;
        const int code = calcctl::test::runToEnd(calc, p);
        EXPECT_TRUE(code == 0 || code == 1) << code;
        return seriesOf(p);
    }
    // The files a run fetched and did not make results of (partial, oversized, unfinished),
    // once they had a moment to go.
    std::string leftovers() const {
        const QString folder = QString::fromStdString(work().string());
        const QRegularExpression fetched(QString::fromLatin1(kRunFolderPrefix) +
                                         QStringLiteral("|\\.part$"));
        QStringList left;
        for (int i = 0; i < 50; ++i) {
            left = entries(folder).filter(fetched);
            if (left.isEmpty()) break;
            QThread::msleep(100);
        }
        return left.join(QLatin1Char(' ')).toStdString();
    }
    std::string logText() const { return log_.join('\n').toStdString(); }

    model::ProjectTree tree_;
    QStringList log_;
    QString failure_;
};

// FTP and telnet servers over one home folder, with the host folder "calc" in it.
struct FtpTelnetHost {
    explicit FtpTelnetHost(const nettest::FtpOptions& options = {})
        : ftp(kPassword, options), telnet(ftp.home(), kPassword, kModuleDir) {
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
    // In the host folder, in the login folder, and in a folder whose name the shell must take
    // as one word; with either line end.
    for (const auto& [path, crOnly] :
         {std::pair{"calc", true}, std::pair{"", false}, std::pair{"calc/it's here", true}}) {
        SCOPED_TRACE(path);
        FtpTelnetHost host;
        REQUIRE_HOST(host);
        RemoteSettings s = host.settings();
        s.remotePath = QString::fromLatin1(path);
        s.crOnly = crOnly;
        ASSERT_TRUE(QDir(host.ftp.home()).mkpath(s.remotePath.isEmpty() ? "." : s.remotePath));
        // Left in the host folder by a finished run of a larger project: never read.
        put(host.file(s, QStringLiteral("kq4.err")), "0\n");
        put(host.file(s, QStringLiteral("remote$.fk2")), "1 2 3 4\n");
        put(host.file(s, QStringLiteral("remote$.kqe")),
            "1 1 1 1 1 1 1 1 1 9 9 9 9 9 9 9 9 9 9 9 9\n");
        model::Node& p = project();
        const int code = run(p, s);
        EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << logText();
        EXPECT_EQ(seriesOf(p), local);
        EXPECT_TRUE(log_.contains(QString::fromUtf8(kTextDownloadDone)));
        // The password shows nowhere, though the server greets with it.
        EXPECT_FALSE(log_.join('\n').contains(kPassword));
        EXPECT_TRUE(log_.join('\n').contains(QStringLiteral("#########")));
        // The run's own folder is gone again.
        EXPECT_TRUE(waitForClosedRuns(15000));
        EXPECT_EQ(listed(host.file(s, QString())).find(kRunFolderPrefix), std::string::npos);
    }
}

TEST_F(RemoteRun, FailuresEndWithTheirCodesQuickly) {
    struct Case {
        const char* what;
        std::function<void(RemoteSettings&)> change;
        const char* perm; // of the FTP user
        int code;
        qint64 withinMs;
    };
    const std::vector<Case> cases{
        {"wrong password", [](RemoteSettings& s) { s.password = QStringLiteral("wrong"); },
         "elradfmw", calcctl::kCodeNoConnection, 5000},
        {"refused upload", [](RemoteSettings&) {}, "elr", calcctl::kCodeNoConnection, 5000},
        {"no telnet server", [](RemoteSettings& s) { s.telnetPort = nettest::freePort(); },
         "elradfmw", calcctl::kCodeNoConnection, 5000},
        {"unreadable status file",
         [](RemoteSettings& s) { s.command = QStringLiteral("echo kaputt > kq4.err"); }, "elradfmw",
         calcctl::kCodeNoAnswer, 5000},
        {"no status file",
         [](RemoteSettings& s) {
             s.command = QStringLiteral("echo nothing");
             s.maxTime = 3;
         },
         "elradfmw", calcctl::kCodeUploadTimeout, 6000},
        // Regression: a refused DELE counted as a missing file, and the earlier run's status
        // and results were taken for the failed command's.
        {"account that may not delete, command fails",
         [](RemoteSettings& s) {
             s.command = QStringLiteral("no-such-module remote$.kq4 0");
             s.maxTime = 3;
         },
         "elrmw", calcctl::kCodeUploadTimeout, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FtpTelnetHost host({.perm = QString::fromLatin1(c.perm)});
        REQUIRE_HOST(host);
        RemoteSettings s = host.settings();
        c.change(s);
        // A finished run of another project is on the host: nothing of it may be taken.
        put(host.file(s, QStringLiteral("kq4.err")), "0\n");
        put(host.file(s, QStringLiteral("remote$.fk1")), "0 0\n");
        model::Node& p = project();
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(run(p, s), c.code) << logText();
        EXPECT_LT(t.elapsed(), c.withinMs);
        EXPECT_FALSE(model::projectObj(p).ResultsStored);
        EXPECT_FALSE(std::filesystem::exists(work() / "remote$.fk1"));
        EXPECT_EQ(leftovers(), "");
    }
}

// The words that go with -202 name what failed; a log-in is blamed only where one was tried.
TEST_F(RemoteRun, FailuresSayWhatFailed) {
    const QString refused = QStringLiteral("127.0.0.1:%1").arg(nettest::freePort());
    struct Case {
        const char* what;
        QString host;
        std::function<void()> probe; // on the worker thread
        const char* says;
    };
    const std::vector<Case> cases{
        {"refused SSH connection", refused, {}, "127.0.0.1"},
        {"unknown SSH host name",
         QStringLiteral("no-such-host.invalid"),
         {},
         "no-such-host.invalid"},
        // Regression: an exception on the worker thread ended the program.
        {"exception on the worker thread", refused, [] { throw std::runtime_error("Sonde 4711"); },
         "Sonde 4711"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoteSettings s;
        s.protocol = RemoteProtocol::Ssh;
        s.host = c.host;
        s.user = QStringLiteral("calc");
        s.command = QStringLiteral("kq4calc remote$.kq4 0");
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(run(project(), s, [&](RemoteRunner& r) { r.workerProbe = c.probe; }),
                  calcctl::kCodeNoConnection);
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_TRUE(failure_.contains(QString::fromLatin1(c.says))) << failure_.toStdString();
        EXPECT_FALSE(failure_.contains(QStringLiteral("Anmeldung"))) << failure_.toStdString();
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
        EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << logText();
        EXPECT_EQ(seriesOf(p), local);
    }
    EXPECT_EQ(asked, 1);
    // Left alone and not read; the runs' own folders are gone.
    EXPECT_TRUE(waitForClosedRuns(15000));
    EXPECT_EQ(listed(server.home()), "remote$.fk2");
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
    EXPECT_EQ(listed(server.home()), "");
}

// Regression: two runs into one host folder (two programs, or the parallel recipe pointed at
// one host) overwrote each other's input, and one stored the other's law with code 0.
TEST_F(RemoteRun, TwoRunsIntoOneHostFolderKeepTheirOwnResults) {
    nettest::SshServer server(kModuleDir);
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    const std::string files[2] = {kExample, example("slide_gripper")};
    const std::vector<model::TVector> local[2] = {localSeries(files[0]), localSeries(files[1])};
    RemoteSettings s = nettest::sshSettings(server);
    s.command = QStringLiteral("sleep 2; kq4calc remote$.kq4 0");
    Calculation calc[2];
    model::Node* p[2] = {&project(files[0]), &project(files[1])};
    int done = 0;
    QEventLoop loop;
    for (int i = 0; i < 2; ++i) {
        prepare(calc[i], s, [](RemoteRunner& r) {
            r.acceptHostKey = [](const QString&, const QString&) { return true; };
        });
        const auto folder = work() / ("run" + std::to_string(i));
        std::filesystem::create_directories(folder);
        calc[i].settings.workDir = QString::fromStdString(folder.string());
        QObject::connect(&calc[i], &Calculation::finished, &loop, [&] {
            if (++done == 2) loop.quit();
        });
    }
    calc[0].calculate(*p[0]);
    QTimer::singleShot(1000, &loop, [&] { calc[1].calculate(*p[1]); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(done, 2) << logText();
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_TRUE(calc[i].code() == 0 || calc[i].code() == 1) << calc[i].code();
        EXPECT_EQ(seriesOf(*p[i]), local[i]);
    }
    EXPECT_TRUE(waitForClosedRuns(15000));
    EXPECT_EQ(listed(server.home()), "");
}

// Every fetched file is bounded in size, and the maximum time holds while the results are
// fetched: an endless file, one that trickles in, or a FIFO that never opens.
TEST_F(RemoteRun, FetchingIsBoundedInSizeAndTime) {
    QTemporaryDir scratch;
    const QString fifo = scratch.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    struct Case {
        const char* what;
        bool ssh;
        QString command;
        int bytesPerSecond; // of the FTP server
        int maxTime;
        int code;
        bool statusFound; // the failure came while the results were fetched
    };
    const std::vector<Case> cases{
        {"oversized status file over SSH", true,
         QStringLiteral("echo 0 > kq4.err; truncate -s 17000000 kq4.err"), 0, 20,
         calcctl::kCodeNoConnection, false},
        {"oversized coefficient file over FTP", false,
         QStringLiteral("echo 0 > kq4.err; truncate -s 17000000 remote$.fk1"), 0, 20,
         calcctl::kCodeNoConnection, true},
        {"trickled coefficient file over FTP", false,
         QStringLiteral("echo 0 > kq4.err; head -c 2000 /dev/zero > remote$.fk1"), 2, 6,
         calcctl::kCodeUploadTimeout, true},
        {"FIFO for a coefficient file over SSH", true,
         QStringLiteral("echo 0 > kq4.err; ln -s '%1' remote$.fk1").arg(fifo), 0, 4,
         calcctl::kCodeUploadTimeout, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<FtpTelnetHost> host;
        std::unique_ptr<nettest::SshServer> ssh;
        RemoteSettings s;
        if (c.ssh) {
            ssh = std::make_unique<nettest::SshServer>(kModuleDir);
            NETTEST_REQUIRE(ssh->available(), ssh->error().toStdString());
            s = nettest::sshSettings(*ssh);
        } else {
            host = std::make_unique<FtpTelnetHost>(
                nettest::FtpOptions{.bytesPerSecond = c.bytesPerSecond});
            REQUIRE_HOST(*host);
            s = host->settings();
        }
        s.command = c.command;
        s.maxTime = c.maxTime;
        model::Node& p = project();
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(run(p, s,
                      [](RemoteRunner& r) {
                          r.acceptHostKey = [](const QString&, const QString&) { return true; };
                      }),
                  c.code)
            << logText();
        EXPECT_LT(t.elapsed(), (c.code == calcctl::kCodeUploadTimeout ? c.maxTime + 2 : 8) * 1000);
        EXPECT_EQ(log_.contains(QString::fromUtf8(kTextCommandDone)), c.statusFound) << logText();
        EXPECT_FALSE(model::projectObj(p).ResultsStored);
        EXPECT_EQ(leftovers(), "");
        // The host's reader of the FIFO is let go.
        const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
}

TEST_F(RemoteRun, SshCommandEndIsSeenAtOnceWhateverItPrints) {
    nettest::SshServer server(kModuleDir);
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    struct Case {
        const char* what;
        const char* command;
        bool results;
        const char* says; // the exit status, in the runner's words
    };
    const std::vector<Case> cases{
        // Regression: one piece of output was read per second (2.6 MB took the maximum time).
        {"2.6 MB of output", "seq 1 400000; kq4calc remote$.kq4 0", true, ""},
        // Regression: a command that was not found cost the whole maximum time.
        {"command not found", "no-such-module remote$.kq4 0", false, "127"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoteSettings s = nettest::sshSettings(server);
        s.command = QString::fromLatin1(c.command);
        model::Node& p = project();
        QElapsedTimer t;
        t.start();
        const int code = run(p, s, [](RemoteRunner& r) {
            r.acceptHostKey = [](const QString&, const QString&) { return true; };
        });
        EXPECT_LT(t.elapsed(), 12000);
        EXPECT_EQ(model::projectObj(p).ResultsStored, c.results) << code << "\n" << logText();
        if (!c.results) {
            EXPECT_EQ(code, calcctl::kCodeNoConnection);
            EXPECT_TRUE(failure_.contains(QString::fromLatin1(c.says))) << failure_.toStdString();
        }
    }
}

// Regression: the question about an unknown host key ran a nested event loop while the clock
// went on; at the maximum time the runner was deleted under the open question and read after
// it. The clock now stands still while asking; a cancel meanwhile ends the run for good.
TEST_F(RemoteRun, HostKeyQuestionOutlastingTheMaximumTime) {
    for (const bool cancelWhileAsked : {false, true}) {
        SCOPED_TRACE(cancelWhileAsked ? "cancelled while asked" : "answered late");
        nettest::SshServer server(kModuleDir);
        NETTEST_REQUIRE(server.available(), server.error().toStdString());
        RemoteSettings s = nettest::sshSettings(server);
        s.maxTime = 2;
        model::Node& p = project();
        const int code = run(p, s, [&](RemoteRunner& r) {
            QPointer<RemoteRunner> runner(&r);
            r.acceptHostKey = [runner, cancelWhileAsked](const QString&, const QString&) {
                QEventLoop asking;
                if (cancelWhileAsked)
                    QTimer::singleShot(300, &asking, [runner] {
                        if (runner) runner->cancel();
                    });
                QTimer::singleShot(3500, &asking, &QEventLoop::quit);
                asking.exec();
                return true;
            };
        });
        if (cancelWhileAsked) {
            EXPECT_EQ(code, calcctl::kCodeUserAbort);
        } else {
            EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << logText();
            EXPECT_TRUE(model::projectObj(p).ResultsStored);
        }
    }
}

TEST_F(RemoteRun, CancelEndsWithinASecondInEveryState) {
    QTemporaryDir scratch;
    const QString late = scratch.filePath(QStringLiteral("late.txt"));
    const QString fifo = scratch.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    // Writes outside the run's folder, which goes with the run.
    const QString sleeper = QStringLiteral("sleep 2; echo late > '%1'").arg(late);
    struct Case {
        const char* what;
        bool ssh;
        QString command;
        const char* cancelAfter; // the log line
    };
    const std::vector<Case> cases{
        {"command over telnet", false, sleeper, kTextCommandStarted},
        {"command over SSH", true, sleeper, kTextCommandStarted},
        // Regression: the end waited for the operation, here an SFTP open for ever.
        {"blocked SFTP open", true,
         QStringLiteral("echo 0 > kq4.err; ln -s '%1' remote$.kqe").arg(fifo),
         kTextDownloadStarted},
    };
    FtpTelnetHost host;
    nettest::SshServer ssh(kModuleDir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.ssh) {
            NETTEST_REQUIRE(ssh.available(), ssh.error().toStdString());
        } else {
            REQUIRE_HOST(host);
        }
        RemoteSettings s = c.ssh ? nettest::sshSettings(ssh) : host.settings();
        s.command = c.command;
        QElapsedTimer t;
        const int code = run(project(), s, [&](RemoteRunner& r) {
            r.acceptHostKey = [](const QString&, const QString&) { return true; };
            QObject::connect(&r, &RemoteRunner::listingLine, &r, [&r, &t, &c](const QString& l) {
                if (l == QString::fromUtf8(c.cancelAfter))
                    QTimer::singleShot(300, &r, [&r, &t] {
                        t.start();
                        r.cancel();
                    });
            });
        });
        EXPECT_EQ(code, calcctl::kCodeUserAbort) << logText();
        ASSERT_TRUE(t.isValid());
        EXPECT_LT(t.elapsed(), 1000);
        // Regression: log lines of the aborted operation came after the end, to listeners
        // that were gone by then.
        const qsizetype lines = log_.size();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(log_.size(), lines);
    }
    // Past the commands' own end: the interrupted ones never got to write.
    QThread::sleep(3);
    EXPECT_FALSE(QFileInfo::exists(late));
    const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
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

// Regression: the program's end cut the closing of its last run short, so every
// tervana-cli calc --remote left its run's folder on the host. Many files in it make the
// closing take as long as over a slow connection.
TEST_F(RemoteRun, CliProgramLeavesNoRunFolderOnTheHost) {
    nettest::SshServer server(kModuleDir);
    NETTEST_REQUIRE(server.available(), server.error().toStdString());
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir().string()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir().string()));
    cli.setProcessEnvironment(env);
    cli.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList args{"calc",
                           QString::fromStdString(kExample),
                           "--workdir",
                           QString::fromStdString(work().string()),
                           "-o",
                           QString::fromStdString((dir() / "out.k4p").string()),
                           "--remote",
                           "--protocol",
                           "ssh",
                           "--host",
                           QStringLiteral("127.0.0.1:%1").arg(server.port()),
                           "--user",
                           server.user(),
                           "--key",
                           server.clientKey(),
                           "--known-hosts",
                           server.knownHosts(),
                           "--accept-new-host-key",
                           "--folder",
                           server.home(),
                           "--command",
                           "seq -f 'f%g' 1 1500 | xargs touch; kq4calc remote$.kq4 0"};
    cli.start(QStringLiteral(TERVANA_CLI_PATH), args);
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QByteArray said = cli.readAll();
    EXPECT_EQ(cli.exitCode(), 0) << said.toStdString();
    EXPECT_EQ(listed(server.home()), "");
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
