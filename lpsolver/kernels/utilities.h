// Small matrix and vector utilities: interchanges, constant fills, extreme magnitudes, copies.
#pragma once

#include "lpsolver/blas.h"
#include "lpsolver/kernels/rotations.h"

namespace lp {

// Applies the interchanges k <-> perm(k), k = k1..k2 (perm(k) at perm[k-1]), to the rows (left;
// A has ncol columns) or the columns (right; A has ncol rows) of A. Without transpose they are
// applied for k ascending (A := P*A or A*P'), with transpose for k descending (A := P'*A or
// A*P), P being the product of the interchanges.
void KPERM(Side side, Trans trans, int k1, int k2, const int* perm, int ncol, double* a, int lda);

// Sets the m x n matrix A to alpha off the diagonal and beta on it.
void KSETM(int m, int n, double alpha, double beta, double* a, int lda);

struct MinMax {
    double max;
    double min;
};

// Largest and smallest |x(i)|, i = 1..n; (0, 0) for n <= 0.
[[nodiscard]] MinMax KMNMX(int n, const double* x, int incx);

// x(i) := value, i = 1..n; a zero value stores exact (positive) zeros.
void KFILL(int n, double value, double* x, int incx);

// y(i) := x(i), i = 1..n, with increments as in BLAS (negative ones walk backwards).
void KICOPY(int n, const int* x, int incx, int* y, int incy);

} // namespace lp
