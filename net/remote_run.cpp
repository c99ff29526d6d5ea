#include "net/remote_run.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QRandomGenerator>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "calcctl/result_code.h"
#include "model/tree.h"
#include "net/ftp_session.h"
#include "net/ssh_session.h"
#include "net/telnet_script.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

enum EventId { kEventLogin = 1, kEventPassword = 2, kEventPrompt = 3, kEventLoginAgain = 4 };

// An operation gets this long to see the abort flag before its connection is cut.
constexpr auto kAbortGrace = 500ms;
// The closing of an ended run (command stopped, run folder removed) gets this long.
constexpr auto kClosingTime = 10s;
// The program waits this long at its end for runs still being closed, and then this long
// for those it cut short.
constexpr int kExitWaitMs = 5000;
constexpr int kExitCutMs = 1000;
// Lines of the command's output quoted in a message.
constexpr int kQuotedLines = 5;

QString newRunFolder() {
    const quint64 r = QRandomGenerator::system()->generate64() & 0xFFFFFFFFFFFFull;
    return QString::fromLatin1(kRunFolderPrefix) +
           QStringLiteral("%1").arg(r, 12, 16, QLatin1Char('0'));
}

QString joinFolder(QString parent, const QString& child) {
    while (parent.size() > 1 && parent.endsWith(QLatin1Char('/'))) parent.chop(1);
    return parent.isEmpty() ? child : parent + QLatin1Char('/') + child;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// Host, port, log-in and host folder, as the FTP and the SSH session both take them.
template <class Config>
Config loginConfig(const RemoteSettings& s, int defaultPort, const QString& folder) {
    Config c;
    const HostPort hp = splitHost(s.host, defaultPort);
    c.host = hp.host.toStdString();
    c.port = hp.port;
    c.user = s.user.toStdString();
    c.password = s.password.toStdString();
    c.directory = folder.toStdString();
    return c;
}

// What a file operation of either session came to.
enum class Done { Ok, Missing, Failed };
template <class Result> Done doneOf(Result r) {
    return r == Result::Ok ? Done::Ok : r == Result::NotFound ? Done::Missing : Done::Failed;
}

} // namespace

// The sessions of one run and the thread their blocking operations run on, shared by the
// runner, its worker and, after the end, the thread that closes them: a runner that has ended
// (or is gone) never waits for an operation that hangs in the host's hands.
struct RemoteLink {
    std::atomic<bool> abort{false};
    std::atomic<bool> busy{false};           // an operation runs on worker
    std::atomic<bool> folderMade{false};     // the run folder exists on the host
    std::atomic<bool> commandRunning{false}; // the SSH command has not ended
    std::atomic<bool> cut{false};            // the SSH connection was cut
    std::unique_ptr<TFtpSession> ftp;
    std::unique_ptr<SshSession> ssh;
    std::thread worker;
    std::vector<std::string> fetchedFiles; // local files of the run that are not results yet

    std::mutex ownerMutex;
    RemoteRunner* owner = nullptr; // null once the run has ended

    ~RemoteLink() {
        if (worker.joinable()) worker.join();
    }

    // The operations of whichever session the run uses (SSH, else FTP).
    Done makeFolder() { return ssh ? doneOf(ssh->makeFolder()) : doneOf(ftp->makeFolder()); }
    Done removeFolder() { return ssh ? doneOf(ssh->removeFolder()) : doneOf(ftp->removeFolder()); }
    Done put(const std::string& path, const std::string& name) {
        return ssh ? doneOf(ssh->put(path, name)) : doneOf(ftp->put(path, name));
    }
    Done get(const std::string& name, const std::string& path) {
        return ssh ? doneOf(ssh->get(name, path)) : doneOf(ftp->get(name, path));
    }
    QString error() const {
        return QString::fromStdString(ssh ? ssh->lastError() : ftp->lastError());
    }

    // Calls f on the runner's thread, unless the run has ended.
    template <class F> void post(F&& f) {
        std::lock_guard<std::mutex> lock(ownerMutex);
        if (owner != nullptr)
            QMetaObject::invokeMethod(owner, std::forward<F>(f), Qt::QueuedConnection);
    }
    void release() {
        std::lock_guard<std::mutex> lock(ownerMutex);
        owner = nullptr;
    }

    // Runs work on the worker thread, once the operation before has ended.
    void run(std::function<void()> work) {
        if (worker.joinable()) worker.join();
        busy = true;
        worker = std::thread([this, work = std::move(work)] {
            work();
            busy = false;
        });
    }

