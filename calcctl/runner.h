// How the calculation control runs the module: a runner starts it on the input in a working
// folder and reports when it has ended. The local process is one runner; the remote run on
// another computer is another (net/). A runner works on the event loop and never waits in a
// loop of its own.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "calcctl/platform.h"

namespace calcctl {

// Files of a calculation, relative to its working directory.
inline constexpr const char* kInputFile = "remote$.kq4";
inline constexpr const char* kStatusFile = "kq4.err";
inline constexpr const char* kVariedFile = "remote$.kqe";
inline constexpr const char* kListingFile = "remote$.lst";
// "remote$.fk" + n: the coefficients of absolute motion specification n.
inline QString coefficientFile(int n) {
    return QStringLiteral("remote$.fk") + QString::number(n);
}

struct RunRequest {
    // The folder with the input "remote$.kq4"; the status file "kq4.err" and the results are
    // expected there when the run ends with 0.
    QString dir;
    // The numbers n of the coefficient files "remote$.fk<n>" the project expects, in tree order.
    std::vector<int> motionNumbers;
    Priority priority = Priority::Normal;
};

class ModuleRunner : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ModuleRunner() override = default;

    // Starts the module. finished follows exactly once, possibly before start returns.
    virtual void start(const RunRequest& request) = 0;
    // Ends the run as soon as it can; finished(-100) follows unless it has already ended.
    virtual void cancel() = 0;

    // Why the run failed, in words that go with the message of its code (lines separated by
    // "\r"); empty when the code says it all.
    const QString& failureText() const { return failureText_; }

signals:
    // 0: the module ended and its status file is in the folder; else the code of the failure
    // (-10 not started, -30 no answer, -100 cancelled, -201 time-out, -202 no connection, or the
    // module's own exit code).
    void finished(int code);
    // A line of the module's listing or of the connection's log, as it comes.
    void listingLine(const QString& line);
    // A text for the status bar (empty: clear it).
    void statusText(const QString& text);

protected:
    QString failureText_;
};

// Makes the runner of one calculation.
using RunnerFactory = std::function<std::unique_ptr<ModuleRunner>()>;

} // namespace calcctl
