// The project file: layout, reading back, round trips, saving safely, damaged files.
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "model/project_file.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

int countLines(const std::string& s) {
    int n = 0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) n += (s[i] == '\r' && s[i + 1] == '\n');
    return n;
}

std::unique_ptr<Node> read(const std::string& bytes) {
    auto r = readProject(bytes);
    if (auto* f = std::get_if<ReadFailure>(&r)) {
        ADD_FAILURE() << "read failed at line " << f->line;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<Node>>(r));
}

// A project of every object kind: three motion specifications (one with results, one with stale
// results), point, interval, spectrum and relative restrictions, two groups, one empty.
std::unique_ptr<Node> richProject(std::mt19937& rng) {
    auto pn = std::make_unique<Node>(std::make_unique<TProject>());
    Node& p = *pn;
    TProject& pr = projectObj(p);
    pr.Description = "Nockenantrieb Maß 3 – Ölpumpe";
    pr.IPar[6] = 1;
    pr.IPar[4] = 12;
    pr.IPar[5] = 30;
    pr.RPar[1] = 0.5;
    pr.RPar[2] = 0.75;
    for (int i = 0; i < 3; ++i) findOrCreateAbs(p, 0);
    auto* h1 = findAbs(p, 1)->as<THSHeader>();
    h1->ShortName = "Hauptnocke";
    giveResults(*h1, 4, rng, 0.05, 0.1);
    h1->PaintStyle.qLine = 3;
    h1->PaintStyle.qColor = 0x123456;
    auto* h2 = findAbs(p, 2)->as<THSHeader>();
    giveResults(*h2, 2, rng);
    h2->ResultsCurrent = false;
    h2->ResultHarmonics = 2;
    addRestr(*findAbs(p, 1), 0, 0.0, 0, -0.01, 0.01);
    TRestr& iv = addRestr(*findAbs(p, 1), 12, 30.0, 120.0, -50.0, 50.0);
    iv.IPar[6] = 1;
    iv.RPar[5] = -20.0;
    iv.IPar[8] = 1;
    iv.Global = true;
    iv.GlobalPar = iv.RPar;
    iv.GlobalPar[2] = 31.5;
    iv.RPar[9] = 20.0;
    iv.RPar[10] = 40.0;
    iv.RPar[11] = 110.0;
    iv.RPar[12] = 130.0;
    findOrCreateMember(findOrCreateGroup(p, 1), *iv.node);
    findOrCreateGroup(p, 2);
    TRestr& sp = addRestr(*findAbs(p, 2), 22, 0.0, 0.0, 0.0, 0.0);
    sp.RPar[6] = 1e4;
    addRestr(*findAbs(p, 3), 1, 180.0, 0, -1.0, 1.0).IPar[1] = -3; // switched off
    addRestr(*findRel(p, 1, 3), 50, 0.0, 360.0, -2.0, 2.0);
    TRestr& rp = addRestr(*findRel(p, 2, 3), 41, 90.0, 0.0, -1.0, 1.0);
    rp.IPar[8] = 2;
    rp.Global = true;
    rp.RPar[9] = 80.0;
    rp.RPar[10] = 100.0;
    findOrCreateMember(findOrCreateGroup(p, 2), *rp.node);
    refreshCaptions(p);
    return pn;
}

} // namespace

TEST(ProjectFile, EmptyProjectIsThreeLines) {
    ProjectTree tree;
    Node& p = tree.newProject();
    std::string bytes = writeProject(p);
    EXPECT_EQ(countLines(bytes), 3);
    EXPECT_TRUE(projectObj(p).Changed); // writing the bytes is no save
    EXPECT_EQ(bytes.substr(0, 38), "   0   0   0   0   0   0   0   0   0\r\n");
    EXPECT_EQ(bytes.substr(38, 27), "   0.00000000000000E+0000  ");
    auto back = read(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->children.empty());
    EXPECT_FALSE(projectObj(*back).Changed);
}

TEST(ProjectFile, AdvancedSettingsOffAreWrittenAsZero) {
    ProjectTree tree;
    Node& p = tree.newProject();
    TProject& pr = projectObj(p);
    pr.IPar[4] = 8;
    pr.IPar[5] = 20;
    pr.RPar[1] = 0.25;
    pr.ResultsStored = true;
    pr.AllCurrent = true;
    std::string bytes = writeProject(p);
    EXPECT_EQ(bytes.substr(0, 36), "   0   0   0   0   0   0   1   0   1");
    EXPECT_EQ(pr.IPar[5], 20); // only the file has the zeros
    pr.IPar[6] = 1;
    bytes = writeProject(p);
    EXPECT_EQ(bytes.substr(0, 36), "   0   0   0   8  20   1   1   0   1");
}

