// The undo history of the tree operations: one QUndoStack per project in one QUndoGroup, the
// active stack following the selected project. Each step wraps a model::TreeCommand.
//
// A project's history goes with the project (closed or deleted). It is dropped too when nodes of
// the project are added or removed by anything but the history itself (a group made or emptied
// in the editor), since its steps could no longer find their places; edits of values and
// calculations in between are fine (see model/tree_command.h).
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

#include "model/observer.h"
#include "model/tree.h"

#include <QUndoGroup>
#include <QUndoStack>

namespace ui {

class TreeHistory : public QObject, public model::ProjectObserver {
    Q_OBJECT
public:
    TreeHistory(model::ProjectTree& tree, QObject* parent = nullptr);
    ~TreeHistory() override;

    QUndoGroup* group() const { return group_; }
    // The history of the project, if it has one.
    QUndoStack* stackOf(const model::Node* project) const;

    // Runs op on the project (it may select) as one step named text; false when op changed
    // nothing, which leaves the history as it was.
    bool perform(model::Node& project, const QString& text, const std::function<void()>& op);

    void notifyChanged(const model::Node&, model::ChangeFlags) override {}
    void notifyRemoved(const model::Node& node) override;
    void notifySelection(const model::Node* node) override;
    void notifyChangesDone() override;

private:
    friend class TreeStep;
    struct History {
        QUndoStack* stack = nullptr;
        std::size_t nodes = 0; // the project's nodes when the history last looked
    };
    void drop(const model::Node* project);
    void forget(const model::Node* project);
    static std::size_t countNodes(const model::Node& project);

    model::ProjectTree& tree_;
    QUndoGroup* group_;
    std::map<const model::Node*, History> histories_;
    bool own_ = false; // a step of the history runs
};

} // namespace ui
