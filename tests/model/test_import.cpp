// Import of ".kq4", ".kqe" and ".kqw" files.
#include <gtest/gtest.h>

#include "model/import.h"
#include "model/project_file.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

const char* kKq4 = "Kopfzeile ohne Zahl\r\n"
                   "# noch eine\r\n"
                   "   0   0   2   0   0   0   0   1   1\r\n"
                   "           0           0           0           0           0           0       "
                   "    0           0           0           0           0           0\r\n"
                   "   0   1   8   0   0   0   0   0   2\r\n"
                   "           0        0.05         0.1           0           0           1       "
                   "    0           0           0           0           0           0\r\n"
                   "   0   2   4   0   0   0   0   0   3\r\n"
                   "           0           0           0           0           0           1       "
                   "    0           0           0           0           0           0\r\n"
                   "   1   0  10   0   0   0   0   1   4\r\n"
                   "           0          30           0          60           0        -1.5       "
                   "    0         1.5          20          40          50          70\r\n"
                   "   1   2  52   0   0   0   0   0   5\r\n"
                   "           0           0           0          90           0          -1       "
                   "    0           1           0           0           0           0\r\n"
                   "   2   1  40   0   0   0   0   0   6\r\n"
                   "           0          10           0           0           0          -1       "
                   "    0           1           0           0           0           0\r\n"
                   "   3   0   0   0   0   0   0   0   7\r\n"
                   "           0          10           0           0           0          -1       "
                   "    0           1           0           0           0           0\r\n";

} // namespace

TEST(ImportKq4, BuildsTheProject) {
    Kq4Import r = importKq4(kKq4, "/x/remote$.kq4");
    ASSERT_EQ(r.code, 0);
    Node& p = *r.project;
    EXPECT_EQ(p.obj().Caption, "remote$.kq4");
    EXPECT_TRUE(projectObj(p).Changed);
    EXPECT_EQ(p.obj().IPar[6], 0); // no advanced value set
    auto* h1 = findAbs(p, 1)->as<THSHeader>();
    EXPECT_EQ(h1->IPar[3], 8);
    EXPECT_NEAR(h1->RPar[2], 0.05, 1e-12);
    ASSERT_EQ(findAbs(p, 1)->children.size(), 1u);
    auto* iv = findAbs(p, 1)->children[0]->as<TRestr>();
    EXPECT_TRUE(iv->Global);
    EXPECT_EQ(iv->GlobalPar, iv->RPar);
    ASSERT_NE(findGroup(p, 1), nullptr);
    EXPECT_EQ(findGroup(p, 1)->children.size(), 1u);
    // The relative record 1-2 lands under 1-2; 2-1 (a > b) and object 3 are dropped.
    EXPECT_EQ(findRel(p, 1, 2)->children.size(), 1u);
    EXPECT_EQ(findAbs(p, 2)->children.size(), 0u);
}

TEST(ImportKq4, AdvancedFlagAndErrors) {
    std::string t = kKq4;
    t.replace(t.find("   0   0   2   0   0"), 20, "   0   0   2   0   5");
    EXPECT_EQ(importKq4(t, "a.kq4").project->obj().IPar[6], 1);
    // A bad number: the code is its line (heading lines counted).
    std::string bad = kKq4;
    bad.replace(bad.find("0.05"), 4, "0.-5");
    EXPECT_EQ(importKq4(bad, "a.kq4").code, 6);
    std::string badInt = kKq4;
    badInt.replace(badInt.find("   0   2   4"), 12, "   0   2 4-4");
    EXPECT_EQ(importKq4(badInt, "a.kq4").code, 7);
    // A header missing: -1.
    std::string missing = kKq4;
    missing.replace(missing.find("   0   2   4"), 8, "   0   9");
    EXPECT_EQ(importKq4(missing, "a.kq4").code, -1);
    EXPECT_EQ(importKq4("", "a.kq4").code, -1);
    EXPECT_EQ(importKq4("0 0 11 0 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0 0 0\n", "a.kq4").code, -1);
    EXPECT_EQ(importKq4("0 0 1 0 0 0 0 0\n1e999 0 0 0 0 0 0 0 0 0 0 0\n", "a.kq4").code, 2);
}

