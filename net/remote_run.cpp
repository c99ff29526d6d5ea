#include "net/remote_run.h"

#include <QFile>
#include <QMetaObject>

#include "calcctl/result_code.h"
#include "model/tree.h"
#include "net/ftp_session.h"
#include "net/ssh_session.h"
#include "net/telnet_script.h"

namespace net {

namespace {

enum EventId { kEventLogin = 1, kEventPassword = 2, kEventPrompt = 3, kEventLoginAgain = 4 };

} // namespace

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
    abort_ = true;
    joinWorker();
    if (telnet_) telnet_->disconnect(this);
}

QString RemoteRunner::local(const QString& name) const {
    return request_.dir + QLatin1Char('/') + name;
}

// Every file a previous run may have left on the host, of this project or a larger one.
std::vector<QString> RemoteRunner::staleFiles() const {
    std::vector<QString> names{
        QStringLiteral("remote$.kq5"), QString::fromLatin1(calcctl::kVariedFile),
        QString::fromLatin1(calcctl::kListingFile), QString::fromLatin1(calcctl::kStatusFile)};
    for (int n = 1; n <= model::kMaxMotionSpecs; ++n) names.push_back(calcctl::coefficientFile(n));
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

void RemoteRunner::logFromWorker(const std::string& line) {
    const QString text = QString::fromStdString(line);
    // A line that arrives after the end (of an operation cut short) is dropped: once finished
    // has been emitted the runner says nothing more.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (!ended_) log(text, true);
        },
        Qt::QueuedConnection);
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
    seconds_ = 0;
    emit tick(0, timeText(0));
    timer_.start();
    QFile::remove(local(QString::fromLatin1(kFetchedStatusFile)));
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
    // The time-out ends with the status file found: fetching the results may take longer.
    if (!statusFound_ && seconds_ > settings_.maxTime) {
        log(QString());
        log(QStringLiteral("Zeitüberschreitung nach ") + hmsText(settings_.maxTime));
        end(calcctl::kCodeUploadTimeout);
        return;
    }
    emit tick(seconds_, timeText(seconds_));
    if (stage_ == Stage::WaitStatus && !jobRunning_) poll();
}

void RemoteRunner::fail(int code, const QString& why) {
    if (!why.isEmpty()) log(why);
    end(code);
}

void RemoteRunner::end(int code) {
    if (ended_) return;
    ended_ = true;
    stage_ = Stage::Done;
    timer_.stop();
    if (!received_.isEmpty()) log(received_.remove(QLatin1Char('\r')), true);
    received_.clear();
    // Nothing may go on writing into the host folder after the run: the module is
    // interrupted and the sessions closed.
    abort_ = true;
    joinWorker();
    if (telnet_) {
        telnet_->disconnect(this);
        if (telnet_->isConnected() && code != calcctl::kCodeOk) {
            telnet_->interrupt();
            telnet_->sendLine(QStringLiteral("logout"));
        }
        telnet_->close();
    }
    if (ssh_) {
        ssh_->setAbortFlag(nullptr);
        if (sshCommandRunning_) ssh_->stopCommand();
        ssh_->disconnect();
    }
    // Closed without a goodbye: the abort flag is still set, so a hung host cannot hold the
    // window (a finished run has said QUIT already).
    if (ftp_) ftp_->quit();
    if (code != calcctl::kCodeOk && !request_.dir.isEmpty())
        QFile::remove(local(QString::fromLatin1(kFetchedStatusFile)));
    emit statusText(QString());
    emit finished(code);
}

void RemoteRunner::joinWorker() {
    if (worker_.joinable()) worker_.join();
}

void RemoteRunner::runJob(std::function<Outcome()> work, std::function<void(Outcome)> done) {
    joinWorker();
    jobRunning_ = true;
    worker_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
        const Outcome o = work();
        // Back on the event loop; dropped when the runner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, o, done = std::move(done)] {
                jobRunning_ = false;
                joinWorker();
                if (!ended_) done(o);
            },
            Qt::QueuedConnection);
    });
}

namespace {

// Host, port, log-in and host folder, as the FTP and the SSH session both take them.
template <class Config> Config loginConfig(const RemoteSettings& s, int defaultPort) {
    Config c;
    const HostPort hp = splitHost(s.host, defaultPort);
    c.host = hp.host.toStdString();
    c.port = hp.port;
    c.user = s.user.toStdString();
    c.password = s.password.toStdString();
    c.directory = s.remotePath.toStdString();
    return c;
}

} // namespace

