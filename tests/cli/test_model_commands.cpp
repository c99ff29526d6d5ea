// tervana-cli, run in process on the example projects.
#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "calc/listing.h"
#include "calc/msinp.h"
#include "cli/model_commands.h"
#include "model/format_real.h"
#include "model/project_file.h"
#include "tests/model/model_test_support.h"
#include "tests/support/changed_project.h"

using namespace model;
using cli::runCli;
using namespace model::test;

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun runTool(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runCli(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string kExamples = TERVANA_SOURCE_DIR "/examples/";

} // namespace

class Cli : public InScratchDir {};

TEST_F(Cli, ShowPrintsTheIndentedTree) {
    CliRun r = runTool({"show", kExamples + "cam_dwell.k4p"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "cam_dwell.k4p");
    EXPECT_NE(r.out.find("\n  Bewegungsvorgabe (abs) 1\n    [s0]: ( 0.0 ...  40.0) -> (-0.05 ...  "
                         "0.05)\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\n  Optimierungsobjekt 1\n    [s0](1): ( 150.0 ...  200.0)"),
              std::string::npos);
}

TEST_F(Cli, CheckReportsInconsistentObjects) {
    CliRun ok = runTool({"check", kExamples + "cam_dwell.k4p"});
    EXPECT_EQ(ok.status, 0);
    // Make the dwell interval empty (phi2 = phi1): inconsistent, and why.
    std::string bytes = readFile(kExamples + "cam_dwell.k4p");
    const std::string from =
        "3.20000000000000E+0002   0.00000000000000E+0000   3.60000000000000E+0002";
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, from.size(),
                  "3.20000000000000E+0002   0.00000000000000E+0000   3.20000000000000E+0002");
    writeFile(path("bad.k4p"), bytes);
    CliRun bad = runTool({"check", path("bad.k4p")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("Bewegungsvorgabe (abs) 1 / ! [s0]: ( 320.0 ...  320.0)"),
              std::string::npos)
        << bad.out;
    // A reason of its own, with the value at fault, in the words of the editor's fields.
    const std::string line = bad.out.substr(0, bad.out.find('\n'));
    const std::string reason = line.substr(line.rfind(": ") + 2);
    EXPECT_NE(reason, "inkonsistent");
    EXPECT_NE(reason.find("320.0"), std::string::npos) << reason;
    EXPECT_EQ(reason.find("Par["), std::string::npos) << reason;
    CliRun ex = runTool({"export-kq4", path("bad.k4p"), "-o", path("x.kq4")});
    EXPECT_EQ(ex.status, 1);
    EXPECT_FALSE(std::filesystem::exists(path("x.kq4")));
}

TEST_F(Cli, TableHas361LinesAndMatchesTheModel) {
    CliRun r = runTool({"table", kExamples + "cam_dwell.k4p", "--object", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    int lines = 0;
    for (std::size_t i = 0; i + 1 < r.out.size(); ++i)
        lines += r.out[i] == '\r' && r.out[i + 1] == '\n';
    EXPECT_EQ(lines, 361);
    // The dwell at 12 mm (150 .. 200, moved by up to 10): the line for 180 degrees shows s
    // close to 12.
    const std::size_t at = r.out.find("\r\n 180.0\t ");
    ASSERT_NE(at, std::string::npos);
    const std::string field = r.out.substr(at + 10);
    double s = 0.0;
    ASSERT_TRUE(parseDouble(
        field.substr(field.find_first_not_of(' '), field.find('\t') - field.find_first_not_of(' ')),
        s));
    EXPECT_NEAR(s, 12.0, 0.05);
    CliRun q = runTool({"table", kExamples + "slide_gripper.k4p", "--object", "1-2", "--step", "90",
                        "--columns", "s,m,q", "--digits", "4"});
    ASSERT_EQ(q.status, 0) << q.err;
    EXPECT_EQ(std::count(q.out.begin(), q.out.end(), '\n'), 5);
    EXPECT_EQ(std::count(q.out.begin(), q.out.end(), '\t'), 15);
}

// Every example: a global group, a relative restriction, elastic outputs, variable bounds.
TEST_F(Cli, ExportAndImportRoundTrip) {
    // The same records, except the written-only result slots IPar[7] and IPar[8] of the
    // project and the headers (an import carries no results), and the project's IPar[6]: the
    // import switches the advanced settings on whenever the start record carries search values,
    // and an input written with them off carries the standard ones.
    auto masked = [](std::string text) {
        std::size_t pos = 0;
        for (int line = 0; pos < text.size(); ++line) {
            const std::size_t end = text.find("\r\n", pos);
            if (line % 2 == 0 && text.compare(pos, 4, "   0") == 0) {
                const std::size_t from = line == 0 ? 20 : 24; // the project's IPar[6] too
                text.replace(pos + from, 32 - from, 32 - from, '#');
            }
            pos = end + 2;
        }
        return text;
    };
    for (const char* name : {"cam_dwell", "slide_gripper", "packaging_three_drives"}) {
        SCOPED_TRACE(name);
        const std::string example = kExamples + name + ".k4p", input = path("remote$.kq4");
        CliRun e = runTool({"export-kq4", example, "-o", input});
        ASSERT_EQ(e.status, 0) << e.err;
        std::ostringstream os;
        calc::OutputStream listing(os);
        calc::RunInput run;
        EXPECT_EQ(calc::MSINP(input, listing, run), calc::ResultCode::Normal) << os.str();
        CliRun i = runTool({"import", input, "-o", path("back.k4p")});
        ASSERT_EQ(i.status, 0) << i.err;
        CliRun s1 = runTool({"show", path("back.k4p")});
        CliRun s0 = runTool({"show", example});
        // The same tree below the project line.
        EXPECT_EQ(s1.out.substr(s1.out.find('\n')), s0.out.substr(s0.out.find('\n')));
        CliRun again = runTool({"export-kq4", path("back.k4p"), "-o", path("again.kq4")});
        ASSERT_EQ(again.status, 0);
        EXPECT_EQ(masked(readFile(path("again.kq4"))), masked(readFile(input)));
    }
}

TEST_F(Cli, BadArgumentsAndHelp) {
    EXPECT_EQ(runTool({}).status, 2);
    EXPECT_EQ(runTool({"frobnicate"}).status, 2);
    EXPECT_EQ(runTool({"show"}).status, 2);
    EXPECT_EQ(runTool({"show", "a.k4p", "b.k4p"}).status, 2);
    EXPECT_EQ(runTool({"table", kExamples + "cam_dwell.k4p"}).status, 2);
    EXPECT_EQ(
        runTool({"table", kExamples + "cam_dwell.k4p", "--object", "1", "--step", "0"}).status, 2);
    EXPECT_EQ(
        runTool({"table", kExamples + "cam_dwell.k4p", "--object", "1", "--columns", "x"}).status,
        2);
    EXPECT_EQ(runTool({"table", kExamples + "cam_dwell.k4p", "--object", "7"}).status, 1);
    EXPECT_EQ(runTool({"import", "x.kq4"}).status, 2);
    for (const char* c : {"show", "import", "table", "export-kq4", "check"}) {
        CliRun h = runTool({c, "--help"});
        EXPECT_EQ(h.status, 0);
        EXPECT_NE(h.out.find("Aufruf: tervana-cli"), std::string::npos);
    }
    CliRun missing = runTool({"show", path("none.k4p")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Projektdatei konnte nicht geöffnet werden."), std::string::npos);
    writeFile(path("x.txt"), "");
    EXPECT_EQ(runTool({"import", path("x.txt"), "-o", path("x.k4p")}).status, 1);
}

TEST_F(Cli, ShowBindingAndValues) {
    CliRun r = runTool({"show", kExamples + "slide_gripper.k4p", "--binding", "--values"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The stored result, then per motion the restrictions that bind, the relative one included.
    EXPECT_EQ(r.out.find("Ergebnis: β = "), 0u) << r.out;
    EXPECT_NE(r.out.find("\nBindende Restriktionen:\n  Bewegungsvorgabe (abs) 1\n    [s0]: ( 0.0 "
                         "...  30.0) -> (-0.05 ...  0.05): "),
              std::string::npos)
        << r.out;
    // The relative band's variable bound is what limits beta here, and says so.
    EXPECT_NE(r.out.find("\n  Bewegungsvorgabe (rel) 1-2\n    [s0]: ( 0.0 ...  360.0) -> ( ...  "
                         "32.0) (begrenzt beta): "),
              std::string::npos)
        << r.out;
    const std::size_t values = r.out.find("Kennwerte:\n  Bewegungsvorgabe (abs) 1\n    s     min ");
    ASSERT_NE(values, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n    s'''  min ", values), std::string::npos);
    // A relative motion without restrictions: nothing binds.
    CliRun none = runTool({"show", "--binding", kExamples + "packaging_three_drives.k4p"});
    EXPECT_NE(none.out.find("\n  Bewegungsvorgabe (rel) 2-3\n    keine\n"), std::string::npos)
        << none.out;
    // Stale stored results: nothing binds, but values exist.
    writeFile(path("stale.k4p"),
              tervana::test::changedProject(kExamples + "packaging_three_drives.k4p",
                                            tervana::test::makeResultsStale));
    CliRun stale = runTool({"show", "--binding", "--values", path("stale.k4p")});
    EXPECT_NE(stale.out.find("Bewegungsvorgabe (rel) 2-3\n    keine aktuellen Ergebnisse\n"),
              std::string::npos)
        << stale.out;
    EXPECT_NE(stale.out.find("Kennwerte:\n  Bewegungsvorgabe (abs) 1\n    s     min "),
              std::string::npos)
        << stale.out;
    EXPECT_EQ(runTool({"show", kExamples + "cam_dwell.k4p", "--bogus"}).status, 2);
}

TEST_F(Cli, TableCsvPoints) {
    CliRun r = runTool({"table", kExamples + "cam_dwell.k4p", "--object", "1", "--csv", "--points",
                        "4", "--columns", "s,v,a"});
    ASSERT_EQ(r.status, 0) << r.err;
    ProjectTree tree;
    const auto& motion =
        *findAbs(*std::get<Node*>(openProject(tree, kExamples + "cam_dwell.k4p")), 1)
             ->as<TPaintObj>();
    const std::vector<std::string> phi = {"0", "90", "180", "270"};
    std::size_t start = r.out.find("\r\n");
    ASSERT_EQ(r.out.substr(0, start), "φ [°],s,s',s''");
    for (const std::string& p : phi) {
        const std::size_t end = r.out.find("\r\n", start + 2);
        ASSERT_NE(end, std::string::npos);
        const std::string row = r.out.substr(start + 2, end - start - 2);
        // Four fields whatever the locale: the decimals are points.
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), 3) << row;
        EXPECT_EQ(row.substr(0, row.find(',')), p);
        // Each value is the law's double itself.
        std::istringstream fields(row);
        std::string field;
        std::getline(fields, field, ',');
        for (int n = 0; std::getline(fields, field, ','); ++n) {
            double v = 0.0;
            EXPECT_TRUE(parseDouble(field, v)) << field;
            EXPECT_EQ(v, motion.Calc_s(n, std::atoi(p.c_str()))) << row;
        }
        start = end;
    }
    EXPECT_EQ(start + 2, r.out.size());
    const std::vector<std::vector<std::string>> bad = {
        {"--points", "4"}, {"--csv", "--points", "0"}, {"--csv", "--points", "x"}};
    for (const auto& extra : bad) {
        std::vector<std::string> args = {"table", kExamples + "cam_dwell.k4p", "--object", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(runTool(args).status, 2) << extra.back();
    }
}
