// The solver's calling contract: input checks with their messages, exit codes, printing by
// print level, the solution listing, and the failure convention.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/options.h"
#include "tests/lpsolver/contract/lp_call.h"
#include "tests/lpsolver/contract/lp_output.h"

using namespace lp;
using lp::test::CapturedOutput;
using lp::test::LPCall;

namespace {

class Contract : public ::testing::Test {
protected:
    void SetUp() override {
        optionSlots().reset();
        startOptionBatch();
        LPOPTN("Nolist");
        LPOPTN("Print level 0");
    }
    void TearDown() override { optionSlots().reset(); }
};

// max -x1 - x2 over x1 + 2 x2 <= 4, 3 x1 + x2 <= 6, x >= 0: optimum (1.6, 1.2), value -2.8.
LPCall smallLP() {
    LPCall c(2, 2);
    c.a(1, 1) = 1, c.a(1, 2) = 2, c.a(2, 1) = 3, c.a(2, 2) = 1;
    c.bl = {0, 0, -1e20, -1e20};
    c.bu = {1e20, 1e20, 4, 6};
    c.cost = {-1, -1};
    return c;
}

} // namespace

TEST_F(Contract, NoVariablesLeavesTheArraysAlone) {
    CapturedOutput out;
    LPCall c(0, 0);
    c.x = {7.0};
    c.istate = {9};
    EXPECT_EQ(c.solve(-1), 6);
    EXPECT_EQ(c.niter, 0);
    EXPECT_EQ(c.x[0], 7.0);
    EXPECT_EQ(c.istate[0], 9);
    EXPECT_EQ(out.records,
              (std::vector<std::string>{
                  "", " ** On entry, N.le.0:", "    N =                0", "",
                  " **       1 errors found in the input parameters.  Problem abandoned.",
                  " ** ABNORMAL EXIT from solver routine LPSOLV: IFAIL =     6",
                  " ** Soft failure - control returned"}));
}

TEST_F(Contract, SilentModePrintsNothing) {
    CapturedOutput out;
    LPCall c(0, 0);
    EXPECT_EQ(c.solve(1), 6);
    LPCall d = smallLP();
    d.bu[0] = -1.0; // inconsistent with its lower bound 0
    EXPECT_EQ(d.solve(1), 6);
    LPCall e = smallLP();
    EXPECT_EQ(e.solve(1), 0);
    EXPECT_TRUE(out.records.empty()) << out.text();
}

TEST_F(Contract, NegativeCountsAndShortLeadingDimension) {
    CapturedOutput out;
    LPCall c = smallLP();
    c.nclin = -1;
    EXPECT_EQ(c.solve(-1), 6);
    EXPECT_TRUE(out.contains(" ** On entry, NCLIN.lt.0:"));
    EXPECT_TRUE(out.contains("    NCLIN =               -1"));
    out.clear();
    LPCall d = smallLP();
    d.lda = 1;
    EXPECT_EQ(d.solve(-1), 6);
    EXPECT_TRUE(out.contains(" ** On entry, LDA.lt.max(1,NCLIN):"));
    EXPECT_TRUE(out.contains("    LDA =                1   NCLIN =                2"));
}

TEST_F(Contract, WorkspaceOneWordShort) {
    CapturedOutput out;
    LPCall c = smallLP();
    c.work.resize(c.work.size() - 1); // the need is 6N + 5 NCLIN + N + 2*2 + 2*2 = 32
    ASSERT_EQ(c.work.size(), 31u);
    c.x = {0.5, 0.5};
    EXPECT_EQ(c.solve(-1), 6);
    EXPECT_EQ(c.x, (std::vector<double>{0.5, 0.5}));
    EXPECT_TRUE(out.contains(" Workspace provided is     IWORK(       7),  WORK(      31)."));
    EXPECT_TRUE(out.contains(" To solve problem we need  IWORK(       7),  WORK(      32)."));
    EXPECT_TRUE(out.contains(" ** Not enough workspace to solve problem."));
    out.clear();
    LPCall d = smallLP();
    d.iwork.resize(6);
    EXPECT_EQ(d.solve(1), 6);
    EXPECT_TRUE(out.records.empty());
    // Enough workspace: the line goes to the print unit when the print level is above 0.
    LPOPTN("Print level 1");
    LPCall e = smallLP();
    EXPECT_EQ(e.solve(1), 0);
    EXPECT_TRUE(out.contains(" To solve problem we need  IWORK(       7),  WORK(      32)."));
}

TEST_F(Contract, WorkspaceNeedByShape) {
    // Type LP: NCLIN >= N needs 2N^2 + 7N + 5 NCLIN; 0 < NCLIN < N 2(NCLIN+1)^2 + 7N + 5 NCLIN;
    // NCLIN = 0 needs 7N + 1.
    EXPECT_EQ(workspaceLayout(10, 30, true).needReal, 2 * 100 + 70 + 150);
    EXPECT_EQ(workspaceLayout(10, 4, true).needReal, 2 * 25 + 70 + 20);
    EXPECT_EQ(workspaceLayout(10, 0, true).needReal, 71);
    EXPECT_EQ(workspaceLayout(10, 0, false).needReal, 61);
    EXPECT_EQ(workspaceLayout(720, 2520, true).needReal, 2LL * 720 * 720 + 7 * 720 + 5 * 2520);
    EXPECT_EQ(workspaceLayout(720, 2520, true).needInt, 2 * 720 + 3);
}

