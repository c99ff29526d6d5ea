#include "model/tree.h"

#include "model/editing.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "model/calc_input.h"
#include "model/results.h"
#include "model/scoped_value.h"

namespace model {

namespace {

// The start record of a calculation input: its first two lines.
std::string_view startRecordOf(std::string_view input) {
    const std::size_t first = input.find('\n');
    const std::size_t second =
        first == std::string_view::npos ? first : input.find('\n', first + 1);
    return input.substr(0, second);
}

void sortSiblings(std::vector<std::unique_ptr<Node>>& v) {
    std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
        return a->obj().SortKey < b->obj().SortKey;
    });
}

std::int32_t absNumber(std::int32_t v) {
    return v < 0 ? -v : v; // record numbers stay far from INT_MIN
}

// A restriction's object number after motion specification n has gone: numbers above n move one
// down, keeping the sign that switches a restriction off.
std::int32_t renumberedAfter(std::int32_t v, std::int32_t n) {
    if (v > n) return v - 1;
    if (v < -n) return v + 1;
    return v;
}

template <class T> std::vector<Node*> childrenOf(const Node& parent) {
    std::vector<Node*> out;
    for (const auto& c : parent.children)
        if (c->as<T>() != nullptr) out.push_back(c.get());
    return out;
}

} // namespace

bool contains(const Node& root, const Node* target) {
    if (&root == target) return true;
    for (const auto& c : root.children)
        if (contains(*c, target)) return true;
    return false;
}

Node::Node(std::unique_ptr<TNLMember> obj) : object(std::move(obj)) {
    object->node = this;
}

Node::~Node() = default;

std::size_t Node::indexInParent() const {
    if (parent == nullptr) return 0;
    for (std::size_t i = 0; i < parent->children.size(); ++i)
        if (parent->children[i].get() == this) return i;
    return 0;
}

ProjectTree* treeOf(const Node& node) {
    const Node* n = &node;
    while (n->parent != nullptr) n = n->parent;
    return n->tree;
}

void notifyChanged(const Node& node, ChangeFlags what) {
    if (ProjectTree* t = treeOf(node)) t->changed(node, what);
}

ChangeBatch::ChangeBatch(ProjectTree* tree) : tree_(tree) {
    if (tree_ != nullptr) ++tree_->batchDepth_;
}

ChangeBatch::~ChangeBatch() {
    if (tree_ == nullptr || --tree_->batchDepth_ != 0) return;
    // Observers' exceptions are caught per call; what else could fail here (memory) must not
    // leave a destructor.
    try {
        tree_->flush();
    } catch (...) {
        tree_->reportObserverError(std::current_exception());
    }
}

Node& addChild(Node& parent, std::unique_ptr<TNLMember> obj) {
    auto node = std::make_unique<Node>(std::move(obj));
    node->parent = &parent;
    node->obj().UpdateCaption();
    Node& ref = *node;
    parent.children.push_back(std::move(node));
    sortSiblings(parent.children);
    notifyChanged(parent, ChangeFlags::Structure);
    return ref;
}

void sortTree(Node& node) {
    std::vector<Node*> before;
    for (auto& c : node.children) before.push_back(c.get());
    sortSiblings(node.children);
    for (std::size_t i = 0; i < before.size(); ++i)
        if (node.children[i].get() != before[i]) {
            notifyChanged(node, ChangeFlags::Structure);
            break;
        }
    for (auto& c : node.children) sortTree(*c);
}

void forEachNode(Node& node, const std::function<void(Node&)>& f) {
    f(node);
    for (std::size_t i = 0; i < node.children.size(); ++i) forEachNode(*node.children[i], f);
}

