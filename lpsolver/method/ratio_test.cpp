// The ratio test with the bounds relaxed by the working tolerances (EXPAND): a first pass finds
// the largest step the relaxed bounds allow, a second pass takes, among the constraints whose
// exact bound lies within it, the one with the largest pivot.
#include <algorithm>
#include <cmath>

#include "lpsolver/method/solver.h"

namespace lp {

RatioResult Solver::ratioTest(double maxStep, double pnorm) {
    const double pivotTol = M.eps9 * pnorm;
    auto rate = [this](int j) { return j <= n ? p[j - 1] : ap[j - n - 1]; };
    auto pivot = [this](int j, double gamma) {
        return j <= n ? std::fabs(gamma) : std::fabs(gamma) / (rownorm[j - n - 1] + 1.0);
    };

    // Pass 1. It also notes, in ascending order, every constraint that pass 2 can choose: one
    // whose exact bound lies within the smallest relaxed step found so far (alpha1 only shrinks,
    // so that includes every one within the final alpha1), and every violated one moving toward
    // its bound.
    double alpha1 = maxStep;
    double pivotViolated = 0.0;
    int* cand = candidates.data();
    int ncand = 0;
    for (int j = 1; j <= nctot; ++j) {
        const int s = istate[j - 1];
        if (s > 0) continue;
        const double gamma = rate(j), piv = pivot(j, gamma);
        if (piv <= pivotTol) continue;
        const double v = value(j), tol = wtol[j - 1];
        if (gamma < 0.0) {
            bool noted = s == -1;
            if (s != -2 && finiteLower(j)) {
                alpha1 = std::min(alpha1, (v - bl(j) + tol) / -gamma);
                noted = noted || (v - bl(j)) / -gamma <= alpha1;
            }
            if (noted) cand[ncand++] = j;
            if (s == -1) pivotViolated = std::max(pivotViolated, piv);
        } else {
            bool noted = s == -2;
            if (s != -1 && finiteUpper(j)) {
                alpha1 = std::min(alpha1, (bu(j) + tol - v) / gamma);
                noted = noted || (bu(j) - v) / gamma <= alpha1;
            }
            if (noted) cand[ncand++] = j;
            if (s == -2) pivotViolated = std::max(pivotViolated, piv);
        }
    }

    // Pass 2, over the noted constraints.
    int jadd1 = 0;
    double step1 = 0.0, pivot1 = 0.0;
    bool lower1 = false;
    int jviol = 0;
    double stepViol = minSumDeleted ? maxStep : 0.0;
    for (int c = 0; c < ncand; ++c) {
        const int j = cand[c];
        const int s = istate[j - 1];
        const double gamma = rate(j), piv = pivot(j, gamma);
        const double v = value(j);
        if (gamma < 0.0 && s != -2 && finiteLower(j)) {
            const double step = (v - bl(j)) / -gamma;
            if (step <= alpha1 && piv > pivot1) {
                jadd1 = j, step1 = step, pivot1 = piv, lower1 = true;
            }
        } else if (gamma > 0.0 && s != -1 && finiteUpper(j)) {
            const double step = (bu(j) - v) / gamma;
            if (step <= alpha1 && piv > pivot1) {
                jadd1 = j, step1 = step, pivot1 = piv, lower1 = false;
            }
        }
        // Violated constraints moving toward their bound.
        const bool toward = (s == -1 && gamma < 0.0) || (s == -2 && gamma > 0.0);
        if (!toward) continue;
        const double step = s == -1 ? (v - bu(j)) / -gamma : (bl(j) - v) / gamma;
        if (minSumDeleted) {
            if (step < stepViol) jviol = j, stepViol = step;
        } else if (piv >= 0.001 * pivotViolated && step > stepViol) {
            jviol = j, stepViol = step;
        }
    }

    RatioResult r;
    int jadd = 0;
    double step = 0.0;
    bool atLower = false;
    if (jviol != 0 && stepViol <= alpha1) {
        jadd = jviol, step = stepViol, atLower = istate[jviol - 1] == -2;
    } else if (jadd1 != 0) {
        jadd = jadd1, step = step1, atLower = lower1;
    }
    if (jadd == 0) return r;
    const double bound = atLower ? bl(jadd) : bu(jadd);
    if (std::fabs(bound) >= O.bigbnd) return r;
    r.unbounded = false;
    r.jadd = jadd;
    r.atLower = atLower;
    r.alpha = std::max(step, tolgrow * featol[jadd - 1] / std::fabs(rate(jadd)));
    return r;
}

} // namespace lp
