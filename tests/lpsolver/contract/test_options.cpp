// Option lines: dictionaries, abbreviations, values, messages, the option listing, defaults.
#include <cmath>

#include <gtest/gtest.h>

#include "lpsolver/lpsolv.h"
#include "lpsolver/machine.h"
#include "lpsolver/options.h"
#include "tests/lpsolver/contract/lp_output.h"

using namespace lp;
using lp::test::CapturedOutput;

namespace {

// Every test starts from unset options and a fresh listing batch.
class Options : public ::testing::Test {
protected:
    void SetUp() override {
        optionSlots().reset();
        startOptionBatch();
        LPOPTN("Nolist");
    }
    OptionSlots& s = optionSlots();
};

} // namespace

TEST_F(Options, InfiniteBoundIsScaledBelowTheGivenSize) {
    LPOPTN("INFINITE BOUND 1.0E+20");
    EXPECT_DOUBLE_EQ(s.ROPT[kBigBnd], 9.9999e19);
    EXPECT_EQ(s.ROPT[kBigStep], kUnsetReal);
    LPOPTN("Infinite step size = 1.0D+15");
    EXPECT_EQ(s.ROPT[kBigStep], 1.0e15);
    const SolveOptions o = resolveOptions(s, 3, 2);
    EXPECT_DOUBLE_EQ(o.bigbnd, 9.9999e19);
    EXPECT_EQ(o.bigstep, 1.0e15);
}

TEST_F(Options, AbbreviationsSynonymsAndSeparators) {
    LPOPTN("PRI=0");
    EXPECT_EQ(s.IOPT[kPrintLevel], 0);
    LPOPTN("print level (7)");
    EXPECT_EQ(s.IOPT[kPrintLevel], 7);
    LPOPTN("IT 123");
    EXPECT_EQ(s.IOPT[kIterationLimit], 123);
    LPOPTN("Itns 44");
    EXPECT_EQ(s.IOPT[kIterationLimit], 44);
    LPOPTN("Iters:45.9");
    EXPECT_EQ(s.IOPT[kIterationLimit], 45); // truncated toward zero
    LPOPTN("Iterations -3.7");
    EXPECT_EQ(s.IOPT[kIterationLimit], -3);
    LPOPTN("Warm start");
    EXPECT_EQ(s.IOPT[kStart], kWarmStart);
    LPOPTN("COLD");
    EXPECT_EQ(s.IOPT[kStart], kColdStart);
    LPOPTN("Feasibility tolerance 1.0E-8  * a comment 5");
    EXPECT_EQ(s.ROPT[kFeasTol], 1.0e-8);
    LPOPTN("Crash tolerance");
    EXPECT_EQ(s.ROPT[kCrashTol], 0.0); // no numeric word: the value is 0
    LPOPTN("Check frequency 3 17");
    EXPECT_EQ(s.IOPT[kCheckFrequency], 3);
    LPOPTN("Expand frequency 99999999");
    EXPECT_EQ(s.IOPT[kExpandFrequency], 99999999);
    EXPECT_EQ(resolveOptions(s, 1, 1).expandFrequency, kExpandNever);
    LPOPTN("Monitoring file 9");
    EXPECT_EQ(s.IOPT[kMonitoringUnit], 9);
    // A keyword of its own letter: "PRI" stays PRINT, and "S" is enough.
    LPOPTN("Steepest edge 1");
    EXPECT_EQ(s.IOPT[kSteepestEdge], 1);
    EXPECT_EQ(resolveOptions(s, 1, 1).steepestEdge, 1);
    LPOPTN("S 2"); // only 1 switches the rule on
    EXPECT_EQ(resolveOptions(s, 1, 1).steepestEdge, 0);
}

TEST_F(Options, MessagesForUnknownAndAmbiguousWords) {
    CapturedOutput out;
    LPOPTN("P 3");
    LPOPTN("M 3");
    LPOPTN("MINIMIZE sum yes");
    LPOPTN("Bogus 1");
    EXPECT_EQ(out.records,
              (std::vector<std::string>{" XXX  Ambiguous keyword:              P",
                                        " XXX  Ambiguous keyword:              M",
                                        " XXX  Keyword not recognized:         MINIMIZE",
                                        " XXX  Keyword not recognized:         BOGUS"}));
    EXPECT_EQ(s.IOPT[kPrintLevel], kUnsetInt);
}

TEST_F(Options, MinIsExactAndTheThirdWordTakesEffect) {
    CapturedOutput out;
    LPOPTN("Min sum YES");
    EXPECT_EQ(s.IOPT[kMinSum], 1);
    EXPECT_EQ(out.records, (std::vector<std::string>{" XXX  Second keyword not recognized:  SUM"}));
    out.clear();
    LPOPTN("Minimiz yes no");
    EXPECT_EQ(s.IOPT[kMinSum], 0);
    EXPECT_TRUE(out.records.empty());
    LPOPTN("Min no Y"); // YES must be spelled in full
    EXPECT_EQ(s.IOPT[kMinSum], 0);
}

