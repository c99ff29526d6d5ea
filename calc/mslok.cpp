#include "mslok.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fio/format.h"
#include "lp_dump.h"
#include "lpsolv.h"
#include "msout.h"
#include "workspace.h"

namespace calc {

std::vector<double> objectiveWeights(const RunInput& input) {
    std::vector<double> c(static_cast<std::size_t>(input.variableCount), 1.0);
    const int e = input.params.weightExponent;
    for (int m = 1; m <= input.params.objects; ++m) {
        const ObjectLayout& o = input.object(m);
        for (int k = 2; k <= o.nh; ++k) {
            double w = 1.0;
            for (int i = 0; i < e; ++i) w *= k;
            for (int v = 0; v < 4; ++v)
                c[static_cast<std::size_t>(o.first + o.np + 4 * k - 2 + v)] = w;
        }
    }
    return c;
}

bool solveProgram(LPProgram& lp, const std::vector<double>& cost, std::vector<double>& x,
                  std::vector<int>& rowState) {
    const int n = lp.nvar, nclin = lp.nrows;
    dumpProgram(lp, cost);
    // The columns of higher harmonics grow with k^p: each variable is scaled so that the
    // largest magnitude in its column is 1 (in place: the program is not used again). The
    // program stays the same; the solver's path through it gets much shorter.
    std::vector<double>& A = lp.A;
    std::vector<double>& bl = lp.bl;
    std::vector<double>& bu = lp.bu;
    std::vector<double> c = cost;
    std::vector<double> scale(static_cast<std::size_t>(n), 1.0);
    for (int j = 0; j < n; ++j) {
        double* col = A.data() + static_cast<std::ptrdiff_t>(j) * lp.lda;
        double big = 0.0;
        for (int i = 0; i < nclin; ++i) big = std::max(big, std::fabs(col[i]));
        if (big == 0.0) continue;
        const double d = 1.0 / big;
        scale[static_cast<std::size_t>(j)] = d;
        for (int i = 0; i < nclin; ++i) col[i] *= d;
        c[static_cast<std::size_t>(j)] *= d;
        bl[static_cast<std::size_t>(j)] /= d;
        bu[static_cast<std::size_t>(j)] /= d;
        x[static_cast<std::size_t>(j)] /= d;
    }
    const lp::WorkspaceLayout ws = lp::workspaceLayout(n, nclin, true);
    std::vector<int> istate(static_cast<std::size_t>(n + nclin), 0);
    std::vector<int> iwork(static_cast<std::size_t>(ws.needInt));
    std::vector<double> work(static_cast<std::size_t>(ws.needReal));
    std::vector<double> ax(static_cast<std::size_t>(std::max(1, nclin)));
    std::vector<double> mult(static_cast<std::size_t>(n + nclin));
    int niter = 0, ifail = 1;
    double fval = 0.0;
    LPOPTN("Nolist");
    LPOPTN("PRI=0");
    LPSOLV(n, nclin, A.data(), lp.lda, bl.data(), bu.data(), c.data(), istate.data(), x.data(),
           niter, fval, ax.data(), mult.data(), iwork.data(), static_cast<int>(iwork.size()),
           work.data(), static_cast<int>(work.size()), ifail);
    for (int j = 0; j < n; ++j)
        x[static_cast<std::size_t>(j)] *= scale[static_cast<std::size_t>(j)];
    rowState.assign(istate.begin() + n, istate.end());
    // KQ4_TRACE: one line per solve on standard error, for timing and debugging.
    if (std::getenv("KQ4_TRACE") != nullptr)
        std::fprintf(stderr, "kq4calc: LP n=%d m=%d exit=%d iterations=%d\n", n, nclin, ifail,
                     niter);
    return ifail == 0 || ifail == 1;
}

namespace {

class StageSearch {
public:
    explicit StageSearch(RunState& run) : run_(run), in_(run.input), p_(run.input.params) {}

    StageResult run() {
        StageResult r = search();
        // At every end: the progress of the random search.
        if (p_.randomVariables > 0) {
            run_.progress += run_.progressStep;
            if (run_.progress <= 1.0)
                run_.listing.lines(fio::format("(F9.3,' s  ',F6.2,' %')",
                                               {run_.elapsed(), run_.progress * 100.0}));
        }
        return r;
    }

private:
    ResultCode build(double b) {
        const ResultCode c = MSMOD(in_, run_.records, b, lp_, run_.listing);
        if (c == ResultCode::Normal) {
            run_.rowRecord = lp_.rowRecord;
            run_.objects = lp_.objects;
        }
        return c;
    }

