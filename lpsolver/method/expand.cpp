// EXPAND resets of the working tolerances, and the periodic feasibility check.
#include <cmath>

#include "lpsolver/method/solver.h"
#include "lpsolver/print.h"

namespace lp {

int Solver::expandReset(bool optimal) {
    const int state = ninf == 0 ? 0 : 1;
    if (optimal) {
        if (lastReset == niter || optimalResets[state] >= 2) return 0;
        ++optimalResets[state];
    }
    if (O.expandFrequency == kExpandNever) {
        cycle += 10;
    } else {
        cycle += 10;
        tolgrow = (0.99 - 0.5) / cycle;
        cycle += niter;
    }
    for (int j = 0; j < nctot; ++j) wtol[j] = 0.5 * featol[j];
    lastReset = niter;
    int moved = 0;
    for (int j = 1; j <= n; ++j) {
        const int s = istate[j - 1];
        if (s < 1 || s > 3) continue;
        const double b = s == 1 ? bl(j) : bu(j);
        if (std::fabs(x[j - 1] - b) > M.eps6) ++moved;
    }
    if (moved > 0 && O.printLevel > 0)
        unitWrite(O.printUnit, "(' Itn',I6,' --',I7,'  variables moved to their bounds.')",
                  {niter, moved});
    return moved;
}

int Solver::feasibilityCheck() {
    int count = 0;
    double worst = 0.0;
    int worstJ = 0;
    for (int j = 1; j <= nctot; ++j) {
        const int s = istate[j - 1];
        if (s < 0) continue;
        const double v = value(j), tol = wtol[j - 1];
        double amount = 0.0;
        if (finiteLower(j) && bl(j) - v > tol) amount = bl(j) - v;
        if (finiteUpper(j) && v - bu(j) > tol) amount = v - bu(j);
        if (s >= 1 && s <= 3) {
            const double d = std::fabs(v - (s == 1 ? bl(j) : bu(j)));
            if (d > tol) amount = std::max(amount, d);
        }
        if (amount > 0.0) {
            ++count;
            if (amount > worst) worst = amount, worstJ = j;
        }
    }
    if (count > 0 && O.printLevel > 0)
        unitWrite(O.printUnit,
                  "(' XXX  Iterative refinement.  The max violation is ',1P,D10.2,' in "
                  "constraint',I5)",
                  {worst, worstJ});
    return count;
}

} // namespace lp
