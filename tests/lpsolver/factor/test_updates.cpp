// The four factorisation updates one at a time: the batch of rows at the start of a solve with
// its refusals, one row during the iterations (refusal, ill-conditioning report), one bound
// (with Q stored or still the identity), and the deletion of a row or a bound.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/factor/updates.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/factor/factor_harness.h"
#include "tests/lpsolver/factor/update_steps.h"

using namespace lp;
using namespace lptest;

namespace {

// Puts rows into the batch candidates with state 1 (at the lower bound).
void setCandidates(Harness& h, const std::vector<int>& rows) {
    for (std::size_t l = 0; l < rows.size(); ++l) {
        h.rowlist[l] = rows[l];
        h.istate[h.n + rows[l] - 1] = 1;
    }
}

} // namespace

TEST(BatchOfRows, RefusesDependentAndBadlyScaledRows) {
    Random rnd(61);
    Harness h(6, 6, rnd);
    // Row 3 depends on rows 1 and 2; row 5 is tiny next to the others.
    for (int j = 1; j <= 6; ++j) {
        h.a(3, j) = h.a(1, j) - 2.0 * h.a(2, j);
        h.a(5, j) *= 1.0e-9;
    }
    setCandidates(h, {1, 2, 3, 4, 5, 6});
    const int refused =
        tqAddRows(h.f, 6, h.istate.data(), machine().condlim, h.amax(), h.work.data());
    EXPECT_EQ(refused, 2);
    h.modelRows = {1, 2, 4, 6};
    EXPECT_EQ(h.istate[6 + 3 - 1], 0);
    EXPECT_EQ(h.istate[6 + 5 - 1], 0);
    for (int i : {1, 2, 4, 6}) EXPECT_EQ(h.istate[6 + i - 1], 1);
    EXPECT_FALSE(h.f.qIdentity);
    expectInvariants(h, "after the batch");
}

TEST(BatchOfRows, FirstRowIsMeasuredAgainstTheLargestRowNorm) {
    Random rnd(62);
    Harness h(5, 4, rnd);
    for (int j = 1; j <= 5; ++j) h.a(4, j) *= 1.0e9; // not a candidate, but sets amax
    setCandidates(h, {1, 2, 3});
    const int refused =
        tqAddRows(h.f, 3, h.istate.data(), machine().condlim, h.amax(), h.work.data());
    EXPECT_EQ(refused, 3); // each would start T at about 1e-9 of amax
    EXPECT_EQ(h.f.nwr, 0);
    expectInvariants(h, "all refused");

    Harness ok(5, 4, rnd);
    setCandidates(ok, {1, 2, 3});
    EXPECT_EQ(tqAddRows(ok.f, 3, ok.istate.data(), machine().condlim, ok.amax(), ok.work.data()),
              0);
    ok.modelRows = {1, 2, 3};
    expectInvariants(ok, "all accepted");
}

TEST(BatchOfRows, WithFixedVariablesAndMoreRowsThanFreeVariables) {
    Random rnd(63);
    Harness h(8, 12, rnd);
    for (int j : {2, 7, 5}) stepAddBound(h, j);
    std::vector<int> cand{12, 3, 8, 1, 5, 10, 2};
    setCandidates(h, cand);
    const int refused =
        tqAddRows(h.f, 7, h.istate.data(), machine().condlim, h.amax(), h.work.data());
    // Five free variables: the sixth and seventh rows are dependent on the first five.
    EXPECT_EQ(refused, 2);
    h.modelRows = {12, 3, 8, 1, 5};
    EXPECT_EQ(h.f.nz, 0);
    expectInvariants(h, "full working set");
}

TEST(BatchOfRows, EmptyBatchLeavesQTheIdentity) {
    Random rnd(64);
    Harness h(4, 3, rnd);
    EXPECT_EQ(tqAddRows(h.f, 0, h.istate.data(), machine().condlim, 1.0, h.work.data()), 0);
    EXPECT_TRUE(h.f.qIdentity);
    expectInvariants(h, "empty batch");
}

TEST(AddOneRow, FromTheIdentityAndOnTopOfOthers) {
    Random rnd(65);
    Harness h(7, 5, rnd);
    stepAddBound(h, 4);
    for (int i : {2, 5, 1}) {
        ASSERT_EQ(stepAddRow(h, i, kHuge), TQStatus::Ok);
        expectInvariants(h, "row " + std::to_string(i));
    }
}

