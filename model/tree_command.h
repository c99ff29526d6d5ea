// A tree operation of one project — deleting, a new motion specification or restriction, moving
// or pasting a restriction, importing a motion — kept so that it can be taken back and done again.
//
// The nodes the operation removed stay alive inside the command instead of being freed (the
// tree hands them over, ProjectTree::keepRemoved), the nodes it added are kept while it is
// undone, and every field it changed on the other nodes — renumbered motion specifications and
// restrictions, group numbers and memberships, captions, stored results and their currency,
// the project's flags — goes back to what it was. Observers hear of an undo or a redo as of any
// command: the nodes that leave the tree are reported removed, children first, before they
// leave; then each changed node once, with the flags of what changed (Structure on a parent
// whose children changed), and the selection of that moment of the history.
//
// What other commands changed meanwhile (an edit in the editor, a calculation, saving) is kept:
// only the fields that still hold what this command left are put back. Then nothing becomes
// current again, the nodes that come back count as edited and the project as changed. Nodes
// added or removed meanwhile by anything else make the command unusable; the history drops it
// before that happens (see ui/tree_history.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/tree.h"

namespace model {

class TreeCommand {
public:
    // Runs op on the project (op may select) and records what it changed; nullptr when it
    // changed nothing. op must leave the project in the tree.
    static std::unique_ptr<TreeCommand> record(ProjectTree& tree, Node& project,
                                               const std::function<void()>& op);
    TreeCommand(const TreeCommand&) = delete;
    TreeCommand& operator=(const TreeCommand&) = delete;
    ~TreeCommand();

    void undo() { apply(true); }
    void redo() { apply(false); }
    Node& project() const { return project_; }

private:
    struct ObjectRecord {
        Node* node;
        std::unique_ptr<TNLMember> before, after; // before: none for an added node
        int stateBefore = 0, stateAfter = 0;      // Node::stateIndex
    };
    struct ChildrenRecord {
        Node* parent;
        std::vector<Node*> before, after;
    };

    TreeCommand(ProjectTree& tree, Node& project) : tree_(tree), project_(project) {}
    void apply(bool toBefore);

    ProjectTree& tree_;
    Node& project_;
    std::vector<ObjectRecord> objects_;
    std::vector<ChildrenRecord> children_;
    std::vector<Node*> removed_, added_;      // by the operation
    std::vector<std::unique_ptr<Node>> kept_; // the nodes out of the tree at present
    std::uint64_t hashBefore_ = 0, hashAfter_ = 0;
    Node* selectionBefore_ = nullptr;
    Node* selectionAfter_ = nullptr;
};

} // namespace model
