#include "model/editing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "model/format_real.h"
#include "model/series.h"

namespace model {

namespace {

std::string* textOf(TNLMember& obj) {
    if (auto* p = dynamic_cast<TProject*>(&obj)) return &p->Description;
    if (auto* h = dynamic_cast<THSHeader*>(&obj)) return &h->ShortName;
    return nullptr;
}

Node* memberOf(const Node& restriction) {
    const Node* project = projectOf(&restriction);
    if (project == nullptr) return nullptr;
    for (const auto& g : project->children) {
        if (g->kind() != ObjectKind::Group) continue;
        for (const auto& m : g->children)
            if (auto* mem = m->as<TGroupMember>(); mem != nullptr && mem->RefTNR == &restriction)
                return m.get();
    }
    return nullptr;
}

bool isChildOf(const Node& parent, const Node* child) {
    for (const auto& c : parent.children)
        if (c.get() == child) return true;
    return false;
}

} // namespace

bool EditState::sameDefinition(const EditState& o) const {
    return IPar == o.IPar && RPar == o.RPar && text == o.text && Global == o.Global &&
           GlobalPar == o.GlobalPar && group == o.group;
}

EditState captureState(const Node& node) {
    EditState s;
    TNLMember& obj = node.obj();
    s.IPar = obj.IPar;
    s.RPar = obj.RPar;
    s.Modified = obj.Modified;
    if (const std::string* t = textOf(obj)) s.text = *t;
    if (auto* r = node.as<TRestr>()) {
        s.Global = r->Global;
        s.GlobalPar = r->GlobalPar;
        s.group = groupOf(node);
    }
    return s;
}

Node* groupOf(const Node& restriction) {
    Node* m = memberOf(restriction);
    return m != nullptr ? m->parent : nullptr;
}

void applyState(Node& node, const EditState& state, bool restoreModified) {
    ChangeBatch batch(node);
    Node* project = projectOf(&node);
    auto* r = node.as<TRestr>();
    if (r != nullptr && project != nullptr) {
        Node* now = groupOf(node);
        if (!state.Global && now != nullptr) {
            clearGlobal(node);
        } else if (state.Global && (now == nullptr || now != state.group)) {
            // The recorded group only while it is still a group of this project; otherwise a
            // new one, never a group that merely took over its number.
            const bool alive = state.group != nullptr && isChildOf(*project, state.group);
            if (now != nullptr) clearGlobal(node);
            setGlobal(node, alive ? state.group->obj().IPar[1] : 0);
        }
    }
    editObject(node, [&](TNLMember& obj) {
        const std::int32_t group = obj.IPar[8], record = obj.IPar[9];
        obj.IPar = state.IPar;
        obj.IPar[9] = record;
        obj.RPar = state.RPar;
        if (std::string* t = textOf(obj)) *t = state.text;
        if (r != nullptr) {
            // The membership decides the group number.
            obj.IPar[8] = r->Global ? group : std::min(state.IPar[8], 0);
            r->GlobalPar = state.GlobalPar;
        }
    });
    if (restoreModified) node.obj().Modified = state.Modified;
}

int harmonicBudget(const Node& motionSpec) {
    const Node* project = projectOf(&motionSpec);
    if (project == nullptr) return 1;
    const long n = project->obj().IPar[3];
    long sum = 0;
    for (const auto& c : project->children)
        if (c->kind() == ObjectKind::AbsSpec) sum += c->obj().IPar[3];
    const long k = (240 - 2 * n) / 4 + motionSpec.obj().IPar[3] - sum;
    return static_cast<int>(std::clamp<long>(k, 1, 240));
}

std::optional<std::string> fewHarmonicsReason(const Node& motionSpec, char decimalPoint) {
    if (motionSpec.kind() != ObjectKind::AbsSpec) return std::nullopt;
    std::vector<double> angles;
    for (const auto& c : motionSpec.children) {
        const auto* r = c->as<TRestr>();
        if (r == nullptr || r->IPar[1] <= 0) continue; // switched off: not calculated
        const int k = r->code();
        if (isPointKind(k) || isIntervalKind(k)) angles.push_back(r->RPar[2]);
        if (isIntervalKind(k)) angles.push_back(r->RPar[4]);
    }
    for (double& a : angles) {
        a = std::fmod(a, 360.0);
        if (a < 0) a += 360.0;
    }
    std::sort(angles.begin(), angles.end());
    double closest = 360.0;
    for (std::size_t i = 0; i < angles.size(); ++i) {
        const double next = i + 1 < angles.size() ? angles[i + 1] : angles.front() + 360.0;
        const double gap = next - angles[i];
        if (gap > 1e-6) closest = std::min(closest, gap);
    }
    if (closest >= 360.0) return std::nullopt; // fewer than two distinct angles
    const int k = motionSpec.obj().IPar[3];
    const int needed = static_cast<int>(std::ceil(180.0 / closest - 1e-9));
    if (k >= needed) return std::nullopt;
    const std::string gap = displayReal(closest, 4, decimalPoint);
    std::string reason = "K = " + std::to_string(k) +
                         " ist zu klein: Winkel der Restriktionen liegen nur " + gap +
                         "° auseinander; so kurze Abschnitte formt erst eine Reihe mit K ≥ " +
                         std::to_string(needed) + " Harmonischen";
    if (const int budget = harmonicBudget(motionSpec); budget < needed)
        reason += "; das Projekt lässt hier höchstens K = " + std::to_string(budget) +
                  " zu (die anderen Bewegungsvorgaben brauchen den Rest)";
    return reason;
}

bool normaliseOptimisationSettings(TProject& p) {
    const auto before = std::make_tuple(p.IPar[4], p.IPar[5], p.RPar[1]);
    const bool advanced = p.IPar[6] == 1;
    if (!advanced || p.IPar[4] < 2 || p.IPar[4] > 40) p.IPar[4] = 8;
    if (!advanced || p.IPar[5] < 5 || p.IPar[5] > 500) p.IPar[5] = 20;
    if (!advanced || !(p.RPar[1] >= 0.0001 && p.RPar[1] <= 1.0)) p.RPar[1] = 0.25;
    return before != std::make_tuple(p.IPar[4], p.IPar[5], p.RPar[1]);
}

Node* setGlobal(Node& restriction, int group) {
    Node* project = projectOf(&restriction);
    auto* r = restriction.as<TRestr>();
    if (project == nullptr || r == nullptr) return nullptr;
    ChangeBatch batch(restriction);
    Node& g = findOrCreateGroup(*project, group);
    findOrCreateMember(g, restriction);
    r->Global = true;
    r->IPar[8] = g.obj().IPar[1];
    notifyChanged(restriction, ChangeFlags::Values);
    notifyChanged(*project, ChangeFlags::Values);
    refreshCaptions(*project);
    return &g;
}

void fitShiftRanges(TRestr& r) {
    auto& P = r.RPar;
    const bool interval = isIntervalKind(r.code());
    const bool first = P[9] <= P[2] && P[2] <= P[10];
    const bool second = !interval || (P[11] <= P[4] && P[4] <= P[12] && P[10] <= P[11]);
    if (first && second) return;
    P[9] = P[10] = P[2];
    if (interval) P[11] = P[12] = P[4];
}

void clearGlobal(Node& restriction) {
    auto* r = restriction.as<TRestr>();
    ProjectTree* tree = treeOf(restriction);
    Node* member = memberOf(restriction);
    if (r == nullptr) return;
    if (member != nullptr && tree != nullptr) {
        // The deletion of the member cleans up its group.
        tree->deleteNode(*member);
    } else if (member != nullptr) {
        Node& group = *member->parent;
        group.children.erase(group.children.begin() +
                             static_cast<std::ptrdiff_t>(member->indexInParent()));
    }
    r->Global = false;
    r->IPar[8] = 0;
    restriction.stateIndex = 0;
    notifyChanged(restriction, ChangeFlags::Values);
}

void setPaintStyle(Node& motion, const PaintStyle& style) {
    auto* m = motion.as<TPaintObj>();
    if (m == nullptr || m->PaintStyle == style) return;
    ChangeBatch batch(motion);
    m->PaintStyle = style;
    notifyChanged(motion, ChangeFlags::Presentation);
    if (Node* project = projectOf(&motion)) {
        projectObj(*project).Changed = true;
        notifyChanged(*project, ChangeFlags::Presentation);
    }
}

bool testMotion(Node& motionSpec, double eta, double theta) {
    auto* h = motionSpec.as<THSHeader>();
    Node* project = projectOf(&motionSpec);
    if (h == nullptr || project == nullptr) return false;
    ChangeBatch batch(motionSpec);
    h->TestEta = eta;
    h->TestTheta = theta;
    const bool ok = deriveSeries(*h, true);
    notifyChanged(motionSpec, ChangeFlags::Results);
    const int n = h->IPar[2];
    for (auto& c : project->children) {
        auto* rel = c->as<TRelHeader>();
        if (rel == nullptr || (std::abs(rel->IPar[1]) != n && rel->IPar[2] != n)) continue;
        const bool has = rel->HasResults, current = rel->ResultsCurrent;
        computeRelativeCoefficients(*project, *c, false);
        rel->HasResults = has;
        rel->ResultsCurrent = current;
    }
    return ok;
}

} // namespace model
