// The project tree: numbering, relative specifications, groups, deletion, currency.
#include <functional>

#include <gtest/gtest.h>

#include <stdexcept>

#include "model/editing.h"
#include "model/project_file.h"
#include "model/results.h"
#include "tests/model/change_recorder.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

std::vector<std::string> captions(const Node& parent) {
    std::vector<std::string> out;
    for (const auto& c : parent.children) out.push_back(c->obj().Caption);
    return out;
}

} // namespace

TEST(Numbering, ThreeSpecificationsGiveThreeRelativeOnes) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 0; i < 3; ++i) findOrCreateAbs(p, 0);
    EXPECT_EQ(captions(p), (std::vector<std::string>{
                               "Bewegungsvorgabe (abs) 1", "Bewegungsvorgabe (abs) 2",
                               "Bewegungsvorgabe (abs) 3", "Bewegungsvorgabe (rel) 1-2",
                               "Bewegungsvorgabe (rel) 1-3", "Bewegungsvorgabe (rel) 2-3"}));
    EXPECT_EQ(p.children[3]->obj().SortKey, 102);
    EXPECT_EQ(p.children[4]->obj().SortKey, 103);
    EXPECT_EQ(p.children[5]->obj().SortKey, 203);
    EXPECT_EQ(p.obj().IPar[3], 3);
    // Finding an existing one creates nothing.
    EXPECT_EQ(&findOrCreateAbs(p, 2), p.children[1].get());
    EXPECT_EQ(p.children.size(), 6u);
}

TEST(Numbering, TenSpecificationsAtMost) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 0; i < 10; ++i) {
        auto r = tree.newMotionSpec(p);
        ASSERT_TRUE(std::holds_alternative<Node*>(r));
    }
    auto r = tree.newMotionSpec(p);
    ASSERT_TRUE(std::holds_alternative<Message>(r));
    EXPECT_EQ(std::get<Message>(r).text,
              "Ein Projekt kann maximal 10 Bewegungsvorgaben enthalten.");
    EXPECT_EQ(p.children.size(), 10u + 45u);
}

TEST(Numbering, NewRestrictionCommands) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node* r1 = std::get<Node*>(tree.newMotionSpec(p));
    EXPECT_EQ(r1->obj().IPar[1], 1);
    EXPECT_EQ(r1->obj().IPar[3], 0);
    // With a restriction selected the new one goes under the same motion specification.
    Node* r2 = std::get<Node*>(tree.newAbsRestriction(*r1));
    EXPECT_EQ(r2->parent, r1->parent);
    Node* sp = tree.newSpectrumRestriction(*r1);
    ASSERT_NE(sp, nullptr);
    EXPECT_EQ(sp->obj().IPar[3], 20);
    EXPECT_EQ(sp->obj().IPar[2], 1);
    std::get<Node*>(tree.newMotionSpec(*r1));
    Node* rel = findRel(p, 1, 2);
    ASSERT_NE(rel, nullptr);
    Node* rr = tree.newRelRestriction(*rel);
    ASSERT_NE(rr, nullptr);
    EXPECT_EQ(rr->obj().IPar[1], 1);
    EXPECT_EQ(rr->obj().IPar[2], 2);
    EXPECT_EQ(rr->obj().IPar[3], 40);
    EXPECT_EQ(tree.newRelRestriction(*r1), nullptr);
}

// A spectrum restriction asked for on the project goes under a new motion specification, up to
// the limit of ten; at the limit nothing is created.
TEST(Numbering, SpectrumRestrictionOnTheProjectKeepsTheLimit) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node* first = tree.newSpectrumRestriction(p);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parent->kind(), ObjectKind::AbsSpec);
    EXPECT_EQ(first->obj().IPar[1], 1);
    for (int i = 2; i <= 10; ++i) ASSERT_NE(tree.newSpectrumRestriction(p), nullptr);
    const std::size_t before = p.children.size();
    EXPECT_EQ(tree.newSpectrumRestriction(p), nullptr);
    EXPECT_EQ(p.children.size(), before);
    // Below an existing motion specification the limit does not matter.
    EXPECT_NE(tree.newSpectrumRestriction(*first), nullptr);
}

