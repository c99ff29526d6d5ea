#include "lpsolver/kernels/reflections.h"

#include <algorithm>
#include <cmath>

#include "lpsolver/indexing.h"
#include "lpsolver/kernels/safe_arith.h"
#include "lpsolver/machine.h"

namespace lp {

void KHOUSE(int n, double& alpha, double* x, int incx, double tol, double& zeta) {
    zeta = 0.0;
    if (n <= 0) return;
    if (n == 1 && x[0] == 0.0) return;

    double scale = 0.0;
    double sumsq = 1.0;
    KSSQ(n, x, incx, scale, sumsq);
    const double xnorm = KNORM(scale, sumsq);
    if (xnorm <= std::max(tol, kEps * std::fabs(alpha))) return;

    double factor; // z = factor * x
    if (alpha == 0.0) {
        zeta = 1.0;
        alpha = xnorm;
        factor = -1.0 / xnorm;
    } else {
        // beta = sqrt(alpha^2 + ||x||^2), formed after scaling by the larger of the two terms,
        // with the sign opposite to alpha so that |alpha| + |beta| involves no cancellation.
        const double absalpha = std::fabs(alpha);
        const double big = std::max(absalpha, xnorm);
        const double ra = absalpha / big;
        const double rx = xnorm / big;
        double beta = big * std::sqrt(ra * ra + rx * rx);
        if (alpha > 0.0) beta = -beta;
        const double absbeta = std::fabs(beta);
        zeta = std::sqrt((absalpha + absbeta) / absbeta);
        factor = -1.0 / (zeta * beta);
        alpha = beta;
    }
    for (int i = 1; i <= n; ++i) x[vIdx(n, incx, i)] *= factor;
}

} // namespace lp
