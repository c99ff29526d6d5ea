#include "calcctl/calculation.h"

#include <QDBusConnection>
#include <QFile>

#include <charconv>

#include "calcctl/result_code.h"
#include "calcctl/result_files.h"
#include "model/calc_input.h"
#include "model/project_file.h"

namespace calcctl {

namespace {

// Exit statuses are 8 bits here; a module that ends with a negative code (-5) comes back as
// 251 and means -5.
int signedExitStatus(int status) {
    return status > 127 && status < 256 ? status - 256 : status;
}

} // namespace

Calculation::Calculation(QObject* parent) : QObject(parent) {
    connect(&listingTimer_, &QTimer::timeout, this, [this] { pollListing(false); });
}

Calculation::~Calculation() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(5000);
    }
}

bool Calculation::calculationPossible(model::Node& node) {
    return model::calculationPossible(node, running_);
}

void Calculation::calculate(model::Node& node) {
    messages_.clear();
    records_.clear();
    dir_.clear();
    stopRequested_ = false;
    listingOffset_ = 0;
    listingPartial_.clear();
    outputPartial_.clear();
    // Only a consistent project with something in it, and only one run at a time.
    if (!calculationPossible(node)) {
        if (BatchMode)
            BatchResult = 1;
        else
            messages_.push_back(model::errorMessage(model::kInconsistentProject));
        code_ = kCodeInconsistent;
        project_ = model::projectOf(&node);
        emit finished(code_);
        return;
    }
    project_ = model::projectOf(&node);
    auto& p = model::projectObj(*project_);
    // Test mode recomputes q and M from the stored coefficients without the module.
    if (p.TestMode) {
        windUp(kCodeOk);
        return;
    }
    const WorkDir wd = resolveWorkDir(settings.workDir);
    if (wd.path.isEmpty()) {
        windUp(kCodeNotStarted);
        return;
    }
    // One calculation per working folder. The lock is taken before the input is written,
    // so that a refused run leaves the files of the running one alone.
    lock_ = std::make_unique<CalcLock>(settings.lockDir, wd.path);
    if (!lock_->tryLock()) {
        lock_.reset();
        windUp(kCodeLocked);
        return;
    }
    dir_ = wd.path;
    if (wd.fallback) emit statusText(wd.statusText);
    // The calculation input; the objects of its records are kept for the run, so that
    // nothing done to the project meanwhile (a save) can change how the results are matched.
    model::CalcInput input = model::writeCalcInput(*project_);
    if (auto m = model::writeCalcInputFile(input, file(kInputFile).toStdString())) {
        lock_.reset();
        messages_.push_back(*m);
        windUp(kCodeNotStarted);
        return;
    }
    records_ = std::move(input.objects);
    // The project is locked for the run; what was written is no longer Modified.
    model::startCalculation(*project_);
    running_ = true;
    emit runStarted(project_);
    // No result of an earlier run, perhaps of a larger project, may be read as this one's.
    QFile::remove(file("remote$.kq5"));
    QFile::remove(file(kVariedFile));
    QFile::remove(file(kStatusFile));
    QFile::remove(file(kListingFile));
    for (int n = 1; n <= model::kMaxMotionSpecs; ++n)
        QFile::remove(file("remote$.fk" + QString::number(n)));
    startModule();
}

void Calculation::startModule() {
    // The screen saver stays off while the module runs.
    if (settings.inhibitScreenSaver) {
        saver_ = std::make_unique<ScreenSaverInhibitor>(
            settings.screenSaverBus.isEmpty()
                ? QDBusConnection::sessionBus()
                : QDBusConnection::connectToBus(settings.screenSaverBus,
                                                QStringLiteral("tervana-screensaver")));
        connect(saver_.get(), &ScreenSaverInhibitor::inhibited, this, [this] {
            if (running_) emit statusText(QString::fromUtf8(kTextScreenSaverOff));
        });
        saver_->inhibit(QStringLiteral("Berechnung läuft"));
    }
    // The module, from next to this program or from the PATH.
    const QString module = locateModule(settings.modulePath);
    if (module.isEmpty()) {
        endRun(kCodeNotStarted);
        return;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(module);
    process_->setArguments({QString::fromUtf8(kInputFile), QStringLiteral("0")});
    process_->setWorkingDirectory(dir_);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
    const Priority priority = settings.priority;
    process_->setChildProcessModifier([priority] { applyPriorityInChild(priority); });
    connect(process_.get(), &QProcess::finished, this, &Calculation::onProcessFinished);
    connect(process_.get(), &QProcess::errorOccurred, this, &Calculation::onProcessError);
    connect(process_.get(), &QProcess::readyReadStandardOutput, this, [this] {
        outputPartial_ += process_->readAllStandardOutput();
        qsizetype nl;
        while ((nl = outputPartial_.indexOf('\n')) >= 0) {
            emit listingLine(QString::fromUtf8(outputPartial_.left(nl)).trimmed());
            outputPartial_.remove(0, nl + 1);
        }
    });
    listingTimer_.start(settings.listingPollMs);
    process_->start();
}

void Calculation::stop() {
    if (!running_) return;
    running_ = false;
    stopRequested_ = true;
    if (process_ && process_->state() != QProcess::NotRunning) process_->kill();
}

void Calculation::onProcessError(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) endRun(kCodeNotStarted);
}

