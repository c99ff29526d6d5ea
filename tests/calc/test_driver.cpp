// The run driver: file names, listing and "err" files, result code file, prompt, beeps.
#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "calc/kq4calc.h"
#include "calc/msfnme.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

namespace {

class Driver : public InScratchDir {
protected:
    ResultCode run(const std::vector<std::string>& args, const std::string& console = "") {
        in.str(console);
        RunEnvironment env;
        env.in = &in;
        env.out = &out;
        env.diag = &diag;
        env.clock = [this] { return clock += 0.5; };
        env.beep = [this] { ++beeps; };
        return KQ4CALC(args, env);
    }
    std::istringstream in;
    std::ostringstream out, diag;
    double clock = 0.0;
    int beeps = 0;
};

} // namespace

TEST_F(Driver, InputNotFound) {
    EXPECT_EQ(run({"remote$.kq4", "0"}), ResultCode::InputError);
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
    EXPECT_EQ(readFile("remote$.lst"), "Eingabefehler \n");
    EXPECT_EQ(readFile("remote$.err"), "\nVerletzung folgender Restriktionen:\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(beeps, 3);
}

TEST_F(Driver, InputErrorWithBeepSwitchedOff) {
    Records rs = simpleProject();
    rs[0].IPar[4] = 39;
    rs[1].IPar[3] = -2;
    writeFile("job.kq4", recordText(rs));
    EXPECT_EQ(run({"job.kq4"}), ResultCode::InputError);
    EXPECT_EQ(beeps, 0);
    const auto lst = readLines("job.lst");
    ASSERT_EQ(lst.size(), 4u);
    EXPECT_EQ(lst[0], " Fehlerhafter Datensatz:  2");
    EXPECT_EQ(lst[3], "Eingabefehler ");
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
}

TEST_F(Driver, ConstantRequirementsAloneAreMetOnce) {
    // Two objects without restrictions: the constant requirements hold at once (code 1), the
    // result files are written once, and there is no violation report.
    writeFile("remote$.kq4", recordText(simpleProject(2, 5)));
    EXPECT_EQ(run({"remote$.kq4", "0"}), ResultCode::AllSatisfied);
    EXPECT_EQ(readFile("kq4.err"), " 1\n");
    EXPECT_EQ(readFile("remote$.lst"), " Konstante Forderungen erfuellbar\n");
    EXPECT_EQ(readFile("remote$.err"), "\n");
    EXPECT_EQ(readLines("remote$.fk1").size(), 1u + 5 + 3);
    EXPECT_EQ(readLines("remote$.fk2").size(), 1u + 5 + 3);
    EXPECT_EQ(readLines("remote$.as1").size(), 1u + 361 + 3);
    EXPECT_FALSE(std::filesystem::exists("remote$.aq1"));
    EXPECT_FALSE(std::filesystem::exists("remote$.kqe"));
    EXPECT_EQ(beeps, 4); // start, result files, end twice
}

TEST_F(Driver, InteractiveRunAsksForTheNameAndListsOnTheConsole) {
    EXPECT_EQ(run({}, "remote$.kq4\r\n"), ResultCode::InputError);
    EXPECT_EQ(out.str(), "kq4calc V.2.1: Input-filename: Eingabefehler \n");
    EXPECT_FALSE(std::filesystem::exists("remote$.lst"));
    EXPECT_TRUE(std::filesystem::exists("remote$.err"));
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
}

TEST_F(Driver, NoNameOrOverlongName) {
    EXPECT_EQ(run({}, ""), ResultCode::InputError);
    EXPECT_NE(diag.str().find("kein Dateiname"), std::string::npos);
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
    // No files are derived from an empty name.
    EXPECT_FALSE(std::filesystem::exists(".err"));
    const std::string longName(121, 'a');
    EXPECT_EQ(run({longName, "0"}), ResultCode::InputError);
    EXPECT_NE(diag.str().find("laenger als 120"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(MSFNME(longName, "lst")));
    EXPECT_EQ(run({std::string(116, 'b') + ".kq4", "0"}), ResultCode::InputError);
    EXPECT_TRUE(std::filesystem::exists(std::string(116, 'b') + ".lst"));
}

TEST_F(Driver, ReportModeThatIsNoNumberIsNamed) {
    writeFile("x.kq4", recordText(simpleProject()));
    run({"x.kq4", "zwei"});
    EXPECT_NE(diag.str().find("Berichtsmodus ist keine ganze Zahl: zwei"), std::string::npos);
}

TEST_F(Driver, FilesThatCannotBeCreatedAreNamedAndTheRunGoesOn) {
    std::filesystem::create_directory("job.lst");
    std::filesystem::create_directory("job.err");
    EXPECT_EQ(run({"job.kq4", "0"}), ResultCode::InputError);
    EXPECT_NE(diag.str().find("kann nicht angelegt werden: job.lst"), std::string::npos);
    EXPECT_NE(diag.str().find("kann nicht angelegt werden: job.err"), std::string::npos);
    // The listing falls back to the console; the result code is still written.
    EXPECT_EQ(out.str(), "Eingabefehler \n");
    EXPECT_EQ(readFile("kq4.err"), " -3\n");

    std::filesystem::remove("kq4.err");
    std::filesystem::create_directory("kq4.err");
    diag.str("");
    EXPECT_EQ(run({"job.kq4", "0"}), ResultCode::InputError);
    EXPECT_NE(diag.str().find("kann nicht angelegt werden: kq4.err"), std::string::npos);
}

// --- the real program ---

namespace {

int runProgram(const std::string& cmdline) {
    const std::string cmd = std::string("'") + KQ4CALC_PATH + "' " + cmdline;
    return std::system(cmd.c_str());
}

} // namespace

class Program : public InScratchDir {};

TEST_F(Program, ExitStatusIsZeroAndCodeIsInTheFile) {
    ASSERT_EQ(runProgram("'remote$.kq4' 0 2>diag.txt"), 0);
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
    EXPECT_EQ(readFile("remote$.lst"), "Eingabefehler \n");
    // Not a terminal: no bell characters.
    EXPECT_EQ(readFile("diag.txt"), "");
}

TEST_F(Program, PromptWithoutArguments) {
    writeFile("name.txt", "nothing.kq4\n");
    ASSERT_EQ(runProgram("< name.txt > console.txt"), 0);
    EXPECT_EQ(readFile("console.txt"), "kq4calc V.2.1: Input-filename: Eingabefehler \n");
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
}

TEST_F(Program, GarbageInputGivesAResultCode) {
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    writeFile("g.kq4", garbage);
    ASSERT_EQ(runProgram("g.kq4 0"), 0);
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
    EXPECT_EQ(readLines("g.lst").back(), "Eingabefehler ");

    writeFile("nan.kq4", "0 0 1 0 0 0 0 0 1\n0 0 0 0 0 0 0 0 0 0 0 0\n"
                         "0 1 3 0 0 0 0 0 2\n0 NaN 0 0 0 1 0 0 0 0 0 0\n");
    ASSERT_EQ(runProgram("nan.kq4 0"), 0);
    EXPECT_EQ(readFile("kq4.err"), " -3\n");
    const auto lst = readLines("nan.lst");
    ASSERT_GE(lst.size(), 2u);
    EXPECT_EQ(lst[0], " Fehlerhafter Datensatz:  2");
}

TEST(ProgramLinks, NoQtInTheCalculationModule) {
    const std::string out = std::string(KQ4CALC_PATH) + ".ldd.txt";
    ASSERT_EQ(std::system(("ldd '" + std::string(KQ4CALC_PATH) + "' > '" + out + "'").c_str()), 0);
    const std::string libs = readFile(out);
    EXPECT_EQ(libs.find("libQt"), std::string::npos) << libs;
}
