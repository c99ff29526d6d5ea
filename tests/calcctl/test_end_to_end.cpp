// The real module on the example projects: through the calculation control and through
// tervana-cli calc. The results read back must agree with the module's own value table and
// keep the restrictions' fixed bounds.
#include <QDir>

#include <charconv>
#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "calcctl/result_code.h"
#include "cli/calc_command.h"
#include "model/import.h"
#include "model/project_file.h"
#include "model/results.h"
#include "tests/calcctl/calcctl_test_support.h"

namespace calcctl {
namespace {

const std::string kModule = KQ4CALC_PATH;
const std::string kExamples = TERVANA_SOURCE_DIR "/examples/";

class EndToEnd : public test::InScratchDir {
protected:
    void SetUp() override {
        InScratchDir::SetUp();
        // tervana-cli takes the lock in the runtime directory: one of the test's own, so that
        // test programs running side by side do not refuse each other.
        qputenv("XDG_RUNTIME_DIR", lockDir().toUtf8());
    }
};

// Rows "phi <tab> s <tab> s' <tab> s'' <tab> s'''" of the module's value table.
std::vector<std::array<double, 5>> valueTable(const std::filesystem::path& p) {
    std::vector<std::array<double, 5>> rows;
    std::istringstream in(test::readFile(p));
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        if (line.rfind("---", 0) == 0) break;
        std::array<double, 5> r{};
        const char* b = line.data();
        const char* e = b + line.size();
        for (double& v : r) {
            while (b < e && (*b == ' ' || *b == '\t')) ++b;
            auto res = std::from_chars(b, e, v);
            if (res.ec != std::errc()) return {};
            b = res.ptr;
        }
        rows.push_back(r);
    }
    return rows;
}

TEST_F(EndToEnd, ExampleProjectsReadBackAndKeepTheirBounds) {
    for (const char* name : {"cam_dwell.k4p", "slide_gripper.k4p", "packaging_three_drives.k4p"}) {
        SCOPED_TRACE(name);
        model::ProjectTree tree;
        auto opened = model::openProject(tree, kExamples + name);
        ASSERT_TRUE(std::holds_alternative<model::Node*>(opened));
        model::Node& p = *std::get<model::Node*>(opened);
        Calculation calc;
        configure(calc);
        calc.settings.modulePath = QString::fromStdString(kModule);
        const int code = test::runToEnd(calc, p);
        ASSERT_TRUE(code == 0 || code == 1) << code;
        ASSERT_TRUE(model::projectObj(p).ResultsStored);
        for (auto& c : p.children) {
            auto* h = c->as<model::THSHeader>();
            if (h == nullptr) continue;
            ASSERT_EQ(h->sSC.Count(), 2 * h->IPar[3] + 2);
            // The module's table of s and its derivatives against our evaluation.
            const auto rows = valueTable(work() / ("remote$.as" + std::to_string(h->IPar[2])));
            ASSERT_GT(rows.size(), 300u);
            for (std::size_t i = 0; i < rows.size(); i += 7)
                for (int n = 0; n <= 3; ++n) {
                    const double v = rows[i][static_cast<std::size_t>(n + 1)];
                    EXPECT_NEAR(h->Calc_s(n, rows[i][0]), v, 1e-5 * (1 + std::fabs(v)))
                        << "phi " << rows[i][0] << " order " << n;
                }
            // Fixed value bounds hold: exactly at a point; over an interval, which the module
            // bounds on a grid of angles, within a tenth of the band between the grid points.
            for (auto& rc : c->children) {
                auto* r = rc->as<model::TRestr>();
                if (r == nullptr || r->IPar[1] < 0 || r->code() >= 20) continue;
                const double band = std::fabs(r->RPar[8] - r->RPar[6]);
                const double tol = model::isPointKind(r->code()) ? 1e-6 : 1e-6 + 0.1 * band;
                if (r->IPar[6] == 0) {
                    EXPECT_GE(r->ActualS[3], r->RPar[6] - tol) << rc->obj().Caption;
                }
                if (r->IPar[7] == 0) {
                    EXPECT_LE(r->ActualS[4], r->RPar[8] + tol) << rc->obj().Caption;
                }
            }
        }
    }
}

TEST_F(EndToEnd, CliCalculatesAndSavesAtomically) {
    const std::string in = (dir() / "cam.k4p").string();
    std::filesystem::copy_file(kExamples + "cam_dwell.k4p", in);
    const std::string out = (dir() / "out.k4p").string();
    std::ostringstream o, e;
    const int status = cli::runCalcCli({"calc", in, "--workdir", work().string(), "--module",
                                        kModule, "--priority", "low", "-o", out},
                                       o, e);
    EXPECT_EQ(status, 0) << e.str();
    // The module's listing, as it stands in the working folder.
    EXPECT_NE(o.str().find(test::readFile(work() / "remote$.lst")), std::string::npos) << o.str();
    model::ProjectTree tree;
    auto r = model::openProject(tree, out);
    ASSERT_TRUE(std::holds_alternative<model::Node*>(r));
    model::Node& p = *std::get<model::Node*>(r);
    EXPECT_TRUE(model::projectObj(p).ResultsStored);
    EXPECT_TRUE(model::findAbs(p, 1)->as<model::THSHeader>()->HasResults);
    // The input file is unchanged when -o names another.
    EXPECT_EQ(test::readFile(in), test::readFile(kExamples + "cam_dwell.k4p"));
}

// The example projects all end with results (code 0 or 1): each is a solution.
TEST_F(EndToEnd, CliBatchCountsEveryExampleAsSolved) {
    std::vector<std::string> files;
    for (const char* n : {"cam_dwell.k4p", "slide_gripper.k4p", "packaging_three_drives.k4p"}) {
        files.push_back((dir() / n).string());
        std::filesystem::copy_file(kExamples + n, files.back());
    }
    std::ostringstream o, e;
    EXPECT_EQ(cli::runCalcCli({"calc", "--batch", files[0], files[1], files[2], "--workdir",
                               work().string(), "--module", kModule},
                              o, e),
              0)
        << o.str() << e.str();
    EXPECT_NE(o.str().find("Die Berechnung ist abgeschlossen.\nFür 3 von 3 Projekte(n) wurden "
                           "Lösungen gefunden."),
              std::string::npos)
        << o.str();
}

// Every example project holds the results its own calculation gives (examples/
// update_results.sh stores them): calculated again from a copy, it reaches the same beta with
// the same result code, every coefficient of every motion and every angle a random search chose
// agrees within 1e-9 (absolute up to a magnitude of 1, relative above), and the stored results
// are flagged current. The examples hold their bounds on the whole cycle.
TEST_F(EndToEnd, ExampleProjectsHoldTheResultsTheirCalculationGives) {
    const auto near = [](double stored, double fresh) {
        return std::fabs(stored - fresh) <= 1e-9 * std::max(1.0, std::fabs(stored));
    };
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
        if (entry.path().extension() != ".k4p") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++examples;
        const std::string copy = (dir() / name).string();
        std::filesystem::copy_file(entry.path(), copy);
        std::ostringstream o, e;
        ASSERT_EQ(cli::runCalcCli({"calc", copy, "--workdir", work().string(), "--module", kModule},
                                  o, e),
                  0)
            << e.str();
        model::ProjectTree tree;
        auto storedOpened = model::openProject(tree, entry.path().string());
        auto freshOpened = model::openProject(tree, copy);
        ASSERT_TRUE(std::holds_alternative<model::Node*>(storedOpened) &&
                    std::holds_alternative<model::Node*>(freshOpened));
        model::Node& stored = *std::get<model::Node*>(storedOpened);
        model::Node& fresh = *std::get<model::Node*>(freshOpened);
        EXPECT_GT(stored.obj().RPar[3], 0.0) << "bounds on the whole cycle switched off";
        const auto was = model::keptResult(stored), is = model::keptResult(fresh);
        ASSERT_TRUE(was.has_value()) << "no current results with beta and code stored";
        ASSERT_TRUE(is.has_value());
        EXPECT_EQ(was->code, is->code);
        EXPECT_TRUE(near(was->beta, is->beta)) << "beta " << was->beta << " now " << is->beta;
        std::vector<model::Node*> a, b;
        model::forEachNode(stored, [&](model::Node& n) { a.push_back(&n); });
        model::forEachNode(fresh, [&](model::Node& n) { b.push_back(&n); });
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t n = 0; n < a.size(); ++n) {
            const std::string node = a[n]->obj().Caption;
            if (const auto* h = a[n]->as<model::THSHeader>()) {
                const auto* g = b[n]->as<model::THSHeader>();
                EXPECT_TRUE(h->HasResults && h->ResultsCurrent) << node;
                const std::pair<const char*, const model::TVector model::TPaintObj::*> series[] = {
                    {"sSC", &model::TPaintObj::sSC},
                    {"qSC", &model::TPaintObj::qSC},
                    {"mSC", &model::TPaintObj::mSC}};
                for (const auto& [what, v] : series) {
                    ASSERT_EQ((h->*v).Count(), (g->*v).Count()) << node << " " << what;
                    for (int i = 0; i < (h->*v).Count(); ++i)
                        EXPECT_TRUE(near((h->*v).at(i), (g->*v).at(i)))
                            << node << " " << what << "[" << i << "] = " << (h->*v).at(i)
                            << ", calculated " << (g->*v).at(i);
                }
            } else if (const auto* r = a[n]->as<model::TRestr>(); r != nullptr && r->Global) {
                for (int i = 1; i <= 12; ++i)
                    EXPECT_TRUE(near(r->GlobalPar[i], b[n]->as<model::TRestr>()->GlobalPar[i]))
                        << node << " GlobalPar[" << i << "] = " << r->GlobalPar[i]
                        << ", calculated " << b[n]->as<model::TRestr>()->GlobalPar[i];
            }
        }
    }
    EXPECT_GE(examples, 3);
}

