// Tree operations taken back and done again: every operation of the tree on a designed project
// with groups, a relative restriction and current results, the state after undo equal to before
// (file text, flags, the very nodes), the notifications an observer sees; an undo after other
// changes; moving and pasting; the harmonics of a new motion and when they are too few.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/editing.h"
#include "model/import.h"
#include "model/project_file.h"
#include "model/tree_command.h"
#include "tests/model/change_recorder.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

// Three motion specifications with a point and an interval restriction each, a relative
// restriction on 1-3, group 1 with a restriction of motion 2, group 2 with one of motion 3 and
// the relative one, and current results: a project as a calculation and saving leave it.
Node& designedProject(ProjectTree& tree) {
    Node& p = tree.newProject();
    for (int m = 1; m <= 3; ++m) {
        Node& h = findOrCreateAbs(p, m);
        h.obj().IPar[3] = 4;
        addRestr(h, 0, 10.0 * m);
        addRestr(h, 10, 30.0 * m, 30.0 * m + 60.0);
    }
    Node& rel = *findRel(p, 1, 3);
    addRestr(rel, 40, 200.0, 0.0, 0.5, 2.0);
    refreshCaptions(p);
    auto join = [](Node& r, int group) {
        setGlobal(r, group);
        fitShiftRanges(*r.as<TRestr>());
    };
    join(*findAbs(p, 2)->children[0], 0);
    join(*findAbs(p, 3)->children[1], 0);
    join(*rel.children[0], 2);
    for (int m = 1; m <= 3; ++m) {
        auto& h = *findAbs(p, m)->as<THSHeader>();
        h.sSC.ReSize(10);
        for (int i = 0; i < 10; ++i) h.sSC.set(i, 0.1 * m + 0.01 * i);
        h.qSC = h.sSC;
        h.HasResults = h.ResultsCurrent = true;
        h.ResultHarmonics = 4;
    }
    for (auto& c : p.children)
        if (c->kind() == ObjectKind::RelSpec) computeRelativeCoefficients(p, *c);
    forEachNode(p, [](Node& n) { n.obj().Modified = false; });
    projectObj(p).AllCurrent = true;
    projectObj(p).Changed = false;
    refreshCaptions(p);
    return p;
}

// What an undo must put back: the project file, and what the file does not hold (captions,
// consistency, Modified, currency, the recorded group numbers, the project's flags).
std::string state(Node& p) {
    std::string s = writeProject(p);
    forEachNode(p, [&](Node& n) {
        const TNLMember& o = n.obj();
        s += o.Caption + (o.Modified ? " M" : "") + (o.Valid ? "" : " invalid");
        if (auto* m = n.as<TPaintObj>()) s += m->ResultsCurrent ? " current" : " stale";
        s += " #" + std::to_string(n.stateIndex) + "\n";
    });
    const TProject& pr = projectObj(p);
    return s + (pr.Changed ? "changed" : "saved") + (pr.AllCurrent ? " all current" : "");
}

std::vector<Node*> nodesOf(Node& p) {
    std::vector<Node*> out;
    forEachNode(p, [&](Node& n) { out.push_back(&n); });
    return out;
}

