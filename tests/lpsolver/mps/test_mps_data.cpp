// The MPS reader on the Netlib LP files and the random dense LPs kept next to the repository
// (../shared/data). The expected counts are those of the data folders' README files.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/lpsolver/mps/mps_test_support.h"

using namespace lp;
using namespace lp::test;

namespace {

const std::filesystem::path kData =
    std::filesystem::path(TERVANA_SOURCE_DIR) / ".." / "shared" / "data";

struct NetlibFile {
    const char* name; // NAME
    const char* file;
    int rows; // ROWS entries, the objective row included
    int columns;
    std::size_t entries; // COLUMNS entries, the objective row included
    int emptyRows;       // rows without any entry
    int rangedRows;      // rows with a RANGES entry
    int freeColumns;     // FR
    int fixedColumns;    // FX, or UP 0 on lower bound 0
    int negLowerUpper0;  // LO < 0 followed by UP 0
};

// From netlib/README.md: the problem table and the notes on bounds, ranges and empty rows.
const NetlibFile kNetlib[] = {
    {"ADLITTLE", "adlittle.mps", 57, 97, 465, 0, 0, 0, 0, 0},
    {"AFIRO", "afiro.mps", 28, 32, 88, 0, 0, 0, 0, 0},
    {"AGG", "agg.mps", 489, 163, 2541, 0, 0, 0, 0, 0},
    {"BANDM", "bandm.mps", 306, 472, 2659, 0, 0, 0, 0, 0},
    {"BEACONFD", "beaconfd.mps", 174, 262, 3476, 0, 0, 0, 0, 0},
    {"BLEND", "blend.mps", 75, 83, 521, 0, 0, 0, 0, 0},
    {"BOEING1", "boeing1.mps", 352, 384, 3865, 3, 89, 0, 0, 6},
    {"BOEING2", "boeing2.mps", 167, 143, 1339, 26, 19, 0, 0, 4},
    {"BORE3D", "bore3d.mps", 234, 315, 1525, 0, 0, 0, 1, 0},
    {"BRANDY", "brandy.mps", 221, 249, 2150, 38, 0, 0, 0, 0},
    {"CAPRI", "capri.mps", 272, 353, 1786, 0, 0, 14, 16, 0},
    {"E226", "e226.mps", 224, 282, 2767, 0, 0, 0, 0, 0},
    {"GROW7", "grow7.mps", 141, 301, 2633, 0, 0, 0, 0, 0},
    {"ISRAEL", "israel.mps", 175, 142, 2358, 0, 0, 0, 0, 0},
    {"KB2", "kb2.mps", 44, 41, 291, 0, 0, 0, 0, 0},
    {"LOTFI", "lotfi.mps", 154, 308, 1086, 0, 0, 0, 0, 0},
    {"RECIPE", "recipe.mps", 92, 180, 752, 0, 0, 0, 26, 0},
    {"SC105", "sc105.mps", 106, 103, 281, 1, 0, 0, 0, 0},
    {"SC205", "sc205.mps", 206, 203, 552, 1, 0, 0, 0, 0},
    {"SC50A", "sc50a.mps", 51, 48, 131, 1, 0, 0, 0, 0},
    {"SC50B", "sc50b.mps", 51, 48, 119, 2, 0, 0, 0, 0},
    {"SCAGR7", "scagr7.mps", 130, 140, 553, 0, 0, 0, 0, 0},
    {"SCFXM1", "scfxm1.mps", 331, 457, 2612, 0, 0, 0, 0, 0},
    {"SCORPION", "scorpion.mps", 389, 358, 1708, 0, 0, 0, 0, 0},
    {"SCTAP1", "sctap1.mps", 301, 480, 2052, 0, 0, 0, 0, 0},
    {"SHARE1B", "share1b.mps", 118, 225, 1182, 0, 0, 0, 0, 0},
    {"SHARE2B", "share2b.mps", 97, 79, 730, 0, 0, 0, 0, 0},
    {"STAIR", "stair.mps", 357, 467, 3857, 0, 0, 6, 82, 0},
    {"STOCFOR1", "stocfor1.mps", 118, 111, 474, 0, 0, 0, 0, 0},
    {"VTP.BASE", "vtp.base.mps", 199, 203, 914, 0, 0, 1, 18, 32},
};

bool readFile(const std::filesystem::path& path, MpsProblem& p) {
    std::string message;
    const MpsStatus st = readMps(path.string(), p, message);
    EXPECT_EQ(st, MpsStatus::Read) << message;
    return st == MpsStatus::Read;
}

int countRows(const MpsProblem& p, auto pred) {
    int count = 0;
    for (int i = 0; i < p.NCLIN; ++i) count += pred(i) ? 1 : 0;
    return count;
}

int countColumns(const MpsProblem& p, auto pred) {
    int count = 0;
    for (int j = 0; j < p.N; ++j) count += pred(j) ? 1 : 0;
    return count;
}

} // namespace

