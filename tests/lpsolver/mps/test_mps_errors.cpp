// The MPS reader on faulty input: every message names the file and the line at fault; truncated,
// garbage and binary input and huge lines give a status, never a crash.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/lpsolver/mps/mps_test_support.h"

using namespace lp;
using namespace lp::test;

namespace {

// Checks the status and that the message is "test.mps:<line>: ..." holding the fragment.
void expectError(std::string_view text, std::size_t line, std::string_view fragment,
                 MpsFormat format = MpsFormat::Auto, MpsStatus status = MpsStatus::Malformed) {
    Parsed r = parse(text, format);
    EXPECT_EQ(r.status, status) << r.message;
    const std::string prefix = "test.mps:" + std::to_string(line) + ": ";
    EXPECT_EQ(r.message.rfind(prefix, 0), 0u)
        << "message: " << r.message << "\nwanted prefix " << prefix;
    EXPECT_NE(r.message.find(fragment), std::string::npos)
        << "message: " << r.message << "\nwanted: " << fragment;
    // A failed read leaves nothing behind.
    EXPECT_EQ(r.problem.N, 0);
    EXPECT_TRUE(r.problem.A.empty());
    EXPECT_TRUE(r.problem.warnings.empty());
}

// Lines 1-5; COLUMNS data starts on line 6.
const std::string kHead = "NAME T\nROWS\n N OBJ\n L R1\nCOLUMNS\n";

const char* const kSample = "NAME SAMPLE\n"
                            "ROWS\n"
                            " N COST\n"
                            " L LIM1\n"
                            " G LIM2\n"
                            " E MYEQN\n"
                            "COLUMNS\n"
                            " X1 COST 1 LIM1 1\n"
                            " X1 LIM2 1\n"
                            " X2 COST 2 LIM1 1\n"
                            " X2 MYEQN -1\n"
                            " X3 COST -1 MYEQN 1\n"
                            "RHS\n"
                            " RHS LIM1 4 LIM2 1\n"
                            " RHS MYEQN 7\n"
                            "RANGES\n"
                            " RNG LIM1 2.5\n"
                            "BOUNDS\n"
                            " UP BND X1 4\n"
                            " MI BND X3\n"
                            "ENDATA\n";

} // namespace

TEST(MpsErrors, UnknownRowInColumns) {
    expectError(kHead + " X OBJ 1 R2 3\nENDATA\n", 6, "COLUMNS: unknown row 'R2' in column 'X'");
    expectError(kHead + " X R1 1\n Y OBJ 1\n Y R9 1\nENDATA\n", 8, "unknown row 'R9'");
}

TEST(MpsErrors, BadNumbers) {
    for (const char* bad : {"1.0x", "abc", "1e999", "-1e999", "nan", "NaN", "--1", "+-1", "1.2.3",
                            "0x10", "1e", "inf", "-Infinity", ".", "1,5", "1.5E+", "D3", "+"}) {
        SCOPED_TRACE(bad);
        expectError(kHead + " X R1 " + bad + "\nENDATA\n", 6,
                    std::string("COLUMNS: bad number '") + bad + "' for row 'R1' in column 'X'");
    }
    expectError(kHead + " X R1 1\nRHS\n RHS R1 1..\nENDATA\n", 8, "RHS: bad number '1..'");
    expectError(kHead + " X R1 1\nRANGES\n RNG R1 nan\nENDATA\n", 8, "RANGES: bad number 'nan'");
    expectError(kHead + " X R1 1\nBOUNDS\n UP BND X 4x\nENDATA\n", 8,
                "BOUNDS: bad number '4x' for column 'X'");
    // The objective constant must be finite.
    expectError(kHead + " X R1 1\nRHS\n RHS OBJ Inf\nENDATA\n", 8, "needs a finite value");
}