    // Ends the operation under way: it gets a moment to see the abort flag, then its
    // connection is cut (an SFTP open of a FIFO, for one, waits for ever otherwise).
    void stop() {
        abort = true;
        const auto until = Clock::now() + kAbortGrace;
        while (busy && Clock::now() < until) std::this_thread::sleep_for(10ms);
        if (busy && ssh) {
            ssh->cutConnection();
            cut = true;
        }
        if (worker.joinable()) worker.join();
    }

    // After the end: the command stopped, the run folder removed, the sessions closed.
    void close() {
        for (const std::string& f : fetchedFiles) {
            std::remove(f.c_str());
            std::remove((f + ".part").c_str());
        }
        if (ssh) {
            // A cut connection has hung up the command already; the folder needs a new one.
            if (commandRunning && !cut) ssh->stopCommand();
            if (folderMade && (cut || !ssh->connected()) && ssh->connect() == HostKeyState::Known)
                (void)ssh->authenticate();
        }
        // A module interrupted a moment ago may still write its last file.
        for (int attempt = 0; folderMade && attempt < 2; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(300ms);
            if (removeFolder() == Done::Ok) folderMade = false;
        }
        if (ssh) ssh->disconnect();
        if (ftp) ftp->quit();
    }
};

namespace {

// The runs being closed. Never destroyed: a closing thread may outlast the program's end.
struct Closings {
    std::mutex m;
    std::condition_variable done;
    std::vector<std::shared_ptr<RemoteLink>> links;
    std::atomic<bool> exiting{false};
};

Closings& closings() {
    static auto* c = new Closings;
    return *c;
}

// At the program's end (tervana-cli ends right after its run) the runs still being closed get
// a moment to finish, their folders removed; what is left then is cut short. Registered with
// the first closing, after the sessions' libraries registered their own clean-up, so that it
// runs before them (a closing thread used SSH after the crypto library was gone).
void waitAtExit() {
    if (waitForClosedRuns(kExitWaitMs)) return;
    Closings& c = closings();
    c.exiting = true;
    {
        std::lock_guard<std::mutex> lock(c.m);
        for (const auto& link : c.links) {
            link->abort = true;
            if (link->ssh) link->ssh->cutConnection();
        }
    }
    (void)waitForClosedRuns(kExitCutMs);
}

// Closes the sessions of an ended run on a thread of its own: the operation under way ends
// first, then the partial files go, then the command, the run folder and the sessions.
void closeRun(std::shared_ptr<RemoteLink> link) {
    static const bool waitsAtExit = std::atexit(waitAtExit) == 0;
    (void)waitsAtExit;
    Closings& c = closings();
    {
        std::lock_guard<std::mutex> lock(c.m);
        c.links.push_back(link);
    }
    std::thread([link] {
        Closings& c = closings();
        link->stop();
        link->abort = c.exiting.load();
        RemoteLink* l = link.get();
        l->run([l] { l->close(); });
        const auto until = Clock::now() + kClosingTime;
        while (link->busy && Clock::now() < until && !c.exiting) std::this_thread::sleep_for(20ms);
        link->stop();
        std::lock_guard<std::mutex> lock(c.m);
        std::erase(c.links, link);
        c.done.notify_all();
    }).detach();
}

} // namespace

bool waitForClosedRuns(int ms) {
    Closings& c = closings();
    std::unique_lock<std::mutex> lock(c.m);
    return c.done.wait_for(lock, std::chrono::milliseconds(ms), [&] { return c.links.empty(); });
}

RemoteRunner::RemoteRunner(RemoteSettings settings, QObject* parent)
    : calcctl::ModuleRunner(parent), settings_(std::move(settings)) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &RemoteRunner::onTick);
}

RemoteRunner::~RemoteRunner() {
    // Gone during a run (the program ends): the command is interrupted and the sessions
    // closed all the same, silently.
    if (!ended_ && stage_ != Stage::Idle) {
        blockSignals(true);
        end(calcctl::kCodeUserAbort);
    }
    if (telnet_) telnet_->disconnect(this);
}

QString RemoteRunner::local(const QString& name) const {
    return request_.dir + QLatin1Char('/') + name;
}

QString RemoteRunner::fetched(const QString& name) const {
    return local(name + QLatin1Char('.') + runFolder_);
}

