#include "calc/mslok.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "calc/lp_dump.h"
#include "calc/msout.h"
#include "fio/format.h"
#include "lpsolver/lpsolv.h"
#include "lpsolver/workspace.h"

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

namespace {

// Exit codes of the solver that matter here.
constexpr int kExitOptimal = 0, kExitWeak = 1, kExitInfeasible = 3, kExitIterationLimit = 4;

// The solver's work arrays for one program, and its calls continued across the iteration limit.
class ContinuedSolve {
public:
    ContinuedSolve(const LPProgram& lp, const std::vector<double>& cost)
        : lp_(lp), cost_(cost), n_(lp.nvar), nclin_(lp.nrows),
          ws_(lp::workspaceLayout(n_, nclin_, true)), iwork_(static_cast<std::size_t>(ws_.needInt)),
          work_(static_cast<std::size_t>(ws_.needReal)),
          ax_(static_cast<std::size_t>(std::max(1, nclin_))),
          mult_(static_cast<std::size_t>(n_ + nclin_)) {}

    // Calls the solver from istate (warm) or from nothing (cold) and then, as long as a call
    // stops at the iteration limit and calls remain, from where the last one stopped.
    int run(bool warm, std::vector<int>& istate, std::vector<double>& x, SolveReport& report) {
        int code = kExitIterationLimit;
        for (int call = 1; call <= kMaxSolverCalls && code == kExitIterationLimit; ++call) {
            int niter = 0, ifail = 1;
            double fval = 0.0;
            LPOPTN("Nolist");
            LPOPTN("PRI=0");
            LPOPTN(warm || call > 1 ? "Warm start" : "Cold start");
            LPSOLV(n_, nclin_, lp_.A.data(), lp_.lda, lp_.bl.data(), lp_.bu.data(), cost_.data(),
                   istate.data(), x.data(), niter, fval, ax_.data(), mult_.data(), iwork_.data(),
                   static_cast<int>(iwork_.size()), work_.data(), static_cast<int>(work_.size()),
                   ifail);
            code = ifail;
            report.objective = fval;
            report.iterations += niter;
            ++report.calls;
        }
        return code;
    }

private:
    const LPProgram& lp_;
    const std::vector<double>& cost_;
    const int n_, nclin_;
    const lp::WorkspaceLayout ws_;
    std::vector<int> iwork_;
    std::vector<double> work_, ax_, mult_;
};

bool anyViolated(const std::vector<int>& istate) {
    return std::any_of(istate.begin(), istate.end(), [](int s) { return s < 0; });
}

} // namespace