TEST(MpsErrors, MissingOrMisplacedSections) {
    expectError("NAME T\nCOLUMNS\n X OBJ 1\nENDATA\n", 2, "COLUMNS before ROWS");
    expectError("NAME T\nROWS\n N OBJ\nRHS\n RHS OBJ 1\nENDATA\n", 4, "RHS before COLUMNS");
    expectError("NAME T\nROWS\n N OBJ\nBOUNDS\nENDATA\n", 4, "BOUNDS before COLUMNS");
    expectError("NAME T\nROWS\n N OBJ\nRANGES\nENDATA\n", 4, "RANGES before COLUMNS");
    expectError("NAME T\nROWS\n N OBJ\nENDATA\n", 4, "ENDATA without a COLUMNS section");
    expectError("NAME T\nENDATA\n", 2, "ENDATA without a ROWS section");
    expectError("NAME T\nROWS\n N OBJ\nROWS\n", 4, "second ROWS section");
    expectError(kHead + " X R1 1\nCOLUMNS\n", 7, "second COLUMNS section");
    expectError(kHead + " X R1 1\nRHS\nBOUNDS\nRHS\n", 9, "second RHS section");
    expectError("ROWS\n N OBJ\nNAME T\n", 3, "NAME after the first section");
    expectError("NAME T\nOBJSENSE\nROWS\n", 3, "OBJSENSE section without MIN or MAX");
    expectError("NAME T\nOBJSENSE\n    UP\n", 3, "objective sense 'UP' is neither MIN nor MAX");
    expectError("NAME T\nOBJSENSE\n MAX\n MIN\n", 4, "OBJSENSE takes one word");
    expectError(kHead + " X R1 1\nOBJSENSE MAX\n", 7, "OBJSENSE after COLUMNS");
}

TEST(MpsErrors, UnknownSectionsAndStrayLines) {
    expectError("NAME T\nROWS\n N OBJ\nQUADOBJ\n", 4, "unknown section 'QUADOBJ'");
    expectError("  X R 1\nNAME T\n", 1, "data line outside a section");
    expectError("NAME T extra\n X\n", 2, "data line outside a section");
    expectError("NAME T\nROWS extra\n", 2, "unexpected text after ROWS");
    expectError("NAME T\nROWS\n N OBJ\nX1 OBJ 1\n", 4, "unknown section 'X1'");
}

TEST(MpsErrors, RowsErrors) {
    expectError("NAME T\nROWS\n X R9\n", 3, "ROWS: unknown row type 'X' of row 'R9'");
    expectError("NAME T\nROWS\n LE R9\n", 3, "unknown row type 'LE'");
    expectError("NAME T\nROWS\n L\n", 3, "ROWS: a line holds a row type and a row name");
    expectError("NAME T\nROWS\n L R1 R2\n", 3, "ROWS: a line holds a row type and a row name");
    expectError("NAME T\nROWS\n N OBJ\n L R1\n G R1\n", 5, "row 'R1' is declared twice");
    expectError("NAME T\nROWS\n N OBJ\n L OBJ\n", 4, "row 'OBJ' is declared twice");
}

TEST(MpsErrors, ColumnsLineShapes) {
    expectError(kHead + " X R1\n", 6, "a line holds a column name and one or two pairs");
    expectError(kHead + " X R1 1 OBJ\n", 6, "a line holds a column name and one or two pairs");
    expectError(kHead + " X R1 1 OBJ 2 R1\n", 6, "one or two pairs");
    expectError(kHead + "    MARKER                 'MARKER'                 'INTXXX'\n", 6,
                "MARKER line without 'INTORG' or 'INTEND'");
}

TEST(MpsErrors, DuplicateEntries) {
    // Found when COLUMNS ends; the message names the second entry's line and the first one.
    expectError(kHead + " X R1 1\n X R1 2\nENDATA\n", 7,
                "COLUMNS: second entry for row 'R1' in column 'X' (first on line 6)");
    expectError(kHead + " X R1 1 R1 1\nRHS\n", 6, "second entry for row 'R1' in column 'X'");
    expectError(kHead + " X R1 1\n Y R1 1\n X R1 1\nRHS\n", 8, "(first on line 6)");
    expectError(kHead + " X OBJ 1\n X OBJ 2\n", 7,
                "COLUMNS: second entry for row 'OBJ' in column 'X' (first on line 6)");
    expectError(kHead + " X R1 1\nRHS\n RHS R1 1\n RHS R1 2\n", 9,
                "RHS: second value for row 'R1' (first on line 8)");
    expectError(kHead + " X R1 1\nRHS\n RHS OBJ 1 OBJ 2\n", 8,
                "RHS: second value for row 'OBJ' (first on line 8)");
    expectError(kHead + " X R1 1\nRANGES\n RNG R1 1\n R1 2\n", 9,
                "RANGES: second value for row 'R1' (first on line 8)");
}

