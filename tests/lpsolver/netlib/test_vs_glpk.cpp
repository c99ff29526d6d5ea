// Seeded random problems of every kind solved by our solver and by GLPK's simplex: the outcome
// (optimal, unbounded, infeasible) and the optimal value must agree.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <glpk.h>
#include <gtest/gtest.h>

#include "lpsolver/lpsolv.h"
#include "lpsolver/options.h"
#include "lpsolver/workspace.h"

namespace {

constexpr double kInf = 1.0e20;

struct Problem {
    int n = 0, m = 0;
    std::vector<double> A; // m x n by columns
    std::vector<double> bl, bu, c;
};

enum class Outcome { Optimal, Unbounded, Infeasible, Other };

struct Result {
    Outcome outcome = Outcome::Other;
    double objective = 0.0;
};

Result ours(const Problem& p, const char* rule) {
    const lp::WorkspaceLayout ws = lp::workspaceLayout(p.n, p.m, true);
    std::vector<int> istate(static_cast<std::size_t>(p.n + p.m)),
        iwork(static_cast<std::size_t>(ws.needInt));
    std::vector<double> work(static_cast<std::size_t>(ws.needReal)),
        x(static_cast<std::size_t>(p.n), 0.0);
    std::vector<double> ax(static_cast<std::size_t>(std::max(1, p.m))),
        mult(static_cast<std::size_t>(p.n + p.m));
    int niter = 0, ifail = 1;
    double f = 0.0;
    LPOPTN("Nolist");
    LPOPTN("Print level 0");
    LPOPTN(rule);
    LPSOLV(p.n, p.m, p.A.data(), std::max(1, p.m), p.bl.data(), p.bu.data(), p.c.data(),
           istate.data(), x.data(), niter, f, ax.data(), mult.data(), iwork.data(),
           static_cast<int>(iwork.size()), work.data(), static_cast<int>(work.size()), ifail);
    Result r;
    r.objective = f;
    r.outcome = ifail <= 1   ? Outcome::Optimal
                : ifail == 2 ? Outcome::Unbounded
                : ifail == 3 ? Outcome::Infeasible
                             : Outcome::Other;
    return r;
}

int glpkBounds(double l, double u) {
    const bool hl = l > -kInf, hu = u < kInf;
    if (hl && hu) return l == u ? GLP_FX : GLP_DB;
    if (hl) return GLP_LO;
    if (hu) return GLP_UP;
    return GLP_FR;
}

Result glpk(const Problem& p) {
    glp_prob* lp = glp_create_prob();
    glp_set_obj_dir(lp, GLP_MIN);
    if (p.m > 0) glp_add_rows(lp, p.m);
    glp_add_cols(lp, p.n);
    for (int j = 1; j <= p.n; ++j) {
        const double l = p.bl[static_cast<std::size_t>(j - 1)],
                     u = p.bu[static_cast<std::size_t>(j - 1)];
        glp_set_col_bnds(lp, j, glpkBounds(l, u), l, u);
        glp_set_obj_coef(lp, j, p.c[static_cast<std::size_t>(j - 1)]);
    }
    std::vector<int> ia{0}, ja{0};
    std::vector<double> ar{0.0};
    for (int i = 1; i <= p.m; ++i) {
        const double l = p.bl[static_cast<std::size_t>(p.n + i - 1)],
                     u = p.bu[static_cast<std::size_t>(p.n + i - 1)];
        glp_set_row_bnds(lp, i, glpkBounds(l, u), l, u);
        for (int j = 1; j <= p.n; ++j) {
            const double a = p.A[static_cast<std::size_t>((i - 1) + (j - 1) * p.m)];
            if (a == 0.0) continue;
            ia.push_back(i), ja.push_back(j), ar.push_back(a);
        }
    }
    glp_load_matrix(lp, static_cast<int>(ia.size()) - 1, ia.data(), ja.data(), ar.data());
    glp_smcp parm;
    glp_init_smcp(&parm);
    parm.msg_lev = GLP_MSG_OFF;
    parm.meth = GLP_PRIMAL;
    Result r;
    if (glp_simplex(lp, &parm) == 0) {
        const int s = glp_get_status(lp);
        r.outcome = s == GLP_OPT      ? Outcome::Optimal
                    : s == GLP_UNBND  ? Outcome::Unbounded
                    : s == GLP_NOFEAS ? Outcome::Infeasible
                                      : Outcome::Other;
        r.objective = glp_get_obj_val(lp);
    }
    glp_delete_prob(lp);
    return r;
}

// A random problem around a point x0. kind: 0 bounded, 1 infeasible, 2 unbounded, 3 degenerate
// (many rows through x0), 4 equalities and free variables.
Problem randomProblem(std::mt19937_64& rng, int kind) {
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    Problem p;
    p.n = 2 + static_cast<int>(rng() % 30);
    p.m = 1 + static_cast<int>(rng() % 45);
    p.A.assign(static_cast<std::size_t>(p.m * p.n), 0.0);
    p.bl.assign(static_cast<std::size_t>(p.n + p.m), -kInf);
    p.bu.assign(static_cast<std::size_t>(p.n + p.m), kInf);
    p.c.assign(static_cast<std::size_t>(p.n), 0.0);
    std::vector<double> x0(static_cast<std::size_t>(p.n));
    for (auto& v : x0) v = 2.0 * U(rng);
    for (auto& a : p.A) a = (rng() % 3 == 0) ? 0.0 : std::round(10.0 * U(rng)) / 4.0;
    for (int j = 0; j < p.n; ++j) {
        p.c[static_cast<std::size_t>(j)] = std::round(10.0 * U(rng)) / 2.0;
        const bool freeVar = kind == 4 && rng() % 3 == 0;
        if (!freeVar && kind != 2) {
            p.bl[static_cast<std::size_t>(j)] =
                x0[static_cast<std::size_t>(j)] - 1.0 - std::fabs(U(rng));
            p.bu[static_cast<std::size_t>(j)] =
                x0[static_cast<std::size_t>(j)] + 1.0 + std::fabs(U(rng));
        }
        if (kind == 2) p.bl[static_cast<std::size_t>(j)] = x0[static_cast<std::size_t>(j)] - 1.0;
    }
    for (int i = 0; i < p.m; ++i) {
        double v = 0.0;
        for (int j = 0; j < p.n; ++j)
            v += p.A[static_cast<std::size_t>(i + j * p.m)] * x0[static_cast<std::size_t>(j)];
        auto& lo = p.bl[static_cast<std::size_t>(p.n + i)];
        auto& hi = p.bu[static_cast<std::size_t>(p.n + i)];
        switch (kind) {
        case 3:
            lo = v;
            if (rng() % 2) hi = v + 1.0;
            break; // through x0
        case 4:
            if (rng() % 4 == 0)
                lo = hi = v;
            else
                lo = v - 0.5;
            break;
        case 2:
            lo = v - 1.0;
            break;
        default:
            lo = v - std::fabs(U(rng));
            hi = v + std::fabs(U(rng));
            break;
        }
    }
    if (kind == 1 && p.m >= 1) {
        // A row and its negation that cannot both hold.
        const int i = static_cast<int>(rng() % static_cast<unsigned>(p.m));
        std::vector<double> row(static_cast<std::size_t>(p.n));
        for (int j = 0; j < p.n; ++j)
            row[static_cast<std::size_t>(j)] = p.A[static_cast<std::size_t>(i + j * p.m)];
        Problem q = p;
        q.m = p.m + 1;
        q.A.assign(static_cast<std::size_t>(q.m * q.n), 0.0);
        for (int j = 0; j < p.n; ++j) {
            for (int r = 0; r < p.m; ++r)
                q.A[static_cast<std::size_t>(r + j * q.m)] =
                    p.A[static_cast<std::size_t>(r + j * p.m)];
            q.A[static_cast<std::size_t>(p.m + j * q.m)] = row[static_cast<std::size_t>(j)];
        }
        q.bl.insert(q.bl.end(), p.bu[static_cast<std::size_t>(p.n + i)] + 2.0);
        q.bu.insert(q.bu.end(), kInf);
        p = q;
    }
    return p;
}

} // namespace

TEST(AgainstGlpk, OutcomeAndValueAgreeOnRandomProblems) {
    std::mt19937_64 rng(777);
    int agree = 0;
    for (int trial = 0; trial < 250; ++trial) {
        const int kind = trial % 5;
        lp::optionSlots().reset();
        const Problem p = randomProblem(rng, kind);
        const Result b = glpk(p);
        SCOPED_TRACE("trial " + std::to_string(trial) + " kind " + std::to_string(kind) + " n " +
                     std::to_string(p.n) + " m " + std::to_string(p.m));
        ASSERT_NE(b.outcome, Outcome::Other);
        // Both rules of leaving the working set.
        for (const char* rule : {"Steepest edge 0", "Steepest edge 1"}) {
            SCOPED_TRACE(rule);
            const Result a = ours(p, rule);
            EXPECT_EQ(a.outcome, b.outcome);
            if (a.outcome == Outcome::Optimal && b.outcome == Outcome::Optimal) {
                EXPECT_NEAR(a.objective, b.objective, 1e-7 * std::max(1.0, std::fabs(b.objective)));
                ++agree;
            }
        }
    }
    EXPECT_GT(agree, 200); // most of them have an optimum
}
