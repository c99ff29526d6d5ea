#include "calc/program_solver.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lpsolver/lpsolv.h"
#include "lpsolver/workspace.h"

namespace calc {

namespace {

// Exit codes of the solver that matter here.
constexpr int kExitOptimal = 0, kExitWeak = 1, kExitInfeasible = 3, kExitIterationLimit = 4;

// The solver's calls on one program, continued across the iteration limit, in work arrays
// that the solves of the program (and of later ones) share: sized with room for as many rows as
// the program's storage holds, so that rows inserted between solves do not make them move.
class ContinuedSolve {
public:
    ContinuedSolve(const LPProgram& lp, const std::vector<double>& cost, SolverArrays& arrays,
                   bool steepestEdge)
        : lp_(lp), cost_(cost), a_(arrays), steepestEdge_(steepestEdge) {
        const int most =
            std::max(lp.nrows, static_cast<int>(lp.A.capacity() /
                                                static_cast<std::size_t>(std::max(1, lp.nvar))));
        fit(a_.iwork, lp::workspaceLayout(lp.nvar, lp.nrows, true).needInt,
            lp::workspaceLayout(lp.nvar, most, true).needInt);
        // With room for Q and T for all variables, so that a solve with fewer rows than
        // variables need not allocate them for every call.
        fit(a_.work, lp::workspaceLayout(lp.nvar, lp.nrows, true, true).needReal,
            lp::workspaceLayout(lp.nvar, most, true, true).needReal);
        fit(a_.ax, std::max(1, lp.nrows), std::max(1, most));
        fit(a_.mult, lp.nvar + lp.nrows, lp.nvar + most);
    }

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
            LPOPTN(steepestEdge_ ? "Steepest edge 1" : "Steepest edge 0");
            LPSOLV(lp_.nvar, lp_.nrows, lp_.A.data(), lp_.lda, lp_.bl.data(), lp_.bu.data(),
                   cost_.data(), istate.data(), x.data(), niter, fval, a_.ax.data(), a_.mult.data(),
                   a_.iwork.data(), static_cast<int>(a_.iwork.size()), a_.work.data(),
                   static_cast<int>(a_.work.size()), ifail);
            code = ifail;
            report.objective = fval;
            report.iterations += niter;
            ++report.calls;
        }
        return code;
    }

private:
    template <class T> static void fit(std::vector<T>& v, long size, long most) {
        if (v.capacity() < static_cast<std::size_t>(size)) {
            std::vector<T>().swap(v);
            v.reserve(static_cast<std::size_t>(std::max(size, most)));
        }
        v.resize(static_cast<std::size_t>(size));
    }

    const LPProgram& lp_;
    const std::vector<double>& cost_;
    SolverArrays& a_;
    bool steepestEdge_;
};

bool anyViolated(const std::vector<int>& istate) {
    return std::any_of(istate.begin(), istate.end(), [](int s) { return s < 0; });
}

} // namespace

void insertRows(LPProgram& lp, std::vector<NewRow> rows, std::vector<int>* states) {
    if (rows.empty()) return;
    std::stable_sort(rows.begin(), rows.end(), [](const NewRow& a, const NewRow& b) {
        return a.after != b.after ? a.after < b.after : a.spec.restriction < b.spec.restriction;
    });
    const int n = lp.nvar, oldRows = lp.nrows, added = static_cast<int>(rows.size());
    const int newRows = oldRows + added;
    const auto oldLda = static_cast<std::size_t>(lp.lda);
    const auto newLda = static_cast<std::size_t>(std::max(1, newRows));
    // Where each new row lands: after its place's old rows and the new rows before it.
    std::vector<int> at(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) at[i] = rows[i].after + static_cast<int>(i);

    // The columns, last first, each as runs of old rows between the new ones: every move goes
    // to a higher address than it comes from, so nothing not yet moved is overwritten.
    lp.A.resize(newLda * static_cast<std::size_t>(std::max(1, n)));
    double* A = lp.A.data();
    for (int j = n - 1; j >= 0; --j) {
        double* from = A + static_cast<std::size_t>(j) * oldLda;
        double* to = A + static_cast<std::size_t>(j) * newLda;
        int end = oldRows;
        for (int i = added - 1; i >= -1; --i) {
            const int start = i >= 0 ? rows[static_cast<std::size_t>(i)].after : 0;
            const int shift = i + 1;
            if (end > start)
                std::memmove(to + start + shift, from + start,
                             static_cast<std::size_t>(end - start) * sizeof(double));
            end = start;
        }
        for (std::size_t i = 0; i < rows.size(); ++i)
            to[at[i]] = rows[i].coefficients[static_cast<std::size_t>(j)];
    }
    lp.lda = static_cast<int>(newLda);

    // Bounds, records, states: the same insertion after the n variables.
    auto spread = [&](auto& v, std::size_t offset, auto value) {
        using T = typename std::decay_t<decltype(v)>::value_type;
        std::vector<T> out;
        out.reserve(v.size() + rows.size());
        out.insert(out.end(), v.begin(), v.begin() + static_cast<std::ptrdiff_t>(offset));
        std::size_t next = 0;
        for (int r = 0; r <= oldRows; ++r) {
            while (next < rows.size() && rows[next].after == r) out.push_back(value(rows[next++]));
            if (r < oldRows) out.push_back(v[offset + static_cast<std::size_t>(r)]);
        }
        v = std::move(out);
    };
    const auto nv = static_cast<std::size_t>(n);
    spread(lp.bl, nv, [](const NewRow& r) { return r.lower; });
    spread(lp.bu, nv, [](const NewRow& r) { return r.upper; });
    spread(lp.rowRecord, 0, [&lp](const NewRow& r) {
        return lp.restrictions[static_cast<std::size_t>(r.spec.restriction)].record;
    });
    if (states != nullptr && states->size() == nv + static_cast<std::size_t>(oldRows))
        spread(*states, nv, [](const NewRow& r) { return r.state; });

    // The restrictions' rows.
    std::vector<int> shift(lp.restrictions.size(), 0), grow(lp.restrictions.size(), 0),
        built(lp.restrictions.size(), 0);
    for (const NewRow& r : rows) {
        const auto own = static_cast<std::size_t>(r.spec.restriction);
        ++grow[own];
        if (r.buildRow >= 0) ++built[own];
        for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
            const int first = lp.restrictions[q].firstRow;
            if (r.after < first || (r.after == first && own < q)) ++shift[q];
        }
    }
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        lp.restrictions[q].firstRow += shift[q];
        lp.restrictions[q].rows += grow[q];
        lp.restrictions[q].builtRows += built[q];
    }
    lp.nrows = newRows;
}