void refreshCaptions(Node& node) {
    ChangeBatch batch(node);
    auto update = [](Node& n) {
        const std::string before = n.obj().Caption;
        n.obj().UpdateCaption();
        if (n.obj().Caption != before) notifyChanged(n, ChangeFlags::Caption);
    };
    // Members quote their restriction's caption: restrictions first.
    forEachNode(node, [&](Node& n) {
        if (n.kind() != ObjectKind::GroupMember) update(n);
    });
    forEachNode(node, [&](Node& n) {
        if (n.kind() == ObjectKind::GroupMember) update(n);
    });
    sortTree(node);
}

void editObject(Node& node, const std::function<void(TNLMember&)>& change) {
    ChangeBatch batch(node);
    change(node.obj());
    node.obj().Modified = true;
    notifyChanged(node, ChangeFlags::Values);
    if (Node* project = projectOf(&node)) {
        projectObj(*project).Changed = true;
        notifyChanged(*project, ChangeFlags::Values);
        refreshCaptions(*project);
        updateCurrency(*project);
    }
}

Node* projectOf(Node* node) {
    while (node != nullptr && node->kind() != ObjectKind::Project) node = node->parent;
    return node;
}

const Node* projectOf(const Node* node) {
    while (node != nullptr && node->kind() != ObjectKind::Project) node = node->parent;
    return node;
}

TProject& projectObj(Node& project) {
    return *project.as<TProject>();
}

Node* findAbs(const Node& project, int n) {
    for (const auto& c : project.children)
        if (auto* h = c->as<THSHeader>(); h != nullptr && h->IPar[2] == n) return c.get();
    return nullptr;
}

Node* findRel(const Node& project, int a, int b) {
    for (const auto& c : project.children)
        if (auto* r = c->as<TRelHeader>(); r != nullptr && r->IPar[1] == a && r->IPar[2] == b)
            return c.get();
    return nullptr;
}

Node* findGroup(const Node& project, int g) {
    for (const auto& c : project.children)
        if (auto* h = c->as<TGroupHeader>(); h != nullptr && h->IPar[1] == g) return c.get();
    return nullptr;
}

namespace {

// The number of a new object counted in slot count: n itself (raising the count to it), or the
// next free one when n <= 0.
template <class Int> int claimNumber(Int& count, int n) {
    if (n <= 0) return static_cast<int>(++count);
    if (count < n) count = static_cast<Int>(n);
    return n;
}

} // namespace

