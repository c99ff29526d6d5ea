// Solving: small problems worked out by hand, the method's edge cases, and seeded random
// problems whose results are certified independently by the optimality conditions.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "lpsolver/options.h"
#include "tests/lpsolver/contract/lp_call.h"
#include "tests/lpsolver/contract/lp_output.h"

using namespace lp;
using lp::test::LPCall;

namespace {

class Solve : public ::testing::Test {
protected:
    void SetUp() override {
        optionSlots().reset();
        startOptionBatch();
        LPOPTN("Nolist");
        LPOPTN("PRI=0");
    }
    void TearDown() override { optionSlots().reset(); }
};

constexpr double kInf = 1.0e20;

double rowValue(const LPCall& c, int i) {
    double v = 0.0;
    for (int j = 1; j <= c.n; ++j)
        v += c.A[static_cast<std::size_t>((i - 1) + (j - 1) * c.lda)] * c.x[j - 1];
    return v;
}

// Checks the optimality conditions of an LP result independently of the solver's internals:
// primal feasibility, the gradient as a combination of the active constraints with the
// multipliers the solver returned, their signs, and that inactive constraints carry none.
void expectOptimal(const LPCall& c, double tol = 1e-7) {
    std::vector<double> resid(c.cost.begin(), c.cost.begin() + c.n);
    for (int j = 1; j <= c.n + c.nclin; ++j) {
        const double v = j <= c.n ? c.x[j - 1] : rowValue(c, j - c.n);
        const double scale = 1.0 + std::fabs(v);
        EXPECT_GE(v, c.bl[j - 1] - tol * scale) << "constraint " << j;
        EXPECT_LE(v, c.bu[j - 1] + tol * scale) << "constraint " << j;
        if (j > c.n) {
            EXPECT_NEAR(c.ax[j - c.n - 1], v, tol * scale) << "A x of row " << j - c.n;
        }
        const double m = c.mult[j - 1];
        const int s = c.istate[j - 1];
        if (s == 0) {
            EXPECT_EQ(m, 0.0) << j;
        } else if (s == 1) {
            EXPECT_GE(m, -tol) << j;
            EXPECT_NEAR(v, c.bl[j - 1], tol * scale) << j;
        } else if (s == 2) {
            EXPECT_LE(m, tol) << j;
            EXPECT_NEAR(v, c.bu[j - 1], tol * scale) << j;
        } else if (s == 3) {
            EXPECT_NEAR(v, c.bu[j - 1], tol * scale) << j;
        }
        if (j <= c.n) {
            resid[j - 1] -= m;
        } else {
            for (int k = 1; k <= c.n; ++k)
                resid[k - 1] -= m * c.A[static_cast<std::size_t>((j - c.n - 1) + (k - 1) * c.lda)];
        }
    }
    double cnorm = 1.0;
    for (double v : c.cost) cnorm = std::max(cnorm, std::fabs(v));
    for (int k = 1; k <= c.n; ++k) EXPECT_NEAR(resid[k - 1], 0.0, 1e-8 * cnorm) << "gradient " << k;
    double obj = 0.0;
    for (int k = 1; k <= c.n; ++k) obj += c.cost[k - 1] * c.x[k - 1];
    EXPECT_NEAR(c.fval, obj, 1e-9 * (1.0 + std::fabs(obj)));
}

} // namespace

TEST_F(Solve, TwoRowsTwoVariables) {
    LPCall c(2, 2);
    c.a(1, 1) = 1, c.a(1, 2) = 2, c.a(2, 1) = 3, c.a(2, 2) = 1;
    c.bl = {0, 0, -kInf, -kInf};
    c.bu = {kInf, kInf, 4, 6};
    c.cost = {-1, -1};
    EXPECT_EQ(c.solve(), 0);
    EXPECT_NEAR(c.x[0], 1.6, 1e-12);
    EXPECT_NEAR(c.x[1], 1.2, 1e-12);
    EXPECT_NEAR(c.fval, -2.8, 1e-12);
    // Multipliers solve (1 3; 2 1)' y = c: y = (-0.4, -0.2), at the upper bounds.
    EXPECT_NEAR(c.mult[2], -0.4, 1e-12);
    EXPECT_NEAR(c.mult[3], -0.2, 1e-12);
    EXPECT_EQ(c.istate, (std::vector<int>{0, 0, 2, 2}));
    expectOptimal(c);
}

