// The panel "beta begrenzt durch" after real calculations.
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

    // An example imported and calculated; its first motion selected.
    Node* calculated(ui::TDlgMain& w, const char* name) {
        script_.files.push_back(kExamples + name);
        w.Import->trigger();
        Node* project = w.selectedNode();
        w.Calc->trigger();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!w.calculation().running(), 60000); }();
        w.selectNode(childrenOfKind(*project, ObjectKind::AbsSpec)[0]);
        return w.selectedNode();
    }

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    // Regressions: the status bar named the binding restrictions in tree order on one line cut
    // at the window's width, so the demo's limiting acceleration bound, last in the tree, never
    // showed; with the maximum requirements met it named the dwells at their fixed bounds as
    // limits. Diagrams highlight what limits beta and nothing else.
    void whatLimitsBetaComesFirstFitsAndIsHighlighted() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Node* motion = calculated(*w, "demo.kq4");
        const Node* last = motion->children.back().get();
        QVERIFY(w->DBinding->listed().size() > 1);
        QCOMPARE(w->DBinding->listed().front(), last);
        QCOMPARE(w->DBinding->limitingCount(), std::size_t{1});
        QVERIFY(w->rect().contains(w->DBinding->geometry()));
        QCOMPARE(w->DBinding->TBList->horizontalScrollBar()->maximum(), 0);
        emit w->DBinding->TBList->anchorClicked(QUrl(QStringLiteral("#0")));
        QCOMPARE(w->selectedNode(), last);
        w->NewDiagram->trigger();
        QVERIFY(w->diagrams().windows().at(0)->pic.binding == std::vector<const Node*>{last});

        calculated(*w, "global_groups.kq4");
        QCOMPARE(w->calculation().code(), 1);
        QVERIFY(!w->DBinding->listed().empty());
        QCOMPARE(w->DBinding->limitingCount(), std::size_t{0});
    }

    // Regressions: the status bar kept motion 1's list when another motion was selected, and
    // the list of a deleted motion or of stale results; it was written on selection only. The
    // panel must list what the model says binds for the selection's motion after every step.
    void thePanelFollowsTheSelectedMotionThroughEveryChange() {
        auto w = makeWindow();
        Node* m1 = calculated(*w, "two_drives_relative.kq4");
        Node* project = m1->parent;
        auto check = [&](const char* step) {
            Node* m = w->selectedNode();
            if (m != nullptr && m->kind() == ObjectKind::Restriction) m = m->parent;
            std::vector<const Node*> expected;
            if (m != nullptr && m->as<model::TPaintObj>() != nullptr)
                for (const model::Binding& b : model::bindingRestrictions(*m))
                    expected.push_back(b.restriction);
            QVERIFY2(w->DBinding->listed() == expected, step);
        };
        Node* m2 = childrenOfKind(*project, ObjectKind::AbsSpec)[1];
        for (Node* n :
             {m2, childrenOfKind(*project, ObjectKind::RelSpec)[0], m2->children[0].get(), m1}) {
            w->selectNode(n);
            QVERIFY(!w->DBinding->listed().empty());
            check("a selection");
        }
        w->Delete->trigger();
        check("the deletion of the motion");
        w->Undo->trigger();
        w->selectNode(m1);
        check("its undo");
        model::editObject(*m1->children[0], [](model::TNLMember& r) { r.RPar[8] += 1.0; });
        QVERIFY(w->DBinding->listed().empty());
    }
};

QTEST_MAIN(BindingPanelTest)
#include "test_binding_panel.moc"
