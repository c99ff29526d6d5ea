#include "lpsolver/kernels/safe_arith.h"

#include <cmath>

#include "lpsolver/indexing.h"
#include "lpsolver/machine.h"

namespace lp {

Quotient KSDIV(double a, double b) {
    if (a == 0.0) return {0.0, b == 0.0};
    if (b == 0.0) return {std::copysign(kHuge, a), true};
    const double absa = std::fabs(a);
    const double absb = std::fabs(b);
    if (absb >= 1.0) {
        // Only underflow is possible: flush it to zero.
        if (absb * kTiny > absa) return {0.0, false};
        return {a / b, false};
    }
    if (absb * kHuge >= absa) return {a / b, false};
    const bool negative = (a < 0.0) != (b < 0.0);
    return {negative ? -kHuge : kHuge, true};
}

void KSSQ(int n, const double* x, int incx, double& scale, double& sumsq) {
    for (int i = 1; i <= n; ++i) {
        const double xi = x[vIdx(n, incx, i)];
        if (xi == 0.0) continue;
        const double absxi = std::fabs(xi);
        if (scale < absxi) {
            const double r = scale / absxi;
            sumsq = 1.0 + sumsq * r * r;
            scale = absxi;
        } else {
            const double r = absxi / scale;
            sumsq += r * r;
        }
    }
}

double KNORM(double scale, double sumsq) {
    const double root = std::sqrt(sumsq);
    if (scale >= kHuge / root) return kHuge;
    return scale * root;
}

} // namespace lp