TEST(Sorting, EqualKeysKeepInsertionOrder) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 0);
    TRestr& a = addRestr(h, 24, 0);
    TRestr& b = addRestr(h, 24, 0);
    TRestr& c = addRestr(h, 2, 90.0);
    TRestr& d = addRestr(h, 24, 0);
    refreshCaptions(p);
    ASSERT_EQ(h.children.size(), 4u);
    EXPECT_EQ(h.children[0]->object.get(), &c);
    EXPECT_EQ(h.children[1]->object.get(), &a);
    EXPECT_EQ(h.children[2]->object.get(), &b);
    EXPECT_EQ(h.children[3]->object.get(), &d);
}

TEST(Groups, MemberCaptionAndSortKey) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 0);
    TRestr& r = addRestr(h, 0, 90.0, 0, -1.0, 1.0);
    r.IPar[8] = 1;
    r.Global = true;
    r.RPar[9] = 80.0;
    r.RPar[10] = 100.0;
    Node& g = findOrCreateGroup(p, 0);
    Node& m = findOrCreateMember(g, *r.node);
    refreshCaptions(p);
    EXPECT_EQ(g.obj().Caption, "Optimierungsobjekt 1");
    EXPECT_EQ(g.obj().SortKey, 1001);
    EXPECT_EQ(r.Caption, "[s0]:  90.0 -> (-1.0 ...  1.0)");
    EXPECT_EQ(m.obj().Caption, "[s0](1):  90.0 -> (-1.0 ...  1.0)");
    EXPECT_EQ(m.obj().SortKey, 10000000 + 1000000 + 2500);
    EXPECT_EQ(r.node->stateIndex, 1);
    // Inconsistent: the number goes one character further, behind the mark.
    r.RPar[8] = -2.0;
    refreshCaptions(p);
    EXPECT_EQ(r.Caption.substr(0, 6), "! [s0]");
    EXPECT_EQ(m.obj().Caption.substr(0, 8), "! [s0(1)");
    EXPECT_FALSE(m.obj().CheckValid());
    // The groups sort after every motion specification.
    EXPECT_EQ(p.children.back().get(), &g);
    EXPECT_EQ(&findOrCreateMember(g, *r.node), &m);
}

TEST(Deletion, SpecificationTwoOfThree) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 0; i < 3; ++i) std::get<Node*>(tree.newMotionSpec(p));
    Node* r13 = tree.newRelRestriction(*findRel(p, 1, 3));
    TRestr* rel = r13->as<TRestr>();
    Node* r3 = findAbs(p, 3)->children[0].get();
    tree.deleteNode(*findAbs(p, 2));
    EXPECT_EQ(captions(p),
              (std::vector<std::string>{"Bewegungsvorgabe (abs) 1", "Bewegungsvorgabe (abs) 2",
                                        "Bewegungsvorgabe (rel) 1-2"}));
    EXPECT_EQ(p.obj().IPar[3], 2);
    // The former 1-3 with its restriction is now 1-2.
    Node* rel12 = findRel(p, 1, 2);
    ASSERT_EQ(rel12->children.size(), 1u);
    EXPECT_EQ(rel12->children[0]->object.get(), rel);
    EXPECT_EQ(rel->IPar[1], 1);
    EXPECT_EQ(rel->IPar[2], 2);
    EXPECT_EQ(r3->obj().IPar[1], 2); // the restriction of former 3 follows
    EXPECT_EQ(r3->parent, findAbs(p, 2));
    EXPECT_FALSE(tree.Deleting);
    EXPECT_TRUE(projectObj(p).Changed);
}

