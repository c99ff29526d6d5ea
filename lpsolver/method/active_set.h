// The active-set method: what a solve does between the input checks and the exit.
#pragma once

#include "lpsolver/options.h"
#include "lpsolver/workspace.h"

namespace lp {

// Outcome words of the method.
enum class ExitWord { Feasbl, Optiml, Weak, Unbndd, Infeas, Itnlim, Rowerr };

struct Problem {
    int n = 0;
    int nclin = 0;
    const double* A = nullptr;
    int lda = 1;
    const double* bl = nullptr;
    const double* bu = nullptr;
    const double* cost = nullptr;
};

struct MethodResult {
    ExitWord word = ExitWord::Rowerr;
    int niter = 0;
    int ninf = 0;           // violated constraints at the end
    double sinf = 0.0;      // their weighted sum of infeasibilities
    double objective = 0.0; // c'x (type LP, feasible)
    double rowError = 0.0;  // largest residual of the working set ("rowerr")
    bool qIdentity = true;  // Q still the identity
    int nfr = 0;            // free variables at the end
    int nwr = 0;            // general rows in the working set at the end
};

// Solves the checked problem. istate, x (start point in, solution out), ax (A x) and mult (the
// multipliers) have the lengths of the solver call; iwork and work are laid out by layout.
// The states are classified against the user tolerance on return.
MethodResult activeSetSolve(const Problem& problem, const SolveOptions& options,
                            const WorkspaceLayout& layout, int* istate, double* x, double* ax,
                            double* mult, int* iwork, double* work);

} // namespace lp