// The files fetched after the status file, in this order.
std::vector<QString> RemoteRunner::fetchedNames() const {
    std::vector<QString> names{QString::fromLatin1(calcctl::kVariedFile),
                               QString::fromLatin1(calcctl::kListingFile)};
    for (int n : request_.motionNumbers) names.push_back(calcctl::coefficientFile(n));
    return names;
}

void RemoteRunner::log(const QString& line, bool detail) {
    if (detail && !settings_.details) return;
    QString text = line;
    // The password never shows, wherever a server or a shell repeats it.
    if (!settings_.password.isEmpty())
        text.replace(settings_.password, QString(settings_.password.size(), QLatin1Char('#')));
    emit listingLine(text);
}

std::function<void(const std::string&)> RemoteRunner::workerLog() {
    if (!settings_.details) return {};
    RemoteLink* link = link_.get();
    // A line that arrives after the end (of an operation cut short) is dropped: once finished
    // has been emitted the runner says nothing more.
    return [this, link](const std::string& line) {
        link->post([this, line = text(line)] { log(line, true); });
    };
}

void RemoteRunner::logReceived(const QString& text) {
    received_ += text;
    received_.remove(QChar(0));
    qsizetype nl;
    while ((nl = received_.indexOf(QLatin1Char('\n'))) >= 0) {
        log(received_.left(nl).remove(QLatin1Char('\r')), true);
        received_.remove(0, nl + 1);
    }
    // A prompt has no line end: keep the tail short.
    if (received_.size() > 4096) {
        log(received_.remove(QLatin1Char('\r')), true);
        received_.clear();
    }
}

QString RemoteRunner::timeText(int seconds) const {
    return hmsText(seconds) + QStringLiteral(" von ") + hmsText(settings_.maxTime);
}

void RemoteRunner::start(const calcctl::RunRequest& request) {
    request_ = request;
    runFolder_ = newRunFolder();
    hostFolder_ = joinFolder(settings_.remotePath, runFolder_);
    link_ = std::make_shared<RemoteLink>();
    link_->owner = this;
    link_->fetchedFiles.push_back(fetched(QString::fromLatin1(calcctl::kStatusFile)).toStdString());
    for (const QString& name : fetchedNames())
        link_->fetchedFiles.push_back(fetched(name).toStdString());
    seconds_ = 0;
    emit tick(0, timeText(0));
    timer_.start();
    if (settings_.protocol == RemoteProtocol::Ssh)
        connectSsh();
    else
        upload();
}

void RemoteRunner::cancel() {
    if (!ended_) end(calcctl::kCodeUserAbort);
}

void RemoteRunner::onTick() {
    if (ended_) return;
    ++seconds_;
    // The maximum time holds for the whole run, the fetching of the results included.
    if (seconds_ > settings_.maxTime) {
        log(QString());
        log(QStringLiteral("Zeitüberschreitung nach ") + hmsText(settings_.maxTime));
        end(calcctl::kCodeUploadTimeout);
        return;
    }
    emit tick(seconds_, timeText(seconds_));
    if (stage_ == Stage::WaitStatus && !jobRunning_) poll();
}

void RemoteRunner::fail(int code, const QString& why) {
    for (const QString& line : why.split(QLatin1Char('\r'), Qt::SkipEmptyParts)) log(line);
    failureText_ = why;
    end(code);
}

void RemoteRunner::end(int code) {
    if (ended_) return;
    ended_ = true;
    stage_ = Stage::Done;
    timer_.stop();
    if (!received_.isEmpty()) log(received_.remove(QLatin1Char('\r')), true);
    received_.clear();
    if (telnet_) {
        telnet_->disconnect(this);
        if (telnet_->isConnected() && code != calcctl::kCodeOk) {
            telnet_->interrupt();
            telnet_->sendLine(QStringLiteral("logout"));
        }
        telnet_->close();
    }
    // Nothing may go on writing into the host folder after the run, and nothing of it may
    // stay: the sessions are closed on a thread of their own, which waits for the operation
    // under way (or cuts it short), stops the command and removes the run folder.
    if (link_) {
        link_->release();
        closeRun(std::move(link_));
    }
    emit statusText(QString());
    emit finished(code);
}

