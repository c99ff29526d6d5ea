// The debug checks of the factorisation notice what they are there to notice.
#include <gtest/gtest.h>

#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/updates.h"
#include "tests/lpsolver/factor/factor_harness.h"
#include "tests/lpsolver/factor/update_steps.h"

using namespace lp;
using namespace lptest;

TEST(FactorisationCheck, CleanFactorisationThenEachKindOfDamage) {
    Random rnd(81);
    Harness h(6, 4, rnd);
    stepAddBound(h, 2);
    for (int i : {1, 3}) ASSERT_EQ(stepAddRow(h, i, 1.0e30), TQStatus::Ok);
    const TQCheckResult good = tqCheck(h.f);
    EXPECT_TRUE(good.consistent);
    EXPECT_LT(good.orthogonality, 1e-14);
    EXPECT_LT(good.residual, 1e-14);
    EXPECT_EQ(good.lowerPart, 0.0);

    Harness q = h;
    q.f.Q = q.Q.data();
    q.f.tStore = q.T.data();
    q.f.T = q.T.data() + (h.f.T - h.T.data());
    q.f.A = q.A.data();
    q.f.varorder = q.varorder.data();
    q.f.rowlist = q.rowlist.data();
    q.Q[1] += 1.0e-6;
    const TQCheckResult badQ = tqCheck(q.f);
    EXPECT_GT(badQ.orthogonality, 1e-7);
    EXPECT_GT(badQ.residual, 1e-8);

    Harness t = h;
    t.f.Q = t.Q.data();
    t.f.tStore = t.T.data();
    t.f.T = t.T.data() + (h.f.T - h.T.data());
    t.f.A = t.A.data();
    t.f.varorder = t.varorder.data();
    t.f.rowlist = t.rowlist.data();
    t.f.T[(2 - 1) + (t.f.nz + 1 - 1) * t.ldt] = 0.5; // below the diagonal
    const TQCheckResult badT = tqCheck(t.f);
    EXPECT_EQ(badT.lowerPart, 0.5);
    EXPECT_GT(badT.residual, 0.4);

    Harness v = h;
    v.f.varorder = v.varorder.data();
    v.f.rowlist = v.rowlist.data();
    v.varorder[0] = v.varorder[1];
    EXPECT_FALSE(tqCheck(v.f).consistent);
}

TEST(FactorisationCheck, UpdatesRecordWhenSwitchedOn) {
    Random rnd(82);
    Harness h(5, 3, rnd);
    TQCheckStats stats;
    ASSERT_EQ(stepAddRow(h, 1, 1.0e30), TQStatus::Ok); // not recorded: switched off
    h.f.checks = &stats;
    stepAddBound(h, 3);
    stepDelete(h, 5 + 1);
    EXPECT_EQ(stats.checked, 2);
    EXPECT_TRUE(stats.allConsistent);
    EXPECT_LT(stats.worstOrthogonality, 1e-14);
}