TEST(Deletion, LastRestrictionRemovesItsSpecification) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node* a = std::get<Node*>(tree.newMotionSpec(p));
    Node* b = std::get<Node*>(tree.newMotionSpec(p));
    Node* b2 = std::get<Node*>(tree.newAbsRestriction(*b));
    tree.deleteNode(*b2);
    ASSERT_NE(findAbs(p, 2), nullptr); // one restriction left: stays
    tree.deleteNode(*findAbs(p, 2)->children[0]);
    EXPECT_EQ(findAbs(p, 2), nullptr);
    EXPECT_EQ(findRel(p, 1, 2), nullptr);
    EXPECT_EQ(p.obj().IPar[3], 1);
    EXPECT_EQ(a->parent, findAbs(p, 1));
}

TEST(Deletion, LastMemberRemovesItsGroupAndLaterGroupsMoveDown) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 0);
    TRestr& r1 = addRestr(h, 0, 10.0);
    TRestr& r2 = addRestr(h, 0, 20.0);
    TRestr& r3 = addRestr(h, 0, 30.0);
    Node& g1 = findOrCreateGroup(p, 0);
    Node& g2 = findOrCreateGroup(p, 0);
    for (auto [r, g] : {std::pair{&r1, &g1}, std::pair{&r2, &g2}, std::pair{&r3, &g2}}) {
        r->IPar[8] = g->obj().IPar[1];
        r->Global = true;
        findOrCreateMember(*g, *r->node);
    }
    tree.deleteNode(*g1.children[0]); // the only member of group 1
    EXPECT_FALSE(r1.Global);
    EXPECT_EQ(r1.IPar[8], 0);
    EXPECT_EQ(findGroup(p, 2), nullptr);
    Node* g = findGroup(p, 1);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->children.size(), 2u);
    EXPECT_EQ(r2.IPar[8], 1);
    EXPECT_EQ(r3.IPar[8], 1);
    EXPECT_EQ(p.obj().IPar[8], 1);
    EXPECT_EQ(g->obj().Caption, "Optimierungsobjekt 1");
    // Deleting a global restriction takes its member with it, and the group when emptied.
    tree.deleteNode(*r2.node);
    tree.deleteNode(*r3.node);
    EXPECT_EQ(findGroup(p, 1), nullptr);
    EXPECT_EQ(p.obj().IPar[8], 0);
}

TEST(Deletion, QuestionsAndProject) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node* r = std::get<Node*>(tree.newMotionSpec(p));
    EXPECT_EQ(ProjectTree::deleteQuestion(p), "Gesamtes Projekt neues Projekt löschen?");
    EXPECT_EQ(ProjectTree::deleteQuestion(*r->parent),
              "Bewegungsvorgabe (abs) 1 und alle Einträge,\rdie Bezüge darauf enthalten, löschen?");
    EXPECT_EQ(ProjectTree::deleteQuestion(*r), "Restriktion " + r->obj().Caption + " löschen?");
    tree.deleteNode(p);
    EXPECT_TRUE(tree.roots.empty());
}