TEST_F(Solve, BoundsOnlyWithoutMatrix) {
    LPCall c(3, 0);
    c.bl = {0, -1, -kInf};
    c.bu = {2, 3, 5};
    c.cost = {1, -1, -2};
    EXPECT_EQ(c.solve(), 0);
    EXPECT_EQ(c.x, (std::vector<double>{0, 3, 5}));
    EXPECT_EQ(c.istate, (std::vector<int>{1, 2, 2}));
    EXPECT_NEAR(c.fval, -13.0, 1e-12);
    EXPECT_EQ(c.iwork[0], 1); // Q never left the identity
    expectOptimal(c);
}

TEST_F(Solve, EqualityRowsAndFixedVariable) {
    // x1 + x2 + x3 = 6, x1 - x2 = 1, x3 fixed at 2; min x1 + 2 x2 + 3 x3 -> x = (2.5, 1.5, 2).
    LPCall c(3, 2);
    c.a(1, 1) = 1, c.a(1, 2) = 1, c.a(1, 3) = 1;
    c.a(2, 1) = 1, c.a(2, 2) = -1;
    c.bl = {0, 0, 2, 6, 1};
    c.bu = {kInf, kInf, 2, 6, 1};
    c.cost = {1, 2, 3};
    EXPECT_EQ(c.solve(), 0);
    EXPECT_NEAR(c.x[0], 2.5, 1e-12);
    EXPECT_NEAR(c.x[1], 1.5, 1e-12);
    EXPECT_EQ(c.x[2], 2.0);
    EXPECT_EQ(c.istate[2], 3);
    EXPECT_EQ(c.istate[3], 3);
    EXPECT_EQ(c.istate[4], 3);
    expectOptimal(c);
}

TEST_F(Solve, WeakWhenTheObjectiveIsConstantAlongAnEdge) {
    // min x1 + x2 over x1 + x2 >= 1 in the unit box: every point of the edge is optimal.
    LPCall c(2, 1);
    c.a(1, 1) = 1, c.a(1, 2) = 1;
    c.bl = {0, 0, 1};
    c.bu = {1, 1, kInf};
    c.cost = {1, 1};
    EXPECT_EQ(c.solve(), 1);
    EXPECT_NEAR(c.fval, 1.0, 1e-12);
    expectOptimal(c);
}

TEST_F(Solve, UnboundedAndInfeasible) {
    LPCall u(2, 1);
    u.a(1, 1) = 1, u.a(1, 2) = -1;
    u.bl = {0, 0, -kInf};
    u.bu = {kInf, kInf, 1};
    u.cost = {-1, -1};
    EXPECT_EQ(u.solve(), 2);

    LPCall f(2, 2);
    f.a(1, 1) = 1, f.a(1, 2) = 1, f.a(2, 1) = 1, f.a(2, 2) = 1;
    f.bl = {0, 0, -kInf, 3};
    f.bu = {kInf, kInf, 1, kInf};
    f.cost = {1, 1};
    EXPECT_EQ(f.solve(), 3);
    EXPECT_GT(f.fval, 0.0); // the sum of infeasibilities
    // Rows 1 and 2 cannot both hold: at least one is reported violated.
    EXPECT_TRUE(f.istate[2] < 0 || f.istate[3] < 0);
}

TEST_F(Solve, IterationLimitZero) {
    LPOPTN("Iterations 0");
    LPCall c(2, 2);
    c.a(1, 1) = 1, c.a(1, 2) = 2, c.a(2, 1) = 3, c.a(2, 2) = 1;
    c.bl = {0, 0, -kInf, -kInf};
    c.bu = {kInf, kInf, 4, 6};
    c.cost = {-1, -1};
    EXPECT_EQ(c.solve(), 4);
    EXPECT_EQ(c.niter, 0);
    // Already optimal at the start: no step is needed.
    LPCall d(2, 0);
    d.bl = {0, 0};
    d.bu = {1, 1};
    d.cost = {1, 1};
    EXPECT_EQ(d.solve(), 0);
}

