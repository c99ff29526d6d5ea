// The iterations: phase-1 function, search direction and step, factorisation update, pricing
// of the working set and deletion.
#include <algorithm>
#include <cmath>
#include <limits>

#include "lpsolver/blas.h"
#include "lpsolver/factor/qprod.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/kernels/safe_arith.h"
#include "lpsolver/method/solver.h"
#include "lpsolver/print.h"

namespace lp {

bool Solver::phase1Function(bool fresh) {
    bool changed = fresh;
    ninf = 0;
    sinf = 0.0;
    if (fresh) {
        std::fill(g, g + n, 0.0);
        std::fill(phase1Weight.begin(), phase1Weight.end(), 0.0);
    }
    for (int j = 1; j <= nctot; ++j) {
        int& s = istate[j - 1];
        double w = 0.0;
        if (s <= 0) {
            s = 0;
            const double v = value(j);
            if (finiteLower(j) && bl(j) - v > wtol[j - 1]) {
                s = -2;
                w = -weight[j - 1];
                sinf += weight[j - 1] * (bl(j) - v);
            } else if (finiteUpper(j) && v - bu(j) > wtol[j - 1]) {
                s = -1;
                w = weight[j - 1];
                sinf += weight[j - 1] * (v - bu(j));
            }
            if (s != 0) ++ninf;
        }
        // The gradient changes only by the constraints whose weight changed.
        double& old = phase1Weight[static_cast<std::size_t>(j - 1)];
        if (w == old) continue;
        if (j <= n)
            g[j - 1] += w - old;
        else
            DAXPY(n, w - old, P.A + (j - n - 1), P.lda, g, 1);
        old = w;
        changed = true;
    }
    return changed;
}

void Solver::gtFromPhase1() {
    std::copy(g, g + n, gt);
    qProduct(QMode::QtFree, f, gt, scratch.data());
}

void Solver::gtFromCost() {
    std::copy(ct, ct + n, gt);
}

// Multipliers of the working set from gt: T'lambda = gt(nz+1..nz+nwr) for the general rows, and
// for a fixed variable its component of gt less the rows' share.
void Solver::multipliers() {
    std::fill(mult, mult + nctot, 0.0);
    const int nwr = f.nwr, nz = f.nz;
    double* lam = scratch.data();
    std::copy(gt + nz, gt + nz + nwr, lam);
    if (nwr > 0)
        DTRSV(Trans::Yes, nwr, f.T + static_cast<std::ptrdiff_t>(nz) * f.ldt, f.ldt, lam, 1);
    int* rows = workingRows.data();
    for (int t = 1; t <= nwr; ++t) {
        rows[t - 1] = rowOfT(t) - 1;
        mult[n + rows[t - 1]] = lam[t - 1];
    }
    if (f.nfr == n) return;
    // The fixed variables: g_j minus the working rows' column j weighted by their multipliers.
    double* sum = rowSum.data();
    rowCache.sync(rows, lam, nwr);
    rowCache.weightedRowSum(f.varorder + f.nfr, n - f.nfr, sum);
    for (int pos = f.nfr + 1; pos <= n; ++pos) {
        const int j = f.varorder[pos - 1];
        mult[j - 1] = gt[pos - 1] - sum[j - 1];
    }
}

IterOutcome Solver::iterate(ExitWord& word) {
    phase1Function(true);
    if (ninf > 0)
        gtFromPhase1();
    else if (lp)
        gtFromCost();

    for (;;) {
        const int nz = f.nz;
        const double gzrNorm = DNRM2(nzr, gt, 1);
        const double gzNorm = DNRM2(nz, gt, 1);
        const double gfNorm = (f.nfr > 0 && f.nwr > 0) ? DNRM2(f.nfr, gt, 1) : gzNorm;
        const bool feasible = ninf == 0;
        const double objective = feasible && lp ? objectiveValue() : sinf;
        if (logPending) logLine(gzrNorm);
        logPending = false;
        deletedThisLine = false;

        const double mu =
            feasible
                ? M.eps8 * std::max({f.nwr > 0 ? f.tmax : 0.0, 1.0 + std::fabs(objective), gfNorm})
                : M.eps8 * std::fabs(sinf);
        if (feasible && !lp) {
            word = ExitWord::Feasbl;
            return IterOutcome::Exit;
        }

        if (gzrNorm > mu) {
            // A step along the reduced gradient.
            if (niter >= O.iterationLimit) {
                word = ExitWord::Itnlim;
                return IterOutcome::Exit;
            }
            ++niter;
            double* pz = scratch.data();
            std::fill(pz, pz + n, 0.0);
            for (int k = 0; k < nzr; ++k) pz[k] = -gt[k];
            std::copy(pz, pz + n, p);
            qProduct(QMode::QZ, f, p, updateWork.data());
            directionTimesA();
            const double maxStep = KSDIV(O.bigstep, gzrNorm).value;
            const RatioResult rt = ratioTest(maxStep, gzrNorm);
            if (rt.unbounded) {
                word = ninf > 0 ? ExitWord::Infeas : ExitWord::Unbndd;
                return IterOutcome::Exit;
            }
            const double alpha = rt.alpha;
            DAXPY(n, alpha, p, 1, x, 1);
            if (nclin > 0) DAXPY(nclin, alpha, ap, 1, ax, 1);
            const int j = rt.jadd;
            istate[j - 1] = bl(j) == bu(j) ? 3 : (rt.atLower ? 1 : 2);
            if (j <= n && alpha >= 0.0) x[j - 1] = rt.atLower ? bl(j) : bu(j);

            jaddLog = j <= n ? j : j - n;
            jaddCode = istate[j - 1] == 3 ? 'E' : (rt.atLower ? 'L' : 'U');
            stepLog = alpha;
            if (j <= n) {
                if (tqAddBound(f, j, updateWork.data()) != TQStatus::Ok) {
                    word = ExitWord::Rowerr;
                    return IterOutcome::Exit;
                }
            } else {
                const TQAddResult add = tqAddRow(f, j - n, M.huge, amax, updateWork.data());
                if (add.status != TQStatus::Ok) {
                    // The condition estimate overflowed: the working set cannot be held.
                    word = ExitWord::Rowerr;
                    return IterOutcome::Exit;
                }
                if (add.illConditioned && O.printLevel > 0)
                    unitWrite(O.printUnit,
                              "(/,' XXX  Serious ill-conditioning in the working set afte','r "
                              "adding constraint ',I5,/,' XXX  Overflow may occur in s','ubsequent "
                              "iterations.',/,/)",
                              {j});
            }
            nzr = std::max(0, nzr - 1);
            for (int k = 0; k < nctot; ++k) wtol[k] += tolgrow * featol[k];

            int violations = 0;
            if (niter % O.checkFrequency == 0) violations += feasibilityCheck();
            if (niter % cycle == 0) violations += expandReset(false);
            logPending = true;
            if (violations > 0) {
                logLine(DNRM2(nzr, gt, 1));
                logPending = false;
                return IterOutcome::Resetx;
            }
            if (ninf > 0) {
                // gt follows Q through every update, so it needs forming afresh only when the
                // phase-1 gradient changed.
                const bool changed = phase1Function();
                if (ninf > 0) {
                    if (changed) gtFromPhase1();
                } else if (lp) {
                    gtFromCost();
                }
            }
            continue;
        }

        // Pricing: the working-set constraint (or artificial one) to leave.
        multipliers();
        int jdel = 0, kart = 0;
        double best = -mu;
        negMultipliers = 0;
        minMultiplier = 0.0;
        bool tiny = false;
        pricing.clear();
        auto consider = [&](int j, double s) {
            if (s < -mu) {
                if (feasible) ++negMultipliers;
                if (O.steepestEdge == 1) pricing.push_back({s, j});
                if (s < best) {
                    best = s;
                    jdel = j;
                    kart = 0;
                }
            } else if (s < mu) {
                tiny = true;
            }
            minMultiplier = std::min(minMultiplier, s);
        };
        for (int t = 1; t <= f.nwr; ++t) {
            const int i = rowOfT(t), j = n + i;
            if (istate[j - 1] == 3) continue;
            consider(j, signedMultiplier(j) * rownorm[i - 1]);
        }
        for (int pos = f.nfr + 1; pos <= n; ++pos) {
            const int j = f.varorder[pos - 1];
            if (istate[j - 1] == 3) continue;
            consider(j, signedMultiplier(j));
        }
        if (O.steepestEdge == 1 && pricing.size() > 1) jdel = steepestEdge(best);
        for (int k = nzr + 1; k <= nz; ++k) {
            const double s = -std::fabs(gt[k - 1]);
            if (s < -mu && s < best) {
                best = s;
                kart = k;
                jdel = 0;
            } else if (s >= -mu) {
                tiny = true;
            }
        }

        int deletedState = 0;
        if (jdel == 0 && kart == 0 && O.minSum == 1 && !feasible) {
            // Minimum sum: the constraint with the largest multiplier over its weight leaves as
            // a violated one.
            double largest = mu + 1.0;
            auto candidate = [&](int j) {
                if (istate[j - 1] == 3) return;
                const double s = signedMultiplier(j) / weight[j - 1];
                if (s > largest) {
                    largest = s;
                    jdel = j;
                }
            };
            for (int t = 1; t <= f.nwr; ++t) candidate(n + rowOfT(t));
            for (int pos = f.nfr + 1; pos <= n; ++pos) candidate(f.varorder[pos - 1]);
            if (jdel != 0) {
                deletedState = mult[jdel - 1] <= 0.0 ? -1 : -2;
                ++ninf;
                minSumDeleted = true;
            }
        }

        if (jdel == 0 && kart == 0) {
            if (!feasible) {
                word = ExitWord::Infeas;
            } else {
                bool artificialFixed = false;
                for (int j = 1; j <= n; ++j)
                    artificialFixed = artificialFixed || istate[j - 1] == 4;
                word = (nzr < nz || artificialFixed || tiny) ? ExitWord::Weak : ExitWord::Optiml;
            }
            return IterOutcome::Exit;
        }

        deletedThisLine = true;
        if (kart != 0) {
            jdelLog = kart;
            jdelCode = 'A';
            tqSwapNull(f, kart, nzr + 1);
        } else {
            jdelLog = jdel <= n ? jdel : jdel - n;
            const int s = istate[jdel - 1];
            jdelCode = s == 1 ? 'L' : (s == 2 ? 'U' : (s == 4 ? 'F' : 'E'));
            istate[jdel - 1] = deletedState;
            if (tqDeleteConstraint(f, jdel, updateWork.data()) != TQStatus::Ok) {
                word = ExitWord::Rowerr;
                return IterOutcome::Exit;
            }
            // The free direction with the largest reduced gradient is released.
            int kmax = nzr + 1;
            for (int k = nzr + 1; k <= f.nz; ++k)
                if (std::fabs(gt[k - 1]) > std::fabs(gt[kmax - 1])) kmax = k;
            if (kmax != nzr + 1) tqSwapNull(f, kmax, nzr + 1);
        }
        ++nzr;
    }
}

} // namespace lp

