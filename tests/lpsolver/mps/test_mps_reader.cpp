// The MPS reader on small hand-written files: every section, bound type and row type, fixed
// and free layout. Every expected matrix and bound below is worked out by hand from the text.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/lpsolver/mps/mps_test_support.h"

using namespace lp;
using namespace lp::test;

namespace {

// Fixed layout: fields in columns 2-3, 5-12, 15-22, 25-36, 40-47, 50-61.
const char* const kFixedSample = R"(* A small LP with every section, fixed format
NAME          TESTLP    extra words
ROWS
 L  LIM1
 N  COST
 G  LIM2
 E  MYEQN
 N  OTHER
 E  EMPTY
COLUMNS
    X1        COST      1.0            LIM1      1.0
    X1        LIM2      1.0
* comment inside a section
    X2        COST      2.0            LIM1      1.0
    X2        MYEQN     -1.0           OTHER     5.0
    X3        COST      -1.0           MYEQN     1.0
    X3        LIM2      .5
RHS
    RHS       COST      -3.5           LIM1      4.0
    RHS       LIM2      1.0            MYEQN     7.0
RANGES
    RNG       LIM1      2.5            LIM2      3.0
    RNG       MYEQN     -2.0
BOUNDS
 UP BND       X1        4.0
 LO BND       X2        -1.0
 MI BND       X3
ENDATA
)";

// The same problem in free layout: tabs, uneven spacing, blank lines, a name line without
// extra words and an RHS line without its set name.
const char* const kFreeSample = "NAME TESTLP\n"
                                "ROWS\n"
                                " L LIM1\n"
                                "  N   COST\n"
                                "\tG LIM2\n"
                                " E MYEQN\n"
                                " N OTHER\n"
                                " E EMPTY\n"
                                "\n"
                                "COLUMNS\n"
                                " X1 COST 1.0 LIM1 1.0\n"
                                " X1\tLIM2\t1.0\n"
                                " X2 COST 2 LIM1 1\n"
                                " X2 MYEQN -1 OTHER 5\n"
                                "    X3 COST -1 MYEQN 1\n"
                                " X3 LIM2 0.5\n"
                                "RHS\n"
                                " RHS COST -3.5 LIM1 4\n"
                                " LIM2 1 MYEQN 7\n"
                                "RANGES\n"
                                " RNG LIM1 2.5 LIM2 3\n"
                                " RNG MYEQN -2\n"
                                "BOUNDS\n"
                                " UP BND X1 4\n"
                                " LO X2 -1\n"
                                " MI BND X3\n"
                                "ENDATA\n";

// Worked out by hand:
//   rows LIM1 (L), LIM2 (G), MYEQN (E), EMPTY (E); COST is the objective, OTHER ignored.
//   A (4 x 3):  LIM1  [1  1  0 ]     COST = (1, 2, -1), constant = -(-3.5) = 3.5
//               LIM2  [1  0  .5]
//               MYEQN [0 -1  1 ]
//               EMPTY [0  0  0 ]
//   X1 [0, 4], X2 [-1, inf], X3 [-inf, inf] (MI keeps the default upper bound)
//   LIM1: L, b = 4, R = 2.5 -> [1.5, 4];   LIM2: G, b = 1, R = 3 -> [1, 4]
//   MYEQN: E, b = 7, R = -2 -> [5, 7];     EMPTY: E, b = 0 -> [0, 0]
//   entries: X1 3, X2 4 (OTHER counted), X3 3 -> 10
void expectSample(const MpsProblem& p) {
    EXPECT_EQ(p.name, "TESTLP");
    EXPECT_EQ(p.objectiveName, "COST");
    EXPECT_FALSE(p.maximize);
    ASSERT_EQ(p.N, 3);
    ASSERT_EQ(p.NCLIN, 4);
    ASSERT_EQ(p.LDA, 4);
    const std::vector<double> A{1, 1, 0, 0, 1, 0, -1, 0, 0, 0.5, 1, 0};
    EXPECT_EQ(p.A, A);
    EXPECT_EQ(p.COST, (std::vector<double>{1, 2, -1}));
    EXPECT_EQ(p.objConstant, 3.5);
    EXPECT_EQ(p.BL, (std::vector<double>{0, -1, -kInf, 1.5, 1, 5, 0}));
    EXPECT_EQ(p.BU, (std::vector<double>{4, kInf, kInf, 4, 4, 7, 0}));
    EXPECT_EQ(p.columnNames, (std::vector<std::string>{"X1", "X2", "X3"}));
    EXPECT_EQ(p.rowNames, (std::vector<std::string>{"LIM1", "LIM2", "MYEQN", "EMPTY"}));
    EXPECT_EQ(p.rowTypes, (std::vector<char>{'L', 'G', 'E', 'E'}));
    EXPECT_EQ(p.entries, 10u);
    ASSERT_EQ(p.warnings.size(), 1u); // the second N row
    EXPECT_NE(p.warnings[0].find("OTHER"), std::string::npos);
}

} // namespace