Node& findOrCreateAbs(Node& project, int n) {
    TProject& p = projectObj(project);
    if (n > 0 && n <= p.IPar[3])
        if (Node* found = findAbs(project, n)) return *found;
    n = claimNumber(p.IPar[3], n);
    auto h = std::make_unique<THSHeader>();
    h->IPar[2] = n;
    Node& node = addChild(project, std::move(h));
    // Every pair j < i of existing absolute specifications has its relative one.
    std::vector<std::int32_t> numbers;
    for (Node* c : childrenOf<THSHeader>(project)) {
        const std::int32_t k = c->obj().IPar[2];
        if (k >= 1 && k <= p.IPar[3]) numbers.push_back(k);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (std::size_t i = 0; i < numbers.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) findOrCreateRel(project, numbers[j], numbers[i]);
    return node;
}

Node& findOrCreateRel(Node& project, int a, int b) {
    if (Node* found = findRel(project, a, b)) return *found;
    auto r = std::make_unique<TRelHeader>();
    r->IPar[1] = a;
    r->IPar[2] = b;
    return addChild(project, std::move(r));
}

Node& findOrCreateGroup(Node& project, int g) {
    TProject& p = projectObj(project);
    if (g > 0 && g <= p.IPar[8])
        if (Node* found = findGroup(project, g)) return *found;
    g = claimNumber(p.IPar[8], g);
    auto h = std::make_unique<TGroupHeader>();
    h->IPar[1] = g;
    return addChild(project, std::move(h));
}

Node& findOrCreateMember(Node& group, Node& restriction) {
    for (const auto& c : group.children)
        if (auto* m = c->as<TGroupMember>(); m != nullptr && m->RefTNR == &restriction) return *c;
    auto m = std::make_unique<TGroupMember>();
    m->RefTNR = &restriction;
    restriction.stateIndex = group.obj().IPar[1];
    return addChild(group, std::move(m));
}

void computeRelativeCoefficients(Node& project, Node& relNode, bool actualValues) {
    auto* rel = relNode.as<TRelHeader>();
    Node* an = findAbs(project, absNumber(rel->IPar[1]));
    Node* bn = findAbs(project, rel->IPar[2]);
    if (an == nullptr || bn == nullptr || an == bn) {
        rel->HasResults = false;
        rel->ResultsCurrent = false;
        notifyChanged(relNode, ChangeFlags::Results);
        return;
    }
    auto* a = an->as<THSHeader>();
    auto* b = bn->as<THSHeader>();
    auto diff = [](const TVector& A, const TVector& B, TVector& out) {
        const std::int32_t la = std::max(A.Count(), 0), lb = std::max(B.Count(), 0);
        const std::int32_t len = std::max(la, lb);
        out.ReSize(len);
        for (std::int32_t i = 0; i < len; ++i) {
            if (i < std::min(la, lb))
                out.set(i, A.at(i) - B.at(i));
            else
                out.set(i, la > lb ? A.at(i) : -B.at(i));
        }
    };
    diff(a->sSC, b->sSC, rel->sSC);
    diff(a->qSC, b->qSC, rel->qSC);
    rel->mSC.ReSize(0);
    rel->IPar[3] = std::max(rel->sSC.harmonics(), 0);
    rel->ResultHarmonics = rel->IPar[3];
    rel->HasResults = true;
    rel->ResultsCurrent = a->ResultsCurrent && b->ResultsCurrent;
    ChangeBatch batch(relNode);
    notifyChanged(relNode, ChangeFlags::Results);
    if (!actualValues) return;
    for (auto& c : relNode.children)
        if (auto* r = c->as<TRestr>()) {
            r->ComputeActualValues(*rel);
            notifyChanged(*c, ChangeFlags::Results);
        }
}

void updateCurrency(Node& project) {
    // What the project would write now, compared with the input of the stored results (there
    // is nothing to compare without them).
    const TProject& proj = projectObj(project);
    const std::string input = proj.CalculatedInput ? inputFingerprint(project) : std::string();
    // The input is again the one of the stored results: they are current.
    if (reviveResults(project, input)) return;
    ChangeBatch batch(project);
    // Marks the motion of n stale; true (and reported) when it was current.
    auto stale = [](Node* n) {
        auto* m = n != nullptr ? n->as<TPaintObj>() : nullptr;
        if (m == nullptr || !m->ResultsCurrent) return false;
        m->ResultsCurrent = false;
        notifyChanged(*n, ChangeFlags::Results);
        return true;
    };
    // A changed start record (whole-cycle tolerance, optimisation settings, beta maximum)
    // concerns every motion.
    const bool startChanged =
        proj.CalculatedInput && startRecordOf(input) != startRecordOf(proj.CalculatedInput->text);
    for (Node* hn : childrenOf<THSHeader>(project)) {
        bool modified = startChanged || hn->obj().Modified;
        for (const auto& c : hn->children) modified = modified || c->obj().Modified;
        if (modified) stale(hn);
    }
    // Staleness spreads through the relative specifications (a relative one is stale with either
    // of its motions, and both with it) and through the groups, until nothing changes.
    for (bool again = true; again;) {
        again = false;
        for (Node* rn : childrenOf<TRelHeader>(project)) {
            auto* rel = rn->as<TRelHeader>();
            Node* an = findAbs(project, absNumber(rel->IPar[1]));
            Node* bn = findAbs(project, rel->IPar[2]);
            auto* a = an != nullptr ? an->as<THSHeader>() : nullptr;
            auto* b = bn != nullptr ? bn->as<THSHeader>() : nullptr;
            bool modified = false;
            for (const auto& c : rn->children) modified = modified || c->obj().Modified;
            if (a != nullptr && b != nullptr && a->ResultsCurrent && b->ResultsCurrent && !modified)
                continue;
            const bool was = stale(an);
            if (stale(bn) || stale(rn) || was) again = true;
        }
        for (Node* gn : childrenOf<TGroupHeader>(project)) {
            bool modified = false;
            for (const auto& m : gn->children)
                if (auto* r = m->as<TGroupMember>()->restriction())
                    modified = modified || r->Modified;
            if (!modified) continue;
            for (const auto& m : gn->children) {
                Node* rn = m->as<TGroupMember>()->RefTNR;
                if (rn != nullptr && stale(rn->parent)) again = true;
            }
        }
    }
    TProject& p = projectObj(project);
    bool all = true;
    for (const auto& c : project.children)
        if (auto* po = c->as<TPaintObj>()) all = all && po->ResultsCurrent;
    if (!all && (p.AllCurrent || !p.Changed)) {
        p.AllCurrent = false;
        p.Changed = true;
        notifyChanged(project, ChangeFlags::Values);
    }
}

std::vector<Node*> inconsistentNodes(Node& project) {
    std::vector<Node*> out;
    forEachNode(project, [&](Node& n) {
        if (!n.obj().CheckValid()) out.push_back(&n);
    });
    return out;
}

bool calculationPossible(Node& node, bool running) {
    Node* project = projectOf(&node);
    if (project == nullptr || project->children.empty() || running) return false;
    return inconsistentNodes(*project).empty();
}

// ---- ProjectTree ----

ProjectTree::~ProjectTree() {
    // The projects go without notifications: whoever observes goes with the tree.
    for (auto& r : roots) r->tree = nullptr;
}

void ProjectTree::addObserver(ProjectObserver& o) {
    if (std::find(observers_.begin(), observers_.end(), &o) == observers_.end())
        observers_.push_back(&o);
}

void ProjectTree::removeObserver(ProjectObserver& o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &o), observers_.end());
}

