// The panel "beta begrenzt durch" of the main window after real calculations: what limits beta
// comes first and fits the window (and is what a diagram highlights), nothing limits it when the
// maximum requirements are met, and the panel follows the selected motion through every change
// of the model.
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

#include "graphics/diagram_window.h"
#include "graphics/diagrams.h"
#include "model/binding.h"
#include "tests/ui/window_fixture.h"
#include "ui/binding_panel.h"

using model::Node;
using model::ObjectKind;

class BindingPanelTest : public QObject, protected WindowFixture {
    Q_OBJECT

    // Imports an example and calculates it with the module.
    Node* calculated(ui::TDlgMain& w, const QString& name) {
        script_.files.push_back(kExamples + name);
        w.Import->trigger();
        Node* project = w.selectedNode();
        w.Calc->trigger();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!w.calculation().running(), 60000); }();
        return project;
    }

    // The panel lists what the model says binds for the motion of the selection, and nothing
    // else: no restriction of another motion, none that is gone, none of stale results.
    static void checkFollowsSelection(ui::TDlgMain& w, const char* step) {
        Node* sel = w.selectedNode();
        if (sel != nullptr && sel->kind() == ObjectKind::Restriction) sel = sel->parent;
        std::vector<const Node*> expected;
        if (sel != nullptr && sel->as<model::TPaintObj>() != nullptr)
            for (const model::Binding& b : model::bindingRestrictions(*sel))
                expected.push_back(b.restriction);
        QVERIFY2(w.DBinding->listed() == expected, step);
    }

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    // Regression: the status bar named the binding restrictions in tree order on one line, cut
    // at the window's width, so the jerk bound that limits beta, last under the motion, never
    // showed. It comes first now, and the panel's lines wrap at the default size.
    void theRestrictionThatLimitsBetaComesFirstAndFits() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Node* project = calculated(*w, QStringLiteral("demo.kq4"));
        QCOMPARE(w->calculation().code(), 0);
        Node* motion = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        w->selectNode(motion);
        const Node* last = motion->children.back().get();
        QVERIFY(last->obj().IPar[7] == 1); // the variable bound of the example
        QVERIFY(w->DBinding->listed().size() > 1);
        QCOMPARE(w->DBinding->listed().front(), last);
        QCOMPARE(w->DBinding->limitingCount(), std::size_t{1});
        QVERIFY(w->DBinding->isVisible());
        QVERIFY(w->rect().contains(w->DBinding->geometry()));
        QCOMPARE(w->DBinding->TBList->horizontalScrollBar()->maximum(), 0);
        // Clicking a name selects its restriction.
        emit w->DBinding->TBList->anchorClicked(QUrl(QStringLiteral("#0")));
        QCOMPARE(w->selectedNode(), last);
        // A diagram highlights it, not the dwells at their fixed bounds as well.
        w->NewDiagram->trigger();
        QCOMPARE(w->diagrams().windows().size(), std::size_t{1});
        QVERIFY(w->diagrams().windows()[0]->pic.binding == std::vector<const Node*>{last});
    }

    // Regression: with the maximum requirements met the status bar still named the dwells at
    // their fixed bounds as limits of beta.
    void nothingLimitsBetaWhenTheMaximumRequirementsAreMet() {
        auto w = makeWindow();
        Node* project = calculated(*w, QStringLiteral("global_groups.kq4"));
        QCOMPARE(w->calculation().code(), 1);
        w->selectNode(childrenOfKind(*project, ObjectKind::AbsSpec)[0]);
        QVERIFY(!w->DBinding->listed().empty()); // the dwells sit at their bounds
        QCOMPARE(w->DBinding->limitingCount(), std::size_t{0});
    }

    // Regressions: the status bar kept motion 1's list when another motion was selected, and
    // the list of a deleted motion; it was written on selection only. The panel is checked
    // against the model after every step: a calculation ending on the selected motion,
    // selections, an edit making the results stale, a deletion, its undo.
    void thePanelFollowsTheSelectedMotionThroughEveryChange() {
        auto w = makeWindow();
        script_.files.push_back(kExamples + "two_drives_relative.kq4");
        w->Import->trigger();
        Node* project = w->selectedNode();
        const auto specs = childrenOfKind(*project, ObjectKind::AbsSpec);
        w->selectNode(specs[0]);
        QVERIFY(w->DBinding->listed().empty()); // not calculated
        w->Calc->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        QCOMPARE(w->selectedNode(), specs[0]);
        QVERIFY(!w->DBinding->listed().empty());
        checkFollowsSelection(*w, "after the calculation");
        Node* rel = childrenOfKind(*project, ObjectKind::RelSpec)[0];
        for (Node* n : {specs[1], rel, specs[1]->children[0].get(), specs[0]}) {
            w->selectNode(n);
            QVERIFY(!w->DBinding->listed().empty());
            checkFollowsSelection(*w, "after a selection");
        }
        const std::vector<const Node*> ofMotion1 = w->DBinding->listed();
        w->Delete->trigger();
        checkFollowsSelection(*w, "after deleting the motion");
        for (const Node* n : ofMotion1)
            QVERIFY(std::find(w->DBinding->listed().begin(), w->DBinding->listed().end(), n) ==
                    w->DBinding->listed().end());
        w->Undo->trigger();
        w->selectNode(specs[0]);
        QVERIFY(w->DBinding->listed() == ofMotion1);
        model::editObject(*specs[0]->children[0], [](model::TNLMember& r) { r.RPar[8] += 1.0; });
        QVERIFY(w->DBinding->listed().empty());
        checkFollowsSelection(*w, "after an edit");
    }
};

QTEST_MAIN(BindingPanelTest)
#include "test_binding_panel.moc"
