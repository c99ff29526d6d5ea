#include "graphics/reports.h"

#include <QDate>
#include <QLocale>

#include <cstdlib>

namespace graphics {

using model::Node;

model::ReportDate reportDate() {
    model::ReportDate date;
    if (model::sourceDateEpoch(date) == model::EpochDate::Valid) return date;
    const QDate d = QDate::currentDate();
    return {d.day(), d.month(), d.year()};
}

std::vector<std::string> reportLines(const Node& project) {
    const QString point = QLocale::system().decimalPoint();
    const char separator = point.size() == 1 && point.at(0).unicode() < 128
                               ? static_cast<char>(point.at(0).unicode())
                               : '.';
    return model::buildReport(project, reportDate(), separator);
}

ReportWindows::ReportWindows(model::ProjectTree& tree, ReportServices services)
    : tree_(tree), services_(std::move(services)) {
    tree_.addObserver(*this);
}

ReportWindows::~ReportWindows() {
    tree_.removeObserver(*this);
    for (auto& [project, w] : windows_) {
        w->disconnect(this);
        delete w;
    }
}

TRTFReport* ReportWindows::windowOf(const Node& project) const {
    const auto it = windows_.find(&project);
    return it != windows_.end() ? it->second : nullptr;
}

void ReportWindows::rebuild(const Node& project, TRTFReport& window) {
    const model::ReportDate d = reportDate();
    window.setProjectFile(QString::fromStdString(project.as<model::TProject>()->FileName));
    window.setReport(QString::fromStdString(project.obj().Caption), reportLines(project),
                     QStringLiteral("%1.%2.%3").arg(d.day).arg(d.month).arg(d.year));
    stale_.erase(&project);
}

TRTFReport* ReportWindows::open(Node& project) {
    TRTFReport* w = windowOf(project);
    if (w == nullptr) {
        w = new TRTFReport(services_, nullptr);
        w->setAttribute(Qt::WA_DeleteOnClose);
        windows_[&project] = w;
        connect(w, &QObject::destroyed, this, [this, p = &project] {
            windows_.erase(p);
            stale_.erase(p);
        });
        rebuild(project, *w);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void ReportWindows::notifyChanged(const Node& node, model::ChangeFlags) {
    const Node* project = model::projectOf(&node);
    if (project != nullptr && windows_.count(project) != 0) stale_[project] = true;
}

void ReportWindows::notifyRemoved(const Node& node) {
    const auto it = windows_.find(&node);
    if (it == windows_.end()) return;
    TRTFReport* w = it->second;
    windows_.erase(it);
    stale_.erase(&node);
    w->disconnect(this);
    w->close(); // deletes itself
}

void ReportWindows::notifyChangesDone() {
    const auto stale = stale_;
    for (const auto& [project, dirty] : stale)
        if (TRTFReport* w = windowOf(*project)) rebuild(*project, *w);
}

} // namespace graphics