TEST(ProjectFile, LineCountsOfSpecificationsAndRestrictions) {
    std::mt19937 rng(5);
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 0);
    addRestr(h, 0, 0.0);
    // Without results: P1, P2, attribute line, ShortName; restriction two lines.
    EXPECT_EQ(countLines(writeProject(p)), 3 + 4 + 2);
    giveResults(*h.as<THSHeader>(), 3, rng); // n = 8 values
    EXPECT_EQ(countLines(writeProject(p)), 3 + 4 + 8 + 8 + 14 + 2);
    TRestr& r = *h.children[0]->as<TRestr>();
    r.IPar[8] = 1;
    r.Global = true;
    EXPECT_EQ(countLines(writeProject(p)), 3 + 4 + 8 + 8 + 14 + 3);
}

TEST(ProjectFile, RichProjectReadsBackWithEverything) {
    std::mt19937 rng(9);
    auto pn = richProject(rng);
    const std::string bytes = writeProject(*pn);
    auto back = read(bytes);
    ASSERT_TRUE(back);
    Node& b = *back;
    EXPECT_EQ(projectObj(b).Description, "Nockenantrieb Maß 3 – Ölpumpe");
    ASSERT_NE(findRel(b, 1, 2), nullptr);
    ASSERT_NE(findRel(b, 1, 3), nullptr);
    ASSERT_NE(findRel(b, 2, 3), nullptr);
    EXPECT_EQ(findRel(b, 1, 3)->children.size(), 1u);
    EXPECT_EQ(findRel(b, 2, 3)->children.size(), 1u);
    EXPECT_EQ(findRel(b, 1, 2)->children.size(), 0u);
    // Groups: 1 with its member, 2 with the relative restriction's member.
    ASSERT_NE(findGroup(b, 1), nullptr);
    ASSERT_NE(findGroup(b, 2), nullptr);
    EXPECT_EQ(findGroup(b, 1)->children.size(), 1u);
    EXPECT_EQ(findGroup(b, 2)->children[0]->as<TGroupMember>()->RefTNR,
              findRel(b, 2, 3)->children[0].get());
    auto* h1 = findAbs(b, 1)->as<THSHeader>();
    auto* o1 = findAbs(*pn, 1)->as<THSHeader>();
    EXPECT_EQ(h1->ShortName, "Hauptnocke");
    EXPECT_TRUE(h1->HasResults);
    EXPECT_TRUE(h1->ResultsCurrent);
    EXPECT_EQ(h1->sSC.Count(), 10);
    EXPECT_EQ(h1->mSC.Count(), 18);
    for (int i = 0; i < 18; ++i)
        EXPECT_NEAR(h1->mSC.at(i), o1->mSC.at(i), 1e-13 * (1 + std::fabs(o1->mSC.at(i))));
    EXPECT_EQ(h1->PaintStyle.qLine, 3);
    EXPECT_EQ(h1->PaintStyle.qColor, 0x123456);
    auto* h2 = findAbs(b, 2)->as<THSHeader>();
    EXPECT_FALSE(h2->ResultsCurrent); // stale results reload as stale
    EXPECT_EQ(h2->ResultHarmonics, 2);
    EXPECT_EQ(h2->IPar[7], 2);
    auto* h3 = findAbs(b, 3)->as<THSHeader>();
    EXPECT_FALSE(h3->HasResults);
    ASSERT_EQ(findAbs(b, 3)->children.size(), 1u);
    EXPECT_EQ(findAbs(b, 3)->children[0]->obj().Caption.substr(0, 2), "K ");
    // Global restriction: its own GlobalPar line; the others copy RPar.
    auto* iv = findAbs(b, 1)->children[1]->as<TRestr>();
    EXPECT_TRUE(iv->Global);
    EXPECT_EQ(iv->GlobalPar[2], 31.5);
    auto* pt = findAbs(b, 1)->children[0]->as<TRestr>();
    EXPECT_EQ(pt->GlobalPar, pt->RPar);
    // Byte for byte on the second writing.
    EXPECT_EQ(writeProject(b), bytes);
    EXPECT_FALSE(projectObj(b).Changed);
}