TEST(Currency, EditsMarkMotionsAndProject) {
    ProjectTree tree;
    Node& p = tree.newProject();
    std::mt19937 rng(1);
    for (int i = 0; i < 3; ++i) std::get<Node*>(tree.newMotionSpec(p));
    forEachNode(p, [](Node& n) { n.obj().Modified = false; });
    for (int k = 1; k <= 3; ++k) giveResults(*findAbs(p, k)->as<THSHeader>(), 3, rng);
    for (auto [a, b] : {std::pair{1, 2}, {1, 3}, {2, 3}})
        computeRelativeCoefficients(p, *findRel(p, a, b));
    projectObj(p).AllCurrent = true; // as after a calculation
    projectObj(p).Changed = false;
    updateCurrency(p);
    EXPECT_TRUE(projectObj(p).AllCurrent);
    EXPECT_FALSE(projectObj(p).Changed);
    EXPECT_TRUE(findRel(p, 1, 2)->as<TPaintObj>()->ResultsCurrent);
    // An edited relative restriction of 1-3 makes 1, 3 and 1-3 stale, and through 2-3 also 2
    // and then 1-2 - whichever order the relative specifications are visited in, and however
    // often the update runs (the command runs it once, the test once more).
    Node* rr = tree.newRelRestriction(*findRel(p, 1, 3));
    ASSERT_NE(rr, nullptr);
    for (int round = 0; round < 2; ++round) {
        updateCurrency(p);
        for (int k = 1; k <= 3; ++k) EXPECT_FALSE(findAbs(p, k)->as<TPaintObj>()->ResultsCurrent);
        EXPECT_FALSE(findRel(p, 1, 2)->as<TPaintObj>()->ResultsCurrent);
        EXPECT_FALSE(findRel(p, 1, 3)->as<TPaintObj>()->ResultsCurrent);
        EXPECT_FALSE(findRel(p, 2, 3)->as<TPaintObj>()->ResultsCurrent);
    }
    EXPECT_FALSE(projectObj(p).AllCurrent);
    EXPECT_TRUE(projectObj(p).Changed);
}

TEST(Currency, GroupMemberEditStalesTheOwnersOfAllMembers) {
    ProjectTree tree;
    Node& p = tree.newProject();
    std::mt19937 rng(2);
    Node& h1 = findOrCreateAbs(p, 0);
    Node& h2 = findOrCreateAbs(p, 0);
    TRestr& a = addRestr(h1, 0, 10.0);
    TRestr& b = addRestr(h2, 0, 10.0);
    Node& g = findOrCreateGroup(p, 0);
    findOrCreateMember(g, *a.node);
    findOrCreateMember(g, *b.node);
    forEachNode(p, [](Node& n) { n.obj().Modified = false; });
    giveResults(*h1.as<THSHeader>(), 2, rng);
    giveResults(*h2.as<THSHeader>(), 2, rng);
    computeRelativeCoefficients(p, *findRel(p, 1, 2));
    projectObj(p).AllCurrent = true;
    updateCurrency(p);
    ASSERT_TRUE(projectObj(p).AllCurrent);
    b.Modified = true;
    updateCurrency(p);
    EXPECT_FALSE(h1.as<TPaintObj>()->ResultsCurrent);
    EXPECT_FALSE(h2.as<TPaintObj>()->ResultsCurrent);
}

// Regressions: currency was recomputed from the Modified flags alone, so stale results that were
// no longer Modified (saved, or read from a file that says stale) became current again - by an
// edit of a project-level field in a project with one motion specification, and by the update
// the main window ran over every open project after any edit.
TEST(Currency, OnlyEverClears) {
    std::mt19937 rng(3);
    ProjectTree tree;
    Node& p = tree.newProject();
    std::get<Node*>(tree.newMotionSpec(p));
    auto& h = *findAbs(p, 1)->as<THSHeader>();
    giveResults(h, 3, rng);
    h.ResultsCurrent = false;
    forEachNode(p, [](Node& n) { n.obj().Modified = false; }); // as after a save
    editObject(p, [](TNLMember& o) { o.IPar[6] = 1; });
    EXPECT_FALSE(h.ResultsCurrent);
    EXPECT_FALSE(projectObj(p).AllCurrent);
    EXPECT_TRUE(projectObj(p).Changed);
    // Read back from its file the results are stale, and stay so.
    auto back = readProject(writeProject(p));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Node>>(back));
    Node& q = tree.appendProject(std::move(std::get<std::unique_ptr<Node>>(back)));
    auto& hq = *findAbs(q, 1)->as<THSHeader>();
    ASSERT_TRUE(hq.HasResults);
    updateCurrency(q);
    EXPECT_FALSE(hq.ResultsCurrent);
    // Current results lose their currency by their own edit only.
    h.ResultsCurrent = true;
    projectObj(p).AllCurrent = true;
    editObject(p, [](TNLMember& o) { o.IPar[4] = 3; });
    EXPECT_TRUE(h.ResultsCurrent && projectObj(p).AllCurrent);
    editObject(*findAbs(p, 1)->children[0], [](TNLMember& o) { o.RPar[8] = 2.0; });
    EXPECT_FALSE(h.ResultsCurrent || projectObj(p).AllCurrent);
}

