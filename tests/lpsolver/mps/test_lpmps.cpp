// lpmps: its arguments, the option lines and workspace it gives the solver, its start point and
// result line; and the program's exit status and messages on bad arguments and bad files.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lpsolver/mps/lpmps_support.h"
#include "lpsolver/workspace.h"

using namespace lp;

namespace {

LpmpsArgs parseArgs(std::vector<std::string> args, LpmpsOptions& o, std::string& error) {
    return parseLpmpsArgs(args, o, error);
}

} // namespace

TEST(LpmpsArgs, FileAndOptions) {
    LpmpsOptions o;
    std::string error;
    ASSERT_EQ(parseArgs({"afiro.mps"}, o, error), LpmpsArgs::Run);
    EXPECT_EQ(o.file, "afiro.mps");
    EXPECT_FALSE(o.printLevelGiven);
    EXPECT_FALSE(o.feasiblePoint);
    EXPECT_EQ(o.format, MpsFormat::Auto);
    EXPECT_TRUE(lpmpsOptionLines(o).empty());

    ASSERT_EQ(parseArgs({"--print-level", "3", "--fp", "x.mps"}, o, error), LpmpsArgs::Run);
    EXPECT_EQ(o.file, "x.mps");
    EXPECT_TRUE(o.printLevelGiven);
    EXPECT_EQ(o.printLevel, 3);
    EXPECT_TRUE(o.feasiblePoint);
    EXPECT_EQ(lpmpsOptionLines(o), (std::vector<std::string>{"Print level 3", "Problem type FP"}));

    ASSERT_EQ(parseArgs({"x.mps", "--print-level=-1", "--fixed", "--steepest-edge"}, o, error),
              LpmpsArgs::Run);
    EXPECT_EQ(o.printLevel, -1);
    EXPECT_EQ(o.format, MpsFormat::Fixed);
    EXPECT_EQ(lpmpsOptionLines(o), (std::vector<std::string>{"Print level -1", "Steepest edge 1"}));

    ASSERT_EQ(parseArgs({"--free", "--print-level", "+10", "x.mps"}, o, error), LpmpsArgs::Run);
    EXPECT_EQ(o.format, MpsFormat::Free);
    EXPECT_EQ(o.printLevel, 10);

    EXPECT_EQ(parseArgs({"--help"}, o, error), LpmpsArgs::Help);
    EXPECT_EQ(parseArgs({"x.mps", "-h"}, o, error), LpmpsArgs::Help);
}

TEST(LpmpsArgs, BadArguments) {
    LpmpsOptions o;
    std::string error;
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{}, "no MPS file given"},
        {{"--fp"}, "no MPS file given"},
        {{"a.mps", "b.mps"}, "one MPS file only ('a.mps', 'b.mps')"},
        {{"--print-level"}, "--print-level needs a value"},
        {{"x.mps", "--print-level"}, "--print-level needs a value"},
        {{"--print-level", "x", "a.mps"}, "--print-level needs an integer, not 'x'"},
        {{"--print-level", "1.5", "a.mps"}, "--print-level needs an integer, not '1.5'"},
        {{"--print-level=", "a.mps"}, "--print-level needs an integer, not ''"},
        {{"--print-level", "99999999999", "a.mps"}, "needs an integer, not '99999999999'"},
        {{"--verbose", "a.mps"}, "unknown option '--verbose'"},
        {{"--fixed", "--free", "a.mps"}, "give one of --fixed and --free"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseArgs(c.args, o, error), LpmpsArgs::Bad) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    EXPECT_NE(lpmpsUsage().find("usage: lpmps"), std::string_view::npos);
}