void ProjectTree::notifyObservers(const std::function<void(ProjectObserver&)>& tell) {
    // An observer may remove another (a window that closes another one): whoever has left by
    // the time its turn comes is not called. One that throws does not keep the others from
    // hearing of the change (a removal above all).
    const auto observers = observers_;
    for (ProjectObserver* o : observers) {
        if (std::find(observers_.begin(), observers_.end(), o) == observers_.end()) continue;
        try {
            tell(*o);
        } catch (...) {
            reportObserverError(std::current_exception());
        }
    }
}

void ProjectTree::reportObserverError(std::exception_ptr e) noexcept {
    if (!observerError) return;
    try {
        observerError(e);
    } catch (...) {
        // The handler's own failure has nowhere left to go.
    }
}

void ProjectTree::changed(const Node& node, ChangeFlags what) {
    for (auto& [n, flags] : pending_)
        if (n == &node) {
            flags |= what;
            return;
        }
    pending_.emplace_back(&node, what);
    if (batchDepth_ == 0) flush();
}

void ProjectTree::flush() {
    // An observer may change the model in turn; its notifications follow in the same loop.
    const ScopedValue<int> depth(batchDepth_, batchDepth_ + 1);
    while (!pending_.empty()) {
        while (!pending_.empty()) {
            const Node* node = pending_.front().first;
            const ChangeFlags flags = pending_.front().second;
            pending_.erase(pending_.begin());
            notifyObservers([&](ProjectObserver& o) { o.notifyChanged(*node, flags); });
        }
        notifyObservers([](ProjectObserver& o) { o.notifyChangesDone(); });
    }
}

void ProjectTree::removing(const Node& node) {
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [&](const auto& p) { return p.first == &node; }),
                   pending_.end());
    if (selected_ == &node) selected_ = nullptr;
    notifyObservers([&](ProjectObserver& o) { o.notifyRemoved(node); });
}