TEST_F(Options, ProblemTypeWords) {
    CapturedOutput out;
    LPOPTN("Problem type FP");
    EXPECT_EQ(s.IOPT[kProblemType], kTypeFP);
    LPOPTN("Prob T Linear");
    EXPECT_EQ(s.IOPT[kProblemType], kTypeLP);
    LPOPTN("Problem type F"); // FEASIBLE and FP lead to the same entry
    EXPECT_EQ(s.IOPT[kProblemType], kTypeFP);
    EXPECT_TRUE(out.records.empty());
    LPOPTN("Problem size 3");
    EXPECT_EQ(out.records.back(), " XXX  Second keyword not recognized:  SIZE");
    EXPECT_EQ(s.IOPT[kProblemType], kTypeFP);
    LPOPTN("Problem type QP");
    EXPECT_EQ(out.records.back(), " XXX  Third  keyword not recognized:  QP");
    EXPECT_EQ(s.IOPT[kProblemType], kTypeInvalid);
    LPOPTN("Infinite gap 5");
    EXPECT_EQ(out.records.back(), " XXX  Second keyword not recognized:  GAP");
    LPOPTN("Infinite yes 5"); // a known second word other than BOUND or STEP sets nothing
    EXPECT_EQ(s.ROPT[kBigBnd], kUnsetReal);
}

TEST_F(Options, DefaultsResetsAndComments) {
    LPOPTN("Print level 5");
    LPOPTN("Iterations 3");
    LPOPTN("* Print level 7");
    LPOPTN("Begin");
    LPOPTN("End 9");
    EXPECT_EQ(s.IOPT[kPrintLevel], 5);
    LPOPTN("Defaults");
    EXPECT_EQ(s.IOPT[kPrintLevel], kUnsetInt);
    EXPECT_EQ(s.IOPT[kIterationLimit], kUnsetInt);
}

TEST_F(Options, DefaultsWorkedOutPerProblem) {
    SolveOptions o = resolveOptions(s, 10, 20);
    EXPECT_EQ(o.printLevel, 10);
    EXPECT_EQ(o.iterationLimit, 150);
    EXPECT_EQ(resolveOptions(s, 3, 2).iterationLimit, 50);
    EXPECT_EQ(o.checkFrequency, 50);
    EXPECT_EQ(o.expandFrequency, 5);
    EXPECT_EQ(o.start, kColdStart);
    EXPECT_EQ(o.problemType, kTypeLP);
    EXPECT_EQ(o.minSum, 0);
    EXPECT_EQ(o.steepestEdge, 0);
    EXPECT_EQ(o.monitoringUnit, -1);
    EXPECT_EQ(o.crashTol, 0.01);
    EXPECT_EQ(o.bigbnd, 9.9999e19);
    EXPECT_EQ(o.bigstep, 9.9999e19);
    EXPECT_EQ(o.feasTol, std::sqrt(machine().eps));
    LPOPTN("Feasibility tolerance 1e-17"); // below eps: the default
    EXPECT_EQ(resolveOptions(s, 1, 0).feasTol, std::sqrt(machine().eps));
    LPOPTN("Infinite bound 1e30");
    EXPECT_DOUBLE_EQ(resolveOptions(s, 1, 0).bigstep, 0.99999e30);
    LPOPTN("Monitoring file 9");
    EXPECT_EQ(resolveOptions(s, 1, 0).monitoringUnit, 9);
    LPOPTN("Print level 4"); // the monitoring file needs print level 5
    EXPECT_EQ(resolveOptions(s, 1, 0).monitoringUnit, -1);
}

TEST(OptionListing, BatchHeadingEchoAndNolist) {
    optionSlots().reset();
    CapturedOutput out;
    startOptionBatch();
    LPOPTN("Print level 3");
    LPOPTN("nolist");
    LPOPTN("Iterations 5");
    LPOPTN("List");
    LPOPTN("Problem type LP");
    EXPECT_EQ(out.records, (std::vector<std::string>{"", "", " Calls to LPOPTN", " ---------------",
                                                     "", "      Print level 3", "      List",
                                                     "      Problem type LP"}));
    // A batch opened with NOLIST prints nothing, as the calculation module's calls do.
    out.clear();
    startOptionBatch();
    LPOPTN("Nolist");
    LPOPTN("PRI=0");
    EXPECT_TRUE(out.records.empty());
    optionSlots().reset();
}

TEST(MachineTable, PrecisionFromItsBitPattern) {
    const MachineConstants& m = machine();
    EXPECT_NEAR(m.eps, 1.11130722679765E-16, 1e-29);
    EXPECT_GT(m.eps, std::ldexp(1.0, -53));
    EXPECT_NEAR(m.tiny, 2.57466740049304E-308, 1e-321);
    EXPECT_EQ(m.huge, 1.0 / m.tiny);
    EXPECT_EQ(m.condlim, std::max(1.0 / std::sqrt(m.eps), 100.0));
}
