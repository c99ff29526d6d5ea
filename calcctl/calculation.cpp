#include "calculation.h"

#include <QDBusConnection>
#include <QFile>

#include <charconv>

#include "calc_input.h"
#include "derive.h"
#include "project_file.h"
#include "result_code.h"
#include "result_files.h"

namespace calcctl {

namespace {

// Exit statuses are 8 bits here; a module that ends with a negative code (-5) comes back as
// 251 and means -5.
int signedExitStatus(int status) {
    return status > 127 && status < 256 ? status - 256 : status;
}

template <class F> void forEachPaintObj(model::Node& project, F&& f) {
    for (auto& c : project.children)
        if (auto* p = c->as<model::TPaintObj>()) f(*c, *p);
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
    dir_.clear();
    stopRequested_ = false;
    listingOffset_ = 0;
    listingPartial_.clear();
    outputPartial_.clear();
    // 1. Only a consistent project with something in it, and only one run at a time.
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
    // 3. Test mode recomputes q and M from the stored coefficients without the module.
    if (p.TestMode) {
        windUp(kCodeOk);
        return;
    }
    const WorkDir wd = resolveWorkDir(settings.workDir);
    if (wd.path.isEmpty()) {
        windUp(kCodeNotStarted);
        return;
    }
    // 5. One calculation per working folder. The lock is taken before the input is written,
    // so that a refused run leaves the files of the running one alone.
    lock_ = std::make_unique<CalcLock>(settings.lockDir, wd.path);
    if (!lock_->tryLock()) {
        lock_.reset();
        windUp(kCodeLocked);
        return;
    }
    dir_ = wd.path;
    if (wd.fallback) emit statusText(wd.statusText);
    // 4. The calculation input.
    if (auto m = model::writeCalcInputFile(*project_, file(kInputFile).toStdString())) {
        lock_.reset();
        messages_.push_back(*m);
        windUp(kCodeNotStarted);
        return;
    }
    // 6.
    p.Locked = true;
    p.Changed = true;
    running_ = true;
    emit runStarted(project_);
    // 7. No result of an earlier run, perhaps of a larger project, may be read as this one's.
    QFile::remove(file("remote$.kq5"));
    QFile::remove(file(kVariedFile));
    QFile::remove(file(kStatusFile));
    QFile::remove(file(kListingFile));
    for (int n = 1; n <= model::kMaxMotionSpecs; ++n)
        QFile::remove(file("remote$.fk" + QString::number(n)));
    startModule();
}

void Calculation::startModule() {
    // 9. The screen saver stays off while the module runs.
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
    // 10.
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
    // 11. The module reports through the status file.
    if (code == kCodeOk) {
        code = readStatusFile(file(kStatusFile).toStdString()).value_or(kCodeNoAnswer);
        QFile::remove(file(kStatusFile));
    }
    // 12.
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
        model::Node* culprit = nullptr;
        if (n >= 1 && project_ != nullptr)
            model::forEachNode(*project_, [&](model::Node& x) {
                if (culprit == nullptr && x.kind() != model::ObjectKind::GroupMember &&
                    x.obj().IPar[9] == n)
                    culprit = &x;
            });
        if (culprit != nullptr) m->text += "\r(" + culprit->obj().Caption + ")";
    }
    messages_.push_back(*m);
}

void Calculation::windUp(int code) {
    code_ = code;
    auto& p = model::projectObj(*project_);
    // 13.
    report(code);
    if (code == kCodeMaxMet) code = kCodeOk;
    // 14.
    if (code != kCodeOk)
        p.ResultsStored = false;
    else
        readResults();
    // 18.
    p.Calculated = true;
    p.AllCurrent = p.ResultsStored;
    forEachPaintObj(*project_,
                    [&](model::Node&, model::TPaintObj& m) { m.HasResults = p.ResultsStored; });
    emit resultsChanged(project_);
    p.Locked = false;
    emit finished(code_);
}

void Calculation::readResults() {
    auto& p = model::projectObj(*project_);
    const bool test = p.TestMode;
    // 15. The restriction angles as the random search varied them.
    if (!test) {
        p.ResultsStored = false;
        if (!readVariedRecords(file(kVariedFile).toStdString(), *project_))
            model::forEachNode(*project_, [](model::Node& n) {
                if (auto* r = n.as<model::TRestr>()) r->GlobalPar = r->RPar;
            });
    }
    // 16.
    p.ResultsStored = true;
    bool derivationFailed = false;
    for (auto& c : project_->children) {
        auto* h = c->as<model::THSHeader>();
        if (h == nullptr) continue;
        if (!test) {
            const QString fk = file("remote$.fk" + QString::number(h->IPar[2]));
            if (!readCoefficientFile(fk.toStdString(), h->IPar[3], h->sSC)) {
                p.ResultsStored = false;
                break;
            }
            h->ResultsCurrent = true;
        }
        if (!deriveSeries(*h, test)) derivationFailed = true;
        if (!test)
            for (auto& rc : c->children)
                if (auto* r = rc->as<model::TRestr>()) r->ComputeActualValues(*h);
    }
    if (derivationFailed) {
        if (BatchMode)
            BatchResult = 1;
        else
            messages_.push_back(model::errorMessage(kTextDerivationFailed));
    }
    // 17.
    if (p.ResultsStored) {
        for (auto& c : project_->children) {
            auto* rel = c->as<model::TRelHeader>();
            if (rel == nullptr) continue;
            // The relative series are always formed; the actual values only after a run.
            std::vector<std::pair<model::TRestr*, std::array<std::array<double, 5>, 2>>> keep;
            if (test)
                for (auto& rc : c->children)
                    if (auto* r = rc->as<model::TRestr>())
                        keep.push_back({r, {r->ActualS, r->ActualQ}});
            model::computeRelativeCoefficients(*project_, *c);
            for (auto& [r, values] : keep) {
                r->ActualS = values[0];
                r->ActualQ = values[1];
            }
            rel->ResultsCurrent = true;
        }
    } else if (BatchMode) {
        BatchResult = 1;
    } else {
        messages_.push_back(model::errorMessage(kTextNoResults));
    }
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
