// The main window's list of recently used project files.
#include "ui/main_window.h"

#include <QMenu>

#include "calcctl/batch.h"
#include "model/project_file.h"

#include "ui/main_window_support.h"

namespace ui {

using model::Node;
using model::ObjectKind;

// ---- recent files ----

QStringList TDlgMain::recentFiles() const {
    QStringList list;
    for (QAction* a : recent_) list << a->data().toString();
    return list;
}

void TDlgMain::appendRecentItem(const QString& path) {
    if (recentSeparator_ == nullptr) recentSeparator_ = FileMenu->addSeparator();
    // The caption is the full path, shown as it is: an "&" in it is no access key.
    QString caption = path;
    caption.replace(QChar('&'), QStringLiteral("&&"));
    QAction* a = new QAction(caption, FileMenu);
    a->setData(path);
    a->setEnabled(!batch_->running());
    FileMenu->addAction(a);
    recent_.push_back(a);
}

void TDlgMain::addRecentFile(const QString& path) {
    for (QAction* a : recent_)
        if (a->data().toString().compare(path, Qt::CaseInsensitive) == 0) return;
    if (recent_.size() >= static_cast<std::size_t>(kMaxRecentFiles)) {
        FileMenu->removeAction(recent_.front());
        delete recent_.front();
        recent_.erase(recent_.begin());
    }
    appendRecentItem(path);
}

void TDlgMain::RecentFileClick(QAction* item) {
    if (batch_->running()) return;
    const QString path = item->data().toString();
    auto result = model::openRecentProject(tree_, path.toStdString());
    if (const auto* m = std::get_if<model::Message>(&result)) {
        inform(*m);
        updateMenus();
        return;
    }
    Node* n = std::get<Node*>(result);
    model::sortTree(*n);
    selectNode(n);
}

} // namespace ui
