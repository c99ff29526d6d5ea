#include "lpsolver/kernels/utilities.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "lpsolver/indexing.h"

namespace lp {

void KPERM(Side side, Trans trans, int k1, int k2, const int* perm, int ncol, double* a, int lda) {
    if (k1 > k2 || ncol <= 0) return;
    auto interchange = [&](int k) {
        const int p = perm[k - 1];
        if (p == k) return;
        if (side == Side::Left) {
            DSWAP(ncol, a + mIdx(lda, k, 1), lda, a + mIdx(lda, p, 1), lda);
        } else {
            DSWAP(ncol, a + mIdx(lda, 1, k), 1, a + mIdx(lda, 1, p), 1);
        }
    };
    if (trans == Trans::No) {
        for (int k = k1; k <= k2; ++k) interchange(k);
    } else {
        for (int k = k2; k >= k1; --k) interchange(k);
    }
}

void KSETM(int m, int n, double alpha, double beta, double* a, int lda) {
    for (int j = 1; j <= n; ++j) {
        double* col = a + mIdx(lda, 1, j);
        std::fill(col, col + m, alpha);
        if (j <= m) col[j - 1] = beta;
    }
}

MinMax KMNMX(int n, const double* x, int incx) {
    if (n <= 0) return {0.0, 0.0};
    double big = std::fabs(x[vIdx(n, incx, 1)]);
    double small = big;
    for (int i = 2; i <= n; ++i) {
        const double v = std::fabs(x[vIdx(n, incx, i)]);
        big = std::max(big, v);
        small = std::min(small, v);
    }
    return {big, small};
}

void KFILL(int n, double value, double* x, int incx) {
    const double v = value == 0.0 ? 0.0 : value;
    for (int i = 1; i <= n; ++i) x[vIdx(n, incx, i)] = v;
}

void KICOPY(int n, const int* x, int incx, int* y, int incy) {
    for (int i = 1; i <= n; ++i) y[vIdx(n, incy, i)] = x[vIdx(n, incx, i)];
}

} // namespace lp
