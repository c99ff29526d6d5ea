// The main window's project tree: a view that follows the model as its observer, selection,
// expansion, drag and drop.
#include "ui/main_window.h"

#include <QMenuBar>
#include <QStatusBar>
#include <QTreeWidgetItem>

#include <functional>

#include "calcctl/batch.h"
#include "ui/binding_panel.h"
#include "ui/editor.h"
#include "ui/project_tree_widget.h"
#include "ui/tree_history.h"

#include "ui/main_window_support.h"

namespace ui {

using model::Node;
using model::ObjectKind;

// ---- the tree ----

model::Node* TDlgMain::selectedNode() const {
    return tree_.selected();
}

QTreeWidgetItem* TDlgMain::itemOf(const model::Node* node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

void TDlgMain::selectNode(model::Node* node) {
    if (node == tree_.selected())
        showSelection(node); // the view may show another item after a collapse
    else
        tree_.select(node); // announced to every observer, this window among them
    updateMenus();
}

bool TDlgMain::isAlive(const model::Node* node) const {
    return node != nullptr && items_.count(node) != 0;
}

// ---- the tree as an observer of the model ----

QString TDlgMain::itemText(const model::Node& n) const {
    // A project with unsaved changes is marked.
    const auto* p = n.as<model::TProject>();
    return qs(n.obj().Caption) + (p != nullptr && p->Changed ? QStringLiteral("*") : QString());
}

QTreeWidgetItem* TDlgMain::makeItem(const model::Node& n) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, itemText(n));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&n)));
    items_[&n] = item;
    for (const auto& c : n.children) item->addChild(makeItem(*c));
    return item;
}

void TDlgMain::forgetItems(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) forgetItems(item->child(i));
    items_.erase(ProjectTreeWidget::nodeOf(item));
}

void TDlgMain::applyExpansion(QTreeWidgetItem* item) {
    const Node* n = ProjectTreeWidget::nodeOf(item);
    if (expanded_.count(n) != 0 && !item->isExpanded()) item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i) applyExpansion(item->child(i));
}

void TDlgMain::syncChildren(const model::Node* parent) {
    QTreeWidgetItem* parentItem = parent != nullptr ? itemOf(parent) : nullptr;
    if (parent != nullptr && parentItem == nullptr) return; // made with its own parent's item
    const auto& kids = parent != nullptr ? parent->children : tree_.roots;
    auto childAt = [&](int i) {
        return parentItem != nullptr ? parentItem->child(i) : TVProjects->topLevelItem(i);
    };
    auto count = [&] {
        return parentItem != nullptr ? parentItem->childCount() : TVProjects->topLevelItemCount();
    };
    auto insert = [&](int i, QTreeWidgetItem* item) {
        if (parentItem != nullptr)
            parentItem->insertChild(i, item);
        else
            TVProjects->insertTopLevelItem(i, item);
    };
    // Only what is new or out of place is touched: the other items keep their state.
    for (int i = 0; i < static_cast<int>(kids.size()); ++i) {
        const Node* k = kids[static_cast<std::size_t>(i)].get();
        QTreeWidgetItem* item = itemOf(k);
        if (item != nullptr && i < count() && childAt(i) == item) continue;
        if (item == nullptr) {
            item = makeItem(*k);
        } else if (QTreeWidgetItem* up = item->parent()) {
            up->removeChild(item);
        } else if (const int at = TVProjects->indexOfTopLevelItem(item); at >= 0) {
            TVProjects->takeTopLevelItem(at);
        }
        insert(i, item);
        applyExpansion(item);
    }
    while (count() > static_cast<int>(kids.size())) {
        QTreeWidgetItem* extra = childAt(count() - 1);
        forgetItems(extra);
        delete extra;
    }
}

void TDlgMain::notifyChanged(const model::Node& node, model::ChangeFlags what) {
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        if (any(what & model::ChangeFlags::Structure)) {
            if (node.parent == nullptr) syncChildren(nullptr);
            syncChildren(&node);
            // A moved item may have taken the current one with it.
            showSelection(tree_.selected());
        }
        if (QTreeWidgetItem* item = itemOf(&node)) item->setText(0, itemText(node));
    }
    rebuilding_ = false;
}

