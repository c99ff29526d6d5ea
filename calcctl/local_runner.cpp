#include "calcctl/local_runner.h"

#include <QDBusConnection>
#include <QFile>

#include "calcctl/result_code.h"

namespace calcctl {

namespace {

// Exit statuses are 8 bits here; a module that ends with a negative code (-5) comes back as
// 251 and means -5.
int signedExitStatus(int status) {
    return status > 127 && status < 256 ? status - 256 : status;
}

} // namespace

LocalRunner::LocalRunner(LocalRunnerSettings settings, QObject* parent)
    : ModuleRunner(parent), settings_(std::move(settings)) {
    connect(&listingTimer_, &QTimer::timeout, this, [this] { pollListing(false); });
}

LocalRunner::~LocalRunner() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(5000);
    }
}

void LocalRunner::start(const RunRequest& request) {
    dir_ = request.dir;
    // The screen saver stays off while the module runs.
    if (settings_.inhibitScreenSaver) {
        saver_ = std::make_unique<ScreenSaverInhibitor>(
            settings_.screenSaverBus.isEmpty()
                ? QDBusConnection::sessionBus()
                : QDBusConnection::connectToBus(settings_.screenSaverBus,
                                                QStringLiteral("tervana-screensaver")));
        connect(saver_.get(), &ScreenSaverInhibitor::inhibited, this, [this] {
            if (!ended_) emit statusText(QString::fromUtf8(kTextScreenSaverOff));
        });
        saver_->inhibit(QStringLiteral("Berechnung läuft"));
    }
    // The module, from next to this program or from the PATH.
    const QString module = locateModule(settings_.modulePath);
    if (module.isEmpty()) {
        end(kCodeNotStarted);
        return;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(module);
    process_->setArguments({QString::fromUtf8(kInputFile), QStringLiteral("0")});
    process_->setWorkingDirectory(dir_);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
    const Priority priority = request.priority;
    process_->setChildProcessModifier([priority] { applyPriorityInChild(priority); });
    connect(process_.get(), &QProcess::finished, this, &LocalRunner::onProcessFinished);
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) end(kCodeNotStarted);
    });
    connect(process_.get(), &QProcess::readyReadStandardOutput, this, [this] {
        outputPartial_ += process_->readAllStandardOutput();
        qsizetype nl;
        while ((nl = outputPartial_.indexOf('\n')) >= 0) {
            emit listingLine(QString::fromUtf8(outputPartial_.left(nl)).trimmed());
            outputPartial_.remove(0, nl + 1);
        }
    });
    listingTimer_.start(settings_.listingPollMs);
    process_->start();
}

void LocalRunner::cancel() {
    if (ended_) return;
    cancelled_ = true;
    if (process_ && process_->state() != QProcess::NotRunning)
        process_->kill();
    else
        end(kCodeUserAbort);
}

void LocalRunner::onProcessFinished(int exitCode, QProcess::ExitStatus status) {
    if (cancelled_)
        end(kCodeUserAbort);
    else if (status == QProcess::CrashExit)
        end(kCodeNoAnswer); // a crashed module has no answer, whatever it left behind
    else
        end(signedExitStatus(exitCode));
}

void LocalRunner::end(int code) {
    if (ended_) return;
    ended_ = true;
    listingTimer_.stop();
    pollListing(true);
    if (process_) {
        process_->disconnect(this);
        // Deleting the process object from inside its own signal is not allowed.
        process_.release()->deleteLater();
    }
    if (saver_) {
        saver_->release();
        // Its pending answer may still arrive; it goes with the event loop.
        saver_.release()->deleteLater();
    }
    emit statusText(QString());
    emit finished(code);
}

void LocalRunner::pollListing(bool final) {
    if (dir_.isEmpty()) return;
    QFile f(dir_ + "/" + kListingFile);
    if (f.open(QIODevice::ReadOnly)) {
        if (f.size() < listingOffset_) listingOffset_ = 0; // rewritten from the start
        f.seek(listingOffset_);
        const QByteArray more = f.readAll();
        listingOffset_ += more.size();
        listingPartial_ += more;
    }
    qsizetype nl;
    while ((nl = listingPartial_.indexOf('\n')) >= 0) {
        QByteArray line = listingPartial_.left(nl);
        if (line.endsWith('\r')) line.chop(1);
        emit listingLine(QString::fromUtf8(line));
        listingPartial_.remove(0, nl + 1);
    }
    if (final && !listingPartial_.isEmpty()) {
        emit listingLine(QString::fromUtf8(listingPartial_));
        listingPartial_.clear();
    }
}

} // namespace calcctl