TEST(MpsSections, FixedSampleReadsInFixedLayout) {
    Parsed r = parse(kFixedSample, MpsFormat::Fixed, "sample.mps");
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.format, MpsFormat::Fixed);
    expectSample(r.problem);
    EXPECT_EQ(r.problem.warnings[0].rfind("sample.mps:8: ", 0), 0u) << r.problem.warnings[0];
}

TEST(MpsSections, FixedSampleReadsInFreeLayoutAndAuto) {
    // Without blanks in names or empty fields both layouts give the same fields.
    for (MpsFormat f : {MpsFormat::Free, MpsFormat::Auto}) {
        Parsed r = parse(kFixedSample, f);
        ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
        EXPECT_EQ(r.problem.format, MpsFormat::Free);
        expectSample(r.problem);
    }
}

TEST(MpsSections, FreeSampleGivesTheSameProblem) {
    Parsed r = parse(kFreeSample);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.format, MpsFormat::Free);
    expectSample(r.problem);
    // Tabs and the short lines break the fixed layout.
    EXPECT_EQ(parse(kFreeSample, MpsFormat::Fixed).status, MpsStatus::Malformed);
}

TEST(MpsSections, CrLfLineEndsReadTheSame) {
    std::string text;
    for (const char* c = kFixedSample; *c; ++c) {
        if (*c == '\n') text += '\r';
        text += *c;
    }
    Parsed r = parse(text, MpsFormat::Fixed);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    expectSample(r.problem);
}

TEST(MpsSections, FixedLayoutKeepsBlanksInNamesAndEmptySetNames) {
    const char* text = R"(NAME          BLANKS
ROWS
 N  OBJ
 L  ROW 1
 G  ROW 2
COLUMNS
    X 1       OBJ       1.0            ROW 1     2.0
    X 2       ROW 1     3.0            ROW 2     4.0
RHS
              ROW 1     5.0
BOUNDS
 UP           X 2       6.0
ENDATA
)";
    // A = [2 3; 0 4], COST = (1, 0); X 1 [0, inf], X 2 [0, 6]; ROW 1 <= 5, ROW 2 >= 0.
    for (MpsFormat f : {MpsFormat::Fixed, MpsFormat::Auto}) {
        Parsed r = parse(text, f);
        ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
        const MpsProblem& p = r.problem;
        EXPECT_EQ(p.format, MpsFormat::Fixed);
        EXPECT_EQ(p.columnNames, (std::vector<std::string>{"X 1", "X 2"}));
        EXPECT_EQ(p.rowNames, (std::vector<std::string>{"ROW 1", "ROW 2"}));
        EXPECT_EQ(p.A, (std::vector<double>{2, 0, 3, 4}));
        EXPECT_EQ(p.COST, (std::vector<double>{1, 0}));
        EXPECT_EQ(p.BL, (std::vector<double>{0, 0, -kInf, 0}));
        EXPECT_EQ(p.BU, (std::vector<double>{kInf, 6, 5, kInf}));
        // Auto says that it fell back to fixed format, and where free reading failed.
        EXPECT_EQ(p.warnings.size(), f == MpsFormat::Auto ? 1u : 0u);
        if (f == MpsFormat::Auto) {
            EXPECT_EQ(p.warnings[0].rfind("test.mps:4: ", 0), 0u) << p.warnings[0];
        }
    }
    Parsed r = parse(text, MpsFormat::Free);
    EXPECT_EQ(r.status, MpsStatus::Malformed);
    EXPECT_EQ(r.message.rfind("test.mps:4: ROWS", 0), 0u) << r.message;
}

