#include "model/tree_command.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>

#include "model/scoped_value.h"

namespace model {

namespace {

// What a field of an object is, for the notification and for the rules of an undo after other
// changes.
enum class Field {
    Definition,   // the parameter record and the other defining fields
    Caption,      // caption, sort key, consistency
    Results,      // coefficient series, actual values
    Currency,     // ResultsCurrent, AllCurrent: never made current again after other changes
    Presentation, // line styles and colours
    Modified,
    Changed,
    Internal, // Deleted: nobody is told
};

ChangeFlags flagsOf(Field f) {
    switch (f) {
    case Field::Definition:
    case Field::Modified:
    case Field::Changed:
        return ChangeFlags::Values;
    case Field::Caption:
        return ChangeFlags::Caption;
    case Field::Results:
    case Field::Currency:
        return ChangeFlags::Results;
    case Field::Presentation:
        return ChangeFlags::Presentation;
    case Field::Internal:
        break;
    }
    return ChangeFlags::None;
}

// Calls f(field of a, field of b, field of c, kind) for every field of three objects of one
// class that a tree command records. The marks of the view and of a running calculation
// (Highlighted, Locked, TestMode) are not the command's.
template <class F> void forEachField(TNLMember& a, const TNLMember& b, const TNLMember& c, F&& f) {
    for (std::size_t i = 1; i <= 9; ++i) f(a.IPar[i], b.IPar[i], c.IPar[i], Field::Definition);
    for (std::size_t i = 1; i <= 12; ++i) f(a.RPar[i], b.RPar[i], c.RPar[i], Field::Definition);
    f(a.Caption, b.Caption, c.Caption, Field::Caption);
    f(a.SortKey, b.SortKey, c.SortKey, Field::Caption);
    f(a.Valid, b.Valid, c.Valid, Field::Caption);
    f(a.Deleted, b.Deleted, c.Deleted, Field::Internal);
    f(a.Modified, b.Modified, c.Modified, Field::Modified);
    if (auto* p = dynamic_cast<TProject*>(&a)) {
        const auto& q = dynamic_cast<const TProject&>(b);
        const auto& r = dynamic_cast<const TProject&>(c);
        f(p->FileName, q.FileName, r.FileName, Field::Caption);
        f(p->Description, q.Description, r.Description, Field::Definition);
        f(p->ResultsStored, q.ResultsStored, r.ResultsStored, Field::Results);
        f(p->Calculated, q.Calculated, r.Calculated, Field::Results);
        f(p->AllCurrent, q.AllCurrent, r.AllCurrent, Field::Currency);
        f(p->Changed, q.Changed, r.Changed, Field::Changed);
    }
    if (auto* p = dynamic_cast<TPaintObj*>(&a)) {
        const auto& q = dynamic_cast<const TPaintObj&>(b);
        const auto& r = dynamic_cast<const TPaintObj&>(c);
        f(p->sSC, q.sSC, r.sSC, Field::Results);
        f(p->qSC, q.qSC, r.qSC, Field::Results);
        f(p->mSC, q.mSC, r.mSC, Field::Results);
        f(p->HasResults, q.HasResults, r.HasResults, Field::Results);
        f(p->ResultHarmonics, q.ResultHarmonics, r.ResultHarmonics, Field::Results);
        f(p->ResultsCurrent, q.ResultsCurrent, r.ResultsCurrent, Field::Currency);
        f(p->PaintStyle, q.PaintStyle, r.PaintStyle, Field::Presentation);
    }
    if (auto* p = dynamic_cast<THSHeader*>(&a)) {
        const auto& q = dynamic_cast<const THSHeader&>(b);
        const auto& r = dynamic_cast<const THSHeader&>(c);
        f(p->ShortName, q.ShortName, r.ShortName, Field::Definition);
        f(p->TestEta, q.TestEta, r.TestEta, Field::Definition);
        f(p->TestTheta, q.TestTheta, r.TestTheta, Field::Definition);
    }
    if (auto* p = dynamic_cast<TRestr*>(&a)) {
        const auto& q = dynamic_cast<const TRestr&>(b);
        const auto& r = dynamic_cast<const TRestr&>(c);
        f(p->Global, q.Global, r.Global, Field::Definition);
        f(p->GlobalPar, q.GlobalPar, r.GlobalPar, Field::Definition);
        f(p->ActualS, q.ActualS, r.ActualS, Field::Results);
        f(p->ActualQ, q.ActualQ, r.ActualQ, Field::Results);
    }
    if (auto* p = dynamic_cast<TGroupMember*>(&a)) {
        const auto& q = dynamic_cast<const TGroupMember&>(b);
        const auto& r = dynamic_cast<const TGroupMember&>(c);
        f(p->RefTNR, q.RefTNR, r.RefTNR, Field::Definition);
    }
}

// Equal to the bit: a NaN equals itself, and -0.0 is not 0.0.
bool same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
template <std::size_t N> bool same(const std::array<double, N>& a, const std::array<double, N>& b) {
    for (std::size_t i = 0; i < N; ++i)
        if (!same(a[i], b[i])) return false;
    return true;
}
bool same(const TVector& a, const TVector& b) {
    if (a.Count() != b.Count()) return false;
    for (std::int32_t i = 0; i < a.Count(); ++i)
        if (!same(a.at(i), b.at(i))) return false;
    return true;
}
template <class T> bool same(const T& a, const T& b) {
    return a == b;
}

// FNV-1a over the bytes of every field.
class Hasher {
public:
    void bytes(const void* p, std::size_t n) {
        const auto* c = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) h_ = (h_ ^ c[i]) * 0x100000001b3ULL;
    }
    template <class T> void value(const T& v) {
        if constexpr (std::is_arithmetic_v<T> || std::is_pointer_v<T>) {
            bytes(&v, sizeof v);
        } else if constexpr (std::is_same_v<T, std::string>) {
            value(v.size());
            bytes(v.data(), v.size());
        } else if constexpr (std::is_same_v<T, TVector>) {
            value(v.Count());
            for (std::int32_t i = 0; i < v.Count(); ++i) value(v.at(i));
        } else if constexpr (std::is_same_v<T, PaintStyle>) {
            for (std::int32_t x : {std::int32_t{v.qLine}, std::int32_t{v.sLine}, v.qColor, v.sColor,
                                   v.minColor, v.maxColor, v.DomainColor, v.Spare})
                value(x);
        } else {
            for (const auto& x : v) value(x);
        }
    }
    std::uint64_t result() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

std::vector<Node*> childList(const Node& n) {
    std::vector<Node*> out;
    for (const auto& c : n.children) out.push_back(c.get());
    return out;
}

// Every node of the subtree in pre-order.
std::vector<Node*> nodesOf(Node& root) {
    std::vector<Node*> out;
    forEachNode(root, [&](Node& n) { out.push_back(&n); });
    return out;
}

struct Snapshot {
    std::unique_ptr<TNLMember> object;
    int stateIndex = 0;
    std::vector<Node*> children;
};

std::map<Node*, Snapshot> snapshot(Node& project) {
    std::map<Node*, Snapshot> out;
    for (Node* n : nodesOf(project)) out[n] = {n->obj().clone(), n->stateIndex, childList(*n)};
    return out;
}

bool sameObject(TNLMember& now, const TNLMember& then) {
    bool equal = true;
    forEachField(now, then, now,
                 [&](auto&, const auto& b, const auto& c, Field) { equal = equal && same(b, c); });
    return equal;
}

// A fingerprint of everything a tree command records of the project: its nodes, their order
// and every field but the view's marks (Highlighted, Locked, TestMode).
std::uint64_t projectStateHash(const Node& project) {
    Hasher h;
    forEachNode(const_cast<Node&>(project), [&](Node& n) {
        h.value(&n);
        h.value(n.children.size());
        h.value(n.stateIndex);
        forEachField(n.obj(), n.obj(), n.obj(),
                     [&](auto&, const auto& v, const auto&, Field) { h.value(v); });
    });
    return h.result();
}

} // namespace

std::unique_ptr<TreeCommand> TreeCommand::record(ProjectTree& tree, Node& project,
                                                 const std::function<void()>& op) {
    std::unique_ptr<TreeCommand> cmd(new TreeCommand(tree, project));
    std::map<Node*, Snapshot> before = snapshot(project);
    cmd->hashBefore_ = projectStateHash(project);
    cmd->selectionBefore_ = tree.selected();
    {
        // Handed back also when op throws.
        const ScopedValue<std::vector<std::unique_ptr<Node>>*> keep(tree.keepRemoved, &cmd->kept_);
        op();
    }
    std::map<Node*, Snapshot> after = snapshot(project);
    // The removed nodes are out of the tree but alive in kept_, dismantled: no children.
    for (const auto& k : cmd->kept_) after[k.get()] = {k->obj().clone(), k->stateIndex, {}};
    cmd->hashAfter_ = projectStateHash(project);
    cmd->selectionAfter_ = tree.selected();

    for (auto& [node, then] : before) {
        Snapshot& now = after[node];
        if (now.object == nullptr) continue; // freed, not handed over: nothing to put back
        if (!contains(project, node)) cmd->removed_.push_back(node);
        if (!sameObject(*now.object, *then.object) || now.stateIndex != then.stateIndex)
            cmd->objects_.push_back({node, std::move(then.object), std::move(now.object),
                                     then.stateIndex, now.stateIndex});
        if (now.children != then.children)
            cmd->children_.push_back({node, then.children, now.children});
    }
    for (auto& [node, now] : after) {
        if (before.count(node) != 0) continue;
        cmd->added_.push_back(node);
        cmd->objects_.push_back({node, nullptr, std::move(now.object), 0, now.stateIndex});
        if (!now.children.empty()) cmd->children_.push_back({node, {}, now.children});
    }
    if (cmd->objects_.empty() && cmd->children_.empty()) return nullptr;
    return cmd;
}

TreeCommand::~TreeCommand() = default;

void TreeCommand::apply(bool toBefore) {
    // Nothing else changed the project since this command left it: everything goes back exactly,
    // the currency of the results included.
    const bool exact = projectStateHash(project_) == (toBefore ? hashAfter_ : hashBefore_);
    const std::vector<Node*>& leaving = toBefore ? added_ : removed_;
    const std::vector<Node*>& coming = toBefore ? removed_ : added_;
    const std::set<Node*> leavingSet(leaving.begin(), leaving.end());
    const std::set<Node*> comingSet(coming.begin(), coming.end());
    std::optional<ChangeBatch> batch(std::in_place, &tree_);

    // The nodes that leave go as in a deletion: children first, each reported, then taken out.
    std::map<Node*, std::unique_ptr<Node>> pool;
    std::vector<Node*> goingOut;
    for (Node* n : nodesOf(project_))
        if (leavingSet.count(n) != 0) goingOut.push_back(n);
    for (auto it = goingOut.rbegin(); it != goingOut.rend(); ++it) {
        Node* n = *it;
        tree_.removing(*n);
        auto& siblings = n->parent->children;
        const auto at = siblings.begin() + static_cast<std::ptrdiff_t>(n->indexInParent());
        pool[n] = std::move(*at);
        siblings.erase(at);
    }

    // Every changed list of children is laid out again from the nodes at hand.
    for (auto& k : kept_) {
        Node* n = k.get();
        pool[n] = std::move(k);
    }
    kept_.clear();
    for (ChildrenRecord& c : children_)
        for (auto& child : c.parent->children) {
            Node* n = child.get();
            pool[n] = std::move(child);
        }
    for (ChildrenRecord& c : children_) {
        c.parent->children.clear();
        for (Node* n : toBefore ? c.before : c.after) {
            auto it = pool.find(n);
            if (it == pool.end()) continue; // gone elsewhere meanwhile: the history prevents it
            it->second->parent = c.parent;
            c.parent->children.push_back(std::move(it->second));
            pool.erase(it);
        }
    }
    for (auto& [n, owned] : pool) kept_.push_back(std::move(owned));

    // Each field that still holds what the other end of this command left takes this end's.
    std::map<const Node*, ChangeFlags> told;
    for (ObjectRecord& r : objects_) {
        const TNLMember* from = toBefore ? r.after.get() : r.before.get();
        const TNLMember* to = toBefore ? r.before.get() : r.after.get();
        if (to == nullptr) continue; // an added node that leaves keeps its state for the redo
        TNLMember& obj = r.node->obj();
        if (from == nullptr) from = to; // an added node coming back holds its state already
        ChangeFlags flags = ChangeFlags::None;
        forEachField(obj, *from, *to, [&](auto& cur, const auto& f, const auto& t, Field kind) {
            if (same(f, t) || !same(cur, f)) return;
            // Only a calculation makes results current; after other changes an undo does not.
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(t)>, bool>)
                if (kind == Field::Currency && !exact && t) return;
            cur = t;
            flags |= flagsOf(kind);
        });
        const int fromState = toBefore ? r.stateAfter : r.stateBefore;
        const int toState = toBefore ? r.stateBefore : r.stateAfter;
        if (r.node->stateIndex == fromState) r.node->stateIndex = toState;
        if (comingSet.count(r.node) != 0) r.node->obj().Highlighted = false;
        if (leavingSet.count(r.node) == 0 && any(flags)) told[r.node] |= flags;
    }
    for (const ChildrenRecord& c : children_)
        if (leavingSet.count(c.parent) == 0) told[c.parent] |= ChangeFlags::Structure;
    for (const auto& [n, flags] : told) tree_.changed(*n, flags);

    if (!exact) {
        // Against a project that changed meanwhile, what comes back is an edit.
        for (Node* n : coming) n->obj().Modified = true;
        projectObj(project_).Changed = true;
        tree_.changed(project_, ChangeFlags::Values);
        updateCurrency(project_);
    }
    refreshCaptions(project_);
    batch.reset();

    Node* selection = toBefore ? selectionBefore_ : selectionAfter_;
    tree_.select(contains(project_, selection) ? selection : &project_);
}

} // namespace model