void ProjectTree::setHighlighted(Node* node, bool on) {
    if (node == nullptr) return;
    node->obj().Highlighted = on;
    switch (node->kind()) {
    case ObjectKind::AbsSpec:
    case ObjectKind::RelSpec:
        for (auto& c : node->children) c->obj().Highlighted = on;
        break;
    case ObjectKind::Group:
        for (auto& c : node->children)
            if (auto* r = c->as<TGroupMember>()->restriction()) r->Highlighted = on;
        break;
    case ObjectKind::GroupMember:
        if (auto* r = node->as<TGroupMember>()->restriction()) r->Highlighted = on;
        break;
    default:
        break;
    }
}

void ProjectTree::select(Node* node) {
    if (node == selected_) return;
    if (!Deleting) {
        setHighlighted(selected_, false);
        setHighlighted(node, true);
    }
    selected_ = node;
    notifyObservers([&](ProjectObserver& o) { o.notifySelection(node); });
}

Node& ProjectTree::newProject() {
    auto node = std::make_unique<Node>(std::make_unique<TProject>());
    // New designs hold their bounds on the whole cycle; a project read from a file keeps its own.
    node->obj().RPar[3] = kDefaultWholeCycleTolerance;
    node->obj().UpdateCaption();
    return appendProject(std::move(node));
}

Node& ProjectTree::appendProject(std::unique_ptr<Node> project) {
    project->parent = nullptr;
    project->tree = this;
    roots.push_back(std::move(project));
    changed(*roots.back(), ChangeFlags::Structure);
    return *roots.back();
}

std::size_t ProjectTree::indexOf(const Node& root) const {
    for (std::size_t i = 0; i < roots.size(); ++i)
        if (roots[i].get() == &root) return i;
    return roots.size();
}

namespace {

// The selected node when it is of the kind, else its parent when that is, else none.
Node* selfOrParentOfKind(Node& selected, ObjectKind kind) {
    if (selected.kind() == kind) return &selected;
    return (selected.parent != nullptr && selected.parent->kind() == kind) ? selected.parent
                                                                           : nullptr;
}

// The motion specification a new restriction goes under: the selected one or the selected
// restriction's, else a new one while the project holds fewer than ten; none at that limit.
Node* motionSpecForNewRestriction(Node& selected) {
    if (Node* motionNode = selfOrParentOfKind(selected, ObjectKind::AbsSpec)) return motionNode;
    Node& project = *projectOf(&selected);
    if (childrenOf<THSHeader>(project).size() > 9 || projectObj(project).IPar[3] > 9)
        return nullptr;
    Node& motion = findOrCreateAbs(project, 0);
    // A new motion starts with enough harmonics to meet its restrictions, as far as the budget
    // of the project leaves them.
    motion.obj().IPar[3] = std::min(kNewMotionHarmonics, harmonicBudget(motion));
    return &motion;
}

} // namespace

std::variant<Node*, Message> ProjectTree::newAbsRestriction(Node& selected) {
    ChangeBatch batch(this);
    Node* motionNode = motionSpecForNewRestriction(selected);
    if (motionNode == nullptr) return errorMessage(kTooManySpecs);
    auto r = std::make_unique<TRestr>();
    r->IPar[1] = motionNode->obj().IPar[2];
    r->IPar[3] = 0;
    Node& node = addChild(*motionNode, std::move(r));
    updateCurrency(*projectOf(motionNode));
    return &node;
}

std::variant<Node*, Message> ProjectTree::newMotionSpec(Node& selected) {
    return newAbsRestriction(*projectOf(&selected));
}