TEST(MpsSections, RangesOnEveryRowType) {
    const char* text = "NAME RANGES\n"
                       "ROWS\n"
                       " N OBJ\n"
                       " L L1\n L L2\n L L3\n L L4\n"
                       " G G1\n G G2\n G G3\n"
                       " E E1\n E E2\n E E3\n E E4\n"
                       "COLUMNS\n"
                       " X L1 1 L2 1\n X L3 1 L4 1\n X G1 1 G2 1\n X G3 1 E1 1\n"
                       " X E2 1 E3 1\n X E4 1\n"
                       "RHS\n"
                       " B L1 10 L2 10\n B L3 10\n B G1 10 G2 10\n B G3 10\n"
                       " B E1 10 E2 10\n B E3 10\n"
                       "RANGES\n"
                       " R L1 4 L2 -4\n R L4 3\n R G1 4 G2 -4\n R E1 4 E2 -4\n R E3 0\n"
                       " R OBJ 5\n"
                       "ENDATA\n";
    // L: [b - |R|, b]; G: [b, b + |R|]; E: R > 0 [b, b + R], R < 0 [b + R, b], R = 0 [b, b].
    //      L1      L2      L3          L4      G1        G2        G3          E1
    //      [6,10]  [6,10]  [-inf,10]   [-3,0]  [10,14]   [10,14]   [10,inf]    [10,14]
    //      E2      E3       E4
    //      [6,10]  [10,10]  [0,0]
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    const MpsProblem& p = r.problem;
    ASSERT_EQ(p.N, 1);
    ASSERT_EQ(p.NCLIN, 11);
    EXPECT_EQ(p.BL, (std::vector<double>{0, 6, 6, -kInf, -3, 10, 10, 10, 10, 6, 10, 0}));
    EXPECT_EQ(p.BU, (std::vector<double>{kInf, 10, 10, 10, 0, 14, 14, kInf, 14, 10, 10, 0}));
    EXPECT_EQ(p.A, std::vector<double>(11, 1.0));
    // The range on the objective row is ignored, with a warning naming its line.
    ASSERT_EQ(p.warnings.size(), 1u);
    EXPECT_EQ(p.warnings[0].rfind("test.mps:35: ", 0), 0u) << p.warnings[0];
}

TEST(MpsSections, RangesSectionMayComeBeforeRhs) {
    const char* text = "NAME\nROWS\n N OBJ\n L R1\nCOLUMNS\n X R1 1\n"
                       "RANGES\n RNG R1 2\nRHS\n RHS R1 5\nENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.BL, (std::vector<double>{0, 3}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{kInf, 5}));
}