TEST(ImportKq4, GroupBeyondTheDeclaredCountKeepsItsNumber) {
    std::string t = kKq4;
    t.replace(t.find("   1   0  10   0   0   0   0   1"), 32, "   1   0  10   0   0   0   0   3");
    t.replace(t.find("   0   0   2   0   0   0   0   1"), 32, "   0   0   2   0   0   0   0   0");
    Kq4Import r = importKq4(t, "a.kq4");
    ASSERT_EQ(r.code, 0);
    // No groups declared: the number is taken as 0.
    EXPECT_EQ(findAbs(*r.project, 1)->children[0]->obj().IPar[8], 0);
    std::string u = kKq4;
    u.replace(u.find("   1   0  10   0   0   0   0   1"), 32, "   1   0  10   0   0   0   0   3");
    Kq4Import r2 = importKq4(u, "a.kq4");
    // Group 1 declared but left without members: -1.
    EXPECT_EQ(r2.code, -1);
}

TEST(ImportKqe, ReadsHeaderAndRecordsUpToRbc) {
    const char* kqe = "6 0 0\r\n"
                      "0.1 0.05\r\n"
                      " 10  3  0 30 0 60 0 -1 0 1 0\r\n"
                      "  2  3 22 90 0 0 0 -100 -200 100 200\r\n"
                      " 22  4100 0 5000 0 0 0 0 0 0\r\n"
                      "rbc\r\n"
                      "  0  0  0 1 2 3 4 5 6 7 8\r\n";
    THSSet set;
    ASSERT_EQ(readKqe(kqe, set), 0);
    EXPECT_EQ(set.harmonics, 6);
    EXPECT_EQ(set.etaLimit, 0.0);
    EXPECT_NEAR(set.theta, 0.05, 1e-12);
    ASSERT_EQ(set.records.size(), 3u);
    ProjectTree tree;
    Node* p = std::get<Node*>(insertMotion(tree, set, nullptr, true));
    Node* motionNode = findAbs(*p, 1);
    ASSERT_EQ(motionNode->children.size(), 3u);
    auto* h = motionNode->as<THSHeader>();
    EXPECT_EQ(h->IPar[3], 6);
    EXPECT_EQ(h->RPar[1], 0.0);
    // Point kind 2 with bound code 3, variability 22: both bounds variable.
    TRestr* pt = nullptr;
    TRestr* iv = nullptr;
    TRestr* sp = nullptr;
    for (auto& c : motionNode->children) {
        auto* r = c->as<TRestr>();
        (r->code() == 2 ? pt : r->code() == 10 ? iv : sp) = r;
    }
    ASSERT_TRUE(pt && iv && sp);
    EXPECT_EQ(pt->IPar[6], 1);
    EXPECT_EQ(pt->RPar[5], -100.0);
    EXPECT_EQ(pt->RPar[6], -200.0);
    EXPECT_EQ(pt->IPar[7], 1);
    EXPECT_EQ(pt->RPar[8], 200.0);
    EXPECT_EQ(iv->RPar[2], 30.0);
    EXPECT_EQ(iv->RPar[4], 60.0);
    EXPECT_EQ(iv->IPar[6], 0);
    EXPECT_EQ(iv->RPar[6], -1.0);
    EXPECT_EQ(iv->RPar[8], 1.0);
    EXPECT_EQ(sp->IPar[6], 1);
    EXPECT_EQ(sp->IPar[2], 4);
    EXPECT_EQ(sp->RPar[5], 0.0);
    EXPECT_EQ(sp->RPar[6], 5000.0);
}

TEST(ImportKqe, Errors) {
    THSSet set;
    EXPECT_EQ(readKqe("6 0 0\r\n", set), -1);
    EXPECT_EQ(readKqe("6 1 0\r\n0.1 0.05\r\n", set), -1); // flag 1 wants three reals
    THSSet s2;
    EXPECT_EQ(
        readKqe(
            "6 0 0\r\n0.1 0.05\r\n 10  3  0 30 0 60 0 -1 0 1 0\r\n 10  x  0 1 2 3 4 5 6 7 8\r\n",
            s2),
        4);
    THSSet s3;
    EXPECT_EQ(readKqe("1 0 0\n0 0\n  0  0  0 1 2 3 nan 5 6 7 8\n", s3), 3);
    THSSet s4;
    std::string many = "1 0 0\n0 0\n";
    for (int i = 0; i < 50; ++i) many += "  0  3  0 1 2 3 4 5 6 7 8\n";
    EXPECT_EQ(readKqe(many, s4), 0);
    EXPECT_EQ(s4.records.size(), 40u);
}

