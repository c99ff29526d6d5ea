// The calculation input as the front end writes it, checked by the module's own reader and
// validation.
#include <sstream>

#include <gtest/gtest.h>

#include "calc/listing.h"
#include "calc/msinp.h"
#include "model/calc_input.h"
#include "model/import.h"
#include "model/project_file.h"
#include "model/results.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

// Reads a written input with the module's MSINP; returns its result and listing.
calc::ResultCode moduleReads(const std::filesystem::path& dir, const std::string& text,
                             calc::RunInput& input, std::string& listingText) {
    writeFile(dir / "remote$.kq4", text);
    std::ostringstream os;
    calc::OutputStream listing(os);
    const calc::ResultCode code = calc::MSINP((dir / "remote$.kq4").string(), listing, input);
    listingText = os.str();
    return code;
}

} // namespace

class CalcInputFile : public InScratchDir {};

TEST_F(CalcInputFile, EveryExampleProjectPassesTheModuleChecks) {
    int examples = 0;
    for (const auto& e : std::filesystem::directory_iterator(TERVANA_SOURCE_DIR "/examples")) {
        if (e.path().extension() != ".k4p") continue;
        ++examples;
        ProjectTree tree;
        auto r = openProject(tree, e.path().string());
        ASSERT_TRUE(std::holds_alternative<Node*>(r)) << e.path();
        Node& p = *std::get<Node*>(r);
        ASSERT_TRUE(calculationPossible(p, false)) << e.path();
        const std::string text = writeCalcInput(p).text;
        calc::RunInput input;
        std::string listing;
        ASSERT_EQ(moduleReads(dir(), text, input, listing), calc::ResultCode::Normal)
            << e.path() << "\n"
            << listing;
        // Every record arrives, in tree order, with its running number.
        int records = 1;
        forEachNode(p, [&](Node& n) {
            records += n.kind() == ObjectKind::AbsSpec || n.kind() == ObjectKind::Restriction;
        });
        ASSERT_EQ(static_cast<int>(input.records.size()), records) << e.path();
        for (int i = 0; i < records; ++i)
            EXPECT_EQ(input.records[static_cast<std::size_t>(i)].IPar[9], i + 1);
        EXPECT_EQ(input.params.objects, p.obj().IPar[3]);
        for (int m = 1; m <= input.params.objects; ++m)
            EXPECT_EQ(input.object(m).nh, findAbs(p, m)->obj().IPar[3]);
    }
    EXPECT_GE(examples, 2);
}