void RemoteRunner::runJob(std::function<Step()> work, std::function<void(const Step&)> done) {
    jobRunning_ = true;
    RemoteLink* link = link_.get();
    link->run([this, link, probe = workerProbe, work = std::move(work),
               done = std::move(done)]() mutable {
        Step step;
        // Nothing may leave the worker thread (the program would end): an exception ends the
        // run like any other failure.
        try {
            if (probe) probe();
            step = work();
        } catch (const std::exception& e) {
            step = {Outcome::Failed,
                    QStringLiteral("Interner Fehler bei der externen Berechnung: ") +
                        QString::fromLocal8Bit(e.what())};
        } catch (...) {
            step = {Outcome::Failed,
                    QStringLiteral("Interner Fehler bei der externen Berechnung.")};
        }
        link->post([this, step = std::move(step), done = std::move(done)] {
            jobRunning_ = false;
            if (ended_) return;
            // A failure at any stage ends the run at once.
            if (step.outcome == Outcome::Failed)
                fail(calcctl::kCodeNoConnection, step.why);
            else
                done(step);
        });
    });
}

// ---- sending the input ----

void RemoteRunner::upload() {
    stage_ = Stage::Upload;
    log(QString());
    log(QString::fromUtf8(kTextUploadStarted));
    log(QString());
    const std::string input = local(QString::fromLatin1(calcctl::kInputFile)).toStdString();
    RemoteLink* link = link_.get();
    if (!link->ssh) {
        link->ftp = std::make_unique<TFtpSession>(
            loginConfig<FtpConfig>(settings_, kDefaultFtpPort, hostFolder_));
        link->ftp->setAbortFlag(&link->abort);
        link->ftp->setLog(workerLog());
    }
    runJob(
        [link, input]() -> Step {
            // The run folder first: the input never goes where another run may read it.
            if (link->makeFolder() != Done::Ok) {
                if (link->ftp && !link->ftp->connected()) return {Outcome::Failed, link->error()};
                return {Outcome::Failed, QStringLiteral("Der Ordner des Laufs konnte auf dem Host "
                                                        "nicht angelegt werden: ") +
                                             link->error()};
            }
            link->folderMade = true;
            if (link->put(input, calcctl::kInputFile) != Done::Ok)
                return {
                    Outcome::Failed,
                    QStringLiteral("Die Eingabedatei konnte nicht zum Host übertragen werden: ") +
                        link->error()};
            if (link->ftp) link->ftp->quit();
            return {};
        },
        [this](const Step&) {
            log(QString::fromUtf8(kTextUploadDone));
            log(QString());
            runCommand();
        });
}

// ---- the command ----

void RemoteRunner::runCommand() {
    stage_ = Stage::Command;
    log(QString());
    if (settings_.protocol == RemoteProtocol::Ssh) {
        RemoteLink* link = link_.get();
        const std::string command = settings_.command.toStdString();
        runJob(
            [link, command]() -> Step {
                if (link->ssh->startCommand(command)) {
                    link->commandRunning = true;
                    return {};
                }
                return {Outcome::Failed,
                        QStringLiteral("Das Kommando konnte nicht gestartet werden: ") +
                            link->error()};
            },
            [this](const Step&) {
                log(QString::fromUtf8(kTextCommandStarted));
                log(QString());
                waitForStatus();
            });
        return;
    }
    runTelnet();
}

void RemoteRunner::runTelnet() {
    const HostPort hp = splitHost(settings_.host, kDefaultFtpPort);
    telnet_ = std::make_unique<TTelnetScript>();
    telnet_->setHost(hp.host, static_cast<quint16>(settings_.telnetPort));
    telnet_->setCrOnly(settings_.crOnly);
    const QString end = QString::fromLatin1(telnet_->lineEnd());
    telnet_->clearEvents();
    telnet_->addEvent({kEventLogin, settings_.loginReq, settings_.user + end, true, false, {}});
    telnet_->addEvent(
        {kEventPassword, settings_.pwdReq, settings_.password + end, true, false, [this](int) {
             // Asked again after the password: the host refused the login.
             auto refused = [this](int) {
                 fail(calcctl::kCodeNoConnection,
                      QStringLiteral("Die Anmeldung am Host wurde abgelehnt."));
             };
             telnet_->addEvent({kEventLoginAgain, settings_.loginReq, {}, true, false, refused});
             telnet_->addEvent({kEventLoginAgain + 1, settings_.pwdReq, {}, true, false, refused});
         }});
    telnet_->addEvent(
        {kEventPrompt, settings_.prompt, {}, true, true, [this](int) { onPrompt(); }});
    prompts_ = 0;
    connect(telnet_.get(), &TTelnetScript::dataAvailable, this, &RemoteRunner::logReceived);
    connect(telnet_.get(), &TTelnetScript::connectFailed, this, [this](const QString& why) {
        fail(calcctl::kCodeNoConnection,
             QStringLiteral("Keine Telnet-Verbindung zum Host: ") + why);
    });
    connect(telnet_.get(), &TTelnetScript::sessionClosed, this, [this] {
        // Closed before the dialogue is done: the host refused or ended the session.
        if (stage_ == Stage::Command)
            fail(calcctl::kCodeNoConnection,
                 QStringLiteral("Der Host hat die Telnet-Sitzung beendet."));
    });
    telnet_->connectToHost();
}

