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
    setRootIsDecorated(false);
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

bool ProjectTreeWidget::dropAllowed(const QTreeWidgetItem* dragged, const QPoint& pos) const {
    return dragged != nullptr && dragged->parent() == nullptr && itemAt(pos) == nullptr;
}

void ProjectTreeWidget::startDrag(Qt::DropActions) {
    // Only projects are dragged, and only to be copied.
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr || item->parent() != nullptr) return;
    dragged_ = item;
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
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit dropStatus(QStringLiteral("Projekt kopieren"));
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
    // The view itself is not changed here: the model copies the project and tells the window.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    model::Node* project = nodeOf(dragged_);
    if (project != nullptr) emit copyProjectRequested(project);
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