TEST(ImportKqw, Sections) {
    const char* kqw = "[Version]\r\n3.1\r\n[Description]\r\nHubkurve \xC4\r\n[MLAbs]\r\n2\r\n"
                      "2 1 0\r\n0.1 0.2 0.03\r\n"
                      "  0  3  0 90 0 0 0 1 0 2 0\r\n"
                      " 12  3  0 0 0 90 0 -5 0 5 0\r\n"
                      "[MinM]\r\n[Result]\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n";
    THSSet set;
    ASSERT_EQ(readKqw(kqw, set), 0);
    EXPECT_EQ(set.name, "Hubkurve Ä");
    EXPECT_EQ(set.records.size(), 2u);
    EXPECT_NEAR(set.etaLimit, 0.2, 1e-12);
    EXPECT_EQ(set.mFR.value(4), 5.0);
    THSSet bad;
    EXPECT_EQ(
        readKqw("[MLAbs]\r\n2\r\n2 1 0\r\n0.1 0.2 0.03\r\n  0  3  0 90 0 0 0 1 0 x 0\r\n", bad), 5);
    THSSet none;
    EXPECT_EQ(readKqw("[Version]\r\n1\r\n", none), -1);
}

class ImportFiles : public InScratchDir {};

TEST_F(ImportFiles, CommandMessagesAndNames) {
    ProjectTree tree;
    writeFile(path("a.kq4"), kKq4);
    auto r = importFile(tree, path("a.kq4"));
    ASSERT_TRUE(std::holds_alternative<Node*>(r));
    EXPECT_EQ(std::get<Node*>(r)->obj().Caption, "a.kq4");
    std::string bad = kKq4;
    bad.replace(bad.find("0.05"), 4, "0.-5");
    writeFile(path("b.kq4"), bad);
    auto e = importFile(tree, path("b.kq4"));
    EXPECT_EQ(std::get<Message>(e).text, "Fehler beim Lesen der Datei\rb.kq4 in Zeile 6.");
    EXPECT_EQ(tree.roots.size(), 1u); // the partial project is gone
    writeFile(path("c.kqe"), "6 0 0\r\n");
    EXPECT_EQ(std::get<Message>(importFile(tree, path("c.kqe"))).text,
              "Fehler beim Lesen der Datei c.kqe.");
    EXPECT_EQ(std::get<Message>(importFile(tree, path("none.kqe"))).text,
              "Die Datei konnte nicht geöffnet werden.");
    writeFile(path("d.KQE"), "6 0 0\r\n0 0\r\n");
    EXPECT_EQ(std::get<Node*>(importFile(tree, path("d.KQE"))), nullptr); // not imported
    writeFile(path("m.kqe"), "6 0 0\r\n0.1 0.05\r\n  0  3  0 90 0 0 0 1 0 2 0\r\n");
    auto m = importFile(tree, path("m.kqe"));
    Node* p = std::get<Node*>(m);
    EXPECT_EQ(findAbs(*p, 1)->as<THSHeader>()->ShortName, "(aus: m.kqe) ");
    EXPECT_EQ(projectObj(*p).FileName, path("m.kqe"));
    // Into the same project: a second motion specification, the FileName stays.
    auto m2 = importFile(tree, path("m.kqe"), p, false);
    EXPECT_EQ(std::get<Node*>(m2), p);
    EXPECT_NE(findAbs(*p, 2), nullptr);
    // A full project refuses.
    for (int i = 3; i <= 10; ++i) findOrCreateAbs(*p, 0);
    EXPECT_EQ(std::get<Message>(importFile(tree, path("m.kqe"), p, false)).text,
              "Ein Projekt kann maximal 10 Bewegungsvorgaben enthalten.");
}

TEST_F(ImportFiles, ImportedProjectSavesAndReadsBack) {
    ProjectTree tree;
    writeFile(path("a.kq4"), kKq4);
    Node* p = std::get<Node*>(importFile(tree, path("a.kq4")));
    bool saved = true;
    EXPECT_FALSE(saveProject(*p, &saved).has_value());
    EXPECT_FALSE(saved); // not a project file name
    ASSERT_FALSE(saveProjectAs(*p, path("a.k4p")).has_value());
    auto back = openProject(tree, path("a.k4p"));
    ASSERT_TRUE(std::holds_alternative<Node*>(back));
    EXPECT_EQ(writeProject(*std::get<Node*>(back)), readFile(path("a.k4p")));
}
