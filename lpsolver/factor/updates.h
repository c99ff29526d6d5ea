// Updates of the TQ factorisation when the working set changes.
//
// Each update takes a work array of 3*N elements, keeps the invariants listed in tq_factor.h,
// and applies every change of Q to the vectors in qvec. None of them allocates memory.
#pragma once

#include "lpsolver/factor/tq_factor.h"

namespace lp {

struct TQAddResult {
    TQStatus status = TQStatus::Ok;
    // Condition estimate of T with the row added: max(tmax, d)/min(tmin, d), d being the new
    // diagonal magnitude (amax/d when T was empty); huge when the quotient overflowed.
    double cond = 0.0;
    // The row entered but left the estimate at or above 1/eps^0.9: the caller reports the
    // serious ill-conditioning (when its print level is above 0).
    bool illConditioned = false;
};

// Enters a batch of general rows, as the start of a solve does: the candidates are
// rowlist(1..ncand) (row numbers 1..NCLIN, entered in that order) and the working set must hold
// no general row yet (otherwise nothing is done). Q is made explicit and each row is reduced by a
// Householder reflection. A row whose condition estimate reaches condlim, or whose estimate
// overflows, is refused: it leaves rowlist and its state istate(N+i) returns to 0. amax is the
// largest row norm of A, used for the estimate of the first row. Returns the number of refused
// rows.
[[nodiscard]] int tqAddRows(TQFactor& f, int ncand, int* istate, double condlim, double amax,
                            double* work);

// Enters general row i (1..NCLIN) during the iterations, by a rotation sequence. condlim is the
// limit for the condition estimate (huge during the iterations, so that only an overflowing
// estimate refuses the row). A refused row leaves everything unchanged.
[[nodiscard]] TQAddResult tqAddRow(TQFactor& f, int i, double condlim, double amax, double* work);

// Fixes free variable j (1..N): it moves to position nfr of varorder and the free part shrinks
// by one. Invalid when j is not free or the null space is empty.
[[nodiscard]] TQStatus tqAddBound(TQFactor& f, int j, double* work);

// Removes constraint jdel from the working set: a variable (1..N) joins the free set at
// position nfr+1, a general row (N+1..N+NCLIN) leaves T and rowlist. Afterwards nz has grown by
// one and column nz of Q is the released direction. Invalid when jdel is not in the working
// set, or when Q or T has no room for another free variable.
[[nodiscard]] TQStatus tqDeleteConstraint(TQFactor& f, int jdel, double* work);

} // namespace lp