SolveReport solveProgram(LPProgram& lp, const std::vector<double>& cost, std::vector<double>& x,
                         std::vector<int>& rowState, std::vector<int>* states) {
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
    const auto total = static_cast<std::size_t>(n + nclin);
    ContinuedSolve solver(lp, c);
    SolveReport report;
    std::vector<int> istate(total, 0);
    int code = kExitIterationLimit;
    // From the working set given. Its verdict stands when it is one: a solution, or a phase 1
    // that ends with constraints still violated. Anything else (a working set that cannot be
    // placed, the call bound) leaves the decision to a Cold start.
    if (states != nullptr && states->size() == total) {
        const std::vector<double> x0 = x;
        istate = *states;
        code = solver.run(true, istate, x, report);
        report.warm = code == kExitOptimal || code == kExitWeak ||
                      (code == kExitInfeasible && anyViolated(istate));
        if (!report.warm) {
            x = x0;
            std::fill(istate.begin(), istate.end(), 0);
        }
    }
    if (!report.warm) code = solver.run(false, istate, x, report);
    report.exitCode = code;
    report.status = code == kExitOptimal || code == kExitWeak ? SolveStatus::Feasible
                    : code == kExitIterationLimit             ? SolveStatus::IterationLimit
                                                              : SolveStatus::NotFeasible;
    for (int j = 0; j < n; ++j)
        x[static_cast<std::size_t>(j)] *= scale[static_cast<std::size_t>(j)];
    rowState.assign(istate.begin() + n, istate.end());
    if (states != nullptr) *states = std::move(istate);
    return report;
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

    // The end of a solved level: its final working set, from which the solve of another
    // level of this search starts.
    struct SolvedLevel {
        std::vector<int> states;    // of the variables and rows; empty: not solved
        std::vector<int> rowRecord; // record of every row
    };

    // The states of the level `from` for the program just built. A restriction whose rows
    // follow beta (an interval end, a frequency-ratio grid) may have another number of rows
    // at this level: its rows start free, the others keep their states, matched by their
    // order within their record.
    std::vector<int> startStates(const SolvedLevel& from) const {
        const auto n = static_cast<std::size_t>(lp_.nvar);
        if (from.states.size() != n + from.rowRecord.size()) return {};
        if (from.rowRecord == lp_.rowRecord) return from.states;
        // The old rows of every record, in order.
        int records = 0;
        for (int r : from.rowRecord) records = std::max(records, r);
        std::vector<std::vector<std::size_t>> oldRows(static_cast<std::size_t>(records) + 1);
        for (std::size_t i = 0; i < from.rowRecord.size(); ++i)
            oldRows[static_cast<std::size_t>(from.rowRecord[i])].push_back(n + i);
        std::vector<std::size_t> newCount(oldRows.size(), 0), seen(oldRows.size(), 0);
        for (int r : lp_.rowRecord)
            if (r <= records) ++newCount[static_cast<std::size_t>(r)];
        std::vector<int> states(n + lp_.rowRecord.size(), 0);
        std::copy_n(from.states.begin(), n, states.begin());
        for (std::size_t i = 0; i < lp_.rowRecord.size(); ++i) {
            const auto r = static_cast<std::size_t>(lp_.rowRecord[i]);
            if (r >= oldRows.size() || oldRows[r].size() != newCount[r]) continue;
            states[n + i] = from.states[oldRows[r][seen[r]++]];
        }
        return states;
    }

    // Solves the program built at level b from x, starting from the working set of the level
    // `from` (a Cold start when it has none, or when warm starts are off); the end of this
    // solve is left in `end`. True when feasible.
    bool solve(double b, std::vector<double>& x, const SolvedLevel& from, SolvedLevel& end) {
        std::vector<int> states = run_.env->warmStarts ? startStates(from) : std::vector<int>{};
        const bool warm = !states.empty();
        const SolveReport s = solveProgram(lp_, cost_, x, run_.rowState, &states);
        // KQ4_TRACE: one line per program on standard error, for timing and debugging.
        if (std::getenv("KQ4_TRACE") != nullptr) {
            const char* start = s.warm ? "warm" : warm ? "warm,cold" : "cold";
            std::fprintf(stderr,
                         "kq4calc: LP n=%d m=%d beta=%.10g start=%s exit=%d iterations=%ld "
                         "calls=%d objective=%.15g\n",
                         lp_.nvar, lp_.nrows, b, start, s.exitCode, s.iterations, s.calls,
                         s.objective);
        }
        if (s.status == SolveStatus::IterationLimit) {
            run_.listing.line(" Iterationsgrenze des LP-Loesers erreicht bei beta=" +
                              fio::listDirected({b}) + " : Ergebnis unsicher");
            end = SolvedLevel{};
        } else {
            end.states = std::move(states);
            end.rowRecord = lp_.rowRecord;
        }
        return s.status == SolveStatus::Feasible;
    }

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

        // Stage 1: the constant requirements, from nothing.
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
        // Where the last feasible level ended.
        SolvedLevel feasibleEnd;
        if (!solve(0.0, x, SolvedLevel{}, feasibleEnd)) {
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

        // Stage 2: the maximal requirements, from where stage 1 ended.
        SolvedLevel atMaximum;
        std::vector<double> x2 = run_.env->warmStarts ? x : std::vector<double>(nvar, 0.0);
        c = build(betaMax);
        if (c == ResultCode::Resonance && !in_.variableFrequencyRatios) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::TooLarge || c == ResultCode::EtaGridTooLong) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::Normal && solve(betaMax, x2, feasibleEnd, atMaximum)) {
            run_.listing.line(" Maximalforderungen erfuellbar");
            run_.code = ResultCode::AllSatisfied;
            r.beta = betaMax;
            r.solution = x2;
            return r;
        }
        run_.code = ResultCode::Normal;

        // Bisection between them.
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
            // From the last feasible level: it saves more iterations than the last one solved
            // (bench/README.md).
            std::vector<double> xs = r.solution; // the point where that level ended
            SolvedLevel end;
            const bool feasible = solve(b, xs, feasibleEnd, end);
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
            feasibleEnd = std::move(end);
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