TEST(AddOneRow, RowWithoutNullSpacePartIsRefusedEvenWithoutALimit) {
    Random rnd(66);
    Harness h(5, 3, rnd);
    // Row 2 touches only variable 3, which is fixed: its free part is exactly zero.
    for (int j = 1; j <= 5; ++j) h.a(2, j) = j == 3 ? 1.0 : 0.0;
    stepAddBound(h, 3);
    ASSERT_EQ(stepAddRow(h, 1, kHuge), TQStatus::Ok);
    EXPECT_EQ(stepAddRow(h, 2, kHuge), TQStatus::Refused);
    expectInvariants(h, "after the refusal");
}

TEST(AddOneRow, IllConditioningIsReportedAndTheLimitRefuses) {
    Random rnd(67);
    Harness h(6, 4, rnd);
    // Row 3 is row 1 plus a tiny independent part.
    for (int j = 1; j <= 6; ++j) h.a(3, j) = h.a(1, j) + (j == 2 ? 1.0e-15 : 0.0);
    ASSERT_EQ(stepAddRow(h, 1, kHuge), TQStatus::Ok);
    ASSERT_EQ(stepAddRow(h, 2, kHuge), TQStatus::Ok);
    expectInvariants(h, "two rows");

    // Under the start-up limit the row is refused, nothing changes.
    EXPECT_EQ(stepAddRow(h, 3, machine().condlim), TQStatus::Refused);
    // During the iterations (limit huge) it enters with the report flag.
    const TQAddResult res = tqAddRow(h.f, 3, kHuge, h.amax(), h.work.data());
    ASSERT_EQ(res.status, TQStatus::Ok);
    EXPECT_TRUE(res.illConditioned);
    EXPECT_GT(res.cond, 1.0 / machine().eps9);
    h.modelRows.push_back(3);
    expectInvariants(h, "ill-conditioned row in", 1e-11);

    // A well-scaled row raises no flag.
    Harness g(6, 4, rnd);
    const TQAddResult fine = tqAddRow(g.f, 1, kHuge, g.amax(), g.work.data());
    EXPECT_EQ(fine.status, TQStatus::Ok);
    EXPECT_FALSE(fine.illConditioned);
}

TEST(AddOneRow, IllConditioningThresholdIsOneOverEpsToThePointNine) {
    // Row 1 = e1 gives T = (1); row 2 = s*e2 then has the estimate 1/s exactly.
    for (const double s : {1.0e-13, 1.0e-15}) {
        Random rnd(75);
        Harness h(3, 2, rnd);
        for (int j = 1; j <= 3; ++j) {
            h.a(1, j) = j == 1 ? 1.0 : 0.0;
            h.a(2, j) = j == 2 ? s : 0.0;
        }
        ASSERT_EQ(tqAddRow(h.f, 1, kHuge, 1.0, h.work.data()).status, TQStatus::Ok);
        const TQAddResult res = tqAddRow(h.f, 2, kHuge, 1.0, h.work.data());
        ASSERT_EQ(res.status, TQStatus::Ok);
        EXPECT_DOUBLE_EQ(res.cond, 1.0 / s);
        // 1/eps^0.9 is about 2.3e14.
        EXPECT_EQ(res.illConditioned, s < 1.0e-14) << s;
    }
}

TEST(AddOneBound, WhileQIsTheIdentityTheOrderOfTheOthersStays) {
    Random rnd(68);
    Harness h(6, 0, rnd);
    for (int j : {3, 1, 6, 2, 5, 4}) {
        stepAddBound(h, j);
        expectInvariants(h, "bound on " + std::to_string(j));
        EXPECT_TRUE(h.f.qIdentity);
    }
    EXPECT_EQ(h.f.nfr, 0);
    EXPECT_EQ(h.varorder, (std::vector<int>{4, 5, 2, 6, 1, 3}));
}

TEST(AddOneBound, WithQStored) {
    Random rnd(69);
    Harness h(7, 4, rnd);
    ASSERT_EQ(stepAddRow(h, 2, kHuge), TQStatus::Ok);
    ASSERT_EQ(stepAddRow(h, 4, kHuge), TQStatus::Ok);
    for (int j : {5, 1, 7, 3, 2}) {
        stepAddBound(h, j);
        expectInvariants(h, "bound on " + std::to_string(j));
    }
    EXPECT_EQ(h.f.nz, 0);
}