// --whole-cycle sets the project's tolerance for the run: the module gets it in the start
// record, and the saved project keeps it with the results and their reached beta. Without a
// value it is 0.001, with 0 it is off; anything else is refused before a run.
TEST_F(EndToEnd, CliWholeCycleGoesIntoTheRunAndTheSavedProject) {
    const std::string in = (dir() / "cam.k4p").string(), out = (dir() / "out.k4p").string();
    std::filesystem::copy_file(kExamples + "cam_dwell.k4p", in);
    std::ostringstream o, e;
    for (const auto& [option, tolerance] : {std::pair{"--whole-cycle", 0.001},
                                            {"--whole-cycle=0.02", 0.02},
                                            {"--whole-cycle=0", 0.0}}) {
        ASSERT_EQ(cli::runCalcCli({"calc", in, option, "--workdir", work().string(), "--module",
                                   kModule, "-o", out},
                                  o, e),
                  0)
            << e.str();
        auto input = model::importKq4(test::readFile(work() / "remote$.kq4"), "remote$.kq4");
        ASSERT_TRUE(input.project);
        EXPECT_NEAR(input.project->obj().RPar[3], tolerance, 1e-12) << option;
        model::ProjectTree tree;
        auto r = model::openProject(tree, out);
        ASSERT_TRUE(std::holds_alternative<model::Node*>(r));
        EXPECT_EQ(std::get<model::Node*>(r)->obj().RPar[3], tolerance) << option;
        EXPECT_TRUE(model::keptResult(*std::get<model::Node*>(r))) << option;
    }
    for (const char* bad : {"--whole-cycle=", "--whole-cycle=x", "--whole-cycle=-0.1",
                            "--whole-cycle=1", "--whole-cycle=nan"})
        EXPECT_EQ(cli::runCalcCli({"calc", in, bad}, o, e), 2) << bad;
}

