#include "calcctl/calculation.h"

#include <QFile>

#include <charconv>

#include "calcctl/result_code.h"
#include "calcctl/result_files.h"
#include "model/calc_input.h"
#include "model/project_file.h"

namespace calcctl {

Calculation::Calculation(QObject* parent) : QObject(parent) {}

Calculation::~Calculation() {
    if (runner_) runner_->disconnect(this);
}

bool Calculation::calculationPossible(model::Node& node) {
    return model::calculationPossible(node, running_);
}

void Calculation::calculate(model::Node& node) {
    messages_.clear();
    records_.clear();
    failureText_.clear();
    dir_.clear();
    stopRequested_ = false;
    seconds_ = 0.0;
    clock_.start();
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
    progress_.emplace(p, localeDecimalSeparator());
    emit runStarted(project_);
    emit progress(QString::fromStdString(progress_->startText()));
    // No result of an earlier run, perhaps of a larger project, may be read as this one's.
    QFile::remove(file("remote$.kq5"));
    QFile::remove(file(kVariedFile));
    QFile::remove(file(kStatusFile));
    QFile::remove(file(kListingFile));
    for (int n = 1; n <= model::kMaxMotionSpecs; ++n) QFile::remove(file(coefficientFile(n)));
    startModule();
}

void Calculation::startModule() {
    if (runnerFactory) {
        runner_ = runnerFactory();
    } else {
        runner_ = std::make_unique<LocalRunner>(settings);
    }
    connect(runner_.get(), &ModuleRunner::listingLine, this, [this](const QString& line) {
        emit listingLine(line);
        if (!progress_) return;
        if (auto text = progress_->line(line.toStdString()))
            emit progress(QString::fromStdString(*text));
    });
    connect(runner_.get(), &ModuleRunner::statusText, this, &Calculation::statusText);
    connect(runner_.get(), &ModuleRunner::finished, this,
            [this](int code) { endRun(stopRequested_ ? kCodeUserAbort : code); });
    RunRequest request;
    request.dir = dir_;
    request.priority = settings.priority;
    for (const auto& c : project_->children)
        if (const auto* h = c->as<model::THSHeader>()) request.motionNumbers.push_back(h->IPar[2]);
    runner_->start(request);
}

void Calculation::stop() {
    if (!running_) return;
    running_ = false;
    stopRequested_ = true;
    if (runner_) runner_->cancel();
}

void Calculation::endRun(int code) {
    if (runner_) {
        failureText_ = runner_->failureText();
        runner_->disconnect(this);
        // The runner may be the sender of this call: it goes with the event loop.
        runner_.release()->deleteLater();
    }
    // The module reports through the status file.
    if (code == kCodeOk) {
        code = readStatusFile(file(kStatusFile).toStdString()).value_or(kCodeNoAnswer);
        QFile::remove(file(kStatusFile));
    }
    // The run is over: the lock goes, the results are taken in.
    running_ = false;
    progress_.reset();
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
    if (!failureText_.isEmpty()) m->text += "\r" + failureText_.toStdString();
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
    seconds_ = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0.0;
    // The code is reported, or kept for the batch.
    report(code);
    if (code == kCodeMaxMet) code = kCodeOk;
    // The results enter the project through the model, which sets every flag and tells the
    // observers; a failed run hides the stored results.
    model::CalcResults results;
    if (code == kCodeOk) results = readResults();
    results.code = code_;
    results.seconds = seconds_;
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
        const QString fk = file(coefficientFile(h->IPar[2]));
        // Every coefficient file carries the level of the result; the first one's is taken.
        std::optional<double> beta;
        if (!readCoefficientFile(fk.toStdString(), h->IPar[3], s, &beta)) break;
        if (r.series.empty()) r.beta = beta;
        r.series.emplace_back(c.get(), std::move(s));
    }
    return r;
}

QString Calculation::resultStatus() const {
    const char sep = localeDecimalSeparator();
    const std::string time = model::secondsText(seconds_, sep);
    const bool results = (code_ == kCodeOk || code_ == kCodeMaxMet) && project_ != nullptr &&
                         model::projectObj(*project_).ResultsStored;
    if (results) {
        if (auto kept = model::keptResult(*project_))
            return QString::fromStdString(model::resultText(*kept, sep));
        return QString::fromStdString("Ergebnisse übernommen, " + time);
    }
    // No results: what went wrong, in the words of the first line of its message.
    std::string why = kTextNoResults;
    if (code_ == kCodeInconsistent)
        why = model::kInconsistentProject;
    else if (code_ == kCodeUserAbort)
        why = kTextUserAbort;
    else if (auto m = codeMessage(code_))
        why = m->text;
    why = why.substr(0, why.find('\r'));
    if (!why.empty() && why.back() == '.') why.pop_back();
    return QString::fromStdString(why + ", " + time);
}

} // namespace calcctl