// ---- FTP and telnet ----

void RemoteRunner::upload() {
    stage_ = Stage::Upload;
    log(QString());
    log(QString::fromUtf8(kTextUploadStarted));
    log(QString());
    const std::string input = local(QString::fromLatin1(calcctl::kInputFile)).toStdString();
    auto transfer = [this, input]() -> Outcome {
        if (settings_.protocol == RemoteProtocol::Ssh) {
            return outcomeOf(ssh_->put(input, calcctl::kInputFile));
        }
        ftp_ = std::make_unique<TFtpSession>(loginConfig<FtpConfig>(settings_, kDefaultFtpPort));
        ftp_->setAbortFlag(&abort_);
        ftp_->setLog([this](const std::string& line) { logFromWorker(line); });
        FtpResult r = ftp_->connect();
        if (r == FtpResult::Ok) r = ftp_->put(input, calcctl::kInputFile);
        ftp_->quit();
        return outcomeOf(r);
    };
    runJob(transfer, [this](Outcome o) {
        // A failed upload ends the run: the module must never calculate an input left on the
        // host by another project.
        if (o != Outcome::Ok) {
            fail(calcctl::kCodeNoConnection,
                 QStringLiteral("Die Eingabedatei konnte nicht zum Host übertragen werden."));
            return;
        }
        log(QString::fromUtf8(kTextUploadDone));
        log(QString());
        clean();
    });
}

void RemoteRunner::clean() {
    stage_ = Stage::Clean;
    std::vector<std::string> names;
    for (const QString& n : staleFiles()) names.push_back(n.toStdString());
    runJob(
        [this, names]() -> Outcome {
            if (settings_.protocol == RemoteProtocol::Ssh) {
                for (const std::string& n : names)
                    if (ssh_->remove(n) == SshResult::Failed) return Outcome::Failed;
                return Outcome::Ok;
            }
            if (ftp_->connect() != FtpResult::Ok) return Outcome::Failed;
            for (const std::string& n : names)
                if (ftp_->remove(n) == FtpResult::Failed) return Outcome::Failed;
            ftp_->quit();
            return Outcome::Ok;
        },
        [this](Outcome o) {
            if (o != Outcome::Ok) {
                fail(calcctl::kCodeNoConnection,
                     QStringLiteral("Die Dateien eines früheren Laufs konnten auf dem Host nicht "
                                    "gelöscht werden."));
                return;
            }
            runCommand();
        });
}