void RemoteRunner::onPrompt() {
    ++prompts_;
    if (prompts_ == 1) {
        telnet_->removeEvent(kEventLoginAgain);
        telnet_->removeEvent(kEventLoginAgain + 1);
        // One word for the shell, whatever the folder's name holds.
        telnet_->sendLine(QStringLiteral("cd ") +
                          QString::fromStdString(shellQuote(hostFolder_.toStdString())));
    } else if (prompts_ == 2) {
        telnet_->sendLine(settings_.command);
        log(QString::fromUtf8(kTextCommandStarted));
        log(QString());
    } else if (prompts_ == 3) {
        // The command has ended.
        telnet_->sendLine(QStringLiteral("logout"));
        telnet_->removeEvent(kEventPrompt);
        waitForStatus();
    }
}

// ---- waiting for the status file, fetching the results ----

void RemoteRunner::waitForStatus() {
    stage_ = Stage::WaitStatus;
    if (settings_.protocol == RemoteProtocol::FtpTelnet) {
        RemoteLink* link = link_.get();
        runJob(
            [link]() -> Step {
                if (link->ftp->connect() == FtpResult::Ok) return {};
                return {Outcome::Failed, link->error()};
            },
            [this](const Step&) { poll(); });
        return;
    }
    poll();
}

namespace {

// Why a command that has ended left no status file: its exit status and its last lines.
QString endedWithoutStatus(int status, const std::string& tail) {
    QString why = status < 0 ? QStringLiteral("Das Kommando wurde durch ein Signal beendet")
                             : QStringLiteral("Das Kommando endete mit Status %1").arg(status);
    why += QStringLiteral(", ohne \"%1\" zu schreiben.")
               .arg(QString::fromLatin1(calcctl::kStatusFile));
    QStringList lines = text(tail).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > kQuotedLines) lines = lines.mid(lines.size() - kQuotedLines);
    for (const QString& line : lines) why += QLatin1Char('\r') + line.left(200);
    return why;
}

} // namespace

void RemoteRunner::poll() {
    const std::string target = fetched(QString::fromLatin1(calcctl::kStatusFile)).toStdString();
    RemoteLink* link = link_.get();
    runJob(
        [link, target]() -> Step {
            int status = 0;
            if (link->commandRunning) {
                // Waits most of a second, reading the command's output meanwhile.
                const int w = link->ssh->waitCommand(800, status);
                if (w < 0)
                    return {Outcome::Failed,
                            QStringLiteral("Die Verbindung zum Host ist abgebrochen: ") +
                                link->error()};
                if (w == 0) return {Outcome::NotFound, {}};
                link->commandRunning = false;
            }
            switch (link->get(calcctl::kStatusFile, target)) {
            case Done::Ok:
                return {};
            case Done::Missing:
                // Over SSH the command has ended: a status file that is not there now never
                // comes. Over telnet the module may still be on its way.
                if (!link->ssh) return {Outcome::NotFound, {}};
                return {Outcome::Failed, endedWithoutStatus(status, link->ssh->outputTail())};
            default:
                return {Outcome::Failed,
                        QStringLiteral("\"%1\" konnte nicht vom Host geholt werden: ")
                                .arg(QString::fromLatin1(calcctl::kStatusFile)) +
                            link->error()};
            }
        },
        [this](const Step& step) {
            if (step.outcome == Outcome::Ok) {
                log(QString::fromUtf8(kTextCommandDone));
                download();
            }
        });
}