namespace {

bool allCurrent(const Node& p) {
    bool all = projectObj(const_cast<Node&>(p)).AllCurrent;
    for (const auto& c : p.children)
        if (const auto* m = c->as<TPaintObj>()) all = all && m->HasResults && m->ResultsCurrent;
    return all;
}

// A run of the project with random series of 3 harmonics; varied: parameters the random search
// left for restrictions.
void calculate(Node& p, std::mt19937& rng, VariedParameters varied = {}) {
    startCalculation(p);
    CalcResults res;
    res.ok = true;
    res.beta = 0.75;
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (const auto& c : p.children)
        if (c->kind() == ObjectKind::AbsSpec) {
            TVector s(8);
            for (int i = 1; i < 8; ++i) s.set(i, u(rng));
            res.series.emplace_back(c.get(), s);
        }
    res.varied = std::move(varied);
    publishResults(p, res);
}

} // namespace

// Results are current again exactly when the input written now is the one they were
// calculated from: an edit and its reverse (typed back or undone) revive them with the run's
// varied angles, an edit in another motion keeps them stale until it is undone too, fields the
// input does not carry change nothing, and after a run without results nothing revives.
TEST(Currency, IdenticalInputMakesResultsCurrentAgain) {
    std::mt19937 rng(4);
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h1 = findOrCreateAbs(p, 0);
    Node& h2 = findOrCreateAbs(p, 0);
    TRestr& r1 = addRestr(h1, 10, 10.0, 50.0);
    addRestr(h2, 0, 90.0);
    setGlobal(*r1.node, 0);
    auto varied = r1.RPar;
    varied[2] = 12.0;
    calculate(p, rng, {{r1.node, varied}});
    const EditState r1Before = captureState(*r1.node), h2Before = captureState(h2);
    // As the editor changes a restriction: the varied angles go with it.
    auto bound = [&](double v) {
        editObject(*r1.node, [v](TNLMember& o) {
            o.RPar[8] = v;
            static_cast<TRestr&>(o).GlobalPar = o.RPar;
        });
    };
    auto slot3 = [](Node& n, double v) { editObject(n, [v](TNLMember& o) { o.RPar[3] = v; }); };
    auto name = [&] {
        editObject(h2, [](TNLMember& o) { static_cast<THSHeader&>(o).ShortName = "G"; });
    };
    auto failedRun = [&] {
        startCalculation(p);
        publishResults(p, CalcResults{});
    };
    const struct {
        const char* what;
        std::function<void()> act;
        bool current;
    } steps[] = {
        {"calculated", [] {}, true},
        {"bound changed", [&] { bound(2.0); }, false},
        {"bound typed back", [&] { bound(1.0); }, true},
        {"short name (no input)", name, true},
        {"theta of motion 2", [&] { slot3(h2, 0.2); }, false},
        {"and the bound of motion 1", [&] { bound(3.0); }, false},
        {"motion 2 undone", [&] { applyState(h2, h2Before, false); }, false},
        {"motion 1 undone", [&] { applyState(*r1.node, r1Before, false); }, true},
        {"whole-cycle switch off", [&] { slot3(p, 0.0); }, false},
        {"and on", [&] { slot3(p, 0.001); }, true},
        {"a run without results", failedRun, false},
        {"then an edit and its reverse", [&] { bound(2.0), bound(1.0); }, false},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(allCurrent(p), s.current) << s.what;
        EXPECT_TRUE(!s.current || r1.GlobalPar == varied) << s.what;
    }
}

