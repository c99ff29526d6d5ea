#include "model/results.h"

#include "model/series.h"

namespace model {

void startCalculation(Node& project) {
    ChangeBatch batch(project);
    TProject& p = projectObj(project);
    p.Locked = true;
    p.Changed = true;
    p.Modified = false;
    notifyChanged(project, ChangeFlags::Values);
    for (auto& child : project.children) {
        if (child->kind() == ObjectKind::AbsSpec)
            child->obj().Modified = false;
        else if (child->kind() != ObjectKind::RelSpec)
            continue;
        for (auto& rc : child->children)
            if (auto* r = rc->as<TRestr>()) {
                r->Modified = false;
                if (r->GlobalPar != r->RPar) {
                    r->GlobalPar = r->RPar;
                    notifyChanged(*rc, ChangeFlags::Results);
                }
            }
    }
}

namespace {

// The node of the project that a const node handed over stands for.
Node* find(Node& project, const Node* target) {
    Node* found = nullptr;
    forEachNode(project, [&](Node& n) {
        if (&n == target) found = &n;
    });
    return found;
}

} // namespace

PublishOutcome publishResults(Node& project, const CalcResults& results) {
    ChangeBatch batch(project);
    TProject& p = projectObj(project);
    const bool test = p.TestMode;
    PublishOutcome out;
    std::vector<Node*> absolute;
    for (auto& c : project.children)
        if (c->kind() == ObjectKind::AbsSpec) absolute.push_back(c.get());
    if (results.ok && !test) {
        if (results.varied) {
            for (const auto& [node, reals] : *results.varied)
                if (Node* n = find(project, node); n != nullptr && n->as<TRestr>() != nullptr)
                    n->as<TRestr>()->GlobalPar = reals;
        } else {
            forEachNode(project, [](Node& n) {
                if (auto* r = n.as<TRestr>()) r->GlobalPar = r->RPar;
            });
        }
    }
    // Every absolute motion needs its series; one missing and the run yields nothing (the
    // series of the others stay as they were).
    bool complete = results.ok;
    if (results.ok && !test)
        for (Node* h : absolute) {
            bool have = false;
            for (const auto& [node, s] : results.series) have = have || node == h;
            complete = complete && have;
        }
    out.stored = complete;
    if (complete) {
        for (Node* hn : absolute) {
            auto* h = hn->as<THSHeader>();
            if (!test) {
                for (const auto& [node, s] : results.series)
                    if (node == hn) h->sSC = s;
                h->ResultsCurrent = true;
            }
            if (!deriveSeries(*h, test)) out.derivationFailed = true;
            if (!test)
                for (auto& rc : hn->children)
                    if (auto* r = rc->as<TRestr>()) r->ComputeActualValues(*h);
        }
        for (auto& c : project.children) {
            auto* rel = c->as<TRelHeader>();
            if (rel == nullptr) continue;
            // The relative series are always formed; the actual values only after a run.
            computeRelativeCoefficients(project, *c, !test);
            rel->ResultsCurrent = true;
        }
    }
    p.ResultsStored = out.stored;
    p.Calculated = true;
    p.AllCurrent = p.ResultsStored;
    p.Locked = false;
    for (auto& c : project.children)
        if (auto* m = c->as<TPaintObj>()) m->HasResults = p.ResultsStored;
    // Everything that shows results redraws; the tree shows the project's state.
    forEachNode(project, [](Node& n) {
        if (n.kind() == ObjectKind::Project)
            notifyChanged(n, ChangeFlags::Values | ChangeFlags::Results);
        else if (n.kind() != ObjectKind::Group && n.kind() != ObjectKind::GroupMember)
            notifyChanged(n, ChangeFlags::Results);
    });
    return out;
}

} // namespace model