TEST(ProjectFile, ResultsStoredGivesRelativeCoefficientsAndActualValues) {
    std::mt19937 rng(4);
    auto pn = richProject(rng);
    projectObj(*pn).ResultsStored = true;
    giveResults(*findAbs(*pn, 3)->as<THSHeader>(), 6, rng);
    auto back = read(writeProject(*pn));
    ASSERT_TRUE(back);
    auto* a = findAbs(*back, 1)->as<TPaintObj>();
    auto* c = findAbs(*back, 3)->as<TPaintObj>();
    auto* rel = findRel(*back, 1, 3)->as<TPaintObj>();
    ASSERT_TRUE(rel->HasResults);
    EXPECT_EQ(rel->sSC.Count(), 14); // the longer of 10 and 14
    for (double phi : {0.0, 33.0, 200.0})
        EXPECT_NEAR(rel->Calc_s(1, phi), a->Calc_s(1, phi) - c->Calc_s(1, phi), 1e-9);
    // The point restriction's actual value is s at its angle.
    auto* pt = findAbs(*back, 1)->children[0]->as<TRestr>();
    const double s0 = a->Calc_s(0, 0.0);
    EXPECT_EQ(pt->ActualS[1], 0.0);
    EXPECT_EQ(pt->ActualS[3], std::fabs(s0) < 1e-6 ? 0.0 : s0);
}

TEST(ProjectFile, RandomProjectsRoundTripByteForByte) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> nSpecs(0, 10), nRestr(0, 4), kindIx(0, 11), coin(0, 1);
    std::uniform_real_distribution<double> val(-1000.0, 1000.0);
    const int kinds[] = {0, 1, 2, 3, 10, 11, 12, 13, 20, 22, 23, 24};
    for (int round = 0; round < 60; ++round) {
        auto pn = std::make_unique<Node>(std::make_unique<TProject>());
        Node& p = *pn;
        projectObj(p).Description = round % 2 ? "Projekt " + std::to_string(round) : "";
        for (int k = 1; k <= 12; ++k) p.obj().RPar[static_cast<std::size_t>(k)] = val(rng);
        p.obj().IPar[6] = coin(rng);
        p.obj().IPar[1] = -100; // fills its field
        const int n = nSpecs(rng);
        for (int i = 0; i < n; ++i) findOrCreateAbs(p, 0);
        const int groups = coin(rng) + coin(rng);
        for (int g = 0; g < groups; ++g) findOrCreateGroup(p, 0);
        for (int i = 1; i <= n; ++i) {
            Node& h = *findAbs(p, i);
            if (coin(rng)) giveResults(*h.as<THSHeader>(), 1 + coin(rng) * 7, rng, coin(rng) * 0.1);
            h.as<THSHeader>()->ShortName = coin(rng) ? "Kurvenscheibe ä" : "";
            h.as<THSHeader>()->PaintStyle.sLine =
                static_cast<std::uint8_t>(coin(rng) * 7); // 7 -> 0
            for (int j = nRestr(rng); j > 0; --j) {
                TRestr& r = addRestr(h, kinds[kindIx(rng)], val(rng), val(rng), val(rng), val(rng));
                for (int k = 1; k <= 12; ++k) r.RPar[static_cast<std::size_t>(k)] = val(rng) * 1e-7;
                if (groups > 0 && coin(rng)) {
                    r.IPar[8] = 1 + coin(rng) % groups;
                    r.Global = true;
                    r.GlobalPar[3] = val(rng);
                    findOrCreateMember(*findGroup(p, r.IPar[8]), *r.node);
                }
            }
        }
        for (int i = 1; i <= n; ++i)
            for (int j = i + 1; j <= n; ++j)
                if (coin(rng) && coin(rng))
                    addRestr(*findRel(p, i, j), 50 + coin(rng), 0, 90, -1, 1);
        refreshCaptions(p);
        const std::string first = writeProject(p);
        auto back = read(first);
        ASSERT_TRUE(back) << "round " << round;
        const std::string second = writeProject(*back);
        ASSERT_EQ(second, first) << "round " << round;
        // The same tree, caption for caption. Group members with equal sort keys may stand in
        // either order (their order is not stored); they are compared as a set.
        std::vector<std::string> a, b, am, bm;
        forEachNode(p, [&](Node& x) {
            (x.kind() == ObjectKind::GroupMember ? am : a).push_back(x.obj().Caption);
        });
        forEachNode(*back, [&](Node& x) {
            (x.kind() == ObjectKind::GroupMember ? bm : b).push_back(x.obj().Caption);
        });
        std::sort(am.begin(), am.end());
        std::sort(bm.begin(), bm.end());
        EXPECT_EQ(am, bm) << "round " << round;
        ASSERT_EQ(a.size(), b.size()) << "round " << round;
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(a[i], b[i]) << "round " << round << " node " << i;
    }
}

