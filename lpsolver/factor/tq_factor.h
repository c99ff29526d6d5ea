// The TQ factorisation of the working set, and the state around it that the active-set
// iterations share with the factorisation updates.
//
// Working set: nwr general rows of A (their row numbers in rowlist(1..nwr), in order of entry)
// and N - nfr fixed variables. varorder(1..N) is a permutation of the variables: positions
// 1..nfr hold the free ones, nfr+1..N the fixed ones. "Permuted order" below means a vector
// indexed by these positions; "natural order" one indexed by variable number.
//
// With A_w the working-set rows restricted to the free variables (columns in permuted order),
//
//     A_w * Q = ( 0  T ),
//
// Q orthogonal of order nfr, T upper triangular of order nwr. nz = nfr - nwr; the first nz
// columns of Q span the null space Z of the working set, columns nz+1..nfr (Y) the range.
//
// Storage (all column-major, 1-based element (i, j) at [(i-1) + (j-1)*ld]):
// - Q: rows and columns 1..nfr of an array with leading dimension ldq (ldq >= largest nfr).
//   While qIdentity is set Q is the identity, is not stored, and only varorder carries it.
// - T: rows 1..nwr and columns nz+1..nfr of the T array (leading dimension ldt, tcols
//   columns): element (i, j) of T is at T array (i, nz+j). The rows follow the reverse of the
//   order of entry: row i of T is general row rowlist(nwr+1-i), the latest entry on top. The
//   strictly lower part of that block holds zeros. T may start below the first row of its
//   storage (tStore): a row entering on top then takes the free row above instead of moving
//   every row down (rows offset+1..offset+nwr of the storage, offset = T - tStore < ldt).
// - qvec: nqvec vectors of length N in permuted order (leading dimension ldqvec) that are kept
//   equal to Q'(g) for some natural-order vector g through every change of Q: positions 1..nfr
//   hold Q'*g over the free variables, positions nfr+1..N the components of g of the fixed
//   variables (the product modes 6 and 3 carry them that way). The iterations keep Q'c and Q'g
//   here.
//
// Every update keeps A_w*Q = (0 T), Q'Q = I, T upper triangular, nz = nfr - nwr, qvec = Q'g and
// tmax/tmin = largest/smallest |diagonal of T| (both 1 when nwr = 0).
#pragma once

namespace lp {

struct TQCheckStats;

struct TQFactor {
    // Problem: N variables, NCLIN general rows of the NCLIN x N matrix A (leading dimension lda).
    int n = 0;
    int nclin = 0;
    const double* A = nullptr;
    int lda = 1;

    // Working set.
    int nfr = 0;             // free variables
    int nwr = 0;             // general rows in the working set
    int nz = 0;              // nfr - nwr, dimension of the null space
    int* varorder = nullptr; // N entries: variable numbers 1..N, free ones first
    int* rowlist = nullptr;  // row numbers 1..NCLIN of the working-set rows, order of entry
    int maxrows = 0;         // capacity of rowlist

    // Factors.
    bool qIdentity = true; // Q is the identity and not stored
    double* Q = nullptr;
    int ldq = 1;
    double* T = nullptr;
    double* tStore = nullptr; // start of T's storage; nullptr: T itself (set on first use)
    int ldt = 1;
    int tcols = 0;
    double tmax = 1.0;
    double tmin = 1.0;

    // Vectors kept in step with Q (may be absent: nqvec = 0).
    double* qvec = nullptr;
    int ldqvec = 1;
    int nqvec = 0;

    // When set, every update checks the factorisation on exit and records the worst errors
    // (debug aid, see tq_check.h).
    TQCheckStats* checks = nullptr;
};

// Outcome of an update.
enum class TQStatus {
    Ok,      // done
    Refused, // the row would make the factor too ill-conditioned; nothing changed
    Invalid  // the constraint is not where the update needs it (for example a bound on a
             // variable that is not free); nothing changed
};

// Starts an empty working set over nfr free variables (varorder already set by the caller):
// nwr = 0, nz = nfr, Q the identity (not stored), tmax = tmin = 1.
void tqReset(TQFactor& f, int nfr);

// Stores Q explicitly as the identity of order nfr and clears the identity flag.
void tqMakeExplicit(TQFactor& f);

// Position of variable j (1..N) in varorder, 0 when absent.
[[nodiscard]] int tqPosition(const TQFactor& f, int j);

// T row (1..nwr) that holds general row i (1..NCLIN), 0 when i is not in the working set.
[[nodiscard]] int tqTRow(const TQFactor& f, int i);

// Recomputes tmax and tmin from the diagonal of T (both 1 when T is empty).
void tqDiagonalRange(TQFactor& f);

// Swaps the null-space directions k1 and k2 (1 <= k <= nz): the columns of Q, or, while Q is the
// identity, the varorder entries; the rows of qvec alike.
void tqSwapNull(TQFactor& f, int k1, int k2);

} // namespace lp