Node* ProjectTree::newSpectrumRestriction(Node& selected) {
    ChangeBatch batch(this);
    // The menu offers this only below an absolute motion specification; a new one still keeps
    // to the limit of ten.
    Node* motionNode = motionSpecForNewRestriction(selected);
    if (motionNode == nullptr) return nullptr;
    auto r = std::make_unique<TRestr>();
    r->IPar[1] = motionNode->obj().IPar[2];
    r->IPar[2] = 1;
    r->IPar[3] = 20;
    r->IPar[6] = 0;
    r->RPar[5] = r->RPar[6] = 0.0;
    Node& node = addChild(*motionNode, std::move(r));
    updateCurrency(*projectOf(motionNode));
    return &node;
}

Node* ProjectTree::newRelRestriction(Node& selected) {
    ChangeBatch batch(this);
    Node* rel = selfOrParentOfKind(selected, ObjectKind::RelSpec);
    if (rel == nullptr) return nullptr;
    auto r = std::make_unique<TRestr>();
    r->IPar[1] = rel->obj().IPar[1];
    r->IPar[2] = rel->obj().IPar[2];
    r->IPar[3] = 40;
    Node& node = addChild(*rel, std::move(r));
    updateCurrency(*projectOf(rel));
    return &node;
}

Node* ProjectTree::holderFor(Node& selected, int code) {
    if (isRelativeKind(code)) return selfOrParentOfKind(selected, ObjectKind::RelSpec);
    if (isPointKind(code) || isIntervalKind(code) || isSpectrumKind(code))
        return selfOrParentOfKind(selected, ObjectKind::AbsSpec);
    return nullptr;
}

bool ProjectTree::canMoveRestriction(const Node& restriction, Node& target) {
    const auto* r = restriction.as<TRestr>();
    if (r == nullptr) return false;
    Node* holder = holderFor(target, r->code());
    return holder != nullptr && holder != restriction.parent &&
           projectOf(holder) == projectOf(&restriction);
}

namespace {

// A restriction's motion numbers for the motion specification that holds it: a relative one
// gives both, an absolute one the first; a switched-off restriction stays off.
void numberFor(TRestr& r, const Node& holder) {
    const TNLMember& h = holder.obj();
    const std::int32_t first =
        holder.kind() == ObjectKind::RelSpec ? absNumber(h.IPar[1]) : h.IPar[2];
    r.IPar[1] = r.IPar[1] < 0 ? -first : first;
    if (holder.kind() == ObjectKind::RelSpec) r.IPar[2] = h.IPar[2];
}

} // namespace

bool ProjectTree::moveRestriction(Node& restriction, Node& target) {
    if (!canMoveRestriction(restriction, target)) return false;
    Node& holder = *holderFor(target, restriction.as<TRestr>()->code());
    Node& from = *restriction.parent;
    ChangeBatch batch(this);
    const auto at =
        from.children.begin() + static_cast<std::ptrdiff_t>(restriction.indexInParent());
    std::unique_ptr<Node> moving = std::move(*at);
    from.children.erase(at);
    changed(from, ChangeFlags::Structure);
    moving->parent = &holder;
    holder.children.push_back(std::move(moving));
    changed(holder, ChangeFlags::Structure);
    // The edit sorts the siblings and lets the results of the new holder go stale.
    editObject(restriction, [&](TNLMember& o) { numberFor(static_cast<TRestr&>(o), holder); });
    return true;
}

Node* ProjectTree::pasteRestriction(Node& selected, const TRestr& copy) {
    Node* holder = holderFor(selected, copy.code());
    if (holder == nullptr) return nullptr;
    ChangeBatch batch(this);
    auto r = std::make_unique<TRestr>();
    (void)copy.CopyTo(*r);
    numberFor(*r, *holder);
    // Groups are the project's own: the copy joins none. Its actual values come with the next
    // calculation.
    r->Global = false;
    r->IPar[8] = 0;
    r->GlobalPar = r->RPar;
    r->ActualS = {};
    r->ActualQ = {};
    Node& node = addChild(*holder, std::move(r));
    updateCurrency(*projectOf(holder));
    return &node;
}