class ProjectFiles : public InScratchDir {};

TEST_F(ProjectFiles, OpenChecksTheExactExtension) {
    std::mt19937 rng(1);
    auto pn = richProject(rng);
    const std::string bytes = writeProject(*pn);
    writeFile(path("a.K4P"), bytes);
    writeFile(path("a.k4p"), bytes);
    ProjectTree tree;
    auto r = openProject(tree, path("a.K4P"));
    ASSERT_TRUE(std::holds_alternative<Message>(r));
    EXPECT_EQ(std::get<Message>(r).text,
              "Die Datei enthält Zuordnungsfehler.\rDas Projekt konnte nicht geöffnet werden.");
    EXPECT_TRUE(tree.roots.empty());
    auto missing = openProject(tree, path("none.k4p"));
    EXPECT_EQ(std::get<Message>(missing).text, "Projektdatei konnte nicht geöffnet werden.");
    auto ok = openProject(tree, path("a.k4p"));
    ASSERT_TRUE(std::holds_alternative<Node*>(ok));
    EXPECT_EQ(std::get<Node*>(ok)->obj().Caption, "a.k4p");
    EXPECT_EQ(projectObj(*std::get<Node*>(ok)).FileName, path("a.k4p"));
    // A recently used file is read whatever its extension.
    EXPECT_TRUE(std::holds_alternative<Node*>(openRecentProject(tree, path("a.K4P"))));
    EXPECT_EQ(std::get<Message>(openRecentProject(tree, path("x.k4p"))).text,
              "Fehler beim Lesen der Datei\r" + path("x.k4p"));
}

TEST_F(ProjectFiles, SaveAsNeedsTheStandardExtension) {
    ProjectTree tree;
    Node& p = tree.newProject();
    auto m = saveProjectAs(p, path("x.txt"));
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->text, "Die Sicherung muß mit der\rStandarderweiterung .k4p erfolgen.");
    EXPECT_FALSE(std::filesystem::exists(path("x.txt")));
    EXPECT_FALSE(saveProjectAs(p, path("x.k4p")).has_value());
    EXPECT_EQ(p.obj().Caption, "x.k4p");
    EXPECT_FALSE(projectObj(p).Changed);
    bool saved = false;
    projectObj(p).Changed = true;
    EXPECT_FALSE(saveProject(p, &saved).has_value());
    EXPECT_TRUE(saved);
    // An imported project (FileName not ".k4p") is not saved by the plain command.
    projectObj(p).FileName = path("y.kq4");
    EXPECT_FALSE(saveProject(p, &saved).has_value());
    EXPECT_FALSE(saved);
}

TEST_F(ProjectFiles, FailedSaveKeepsTheOldFileAndTheChangedFlag) {
    ProjectTree tree;
    Node& p = tree.newProject();
    ASSERT_FALSE(saveProjectAs(p, path("keep.k4p")).has_value());
    const std::string before = readFile(path("keep.k4p"));
    std::mt19937 rng(8);
    for (int i = 0; i < 3; ++i) giveResults(*findOrCreateAbs(p, 0).as<THSHeader>(), 20, rng);
    projectObj(p).Changed = true;
    // The disk is "full": the file size limit stops the write half-way (also for root).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    auto m = saveProject(p);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(m.has_value());
    EXPECT_NE(m->text.find(path("keep.k4p")), std::string::npos);
    EXPECT_EQ(readFile(path("keep.k4p")), before);
    EXPECT_TRUE(projectObj(p).Changed);
    EXPECT_TRUE(p.children[0]->obj().Modified);
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    // With room again the same project saves.
    EXPECT_FALSE(saveProject(p).has_value());
    EXPECT_FALSE(projectObj(p).Changed);
    EXPECT_GT(readFile(path("keep.k4p")).size(), 1000u);
}

