// The editor through its controls: every page edited, the type changes, the harmonic budget,
// the eta aids, groups, both undos, the coefficient listing, a locked project, and a project
// designed from nothing that is saved, reopened and calculated.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <map>

#include "graphics/diagram_options.h"
#include "graphics/diagrams.h"
#include "model/check.h"
#include "model/project_file.h"
#include "model/results.h"
#include "tests/ui/window_fixture.h"
#include "ui/editor.h"
#include "ui/real_edit.h"
#include "ui/sel_opt.h"

using model::Node;
using model::ObjectKind;
using ui::TRealEdit;

namespace {

// Typed into the field and confirmed with Enter, as a user does.
void enter(TRealEdit* e, const QString& text) {
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

void enterText(QLineEdit* e, const QString& text) {
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

model::TRestr& restr(Node* n) {
    return *n->as<model::TRestr>();
}

// Everything the shown page displays: field texts, check and enabling states, spin values.
std::map<QString, QString> shown(ui::TDlgRestr& e) {
    std::map<QString, QString> out;
    QWidget* page = e.Pages->currentWidget();
    for (auto* f : page->findChildren<QLineEdit*>())
        out[f->objectName()] = f->text() + (f->isEnabled() ? "" : " (aus)");
    for (auto* b : page->findChildren<QAbstractButton*>())
        if (b->isCheckable()) out[b->objectName()] = b->isChecked() ? "1" : "0";
    for (auto* s : page->findChildren<QSpinBox*>())
        out[s->objectName()] = QString::number(s->value());
    for (auto* c : page->findChildren<QComboBox*>())
        out[c->objectName()] = QString::number(c->currentIndex());
    out[QStringLiteral("caption")] = e.windowTitle();
    return out;
}

} // namespace

class EditorTest : public QObject, protected WindowFixture {
    Q_OBJECT

    // The first restriction of absolute specification i (1-based) of the project.
    static Node* firstRestriction(Node* project, int i) {
        return childrenOfKind(*project, ObjectKind::AbsSpec)[static_cast<std::size_t>(i - 1)]
            ->children[0]
            .get();
    }

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    void harmonicBudgetAndResonanceColour() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 3);
        auto specs = childrenOfKind(*project, ObjectKind::AbsSpec);
        for (Node* s : specs) {
            w->selectNode(s);
            QCOMPARE(e.Pages->currentWidget(), e.HSHeader);
            e.SEdHarm->setValue(10);
        }
        // (240 - 6) div 4 = 58 for all three; 58 + 10 - 30 for the one shown.
        QCOMPARE(e.SEdHarm->maximum(), 38);
        // eta res = H * eta: 10 * 0.1 = 1.0 is red, 0.95 is not.
        w->selectNode(specs[1]);
        if (e.CBetavar->isChecked()) e.CBetavar->click();
        enter(e.REdEtaMax, QStringLiteral("0.1"));
        QCOMPARE(specs[1]->obj().RPar[2], 0.1);
        QVERIFY(e.LEtaRes->styleSheet().contains(QStringLiteral("ff0000")));
        enter(e.REdEtaMax, QStringLiteral("0.095"));
        QVERIFY(e.LEtaRes->styleSheet().isEmpty());
        QCOMPARE(e.LEtaRes->text(), QStringLiteral(" 0.95"));
        // The budget never goes below one harmonic: a fourth motion after the first took it all.
        w->selectNode(specs[0]);
        e.SEdHarm->setValue(e.SEdHarm->maximum());
        QCOMPARE(specs[0]->obj().IPar[3], 38);
        w->selectNode(project);
        w->NewMotion->trigger();
        Node* fourth = childrenOfKind(*project, ObjectKind::AbsSpec)[3];
        w->selectNode(fourth);
        QCOMPARE(e.SEdHarm->maximum(), 1);
        QCOMPARE(fourth->obj().IPar[3], 1);
        // With four motions the others are over budget: shown, an H is lowered to what is left.
        w->selectNode(specs[1]);
        QCOMPARE(specs[1]->obj().IPar[3], 58 + 10 - 59);
    }