// Read from a file, with the kept result: results it calls current revive after an edit and
// its reverse, stale ones never.
TEST(Currency, FileResultsReviveOnlyWhenTheFileCallsThemCurrent) {
    std::mt19937 rng(5);
    for (const bool stale : {false, true}) {
        ProjectTree tree;
        Node& p = tree.newProject();
        Node& h = findOrCreateAbs(p, 0);
        addRestr(h, 10, 10.0, 50.0);
        calculate(p, rng);
        if (stale) editObject(h, [](TNLMember& o) { o.RPar[3] = 0.3; });
        auto back = readProject(writeProject(p));
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Node>>(back));
        Node& q = tree.appendProject(std::move(std::get<std::unique_ptr<Node>>(back)));
        EXPECT_EQ(recordedBeta(projectObj(q)), std::optional<double>(0.75));
        Node& r = *findAbs(q, 1)->children[0];
        editObject(r, [](TNLMember& o) { o.RPar[2] = 20.0; });
        EXPECT_FALSE(allCurrent(q));
        editObject(r, [](TNLMember& o) { o.RPar[2] = 10.0; });
        EXPECT_EQ(allCurrent(q), !stale) << stale;
    }
}

TEST(Notification, DeletionReportsEachNodeOnceAndTheNextSelection) {
    ProjectTree tree;
    Node& other = tree.newProject();
    Node& p = tree.newProject();
    for (int i = 0; i < 3; ++i) std::get<Node*>(tree.newMotionSpec(p));
    Node* h2 = findAbs(p, 2);
    Node* h3 = findAbs(p, 3);
    Node* r2 = h2->children[0].get();
    Node* rel13 = findRel(p, 1, 3);
    tree.select(r2);
    ChangeRecorder rec;
    tree.addObserver(rec);
    tree.deleteNode(*r2); // the last restriction: motion 2 goes too, and with it 1-2 and 2-3
    const std::vector<const Node*> gone{r2, h2};
    EXPECT_EQ(rec.removed.size(), 4u);
    for (const Node* n : gone) EXPECT_EQ(std::count(rec.removed.begin(), rec.removed.end(), n), 1);
    EXPECT_EQ(rec.faults, 0);
    // Renumbered: 3 becomes 2, 1-3 becomes 1-2; each change reported once.
    EXPECT_EQ(h3->obj().Caption, "Bewegungsvorgabe (abs) 2");
    EXPECT_TRUE(rec.has(*h3, ChangeFlags::Values | ChangeFlags::Caption));
    EXPECT_TRUE(rec.has(*rel13, ChangeFlags::Values | ChangeFlags::Caption));
    EXPECT_TRUE(rec.has(p, ChangeFlags::Structure | ChangeFlags::Values));
    for (const auto& [n, calls] : rec.calls) EXPECT_EQ(calls, 1) << n->obj().Caption;
    EXPECT_EQ(rec.done, 1); // the whole deletion is one command
    EXPECT_EQ(rec.changed.count(&other), 0u);
    // The selection went with the node: the nearest survivor is selected and announced.
    EXPECT_EQ(rec.selections, std::vector<const Node*>{&p});
    EXPECT_EQ(tree.selected(), &p);
    EXPECT_TRUE(p.obj().Highlighted);
    tree.removeObserver(rec);
}

// A window that closes another when a node goes (a diagram window closing its options
// window): the closed one is not called afterwards in the same round.
TEST(Notification, AnObserverRemovedByAnotherIsNotCalledAgain) {
    ProjectTree tree;
    Node& p = tree.newProject();
    std::get<Node*>(tree.newMotionSpec(p));
    auto second = std::make_unique<ChangeRecorder>();
    struct Closer : ChangeRecorder {
        ProjectTree* tree = nullptr;
        std::unique_ptr<ChangeRecorder>* other = nullptr;
        void notifyRemoved(const Node& n) override {
            ChangeRecorder::notifyRemoved(n);
            if (*other) {
                tree->removeObserver(**other);
                other->reset();
            }
        }
    } first;
    first.tree = &tree;
    first.other = &second;
    tree.addObserver(first);
    tree.addObserver(*second);
    tree.deleteNode(*findAbs(p, 1)->children[0]);
    EXPECT_EQ(second, nullptr);
    EXPECT_FALSE(first.removed.empty());
    tree.removeObserver(first);
}