void Calculation::onProcessFinished(int exitCode, QProcess::ExitStatus status) {
    if (stopRequested_)
        endRun(kCodeUserAbort);
    else if (status == QProcess::CrashExit)
        endRun(kCodeNoAnswer); // a crashed module has no answer, whatever it left behind
    else
        endRun(signedExitStatus(exitCode));
}

void Calculation::endRun(int code) {
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
    // The module reports through the status file.
    if (code == kCodeOk) {
        code = readStatusFile(file(kStatusFile).toStdString()).value_or(kCodeNoAnswer);
        QFile::remove(file(kStatusFile));
    }
    // The run is over: the lock goes, the results are taken in.
    running_ = false;
    lock_.reset();
    windUp(code);
}

void Calculation::report(int code) {
    if (BatchMode) {
        // Met maximal requirements are a solution: the batch counts the project as solved
        // (a later failure to read or derive the results still sets 1).
        BatchResult = code == kCodeMaxMet ? kCodeOk : code;
        return;
    }
    std::optional<model::Message> m = codeMessage(code);
    if (!m) return;
    if (code == kCodeInput && !dir_.isEmpty()) {
        // Name the record the module rejected, and the object it was written from.
        std::string listing;
        (void)model::readWholeFile(file(kListingFile).toStdString(), listing);
        const std::string record = rejectedRecordText(listing);
        if (!record.empty()) m->text += "\r" + record;
        const std::size_t at = record.find(':');
        std::int32_t n = 0;
        if (at != std::string::npos) {
            std::size_t b = at + 1;
            while (b < record.size() && record[b] == ' ') ++b;
            std::from_chars(record.data() + b, record.data() + record.size(), n);
        }
        const model::Node* culprit = n >= 1 && static_cast<std::size_t>(n) <= records_.size()
                                         ? records_[static_cast<std::size_t>(n) - 1]
                                         : nullptr;
        if (culprit != nullptr) m->text += "\r(" + culprit->obj().Caption + ")";
    }
    messages_.push_back(*m);
}

void Calculation::windUp(int code) {
    code_ = code;
    // The code is reported, or kept for the batch.
    report(code);
    if (code == kCodeMaxMet) code = kCodeOk;
    // The results enter the project through the model, which sets every flag and tells the
    // observers; a failed run hides the stored results.
    model::CalcResults results;
    if (code == kCodeOk) results = readResults();
    const model::PublishOutcome out = model::publishResults(*project_, results);
    if (out.derivationFailed) {
        if (BatchMode)
            BatchResult = 1;
        else
            messages_.push_back(model::errorMessage(kTextDerivationFailed));
    }
    if (code == kCodeOk && !out.stored) {
        if (BatchMode)
            BatchResult = 1;
        else
            messages_.push_back(model::errorMessage(kTextNoResults));
    }
    records_.clear();
    emit finished(code_);
}

model::CalcResults Calculation::readResults() {
    model::CalcResults r;
    r.ok = true;
    if (model::projectObj(*project_).TestMode) return r;
    // The restriction angles as the random search varied them.
    r.varied = readVariedRecords(file(kVariedFile).toStdString(), records_);
    // The series of every absolute motion specification, until one cannot be read.
    for (auto& c : project_->children) {
        auto* h = c->as<model::THSHeader>();
        if (h == nullptr) continue;
        model::TVector s;
        const QString fk = file("remote$.fk" + QString::number(h->IPar[2]));
        if (!readCoefficientFile(fk.toStdString(), h->IPar[3], s)) break;
        r.series.emplace_back(c.get(), std::move(s));
    }
    return r;
}

void Calculation::pollListing(bool final) {
    if (dir_.isEmpty()) return;
    QFile f(file(kListingFile));
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