void RemoteRunner::runCommand() {
    stage_ = Stage::Command;
    log(QString());
    if (settings_.protocol == RemoteProtocol::Ssh) {
        const std::string command = settings_.command.toStdString();
        runJob(
            [this, command] { return ssh_->startCommand(command) ? Outcome::Ok : Outcome::Failed; },
            [this](Outcome o) {
                if (o != Outcome::Ok) {
                    fail(calcctl::kCodeNoConnection,
                         QStringLiteral("Das Kommando konnte nicht gestartet werden."));
                    return;
                }
                sshCommandRunning_ = true;
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
        telnet_->sendLine(QStringLiteral("cd ") + settings_.remotePath);
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
        runJob([this] { return ftp_->connect() == FtpResult::Ok ? Outcome::Ok : Outcome::Failed; },
               [this](Outcome o) {
                   if (o != Outcome::Ok)
                       fail(calcctl::kCodeNoConnection,
                            QStringLiteral("Keine FTP-Verbindung zum Host."));
                   else
                       poll();
               });
        return;
    }
    poll();
}

void RemoteRunner::poll() {
    const std::string target = local(QString::fromLatin1(kFetchedStatusFile)).toStdString();
    runJob(
        [this, target]() -> Outcome {
            if (settings_.protocol == RemoteProtocol::Ssh) {
                if (sshCommandRunning_) {
                    int status = 0;
                    const int w = ssh_->waitCommand(0, status);
                    if (w < 0) return Outcome::Failed;
                    if (w == 0) return Outcome::NotFound; // still running
                    sshCommandRunning_ = false;
                }
                return outcomeOf(ssh_->get(calcctl::kStatusFile, target));
            }
            return outcomeOf(ftp_->get(calcctl::kStatusFile, target));
        },
        [this](Outcome o) {
            if (o == Outcome::Failed) {
                fail(calcctl::kCodeNoConnection,
                     QStringLiteral("Die Verbindung zum Host ist abgebrochen."));
                return;
            }
            if (o == Outcome::Ok) {
                statusFound_ = true;
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
    auto add = [&](const QString& name) {
        files.emplace_back(name.toStdString(), local(name).toStdString());
    };
    add(QString::fromLatin1(calcctl::kVariedFile));
    add(QString::fromLatin1(calcctl::kListingFile));
    for (int n : request_.motionNumbers) add(calcctl::coefficientFile(n));
    runJob(
        [this, files]() -> Outcome {
            const bool ssh = settings_.protocol == RemoteProtocol::Ssh;
            if (!ssh) {
                // The session of the polling is still open.
                for (const auto& [name, path] : files)
                    if (ftp_->get(name, path) == FtpResult::Failed) return Outcome::Failed;
                ftp_->quit();
                return Outcome::Ok;
            }
            for (const auto& [name, path] : files)
                if (ssh_->get(name, path) == SshResult::Failed) return Outcome::Failed;
            return Outcome::Ok;
        },
        [this](Outcome o) {
            if (o != Outcome::Ok) {
                fail(calcctl::kCodeNoConnection,
                     QStringLiteral("Die Ergebnisse konnten nicht vom Host geholt werden."));
                return;
            }
            // The status last: only a run whose every result is here has one.
            const QString status = local(QString::fromLatin1(calcctl::kStatusFile));
            QFile::remove(status);
            if (!QFile::rename(local(QString::fromLatin1(kFetchedStatusFile)), status)) {
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
    auto c = loginConfig<SshConfig>(settings_, kDefaultSshPort);
    c.keyAuth = settings_.sshKeyAuth;
    c.keyFile = settings_.sshKeyFile.toStdString();
    c.knownHostsFile = settings_.knownHosts.toStdString();
    const QString host = QString::fromStdString(c.host);
    ssh_ = std::make_unique<SshSession>(c);
    ssh_->setAbortFlag(&abort_);
    ssh_->setLog([this](const std::string& line) { logFromWorker(line); });
    log(QString());
    log(QStringLiteral("SSH-Verbindung zu ") + host + QStringLiteral(" ..."));
    auto authenticated = [this](Outcome o) {
        if (o != Outcome::Ok) {
            fail(calcctl::kCodeNoConnection,
                 QStringLiteral("Die Anmeldung am Host ist fehlgeschlagen: ") +
                     QString::fromStdString(ssh_->lastError()));
            return;
        }
        upload();
    };
    runJob(
        [this]() -> Outcome {
            switch (ssh_->connect()) {
            case HostKeyState::Known:
                return ssh_->authenticate() ? Outcome::Ok : Outcome::Failed;
            case HostKeyState::Unknown:
                return Outcome::Unknown;
            case HostKeyState::Changed:
                return Outcome::Changed;
            default:
                return Outcome::Failed;
            }
        },
        [this, host, authenticated](Outcome o) {
            const QString fp = QString::fromStdString(ssh_->fingerprint());
            if (o == Outcome::Changed) {
                fail(calcctl::kCodeNoConnection,
                     QStringLiteral("Der Schlüssel des Hosts ") + host +
                         QStringLiteral(" hat sich geändert (") + fp +
                         QStringLiteral("): die Verbindung wird abgelehnt."));
                return;
            }
            if (o == Outcome::Unknown) {
                if (!acceptHostKey || !acceptHostKey(host, fp)) {
                    fail(calcctl::kCodeNoConnection,
                         QStringLiteral("Der Schlüssel des Hosts ") + host +
                             QStringLiteral(" ist unbekannt (") + fp +
                             QStringLiteral(") und wurde nicht angenommen."));
                    return;
                }
                if (ended_) return; // cancelled while the question was open
                runJob(
                    [this]() -> Outcome {
                        if (!ssh_->acceptHostKey()) return Outcome::Failed;
                        return ssh_->authenticate() ? Outcome::Ok : Outcome::Failed;
                    },
                    authenticated);
                return;
            }
            if (o == Outcome::Failed && !ssh_->connected() && ssh_->lastError().empty()) {
                fail(calcctl::kCodeNoConnection, QStringLiteral("Keine Verbindung zum Host."));
                return;
            }
            authenticated(o);
        });
}

} // namespace net