std::string ProjectTree::deleteQuestion(const Node& node) {
    const std::string& c = node.obj().Caption;
    switch (node.kind()) {
    case ObjectKind::Project:
        return "Gesamtes Projekt " + c + " löschen?";
    case ObjectKind::AbsSpec:
        return c + " und alle Einträge," + "\r" + "die Bezüge darauf enthalten, löschen?";
    case ObjectKind::Restriction:
        return "Restriktion " + c + " löschen?";
    case ObjectKind::GroupMember:
        return "Restriktion für globale Optimierung:\r löschen?";
    default:
        return c + " löschen?";
    }
}

void ProjectTree::deleteNode(Node& node) {
    // The changes are reported before the new selection.
    auto batch = std::make_optional<ChangeBatch>(this);
    std::optional<ScopedValue<bool>> deleting(std::in_place, Deleting, true);
    Node* project = projectOf(&node);
    const bool isProject = &node == project;
    if (project != nullptr) {
        projectObj(*project).Changed = true;
        changed(*project, ChangeFlags::Values);
    }
    // The selection after the deletion, should the selected node go with it.
    std::vector<Node*> ancestors;
    for (Node* p = node.parent; p != nullptr; p = p->parent) ancestors.push_back(p);
    const std::size_t index = project != nullptr ? indexOf(*project) : roots.size();
    Node* const selectedBefore = selected_;
    if (selected_ != nullptr && contains(node, selected_)) {
        setHighlighted(selected_, false);
        selected_ = nullptr;
    }
    std::vector<Node*> candidates;
    removeNode(node, candidates);
    // Emptied groups and absolute specifications go as well.
    for (bool removed = true; removed && !isProject;) {
        removed = false;
        std::vector<Node*> next;
        for (Node* c : candidates) {
            if (!contains(*project, c) || c == project) continue;
            if (c->children.empty() && !c->obj().Deleted) {
                removeNode(*c, next);
                removed = true;
                break;
            }
        }
        if (removed) {
            for (Node* c : next) candidates.push_back(c);
        }
    }
    if (!isProject && project != nullptr) refreshCaptions(*project);
    deleting.reset();
    batch.reset();
    if (selected_ == nullptr && selectedBefore != nullptr) {
        Node* next = nullptr;
        if (isProject) {
            if (!roots.empty()) next = roots[std::min(index, roots.size() - 1)].get();
        } else {
            for (Node* p : ancestors)
                if (contains(*project, p)) {
                    next = p;
                    break;
                }
        }
        // The announcement goes out even when nothing is selected now.
        if (next != nullptr) {
            select(next);
        } else {
            notifyObservers([](ProjectObserver& o) { o.notifySelection(nullptr); });
        }
    }
}