TEST_F(Solve, FeasiblePointProblem) {
    LPOPTN("Problem type FP");
    LPCall c(2, 2);
    c.a(1, 1) = 1, c.a(1, 2) = 1, c.a(2, 1) = 1, c.a(2, 2) = -1;
    c.bl = {-kInf, -kInf, 5, -1};
    c.bu = {kInf, kInf, 6, 1};
    c.x = {-10, 30};
    EXPECT_EQ(c.solve(), 0);
    const double r1 = c.x[0] + c.x[1], r2 = c.x[0] - c.x[1];
    EXPECT_GE(r1, 5 - 1e-7);
    EXPECT_LE(r1, 6 + 1e-7);
    EXPECT_GE(r2, -1 - 1e-7);
    EXPECT_LE(r2, 1 + 1e-7);
    EXPECT_EQ(c.mult, (std::vector<double>{0, 0, 0, 0}));
}

// Random problems with a known feasible point, every variable boxed so that an optimum exists:
// solved with each rule of leaving the working set, and with fewer rows than variables also in
// a workspace with room for Q and T of all variables (the same solve, stored elsewhere).
TEST_F(Solve, RandomProblemsMeetTheOptimalityConditions) {
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 25);
        const int m = static_cast<int>(rng() % 40);
        LPCall c(n, m);
        std::vector<double> x0(static_cast<std::size_t>(n));
        for (auto& v : x0) v = 3.0 * U(rng);
        for (int i = 1; i <= m; ++i)
            for (int j = 1; j <= n; ++j) c.a(i, j) = (rng() % 4 == 0) ? 0.0 : U(rng);
        for (int j = 1; j <= n; ++j) {
            c.bl[j - 1] = x0[j - 1] - 1.0 - 2.0 * std::fabs(U(rng));
            c.bu[j - 1] = x0[j - 1] + 1.0 + 2.0 * std::fabs(U(rng));
            if (rng() % 8 == 0) c.bl[j - 1] = c.bu[j - 1] = x0[j - 1]; // fixed
            c.cost[j - 1] = U(rng);
        }
        for (int i = 1; i <= m; ++i) {
            double v = 0.0;
            for (int j = 1; j <= n; ++j) v += c.a(i, j) * x0[j - 1];
            const int kind = static_cast<int>(rng() % 5);
            const double lo = v - std::fabs(U(rng)), hi = v + std::fabs(U(rng));
            c.bl[n + i - 1] = kind == 1 ? -kInf : (kind == 4 ? v : lo);
            c.bu[n + i - 1] = kind == 2 ? kInf : (kind == 4 ? v : hi);
            if (kind == 3) c.bl[n + i - 1] = -kInf, c.bu[n + i - 1] = kInf;
        }
        SCOPED_TRACE("trial " + std::to_string(trial));
        const LPCall start = c;
        const int code = c.solve();
        ASSERT_TRUE(code == 0 || code == 1) << "code " << code;
        expectOptimal(c);
        if (m < n) {
            LPCall roomy = start;
            roomy.work.resize(static_cast<std::size_t>(workspaceLayout(n, m, true, true).needReal));
            EXPECT_EQ(roomy.solve(), code);
            EXPECT_EQ(roomy.niter, c.niter);
            EXPECT_EQ(roomy.x, c.x);
            EXPECT_EQ(roomy.istate, c.istate);
        }
        LPCall steepest = start;
        LPOPTN("Steepest edge 1");
        const int se = steepest.solve();
        LPOPTN("Steepest edge 0");
        ASSERT_TRUE(se == 0 || se == 1) << "steepest edge, code " << se;
        expectOptimal(steepest);
        EXPECT_NEAR(steepest.fval, c.fval, 1e-9 * (1.0 + std::fabs(c.fval)));
    }
}