TEST_F(CalcInputFile, RecordOrderNumbersAndSideEffects) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 0; i < 3; ++i) std::get<Node*>(tree.newMotionSpec(p));
    for (int m = 1; m <= 3; ++m) findAbs(p, m)->obj().IPar[3] = 1; // one harmonic each
    Node* rel = tree.newRelRestriction(*findRel(p, 2, 3));
    rel->obj().RPar[8] = 1.0;
    rel->obj().RPar[2] = 45.0;
    TRestr& g = addRestr(*findAbs(p, 1), 10, 10.0, 20.0, -1.0, 1.0);
    g.IPar[8] = 1;
    g.Global = true;
    g.RPar[9] = 5;
    g.RPar[10] = 15;
    g.RPar[11] = 15;
    g.RPar[12] = 25;
    g.GlobalPar[2] = 12.5; // a varied angle from an earlier calculation
    findOrCreateMember(findOrCreateGroup(p, 0), *g.node);
    refreshCaptions(p);
    forEachNode(p, [](Node& n) {
        if (auto* r = n.as<TRestr>(); r && r->code() == 0) r->RPar[8] = 1.0;
    });
    const std::string saved = writeProject(p);
    const CalcInput written = writeCalcInput(p);
    const std::string& text = written.text;
    // project, 1, its two restrictions, 2, its one, 3, its one, then the relative one.
    std::vector<std::string> firstInts;
    std::istringstream in(text);
    for (std::string l1, l2; std::getline(in, l1) && std::getline(in, l2);) {
        EXPECT_EQ(l1.back(), '\r');
        EXPECT_EQ(l1.size(), 37u);
        EXPECT_EQ(l2.size(), 145u);
        firstInts.push_back(l1.substr(0, 12));
    }
    EXPECT_EQ(firstInts,
              (std::vector<std::string>{"   0   0   3", "   0   1   1", "   1   0   0",
                                        "   1   0  10", "   0   2   1", "   2   0   0",
                                        "   0   3   1", "   3   0   0", "   2   3  40"}));
    // Record 9 was written from the relative restriction; writing changed nothing.
    ASSERT_EQ(written.objects.size(), 9u);
    EXPECT_EQ(written.objects[8], rel);
    EXPECT_EQ(written.objects[0], &p);
    EXPECT_EQ(rel->obj().IPar[9], 0);
    EXPECT_EQ(g.GlobalPar[2], 12.5);
    EXPECT_TRUE(g.Modified);
    EXPECT_EQ(writeProject(p), saved);
    // The start of the run resets the varied values and the Modified flags of what it wrote.
    startCalculation(p);
    EXPECT_EQ(g.GlobalPar, g.RPar);
    EXPECT_TRUE(projectObj(p).Locked);
    forEachNode(p, [](Node& n) {
        if (n.kind() != ObjectKind::RelSpec && n.kind() != ObjectKind::Group &&
            n.kind() != ObjectKind::GroupMember) {
            EXPECT_FALSE(n.obj().Modified) << n.obj().Caption;
        }
    });
    calc::RunInput input;
    std::string listing;
    ASSERT_EQ(moduleReads(dir(), text, input, listing), calc::ResultCode::Normal) << listing;
    // Advanced settings off: the module gets the standard values.
    EXPECT_EQ(input.params.passes, 8);
    EXPECT_EQ(input.params.trials, 20);
    EXPECT_EQ(input.params.stepWidth, 0.25);
    EXPECT_EQ(input.params.randomVariables, 1);
    EXPECT_EQ(input.records[3].RPar[2], 10.0);
}

TEST_F(CalcInputFile, WideValuesStaySeparated) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node* r = std::get<Node*>(tree.newMotionSpec(p));
    TRestr& x = *r->as<TRestr>();
    x.IPar[6] = -1;
    x.IPar[7] = 0;
    x.RPar[2] = -0.000000001234567891; // 21 characters in FormatReal with 10 digits
    x.RPar[8] = -123456789.1;
    x.RPar[9] = -1e-300;
    p.obj().IPar[1] = 0;
    findAbs(p, 1)->obj().IPar[5] = -100;
    const std::string text = writeCalcInput(p).text;
    calc::RunInput input;
    std::string listing;
    moduleReads(dir(), text, input, listing);
    ASSERT_EQ(input.records.size(), 3u) << text;
    EXPECT_EQ(input.records[1].IPar[5], -100);
    EXPECT_NEAR(input.records[2].RPar[2], -0.000000001234567891, 1e-19);
    EXPECT_NEAR(input.records[2].RPar[8], -123456789.1, 1e-6);
    EXPECT_EQ(input.records[2].RPar[9], -1e-300);
    EXPECT_EQ(input.records[2].RPar[10], 0.0);
}

TEST_F(CalcInputFile, AdvancedSettingsOnAndReimport) {
    ProjectTree tree;
    Node& p = tree.newProject();
    std::get<Node*>(tree.newMotionSpec(p))->obj().RPar[8] = 1.0;
    p.obj().IPar[6] = 1;
    p.obj().IPar[4] = 12;
    p.obj().IPar[5] = 30;
    p.obj().RPar[1] = 0.5;
    const std::string text = writeCalcInput(p).text;
    calc::RunInput input;
    std::string listing;
    ASSERT_EQ(moduleReads(dir(), text, input, listing), calc::ResultCode::Normal);
    EXPECT_EQ(input.params.passes, 12);
    EXPECT_EQ(input.params.trials, 30);
    EXPECT_EQ(input.params.stepWidth, 0.5);
    // The import of the written file gives back the same records.
    Kq4Import back = importKq4(text, "remote$.kq4");
    ASSERT_EQ(back.code, 0);
    EXPECT_EQ(writeCalcInput(*back.project).text, text);
}
