// Placing x on the working set: fixed variables onto their bounds, then up to five passes of
// iterative refinement of the general rows through the factorisation.
#include <algorithm>
#include <cmath>

#include "lpsolver/blas.h"
#include "lpsolver/factor/qprod.h"
#include "lpsolver/method/solver.h"

namespace lp {

bool Solver::placeX(double& rowError) {
    for (int pos = f.nfr + 1; pos <= n; ++pos) {
        const int j = f.varorder[pos - 1];
        const int s = istate[j - 1];
        if (s == 1)
            x[j - 1] = bl(j);
        else if (s == 2 || s == 3)
            x[j - 1] = bu(j);
    }
    const int nwr = f.nwr;
    auto activeBound = [this](int j) { return istate[j - 1] == 1 ? bl(j) : bu(j); };
    auto computeAx = [this] {
        if (nclin > 0) DGEMV(Trans::No, nclin, n, 1.0, P.A, P.lda, x, 1, 0.0, ax, 1);
    };
    computeAx();
    double worst = 0.0;
    for (int pass = 1; pass <= 5; ++pass) {
        if (nwr > 0) {
            // Residuals in the row order of T, T y = r, x += Q (0, y).
            double* r = scratch.data();
            for (int t = 1; t <= nwr; ++t) {
                const int j = n + rowOfT(t);
                r[t - 1] = activeBound(j) - ax[j - n - 1];
            }
            DTRSV(Trans::No, nwr, f.T + static_cast<std::ptrdiff_t>(f.nz) * f.ldt, f.ldt, r, 1);
            double* d = g;
            std::fill(d, d + n, 0.0);
            std::copy(r, r + nwr, d + f.nz);
            qProduct(QMode::QFree, f, d, scratch.data());
            DAXPY(n, 1.0, d, 1, x, 1);
            computeAx();
        }
        worst = 0.0;
        bool within = true;
        for (int t = 1; t <= nwr; ++t) {
            const int j = n + rowOfT(t);
            const double res = std::fabs(activeBound(j) - ax[j - n - 1]);
            worst = std::max(worst, res);
            if (res <= featol[j - 1]) continue;
            // A row of large terms cannot be met closer than the rounding of its sum: a
            // residual at that level is accepted as well.
            double terms = 0.0;
            for (int k = 1; k <= n; ++k) terms += std::fabs(A(j - n, k) * x[k - 1]);
            within = within && res <= featol[j - 1] + M.eps8 * terms;
        }
        if (within) return true;
    }
    rowError = worst;
    return false;
}

} // namespace lp
