// A working-set factorisation over a random constraint matrix, with storage sized exactly (so
// that the sanitizers see any overrun), a model of the working set kept by the test itself, and
// the invariants checked by independent dense computations in long double.
#pragma once

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/factor/tq_factor.h"
#include "tests/lpsolver/dense_reference.h"

namespace lptest {

struct Harness {
    int n;
    int nclin;
    int lda;
    int ldq;
    int ldt;
    int ldqvec;
    std::vector<double> A;
    std::vector<int> varorder;
    std::vector<int> rowlist;
    std::vector<int> istate;
    std::vector<double> Q;
    std::vector<double> T;
    std::vector<double> qvec;
    std::vector<double> work;
    std::vector<std::vector<double>> g; // natural-order vectors whose Q'g is kept in qvec
    lp::TQFactor f;

    // Model of the working set: general rows in order of entry, fixed variables.
    std::vector<int> modelRows;
    std::vector<bool> modelFixed;

    Harness(int nvar, int nrows, Random& rnd)
        : n(nvar), nclin(nrows), lda(nrows + 2), ldq(nvar + 2), ldt(nvar + 3), ldqvec(nvar + 1),
          A(static_cast<std::size_t>(lda) * nvar), varorder(nvar),
          rowlist(std::max(1, std::min(nvar, nrows))), istate(nvar + nrows, 0),
          Q(static_cast<std::size_t>(ldq) * nvar), T(static_cast<std::size_t>(ldt) * nvar),
          qvec(static_cast<std::size_t>(ldqvec) * 2), work(3 * static_cast<std::size_t>(nvar)),
          g(2, std::vector<double>(nvar)), modelFixed(nvar, false) {
        for (double& v : A) v = rnd.uniform();
        for (double& v : Q) v = 1.0e30; // garbage outside what the factorisation writes
        for (double& v : T) v = 1.0e30;
        for (auto& col : g)
            for (double& v : col) v = rnd.uniform();
        for (int k = 1; k <= n; ++k) varorder[k - 1] = k;
        f.n = n;
        f.nclin = nclin;
        f.A = A.data();
        f.lda = lda;
        f.varorder = varorder.data();
        f.rowlist = rowlist.data();
        f.maxrows = static_cast<int>(rowlist.size());
        f.Q = Q.data();
        f.ldq = ldq;
        f.T = T.data();
        f.ldt = ldt;
        f.tcols = n;
        f.qvec = qvec.data();
        f.ldqvec = ldqvec;
        f.nqvec = 2;
        lp::tqReset(f, n);
        // Q = I and every variable free: qvec is g itself.
        for (int c = 0; c < 2; ++c)
            for (int k = 1; k <= n; ++k) qvec[(k - 1) + c * ldqvec] = g[c][k - 1];
    }

    double& a(int i, int j) { return A[(i - 1) + static_cast<std::size_t>(j - 1) * lda]; }
    // T as the factor sees it (it may sit lower in its storage).
    double tEl(int i, int j) const { return f.T[(i - 1) + static_cast<std::size_t>(j - 1) * ldt]; }

    long double qEl(int i, int j) const {
        if (f.qIdentity) return i == j ? 1.0L : 0.0L;
        return Q[(i - 1) + static_cast<std::size_t>(j - 1) * ldq];
    }

    double amax() const {
        double best = 0.0;
        for (int i = 1; i <= nclin; ++i) {
            long double s = 0.0L;
            for (int j = 1; j <= n; ++j) {
                const double v = A[(i - 1) + static_cast<std::size_t>(j - 1) * lda];
                s += static_cast<long double>(v) * v;
            }
            best = std::max(best, std::sqrt(static_cast<double>(s)));
        }
        return best;
    }

    // Columns of Q as vectors over all variables (natural order; zero at fixed variables).
    Dense embeddedQ() const {
        Dense e(n, f.nfr);
        for (int i = 1; i <= f.nfr; ++i)
            for (int k = 1; k <= f.nfr; ++k) e(varorder[i - 1], k) = qEl(i, k);
        return e;
    }

    // Row i of A over the free variables in permuted order, times Q (long double).
    std::vector<long double> rowTimesQ(int i) const {
        std::vector<long double> out(f.nfr, 0.0L);
        for (int k = 1; k <= f.nfr; ++k) {
            long double s = 0.0L;
            for (int p = 1; p <= f.nfr; ++p)
                s += static_cast<long double>(
                         A[(i - 1) + static_cast<std::size_t>(varorder[p - 1] - 1) * lda]) *
                     qEl(p, k);
            out[k - 1] = s;
        }
        return out;
    }

