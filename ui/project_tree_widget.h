// The tree view of all open projects. Each item carries the model node it shows; the model
// owns the objects, and the main window, observing the model, updates the items it changes. A
// project may be dragged onto empty space of the tree, which copies it; a restriction onto
// another motion specification of its project that can hold it, which moves it there.
#pragma once

#include <QTreeWidget>

#include "model/tree.h"

namespace ui {

class ProjectTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit ProjectTreeWidget(QWidget* parent = nullptr);

    static model::Node* nodeOf(const QTreeWidgetItem* item);
    // Whether a dragged item may be dropped at pos: a project on empty space, a restriction on a
    // motion specification (or a restriction of it) that can take it.
    bool dropAllowed(const QTreeWidgetItem* dragged, const QPoint& pos) const;

signals:
    void dropStatus(const QString& text);
    void copyProjectRequested(model::Node* project);
    void moveRestrictionRequested(model::Node* restriction, model::Node* target);
    void rightPressed(QTreeWidgetItem* item);

protected:
    void startDrag(Qt::DropActions supported) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTreeWidgetItem* dragged_ = nullptr;
};

} // namespace ui
