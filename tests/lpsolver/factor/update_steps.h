// One update of the factorisation with what the test expects of it, worked out beforehand from
// dense computations: the status, where the constraint ends up, which directions stay, and the
// model of the working set moved along.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/factor/updates.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/factor/factor_harness.h"

namespace lptest {

// New null-space column k lies in the span of the old columns 1..k+1 (natural order): the
// leading directions keep their meaning through an addition.
inline void expectLeadingSpansKept(const Dense& before, const Dense& after, int nzAfter) {
    for (int k = 1; k <= nzAfter; ++k) {
        for (int l = k + 2; l <= before.cols; ++l) {
            long double dot = 0.0L;
            for (int i = 1; i <= before.rows; ++i) dot += after(i, k) * before(i, l);
            EXPECT_NEAR(static_cast<double>(dot), 0.0, 1e-12) << "new " << k << ", old " << l;
        }
    }
}

// Old null-space columns 1..nz0 unchanged (natural order) after a deletion.
inline void expectOldNullSpaceKept(const Dense& before, const Dense& after, int nz0) {
    for (int k = 1; k <= nz0; ++k)
        for (int i = 1; i <= before.rows; ++i)
            ASSERT_EQ(after(i, k), before(i, k)) << "column " << k << " row " << i;
}

enum class Expect { Ok, Refused, Either };

// Adds general row i during the iterations. Returns the status.
inline lp::TQStatus stepAddRow(Harness& h, int i, double condlim) {
    lp::TQFactor& f = h.f;
    const double d = h.nullNorm(i);
    const auto [tmax, tmin] = h.diagonalRange();
    const double amax = h.amax();
    const double kappa = f.nwr == 0 ? amax / d : std::max(tmax, d) / std::min(tmin, d);
    Expect expect = Expect::Either;
    if (d > 0.0 && kappa < condlim * (1.0 - 1e-6)) expect = Expect::Ok;
    if (d == 0.0 || kappa > condlim * (1.0 + 1e-6)) expect = Expect::Refused;

    const Harness::Snapshot before = h.snapshot();
    const Dense qBefore = h.embeddedQ();
    const int nz0 = f.nz;
    const lp::TQAddResult res = lp::tqAddRow(f, i, condlim, amax, h.work.data());
    if (expect == Expect::Ok) {
        EXPECT_EQ(res.status, lp::TQStatus::Ok) << "kappa " << kappa;
    }
    if (expect == Expect::Refused) {
        EXPECT_EQ(res.status, lp::TQStatus::Refused) << "kappa " << kappa;
    }
    if (res.status == lp::TQStatus::Refused) {
        EXPECT_TRUE(h.snapshot() == before) << "a refused row changed the factorisation";
        return res.status;
    }
    if (res.status != lp::TQStatus::Ok) return res.status;
    h.modelRows.push_back(i);
    EXPECT_EQ(f.nz, nz0 - 1);
    EXPECT_FALSE(f.qIdentity);
    // The new row is on top of T, its diagonal the size of its null-space part.
    EXPECT_NEAR(std::fabs(h.tEl(1, f.nz + 1)), d, 1e-12 * std::max(1.0, d));
    if (d > 1e-8) {
        EXPECT_NEAR(res.cond, kappa, 1e-9 * kappa);
    }
    EXPECT_EQ(res.illConditioned, res.cond >= 1.0 / lp::machine().eps9);
    expectLeadingSpansKept(qBefore, h.embeddedQ(), f.nz);
    return res.status;
}

inline void stepAddBound(Harness& h, int j) {
    lp::TQFactor& f = h.f;
    const std::vector<int> order0 = h.varorder;
    const int nfr0 = f.nfr;
    const int p = static_cast<int>(std::find(order0.begin(), order0.end(), j) - order0.begin()) + 1;
    const bool wasIdentity = f.qIdentity;
    const Dense qBefore = h.embeddedQ();
    ASSERT_EQ(lp::tqAddBound(f, j, h.work.data()), lp::TQStatus::Ok);
    h.modelFixed[j - 1] = true;
    EXPECT_EQ(f.nfr, nfr0 - 1);
    EXPECT_EQ(h.varorder[nfr0 - 1], j) << "the variable goes to the last free position";
    if (wasIdentity) {
        // The other free variables keep their order.
        std::vector<int> want(order0.begin(), order0.begin() + nfr0);
        want.erase(want.begin() + (p - 1));
        EXPECT_EQ(std::vector<int>(h.varorder.begin(), h.varorder.begin() + f.nfr), want);
    } else if (p != nfr0) {
        // The last free variable takes its place.
        EXPECT_EQ(h.varorder[p - 1], order0[nfr0 - 1]);
    }
    for (int k = nfr0 + 1; k <= h.n; ++k) EXPECT_EQ(h.varorder[k - 1], order0[k - 1]);
    expectLeadingSpansKept(qBefore, h.embeddedQ(), f.nz);
}

inline void stepDelete(Harness& h, int jdel) {
    lp::TQFactor& f = h.f;
    const int nz0 = f.nz;
    const int nfr0 = f.nfr;
    const Dense qBefore = h.embeddedQ();
    const std::vector<int> order0 = h.varorder;
    ASSERT_EQ(lp::tqDeleteConstraint(f, jdel, h.work.data()), lp::TQStatus::Ok);
    if (jdel > h.n) {
        h.modelRows.erase(std::find(h.modelRows.begin(), h.modelRows.end(), jdel - h.n));
        EXPECT_EQ(f.nfr, nfr0);
    } else {
        h.modelFixed[jdel - 1] = false;
        EXPECT_EQ(f.nfr, nfr0 + 1);
        EXPECT_EQ(h.varorder[f.nfr - 1], jdel) << "the variable joins at position nfr";
        const int q =
            static_cast<int>(std::find(order0.begin(), order0.end(), jdel) - order0.begin()) + 1;
        if (q != f.nfr) {
            EXPECT_EQ(h.varorder[q - 1], order0[f.nfr - 1]);
        }
    }
    EXPECT_EQ(f.nz, nz0 + 1);
    expectOldNullSpaceKept(qBefore, h.embeddedQ(), nz0);
}

} // namespace lptest