void ProjectTree::removeNode(Node& node, std::vector<Node*>& candidates) {
    Node* project = projectOf(&node);
    TNLMember& obj = node.obj();
    switch (node.kind()) {
    case ObjectKind::GroupMember: {
        auto& m = *node.as<TGroupMember>();
        if (TRestr* r = m.restriction()) {
            r->IPar[8] = 0;
            r->Global = false;
            m.RefTNR->stateIndex = 0;
            changed(*m.RefTNR, ChangeFlags::Values);
        }
        candidates.push_back(node.parent);
        break;
    }
    case ObjectKind::Group: {
        const std::int32_t g = obj.IPar[1];
        for (Node* gn : childrenOf<TGroupHeader>(*project)) {
            TNLMember& go = gn->obj();
            if (go.IPar[1] <= g) continue;
            --go.IPar[1];
            changed(*gn, ChangeFlags::Values);
            for (const auto& m : gn->children) {
                auto* mem = m->as<TGroupMember>();
                if (TRestr* r = mem->restriction()) {
                    r->IPar[8] = go.IPar[1];
                    mem->RefTNR->stateIndex = go.IPar[1];
                    changed(*mem->RefTNR, ChangeFlags::Values);
                }
            }
        }
        --projectObj(*project).IPar[8];
        break;
    }
    case ObjectKind::Restriction: {
        // Its member (any member that refers to it) goes first.
        for (Node* gn : childrenOf<TGroupHeader>(*project)) {
            for (std::size_t i = gn->children.size(); i-- > 0;) {
                Node* m = gn->children[i].get();
                if (m->as<TGroupMember>()->RefTNR == &node) removeNode(*m, candidates);
            }
        }
        if (node.parent != nullptr && node.parent->kind() == ObjectKind::AbsSpec)
            candidates.push_back(node.parent);
        break;
    }
    case ObjectKind::AbsSpec: {
        const std::int32_t n = obj.IPar[2];
        for (Node* rn : childrenOf<TRelHeader>(*project)) {
            const TNLMember& ro = rn->obj();
            if (absNumber(ro.IPar[1]) == n || ro.IPar[2] == n) removeNode(*rn, candidates);
        }
        for (Node* hn : childrenOf<THSHeader>(*project)) {
            if (hn == &node || hn->obj().IPar[2] <= n) continue;
            --hn->obj().IPar[2];
            changed(*hn, ChangeFlags::Values);
            for (const auto& c : hn->children) {
                c->obj().IPar[1] = renumberedAfter(c->obj().IPar[1], n);
                changed(*c, ChangeFlags::Values);
            }
        }
        for (Node* rn : childrenOf<TRelHeader>(*project)) {
            TNLMember& ro = rn->obj();
            ro.IPar[1] = renumberedAfter(ro.IPar[1], n);
            ro.IPar[2] = renumberedAfter(ro.IPar[2], n);
            changed(*rn, ChangeFlags::Values);
            for (const auto& c : rn->children) {
                c->obj().IPar[1] = renumberedAfter(c->obj().IPar[1], n);
                c->obj().IPar[2] = renumberedAfter(c->obj().IPar[2], n);
                changed(*c, ChangeFlags::Values);
            }
        }
        --projectObj(*project).IPar[3];
        break;
    }
    default:
        break;
    }
    obj.Deleted = true;
    while (!node.children.empty()) removeNode(*node.children.back(), candidates);
    removing(node);
    if (node.parent != nullptr) {
        Node& parent = *node.parent;
        const auto at = parent.children.begin() + static_cast<std::ptrdiff_t>(node.indexInParent());
        if (keepRemoved != nullptr) keepRemoved->push_back(std::move(*at));
        parent.children.erase(at);
        changed(parent, ChangeFlags::Structure);
    } else {
        const std::size_t i = indexOf(node);
        if (i < roots.size()) roots.erase(roots.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

Node& ProjectTree::copyProject(const Node& source) {
    ChangeBatch batch(this);
    auto p = std::make_unique<TProject>();
    (void)source.obj().CopyTo(*p);
    p->IPar[8] = 0; // groups are recreated from the copied restrictions
    Node& project = newProject();
    project.object = std::move(p);
    project.object->node = &project;
    for (const auto& child : source.children) {
        Node* target = nullptr;
        if (auto* h = child->as<THSHeader>()) {
            auto copy = std::make_unique<THSHeader>();
            h->Duplicate(*copy);
            target = &addChild(project, std::move(copy));
        } else if (auto* r = child->as<TRelHeader>()) {
            auto copy = std::make_unique<TRelHeader>();
            r->Duplicate(*copy);
            target = &addChild(project, std::move(copy));
        } else {
            continue;
        }
        for (const auto& rc : child->children) {
            auto* r = rc->as<TRestr>();
            if (r == nullptr) continue;
            auto copy = std::make_unique<TRestr>();
            (void)r->CopyTo(*copy);
            Node& rn = addChild(*target, std::move(copy));
            if (r->IPar[8] > 0 && r->IPar[8] <= kMaxGroups)
                findOrCreateMember(findOrCreateGroup(project, r->IPar[8]), rn);
        }
    }
    refreshCaptions(project);
    return project;
}

} // namespace model