TEST(NetlibFiles, EveryFileReadsWithTheCountsOfItsReadme) {
    const auto dir = kData / "netlib";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << dir << " is not there";
    for (const NetlibFile& f : kNetlib) {
        SCOPED_TRACE(f.file);
        MpsProblem p;
        if (!readFile(dir / f.file, p)) continue;
        EXPECT_EQ(p.name, f.name);
        EXPECT_EQ(p.NCLIN, f.rows - 1);
        EXPECT_EQ(p.N, f.columns);
        EXPECT_EQ(p.entries, f.entries);
        EXPECT_EQ(p.format, MpsFormat::Free); // fixed files without blanks read either way
        EXPECT_TRUE(p.warnings.empty()) << p.warnings.front();
        EXPECT_FALSE(p.maximize);
        EXPECT_FALSE(p.objectiveName.empty());
        const auto n = static_cast<std::size_t>(p.N);

        EXPECT_EQ(countRows(p,
                            [&](int i) {
                                for (int j = 0; j < p.N; ++j)
                                    if (at(p, i, j) != 0.0) return false;
                                return true;
                            }),
                  f.emptyRows);
        EXPECT_EQ(countRows(p,
                            [&](int i) {
                                const double lo = p.BL[n + static_cast<std::size_t>(i)];
                                const double up = p.BU[n + static_cast<std::size_t>(i)];
                                switch (p.rowTypes[static_cast<std::size_t>(i)]) {
                                case 'L':
                                    return lo > -kInf;
                                case 'G':
                                    return up < kInf;
                                default:
                                    return lo != up;
                                }
                            }),
                  f.rangedRows);
        EXPECT_EQ(countColumns(p,
                               [&](int j) {
                                   const auto c = static_cast<std::size_t>(j);
                                   return p.BL[c] == -kInf && p.BU[c] == kInf;
                               }),
                  f.freeColumns);
        EXPECT_EQ(countColumns(p,
                               [&](int j) {
                                   const auto c = static_cast<std::size_t>(j);
                                   return p.BL[c] == p.BU[c];
                               }),
                  f.fixedColumns);
        EXPECT_EQ(countColumns(p,
                               [&](int j) {
                                   const auto c = static_cast<std::size_t>(j);
                                   return p.BL[c] < 0.0 && p.BL[c] > -kInf && p.BU[c] == 0.0;
                               }),
                  f.negLowerUpper0);
    }
}

TEST(NetlibFiles, NoOtherFilesInTheFolder) {
    // Every MPS file there is in the table above, so every one of them is read.
    const auto dir = kData / "netlib";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << dir << " is not there";
    std::set<std::string> known;
    for (const NetlibFile& f : kNetlib) known.insert(f.file);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".mps") continue;
        ++files;
        EXPECT_TRUE(known.count(e.path().filename().string())) << e.path();
    }
    EXPECT_EQ(files, 30);
}