void TDlgMain::notifyChangesDone() {
    // An edit, a calculation, a deletion or an undo may change what binds.
    DBinding->showFor(tree_.selected());
    fitWidth();
    updateMenus();
}

void TDlgMain::notifyRemoved(const model::Node& node) {
    DBinding->forget(&node);
    expanded_.erase(&node);
    expandedBeforeRun_.erase(&node);
    if (calcNode_ == &node) calcNode_ = nullptr;
    QTreeWidgetItem* item = itemOf(&node);
    if (item == nullptr) return;
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        forgetItems(item);
        delete item;
    }
    rebuilding_ = false;
}

void TDlgMain::notifySelection(const model::Node* node) {
    showSelection(node);
    // The editor shows the new selection (and with "&Editor immer anzeigen" comes up); with
    // nothing selected it is cleared and hidden.
    Node* sel = tree_.selected();
    DlgRestr->Select(sel);
    if (sel == nullptr)
        DlgRestr->hide();
    else if (ShowEditor->isChecked() && !DlgRestr->isVisible())
        DlgRestr->show();
    DBinding->showFor(sel);
    fitWidth();
    updateMenus();
}

void TDlgMain::showSelection(const model::Node* node) {
    QTreeWidgetItem* item = itemOf(node);
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        if (item != nullptr) {
            for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
                const Node* pn = ProjectTreeWidget::nodeOf(p);
                if (pn->kind() == ObjectKind::Project && pn->as<model::TProject>()->Locked)
                    continue;
                expanded_.insert(pn);
                if (!p->isExpanded()) p->setExpanded(true);
            }
        }
        if (TVProjects->currentItem() != item) TVProjects->setCurrentItem(item);
        if (item != nullptr) TVProjects->scrollToItem(item);
    }
    rebuilding_ = false;
}

void TDlgMain::TVProjectsChange(QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (rebuilding_) return;
    tree_.select(ProjectTreeWidget::nodeOf(current));
    updateMenus();
}

void TDlgMain::TVProjectsExpanding(QTreeWidgetItem* item) {
    if (rebuilding_) return;
    Node* n = ProjectTreeWidget::nodeOf(item);
    // A project whose calculation runs is not opened.
    if (n != nullptr && n->kind() == ObjectKind::Project && model::projectObj(*n).Locked) {
        const QSignalBlocker block(TVProjects);
        item->setExpanded(false);
        return;
    }
    expanded_.insert(n);
    fitWidth();
}

void TDlgMain::fitWidth() {
    if (!isVisible() || isMaximized() || isFullScreen()) return;
    const QFontMetrics fm(TVProjects->font());
    const int indent = TVProjects->indentation();
    int widest = -1;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int level) {
        widest = std::max(widest, fm.horizontalAdvance(item->text(0)) + level * indent);
        if (item->isExpanded())
            for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), level + 1);
    };
    // The projects show their expand arrows, one indentation in.
    const int first = TVProjects->rootIsDecorated() ? 1 : 0;
    for (int i = 0; i < TVProjects->topLevelItemCount(); ++i)
        walk(TVProjects->topLevelItem(i), first);
    const int tree = widest < 0 ? 280 : widest + 2 * indent + 2 * TVProjects->frameWidth() + 20;
    const int extra = width() - TVProjects->width();
    // The menu bar stays whole.
    resize(std::max(tree + extra, menuBar()->sizeHint().width()), height());
}

// ---- drag and drop ----

void TDlgMain::moveRestriction(model::Node* restriction, model::Node* target) {
    if (!isAlive(restriction) || !isAlive(target)) return;
    Node* project = model::projectOf(restriction);
    if (model::projectObj(*project).Locked || batch_->running()) return;
    (void)history_->perform(*project, QStringLiteral("Verschieben"), [&] {
        if (tree_.moveRestriction(*restriction, *target)) selectNode(restriction);
    });
}

void TDlgMain::copyProject(model::Node* project) {
    if (!isAlive(project) || project->parent != nullptr) return;
    Node& copy = tree_.copyProject(*project);
    model::refreshCaptions(copy);
    selectNode(&copy);
}

} // namespace ui
