// The report windows: one per project, rebuilt when anything of its project changes (the model's
// notifications), following a renamed project, closed when its project is closed or removed.
#pragma once

#include <QObject>

#include <map>

#include "graphics/report_window.h"
#include "model/observer.h"
#include "model/report.h"
#include "model/tree.h"

namespace graphics {

// Today's date for a report, or the one SOURCE_DATE_EPOCH (seconds since 1970, UTC) names.
model::ReportDate reportDate();
// The report lines of project as the window and tervana-cli build them: dated reportDate(),
// numbers with the user's decimal separator.
std::vector<std::string> reportLines(const model::Node& project);

class ReportWindows : public QObject, public model::ProjectObserver {
    Q_OBJECT
public:
    ReportWindows(model::ProjectTree& tree, ReportServices services);
    ~ReportWindows() override;

    // The report window of project, made or brought to the front.
    TRTFReport* open(model::Node& project);
    TRTFReport* windowOf(const model::Node& project) const;
    std::size_t count() const { return windows_.size(); }

    void notifyChanged(const model::Node& node, model::ChangeFlags what) override;
    void notifyRemoved(const model::Node& node) override;
    void notifyChangesDone() override;

private:
    void rebuild(const model::Node& project, TRTFReport& window);

    model::ProjectTree& tree_;
    ReportServices services_;
    std::map<const model::Node*, TRTFReport*> windows_;
    std::map<const model::Node*, bool> stale_;
};

} // namespace graphics