TEST(MpsSections, EveryBoundType) {
    const char* text = "NAME BOUNDS\n"
                       "ROWS\n N OBJ\n"
                       "COLUMNS\n"
                       " C1 OBJ 1\n C2 OBJ 1\n C3 OBJ 1\n C4 OBJ 1\n C5 OBJ 1\n C6 OBJ 1\n"
                       " C7 OBJ 1\n C8 OBJ 1\n C9 OBJ 1\n C10 OBJ 1\n C11 OBJ 1\n C12 OBJ 1\n"
                       " C13 OBJ 1\n C14 OBJ 1\n C15 OBJ 1\n C16 OBJ 1\n"
                       "RHS\n"
                       "BOUNDS\n"
                       " UP BND C1 4\n"         // [0, 4]
                       " LO BND C2 -2\n"        // [-2, inf]
                       " FX BND C3 3.5\n"       // [3.5, 3.5]
                       " FR BND C4\n"           // [-inf, inf]
                       " MI BND C5\n"           // [-inf, inf]: the upper bound stays
                       " MI BND C6\n"           // [-inf, 5]
                       " UP BND C6 5\n"         //
                       " UP BND C7 3\n"         // [0, inf]: PL lifts the upper bound only
                       " PL BND C7\n"           //
                       " BV BND C8\n"           // [0, 1]
                       " UP BND C9 -2\n"        // [-inf, -2]: negative UP, default lower 0
                       " LO BND C10 0\n"        // [0, -2]: the lower bound was given
                       " UP BND C10 -2\n"       //
                       " LO BND C11 -5\n"       // [-5, -2]
                       " UP BND C11 -2\n"       //
                       " UP BND C12 1e30\n"     // [-inf, inf]: beyond 1e20 is infinite
                       " LO BND C12 -1e25\n"    //
                       " UP BND C13 0\n"        // [0, 0]
                       " LO BND C15 1\n"        // [1, inf]: LO later, UP Infinity
                       " UP BND C15 Infinity\n" //
                       " LO BND C16 -inf\n"     // [-inf, 7]
                       " UP BND C16 7\n"        //
                       "ENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    const MpsProblem& p = r.problem;
    ASSERT_EQ(p.N, 16);
    ASSERT_EQ(p.NCLIN, 0);
    EXPECT_EQ(p.LDA, 1);
    EXPECT_EQ(p.A, std::vector<double>(16, 0.0));
    //                                C1 C2  C3   C4     C5     C6     C7 C8 C9
    EXPECT_EQ(p.BL, (std::vector<double>{0, -2, 3.5, -kInf, -kInf, -kInf, 0, 0, -kInf,
                                         // C10 C11 C12    C13 C14 C15 C16
                                         0, -5, -kInf, 0, 0, 1, -kInf}));
    EXPECT_EQ(p.BU, (std::vector<double>{4, kInf, 3.5, kInf, kInf, 5, kInf, 1, -2, //
                                         -2, -2, kInf, 0, kInf, kInf, 7}));
    // The customary reading of C9 is reported; C10 keeps its explicit lower bound silently.
    ASSERT_EQ(p.warnings.size(), 1u);
    EXPECT_NE(p.warnings[0].find("'C9'"), std::string::npos) << p.warnings[0];
    EXPECT_EQ(p.warnings[0].rfind("test.mps:33: ", 0), 0u) << p.warnings[0];
}

TEST(MpsSections, FreeBoundsWithAndWithoutSetNames) {
    const char* text = "NAME\nROWS\n N OBJ\nCOLUMNS\n A OBJ 1\n B OBJ 1\n C OBJ 1\n D OBJ 1\n"
                       "BOUNDS\n"
                       " UP A 4\n"     // no set name, with value
                       " FR B\n"       // no set name, no value
                       " MI BND C\n"   // set name, no value
                       " BV BND D 1\n" // value after a type that takes none: not used
                       "ENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.BL, (std::vector<double>{0, -kInf, -kInf, 0}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{4, kInf, kInf, 1}));
}

TEST(MpsSections, NumberForms) {
    const char* text = "NAME NUMBERS\nROWS\n N OBJ\n E R\nCOLUMNS\n"
                       " C1 R 1.\n C2 R .301\n C3 R -.016\n C4 R -105.\n C5 R +2.5\n"
                       " C6 R 1.5E+3\n C7 R 1.5e-2\n C8 R -1.5D+03\n C9 R 2d0\n C10 R 1E2\n"
                       " C11 R 0\n C12 R -0.0\n C13 R 12345678901234567890\n"
                       "RHS\n RHS R 1e-300\nENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    const std::vector<double> want{1.0,
                                   0.301,
                                   -0.016,
                                   -105.0,
                                   2.5,
                                   1500.0,
                                   0.015,
                                   -1500.0,
                                   2.0,
                                   100.0,
                                   0.0,
                                   0.0,
                                   12345678901234567890.0};
    ASSERT_EQ(r.problem.N, 13);
    for (int j = 0; j < 13; ++j)
        EXPECT_EQ(at(r.problem, 0, j), want[static_cast<std::size_t>(j)]) << j;
    EXPECT_EQ(r.problem.BL[13], 1e-300);
    EXPECT_EQ(r.problem.BU[13], 1e-300);
}

TEST(MpsSections, ObjectiveConstantIsMinusTheRhsOfTheObjectiveRow) {
    const char* text = "NAME\nROWS\n N COST\n L R\nCOLUMNS\n X COST 2 R 1\n"
                       "RHS\n RHS COST -7.113 R 3\nENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.objConstant, 7.113);
    EXPECT_EQ(r.problem.BU[1], 3.0);
    EXPECT_EQ(r.problem.BL[1], -kInf);
}

