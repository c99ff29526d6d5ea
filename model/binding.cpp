#include "model/binding.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/band.h"
#include "model/calc_input.h"
#include "model/characteristics.h"
#include "model/format_real.h"
#include "model/results.h"

namespace model {

namespace {

// One bound of one restriction against one curve (s or q).
struct Side {
    const Node* restriction;
    bool q, upper, spectrum;
    double actual, fixed, variable; // variable: the bound at beta = 1
    bool isVariable;
    double tol;
    bool moves;        // the requirement moves with beta (binding.h)
    double actualNext; // the actual value with the interval ends at the next level
    // The level at which a variable bound is just reached by the actual value.
    double level() const { return (actual - fixed) / (variable - fixed); }
    double levelTol() const { return tol / std::fabs(variable - fixed); }
};

std::string num(double x, char sep) {
    return displayReal(x, 6, sep);
}

// Whether the frequency ratio of the motion (of either motion of a relative one) moves with beta.
bool etaVaries(const Node& motionNode) {
    auto varies = [](const Node* n) {
        return n != nullptr && (n->obj().IPar[4] == 1 || n->obj().IPar[5] == 1);
    };
    if (motionNode.kind() == ObjectKind::AbsSpec) return varies(&motionNode);
    const Node* project = projectOf(&motionNode);
    if (project == nullptr) return false;
    return varies(findAbs(*project, motionNode.obj().IPar[1])) ||
           varies(findAbs(*project, motionNode.obj().IPar[2]));
}

bool hasCurrentResults(const TPaintObj* m) {
    return m != nullptr && m->HasResults && m->ResultsCurrent;
}

// The reached level and the next one the stage search tried above it: the bisection ends
// within betaMax / 2^steps of the level where the program became infeasible.
struct Levels {
    double reached, next;
};

// The actual values of the restriction with its interval ends (when they move) at level.
TRestr actualAt(const TRestr& used, const TPaintObj& motion, std::optional<double> level) {
    TRestr r;
    r.IPar = used.IPar;
    r.RPar = used.RPar;
    if (level && isIntervalKind(r.code())) {
        r.RPar[2] = atLevel(r.IPar[4] == 1, r.RPar[2], r.RPar[1], *level);
        r.RPar[4] = atLevel(r.IPar[5] == 1, r.RPar[4], r.RPar[3], *level);
    }
    r.ComputeActualValues(motion);
    return r;
}

// The sides of every switched-on, consistent restriction under a motion with current results.
// With levels, moving interval ends are taken there; else at their fixed values.
void collectSides(const Node& motionNode, std::vector<Side>& out,
                  std::optional<Levels> levels = std::nullopt) {
    const auto* motion = motionNode.as<TPaintObj>();
    if (!hasCurrentResults(motion)) return;
    const bool withQ = hasElasticOutput(*motion);
    const bool qMoves = withQ && etaVaries(motionNode);
    for (const auto& child : motionNode.children) {
        auto* r = child->as<TRestr>();
        if (r == nullptr || r->IPar[1] < 0) continue;
        const int k = r->code();
        if (!isPointKind(k) && !isIntervalKind(k) && !isSpectrumKind(k)) continue;
        // A restriction of a global group was calculated with the parameters the random
        // search chose for it; its actual values are those of these parameters. The copy is
        // checked, so that the tree's object keeps its flags.
        TRestr used;
        used.IPar = r->IPar;
        used.RPar = r->Global ? r->GlobalPar : r->RPar;
        if (!used.CheckValid()) continue;
        const bool endsMove = isIntervalKind(k) && (r->IPar[4] == 1 || r->IPar[5] == 1);
        const auto at = [&](std::optional<double> l) { return actualAt(used, *motion, l); };
        const TRestr now = at(levels ? std::optional(levels->reached) : std::nullopt);
        const TRestr next = endsMove && levels ? at(levels->next) : now;
        const auto& P = used.RPar;
        for (bool q : {false, true}) {
            if (q && !withQ) continue;
            const auto& A = q ? now.ActualQ : now.ActualS;
            const auto& N = q ? next.ActualQ : next.ActualS;
            const bool moves = endsMove || (q && qMoves);
            if (isSpectrumKind(k)) {
                if (r->IPar[6] == -1) continue;
                const double tol = 1e-4 * std::max({1.0, std::fabs(P[6])});
                out.push_back({child.get(), q, true, true, A[4], P[6], P[5], r->IPar[6] == 1, tol,
                               moves || r->IPar[6] == 1, N[4]});
                continue;
            }
            double lo = 0.0, hi = 360.0;
            if (q)
                motion->GetMinMax_q(r->order(), lo, hi);
            else
                motion->GetMinMax_s(r->order(), lo, hi);
            const double range = hi - lo;
            if (r->IPar[6] >= 0)
                out.push_back({child.get(), q, false, false, A[3], P[6], P[5], r->IPar[6] == 1,
                               1e-4 * std::max({1.0, std::fabs(P[6]), range}),
                               moves || r->IPar[6] == 1, N[3]});
            if (r->IPar[7] >= 0)
                out.push_back({child.get(), q, true, false, A[4], P[8], P[7], r->IPar[7] == 1,
                               1e-4 * std::max({1.0, std::fabs(P[8]), range}),
                               moves || r->IPar[7] == 1, N[4]});
        }
    }
}

struct SideResult {
    std::string why;    // empty: the side does not bind
    bool stops = false; // it would fail at the next level: it limits beta
};

// Why the side binds, or nothing when it does not. With the kept level the bound at that level
// is compared, and a side whose requirement moves binds also when it would fail at the next
// level the search tried (the bisection leaves the bound up to one step unreached). With an
// estimated level a variable bound binds when it is just reached at or below it (the estimate
// is its smallest such level).
SideResult sideBinds(const Side& s, std::optional<Levels> kept, double estimated, double betaMax,
                     char sep) {
    std::string what = s.spectrum ? "Spektrumschranke"
                       : s.upper  ? "obere Schranke"
                                  : "untere Schranke";
    if (s.q) what = "q: " + what;
    const std::string actual = " (" + num(s.actual, sep) + ")";
    if (!s.isVariable || kept) {
        const double level = kept ? kept->reached : estimated;
        const double bound = atLevel(s.isVariable, s.fixed, s.variable, level);
        const double beyond = s.upper ? s.actual - bound : bound - s.actual;
        const double boundNext =
            atLevel(s.isVariable, s.fixed, s.variable, kept ? kept->next : level);
        const bool stops =
            s.moves && (s.upper ? s.actualNext - boundNext : boundNext - s.actualNext) >= -s.tol;
        if (beyond < -s.tol && !stops) return {};
        return {what + " " + num(bound, sep) +
                    (s.isVariable ? " bei beta " + num(level, sep) : "") +
                    (beyond > s.tol     ? " überschritten"
                     : beyond >= -s.tol ? " erreicht"
                                        : " fast erreicht") +
                    actual,
                stops};
    }
    const double l = s.level(), lt = s.levelTol();
    if (l > estimated + lt) return {};
    if (l < -lt) return {what + " " + num(s.fixed, sep) + " (fest) überschritten" + actual, true};
    if (l <= lt) return {what + " " + num(s.fixed, sep) + " (fest) erreicht" + actual, true};
    const double at = std::min(l, betaMax);
    return {what + " " + num(atLevel(true, s.fixed, s.variable, at), sep) + " bei beta " +
                num(at, sep) + " erreicht" + actual,
            true};
}

// The bisection steps of the stage search as the module reads them from the project's start
// record.
int bisectionSteps(const TProject& p) {
    return p.IPar[6] >= 2 && p.IPar[6] <= 50 ? p.IPar[6] : 10;
}

double betaMaximum(const Node* project) {
    const double b = project != nullptr ? project->obj().RPar[2] : 1.0;
    return b > 0.0 && b < 1.0 ? b : 1.0;
}

// The level estimated from the variable bounds of the sides.
double estimatedLevel(const std::vector<Side>& sides, double betaMax) {
    double level = betaMax;
    for (const Side& s : sides)
        if (s.isVariable) level = std::min(level, std::max(0.0, s.level()));
    return level;
}

// The level estimated from the variable bounds of the whole project.
double estimatedLevel(const Node& project) {
    std::vector<Side> all;
    for (const auto& c : project.children) collectSides(*c, all);
    return estimatedLevel(all, betaMaximum(&project));
}

} // namespace

double reachedLevel(const Node& project) {
    if (const auto* p = project.as<TProject>())
        if (const auto beta = recordedBeta(*p)) return *beta;
    return estimatedLevel(project);
}

double namedOvershoot(const Node& restriction, double level) {
    const auto* r = restriction.as<TRestr>();
    const Node* motionNode = restriction.parent;
    const auto* motion = motionNode != nullptr ? motionNode->as<TPaintObj>() : nullptr;
    const Node* project = projectOf(&restriction);
    if (r == nullptr || r->IPar[1] < 0 || !isIntervalKind(r->code()) ||
        !hasCurrentResults(motion) || project == nullptr)
        return 0.0;
    double worst = 0.0;
    for (bool q : {false, true})
        if (!q || hasElasticOutput(*motion))
            worst = std::max(worst, relativeViolation(*r, r->Global ? r->GlobalPar : r->RPar,
                                                      *motion, q, level));
    // With the switch on the calculation held the tolerance; only more than that is named.
    const double tol = wholeCycleTolerance(*project->as<TProject>());
    return worst >= (tol > 0.0 ? tol * 1.01 : kViolationShown) ? worst : 0.0;
}

std::vector<Binding> bindingRestrictions(const Node& motionSpec, char decimalSeparator) {
    std::vector<Binding> out;
    const Node* project = projectOf(&motionSpec);
    if (!hasCurrentResults(motionSpec.as<TPaintObj>())) return out;
    const auto* p = project != nullptr ? project->as<TProject>() : nullptr;
    const double betaMax = betaMaximum(project);
    std::optional<Levels> kept;
    if (const auto beta = p != nullptr ? recordedBeta(*p) : std::nullopt)
        kept =
            Levels{*beta, std::min(*beta + betaMax / std::ldexp(1.0, bisectionSteps(*p)), betaMax)};
    // With the maximum requirements met nothing limits beta.
    const bool maximumMet = kept && p->RPar[12] == 11.0;
    std::vector<Side> own;
    collectSides(motionSpec, own, kept);
    if (own.empty()) return out;

    const double level = project != nullptr ? reachedLevel(*project) : estimatedLevel(own, 1.0);

    for (const Side& s : own) {
        const SideResult r = sideBinds(s, kept, level, betaMax, decimalSeparator);
        if (r.why.empty()) continue;
        if (!out.empty() && out.back().restriction == s.restriction)
            out.back().why += "; " + r.why;
        else
            out.push_back({s.restriction, r.why});
        out.back().limiting = out.back().limiting || (s.moves && r.stops && !maximumMet);
    }
    // Overshoots between the sample angles, in tree order with the others.
    if (project != nullptr) {
        std::vector<Binding> all;
        std::size_t next = 0;
        for (const auto& c : motionSpec.children) {
            Binding* b =
                next < out.size() && out[next].restriction == c.get() ? &out[next++] : nullptr;
            const double over = namedOvershoot(*c, level);
            if (b == nullptr && over == 0.0) continue;
            all.push_back(b != nullptr ? *b : Binding{c.get(), {}});
            if (over == 0.0) continue;
            all.back().overshoot = over;
            if (!all.back().why.empty()) all.back().why += ", ";
            all.back().why += overshootText(over, decimalSeparator);
        }
        out = std::move(all);
    }
    std::stable_partition(out.begin(), out.end(), [](const Binding& b) { return b.limiting; });
    return out;
}

} // namespace model