TEST(DeleteConstraint, GeneralRowsAtEveryPosition) {
    Random rnd(70);
    for (int pos = 1; pos <= 4; ++pos) {
        Harness h(7, 6, rnd);
        stepAddBound(h, 3);
        for (int i : {6, 1, 4, 2}) ASSERT_EQ(stepAddRow(h, i, kHuge), TQStatus::Ok);
        const int row = h.modelRows[pos - 1];
        stepDelete(h, h.n + row);
        expectInvariants(h, "deleted the row entered " + std::to_string(pos) + ".");
    }
}

TEST(DeleteConstraint, BoundsWithQStoredAndWithTheIdentity) {
    Random rnd(71);
    Harness h(6, 3, rnd);
    for (int j : {2, 6}) stepAddBound(h, j);
    stepDelete(h, 6); // Q still the identity
    EXPECT_TRUE(h.f.qIdentity);
    expectInvariants(h, "identity");
    for (int i : {3, 1}) ASSERT_EQ(stepAddRow(h, i, kHuge), TQStatus::Ok);
    stepAddBound(h, 4);
    stepAddBound(h, 1);
    for (int j : {2, 4, 1}) {
        stepDelete(h, j);
        expectInvariants(h, "freed " + std::to_string(j));
    }
}

TEST(DeleteConstraint, EveryRowThenEveryBoundUntilEmpty) {
    Random rnd(72);
    Harness h(5, 5, rnd);
    for (int j : {5, 2}) stepAddBound(h, j);
    for (int i : {4, 2, 5}) ASSERT_EQ(stepAddRow(h, i, kHuge), TQStatus::Ok);
    expectInvariants(h, "full");
    EXPECT_EQ(h.f.nz, 0);
    for (int jdel : {5 + 2, 5, 5 + 4, 2, 5 + 5}) {
        stepDelete(h, jdel);
        expectInvariants(h, "deleted " + std::to_string(jdel));
    }
    EXPECT_EQ(h.f.nfr, 5);
    EXPECT_EQ(h.f.nwr, 0);
    EXPECT_EQ(h.f.tmax, 1.0);
    EXPECT_EQ(h.f.tmin, 1.0);
}

TEST(Updates, InvalidRequestsChangeNothing) {
    Random rnd(73);
    Harness h(4, 3, rnd);
    stepAddBound(h, 2);
    ASSERT_EQ(stepAddRow(h, 1, kHuge), TQStatus::Ok);
    const Harness::Snapshot before = h.snapshot();
    EXPECT_EQ(tqAddBound(h.f, 2, h.work.data()), TQStatus::Invalid);             // already fixed
    EXPECT_EQ(tqAddBound(h.f, 9, h.work.data()), TQStatus::Invalid);             // no such variable
    EXPECT_EQ(tqDeleteConstraint(h.f, 3, h.work.data()), TQStatus::Invalid);     // a free variable
    EXPECT_EQ(tqDeleteConstraint(h.f, 4 + 2, h.work.data()), TQStatus::Invalid); // row not in
    EXPECT_EQ(tqDeleteConstraint(h.f, 4 + 7, h.work.data()), TQStatus::Invalid);
    EXPECT_EQ(tqAddRow(h.f, 0, kHuge, 1.0, h.work.data()).status, TQStatus::Invalid);
    EXPECT_EQ(tqAddRow(h.f, 4, kHuge, 1.0, h.work.data()).status, TQStatus::Invalid);
    EXPECT_TRUE(h.snapshot() == before);

    // No null space left: a bound cannot enter.
    stepAddBound(h, 1);
    ASSERT_EQ(stepAddRow(h, 3, kHuge), TQStatus::Ok);
    ASSERT_EQ(h.f.nz, 0);
    EXPECT_EQ(tqAddBound(h.f, 3, h.work.data()), TQStatus::Invalid);
}

TEST(Updates, SwappingNullSpaceDirections) {
    Random rnd(74);
    for (bool stored : {false, true}) {
        Harness h(6, 2, rnd);
        if (stored) {
            ASSERT_EQ(stepAddRow(h, 1, kHuge), TQStatus::Ok);
        }
        const Dense before = h.embeddedQ();
        tqSwapNull(h.f, 1, h.f.nz);
        expectInvariants(h, stored ? "stored" : "identity");
        const Dense after = h.embeddedQ();
        for (int i = 1; i <= h.n; ++i) {
            EXPECT_EQ(after(i, 1), before(i, h.f.nz));
            EXPECT_EQ(after(i, h.f.nz), before(i, 1));
        }
    }
}
