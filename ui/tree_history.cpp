#include "ui/tree_history.h"

#include <QScopedValueRollback>
#include <QUndoCommand>
#include <QUndoGroup>
#include <QUndoStack>

#include "model/tree_command.h"

namespace ui {

using model::Node;

inline constexpr int kUndoLimit = 100;

// One step: the model's command, done already when it is pushed.
class TreeStep : public QUndoCommand {
public:
    TreeStep(TreeHistory& history, std::unique_ptr<model::TreeCommand> command, const QString& text)
        : QUndoCommand(text), history_(history), command_(std::move(command)) {}
    void undo() override {
        run([this] { command_->undo(); });
    }
    void redo() override {
        if (first_) {
            first_ = false;
            return;
        }
        run([this] { command_->redo(); });
    }

private:
    void run(const std::function<void()>& f) {
        {
            const QScopedValueRollback<bool> own(history_.own_, true);
            f();
        }
        history_.histories_[&command_->project()].nodes =
            TreeHistory::countNodes(command_->project());
    }

    TreeHistory& history_;
    std::unique_ptr<model::TreeCommand> command_;
    bool first_ = true;
};

TreeHistory::TreeHistory(model::ProjectTree& tree, QObject* parent)
    : QObject(parent), tree_(tree), group_(new QUndoGroup(this)) {
    tree_.addObserver(*this);
}

TreeHistory::~TreeHistory() {
    tree_.removeObserver(*this);
    // The steps keep nodes of the projects: they go before the projects do.
    for (auto& [project, h] : histories_) delete h.stack;
}

QUndoStack* TreeHistory::stackOf(const Node* project) const {
    auto it = histories_.find(project);
    return it == histories_.end() ? nullptr : it->second.stack;
}

std::size_t TreeHistory::countNodes(const Node& project) {
    std::size_t n = 0;
    model::forEachNode(const_cast<Node&>(project), [&](Node&) { ++n; });
    return n;
}

bool TreeHistory::perform(Node& project, const QString& text, const std::function<void()>& op) {
    std::unique_ptr<model::TreeCommand> command;
    {
        const QScopedValueRollback<bool> own(own_, true);
        command = model::TreeCommand::record(tree_, project, op);
    }
    if (command == nullptr) return false;
    History& h = histories_[&project];
    if (h.stack == nullptr) {
        h.stack = new QUndoStack(this);
        h.stack->setUndoLimit(kUndoLimit);
        group_->addStack(h.stack);
    }
    h.stack->push(new TreeStep(*this, std::move(command), text));
    h.nodes = countNodes(project);
    if (model::projectOf(tree_.selected()) == &project) group_->setActiveStack(h.stack);
    return true;
}

void TreeHistory::forget(const Node* project) {
    auto it = histories_.find(project);
    if (it == histories_.end()) return;
    delete it->second.stack;
    histories_.erase(it);
}

void TreeHistory::drop(const Node* project) {
    auto it = histories_.find(project);
    if (it == histories_.end()) return;
    it->second.stack->clear();
    it->second.nodes = countNodes(*project);
}

void TreeHistory::notifyRemoved(const Node& node) {
    if (node.parent == nullptr) {
        forget(&node); // a closed or deleted project takes its history with it
        return;
    }
    if (!own_) drop(model::projectOf(&node));
}

void TreeHistory::notifySelection(const Node* node) {
    group_->setActiveStack(stackOf(model::projectOf(node)));
}

void TreeHistory::notifyChangesDone() {
    if (own_) return;
    for (auto& [project, h] : histories_)
        if (countNodes(*project) != h.nodes) drop(project);
}

} // namespace ui