void RemoteRunner::download() {
    stage_ = Stage::Download;
    log(QString());
    log(QString::fromUtf8(kTextDownloadStarted));
    log(QString());
    std::vector<std::pair<std::string, std::string>> files;
    for (const QString& name : fetchedNames())
        files.emplace_back(name.toStdString(), fetched(name).toStdString());
    RemoteLink* link = link_.get();
    runJob(
        [link, files]() -> Step {
            for (const auto& [name, path] : files) {
                // A file the module did not write is missing from the results, not a failure.
                if (link->get(name, path) == Done::Failed)
                    return {
                        Outcome::Failed,
                        QStringLiteral("Die Ergebnisse konnten nicht vom Host geholt werden: ") +
                            link->error()};
            }
            if (link->ftp) link->ftp->quit();
            return {};
        },
        [this](const Step&) {
            // The results under their own names, the status last: only a run whose every
            // result is here has one.
            for (const QString& name : fetchedNames()) {
                QFile::remove(local(name));
                if (QFile::exists(fetched(name)) && !QFile::rename(fetched(name), local(name))) {
                    fail(calcctl::kCodeNoAnswer);
                    return;
                }
            }
            const QString status = QString::fromLatin1(calcctl::kStatusFile);
            QFile::remove(local(status));
            if (!QFile::rename(fetched(status), local(status))) {
                fail(calcctl::kCodeNoAnswer);
                return;
            }
            log(QString());
            log(QString::fromUtf8(kTextDownloadDone));
            log(QString());
            end(calcctl::kCodeOk);
        });
}

// ---- SSH ----

void RemoteRunner::connectSsh() {
    stage_ = Stage::Connect;
    auto c = loginConfig<SshConfig>(settings_, kDefaultSshPort, hostFolder_);
    c.keyAuth = settings_.sshKeyAuth;
    c.keyFile = settings_.sshKeyFile.toStdString();
    c.knownHostsFile = settings_.knownHosts.toStdString();
    const QString host = text(c.host);
    RemoteLink* link = link_.get();
    link->ssh = std::make_unique<SshSession>(c);
    link->ssh->setAbortFlag(&link->abort);
    link->ssh->setLog(workerLog());
    log(QString());
    log(QStringLiteral("SSH-Verbindung zu ") + host + QStringLiteral(" ..."));
    runJob(
        [link]() -> Step {
            switch (link->ssh->connect()) {
            case HostKeyState::Known:
                if (link->ssh->authenticate()) return {};
                return {Outcome::Failed,
                        QStringLiteral("Die Anmeldung am Host ist fehlgeschlagen: ") +
                            link->error()};
            case HostKeyState::Unknown:
                return {Outcome::Unknown, text(link->ssh->fingerprint())};
            case HostKeyState::Changed:
                return {Outcome::Changed, text(link->ssh->fingerprint())};
            default:
                // No log-in was tried: the name, the connection or the key exchange failed.
                return {Outcome::Failed, link->error()};
            }
        },
        [this, host](const Step& step) { onHostKey(step, host); });
}

void RemoteRunner::onHostKey(const Step& step, const QString& host) {
    if (step.outcome == Outcome::Ok) {
        upload();
        return;
    }
    const QString& fp = step.why;
    if (step.outcome == Outcome::Changed) {
        fail(calcctl::kCodeNoConnection, QStringLiteral("Der Schlüssel des Hosts ") + host +
                                             QStringLiteral(" hat sich geändert (") + fp +
                                             QStringLiteral("): die Verbindung wird abgelehnt."));
        return;
    }
    // The question may take its time: the clock stands still while it is open, and when it
    // returns the run may have been cancelled and the runner deleted (its own copy of the
    // question keeps the function alive meanwhile).
    const auto ask = acceptHostKey;
    const QPointer<RemoteRunner> self(this);
    timer_.stop();
    const bool accepted = ask && ask(host, fp);
    if (!self || ended_) return;
    timer_.start();
    if (!accepted) {
        fail(calcctl::kCodeNoConnection, QStringLiteral("Der Schlüssel des Hosts ") + host +
                                             QStringLiteral(" ist unbekannt (") + fp +
                                             QStringLiteral(") und wurde nicht angenommen."));
        return;
    }
    RemoteLink* link = link_.get();
    runJob(
        [link]() -> Step {
            if (link->ssh->acceptHostKey() && link->ssh->authenticate()) return {};
            return {Outcome::Failed,
                    QStringLiteral("Die Anmeldung am Host ist fehlgeschlagen: ") + link->error()};
        },
        [this, host](const Step& s) { onHostKey(s, host); });
}

} // namespace net