TEST(LpmpsWorkspace, TheSizesLpmpsPassesFollowTheRule) {
    // lpmps sizes IWORK and WORK by workspaceLayout; the values below are worked out by hand
    // from the rule 6N + 5 NCLIN + (N for LP) + trows*tcols + (qord^2 if NCLIN > 0), 2N + 3.
    auto need = [](int n, int nclin, bool typeLP) {
        const WorkspaceLayout ws = workspaceLayout(n, nclin, typeLP);
        return std::pair<std::int64_t, std::int64_t>(ws.needInt, ws.needReal);
    };
    using P = std::pair<std::int64_t, std::int64_t>;
    // NCLIN >= N, type LP: 2N^2 + 7N + 5 NCLIN = 200 + 70 + 100.
    EXPECT_EQ(need(10, 20, true), (P{23, 370}));
    // NCLIN = N: 2*25 + 35 + 25.
    EXPECT_EQ(need(5, 5, true), (P{13, 110}));
    // 0 < NCLIN < N: 2(NCLIN+1)^2 + 7N + 5 NCLIN; N = 10, NCLIN = 3: 32 + 70 + 15.
    EXPECT_EQ(need(10, 3, true), (P{23, 117}));
    // NCLIN = N - 1: 2*25 + 35 + 20.
    EXPECT_EQ(need(5, 4, true), (P{13, 105}));
    // NCLIN = 0: 7N + 1.
    EXPECT_EQ(need(10, 0, true), (P{23, 71}));
    // Type FP needs N reals less.
    EXPECT_EQ(need(10, 20, false), (P{23, 360}));
    EXPECT_EQ(need(10, 0, false), (P{23, 61}));
    // N = 1, NCLIN = 1: 2 + 7 + 5.
    EXPECT_EQ(need(1, 1, true), (P{5, 14}));
    // AFIRO (32 variables, 27 rows): 2*28^2 + 7*32 + 5*27 = 1568 + 224 + 135.
    EXPECT_EQ(need(32, 27, true), (P{67, 1927}));
    // The largest problem of the calculation module (720 coefficients, 10080 rows) fits into
    // the 15000000 reals it provides: 2*720^2 + 7*720 + 5*10080 = 1092240.
    EXPECT_EQ(need(720, 10080, true), (P{1443, 1092240}));
}

TEST(LpmpsStartPoint, ZeroMovedIntoTheBounds) {
    const double big = 1.0e20;
    const double BL[] = {0, -big, 2, -5, -big, -3, 1};
    const double BU[] = {4, big, 5, -1, big, -3, 1};
    double X[7] = {9, 9, 9, 9, 9, 9, 9};
    lpmpsStartPoint(7, BL, BU, X);
    const double want[] = {0, 0, 2, -1, 0, -3, 1};
    for (int j = 0; j < 7; ++j) EXPECT_EQ(X[j], want[j]) << j;
}

TEST(LpmpsResultLine, TwelveSignificantDigitsWithAPoint) {
    EXPECT_EQ(significant12(-464.7531428571429), "-464.753142857");
    EXPECT_EQ(significant12(225494.96316), "225494.96316");
    EXPECT_EQ(significant12(-11.638929066), "-11.638929066");
    EXPECT_EQ(significant12(1.0 / 3.0), "0.333333333333");
    EXPECT_EQ(significant12(2.0 / 3.0), "0.666666666667");
    EXPECT_EQ(significant12(-35991767.287), "-35991767.287");
    EXPECT_EQ(significant12(123456789012345.0), "1.23456789012e+14");
    EXPECT_EQ(significant12(1.0e20), "1e+20");
    EXPECT_EQ(significant12(0.00012), "0.00012");
    EXPECT_EQ(significant12(0.000012), "1.2e-05");
    EXPECT_EQ(significant12(0.0), "0");
    EXPECT_EQ(significant12(-0.0), "0");
    EXPECT_EQ(significant12(-70.0), "-70");
    EXPECT_EQ(lpmpsResultLine(0, -464.7531428571429, 17),
              "status=0 objective=-464.753142857 iterations=17");
    EXPECT_EQ(lpmpsResultLine(6, 0.0, 0), "status=6 objective=0 iterations=0");
    EXPECT_EQ(lpmpsResultLine(-1, 1.5, 123456), "status=-1 objective=1.5 iterations=123456");
}

// The program itself: exit status and messages.

