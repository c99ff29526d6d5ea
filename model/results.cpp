#include "model/results.h"

#include <cmath>

#include "model/calc_input.h"
#include "model/format_real.h"
#include "model/series.h"

namespace model {

void startCalculation(Node& project) {
    ChangeBatch batch(project);
    TProject& p = projectObj(project);
    p.RunInput = inputFingerprint(project);
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

// The restriction parameters of the project's restrictions in input order.
std::vector<std::array<double, 13>> inputGlobalPar(const Node& project) {
    std::vector<std::array<double, 13>> out;
    forEachInputRecord(project, [&](const Node& n) {
        if (auto* r = n.as<TRestr>()) out.push_back(r->GlobalPar);
    });
    return out;
}

// Keeps the reached beta and result code with stored results, or clears them with the
// results.
void keepResult(TProject& p, const CalcResults& results, bool stored, const Node& project) {
    const bool known = stored && results.beta && std::isfinite(*results.beta) &&
                       (results.code == 0 || results.code == 1);
    p.RPar[11] = known ? *results.beta : 0.0;
    p.RPar[12] = known ? results.code + 10.0 : 0.0;
    p.ResultSeconds = stored ? results.seconds : -1.0;
    if (stored && !p.RunInput.empty())
        p.CalculatedInput = ResultsInput{p.RunInput, inputGlobalPar(project)};
    else
        p.CalculatedInput.reset();
    p.RunInput.clear();
}

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
    if (!test) keepResult(p, results, out.stored, project);
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

namespace {

// Every motion of the project carries results (HasResults); with current: all are current.
bool allMotionsHaveResults(const Node& project, bool current) {
    for (const auto& c : project.children)
        if (const auto* m = c->as<TPaintObj>())
            if (!m->HasResults || (current && !m->ResultsCurrent)) return false;
    return true;
}

} // namespace

bool reviveResults(Node& project, const std::string& input) {
    TProject& p = projectObj(project);
    if (!p.ResultsStored || !p.CalculatedInput || p.Locked || p.TestMode ||
        !allMotionsHaveResults(project, false) || input != p.CalculatedInput->text)
        return false;
    ChangeBatch batch(project);
    // What is written equals what was calculated: nothing of it is Modified any more.
    const auto& kept = p.CalculatedInput->globalPar;
    std::size_t i = 0;
    bool restored = false;
    forEachInputRecord(project, [&](const Node& n) {
        n.obj().Modified = false;
        auto* r = n.as<TRestr>();
        if (r == nullptr) return;
        if (i < kept.size() && r->GlobalPar != kept[i]) {
            r->GlobalPar = kept[i];
            restored = true;
            notifyChanged(n, ChangeFlags::Results);
        }
        ++i;
    });
    if (!restored && p.AllCurrent && allMotionsHaveResults(project, true)) return true;
    for (auto& c : project.children) {
        auto* h = c->as<THSHeader>();
        if (h == nullptr) continue;
        h->ResultsCurrent = true;
        (void)deriveSeries(*h, false);
        for (auto& rc : c->children)
            if (auto* r = rc->as<TRestr>()) r->ComputeActualValues(*h);
        notifyChanged(*c, ChangeFlags::Results);
    }
    for (auto& c : project.children)
        if (c->kind() == ObjectKind::RelSpec) computeRelativeCoefficients(project, *c);
    p.AllCurrent = true;
    notifyChanged(project, ChangeFlags::Values | ChangeFlags::Results);
    return true;
}

void adoptCurrentInput(Node& project) {
    TProject& p = projectObj(project);
    if (!p.ResultsStored || !p.AllCurrent || !allMotionsHaveResults(project, true)) return;
    p.CalculatedInput = ResultsInput{inputFingerprint(project), inputGlobalPar(project)};
}

std::optional<double> recordedBeta(const TProject& p) {
    const double beta = p.RPar[11], code = p.RPar[12];
    if (!p.ResultsStored || (code != 10.0 && code != 11.0) || !(beta >= 0.0 && beta <= 1.0))
        return std::nullopt;
    return beta;
}

std::optional<KeptResult> keptResult(const Node& project) {
    const auto* p = project.as<TProject>();
    if (p == nullptr || !p->AllCurrent || !allMotionsHaveResults(project, true))
        return std::nullopt;
    const auto beta = recordedBeta(*p);
    if (!beta) return std::nullopt;
    return KeptResult{*beta, static_cast<int>(p->RPar[12]) - 10, p->ResultSeconds};
}

std::string resultText(const KeptResult& result, char decimalSeparator) {
    // Code 1 at beta 0: nothing depends on beta, the constant requirements are all.
    std::string text = "β = " + displayReal(result.beta, 4, decimalSeparator) + " — " +
                       (result.code != 1    ? "Maximalforderungen nicht erfüllt"
                        : result.beta > 0.0 ? "Maximalforderungen erfüllt"
                                            : "Forderungen erfüllt (keine variablen Forderungen)");
    if (result.seconds >= 0.0 && std::isfinite(result.seconds))
        text += ", " + secondsText(result.seconds, decimalSeparator);
    return text;
}

std::string secondsText(double seconds, char decimalSeparator) {
    return fixedDecimals(seconds, 1, decimalSeparator) + " s";
}

} // namespace model