TEST(MpsErrors, RhsAndRangesErrors) {
    expectError(kHead + " X R1 1\nRHS\n RHS R7 1\n", 8, "RHS: unknown row 'R7'");
    expectError(kHead + " X R1 1\nRANGES\n RNG R7 1\n", 8, "RANGES: unknown row 'R7'");
    expectError(kHead + " X R1 1\nRHS\n RHS\n", 8, "a line holds a set name and one or two pairs");
    expectError(kHead + " X R1 1\nRHS\n RHS R1 1 R1 2 R1\n", 8, "one or two pairs");
}

TEST(MpsErrors, BoundsErrors) {
    const std::string cols = kHead + " X R1 1\nBOUNDS\n";
    expectError(cols + " UP BND Y 4\n", 8, "BOUNDS: unknown column 'Y'");
    expectError(cols + " XX BND X 4\n", 8, "BOUNDS: unknown bound type 'XX'");
    expectError(cols + " LI BND X 4\n", 8, "BOUNDS: bound type 'LI' is not supported");
    expectError(cols + " SC BND X 4\n", 8, "bound type 'SC' is not supported");
    expectError(cols + " UP\n", 8, "a line holds a bound type, a set name");
    expectError(cols + " UP BND X 4 5\n", 8, "a line holds a bound type");
    expectError(cols + " FR BND X 0 1\n", 8, "a line holds a bound type");
    // Fixed layout: the value field is empty.
    expectError("NAME          T\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n    X         R1        1.\n"
                "BOUNDS\n UP BND       X\n",
                8, "BOUNDS: bound UP of column 'X' without a value", MpsFormat::Fixed);
}

TEST(MpsErrors, FixedLayoutViolations) {
    const std::string head = "NAME          T\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n";
    expectError(head + "    X         R1        1.           x\n", 6,
                "text in column 38, between the fields of fixed format", MpsFormat::Fixed);
    expectError(head + "    X\tR1 1.\n", 6, "tab character in a fixed-format line",
                MpsFormat::Fixed);
    expectError(head + "    X         R1        1.             OBJ       1.          7\n", 6,
                "text beyond column 61", MpsFormat::Fixed);
    expectError(head + "    X         R1        1.             OBJ\n", 6,
                "second row name without a value", MpsFormat::Fixed);
    expectError(head + " L  X         R1        1.\n", 6, "COLUMNS: unexpected text in columns 2-3",
                MpsFormat::Fixed);
    // Every column between the fields (4, 13-14, 23-24, 37-39, 48-49) must stay blank.
    for (std::size_t col : {4u, 13u, 14u, 23u, 24u, 37u, 38u, 39u, 48u, 49u}) {
        std::string line = "    X         R1        1.";
        line.resize(std::max(line.size(), col), ' ');
        line[col - 1] = 'x';
        SCOPED_TRACE(line);
        expectError(head + line + "\n", 6,
                    "text in column " + std::to_string(col) + ", between the fields",
                    MpsFormat::Fixed);
    }
    // Fields filled to their last column.
    const std::string full = "NAME          T\nROWS\n N  OBJ45678\n L  R2345678\nCOLUMNS\n"
                             "    ABCDEFGH  R2345678  -1.234567890   OBJ45678  1.2345678901\n"
                             "ENDATA\n";
    Parsed f = parse(full, MpsFormat::Fixed);
    ASSERT_EQ(f.status, MpsStatus::Read) << f.message;
    EXPECT_EQ(f.problem.columnNames, (std::vector<std::string>{"ABCDEFGH"}));
    EXPECT_EQ(f.problem.A, (std::vector<double>{-1.23456789}));
    EXPECT_EQ(f.problem.COST, (std::vector<double>{1.2345678901}));
    // Trailing blanks beyond column 61 are no text.
    Parsed r = parse(head + "    X         R1        1." + std::string(60, ' ') + "\nENDATA\n",
                     MpsFormat::Fixed);
    EXPECT_EQ(r.status, MpsStatus::Read) << r.message;
}