namespace {

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

ProgramRun runLpmps(const std::string& args) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string tag = std::to_string(::getpid());
    const auto out = dir / ("lpmps-out-" + tag), err = dir / ("lpmps-err-" + tag);
    const std::string cmd = std::string("'") + LPMPS_PATH + "' " + args + " >'" + out.string() +
                            "' 2>'" + err.string() + "'";
    ProgramRun r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    auto slurp = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    r.out = slurp(out);
    r.err = slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

} // namespace

TEST(LpmpsProgram, BadArgumentsGiveUsageAndStatus2) {
    for (const char* args : {"", "--bogus x.mps", "a.mps b.mps", "--print-level x a.mps"}) {
        ProgramRun r = runLpmps(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: lpmps"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    ProgramRun r = runLpmps("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: lpmps"), std::string::npos);
}

TEST(LpmpsProgram, UnreadableOrMalformedFilesGiveFileAndLineAndStatus2) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("lpmps-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string bad = (dir / "bad.mps").string();
    std::ofstream(bad) << "NAME T\nROWS\n N OBJ\n L R1\nCOLUMNS\n X R9 1\nENDATA\n";
    ProgramRun r = runLpmps("'" + bad + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lpmps: " + bad + ":6: COLUMNS: unknown row 'R9' in column 'X'\n");
    EXPECT_TRUE(r.out.empty()) << r.out;

    const std::string missing = (dir / "missing.mps").string();
    r = runLpmps("'" + missing + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lpmps: " + missing + ": cannot be opened: no such file\n");
    std::filesystem::remove_all(dir);
}

TEST(LpmpsProgram, SolvesNetlibFilesAndEndsWithTheResultLine) {
    const auto dir =
        std::filesystem::path(TERVANA_SOURCE_DIR) / ".." / "shared" / "data" / "netlib";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << dir << " is not there";
    struct Case {
        const char* file;
        double objective; // published c'x plus the objective constant of the file
    };
    // AFIRO: objective row last. E226: RHS -7.113 on the objective row, so the published
    // -18.751929066 (c'x alone) becomes -18.751929066 + 7.113.
    for (const auto& [c, rule] : {std::pair{Case{"afiro.mps", -464.75314286}, ""},
                                  {Case{"e226.mps", -11.638929066}, ""},
                                  {Case{"e226.mps", -11.638929066}, "--steepest-edge "}}) {
        SCOPED_TRACE(std::string(c.file) + " " + rule);
        ProgramRun r =
            runLpmps(std::string("--print-level 0 ") + rule + "'" + (dir / c.file).string() + "'");
        EXPECT_EQ(r.status, 0);
        ASSERT_FALSE(r.out.empty());
        ASSERT_EQ(r.out.back(), '\n');
        const std::string last = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
        // "status=<int> objective=<real> iterations=<int>\n", read without the locale.
        ASSERT_EQ(last.back(), '\n');
        std::istringstream fields(last.substr(0, last.size() - 1));
        std::string fs, fo, fi, extra;
        fields >> fs >> fo >> fi;
        EXPECT_FALSE(fields >> extra) << last;
        ASSERT_EQ(fs.rfind("status=", 0), 0u) << last;
        ASSERT_EQ(fo.rfind("objective=", 0), 0u) << last;
        ASSERT_EQ(fi.rfind("iterations=", 0), 0u) << last;
        int status = -1, iterations = -1;
        double objective = 0.0;
        auto whole = [](const std::string& s, std::size_t from, auto& v) {
            auto [end, ec] = std::from_chars(s.data() + from, s.data() + s.size(), v);
            return ec == std::errc() && end == s.data() + s.size();
        };
        ASSERT_TRUE(whole(fs, 7, status)) << last;
        ASSERT_TRUE(whole(fo, 10, objective)) << last;
        ASSERT_TRUE(whole(fi, 11, iterations)) << last;
        EXPECT_TRUE(status == 0 || status == 1) << last; // optimal or weak optimum
        EXPECT_NEAR(objective, c.objective, 1e-6 * std::fabs(c.objective)) << last;
        EXPECT_GT(iterations, 0);
    }
}
