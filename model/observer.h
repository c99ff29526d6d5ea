// Change notification of the project tree. Every change of an open project goes through an
// operation of the model (tree.h, project_file.h, results.h), which tells the observers
// registered on the ProjectTree what changed; windows that show a project observe it instead of
// rebuilding what they show after each command.
#pragma once

#include <cstdint>

namespace model {

struct Node;

// What changed about one node.
enum class ChangeFlags : std::uint32_t {
    None = 0,
    Caption = 1 << 0,   // the node's Caption (and with it perhaps its SortKey)
    Values = 1 << 1,    // parameter record or other definition fields; project flags
    Results = 1 << 2,   // coefficient series, actual values or result currency
    Structure = 1 << 3, // children added, removed or reordered; a new project at the top level
    Removed = 1 << 4,   // the node is about to be freed (only through notifyRemoved)
    // How a motion is drawn (its PaintStyle); on its project: Changed set by such a change. The
    // definition and the results stay as they were.
    Presentation = 1 << 5,
};

constexpr ChangeFlags operator|(ChangeFlags a, ChangeFlags b) {
    return static_cast<ChangeFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr ChangeFlags operator&(ChangeFlags a, ChangeFlags b) {
    return static_cast<ChangeFlags>(static_cast<std::uint32_t>(a) & static_cast<std::uint32_t>(b));
}
constexpr ChangeFlags& operator|=(ChangeFlags& a, ChangeFlags b) {
    return a = a | b;
}
constexpr bool any(ChangeFlags f) {
    return f != ChangeFlags::None;
}

// An observer of every project of a ProjectTree (ProjectTree::addObserver). Notifications of
// one command are coalesced: each node changed by it is reported once, with the union of its
// flags, after the command; removals are reported at once, before the node is freed, and no
// change is reported afterwards for a removed node.
class ProjectObserver {
public:
    virtual ~ProjectObserver() = default;
    // node (still alive) changed as the flags say.
    virtual void notifyChanged(const Node& node, ChangeFlags what) = 0;
    // node is removed and freed right after this call; its children have been reported
    // before it. Forget every reference to it.
    virtual void notifyRemoved(const Node& node) = 0;
    // The selected node is now node (none: nullptr), whoever changed it; for the windows
    // that follow the selection.
    virtual void notifySelection(const Node* node) { (void)node; }
    // The changes of one command have all been reported: the place for work that depends on
    // the whole of them (layout, menus) rather than on each node.
    virtual void notifyChangesDone() {}
};

} // namespace model