TEST(NetlibFiles, ObjectiveConstantsAndSpecialBounds) {
    const auto dir = kData / "netlib";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << dir << " is not there";
    MpsProblem p;
    // E226: RHS -7.113 on the objective row, so the objective is c'x + 7.113.
    ASSERT_TRUE(readFile(dir / "e226.mps", p));
    EXPECT_EQ(p.objConstant, 7.113);
    ASSERT_TRUE(readFile(dir / "grow7.mps", p)); // an explicit 0.0
    EXPECT_EQ(p.objConstant, 0.0);
    for (const char* file : {"afiro.mps", "stair.mps", "boeing1.mps"}) {
        ASSERT_TRUE(readFile(dir / file, p));
        EXPECT_EQ(p.objConstant, 0.0) << file;
    }
    // AFIRO: the objective row is the last ROWS entry; the first general row is R09.
    ASSERT_TRUE(readFile(dir / "afiro.mps", p));
    EXPECT_EQ(p.objectiveName, "COST");
    EXPECT_EQ(p.rowNames.front(), "R09");
    EXPECT_EQ(p.rowNames.back(), "X51");
    // STAIR: one column fixed at a negative value.
    ASSERT_TRUE(readFile(dir / "stair.mps", p));
    EXPECT_EQ(countColumns(p,
                           [&](int j) {
                               const auto c = static_cast<std::size_t>(j);
                               return p.BL[c] == p.BU[c] && p.BL[c] < 0.0;
                           }),
              1);
}

struct RandomFile {
    const char* file;
    int n, m, rowsL, rowsG, rowsE;
    std::size_t nonzeros; // of A
};

// From randlp/README.md.
const RandomFile kRandom[] = {
    {"rand_n100_m300.mps", 100, 300, 147, 150, 3, 30000},
    {"rand_n200_m800.mps", 200, 800, 360, 432, 8, 160000},
    {"rand_n300_m1000.mps", 300, 1000, 498, 492, 10, 300000},
    {"rand_n400_m1500.mps", 400, 1500, 702, 783, 15, 600000},
    {"rand_n700_m2500.mps", 700, 2500, 1281, 1194, 25, 528087},
};

TEST(RandomLpFiles, EveryFileReadsWithTheShapeOfItsReadme) {
    const auto dir = kData / "randlp";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << dir << " is not there";
    for (const RandomFile& f : kRandom) {
        SCOPED_TRACE(f.file);
        MpsProblem p;
        if (!readFile(dir / f.file, p)) continue;
        ASSERT_EQ(p.N, f.n);
        ASSERT_EQ(p.NCLIN, f.m);
        EXPECT_EQ(p.format, MpsFormat::Free);
        EXPECT_TRUE(p.warnings.empty());
        EXPECT_EQ(p.objectiveName, "COST");
        EXPECT_EQ(p.objConstant, 0.0);
        EXPECT_EQ(std::count(p.rowTypes.begin(), p.rowTypes.end(), 'L'), f.rowsL);
        EXPECT_EQ(std::count(p.rowTypes.begin(), p.rowTypes.end(), 'G'), f.rowsG);
        EXPECT_EQ(std::count(p.rowTypes.begin(), p.rowTypes.end(), 'E'), f.rowsE);
        EXPECT_EQ(static_cast<std::size_t>(p.A.size() - static_cast<std::size_t>(std::count(
                                                            p.A.begin(), p.A.end(), 0.0))),
                  f.nonzeros);
        // Coefficients are multiples of 0.001 in [-0.999, 0.999].
        for (double a : p.A) {
            ASSERT_LE(std::fabs(a), 0.999);
            ASSERT_NEAR(a * 1000.0, std::round(a * 1000.0), 1e-9);
        }
        // Every variable has a finite lower bound in [-5, 2] and an upper one 1 to 10 above.
        for (int j = 0; j < p.N; ++j) {
            const auto c = static_cast<std::size_t>(j);
            EXPECT_GE(p.BL[c], -5.0);
            EXPECT_LE(p.BL[c], 2.0);
            EXPECT_GE(p.BU[c] - p.BL[c], 1.0 - 1e-12);
            EXPECT_LE(p.BU[c] - p.BL[c], 10.0 + 1e-12);
        }
        // E rows are equalities, L rows have no lower and G rows no upper bound.
        for (int i = 0; i < p.NCLIN; ++i) {
            const auto r = static_cast<std::size_t>(p.N + i);
            switch (p.rowTypes[static_cast<std::size_t>(i)]) {
            case 'L':
                EXPECT_EQ(p.BL[r], -kInf);
                break;
            case 'G':
                EXPECT_EQ(p.BU[r], kInf);
                break;
            default:
                EXPECT_EQ(p.BL[r], p.BU[r]);
                break;
            }
        }
    }
}