ProgramSolver::ProgramSolver(LPProgram& lp, const std::vector<double>& cost, SolverArrays* arrays,
                             bool steepestEdge)
    : lp_(lp), cost_(cost), scale_(static_cast<std::size_t>(lp.nvar), 1.0),
      arrays_(arrays != nullptr ? arrays : &ownArrays_), steepestEdge_(steepestEdge) {
    const int n = lp.nvar, nclin = lp.nrows;
    for (int j = 0; j < n; ++j) {
        double* col = lp.A.data() + static_cast<std::ptrdiff_t>(j) * lp.lda;
        double big = 0.0;
        for (int i = 0; i < nclin; ++i) big = std::max(big, std::fabs(col[i]));
        if (big == 0.0) continue;
        const double d = 1.0 / big;
        scale_[static_cast<std::size_t>(j)] = d;
        for (int i = 0; i < nclin; ++i) col[i] *= d;
        cost_[static_cast<std::size_t>(j)] *= d;
        lp.bl[static_cast<std::size_t>(j)] /= d;
        lp.bu[static_cast<std::size_t>(j)] /= d;
    }
}

SolveReport ProgramSolver::solve(std::vector<double>& x, std::vector<int>& rowState,
                                 std::vector<int>* states) {
    const int n = lp_.nvar, nclin = lp_.nrows;
    for (int j = 0; j < n; ++j)
        x[static_cast<std::size_t>(j)] /= scale_[static_cast<std::size_t>(j)];
    const auto total = static_cast<std::size_t>(n + nclin);
    ContinuedSolve solver(lp_, cost_, *arrays_, steepestEdge_);
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
        x[static_cast<std::size_t>(j)] *= scale_[static_cast<std::size_t>(j)];
    rowState.assign(istate.begin() + n, istate.end());
    if (states != nullptr) *states = std::move(istate);
    return report;
}

void ProgramSolver::insert(std::vector<NewRow> rows, std::vector<int>& states) {
    for (NewRow& r : rows)
        for (std::size_t j = 0; j < scale_.size(); ++j) r.coefficients[j] *= scale_[j];
    insertRows(lp_, std::move(rows), &states);
}

SolveReport solveProgram(LPProgram& lp, const std::vector<double>& cost, std::vector<double>& x,
                         std::vector<int>& rowState, std::vector<int>* states) {
    ProgramSolver solver(lp, cost);
    return solver.solve(x, rowState, states);
}

Generation generateRows(ProgramSolver& solver, const std::vector<RowSource*>& sources,
                        const SolveReport& first, std::vector<double>& x,
                        std::vector<int>& rowState, std::vector<int>& states,
                        const GenerationLimits& limits,
                        const std::function<void(const SolveReport&, int, int, bool)>& after) {
    Generation g;
    g.last = first;
    while (g.last.status == SolveStatus::Feasible) {
        RowSource* source = nullptr;
        std::vector<NewRow> rows;
        for (RowSource* s : sources) {
            rows = s->violatedRows(solver.program(), x);
            if (!rows.empty()) {
                source = s;
                break;
            }
        }
        if (source == nullptr) return g;
        const bool own = source->ownRows();
        if (!own) {
            const int room = limits.rows - g.rowsAdded;
            if (g.rounds >= limits.rounds || room <= 0) {
                g.capped = true;
                return g;
            }
            if (static_cast<int>(rows.size()) > room) rows.resize(static_cast<std::size_t>(room));
        }
        const int added = static_cast<int>(rows.size());
        source->accepted(rows);
        solver.insert(std::move(rows), states);
        if (!own) g.rowsAdded += added;
        const int round = own ? ++g.passes : ++g.rounds;
        const std::vector<double> before = x;
        g.last = solver.solve(x, rowState, &states);
        if (g.last.status == SolveStatus::NotFeasible && g.last.warm) {
            // The rows inserted lie close to rows of the working set (neighbouring angles), and
            // the working set the solve then reaches may be too ill-conditioned to place x on
            // (the solver's "cannot satisfy the working set", whose exit code is that of no
            // feasible point): the verdict stands only when a solve from nothing confirms it.
            const long iterations = g.last.iterations;
            x = before;
            states.clear(); // no working set: a Cold start
            g.last = solver.solve(x, rowState, &states);
            g.last.iterations += iterations;
        }
        if (after) after(g.last, round, added, own);
    }
    return g;
}

} // namespace calc