TEST_F(Contract, BoundMessages) {
    CapturedOutput out;
    LPCall c = smallLP();
    c.bl[1] = c.bu[1] = 1.0e25; // equal and infinite
    c.bl[3] = 7.0;              // row 2: 7 > 6
    EXPECT_EQ(c.solve(-1), 6);
    EXPECT_TRUE(out.contains(" ** On entry, the equal bounds on  Varbl  2  are infinite (because"))
        << out.text();
    EXPECT_TRUE(
        out.contains("    BL(   2).eq.beta and BU(   2).eq.beta, but abs(beta).ge.bigbnd):"));
    EXPECT_TRUE(out.contains("    beta =   0.1000000E+26 bigbnd =   0.9999900E+20"));
    EXPECT_TRUE(out.contains(" ** On entry, the bounds on  L Con  2  are inconsistent:"));
    EXPECT_TRUE(out.contains("    BL(   4) =    7.000000       BU(   4) =    6.000000"));
    EXPECT_TRUE(
        out.contains(" **       2 errors found in the input parameters.  Problem abandoned."));
}

TEST_F(Contract, InfiniteBoundOptionMakesABoundAbsent) {
    LPOPTN("Infinite bound size 1.0E+20");
    LPCall c = smallLP();
    c.bl[2] = c.bu[2] = 1.0e20; // equal bounds at the (scaled) infinite size
    EXPECT_EQ(c.solve(1), 6);
    LPCall d = smallLP();
    d.bu[0] = 1.0e20; // exactly 1.0E+20 counts as infinite
    EXPECT_EQ(d.solve(1), 0);
}

TEST_F(Contract, WarmStartStateOutOfRange) {
    CapturedOutput out;
    LPOPTN("Warm start");
    LPCall c = smallLP();
    c.istate = {0, 5, 0, 0};
    EXPECT_EQ(c.solve(-1), 6);
    EXPECT_EQ(c.istate[1], 5);
    EXPECT_TRUE(out.contains(" ** On entry with a Warm Start, ISTATE(   2) is out of range:"));
    EXPECT_TRUE(out.contains("    ISTATE(   2) =                5"));
    // A Cold start does not look at the states.
    LPOPTN("Cold start");
    EXPECT_EQ(c.solve(1), 0);
}

TEST_F(Contract, InvalidProblemType) {
    CapturedOutput out;
    LPOPTN("Problem type QP");
    LPCall c = smallLP();
    out.clear();
    EXPECT_EQ(c.solve(-1), 7);
    EXPECT_TRUE(out.contains(" ** Problem type not recognized.  Problem abandoned."));
    EXPECT_EQ(c.niter, 0);
}

TEST_F(Contract, OptionsAreRestoredAfterTheCall) {
    LPOPTN("Iterations -1");
    LPCall c = smallLP();
    EXPECT_EQ(c.solve(1), 0);
    EXPECT_EQ(optionSlots().IOPT[kIterationLimit], -1);
    EXPECT_EQ(optionSlots().IOPT[kCheckFrequency], kUnsetInt);
}

TEST_F(Contract, ListingAtPrintLevelOne) {
    CapturedOutput out;
    LPOPTN("Print level 1");
    LPCall c = smallLP();
    EXPECT_EQ(c.solve(1), 0);
    const std::vector<std::string>& r = out.records;
    ASSERT_GE(r.size(), 30u);
    EXPECT_EQ(r[1], " *** LPSOLV");
    EXPECT_TRUE(out.contains(" Problem type...........        LP"));
    EXPECT_TRUE(
        out.contains(" Linear constraints.....         2       Feasibility tolerance..  1.05D-08"));
    EXPECT_TRUE(out.contains(" Infinite bound size....  1.00D+20       COLD start............."));
    EXPECT_TRUE(out.contains(" Minimum sum of infeas..        NO"));
    EXPECT_TRUE(out.contains(
        " Varbl State     Value       Lower Bound   Upper Bound    Lagr Mult   Slack"));
    EXPECT_TRUE(
        out.contains(" V   1    FR    1.60000            .            None           .      1.600"))
        << out.text();
    EXPECT_TRUE(
        out.contains(" L   1    UL    4.00000           None      4.00000     -0.4000          ."));
    EXPECT_TRUE(out.contains(" Exit LPSOLV - Optimal LP solution."));
    EXPECT_TRUE(out.contains(" Final LP objective value =   -2.800000"));
    EXPECT_TRUE(out.contains(" Exit from LP problem after     2 iterations."));
}

TEST_F(Contract, SolutionFlagsAndBlankColumns) {
    CapturedOutput out;
    LPOPTN("Print level 1");
    // min x1 over x1 >= 0 with a free x2 in no constraint: x2 stays free, x1 at its bound.
    LPCall c(2, 1);
    c.a(1, 1) = 1.0;
    c.bl = {0.0, -1e20, -1e20};
    c.bu = {1e20, 1e20, 1e20};
    c.cost = {1.0, 0.0};
    c.solve(1);
    // Both bounds of x2 absent: no multiplier and no slack shown.
    EXPECT_TRUE(out.contains(" V   2  A TF    0.00000           None          None")) << out.text();
    // Row 1 has no bounds either.
    EXPECT_TRUE(out.contains(" L   1    FR    0.00000           None          None")) << out.text();
}

TEST(ContractDeath, HardFailureStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    optionSlots().reset();
    LPOPTN("Nolist");
    LPOPTN("Print level 0");
    LPCall c(0, 0);
    EXPECT_EXIT(c.solve(0), ::testing::ExitedWithCode(1), "");
    optionSlots().reset();
}