std::vector<const Node*> minus(std::vector<Node*> a, std::vector<Node*> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::vector<const Node*> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// Where the nodes hang in the tree now: the parents of the given ones that are not among them.
std::vector<const Node*> placesOf(const std::vector<const Node*>& nodes) {
    std::vector<const Node*> out;
    for (const Node* n : nodes)
        if (std::find(nodes.begin(), nodes.end(), n->parent) == nodes.end())
            out.push_back(n->parent);
    return out;
}

std::vector<const Node*> sorted(std::vector<const Node*> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(TreeUndo, EveryOperationGoesBackExactlyAndForthAgain) {
    const std::string kqe = "6 0 0\r\n0.1 0.05\r\n  0  3  0 90 0 0 0 1 0 2 0\r\n"
                            " 12  3  0 0 0 90 0 -5 0 5 0\r\nrbc\r\n";
    const std::pair<const char*, std::function<void(ProjectTree&, Node&)>> cases[] = {
        {"delete motion 2 of 3: renumbering, groups, relative specifications",
         [](ProjectTree& t, Node& p) { t.deleteNode(*findAbs(p, 2)); }},
        {"delete a grouped restriction",
         [](ProjectTree& t, Node& p) { t.deleteNode(*findAbs(p, 3)->children[1]); }},
        {"delete the last member of a group: the group goes, the next moves down",
         [](ProjectTree& t, Node& p) { t.deleteNode(*findGroup(p, 1)->children[0]); }},
        {"new motion", [](ProjectTree& t, Node& p) { (void)t.newMotionSpec(p); }},
        {"new restriction",
         [](ProjectTree& t, Node& p) { (void)t.newAbsRestriction(*findAbs(p, 1)); }},
        {"move a grouped restriction to another motion",
         [](ProjectTree& t, Node& p) {
             ASSERT_TRUE(t.moveRestriction(*findAbs(p, 3)->children[1], *findAbs(p, 1)));
         }},
        {"paste",
         [](ProjectTree& t, Node& p) {
             TRestr copy;
             (void)findAbs(p, 3)->children[1]->obj().CopyTo(copy);
             ASSERT_NE(t.pasteRestriction(*findAbs(p, 1), copy), nullptr);
         }},
        {"import a motion",
         [&](ProjectTree& t, Node& p) {
             THSSet set;
             ASSERT_EQ(readKqe(kqe, set), 0);
             ASSERT_TRUE(std::holds_alternative<Node*>(insertMotion(t, set, &p, false)));
         }},
    };
    for (const auto& [what, op] : cases) {
        SCOPED_TRACE(what);
        ProjectTree tree;
        Node& p = designedProject(tree);
        Node* selected = findAbs(p, 1)->children[0].get();
        tree.select(selected);
        const std::string before = state(p);
        const std::vector<Node*> nodesBefore = nodesOf(p);
        const auto& operation = op; // a lambda cannot capture a structured binding in clang 14
        auto cmd = TreeCommand::record(tree, p, [&] { operation(tree, p); });
        ASSERT_NE(cmd, nullptr);
        const std::string after = state(p);
        const std::vector<Node*> nodesAfter = nodesOf(p);
        ASSERT_NE(after, before);
        const auto gone = minus(nodesBefore, nodesAfter), added = minus(nodesAfter, nodesBefore);
        const auto addedTo = placesOf(added);
        ChangeRecorder rec;
        tree.addObserver(rec);
        for (int round = 0; round < 2; ++round) {
            rec.clear();
            cmd->undo();
            EXPECT_EQ(state(p), before);
            EXPECT_EQ(nodesOf(p), nodesBefore); // the same nodes in the same places
            EXPECT_EQ(sorted(rec.removed), added);
            EXPECT_EQ(rec.faults, 0);
            for (const Node* parent : placesOf(gone))
                EXPECT_TRUE(rec.has(*parent, ChangeFlags::Structure));
            EXPECT_EQ(tree.selected(), selected);
            rec.clear();
            cmd->redo();
            EXPECT_EQ(state(p), after);
            EXPECT_EQ(nodesOf(p), nodesAfter);
            EXPECT_EQ(sorted(rec.removed), gone);
            EXPECT_EQ(rec.faults, 0);
            for (const Node* parent : addedTo)
                EXPECT_TRUE(rec.has(*parent, ChangeFlags::Structure));
        }
        tree.removeObserver(rec);
    }
}

// Undone after another edit and a calculation's currency: the edit stays, the deleted
// restriction comes back as an edit, and the results do not become current again.
TEST(TreeUndo, AfterOtherChangesKeepsThemAndRevivesNoCurrency) {
    ProjectTree tree;
    Node& p = designedProject(tree);
    Node* gone = findAbs(p, 1)->children[1].get();
    auto cmd = TreeCommand::record(tree, p, [&] { tree.deleteNode(*gone); });
    ASSERT_NE(cmd, nullptr);
    Node& other = *findAbs(p, 2)->children[1];
    editObject(other, [](TNLMember& o) { o.RPar[8] = 7.5; });
    cmd->undo();
    EXPECT_EQ(gone->parent, findAbs(p, 1));
    EXPECT_TRUE(gone->obj().Modified);
    EXPECT_EQ(other.obj().RPar[8], 7.5);
    EXPECT_FALSE(findAbs(p, 1)->as<THSHeader>()->ResultsCurrent);
    EXPECT_FALSE(projectObj(p).AllCurrent);
    EXPECT_TRUE(projectObj(p).Changed);
    cmd->redo();
    EXPECT_EQ(findAbs(p, 1)->children.size(), 1u);
    EXPECT_EQ(other.obj().RPar[8], 7.5);

    // A new restriction made motion 1 stale; taken back after an edit elsewhere, the results
    // stay stale: only a calculation makes them current.
    ProjectTree tree2;
    Node& q = designedProject(tree2);
    auto made =
        TreeCommand::record(tree2, q, [&] { (void)tree2.newAbsRestriction(*findAbs(q, 1)); });
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(findAbs(q, 1)->as<THSHeader>()->ResultsCurrent);
    editObject(q, [](TNLMember& o) { static_cast<TProject&>(o).Description = "geändert"; });
    made->undo();
    EXPECT_EQ(findAbs(q, 1)->children.size(), 2u);
    EXPECT_FALSE(findAbs(q, 1)->as<THSHeader>()->ResultsCurrent);
    EXPECT_FALSE(projectObj(q).AllCurrent);
    EXPECT_EQ(projectObj(q).Description, "geändert");
}

TEST(TreeUndo, MovingAndPastingKeepToTheirKindsAndProject) {
    ProjectTree tree;
    Node& p = designedProject(tree);
    Node& q = designedProject(tree);
    Node* point = findAbs(p, 1)->children[0].get();
    Node* relative = findRel(p, 1, 3)->children[0].get();
    EXPECT_FALSE(ProjectTree::canMoveRestriction(*point, *findAbs(p, 1))); // its own holder
    EXPECT_FALSE(ProjectTree::canMoveRestriction(*point, *findRel(p, 1, 2)));
    EXPECT_FALSE(ProjectTree::canMoveRestriction(*point, *findAbs(q, 2))); // another project
    EXPECT_FALSE(ProjectTree::canMoveRestriction(*relative, *findAbs(p, 2)));
    ASSERT_TRUE(tree.moveRestriction(*relative, *findRel(p, 2, 3)));
    EXPECT_EQ(relative->obj().IPar[1], 2);
    EXPECT_EQ(relative->obj().IPar[2], 3);
    EXPECT_EQ(groupOf(*relative), findGroup(p, 2)); // it keeps its group
    EXPECT_FALSE(findRel(p, 2, 3)->as<TRelHeader>()->ResultsCurrent);
    // A switched-off restriction stays off where it is pasted; the copy joins no group.
    TRestr copy;
    (void)relative->obj().CopyTo(copy);
    copy.IPar[1] = -copy.IPar[1];
    EXPECT_EQ(tree.pasteRestriction(*findAbs(q, 1), copy), nullptr);
    Node* pasted = tree.pasteRestriction(*findRel(q, 1, 2), copy);
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->obj().IPar[1], -1);
    EXPECT_EQ(pasted->obj().IPar[2], 2);
    EXPECT_FALSE(pasted->as<TRestr>()->Global);
    EXPECT_EQ(pasted->obj().IPar[8], 0);
    EXPECT_EQ(pasted->obj().Caption.substr(0, 2), "K ");
}

// New motions once started with one harmonic, which no design with a dwell can meet.
TEST(NewMotion, StartsWithEnoughHarmonicsWithinTheBudget) {
    ProjectTree tree;
    Node& p = tree.newProject();
    for (int i = 1; i <= kMaxMotionSpecs; ++i) {
        int others = 0;
        for (auto& c : p.children)
            if (c->kind() == ObjectKind::AbsSpec) others += c->obj().IPar[3];
        Node* r = std::get<Node*>(tree.newMotionSpec(p));
        const int k = r->parent->obj().IPar[3];
        EXPECT_GE(k, 1) << i;
        EXPECT_LE(k, std::max(1, (240 - 2 * i) / 4 - others)) << i; // the module's budget
        if (i == 1) {
            EXPECT_EQ(k, kNewMotionHarmonics);
        }
    }
}

TEST(NewMotion, TooFewHarmonicsForCloseRestrictionsAreNamed) {
    struct Case {
        int k;
        std::vector<double> points;
        bool tooFew;
    };
    const Case cases[] = {
        {1, {0.0, 90.0}, true},   // 90° apart, half a period of harmonic 1 is 180°
        {2, {0.0, 90.0}, false},  // exactly enough
        {20, {10.0, 15.0}, true}, // 5° needs 36
        {10, {350.0, 5.0}, true}, // apart across 360°: 15° needs 12
        {12, {350.0, 5.0}, false}, {1, {30.0, 30.0}, false}, // one angle only
        {1, {30.0, 390.0}, false},                           // the same angle a turn later
    };
    for (const Case& c : cases) {
        ProjectTree tree;
        Node& p = tree.newProject();
        Node& h = findOrCreateAbs(p, 1);
        h.obj().IPar[3] = c.k;
        for (double phi : c.points) addRestr(h, 0, phi);
        EXPECT_EQ(fewHarmonicsReason(h).has_value(), c.tooFew) << c.k << " " << c.points[0];
    }
    // A switched-off restriction is not calculated and asks for nothing.
    ProjectTree tree;
    Node& p = tree.newProject();
    Node& h = findOrCreateAbs(p, 1);
    addRestr(h, 0, 0.0);
    addRestr(h, 0, 90.0).IPar[1] = -1;
    EXPECT_FALSE(fewHarmonicsReason(h).has_value());
}