TEST(MpsErrors, AutoReportsTheLayoutThatGotFurther) {
    // A free file with an error on line 9: fixed reading fails on line 3 already.
    expectError("NAME T\nROWS\n N OBJ\n L R1\nCOLUMNS\n X OBJ 1\n X R1 1\nRHS\n RHS R5 1\n", 9,
                "RHS: unknown row 'R5'");
    // A fixed file with blanks in names and an error on line 8: free reading fails on line 4.
    expectError("NAME          T\nROWS\n N  OBJ\n L  ROW 1\nCOLUMNS\n"
                "    X 1       ROW 1     1.\nRHS\n    RHS       ROW 2     1.\n",
                8, "RHS: unknown row 'ROW 2'");
}

TEST(MpsErrors, TruncatedFilesNeverRead) {
    const std::string full = kSample;
    {
        Parsed r = parse(full.substr(0, full.size() - std::string("ENDATA\n").size()));
        EXPECT_EQ(r.status, MpsStatus::Malformed);
        EXPECT_EQ(r.message, "test.mps:20: the file ends before ENDATA");
    }
    // Every cut before the end of "ENDATA" fails with a located message; cuts after it read.
    const std::size_t endata = full.find("ENDATA");
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        Parsed r = parse(std::string_view(full).substr(0, cut));
        if (cut >= endata + 6) {
            EXPECT_EQ(r.status, MpsStatus::Read) << cut << ": " << r.message;
            continue;
        }
        EXPECT_EQ(r.status, MpsStatus::Malformed) << "cut at " << cut;
        EXPECT_EQ(r.message.rfind("test.mps:", 0), 0u) << r.message;
    }
}

TEST(MpsErrors, EmptyAndCommentOnlyFiles) {
    Parsed r = parse("");
    EXPECT_EQ(r.status, MpsStatus::Malformed);
    EXPECT_EQ(r.message, "test.mps: the file is empty");
    r = parse("* just a comment\n\n   \n");
    EXPECT_EQ(r.status, MpsStatus::Malformed);
    EXPECT_EQ(r.message, "test.mps:3: the file ends before ENDATA");
}

TEST(MpsErrors, BinaryInput) {
    // The start of an ELF file, a UTF-16 text and a NUL in the middle of a line.
    expectError(std::string("\x7f"
                            "ELF\x02\x01\x01\0\0\0",
                            10),
                1, "control character 0x7F in column 1: not an MPS text");
    expectError(std::string("N\0A\0M\0E\0", 8), 1, "control character 0x00 in column 2");
    expectError(kHead + std::string(" X R1 1\0\n", 9), 6, "control character 0x00 in column 8");
    expectError(kHead + " X R1 1\r2\n", 6, "control character 0x0D in column 8");
}

TEST(MpsErrors, RandomGarbageIsMalformed) {
    std::mt19937 gen(20240611);
    for (int trial = 0; trial < 300; ++trial) {
        std::uniform_int_distribution<int> len(1, 3000), byte(0, 255), printable(32, 126);
        const int n = len(gen);
        std::string text;
        const bool binary = trial % 2 == 0;
        for (int k = 0; k < n; ++k) {
            if (!binary && k % 70 == 69)
                text += '\n';
            else
                text += static_cast<char>(binary ? byte(gen) : printable(gen));
        }
        Parsed r = parse(text);
        EXPECT_EQ(r.status, MpsStatus::Malformed) << "trial " << trial;
        EXPECT_EQ(r.message.rfind("test.mps:", 0), 0u) << r.message;
    }
}

