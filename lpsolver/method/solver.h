// State of one solve of the active-set method, shared by its steps (crash, placing x, phase-1
// function, iterations, ratio test, EXPAND, log). It lives for one call only.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include "lpsolver/factor/tq_factor.h"
#include "lpsolver/machine.h"
#include "lpsolver/method/active_set.h"
#include "lpsolver/method/free_block.h"
#include "lpsolver/method/row_cache.h"

namespace lp {

// Internal outcome of one run of the iterations: an exit word, or "place x again".
enum class IterOutcome { Exit, Resetx };

struct RatioResult {
    bool unbounded = true;
    int jadd = 0;         // constraint to enter (1..N+NCLIN)
    bool atLower = false; // the bound reached
    double alpha = 0.0;   // the step
};

// Candidates whose edge lengths the steepest-edge rule forms at each pricing.
inline constexpr std::size_t kSteepestCandidates = 32;

class Solver {
public:
    Solver(const Problem& p, const SolveOptions& o, const WorkspaceLayout& ws, int* istate,
           double* x, double* ax, double* mult, int* iwork, double* work);
    MethodResult solve();

private:
    // Constraint j (1..N+NCLIN): bounds and current value.
    double bl(int j) const { return P.bl[j - 1]; }
    double bu(int j) const { return P.bu[j - 1]; }
    double value(int j) const { return j <= n ? x[j - 1] : ax[j - n - 1]; }
    bool finiteLower(int j) const { return bl(j) > -O.bigbnd; }
    bool finiteUpper(int j) const { return bu(j) < O.bigbnd; }
    // Row i of A (1..NCLIN), element k.
    double A(int i, int k) const {
        return P.A[static_cast<std::ptrdiff_t>(i - 1) + static_cast<std::ptrdiff_t>(k - 1) * P.lda];
    }
    int rowOfT(int t) const { return f.rowlist[f.nwr - t]; } // general row held by T row t
    // The multiplier of working-set member j signed for the choice of the one to leave
    // (negative: leaving lowers the objective): as computed at a lower bound, negated at an
    // upper one, -|lambda| for a temporarily fixed variable.
    double signedMultiplier(int j) const {
        const double lam = mult[j - 1];
        const int s = istate[j - 1];
        return s == 1 ? lam : (s == 2 ? -lam : -std::fabs(lam));
    }

    void setup();
    void crash();
    bool placeX(double& rowError);
    bool phase1Function(bool fresh = false); // whether the gradient g changed
    void directionTimesA();                  // ap = A p
    void gtFromPhase1();
    void gtFromCost();
    double objectiveValue() const;
    IterOutcome iterate(ExitWord& word);
    RatioResult ratioTest(double maxStep, double pnorm);
    void multipliers(); // into mult, from gt
    int steepestEdge(double& best);
    int feasibilityCheck();
    int expandReset(bool optimal);
    void finish(MethodResult& r);

    // Log of the iterations (print level >= 5).
    void logLine(double gzrNorm);
    void logValues();

    const Problem& P;
    const SolveOptions& O;
    const WorkspaceLayout& W;
    const MachineConstants& M;
    const int n, nclin, nctot;
    const bool lp;
    int* istate;
    double* x;
    double* ax;
    double* mult;
    double* featol;               // user tolerance of every constraint
    double* rownorm;              // row norms of A
    double* ap;                   // A p
    double* p;                    // search direction (natural order)
    double* g;                    // phase-1 gradient, scratch
    double* gt;                   // transformed gradient (permuted order), kept in step with Q
    double* ct;                   // Q'c (type LP), kept in step with Q
    double* wtol;                 // working tolerances
    double* weight;               // phase-1 weights
    std::vector<double> scratch;  // N for products and solves
    std::vector<int> workingRows; // N: the working set's rows (0-based), in T order
    std::vector<double> rowSum;   // N: their sum weighted by the multipliers
    WorkingRowCache rowCache;     // copies of the working rows
    FreeBlock freeBlock; // copy of A over the rows outside the working set and the free columns
    std::vector<double> updateWork;   // 3N for the factorisation updates
    std::vector<double> phase1Weight; // weight of every constraint in the phase-1 gradient g
    std::vector<int> candidates;      // N+NCLIN: the ratio test's second-pass candidates
    std::vector<std::pair<double, int>> pricing; // candidates to leave (steepest edge): s, j
    std::vector<double> steepestWork;            // their edges
    std::vector<double> ownQ, ownT;              // Q and T when the workspace's are too small
    TQFactor f;

    double amax = 0.0;
    int nzr = 0;
    int niter = 0;
    int ninf = 0;
    double sinf = 0.0;
    bool minSumDeleted = false;

    // EXPAND.
    int cycle = 5; // K
    double tolgrow = 0.0;
    int lastReset = -1;
    int optimalResets[2] = {0, 0}; // feasible, infeasible

    // Log state.
    bool logPending = true;
    long logLines = 0;
    int jdelLog = 0, jaddLog = 0;
    char jdelCode = ' ', jaddCode = ' ';
    double stepLog = 0.0;
    int negMultipliers = 0;
    double minMultiplier = 0.0;
    bool deletedThisLine = false;
};

} // namespace lp
