// The crash: an initial working set from the start point (Cold) or the caller's states (Warm),
// completed to a vertex, and its general rows entered into the factorisation.
#include <algorithm>
#include <cmath>

#include "lpsolver/blas.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/method/solver.h"

namespace lp {

void Solver::crash() {
    const double ctol = O.crashTol;
    const bool cold = O.start == kColdStart;

    // 1. Every variable inside its bounds; x~ (in p) is the trial point.
    for (int j = 1; j <= n; ++j) {
        double& xj = x[j - 1];
        if (finiteLower(j) && bl(j) - xj > wtol[j - 1]) xj = bl(j);
        if (finiteUpper(j) && xj - bu(j) > wtol[j - 1]) xj = bu(j);
    }
    double* xt = p;
    std::copy(x, x + n, xt);
    int nfr = n, nwr = 0;

    // 2. States.
    for (int j = 1; j <= nctot; ++j) {
        int& s = istate[j - 1];
        if (cold) {
            s = bl(j) == bu(j) ? 3 : 0;
            continue;
        }
        if (s < 0 || s > 3) s = 0;
        if (s == 1 && !finiteLower(j)) s = 0;
        if (s == 2 && !finiteUpper(j)) s = 0;
        if (!finiteLower(j) && !finiteUpper(j)) s = 0;
        if (s == 3 && bl(j) != bu(j)) s = 0;
    }

    // 3. The working set from the states, in ascending order, as long as there is room.
    for (int j = 1; j <= nctot; ++j) {
        int& s = istate[j - 1];
        if (nwr == nfr) {
            s = 0;
            continue;
        }
        if (s <= 0) continue;
        if (j > n) {
            f.rowlist[nwr++] = j - n;
        } else {
            --nfr;
            xt[j - 1] = s == 1 ? bl(j) : bu(j);
        }
    }

    if (cold) {
        // 4. Variables close to a bound go onto it, the last ones first.
        for (int j = n; j >= 1 && nwr < nfr; --j) {
            int& s = istate[j - 1];
            if (s != 0) continue;
            const double v = xt[j - 1];
            if (finiteLower(j) && (std::fabs(bl(j)) + 1.0) * ctol >= v - bl(j)) s = 1;
            if (finiteUpper(j) && (std::fabs(bu(j)) + 1.0) * ctol >= bu(j) - v) s = 2;
            if (s != 0) {
                --nfr;
                xt[j - 1] = s == 1 ? bl(j) : bu(j);
            }
        }
        // 5. General rows nearly at a bound enter, the nearest first.
        if (nwr < nfr && nclin > 0) {
            double* v = ap; // row values, NCLIN of them
            for (int i = 1; i <= nclin; ++i) v[i - 1] = DDOT(n, P.A + (i - 1), P.lda, xt, 1);
            while (nwr < nfr) {
                int best = 0;
                double bestD = ctol;
                bool bestLower = true;
                for (int i = 1; i <= nclin; ++i) {
                    const int j = n + i;
                    if (istate[j - 1] != 0) continue;
                    const double vi = v[i - 1];
                    const double dl = finiteLower(j)
                                          ? std::fabs(vi - bl(j)) / (std::fabs(bl(j)) + 1.0)
                                          : 2.0 * ctol;
                    const double du = finiteUpper(j)
                                          ? std::fabs(vi - bu(j)) / (std::fabs(bu(j)) + 1.0)
                                          : 2.0 * ctol;
                    const double d = std::min(dl, du);
                    if (d < bestD) {
                        bestD = d;
                        best = i;
                        bestLower = dl <= du;
                    }
                }
                if (best == 0) break;
                istate[n + best - 1] = bestLower ? 1 : 2;
                f.rowlist[nwr++] = best;
            }
        }
    }

    // 6. An artificial vertex: the remaining free variables with the least weight in the
    // working-set rows are held where they are.
    if (n > nclin && nwr < nfr) {
        double* s = g;
        for (int j = 1; j <= n; ++j) {
            s[j - 1] = 0.0;
            if (istate[j - 1] > 0) continue;
            for (int t = 0; t < nwr; ++t) s[j - 1] += std::fabs(A(f.rowlist[t], j));
        }
        while (nwr < nfr) {
            int best = 0;
            for (int j = 1; j <= n; ++j) {
                if (istate[j - 1] > 0) continue;
                if (best == 0 || s[j - 1] < s[best - 1]) best = j;
            }
            istate[best - 1] = 4;
            --nfr;
        }
    }

    // 7. The permutation: free variables, then fixed ones, each in ascending order.
    int k = 0;
    for (int j = 1; j <= n; ++j)
        if (istate[j - 1] <= 0) f.varorder[k++] = j;
    for (int j = 1; j <= n; ++j)
        if (istate[j - 1] > 0) f.varorder[k++] = j;

    tqReset(f, nfr);
    (void)tqAddRows(f, nwr, istate, M.condlim, amax, updateWork.data());
}

} // namespace lp
