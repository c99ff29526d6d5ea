// The restrictions that bind at the reached level, against an evaluation of the motion of its
// own: the example projects with their stored results, and motions with known extremes.
#include <algorithm>
#include <cmath>
#include <variant>

#include <gtest/gtest.h>

#include "model/binding.h"
#include "model/project_file.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

const Binding* find(const std::vector<Binding>& b, const Node& r) {
    for (const Binding& x : b)
        if (x.restriction == &r) return &x;
    return nullptr;
}

// Extremes of derivative m of s (or q) over a .. b from n + 1 equidistant samples.
std::pair<double, double> dense(const TPaintObj& m, bool q, int order, double a, double b,
                                int n = 3600) {
    double lo = INFINITY, hi = -INFINITY;
    for (int i = 0; i <= n; ++i) {
        const double phi = a + (b - a) * i / n;
        const double v = q ? m.Calc_q(order, phi) : m.Calc_s(order, phi);
        lo = std::min(lo, v), hi = std::max(hi, v);
    }
    return {lo, hi};
}

} // namespace

// Fixed bounds of point and interval restrictions: a bound met within half the tolerance (or
// passed) must be reported, one missed by twice the tolerance must not.
TEST(Binding, ExamplesAgreeWithDenseEvaluation) {
    int reported = 0;
    for (const char* name : {"cam_dwell.k4p", "slide_gripper.k4p", "packaging_three_drives.k4p"}) {
        ProjectTree tree;
        auto opened = openProject(tree, TERVANA_SOURCE_DIR "/examples/" + std::string(name));
        ASSERT_TRUE(std::holds_alternative<Node*>(opened)) << name;
        Node& project = *std::get<Node*>(opened);
        for (const auto& c : project.children) {
            const auto* m = c->as<TPaintObj>();
            if (m == nullptr) continue;
            if (!m->HasResults || !m->ResultsCurrent) continue; // stored results stale
            const auto binding = bindingRestrictions(*c);
            reported += static_cast<int>(binding.size());
            for (const auto& rc : c->children) {
                auto* r = rc->as<TRestr>();
                const int k = r->code();
                if (r->IPar[1] < 0 || !r->CheckValid() || isSpectrumKind(k) || r->IPar[6] > 0 ||
                    r->IPar[7] > 0)
                    continue;
                const auto& P = r->Global ? r->GlobalPar : r->RPar;
                bool must = false, mustNot = true;
                for (bool q : {false, true}) {
                    if (q && m->Calc_q(0, 37.0) == m->Calc_s(0, 37.0)) continue; // q = s
                    const auto [lo, hi] =
                        dense(*m, q, r->order(), P[2], isPointKind(k) ? P[2] : P[4]);
                    const auto [clo, chi] = dense(*m, q, r->order(), 0.0, 360.0);
                    const double span = chi - clo;
                    auto check = [&](bool upper, double bound, double v) {
                        const double tol = 1e-4 * std::max({1.0, std::fabs(bound), span});
                        const double beyond = upper ? v - bound : bound - v;
                        must = must || beyond >= -tol / 2;
                        mustNot = mustNot && beyond < -2 * tol;
                    };
                    if (r->IPar[6] == 0) check(false, P[6], lo);
                    if (r->IPar[7] == 0) check(true, P[8], hi);
                }
                const bool found = find(binding, *rc) != nullptr;
                EXPECT_TRUE(found || !must) << name << " " << r->Caption << " not reported";
                EXPECT_TRUE(!found || !mustNot) << name << " " << r->Caption << " reported";
            }
        }
    }
    EXPECT_GT(reported, 0);
}

// s = sin φ: which bounds bind, and why. Variable bounds: the smallest level at which one is just
// met estimates the reached beta.
TEST(Binding, KnownMotion) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& a = findOrCreateAbs(p, 1);
    auto* h = a.as<THSHeader>();
    h->sSC.ReSize(4);
    h->sSC.set(2, 1.0);
    h->qSC = h->sSC;
    h->HasResults = h->ResultsCurrent = true;
    EXPECT_TRUE(bindingRestrictions(a).empty());

    TRestr& reached = addRestr(a, 10, 0.0, 180.0, -5.0, 1.0);
    TRestr& passed = addRestr(a, 10, 0.0, 180.0, -5.0, 0.99);
    TRestr& free = addRestr(a, 10, 0.0, 180.0, -5.0, 1.01);
    TRestr& point = addRestr(a, 1, 180.0, 0.0, -1.0, 5.0); // s'(180°) = -1
    TRestr& spectrum = addRestr(a, 20, 0.0, 0.0, 1.0);     // Σ |a|+|b| = 1
    // Variable upper bound 2 → 0.5 met at level 2/3; variable lower bound -2 → -0.9 met at
    // level 10/11: the first binds at 2/3, the second not.
    TRestr& var1 = addRestr(a, 10, 0.0, 360.0, -5.0, 2.0);
    var1.IPar[7] = 1, var1.RPar[7] = 0.5;
    TRestr& var2 = addRestr(a, 10, 0.0, 360.0, -2.0, 5.0);
    var2.IPar[6] = 1, var2.RPar[5] = -0.9;
    const auto b = bindingRestrictions(a);
    const std::pair<TRestr*, const char*> expect[] = {
        {&reached, "obere Schranke 1.0 erreicht (1.0)"},
        {&passed, "obere Schranke 0.99 überschritten (1.0)"},
        {&free, nullptr},
        {&point, "untere Schranke -1.0 erreicht (-1.0)"},
        {&spectrum, "Spektrumschranke 1.0 erreicht (1.0)"},
        {&var1, "obere Schranke 1.0 bei beta 0.666667 erreicht (1.0)"},
        {&var2, nullptr}};
    for (const auto& [r, why] : expect) {
        const Binding* found = find(b, *r->node);
        if (why == nullptr)
            EXPECT_EQ(found, nullptr) << r->Caption;
        else if (found == nullptr)
            ADD_FAILURE() << r->Caption << " not reported";
        else
            EXPECT_EQ(found->why, why) << r->Caption;
    }
    h->ResultsCurrent = false;
    EXPECT_TRUE(bindingRestrictions(a).empty());
}