TEST(MpsSections, ObjSenseMaxNegatesTheObjective) {
    // File objective: x1 - 2 x2 - 3 (RHS 3 on the objective), maximised. Minimised form:
    // -x1 + 2 x2 + 3.
    const std::string body = "ROWS\n N OBJ\n G R\nCOLUMNS\n X1 OBJ 1 R 1\n X2 OBJ -2 R 1\n"
                             "RHS\n RHS OBJ 3 R 1\nENDATA\n";
    for (const std::string head :
         {"NAME MAXI\nOBJSENSE\n    MAX\n", "NAME MAXI\nOBJSENSE MAXIMIZE\n", "OBJSENSE\n MAX\n"}) {
        Parsed r = parse(head + body);
        ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
        EXPECT_TRUE(r.problem.maximize);
        EXPECT_EQ(r.problem.COST, (std::vector<double>{-1, 2}));
        EXPECT_EQ(r.problem.objConstant, 3.0);
    }
    Parsed r = parse("NAME MINI\nOBJSENSE\n    MIN\n" + body);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_FALSE(r.problem.maximize);
    EXPECT_EQ(r.problem.COST, (std::vector<double>{1, -2}));
    EXPECT_EQ(r.problem.objConstant, -3.0);
}

TEST(MpsSections, IntegerMarkersAreSkippedAndTheirColumnsRead) {
    const char* text = "NAME\nROWS\n N OBJ\n L R\nCOLUMNS\n"
                       " X OBJ 1 R 1\n"
                       "    MARKER                 'MARKER'                 'INTORG'\n"
                       " Y OBJ 2 R 3\n"
                       " Z R 4\n"
                       "    MARKER                 'MARKER'                 'INTEND'\n"
                       " W OBJ 5\n"
                       "RHS\n RHS R 9\nENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.columnNames, (std::vector<std::string>{"X", "Y", "Z", "W"}));
    EXPECT_EQ(r.problem.A, (std::vector<double>{1, 3, 4, 0}));
    EXPECT_EQ(r.problem.COST, (std::vector<double>{1, 2, 0, 5}));
    // Integer columns keep the default bounds of every column.
    EXPECT_EQ(r.problem.BL, (std::vector<double>{0, 0, 0, 0, -kInf}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{kInf, kInf, kInf, kInf, 9}));
    EXPECT_EQ(r.problem.entries, 6u);
}

TEST(MpsSections, OnlyTheFirstSetOfRhsRangesAndBoundsIsUsed) {
    const char* text = "NAME\nROWS\n N OBJ\n L R1\n L R2\nCOLUMNS\n X R1 1 R2 1\n"
                       "RHS\n RHS1 R1 5\n RHS2 R1 6\n RHS2 R2 7\n R2 8\n"
                       "RANGES\n RNG1 R1 1\n RNG2 R2 2\n"
                       "BOUNDS\n UP BND1 X 4\n UP BND2 X 9\n LO BND2 X 1\nENDATA\n";
    // R1: b = 5 (RHS1), R = 1 -> [4, 5]; R2: b = 8 (no set name: the set in use), no range.
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.BL, (std::vector<double>{0, 4, -kInf}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{4, 5, 8}));
    // One warning per ignored set, at its first line.
    ASSERT_EQ(r.problem.warnings.size(), 3u);
    EXPECT_EQ(r.problem.warnings[0].rfind("test.mps:10: RHS set 'RHS2'", 0), 0u)
        << r.problem.warnings[0];
    EXPECT_EQ(r.problem.warnings[1].rfind("test.mps:15: RANGES set 'RNG2'", 0), 0u);
    EXPECT_EQ(r.problem.warnings[2].rfind("test.mps:18: BOUNDS set 'BND2'", 0), 0u);
}