    void typeChangesAndTypedNumbers() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 2);
        Node* abs = firstRestriction(project, 1);
        w->selectNode(abs);
        QCOMPARE(e.windowTitle(), QStringLiteral("Restriktion (absolut) [BG 1]"));
        e.RBInterval->click();
        e.CBOrd->setCurrentIndex(2);
        emit e.CBOrd->activated(2);
        QCOMPARE(restr(abs).code(), 12);
        QVERIFY(e.LPhiRange->isVisibleTo(&e) && e.REdphimin->isEnabled());
        QCOMPARE(e.Ls->text(), QStringLiteral("s''"));
        e.RBPoint->click();
        QCOMPARE(restr(abs).code(), 2);
        QVERIFY(!e.REdphimin->isEnabled() && !e.CBvphimin->isEnabled());
        // Typed with a comma and a small e.
        enter(e.REdsmax, QStringLiteral("1,5e3"));
        QCOMPARE(restr(abs).RPar[8], 1500.0);
        // A relative point restriction of order 2 becomes a range of order 2.
        w->selectNode(childrenOfKind(*project, ObjectKind::RelSpec)[0]);
        w->NewRelRestr->trigger();
        Node* rel = w->selectedNode();
        QCOMPARE(e.windowTitle(), QStringLiteral("Restriktion (relativ) [BG 1-2]"));
        emit e.CBOrd->activated(2);
        QCOMPARE(restr(rel).code(), 42);
        e.RBInterval->click();
        QCOMPARE(restr(rel).code(), 52);
        // An unknown type is shown, not edited.
        model::editObject(*rel, [](model::TNLMember& o) { o.IPar[3] = 7; });
        QCOMPARE(e.Pages->currentWidget(), e.Error);
        QCOMPARE(e.errorText(), QStringLiteral("unbekannte Restriktion (Typ 7)."));
        QCOMPARE(e.windowTitle(), QStringLiteral("Fehler"));
    }

    void advancedSettingsOffWriteTheDefaultsBack() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        projectWithSpecs(*w, 1);
        Node* project = w->projects().roots[0].get();
        w->selectNode(project);
        QVERIFY(!e.EdD5->isEnabled() && !e.LWarn->isEnabled());
        e.CBAdvOpt->click();
        QVERIFY(e.EdD5->isEnabled() && e.LWarn->isEnabled());
        enter(e.EdD5, QStringLiteral("30"));
        enter(e.EdD4, QStringLiteral("99")); // beyond 40
        QCOMPARE(project->obj().IPar[5], 30);
        QCOMPARE(project->obj().IPar[4], 40);
        e.CBAdvOpt->click();
        QCOMPARE(project->obj().IPar[5], 20);
        QCOMPARE(project->obj().IPar[4], 8);
        QCOMPARE(e.EdD5->Value(), 20.0);
    }

    // A restriction shown is not a change: its GlobalPar (the angles a random search found)
    // stays, fields left untouched write nothing, and a long value is shown whole.
    void showingChangesNothing() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        Node* r = firstRestriction(project, 1);
        restr(r).GlobalPar[2] = 33.0;
        restr(r).Global = true;
        restr(r).RPar[8] = 1.2345678901E+11;
        restr(r).Modified = false;
        QVERIFY(!model::projectObj(*project).Changed);
        w->selectNode(r);
        QVERIFY2(e.REdsmax->text().size() <= 10, qPrintable(e.REdsmax->text()));
        QVERIFY(std::abs(e.REdsmax->Value() / 1.2345678901E+11 - 1) < 1e-3);
        for (TRealEdit* f : e.BG->findChildren<TRealEdit*>()) QVERIFY(f->commit());
        QVERIFY(!model::projectObj(*project).Changed && !restr(r).Modified);
        QCOMPARE(restr(r).GlobalPar[2], 33.0);
        QCOMPARE(restr(r).RPar[8], 1.2345678901E+11);
        QCOMPARE(e.undoStack()->count(), 0);
        enter(e.REdsmax, QStringLiteral("12"));
        QVERIFY(restr(r).GlobalPar == restr(r).RPar);
        QVERIFY(model::projectObj(*project).Changed && restr(r).Modified);
    }

    // Regression: an example whose trial count lay below the field's range was changed (and
    // marked changed) by showing its project. Every object of every example shown: the project
    // stays as its file holds it.
    void showingTheExamplesChangesNothing() {
        auto w = makeWindow();
        w->ShowEditor->setChecked(true);
        const QStringList names = QDir(kExamples).entryList({QStringLiteral("*.k4p")});
        QVERIFY(names.size() >= 3);
        for (const QString& name : names) {
            Node* project = openExample(*w, name);
            const std::string before = model::writeProject(*project);
            model::forEachNode(*project, [&](Node& n) { w->selectNode(&n); });
            QVERIFY2(!model::projectObj(*project).Changed, qPrintable(name));
            QVERIFY2(model::writeProject(*project) == before, qPrintable(name));
        }
    }

    // Every committed change marks the project changed, its text fields too, and so do both
    // undos, so that closing asks.
    void textsAndUndoMarkTheProjectChanged() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        auto& p = model::projectObj(*project);
        Node* spec = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        w->selectNode(project);
        enterText(e.EdPInfo, QStringLiteral("Nocken 7"));
        QCOMPARE(p.Description, std::string("Nocken 7"));
        QVERIFY(p.Changed);
        p.Changed = false;
        w->selectNode(spec);
        enterText(e.EdShortName, QStringLiteral("Hub"));
        QCOMPARE(spec->as<model::THSHeader>()->ShortName, std::string("Hub"));
        QVERIFY(p.Changed);
        p.Changed = false;
        e.undoStack()->undo();
        QVERIFY(spec->as<model::THSHeader>()->ShortName != "Hub");
        QVERIFY(p.Changed);
        e.undoStack()->redo();
        QCOMPARE(spec->as<model::THSHeader>()->ShortName, std::string("Hub"));
    }

    // "rückgängig" goes back to the state at selection, Ctrl+Z steps through the commits; both
    // forget everything when the selection or the object changes from outside.
    void undoBackToSelectionAndStepwise() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 1);
        Node* r = firstRestriction(project, 1);
        w->selectNode(r);
        const auto before = restr(r).RPar;
        const bool modified = restr(r).Modified;
        QVERIFY(!e.BtUndo->isEnabled());
        enter(e.REdphimax, QStringLiteral("45"));
        enter(e.REdsmin, QStringLiteral("-2"));
        e.CBvsmin->click();
        enter(e.REdvsmin, QStringLiteral("-1"));
        QCOMPARE(e.undoStack()->count(), 4);
        QVERIFY(e.BtUndo->isEnabled());
        e.undoStack()->undo();
        e.undoStack()->undo();
        QCOMPARE(restr(r).IPar[6], 0);
        QCOMPARE(restr(r).RPar[6], -2.0);
        e.undoStack()->redo();
        QCOMPARE(restr(r).IPar[6], 1);
        e.BtUndo->click();
        QVERIFY(restr(r).RPar == before);
        QCOMPARE(restr(r).IPar[6], 0);
        QCOMPARE(restr(r).Modified, modified);
        QVERIFY(!e.BtUndo->isEnabled() && !e.BtUndoHarm->isEnabled());
        QCOMPARE(e.undoStack()->count(), 0);
        // Ctrl+Z and Ctrl+Y in a field without a pending entry step through the commits.
        e.show();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.REdsmax->setFocus();
        enter(e.REdsmax, QStringLiteral("3"));
        QTest::keyClick(e.REdsmax, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(restr(r).RPar[8], before[8]);
        QTest::keyClick(e.REdsmax, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(restr(r).RPar[8], 3.0);
        e.undoStack()->clear();
        // A change from outside (here a deletion elsewhere in the project) clears the steps.
        enter(e.REdphimax, QStringLiteral("50"));
        QCOMPARE(e.undoStack()->count(), 1);
        w->selectNode(project);
        w->NewMotion->trigger();
        Node* other = childrenOfKind(*project, ObjectKind::AbsSpec)[1];
        w->selectNode(r);
        enter(e.REdphimax, QStringLiteral("60"));
        w->projects().deleteNode(*other);
        QCOMPARE(e.current(), r);
        QCOMPARE(e.undoStack()->count(), 0);
        // Deleting the shown object shows what the model selects instead.
        w->projects().deleteNode(*r);
        QVERIFY(e.current() == w->selectedNode() && e.current() != nullptr);
    }

    // A colour changed in "Optionen - Diagramm" counted as an outside change of the shown
    // object and dropped "rückgängig" and Ctrl+Z; it marks the project changed, nothing more.
    void colourChangeKeepsTheUndo() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 1);
        Node* r = firstRestriction(project, 1);
        for (Node* shown : {r, r->parent}) {
            w->selectNode(shown);
            w->NewDiagram->trigger();
            enter(shown == r ? e.REdphimax : e.REdTheta, QStringLiteral("0.05"));
            QCOMPARE(e.undoStack()->count(), 1);
            model::projectObj(*project).Changed = false;
            graphics::TDlgDiagOpt& options = *w->diagrams().options();
            QTreeWidgetItem* entry = options.TVGrafs->topLevelItem(0)->child(0);
            entry->setSelected(true);
            const QColor colour(10, 20, shown == r ? 30 : 40);
            script_.colours = {colour};
            options.Style->colours[1]->click();
            QCOMPARE(r->parent->as<model::TPaintObj>()->PaintStyle.qColor,
                     colour.red() | colour.green() << 8 | colour.blue() << 16 |
                         model::kPickedColour);
            QVERIFY(model::projectObj(*project).Changed);
            QCOMPARE(e.current(), shown);
            QCOMPARE(e.undoStack()->count(), 1);
            if (shown == r) QVERIFY(e.BtUndo->isEnabled());
        }
    }

    // Groups: the choice dialog, an aborted choice, and an undo whose group is gone.
    void groupsAndTheirUndo() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 2);
        Node* a = firstRestriction(project, 1);
        Node* b = firstRestriction(project, 2);
        w->selectNode(a);
        e.CBGlob->click(); // no group yet: a new one without asking
        QVERIFY(script_.execTitles.empty());
        QCOMPARE(restr(a).IPar[8], 1);
        QVERIFY(e.REdglphi1->isEnabled() && !e.REdGlphi3->isEnabled());
        // Aborted choice: the box goes back, the restriction stays in no group, unchanged.
        w->selectNode(b);
        model::projectObj(*project).Changed = false;
        script_.execAccepts = false;
        e.CBGlob->click();
        QCOMPARE(script_.execTitles.back(), QStringLiteral("Optimierungsobjekt"));
        QVERIFY(!e.CBGlob->isChecked() && !restr(b).Global);
        QCOMPARE(restr(b).IPar[8], 0);
        QVERIFY(!model::projectObj(*project).Changed);
        QCOMPARE(e.undoStack()->count(), 0);
        // "neues Optimierungsobjekt" gives group 2.
        script_.execAccepts = true;
        script_.onExec = [](QDialog& d) {
            auto& sel = static_cast<ui::TDlgSelOpt&>(d);
            QCOMPARE(sel.LBObjects->count(), 2);
            QCOMPARE(sel.LBObjects->item(0)->text(), QStringLiteral("neues Optimierungsobjekt"));
        };
        e.CBGlob->click();
        QCOMPARE(restr(b).IPar[8], 2);
        // a leaves group 1, which goes; b's group becomes 1. Both undos put a into a group of
        // its own, never into b's.
        for (int round = 0; round < 2; ++round) {
            w->selectNode(a);
            e.CBGlob->click();
            QVERIFY(!restr(a).Global);
            QCOMPARE(restr(b).IPar[8], 1);
            if (round == 0)
                e.BtUndo->click();
            else
                e.undoStack()->undo();
            QVERIFY(restr(a).Global);
            QCOMPARE(restr(a).IPar[8], 2);
            QCOMPARE(model::projectObj(*project).IPar[8], 2);
            QVERIFY(model::groupOf(*a) != model::groupOf(*b));
        }
    }

    // Switching on "Verschiebung zulassen" made the restriction inconsistent at once: its shift
    // ranges 0 ... 0 held none of its angles. Ranges that hold them are kept.
    void shiftRangesStartAtTheAngles() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 2);
        Node* point = firstRestriction(project, 1);
        Node* range = firstRestriction(project, 2);
        w->selectNode(range);
        e.RBInterval->click();
        enter(e.REdphimin, QStringLiteral("30"));
        enter(e.REdphimax, QStringLiteral("75"));
        enter(e.REdsmax, QStringLiteral("1"));
        QVERIFY(restr(range).CheckValid());
        w->selectNode(point);
        enter(e.REdphimax, QStringLiteral("40"));
        for (Node* n : {point, range}) {
            w->selectNode(n);
            e.CBGlob->click();
            const auto& P = restr(n).RPar;
            QVERIFY(restr(n).Global && restr(n).CheckValid());
            QVERIFY(e.LReason->text().isEmpty());
            QVERIFY(P[9] == P[2] && P[10] == P[2]);
            if (n == range) QVERIFY(P[11] == P[4] && P[12] == P[4]);
        }
        enter(e.REdglphi1, QStringLiteral("20"));
        enter(e.REdGlphi2, QStringLiteral("35"));
        e.CBGlob->click();
        e.CBGlob->click();
        QCOMPARE(restr(range).RPar[9], 20.0);
        QCOMPARE(restr(range).RPar[10], 35.0);
    }

    // Typing 999 into K gave 9, and -5 gave 5, without a word: an entry outside the range is
    // refused (with the beep) and K stays as it was.
    void countsOutsideTheirRangeAreRefused() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 1);
        Node* motion = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        w->selectNode(motion);
        const int k = motion->obj().IPar[3];
        const std::pair<const char*, int> typed[] = {{"999", k}, {"-5", k}, {"0", k}, {"7", 7}};
        for (const auto& [text, expected] : typed) {
            e.SEdHarm->selectAll();
            QTest::keyClicks(e.SEdHarm, QString::fromLatin1(text));
            QTest::keyClick(e.SEdHarm, Qt::Key_Return);
            QCOMPARE(motion->obj().IPar[3], expected);
            QCOMPARE(e.SEdHarm->text(), QString::number(expected));
        }
    }

    // A calculated motion: the coefficient listing copied and saved, Test, and the eta aids.
    void coefficientsTestAndEtaAids() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        auto& p = model::projectObj(*project);
        Node* spec = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        auto* h = spec->as<model::THSHeader>();
        w->selectNode(spec);
        QVERIFY(e.Coefficients->isVisibleTo(&e));
        const int k = h->ResultHarmonics;
        QCOMPARE(e.FKGrid->rowCount(), k + 2); // k = 0 .. K and "Sum"
        e.copyCoefficients();
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied.count(QLatin1Char('\r')), k);
        QVERIFY(!copied.contains(QLatin1Char('\n')));
        QVERIFY(copied.contains(QLocale().decimalPoint()));
        script_.files = {path("fk.tab"), path("missing/fk.tab")};
        e.saveCoefficients();
        const QByteArray file = fileBytes(path("fk.tab"));
        QCOMPARE(file.count("\r\n"), k + 1);
        QVERIFY(!file.contains(','));
        QCOMPARE(script_.requests.back().title, QStringLiteral("Forierkoeffizienten sichern"));
        e.saveCoefficients();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QVERIFY(!QFile::exists(path("missing/fk.tab")));
        // Test: q formed again with the trial values, no flag touched.
        const auto q = h->qSC;
        const auto flags = std::make_tuple(p.AllCurrent, p.ResultsStored, p.Changed, h->HasResults,
                                           h->ResultsCurrent);
        enter(e.EdTEta, QStringLiteral("0.08"));
        enter(e.EdTTheta, QStringLiteral("0.05"));
        e.BtTest->click();
        QVERIFY(!(h->qSC == q));
        QVERIFY(flags == std::make_tuple(p.AllCurrent, p.ResultsStored, p.Changed, h->HasResults,
                                         h->ResultsCurrent));
        // The phase aid ends for strong damping and a tiny angle.
        if (!e.CBetavar->isChecked()) e.CBetavar->click();
        enter(e.REdTheta, QStringLiteral("0.7"));
        enter(e.EdExtEta, QStringLiteral("0.01"));
        QVERIFY(e.BtTheta->isEnabled() && e.BtEta->isEnabled() && !e.BtRez2->isEnabled());
        e.BtTheta->click();
        QVERIFY(h->RPar[1] > 0 && h->RPar[1] <= 1);
        enter(e.EdExtEta, QStringLiteral("1"));
        e.BtRez2->click();
        // 1/K as the field shows it (1/12 = .08333333).
        QVERIFY(std::abs(h->RPar[1] * h->IPar[3] - 1.0) < 1e-6);
        QCOMPARE(e.EdTEta->Value(), e.REdvEtaMax->Value());
    }

    // "&Editor immer anzeigen" brings the editor up with every selection; a group member is
    // edited through its restriction; with nothing selected the editor goes.
    void editorFollowsTheSelection() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        w->ShowEditor->setChecked(true);
        Node* project = projectWithSpecs(*w, 1);
        QVERIFY(e.isVisible());
        QCOMPARE(e.current(), w->selectedNode());
        Node* r = firstRestriction(project, 1);
        w->selectNode(r);
        e.CBGlob->click();
        Node* member = childrenOfKind(*project, ObjectKind::Group)[0]->children[0].get();
        w->selectNode(member);
        QCOMPARE(e.current(), r);
        enter(e.REdsmax, QStringLiteral("4"));
        QCOMPARE(restr(r).RPar[8], 4.0);
        w->selectNode(project);
        script_.answers = {ui::Answer::No}; // closed without saving
        w->CloseProj->trigger();
        QVERIFY(w->selectedNode() == nullptr);
        QVERIFY(!e.isVisible() && e.current() == nullptr);
        QCOMPARE(e.windowTitle(), QStringLiteral("Eingabe"));
    }

    // "Schranken auf dem ganzen Zyklus einhalten": on with 0.1 % for a new project, off for a
    // file that does not carry it; the field writes a fraction. The page names the result while
    // it is current: a change of the switch stales it, its undo brings it back.
    void wholeCycleSwitchAndTheResultOnTheProjectPage() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* fresh = projectWithSpecs(*w, 1);
        w->selectNode(fresh);
        QVERIFY(e.CBWholeCycle->isChecked() && e.EdCycleTol->Value() == 0.1);
        enter(e.EdCycleTol, QStringLiteral("0.5"));
        QCOMPARE(fresh->obj().RPar[3], 0.005);

        // A file from before the switch holds 0 in its slot.
        script_.files.push_back(changedExample(QStringLiteral("cam_dwell.k4p"),
                                               [](Node& p) { p.obj().RPar[3] = 0.0; }));
        w->OpenProj->trigger();
        Node* old = w->selectedNode();
        w->selectNode(old);
        QVERIFY(!e.CBWholeCycle->isChecked() && !e.EdCycleTol->isEnabled());
        w->Calc->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        w->selectNode(old);
        QVERIFY2(e.LResult->text().contains(QStringLiteral("β")), qPrintable(e.LResult->text()));
        e.CBWholeCycle->click();
        QCOMPARE(old->obj().RPar[3], 0.001);
        QVERIFY(!e.LResult->text().contains(QStringLiteral("β")));
        e.undoStack()->undo();
        QVERIFY2(e.LResult->text().contains(QStringLiteral("β")), qPrintable(e.LResult->text()));
    }

    // While a project calculates, every object of it is read-only.
    void lockedProjectIsReadOnly() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 1);
        Node* r = firstRestriction(project, 1);
        w->selectNode(r);
        model::startCalculation(*project);
        QVERIFY(e.readOnly() && !e.Pages->isEnabled());
        const auto before = restr(r).RPar;
        enter(e.REdsmax, QStringLiteral("7"));
        QVERIFY(restr(r).RPar == before);
        w->selectNode(project);
        QCOMPARE(e.errorText(), QStringLiteral("Das Projekt wird momentan berechnet!"));
        model::publishResults(*project, {});
        QVERIFY(!e.readOnly());
        QCOMPARE(e.Pages->currentWidget(), e.ProjHeader);
    }

    // A project designed from nothing in the editor: every page edited, saved, reopened with
    // every field showing the same, and calculated by the module.
    void designSaveReopenAndCalculate() {
        auto w = makeWindow();
        ui::TDlgRestr& e = *w->DlgRestr;
        Node* project = projectWithSpecs(*w, 2);
        w->selectNode(project);
        enterText(e.EdPInfo, QStringLiteral("Greifer"));
        e.CBAdvOpt->click();
        enter(e.EdD5, QStringLiteral("12"));
        enter(e.EdV1, QStringLiteral("0.125"));
        Node* spec = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        w->selectNode(spec);
        enterText(e.EdShortName, QStringLiteral("Hub"));
        e.SEdHarm->setValue(12);
        enter(e.REdTheta, QStringLiteral("0.1"));
        enter(e.REdEtaMax, QStringLiteral("0.02"));
        e.CBetavar->click();
        enter(e.REdvEtaMax, QStringLiteral("0.05"));
        // Rest at 0 from 0 to 60 degrees, a stroke of 10 at 180 reaching at least 9.
        Node* r = firstRestriction(project, 1);
        w->selectNode(r);
        e.RBInterval->click();
        enter(e.REdphimin, QStringLiteral("0"));
        enter(e.REdphimax, QStringLiteral("60"));
        enter(e.REdsmin, QStringLiteral("-0.01"));
        enter(e.REdsmax, QStringLiteral("0.01"));
        e.CBGlob->click();
        enter(e.REdglphi1, QStringLiteral("-5"));
        enter(e.REdGlphi2, QStringLiteral("0"));
        enter(e.REdGlphi3, QStringLiteral("60"));
        enter(e.REdGlphi4, QStringLiteral("65"));
        w->selectNode(spec);
        w->NewAbsRestr->trigger();
        Node* stroke = w->selectedNode();
        enter(e.REdphimax, QStringLiteral("180"));
        e.CBvsmin->click();
        enter(e.REdsmin, QStringLiteral("9"));
        enter(e.REdvsmin, QStringLiteral("10"));
        enter(e.REdsmax, QStringLiteral("10"));
        w->selectNode(spec);
        w->NewSpecRestr->trigger();
        e.CBHrm->click();
        e.SpEdk->setValue(3);
        enter(e.REdccon, QStringLiteral("5"));
        e.CBcvar->click();
        enter(e.REdcvar, QStringLiteral("4"));
        Node* spectrum = w->selectedNode();
        for (Node* n : model::inconsistentNodes(*project))
            QFAIL(model::inconsistencyReason(n->obj()).value_or("?").c_str());

        std::vector<std::map<QString, QString>> before;
        std::vector<std::vector<int>> paths;
        for (Node* n : {project, spec, r, stroke, spectrum}) {
            w->selectNode(n);
            before.push_back(shown(e));
            std::vector<int> path;
            for (Node* m = n; m->parent != nullptr; m = m->parent)
                path.insert(path.begin(), static_cast<int>(m->indexInParent()));
            paths.push_back(path);
        }
        w->selectNode(project);
        script_.files.push_back(path("greifer.k4p"));
        QVERIFY(w->SaveProjAs->isEnabled());
        w->SaveProjAs->trigger();
        w->CloseProj->trigger();
        script_.files.push_back(path("greifer.k4p"));
        w->OpenProj->trigger();
        Node* reopened = w->selectedNode();
        QVERIFY(reopened != nullptr);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            Node* n = reopened;
            for (int idx : paths[i]) n = n->children[static_cast<std::size_t>(idx)].get();
            w->selectNode(n);
            auto now = shown(e);
            if (i == 0) {
                before[0].erase(QStringLiteral("caption"));
                now.erase(QStringLiteral("caption"));
            }
            QCOMPARE(now, before[i]);
        }
        w->selectNode(reopened);
        QVERIFY(w->Calc->isEnabled());
        w->Calc->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        QVERIFY(w->calculation().code() == 0 || w->calculation().code() == 1);
        QVERIFY(
            childrenOfKind(*reopened, ObjectKind::AbsSpec)[0]->as<model::THSHeader>()->HasResults);
    }
};

QTEST_MAIN(EditorTest)
#include "test_editor.moc"
