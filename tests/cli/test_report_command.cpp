// tervana-cli report, run in process; every example's report read back by unrtf.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "cli/model_commands.h"
#include "tests/model/model_test_support.h"

using namespace model::test;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun runTool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::runCli(args, out, err);
    return {status, out.str(), err.str()};
}

// Sets an environment variable for the life of the object, then restores it.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~EnvVar() {
        if (old_.empty())
            ::unsetenv(name_);
        else
            ::setenv(name_, old_.c_str(), 1);
    }

private:
    const char* name_;
    std::string old_;
};

// unrtf's plain-text output of an RTF file; status is its exit status (127: no unrtf).
ToolRun unrtf(const std::string& path) {
    const std::string cmd = "unrtf --text '" + path + "' 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return {-1, "", "popen"};
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    const int st = ::pclose(p);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, text, ""};
}

const std::string kExamples = TERVANA_SOURCE_DIR "/examples/";
constexpr const char* kDec6 = "1796601540"; // 6 December 2026, 23:59 UTC

} // namespace

class ReportCommand : public InScratchDir {};

TEST_F(ReportCommand, EveryExampleReadsBackThroughUnrtf) {
    EnvVar date("SOURCE_DATE_EPOCH", kDec6);
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(kExamples)) {
        if (e.path().extension() != ".k4p") continue;
        ++count;
        const std::string name = e.path().filename().string(), out = path(name + ".rtf");
        const ToolRun r = runTool({"report", e.path().string(), "-o", out});
        ASSERT_EQ(r.status, 0) << name << r.err;
        const ToolRun toStdout = runTool({"report", e.path().string()});
        EXPECT_EQ(toStdout.out, readFile(out)) << name;
        const ToolRun text = unrtf(out);
        ASSERT_EQ(text.status, 0) << name << ": " << text.out;
        EXPECT_EQ(text.out.find("rror"), std::string::npos) << text.out;
        for (const std::string& expected :
             {"Projekt: " + name, std::string("Stand: 6.12.2026"), std::string("Forderung 1")})
            EXPECT_NE(text.out.find(expected), std::string::npos) << name << ": " << expected;
    }
    EXPECT_GE(count, 3);
}

TEST_F(ReportCommand, DecimalSeparatorFollowsTheLocale) {
    EnvVar date("SOURCE_DATE_EPOCH", kDec6);
    const std::string file = kExamples + "cam_dwell.k4p";
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    std::string c, de;
    {
        EnvVar lc("LC_ALL", "C");
        c = runTool({"report", file}).out;
    }
    {
        EnvVar lc("LC_ALL", "de_DE.UTF-8");
        de = runTool({"report", file}).out;
    }
    // The constant term of the coefficient table.
    const std::regex point(R"(\\tab 0\\tab \\tab [ -][0-9]+\.[0-9])"),
        comma(R"(\\tab 0\\tab \\tab [ -][0-9]+,[0-9])");
    EXPECT_TRUE(std::regex_search(c, point));
    EXPECT_TRUE(std::regex_search(de, comma));
    EXPECT_FALSE(std::regex_search(de, point));
    // Asking for the separator leaves the program's own locale as it was.
    EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), before);
}

TEST_F(ReportCommand, BadDateOrUnwritableTargetLeavesNothing) {
    const std::string file = kExamples + "cam_dwell.k4p";
    {
        EnvVar date("SOURCE_DATE_EPOCH", "gestern");
        const ToolRun r = runTool({"report", file, "-o", path("a.rtf")});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("SOURCE_DATE_EPOCH"), std::string::npos);
    }
    const ToolRun r = runTool({"report", file, "-o", path("fehlt/b.rtf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fehlt/b.rtf"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir()));
    EXPECT_EQ(runTool({"report"}).status, 2);
}