    // Norm of the null-space part of row i: ||Z'a||.
    double nullNorm(int i) const {
        const std::vector<long double> v = rowTimesQ(i);
        long double s = 0.0L;
        for (int k = 1; k <= f.nz; ++k) s += v[k - 1] * v[k - 1];
        return std::sqrt(static_cast<double>(s));
    }

    // Largest and smallest |diagonal| of T, from the storage layout.
    std::pair<double, double> diagonalRange() const {
        if (f.nwr == 0) return {1.0, 1.0};
        double big = 0.0, small = 1.0e308;
        for (int r = 1; r <= f.nwr; ++r) {
            const double d = std::fabs(tEl(r, f.nz + r));
            big = std::max(big, d);
            small = std::min(small, d);
        }
        return {big, small};
    }

    // Snapshot of everything an update may change, for "nothing changed" checks.
    struct Snapshot {
        int nfr, nwr, nz;
        bool qIdentity;
        std::vector<int> varorder, rowlist;
        std::vector<double> Q, T, qvec;
        double tmax, tmin;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const {
        return {f.nfr, f.nwr, f.nz, f.qIdentity, varorder, rowlist, Q, T, qvec, f.tmax, f.tmin};
    }
};

// Checks every invariant of the factorisation against dense computations and the model.
inline void expectInvariants(const Harness& h, const std::string& where, double tol = 1e-12) {
    SCOPED_TRACE(where);
    const lp::TQFactor& f = h.f;
    const int n = h.n;

    // Counts and the model.
    ASSERT_EQ(f.nz, f.nfr - f.nwr);
    ASSERT_GE(f.nz, 0);
    ASSERT_EQ(f.nwr, static_cast<int>(h.modelRows.size()));
    for (int l = 1; l <= f.nwr; ++l) ASSERT_EQ(h.rowlist[l - 1], h.modelRows[l - 1]) << l;
    std::vector<int> seen(n + 1, 0);
    for (int k = 1; k <= n; ++k) {
        const int j = h.varorder[k - 1];
        ASSERT_TRUE(j >= 1 && j <= n);
        ASSERT_EQ(seen[j]++, 0) << "variable " << j << " twice in varorder";
        ASSERT_EQ(k > f.nfr, static_cast<bool>(h.modelFixed[j - 1])) << "variable " << j;
    }

    // Q orthogonal.
    double orth = 0.0;
    for (int i = 1; i <= f.nfr; ++i)
        for (int j = i; j <= f.nfr; ++j) {
            long double s = 0.0L;
            for (int k = 1; k <= f.nfr; ++k) s += h.qEl(k, i) * h.qEl(k, j);
            orth = std::max(orth, static_cast<double>(std::fabs(s - (i == j ? 1.0L : 0.0L))));
        }
    EXPECT_LT(orth, tol) << "Q'Q - I";

    // A_w Q = (0 T), T upper triangular with exact zeros below its diagonal.
    const double scale = std::max(1.0, h.amax());
    double resid = 0.0;
    for (int r = 1; r <= f.nwr; ++r) {
        const int row = h.modelRows[f.nwr - r]; // latest entry on top
        const std::vector<long double> v = h.rowTimesQ(row);
        for (int k = 1; k <= f.nfr; ++k) {
            const long double want = k > f.nz ? h.tEl(r, k) : 0.0L;
            resid = std::max(resid, static_cast<double>(std::fabs(v[k - 1] - want)));
            if (k > f.nz && k - f.nz < r) {
                EXPECT_EQ(h.tEl(r, k), 0.0) << "T(" << r << "," << k - f.nz << ")";
            }
        }
    }
    EXPECT_LT(resid, tol * scale) << "A_w Q - (0 T)";

    const auto [tmax, tmin] = h.diagonalRange();
    EXPECT_EQ(f.tmax, tmax);
    EXPECT_EQ(f.tmin, tmin);

    // qvec = Q'g over the free positions, g itself over the fixed ones.
    for (int c = 0; c < f.nqvec; ++c) {
        for (int k = 1; k <= n; ++k) {
            long double want = 0.0L;
            if (k <= f.nfr) {
                for (int i = 1; i <= f.nfr; ++i)
                    want += h.qEl(i, k) * static_cast<long double>(h.g[c][h.varorder[i - 1] - 1]);
            } else {
                want = h.g[c][h.varorder[k - 1] - 1];
            }
            EXPECT_NEAR(h.qvec[(k - 1) + static_cast<std::size_t>(c) * h.ldqvec],
                        static_cast<double>(want), tol * 10.0)
                << "qvec(" << k << "," << c + 1 << ")";
        }
    }
}

} // namespace lptest
