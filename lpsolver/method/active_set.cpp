// The solve: setup, crash, then placing x and iterating until an exit word stands, and the
// final states and multipliers.
#include <algorithm>
#include <cmath>

#include "lpsolver/blas.h"
#include "lpsolver/factor/qprod.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/method/solver.h"

namespace lp {

Solver::Solver(const Problem& prob, const SolveOptions& opts, const WorkspaceLayout& ws,
               int* istate_, double* x_, double* ax_, double* mult_, int* iwork, double* work)
    : P(prob), O(opts), W(ws), M(machine()), n(prob.n), nclin(prob.nclin),
      nctot(prob.n + prob.nclin), lp(opts.problemType == kTypeLP), istate(istate_), x(x_), ax(ax_),
      mult(mult_), featol(work + ws.featol), rownorm(work + ws.rownorm), ap(work + ws.ap),
      p(work + ws.v1), g(work + ws.v2), gt(work + ws.v3), ct(work + ws.ct), wtol(work + ws.w1),
      weight(work + ws.w2), scratch(static_cast<std::size_t>(std::max(prob.n, 1))),
      workingRows(static_cast<std::size_t>(std::max(prob.n, 1))),
      rowSum(static_cast<std::size_t>(std::max(prob.n, 1))),
      rowCache(prob.A, prob.lda, prob.n, prob.nclin),
      freeBlock(prob.A, prob.lda, prob.n, prob.nclin),
      updateWork(3 * static_cast<std::size_t>(std::max(prob.n, 1))),
      phase1Weight(static_cast<std::size_t>(prob.n + prob.nclin), 0.0),
      candidates(static_cast<std::size_t>(prob.n + prob.nclin), 0) {
    f.n = n;
    f.nclin = nclin;
    f.A = P.A;
    f.lda = P.lda;
    f.rowlist = iwork + ws.rowlist;
    f.varorder = iwork + ws.varorder;
    f.maxrows = n;
    f.Q = work + ws.Q;
    f.ldq = ws.qord;
    f.T = work + ws.T;
    f.ldt = ws.trows;
    f.tcols = ws.tcols;
    if (ws.maxfree < n) {
        // Fewer general rows than variables: the workspace holds Q and T for NCLIN + 1 free
        // variables, as many as a vertex can have. Rows refused at the start leave the working
        // set short of a vertex, and deleting bounds then frees more variables than that: Q and
        // T are held here instead, sized for all N (unless the caller's workspace had room for
        // them: LPSOLV then lays them out there at that size).
        const auto nn = static_cast<std::size_t>(n);
        const int trows = std::max(ws.trows, n);
        ownQ.assign(nn * nn, 0.0);
        ownT.assign(static_cast<std::size_t>(trows) * nn, 0.0);
        f.Q = ownQ.data();
        f.ldq = n;
        f.T = ownT.data();
        f.ldt = trows;
        f.tcols = n;
    }
    f.qvec = gt;
    f.ldqvec = n;
    f.nqvec = 0;
}

void Solver::setup() {
    for (int j = 1; j <= nctot; ++j) featol[j - 1] = O.feasTol;
    // EXPAND starts with half the tolerance and a cycle of the expand frequency.
    for (int j = 1; j <= nctot; ++j) wtol[j - 1] = 0.5 * featol[j - 1];
    cycle = O.expandFrequency;
    tolgrow = O.expandFrequency == kExpandNever ? 0.0 : (0.99 - 0.5) / cycle;
    amax = 0.0;
    for (int i = 1; i <= nclin; ++i) {
        rownorm[i - 1] = DNRM2(n, P.A + (i - 1), P.lda);
        amax = std::max(amax, rownorm[i - 1]);
    }
    double tmin = featol[0];
    for (int j = 1; j <= nctot; ++j) tmin = std::min(tmin, featol[j - 1]);
    for (int j = 1; j <= nctot; ++j) weight[j - 1] = featol[j - 1] / tmin;
}

MethodResult Solver::solve() {
    setup();
    crash();
    if (lp) {
        std::copy(P.cost, P.cost + n, ct);
        qProduct(QMode::QtFree, f, ct, scratch.data());
    }
    f.nqvec = lp ? 2 : 1; // gt, and ct behind it
    nzr = 0;

    MethodResult r;
    for (;;) {
        double rowError = 0.0;
        if (!placeX(rowError)) {
            r.word = ExitWord::Rowerr;
            r.rowError = rowError;
            break;
        }
        ExitWord word = ExitWord::Itnlim;
        if (iterate(word) == IterOutcome::Resetx) continue;
        r.word = word;
        if (word == ExitWord::Itnlim || word == ExitWord::Rowerr) break;
        if (expandReset(true) == 0) break;
    }
    finish(r);
    return r;
}

void Solver::finish(MethodResult& r) {
    r.niter = niter;
    // Multipliers of the final working set (none for a feasible point alone).
    std::fill(mult, mult + nctot, 0.0);
    if (!(r.word == ExitWord::Feasbl)) {
        phase1Function(true);
        if (ninf > 0)
            gtFromPhase1();
        else if (lp)
            gtFromCost();
        else
            std::fill(gt, gt + n, 0.0);
        multipliers();
    }
    // States against the user tolerance.
    int violated = 0;
    double sum = 0.0;
    for (int j = 1; j <= nctot; ++j) {
        const double v = value(j), t = featol[j - 1];
        const double rl = v - bl(j), ru = bu(j) - v;
        int& s = istate[j - 1];
        if (s == 1 && rl > t) s = 0;
        if (s == 2 && ru > t) s = 0;
        if (s < 0) s = 0;
        if (finiteLower(j) && rl < -t) s = -2;
        if (finiteUpper(j) && ru < -t) s = -1;
        if (s < 0) {
            ++violated;
            sum += weight[j - 1] * (s == -2 ? -rl : -ru);
        }
    }
    r.ninf = r.word == ExitWord::Rowerr ? 1 : violated;
    r.sinf = sum;
    r.objective = lp ? objectiveValue() : 0.0;
    r.qIdentity = f.qIdentity;
    r.nfr = f.nfr;
    r.nwr = f.nwr;
}

double Solver::objectiveValue() const {
    return lp ? DDOT(n, P.cost, 1, x, 1) : 0.0;
}

MethodResult activeSetSolve(const Problem& problem, const SolveOptions& options,
                            const WorkspaceLayout& layout, int* istate, double* x, double* ax,
                            double* mult, int* iwork, double* work) {
    Solver s(problem, options, layout, istate, x, ax, mult, iwork, work);
    return s.solve();
}

} // namespace lp
