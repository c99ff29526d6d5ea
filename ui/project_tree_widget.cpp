#include "ui/project_tree_widget.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace ui {

ProjectTreeWidget::ProjectTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TVProjects"));
    setHeaderHidden(true);
    setColumnCount(1);
    // The projects show their expand arrows.
    setRootIsDecorated(true);
    setIndentation(19);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    // The selection stays visible when the tree loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
}

model::Node* ProjectTreeWidget::nodeOf(const QTreeWidgetItem* item) {
    if (item == nullptr) return nullptr;
    return reinterpret_cast<model::Node*>(item->data(0, Qt::UserRole).value<quintptr>());
}

namespace {

bool isRestriction(const QTreeWidgetItem* item) {
    const model::Node* n = ProjectTreeWidget::nodeOf(item);
    return n != nullptr && n->kind() == model::ObjectKind::Restriction;
}

} // namespace

bool ProjectTreeWidget::dropAllowed(const QTreeWidgetItem* dragged, const QPoint& pos) const {
    if (dragged == nullptr) return false;
    const QTreeWidgetItem* target = itemAt(pos);
    if (dragged->parent() == nullptr) return target == nullptr;
    return isRestriction(dragged) && target != nullptr &&
           model::ProjectTree::canMoveRestriction(*nodeOf(dragged), *nodeOf(target));
}

void ProjectTreeWidget::startDrag(Qt::DropActions) {
    // Projects are dragged to be copied, restrictions to be moved.
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr || (item->parent() != nullptr && !isRestriction(item))) return;
    dragged_ = item;
    // Always a copy for the view: a move would have it take the dragged item out itself.
    QTreeWidget::startDrag(Qt::CopyAction);
    dragged_ = nullptr;
    emit dropStatus(QString());
}

void ProjectTreeWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == this && dragged_ != nullptr)
        event->acceptProposedAction();
    else
        event->ignore();
}

void ProjectTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() == this && dropAllowed(dragged_, event->position().toPoint())) {
        const bool project = dragged_->parent() == nullptr;
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit dropStatus(project ? QStringLiteral("Projekt kopieren")
                                : QStringLiteral("Restriktion verschieben"));
    } else {
        event->ignore();
        emit dropStatus(QString());
    }
}

void ProjectTreeWidget::dragLeaveEvent(QDragLeaveEvent* event) {
    emit dropStatus(QString());
    QTreeWidget::dragLeaveEvent(event);
}

void ProjectTreeWidget::dropEvent(QDropEvent* event) {
    emit dropStatus(QString());
    if (event->source() != this || !dropAllowed(dragged_, event->position().toPoint())) {
        event->ignore();
        return;
    }
    // The view itself is not changed here: the model copies the project or moves the
    // restriction and tells the window.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    model::Node* dragged = nodeOf(dragged_);
    if (dragged == nullptr) return;
    if (dragged_->parent() == nullptr)
        emit copyProjectRequested(dragged);
    else
        emit moveRestrictionRequested(dragged, nodeOf(itemAt(event->position().toPoint())));
}

void ProjectTreeWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        QTreeWidgetItem* item = itemAt(event->position().toPoint());
        if (item != nullptr) setCurrentItem(item);
        emit rightPressed(item);
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

} // namespace ui