TEST(MpsSections, ObjectiveRowAnywhereAndFurtherNRowsIgnored) {
    const char* text = "NAME\nROWS\n G A\n N FIRST\n L B\n N SECOND\nCOLUMNS\n"
                       " X A 1 FIRST 2\n X SECOND 3 B 4\n Y SECOND 5\n"
                       "RHS\n RHS SECOND 9 A 1\nRANGES\n RNG SECOND 1\nENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    const MpsProblem& p = r.problem;
    EXPECT_EQ(p.objectiveName, "FIRST");
    EXPECT_EQ(p.rowNames, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(p.A, (std::vector<double>{1, 4, 0, 0}));
    EXPECT_EQ(p.COST, (std::vector<double>{2, 0}));
    EXPECT_EQ(p.objConstant, 0.0); // an RHS on an ignored N row is no constant
    EXPECT_EQ(p.BL, (std::vector<double>{0, 0, 1, -kInf}));
    EXPECT_EQ(p.BU, (std::vector<double>{kInf, kInf, kInf, 0}));
    EXPECT_EQ(p.entries, 5u);
    EXPECT_EQ(p.warnings.size(), 1u);
}

TEST(MpsSections, NoObjectiveRowGivesZeroCosts) {
    Parsed r = parse("NAME\nROWS\n E R\nCOLUMNS\n X R 1\n Y R 1\nRHS\n RHS R 2\nENDATA\n");
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.objectiveName, "");
    EXPECT_EQ(r.problem.COST, (std::vector<double>{0, 0}));
    EXPECT_EQ(r.problem.BL, (std::vector<double>{0, 0, 2}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{kInf, kInf, 2}));
}

TEST(MpsSections, ColumnMayReappearAfterOthers) {
    Parsed r = parse("NAME\nROWS\n N O\n L R1\n L R2\nCOLUMNS\n X R1 1\n Y R1 2\n X R2 3\n"
                     "ENDATA\n");
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.columnNames, (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(r.problem.A, (std::vector<double>{1, 3, 2, 0}));
    // Without RHS every right-hand side is 0.
    EXPECT_EQ(r.problem.BU, (std::vector<double>{kInf, kInf, 0, 0}));
}

TEST(MpsSections, EmptyRhsSectionAndNamesOfDigitsAndDots) {
    const char* text = "NAME          ....01\nROWS\n N  1\n L  B...XI\n E  10000A\nCOLUMNS\n"
                       "    ....01    1         1.             B...XI    -.016\n"
                       "    ....01    10000A    1.\n"
                       "RHS\nBOUNDS\n UP BND       ....01    4.\nENDATA\n";
    for (MpsFormat f : {MpsFormat::Fixed, MpsFormat::Free}) {
        Parsed r = parse(text, f);
        ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
        EXPECT_EQ(r.problem.name, "....01");
        EXPECT_EQ(r.problem.objectiveName, "1");
        EXPECT_EQ(r.problem.A, (std::vector<double>{-0.016, 1}));
        EXPECT_EQ(r.problem.COST, (std::vector<double>{1}));
        EXPECT_EQ(r.problem.BL, (std::vector<double>{0, -kInf, 0}));
        EXPECT_EQ(r.problem.BU, (std::vector<double>{4, 0, 0}));
    }
}

TEST(MpsSections, KeywordsAndRowTypesIgnoreCaseNamesDoNot) {
    Parsed r = parse("name x\nrows\n n obj\n l r\n L R\ncolumns\n x obj 1 r 2\n x R 3\n"
                     "rhs\n rhs r 1\nbounds\n up bnd x 5\nendata\n");
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.rowNames, (std::vector<std::string>{"r", "R"}));
    EXPECT_EQ(r.problem.A, (std::vector<double>{2, 3}));
    EXPECT_EQ(r.problem.BU, (std::vector<double>{5, 1, 0}));
}

TEST(MpsSections, LinesAfterEndataAreIgnored) {
    Parsed r = parse("NAME\nROWS\n N O\nCOLUMNS\n X O 1\nENDATA\nanything at all \x01\n");
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.N, 1);
    EXPECT_EQ(r.problem.NCLIN, 0);
}

TEST(MpsSections, LinesUpToTheLengthLimitAreRead) {
    std::string text = "* " + std::string(kMpsMaxLineLength - 2, 'x') + "\n";
    text += "NAME\nROWS\n N O\nCOLUMNS\n X O 1\n";
    text += " Y" + std::string(kMpsMaxLineLength - 5, ' ') + "O 2\n"; // exactly the limit
    text += "ENDATA\n";
    Parsed r = parse(text);
    ASSERT_EQ(r.status, MpsStatus::Read) << r.message;
    EXPECT_EQ(r.problem.COST, (std::vector<double>{1, 2}));
}
