// The calculation of one project: writes the calculation input, runs the module through a
// runner (a local child process, or a remote run) on the event loop, reads the status and the
// results back into the project tree and derives q and M. The messages of a run are handed to the
// caller, who shows them (or, in batch mode, only the code is kept).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "calcctl/local_runner.h"
#include "calcctl/platform.h"
#include "calcctl/progress.h"
#include "calcctl/runner.h"
#include "model/message.h"
#include "model/results.h"
#include "model/tree.h"

namespace calcctl {

// Outcome of a project that was not calculated because it is inconsistent; not a code of the
// module nor of the dialogs.
inline constexpr int kCodeInconsistent = -1000;

// The folder, the lock and the priority of a run; the rest is for the local process.
struct CalcSettings : LocalRunnerSettings {
    QString workDir; // empty: the current directory of the process
    QString lockDir; // empty: the user's runtime directory
    Priority priority = Priority::Normal;
};

class Calculation : public QObject {
    Q_OBJECT
public:
    explicit Calculation(QObject* parent = nullptr);
    ~Calculation() override;

    CalcSettings settings;
    // The runner of each calculation; unset: the module as a local process (settings above).
    RunnerFactory runnerFactory;
    bool BatchMode = false;
    // In batch mode the outcome instead of messages: 0 for results (also when the maximal
    // requirements are met, code 1 of the module), 1 for an inconsistent project or no
    // results, else the failure code.
    int BatchResult = 0;

    bool running() const { return running_; }
    // Whether "&Berechnen" is possible for node: a project with children, nothing running,
    // every object consistent.
    bool calculationPossible(model::Node& node);

    // Calculates the project of node. Returns at once; finished is emitted when the outcome
    // is known, which for a refused or test-mode run happens before calculate returns. The
    // project node must live until then.
    void calculate(model::Node& node);
    // Ends a running calculation: the module is killed and the code is -100.
    void stop();

    // Outcome of the last calculation.
    int code() const { return code_; }
    // The outcome for the status bar: "β = 0,9783 — Maximalforderungen nicht erfüllt, 2,4 s"
    // for results, else what went wrong and the time; numbers in the user's locale.
    QString resultStatus() const;
    const std::vector<model::Message>& messages() const { return messages_; }
    model::Node* project() const { return project_; }
    // The directory of the last run (empty for a test-mode or refused run).
    QString workDir() const { return dir_; }

signals:
    void runStarted(model::Node* project);
    void statusText(const QString& text);
    void listingLine(const QString& line);
    // The progress of the running module (the level tried), for the status bar.
    void progress(const QString& text);
    void finished(int code);

private:
    void startModule();
    void endRun(int code);
    void windUp(int code);
    model::CalcResults readResults();
    void report(int code);
    QString file(const QString& name) const { return dir_ + "/" + name; }

    bool running_ = false;
    bool stopRequested_ = false;
    int code_ = 0;
    double seconds_ = 0.0; // wall-clock seconds of the last calculation
    QElapsedTimer clock_;
    std::optional<ListingProgress> progress_;
    model::Node* project_ = nullptr;
    // The object of each input record of the run (record n: element n - 1), by which the
    // rejected record of an input error and the varied records are matched.
    std::vector<const model::Node*> records_;
    std::vector<model::Message> messages_;
    QString failureText_; // the runner's words on a failure
    QString dir_;
    std::unique_ptr<ModuleRunner> runner_;
    std::unique_ptr<CalcLock> lock_;
};

} // namespace calcctl