namespace lp {

// A p over the free variables only (p is zero on the fixed ones): column by column while few
// variables are free, otherwise as one product over the compact copy of the rows outside the
// working set and the free columns (the working rows get 0).
void Solver::directionTimesA() {
    if (nclin == 0) return;
    if (2 * f.nfr >= n) {
        freeBlock.product(p, istate + n, f.varorder, f.nfr, ap);
        return;
    }
    std::fill(ap, ap + nclin, 0.0);
    for (int pos = 1; pos <= f.nfr; ++pos) {
        const int j = f.varorder[pos - 1];
        if (p[j - 1] != 0.0)
            DAXPY(nclin, p[j - 1], P.A + static_cast<std::ptrdiff_t>(j - 1) * P.lda, 1, ap, 1);
    }
}

} // namespace lp

namespace lp {

// The steepest edge among the candidates to leave the working set (pricing holds each one's
// scaled multiplier s and number). A constraint's multiplier is the rate of change of the
// objective per unit of the constraint's own value; divided by the length of the step that
// leaving opens per unit of that value, it is the rate per unit step. With the working set's
// free part A_w Q = (0, T), leaving general row t moves along Q (0, y) with T y = e_t, and
// freeing a fixed variable j moves it by one and the free variables by Q (0, y) with
// T y = -A_w(., j): lengths |y| and sqrt(1 + |y|^2). The lengths are formed for the
// kSteepestCandidates candidates of smallest s only (each costs a triangular solve, and s,
// which never lies above the rate, ranks them well). Returns the candidate of the smallest
// rate, its rate in `best` (every candidate has s below -mu, so one is always chosen).
int Solver::steepestEdge(double& best) {
    const auto k = std::min(pricing.size(), static_cast<std::size_t>(kSteepestCandidates));
    std::partial_sort(pricing.begin(), pricing.begin() + static_cast<std::ptrdiff_t>(k),
                      pricing.end());
    const int nwr = f.nwr;
    const double* T = f.T + static_cast<std::ptrdiff_t>(f.nz) * f.ldt;
    // The right-hand sides, one column per candidate, stored by rows (candidate fastest).
    std::vector<double>& y = steepestWork;
    y.assign(static_cast<std::size_t>(nwr) * k, 0.0);
    for (std::size_t c = 0; c < k; ++c) {
        const int j = pricing[c].second;
        if (j > n) {
            int t = 1;
            while (rowOfT(t) != j - n) ++t;
            y[static_cast<std::size_t>(t - 1) * k + c] = 1.0;
        } else {
            for (int t = 1; t <= nwr; ++t)
                y[static_cast<std::size_t>(t - 1) * k + c] = A(rowOfT(t), j);
        }
    }
    // T Y = B by columns of T from the last, all candidates at once: row i of Y is final once
    // divided by T(i, i), and leaves the rows above it by one rank-one update.
    const int kk = static_cast<int>(k);
    for (int i = nwr - 1; i >= 0; --i) {
        double* yi = y.data() + static_cast<std::size_t>(i) * k;
        const double* ti = T + static_cast<std::ptrdiff_t>(i) * f.ldt;
        DSCAL(kk, 1.0 / ti[i], yi, 1);
        if (i > 0) DGER(kk, i, -1.0, yi, 1, ti, 1, y.data(), kk);
    }
    int chosen = 0;
    best = std::numeric_limits<double>::infinity();
    for (std::size_t c = 0; c < k; ++c) {
        const int j = pricing[c].second;
        double sum = j > n ? 0.0 : 1.0;
        for (int i = 0; i < nwr; ++i)
            sum += y[static_cast<std::size_t>(i) * k + c] * y[static_cast<std::size_t>(i) * k + c];
        const double rate = signedMultiplier(j) / std::sqrt(sum);
        if (rate < best) {
            best = rate;
            chosen = j;
        }
    }
    return chosen;
}

} // namespace lp