    bool solve(std::vector<double>& x) { return solveProgram(lp_, cost_, x, run_.rowState); }

    StageResult search() {
        StageResult r;
        const bool randomSearch = p_.randomVariables > 0;
        const double betaMax = p_.betaMax;
        if (in_.variableCount > kMaxVariables) {
            run_.listing.line(" Zu viele Harmonische    --->  Abbruch !");
            run_.code = ResultCode::TooLarge;
            return r;
        }
        cost_ = objectiveWeights(in_);
        const auto nvar = static_cast<std::size_t>(in_.variableCount);

        // Stage 1: the constant requirements.
        std::vector<double> x(nvar, 0.0);
        ResultCode c = build(0.0);
        if (c == ResultCode::Resonance) {
            run_.code = in_.variableFrequencyRatios ? ResultCode::NotFeasible : c;
            return r;
        }
        if (c != ResultCode::Normal) {
            run_.code = c;
            return r;
        }
        if (!solve(x)) {
            run_.code = ResultCode::NotFeasible;
            if (!randomSearch) run_.listing.line(" Minimalforderungen nicht erfuellbar ");
            return r;
        }
        r.solution = x;
        if (!in_.variableRequirements) {
            run_.listing.line(" Konstante Forderungen erfuellbar");
            run_.code = ResultCode::AllSatisfied;
            return r;
        }
        run_.minimumFeasible = true;
        run_.code = ResultCode::Normal;

        // Stage 2: the maximal requirements.
        std::vector<double> x2(nvar, 0.0);
        c = build(betaMax);
        if (c == ResultCode::Resonance && !in_.variableFrequencyRatios) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::TooLarge || c == ResultCode::EtaGridTooLong) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::Normal && solve(x2)) {
            run_.listing.line(" Maximalforderungen erfuellbar");
            run_.code = ResultCode::AllSatisfied;
            r.beta = betaMax;
            r.solution = x2;
            return r;
        }
        run_.code = ResultCode::Normal;

        // Bisection from the stage-1 solution.
        double lo = 0.0, hi = betaMax, lastFeasible = 0.0;
        bool lastSolveFeasible = false;
        for (int j = 1; j <= p_.bisectionSteps; ++j) {
            const double b = (lo + hi) * 0.5;
            c = build(b);
            if (c == ResultCode::Resonance) {
                if (!in_.variableFrequencyRatios) {
                    run_.code = c;
                    return r;
                }
                // This level cannot be reached; the search goes on below it.
                run_.code = ResultCode::Normal;
                hi = b;
                lastSolveFeasible = false;
                continue;
            }
            if (c != ResultCode::Normal) {
                run_.code = c;
                return r;
            }
            std::vector<double> xs = r.solution;
            const bool feasible = solve(xs);
            lastSolveFeasible = feasible;
            if (!randomSearch) {
                if (feasible) r.beta = b;
                run_.listing.line(fio::listDirected({j}) +
                                  "-te Optimierungsstufe: beta=" + fio::listDirected({r.beta}));
                run_.listing.line("                         Prozesszeit: " +
                                  fio::listDirected({run_.elapsed()}) + " s");
            }
            if (!feasible) {
                hi = b;
                continue;
            }
            r.beta = b;
            r.solution = xs;
            lastFeasible = b;
            if (run_.bestBetaWritten < r.beta) {
                MSOUT(run_, r.solution, r.beta);
                run_.bestBetaWritten = r.beta;
                if (r.beta >= betaMax) {
                    run_.maximumReached = true;
                    return r;
                }
            }
            lo = b;
        }
        if (!lastSolveFeasible) {
            // The row table must belong to the level reported.
            r.beta = lastFeasible;
            (void)build(lastFeasible);
        }
        return r;
    }

    RunState& run_;
    const RunInput& in_;
    const RunParameters& p_;
    LPProgram lp_;
    std::vector<double> cost_;
};

} // namespace

StageResult MSLOK(RunState& run) {
    StageSearch s(run);
    return s.run();
}

} // namespace calc