TEST_F(EndToEnd, CliArguments) {
    std::vector<std::string> files;
    for (const char* n : {"cam_dwell.k4p", "slide_gripper.k4p"}) {
        files.push_back((dir() / n).string());
        std::filesystem::copy_file(kExamples + n, files.back());
    }
    std::ostringstream o2, e2;
    EXPECT_EQ(cli::runCalcCli({"calc"}, o2, e2), 2);
    EXPECT_EQ(cli::runCalcCli({"calc", files[0], "--priority", "urgent"}, o2, e2), 2);
    EXPECT_EQ(cli::runCalcCli({"calc", files[0], "--bogus"}, o2, e2), 2);
    EXPECT_EQ(cli::runCalcCli({"calc", files[0], files[1]}, o2, e2), 2);
    EXPECT_EQ(cli::runCalcCli({"calc", (dir() / "missing.k4p").string()}, o2, e2), 1);
}

TEST_F(EndToEnd, CliFailureWritesNothing) {
    const std::string in = (dir() / "cam.k4p").string();
    std::filesystem::copy_file(kExamples + "cam_dwell.k4p", in);
    const std::string before = test::readFile(in);
    // A module that answers nothing.
    std::ostringstream o, e;
    EXPECT_EQ(
        cli::runCalcCli({"calc", in, "--workdir", work().string(), "--module", "/bin/true"}, o, e),
        1);
    EXPECT_NE(o.str().find("Der Berechnungsmodul liefert keine Rückmeldung"), std::string::npos);
    EXPECT_EQ(test::readFile(in), before);
}

} // namespace
} // namespace calcctl
