// "&alle Berechnen": every open project, one after the other, without intermediate
// messages; one summary with the number of projects solved and the time taken.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <string>

#include "calcctl/calculation.h"
#include "model/message.h"
#include "model/tree.h"

namespace calcctl {

// "59 sec", "1 min 0 sec", "1 h 2 min 5 sec".
std::string batchTimeText(long long seconds);

// The summary for the final batch result, the projects solved and processed, and the time.
model::Message batchSummary(int batchResult, int solved, int processed, long long seconds);

class BatchCalculation : public QObject {
    Q_OBJECT
public:
    BatchCalculation(Calculation& calc, model::ProjectTree& tree, QObject* parent = nullptr);

    // Starts the batch; finished is emitted with the summary when it is over.
    void start();
    // Ends the batch: the running project ends with -100 and no further one starts.
    void stop();
    bool running() const { return running_; }

    int solved() const { return solved_; }
    int processed() const { return processed_; }
    long long seconds() const { return seconds_; }
    const model::Message& summary() const { return summary_; }

signals:
    // Once a second while the batch runs, for the status bar.
    void elapsed(long long seconds);
    void finished(const model::Message& summary);

private:
    void next();
    void projectDone();

    Calculation& calc_;
    model::ProjectTree& tree_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool running_ = false;
    bool stopRequested_ = false;
    std::size_t index_ = 0;
    int solved_ = 0;
    int processed_ = 0;
    long long seconds_ = 0;
    model::Message summary_;
    QMetaObject::Connection done_;
};

} // namespace calcctl