TEST_F(ProjectFiles, SaveReplacesAndKeepsPermissions) {
    ProjectTree tree;
    Node& p = tree.newProject();
    writeFile(path("p.k4p"), "old");
    ::chmod(path("p.k4p").c_str(), 0640);
    ASSERT_FALSE(saveProjectAs(p, path("p.k4p")).has_value());
    EXPECT_EQ(readFile(path("p.k4p")), writeProject(p));
    struct stat st {};
    ::stat(path("p.k4p").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ProjectFiles, DamagedFileNamesFileAndLineAndBuildsNothing) {
    std::mt19937 rng(3);
    auto pn = richProject(rng);
    std::string bytes = writeProject(*pn);
    // A bad number on line 5 (the second motion specification line of motion specification 1).
    std::size_t pos = 0;
    for (int l = 0; l < 4; ++l) pos = bytes.find("\r\n", pos) + 2;
    std::string bad = bytes;
    bad.replace(pos + 3, 2, "xx");
    writeFile(path("bad.k4p"), bad);
    ProjectTree tree;
    auto r = openProject(tree, path("bad.k4p"));
    ASSERT_TRUE(std::holds_alternative<Message>(r));
    EXPECT_EQ(std::get<Message>(r).text, "Fehler beim Lesen der Datei\rbad.k4p in Zeile 5.");
    EXPECT_TRUE(tree.roots.empty());
    // Every truncation either reads (cut in the trailing part) or fails cleanly.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
        auto t = readProject(std::string_view(bytes).substr(0, cut));
        if (auto* f = std::get_if<ReadFailure>(&t)) {
            EXPECT_GE(f->line, 1u);
        }
    }
}

TEST(ProjectFileHostile, CountsAndNumbers) {
    auto fails = [](const std::string& text) {
        return std::holds_alternative<ReadFailure>(readProject(text));
    };
    const std::string p2 = std::string(12, ' ') + "\r\n";
    auto project = [](const std::string& ip) {
        std::string s = ip + "\r\n";
        for (int i = 0; i < 12; ++i) s += "  0.0";
        return s + "\r\nDesc\r\n";
    };
    EXPECT_TRUE(fails(project("0 0 11 0 0 0 0 0 0"))); // eleven motion specifications
    EXPECT_TRUE(fails(project("0 0 -1 0 0 0 0 0 0")));
    EXPECT_TRUE(fails(project("0 0 0 0 0 0 0 100000000 0"))); // absurd group count
    EXPECT_TRUE(fails(project("0 0 1e999 0 0 0 0 0 0")));
    EXPECT_TRUE(fails("\x01\x02\xff binary"));
    // A motion specification claiming two billion coefficients in a short file.
    std::string motionNode = project("0 0 1 0 0 0 0 0 0") + "0 1 3 0 0 0 0 2000000000 0\r\n";
    for (int i = 0; i < 12; ++i) motionNode += " 0";
    EXPECT_TRUE(fails(motionNode + "\r\n0 0 0 0 0 0 0\r\n\r\n"));
    // A megabyte line of digits.
    EXPECT_TRUE(fails(std::string(1 << 20, '7')));
    // nan and inf as written by the writer read back.
    auto ok = readProject(project("0 0 0 0 0 0 0 0 0").replace(21, 3, "Nan"));
    EXPECT_TRUE(std::holds_alternative<std::unique_ptr<Node>>(ok));
    (void)p2;
}

// A damaged file can name a relative restriction whose numbers (0-0, or a negative second one)
// sort its relative motion specification ahead of the absolute ones in the tree. Saving must
// still write the absolute ones first, or the saved file no longer reads.
TEST(ProjectFileHostile, RelativeNumbersThatSortFirstStillSaveReadably) {
    auto record = [](const std::string& ip) {
        std::string s = ip + "\r\n";
        for (int i = 0; i < 12; ++i) s += "  0.0";
        return s + "\r\n";
    };
    const std::string motion = record("0 1 3 0 0 0 0 0 0") + "  0  0 0 0 0 0 0\r\nNocke\r\n";
    for (const char* rel : {"0 0 50 0 0 0 0 0 0", "1 -4 41 0 0 0 0 0 0", "2 0 41 0 0 0 0 0 0"}) {
        SCOPED_TRACE(rel);
        const std::string file =
            record("0 0 2 0 0 0 0 0 0") + "Desc\r\n" + motion + motion + record(rel);
        auto first = read(file);
        ASSERT_NE(first, nullptr);
        const std::string once = writeProject(*first);
        auto again = read(once);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(writeProject(*again), once);
        EXPECT_NE(findAbs(*again, 1), nullptr);
        EXPECT_NE(findAbs(*again, 2), nullptr);
    }
}