TEST(MpsErrors, MutatedFilesReadOrFailCleanly) {
    // Random byte changes in a valid file: a result is either an error with a location or a
    // consistent problem.
    std::mt19937 gen(777);
    const std::string base = kSample;
    const std::string alphabet = " \t\n*-+.0123456789eEdDNLGEXRUPOFIMBV'ABC\x01\xff";
    for (int trial = 0; trial < 2000; ++trial) {
        std::string text = base;
        std::uniform_int_distribution<std::size_t> pos(0, text.size() - 1),
            ch(0, alphabet.size() - 1);
        for (int k = 0; k < 1 + trial % 4; ++k) text[pos(gen)] = alphabet[ch(gen)];
        for (MpsFormat f : {MpsFormat::Auto, MpsFormat::Fixed}) {
            Parsed r = parse(text, f);
            if (r.status != MpsStatus::Read) {
                EXPECT_EQ(r.status, MpsStatus::Malformed);
                EXPECT_EQ(r.message.rfind("test.mps:", 0), 0u) << r.message;
                continue;
            }
            const MpsProblem& p = r.problem;
            const auto n = static_cast<std::size_t>(p.N), m = static_cast<std::size_t>(p.NCLIN);
            ASSERT_EQ(p.LDA, std::max(1, p.NCLIN));
            ASSERT_EQ(p.A.size(), static_cast<std::size_t>(p.LDA) * n);
            ASSERT_EQ(p.BL.size(), n + m);
            ASSERT_EQ(p.BU.size(), n + m);
            ASSERT_EQ(p.COST.size(), n);
            ASSERT_EQ(p.columnNames.size(), n);
            ASSERT_EQ(p.rowNames.size(), m);
            for (std::size_t k = 0; k < n + m; ++k) {
                EXPECT_TRUE(p.BL[k] >= -kInf && p.BL[k] <= kInf) << p.BL[k];
                EXPECT_TRUE(p.BU[k] >= -kInf && p.BU[k] <= kInf) << p.BU[k];
            }
        }
    }
}

TEST(MpsErrors, HugeLines) {
    expectError("NAME T\n" + std::string(1000000, 'A') + "\nROWS\n", 2,
                "line longer than 4096 characters");
    // One line of ten million characters without a line end.
    expectError(std::string(10000000, ' '), 1, "line longer than 4096 characters");
    expectError("* " + std::string(kMpsMaxLineLength - 1, 'x') + "\n", 1,
                "line longer than 4096 characters");
}

TEST(MpsErrors, DenseFormTooLarge) {
    // 8193 rows and 8193 columns, one entry each: the dense A would have 8193^2 > 2^26
    // elements. Refused before any of it is allocated.
    std::string text = "NAME BIG\nROWS\n N OBJ\n";
    for (int i = 1; i <= 8193; ++i) text += " L R" + std::to_string(i) + "\n";
    text += "COLUMNS\n";
    for (int j = 1; j <= 8193; ++j)
        text += " C" + std::to_string(j) + " R" + std::to_string(j) + " 1\n";
    text += "ENDATA\n";
    expectError(text, 16391, "the dense matrix would have 8193 x 8193 elements", MpsFormat::Auto,
                MpsStatus::TooLarge);
}

class MpsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tervana-mps-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, std::string_view text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(MpsFiles, ReadsFromAFileAndNamesItInMessages) {
    MpsProblem p;
    std::string message;
    const std::string good = write("good.mps", kSample);
    ASSERT_EQ(readMps(good, p, message), MpsStatus::Read) << message;
    EXPECT_EQ(p.name, "SAMPLE");
    EXPECT_EQ(p.N, 3);
    EXPECT_EQ(p.NCLIN, 3);
    EXPECT_TRUE(message.empty());

    const std::string bad = write("bad.mps", kHead + " X R9 1\n");
    EXPECT_EQ(readMps(bad, p, message), MpsStatus::Malformed);
    EXPECT_EQ(message, bad + ":6: COLUMNS: unknown row 'R9' in column 'X'");
    EXPECT_EQ(p.N, 0); // left empty

    // The layout can be forced.
    const std::string blanks = write("blanks.mps", "NAME\nROWS\n N  OBJ\n L  ROW 1\nCOLUMNS\n"
                                                   "    X         ROW 1     1.\nENDATA\n");
    EXPECT_EQ(readMps(blanks, p, message, MpsFormat::Free), MpsStatus::Malformed);
    EXPECT_EQ(message.rfind(blanks + ":4: ", 0), 0u) << message;
    EXPECT_EQ(readMps(blanks, p, message, MpsFormat::Fixed), MpsStatus::Read) << message;
    EXPECT_EQ(p.rowNames, (std::vector<std::string>{"ROW 1"}));
}

TEST_F(MpsFiles, MissingFilesAndDirectoriesAreNotReadable) {
    MpsProblem p;
    std::string message;
    const std::string missing = (dir_ / "nothing.mps").string();
    EXPECT_EQ(readMps(missing, p, message), MpsStatus::NotReadable);
    EXPECT_EQ(message, missing + ": cannot be opened: no such file");
    EXPECT_EQ(readMps(dir_.string(), p, message), MpsStatus::NotReadable);
    EXPECT_EQ(message, dir_.string() + ": cannot be read: is a directory");
}