// A window that throws while it is told of a change (its own fault) once stopped every later
// notification, and thrown from a batch's end it ended the program. Each round, of every kind,
// reaches the other observers and the thrower again, and the error goes to the handler.
TEST(Notification, AThrowingObserverDoesNotStopLaterRounds) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 0; i < 2; ++i) std::get<Node*>(tree.newMotionSpec(p));
    struct Thrower : ChangeRecorder {
        void notifyChanged(const Node& n, ChangeFlags what) override {
            ChangeRecorder::notifyChanged(n, what);
            throw std::runtime_error("changed");
        }
        void notifyRemoved(const Node& n) override {
            ChangeRecorder::notifyRemoved(n);
            throw std::runtime_error("removed");
        }
    } thrower;
    ChangeRecorder other;
    int errors = 0;
    tree.observerError = [&](std::exception_ptr) { ++errors; };
    tree.addObserver(thrower);
    tree.addObserver(other);
    const std::pair<const char*, std::function<void()>> rounds[] = {
        {"edit (a batch ends)", [&] { editObject(p, [](TNLMember& o) { o.IPar[4] = 2; }); }},
        {"new project (no batch)", [&] { tree.newProject(); }},
        {"deletion", [&] { tree.deleteNode(*findAbs(p, 2)); }},
        {"edit again", [&] { editObject(p, [](TNLMember& o) { o.IPar[4] = 3; }); }},
    };
    for (const auto& [what, round] : rounds) {
        thrower.clear();
        other.clear();
        const int before = errors;
        EXPECT_NO_THROW(round()) << what;
        EXPECT_FALSE(thrower.changed.empty()) << what;
        EXPECT_EQ(other.changed, thrower.changed) << what;
        EXPECT_EQ(other.removed, thrower.removed) << what;
        EXPECT_EQ(other.done, 1) << what;
        EXPECT_GT(errors, before) << what;
    }
    EXPECT_EQ(other.faults, 0);
    tree.removeObserver(thrower);
    tree.removeObserver(other);
}

TEST(Calculation, PossibleOnlyWhenConsistent) {
    ProjectTree tree;
    Node& p = tree.newProject();
    EXPECT_FALSE(calculationPossible(p, false)); // no children
    Node* r = std::get<Node*>(tree.newMotionSpec(p));
    r->obj().RPar[8] = 1.0;
    EXPECT_TRUE(calculationPossible(*r, false));
    EXPECT_FALSE(calculationPossible(*r, true));
    r->obj().RPar[8] = -1.0;
    EXPECT_FALSE(calculationPossible(p, false));
}

TEST(CopyProject, DuplicatesSpecificationsAndRecreatesGroups) {
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 0);
    findOrCreateAbs(p, 0);
    h.as<THSHeader>()->ShortName = "Nocke";
    TRestr& r = addRestr(h, 0, 10.0);
    r.IPar[8] = 1;
    r.Global = true;
    findOrCreateMember(findOrCreateGroup(p, 0), *r.node);
    findOrCreateGroup(p, 0); // an empty group is not copied
    Node& c = tree.copyProject(p);
    EXPECT_EQ(c.obj().Caption, "neues Projekt");
    EXPECT_EQ(findAbs(c, 1)->as<THSHeader>()->ShortName, "Nocke (Kopie)");
    ASSERT_NE(findRel(c, 1, 2), nullptr);
    ASSERT_NE(findGroup(c, 1), nullptr);
    EXPECT_EQ(findGroup(c, 2), nullptr);
    ASSERT_EQ(findGroup(c, 1)->children.size(), 1u);
    EXPECT_EQ(findGroup(c, 1)->children[0]->as<TGroupMember>()->RefTNR,
              findAbs(c, 1)->children[0].get());
}
