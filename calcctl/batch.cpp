#include "calcctl/batch.h"

#include "calcctl/result_code.h"

namespace calcctl {

std::string batchTimeText(long long t) {
    std::string text = std::to_string(t % 60) + " sec";
    if (t / 60 > 0) text = std::to_string((t / 60) % 60) + " min " + text;
    if (t / 3600 > 0) text = std::to_string(t / 3600) + " h " + text;
    return text;
}

model::Message batchSummary(int batchResult, int solved, int processed, long long seconds) {
    using model::MessageKind;
    switch (batchResult) {
    case kCodeUserAbort:
        return {kTextUserAbort, MessageKind::Warning};
    case kCodeLocked:
        return {kTextLocked, MessageKind::Error};
    case kCodeAborted:
        return {kTextAborted, MessageKind::Information};
    default:
        break;
    }
    std::string text =
        "Die Berechnung ist abgeschlossen.\rFür " + std::to_string(solved) + " von " +
        std::to_string(processed) +
        " Projekte(n) wurden Lösungen gefunden.\rRechenzeit: " + batchTimeText(seconds);
    // At most 255 characters, counted as the dialog counts them; cut between characters.
    std::size_t chars = 0, i = 0;
    for (; i < text.size() && chars < 255; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++chars;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    text.resize(i);
    return {text, MessageKind::Information};
}

BatchCalculation::BatchCalculation(Calculation& calc, model::ProjectTree& tree, QObject* parent)
    : QObject(parent), calc_(calc), tree_(tree) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] {
        seconds_ = clock_.elapsed() / 1000;
        emit elapsed(seconds_);
    });
}

void BatchCalculation::start() {
    if (running_ || calc_.running()) return;
    calc_.BatchResult = 0;
    calc_.BatchMode = true;
    seconds_ = 0;
    solved_ = 0;
    processed_ = 0;
    index_ = 0;
    stopRequested_ = false;
    running_ = true;
    clock_.start();
    timer_.start();
    // A calculation may end before calculate returns; the next one starts from the event loop.
    done_ = connect(&calc_, &Calculation::finished, this, &BatchCalculation::projectDone,
                    Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &BatchCalculation::next, Qt::QueuedConnection);
}

void BatchCalculation::stop() {
    if (!running_) return;
    stopRequested_ = true;
    calc_.stop();
}

void BatchCalculation::next() {
    if (stopRequested_) calc_.BatchResult = kCodeUserAbort;
    const int r = calc_.BatchResult;
    if (index_ >= tree_.roots.size() || r == kCodeUserAbort || r == kCodeLocked ||
        r == kCodeAborted) {
        // 3., 4.
        timer_.stop();
        seconds_ = clock_.elapsed() / 1000;
        disconnect(done_);
        calc_.BatchMode = false;
        running_ = false;
        summary_ = batchSummary(r, solved_, processed_, seconds_);
        emit finished(summary_);
        return;
    }
    calc_.calculate(*tree_.roots[index_]);
}

void BatchCalculation::projectDone() {
    if (!running_) return;
    if (calc_.BatchResult == 0) ++solved_;
    ++processed_;
    ++index_;
    next();
}

} // namespace calcctl
