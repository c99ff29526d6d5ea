// The main window through its menu actions: new objects and the menu enabling for each kind
// of selection, deletion with its renumbering, files and recent files, import, settings, the
// value table, help and info, and a calculation with the real module.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <QUndoGroup>
#include <QtTest>

#include <cmath>
#include <map>
#include <memory>

#include "calcctl/batch.h"
#include "calcctl/calculation.h"
#include "graphics/diagram_options.h"
#include "graphics/diagrams.h"
#include "graphics/prompts.h"
#include "graphics/reports.h"
#include "model/project_file.h"
#include "tests/model/change_recorder.h"
#include "tests/support/fake_prompts.h"
#include "tests/ui/window_fixture.h"
#include "ui/about.h"
#include "ui/binding_panel.h"
#include "ui/editor.h"
#include "ui/main_window.h"
#include "ui/project_tree_widget.h"
#include "ui/real_edit.h"
#include "ui/tab_opt.h"
#include "ui/tree_history.h"

using model::Node;
using model::ObjectKind;
using ui::Answer;
using ui::Buttons;

namespace {

// Every node of the window's tree view, in view order, with its depth.
struct Row {
    QString text;
    int depth;
    Node* node;
    QTreeWidgetItem* item;
};
std::vector<Row> rows(ui::TDlgMain& w) {
    std::vector<Row> out;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int d) {
        out.push_back({item->text(0), d, ui::ProjectTreeWidget::nodeOf(item), item});
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), d + 1);
    };
    for (int i = 0; i < w.TVProjects->topLevelItemCount(); ++i)
        walk(w.TVProjects->topLevelItem(i), 0);
    return out;
}

Node* byCaption(ui::TDlgMain& w, const QString& caption) {
    for (const Row& r : rows(w))
        if (r.text == caption) return r.node;
    return nullptr;
}

void writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class MainWindowTest : public QObject, protected WindowFixture {
    Q_OBJECT

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    void nothingSelectedDisablesTheObjectCommands() {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tervana"));
        QVERIFY(w->selectedNode() == nullptr);
        for (QAction* a :
             {w->SaveProj, w->SaveProjAs, w->CloseProj, w->Calc, w->CalcAll, w->NewMotion,
              w->NewAbsRestr, w->NewSpecRestr, w->NewRelRestr, w->Delete, w->SaveTab, w->CalcStop})
            QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
        for (QAction* a : {w->OpenProj, w->Import, w->NewProject, w->TabOptions, w->HelpTopics})
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));
        QCOMPARE(w->Calc->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        QCOMPARE(w->CalcStop->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(w->Delete->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    }

    void newObjectsAndTheMenuForEachKindOfSelection() {
        auto w = makeWindow();
        w->NewProject->trigger();
        auto r = rows(*w);
        QCOMPARE(r.size(), std::size_t{1});
        QCOMPARE(r[0].text, QStringLiteral("neues Projekt*")); // not saved yet
        Node* project = w->selectedNode();
        QVERIFY(project != nullptr && project->kind() == ObjectKind::Project);
        // A project without a file: only save-as; nothing to calculate yet.
        QVERIFY(!w->SaveProj->isEnabled());
        QVERIFY(w->SaveProjAs->isEnabled() && w->CloseProj->isEnabled() &&
                w->NewMotion->isEnabled() && w->Delete->isEnabled());
        QVERIFY(!w->NewAbsRestr->isEnabled() && !w->NewSpecRestr->isEnabled() &&
                !w->NewRelRestr->isEnabled());
        QVERIFY(!w->Calc->isEnabled() && !w->CalcAll->isEnabled());

        w->NewMotion->trigger();
        Node* restr = w->selectedNode();
        QVERIFY(restr->kind() == ObjectKind::Restriction);
        QCOMPARE(restr->parent->kind(), ObjectKind::AbsSpec);
        QCOMPARE(restr->obj().IPar[1], 1);
        QCOMPARE(restr->obj().IPar[3], 0);
        QCOMPARE(w->itemOf(restr->parent)->text(0), QStringLiteral("Bewegungsvorgabe (abs) 1"));
        QVERIFY(restr->obj().Highlighted);
        QVERIFY(w->NewAbsRestr->isEnabled() && w->NewSpecRestr->isEnabled());
        QVERIFY(!w->NewRelRestr->isEnabled());
        QVERIFY(w->Calc->isEnabled()); // a consistent project with a motion

        w->NewSpecRestr->trigger();
        Node* motionNode = w->selectedNode();
        QCOMPARE(motionNode->obj().IPar[3], 20);
        QCOMPARE(motionNode->obj().IPar[2], 1);
        QCOMPARE(motionNode->parent, restr->parent);
        QVERIFY(!restr->obj().Highlighted); // the old selection lost it

        // The motion specification itself: its restrictions are highlighted with it.
        w->selectNode(restr->parent);
        QVERIFY(restr->obj().Highlighted && motionNode->obj().Highlighted);
        QVERIFY(w->NewAbsRestr->isEnabled() && w->Delete->isEnabled());

        w->selectNode(project);
        w->NewMotion->trigger();
        Node* rel = byCaption(*w, QStringLiteral("Bewegungsvorgabe (rel) 1-2"));
        QVERIFY(rel != nullptr);
        w->selectNode(rel);
        QVERIFY(!w->Delete->isEnabled());
        QVERIFY(w->NewRelRestr->isEnabled());
        QVERIFY(!w->NewAbsRestr->isEnabled() && !w->NewSpecRestr->isEnabled());
        w->NewRelRestr->trigger();
        Node* relRestr = w->selectedNode();
        QCOMPARE(relRestr->parent, rel);
        QCOMPARE(relRestr->obj().IPar[3], 40);
        QCOMPARE(relRestr->obj().IPar[1], 1);
        QCOMPARE(relRestr->obj().IPar[2], 2);
        QVERIFY(w->Delete->isEnabled() && w->NewRelRestr->isEnabled());
        QVERIFY(script_.messages.empty());
    }

    void eleventhMotionSpecificationIsRefused() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 10);
        QCOMPARE(childrenOfKind(*project, ObjectKind::AbsSpec).size(), std::size_t{10});
        w->selectNode(project);
        w->NewMotion->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text,
                 std::string("Ein Projekt kann maximal 10 Bewegungsvorgaben enthalten."));
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Error);
        QCOMPARE(childrenOfKind(*project, ObjectKind::AbsSpec).size(), std::size_t{10});
    }

    void deletingSpecificationTwoOfThreeRenumbers() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 3);
        w->selectNode(byCaption(*w, QStringLiteral("Bewegungsvorgabe (rel) 1-3")));
        w->NewRelRestr->trigger();
        Node* kept = w->selectedNode();
        w->selectNode(byCaption(*w, QStringLiteral("Bewegungsvorgabe (abs) 2")));
        w->Delete->trigger();
        QVERIFY(script_.messages.empty()); // no confirmation asked
        QStringList captions;
        for (const Row& r : rows(*w))
            if (r.depth == 1) captions << r.text;
        QCOMPARE(captions, QStringList({"Bewegungsvorgabe (abs) 1", "Bewegungsvorgabe (abs) 2",
                                        "Bewegungsvorgabe (rel) 1-2"}));
        Node* rel = byCaption(*w, QStringLiteral("Bewegungsvorgabe (rel) 1-2"));
        QCOMPARE(rel->children.size(), std::size_t{1});
        QCOMPARE(rel->children[0].get(), kept);
        QCOMPARE(kept->obj().IPar[1], 1);
        QCOMPARE(kept->obj().IPar[2], 2);
        // The former motion specification 3 and its restriction now carry number 2.
        Node* second = byCaption(*w, QStringLiteral("Bewegungsvorgabe (abs) 2"));
        QCOMPARE(second->obj().IPar[2], 2);
        QCOMPARE(second->children[0]->obj().IPar[1], 2);
        QCOMPARE(model::projectObj(*project).IPar[3], 2);
        QCOMPARE(w->selectedNode(), project);
        QVERIFY(model::projectObj(*project).Changed);
    }

    void deletingTheLastRestrictionRemovesItsSpecification() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 1);
        Node* restr = childrenOfKind(*project, ObjectKind::AbsSpec)[0]->children[0].get();
        w->selectNode(restr);
        w->Delete->trigger();
        QVERIFY(project->children.empty());
        QCOMPARE(rows(*w).size(), std::size_t{1});
        QCOMPARE(w->selectedNode(), project);
        QVERIFY(!w->Calc->isEnabled()); // nothing left to calculate
    }

    void deletionAsksWhenConfirmationIsChecked() {
        auto w = makeWindow();
        w->DelConfirm->trigger();
        QVERIFY(w->DelConfirm->isChecked());
        Node* project = projectWithSpecs(*w, 1);
        Node* motionNode = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        w->NewAbsRestr->trigger();
        Node* restr = w->selectedNode();
        const std::string caption = restr->obj().Caption;
        script_.answers = {Answer::No};
        w->Delete->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text, "Restriktion " + caption + " löschen?");
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Confirmation);
        QCOMPARE(script_.buttons[0], Buttons::YesNo);
        QCOMPARE(motionNode->children.size(), std::size_t{2});
        script_.answers = {Answer::Yes};
        w->Delete->trigger();
        QCOMPARE(motionNode->children.size(), std::size_t{1});

        w->selectNode(motionNode);
        script_.clear();
        script_.answers = {Answer::No};
        w->Delete->trigger();
        QCOMPARE(script_.messages[0].text,
                 std::string("Bewegungsvorgabe (abs) 1 und alle Einträge,\rdie Bezüge darauf "
                             "enthalten, löschen?"));
        w->selectNode(project);
        script_.clear();
        script_.answers = {Answer::Yes};
        w->Delete->trigger();
        QCOMPARE(script_.messages[0].text, std::string("Gesamtes Projekt neues Projekt löschen?"));
        QVERIFY(w->projects().roots.empty());
        QVERIFY(w->selectedNode() == nullptr);
        QVERIFY(!w->Delete->isEnabled());
    }

    void deletingTheLastGroupMemberRemovesTheGroup() {
        auto w = makeWindow();
        script_.files.push_back(kExamples + "global_groups.kq4");
        w->Import->trigger();
        QVERIFY2(script_.messages.empty(),
                 script_.messages.empty() ? "" : script_.messages[0].text.c_str());
        Node* project = w->selectedNode();
        auto groups = childrenOfKind(*project, ObjectKind::Group);
        QCOMPARE(groups.size(), std::size_t{1});
        Node* group = groups[0];
        QCOMPARE(model::projectObj(*project).IPar[8], 1);
        std::vector<model::TRestr*> members;
        for (auto& m : group->children)
            members.push_back(m->as<model::TGroupMember>()->restriction());
        QVERIFY(!members.empty());
        // A member highlights its restriction.
        w->selectNode(group->children[0].get());
        QVERIFY(members[0]->Highlighted);
        while (!childrenOfKind(*project, ObjectKind::Group).empty()) {
            Node* g = childrenOfKind(*project, ObjectKind::Group)[0];
            w->selectNode(g->children.back().get());
            w->Delete->trigger();
        }
        QCOMPARE(model::projectObj(*project).IPar[8], 0);
        for (model::TRestr* r : members) {
            QVERIFY(!r->Global);
            QCOMPARE(r->IPar[8], 0);
            QVERIFY(!r->Highlighted);
        }
        QVERIFY(byCaption(*w, QStringLiteral("Optimierungsobjekt 1")) == nullptr);
    }

    void openSaveAsOpenRoundTrip() {
        auto w = makeWindow();
        Node* first = openExample(*w, "slide_gripper.k4p");
        QVERIFY(first != nullptr);
        QVERIFY(script_.messages.empty());
        QCOMPARE(w->itemOf(first)->text(0), QStringLiteral("slide_gripper.k4p"));
        QCOMPARE(script_.requests[0].title, QString::fromUtf8("Projekt öffnen"));
        QCOMPARE(script_.requests[0].filters, QStringList{"Projektdatei (*.k4p)"});
        QVERIFY(w->SaveProj->isEnabled());
        QCOMPARE(w->lastProjectDir(), QDir(kExamples).absolutePath());
        const std::string original = model::writeProject(*first);

        script_.files.push_back(path("kopie"));
        QVERIFY(w->SaveProjAs->isEnabled());
        script_.files.front() = path("kopie.k4p");
        w->SaveProjAs->trigger();
        QVERIFY(script_.messages.empty());
        QCOMPARE(script_.requests.back().presetName,
                 QDir(kExamples).absolutePath() + "/slide_gripper");
        QCOMPARE(w->itemOf(first)->text(0), QStringLiteral("kopie.k4p"));
        QVERIFY(!model::projectObj(*first).Changed);
        QCOMPARE(w->recentFiles(), QStringList{path("kopie.k4p")});

        Node* second = openExample(*w, "../x"); // nothing there
        QCOMPARE(script_.messages.back().text,
                 std::string("Projektdatei konnte nicht geöffnet werden."));
        QCOMPARE(script_.buttons.back(), Buttons::Abort);
        QCOMPARE(second, first); // the selection stays
        script_.clear();
        script_.files.push_back(path("kopie.k4p"));
        w->OpenProj->trigger();
        second = w->selectedNode();
        QVERIFY(second != first);
        QCOMPARE(w->projects().roots.size(), std::size_t{2});
        QCOMPARE(model::writeProject(*second), original);
        QCOMPARE(fileBytes(path("kopie.k4p")), QByteArray::fromStdString(original));

        // Capital extension: not read.
        QFile::copy(path("kopie.k4p"), path("GROSS.K4P"));
        script_.files.push_back(path("GROSS.K4P"));
        w->OpenProj->trigger();
        QCOMPARE(script_.messages.back().text,
                 std::string("Die Datei enthält Zuordnungsfehler.\rDas Projekt konnte nicht "
                             "geöffnet werden."));
        QCOMPARE(w->projects().roots.size(), std::size_t{2});
    }

    void saveAsRefusesAnotherExtension() {
        auto w = makeWindow();
        w->NewProject->trigger();
        script_.files.push_back(path("x.txt"));
        w->SaveProjAs->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text,
                 std::string("Die Sicherung muß mit der\rStandarderweiterung .k4p erfolgen."));
        QCOMPARE(script_.buttons[0], Buttons::Cancel);
        QVERIFY(!QFile::exists(path("x.txt")));
        QVERIFY(w->recentFiles().isEmpty());
        QCOMPARE(script_.requests[0].presetName, QString());
    }

    void seventhFileDropsTheOldestAndCaseIsIgnored() {
        {
            auto w = makeWindow();
            w->NewProject->trigger();
            QStringList expected;
            for (int i = 1; i <= 7; ++i) {
                script_.files.push_back(path(QStringLiteral("p%1.k4p").arg(i)));
                w->SaveProjAs->trigger();
                expected << path(QStringLiteral("p%1.k4p").arg(i));
            }
            expected.removeFirst();
            QCOMPARE(w->recentFiles(), expected);
            script_.files.push_back(path("P3.k4p"));
            w->SaveProjAs->trigger();
            QVERIFY(QFile::exists(path("P3.k4p")));
            QCOMPARE(w->recentFiles(), expected);
            // The menu shows them after the fixed items, oldest first.
            const auto actions = w->FileMenu->actions();
            QCOMPARE(actions.back()->text(), expected.back());
            QVERIFY(actions[actions.size() - 7]->isSeparator());
        }
        QSettings s("Norbeck", "Tervas");
        QCOMPARE(s.value("V0398/Files/File_1").toString(), path("p2.k4p"));
        QCOMPARE(s.value("V0398/Files/File_6").toString(), path("p7.k4p"));
        QVERIFY(!s.contains("V0398/Files/File_7"));

        // Read back at start-up; a click opens the file, a missing one is named.
        auto w = makeWindow();
        QCOMPARE(w->recentFiles().size(), 6);
        QVERIFY(QFile::remove(path("p4.k4p")));
        QAction* item = nullptr;
        for (QAction* a : w->FileMenu->actions())
            if (a->text() == path("p5.k4p")) item = a;
        QVERIFY(item != nullptr);
        item->trigger();
        QCOMPARE(w->projects().roots.size(), std::size_t{1});
        QCOMPARE(w->itemOf(w->selectedNode())->text(0), QStringLiteral("p5.k4p"));
        for (QAction* a : w->FileMenu->actions())
            if (a->text() == path("p4.k4p")) a->trigger();
        QCOMPARE(script_.messages.back().text,
                 "Fehler beim Lesen der Datei\r" + path("p4.k4p").toStdString());
        QCOMPARE(w->projects().roots.size(), std::size_t{1});
    }

    void closingAChangedProject() {
        auto w = makeWindow();
        w->NewProject->trigger();
        // Yes, then the save dialog is cancelled: the project stays.
        script_.answers = {Answer::Yes};
        w->CloseProj->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text,
                 std::string("Das Projekt \"neues Projekt\" wurde bearbeitet.\rSollen die "
                             "Änderungen gesichert werden?"));
        QCOMPARE(script_.buttons[0], Buttons::YesNoAbort);
        QCOMPARE(script_.requests.size(), std::size_t{1});
        QCOMPARE(w->projects().roots.size(), std::size_t{1});
        // Abort: stays, no dialog.
        script_.answers = {Answer::Abort};
        w->CloseProj->trigger();
        QCOMPARE(script_.requests.size(), std::size_t{1});
        QCOMPARE(w->projects().roots.size(), std::size_t{1});
        // Yes and a name: saved, then closed.
        script_.answers = {Answer::Yes};
        script_.files.push_back(path("zu.k4p"));
        w->CloseProj->trigger();
        QVERIFY(QFile::exists(path("zu.k4p")));
        QVERIFY(w->projects().roots.empty());
        // No: closed without saving.
        w->NewProject->trigger();
        script_.answers = {Answer::No};
        w->CloseProj->trigger();
        QVERIFY(w->projects().roots.empty());
        QVERIFY(!w->CloseProj->isEnabled());
    }

    void closeQueryAsksAboutUnsavedProjects() {
        auto w = makeWindow();
        QVERIFY(w->close()); // nothing open: no question
        QVERIFY(script_.messages.empty());
        w->NewProject->trigger();
        script_.answers = {Answer::No};
        QVERIFY(!w->close());
        QCOMPARE(script_.messages.back().text,
                 std::string("Es wurden nicht alle Änderungen gesichert.\rWollen Sie das "
                             "Programm trotzdem beenden?"));
        script_.answers = {Answer::Yes};
        QVERIFY(w->close());
    }

    void calculateIsDisabledWhileAnObjectIsInconsistent() {
        auto w = makeWindow();
        Node* project = openExample(*w, "cam_dwell.k4p");
        QVERIFY(w->Calc->isEnabled() && w->CalcAll->isEnabled());
        Node* restr = childrenOfKind(*project, ObjectKind::AbsSpec)[0]->children[0].get();
        // A point restriction whose upper bound lies below its lower bound.
        model::editObject(*restr, [](model::TNLMember& o) {
            o.IPar[6] = 0;
            o.IPar[7] = 0;
            o.RPar[6] = 5.0;
            o.RPar[8] = 1.0;
        });
        QVERIFY(w->itemOf(restr)->text(0).startsWith(QStringLiteral("! ")));
        QVERIFY(!w->Calc->isEnabled() && !w->CalcAll->isEnabled());
        w->selectNode(restr);
        QVERIFY(!w->Calc->isEnabled());
        // A disabled command does nothing, not even writing the input.
        w->Calc->trigger();
        QVERIFY(!w->calculation().running());
        QVERIFY(!QFile::exists(path("remote$.kq4")));
    }

    void settingsAreWrittenAndReadBack() {
        {
            auto w = makeWindow();
            // Defaults without any stored key.
            QVERIFY(!w->DelConfirm->isChecked() && !w->ShowEditor->isChecked());
            QVERIFY(w->ShowBinding->isChecked());
            w->ShowBinding->trigger(); // the panel closed
            QVERIFY(w->PrioNormal->isChecked());
            QCOMPARE(w->pos(), QPoint(254, 204));
            QCOMPARE(w->size(), QSize(301, 472));
            QCOMPARE(w->lastImportType(), 1);
            w->DelConfirm->trigger();
            w->PrioHigh->trigger();
            QVERIFY(!w->PrioNormal->isChecked());
            w->move(30, 40);
            w->resize(420, 510);
        }
        QSettings s("Norbeck", "Tervas");
        QCOMPARE(s.value("V0398/Options/DelConfirm").toInt(), 1);
        QCOMPARE(s.value("V0398/Options/ShowEditor").toInt(), 0);
        QCOMPARE(s.value("V0398/Options/PriorityClass").toInt(), 3);
        ui::WindowPosition p;
        QVERIFY(ui::decodePosition(s.value("V0398/Options/Position").toByteArray(), p));
        QCOMPARE(s.value("V0398/Options/Position").toByteArray().size(), 16);
        QCOMPARE(p.left, 30);
        QCOMPARE(p.top, 40);
        QCOMPARE(p.width, 420);
        QCOMPARE(p.height, 510);
        QVERIFY(!s.value("V0398/Files/HomePath").toString().isEmpty());
        QCOMPARE(s.value("V0398/Files/LastFType").toInt(), 1);

        s.setValue("V0398/Files/LastFType", 7); // out of range: read as 1
        s.setValue("V0398/Files/LastImportPath", "/somewhere");
        s.setValue("V0398/Options/PriorityClass", 1);
        s.sync();
        // The panel stays closed; settings of a version without it show it.
        QVERIFY(makeWindow()->DBinding->isHidden());
        s.remove("V0398/Options/ShowBinding");
        s.sync();
        auto w = makeWindow();
        QVERIFY(w->ShowBinding->isChecked() && !w->DBinding->isHidden());
        QVERIFY(w->DelConfirm->isChecked());
        QVERIFY(w->PrioLow->isChecked() && !w->PrioHigh->isChecked());
        QCOMPARE(w->pos(), QPoint(30, 40));
        QCOMPARE(w->size(), QSize(420, 510));
        QCOMPARE(w->lastImportType(), 1);
        QCOMPARE(w->lastImportDir(), QStringLiteral("/somewhere"));
        QCOMPARE(ui::encodePosition({-5, 2, 300, 400}).size(), 16);
        ui::WindowPosition q;
        QVERIFY(ui::decodePosition(ui::encodePosition({-5, 2, 300, 400}), q));
        QCOMPARE(q.left, -5);
    }

    void importOfEachFileKind() {
        auto w = makeWindow();
        // A calculation input becomes a whole project that keeps its file name.
        script_.files.push_back(kExamples + "two_drives_relative.kq4");
        w->Import->trigger();
        QVERIFY(script_.messages.empty());
        QCOMPARE(script_.requests[0].title, QStringLiteral("Import"));
        QCOMPARE(script_.requests[0].filters.size(), 3);
        QCOMPARE(script_.requests[0].filterIndex, 0);
        Node* project = w->selectedNode();
        QCOMPARE(w->itemOf(project)->text(0), QStringLiteral("two_drives_relative.kq4*"));
        QCOMPARE(childrenOfKind(*project, ObjectKind::AbsSpec).size(), std::size_t{2});
        QVERIFY(model::projectObj(*project).Changed);
        QVERIFY(!w->SaveProj->isEnabled());
        QCOMPARE(w->lastImportDir(), QDir(kExamples).absolutePath());

        // A ".kqe" motion into the selected project (answer No).
        writeText(path("m.kqe"), "6 0 0\r\n0.1 0.05\r\n  0  3  0 90 0 0 0 1 0 2 0\r\n"
                                 " 12  3  0 0 0 90 0 -5 0 5 0\r\nrbc\r\n");
        script_.files.push_back(path("m.kqe"));
        script_.answers = {Answer::No};
        w->Import->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text, std::string("Neues Projekt erzeugen?"));
        QCOMPARE(w->projects().roots.size(), std::size_t{1});
        auto motions = childrenOfKind(*project, ObjectKind::AbsSpec);
        QCOMPARE(motions.size(), std::size_t{3});
        QCOMPARE(motions[2]->children.size(), std::size_t{2});
        QCOMPARE(motions[2]->as<model::THSHeader>()->ShortName, std::string("(aus: m.kqe) "));
        QCOMPARE(w->lastImportType(), 2);
        QCOMPARE(w->lastImportDir(), tmp_->path());

        // A ".kqw" motion into a new project (answer Yes); its file name is the import.
        writeText(path("n.kqw"), "[Version]\r\n3.1\r\n[Description]\r\nHubkurve\r\n[MLAbs]\r\n1\r\n"
                                 "2 1 0\r\n0.1 0.2 0.03\r\n  0  3  0 90 0 0 0 1 0 2 0\r\n");
        script_.clear();
        script_.files.push_back(path("n.kqw"));
        script_.answers = {Answer::Yes};
        w->Import->trigger();
        QCOMPARE(w->projects().roots.size(), std::size_t{2});
        Node* second = w->selectedNode();
        QCOMPARE(w->itemOf(second)->text(0), QStringLiteral("n.kqw*"));
        QCOMPARE(childrenOfKind(*second, ObjectKind::AbsSpec)[0]->as<model::THSHeader>()->ShortName,
                 std::string("(aus: n.kqw) Hubkurve"));
        QCOMPARE(w->lastImportType(), 3);

        // A file that is not there.
        script_.clear();
        script_.files.push_back(path("fehlt.kq4"));
        w->Import->trigger();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text, std::string("Die Datei konnte nicht geöffnet werden."));
        QCOMPARE(script_.buttons[0], Buttons::Abort);

        // The next import dialog preselects the last type; a damaged file names its line.
        writeText(path("bad.kq4"), "   0   0   1   0   0   0   0   0   1\r\n  x 1 2\r\n");
        script_.clear();
        script_.files.push_back(path("bad.kq4"));
        w->Import->trigger();
        QCOMPARE(script_.requests[0].filterIndex, 2);
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text,
                 std::string("Fehler beim Lesen der Datei\rbad.kq4 in Zeile 2."));
        QCOMPARE(w->projects().roots.size(), std::size_t{2});
        QCOMPARE(w->lastImportType(), 3);
    }

    void valueTableSettingsKeepOneColumn() {
        auto w = makeWindow();
        ui::TDlgTab& d = *w->DlgTab;
        script_.onExec = [&](QDialog&) {
            QVERIFY(d.box(0)->isChecked() && d.box(1)->isChecked() && d.box(2)->isChecked());
            QVERIFY(!d.box(3)->isChecked() && !d.box(4)->isChecked());
            QCOMPARE(d.Edwidth->value(), 6);
            QCOMPARE(d.EdInc->value(), 1.0);
            d.box(1)->click();
            d.box(2)->click();
            QVERIFY(!d.box(0)->isEnabled()); // the only one left
            QVERIFY(d.box(5)->isEnabled());
            d.box(5)->click(); // q
            QVERIFY(d.box(0)->isEnabled());
            d.box(4)->click(); // torque
            d.EdInc->setValue(90.0);
            d.Edwidth->setValue(12); // clamped to 10
        };
        w->TabOptions->trigger();
        QCOMPARE(script_.execTitles, std::vector<QString>{"Vorgabe Wertetabelle"});
        // Cancelled: the settings stay as they were.
        script_.onExec = [&](QDialog&) {
            QVERIFY(!d.box(1)->isChecked());
            QCOMPARE(d.Edwidth->value(), 10);
            d.box(1)->click();
        };
        script_.execAccepts = false;
        w->TabOptions->trigger();
        script_.onExec = [&](QDialog&) { QVERIFY(!d.box(1)->isChecked()); };
        w->TabOptions->trigger();
    }

    void calculationThroughTheWindowWithTheModule() {
        auto w = makeWindow();
        script_.files.push_back(kExamples + "demo.kq4");
        w->Import->trigger();
        Node* project = w->selectedNode();
        Node* motionNode = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        auto* motion = motionNode->as<model::THSHeader>();
        QVERIFY(!motion->HasResults);
        QVERIFY(!w->SaveTab->isEnabled());
        w->TVProjects->expandItem(w->itemOf(project));
        w->TVProjects->expandItem(w->itemOf(motionNode));
        QVERIFY(w->Calc->isEnabled());
        w->Calc->trigger();
        QVERIFY(w->calculation().running());
        // The status bar follows the run, then says what came out: the beta kept with the results.
        QVERIFY2(w->LRunStatus->text().contains(QStringLiteral("β")),
                 qPrintable(w->LRunStatus->text()));
        QVERIFY(w->calculation().settings.priority == calcctl::Priority::Normal);
        QVERIFY(!w->Calc->isEnabled() && w->CalcStop->isEnabled());
        QVERIFY(model::projectObj(*project).Locked);
        // The running project is not edited, closed or deleted.
        QVERIFY(!w->Delete->isEnabled() && !w->CloseProj->isEnabled() &&
                !w->NewMotion->isEnabled());
        // The project stays closed while it runs.
        QVERIFY(!w->itemOf(project)->isExpanded());
        w->TVProjects->expandItem(w->itemOf(project));
        QVERIFY(!w->itemOf(project)->isExpanded());
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        QCOMPARE(w->calculation().code(), 0);
        const double beta = model::projectObj(*project).RPar[11];
        QVERIFY(beta > 0.9 && beta < 1.0);
        QVERIFY2(w->LRunStatus->text().contains(QLocale().toString(beta, 'f', 4)),
                 qPrintable(w->LRunStatus->text()));
        QVERIFY2(script_.messages.empty(),
                 script_.messages.empty() ? "" : script_.messages[0].text.c_str());
        QVERIFY(QFile::exists(path("remote$.kq4")));
        QVERIFY(!QFile::exists(path("kq4.err")));
        QVERIFY(!model::projectObj(*project).Locked);
        QVERIFY(w->itemOf(project)->isExpanded()); // as it was before
        QVERIFY(w->itemOf(motionNode)->isExpanded());
        QVERIFY(w->Calc->isEnabled() && !w->CalcStop->isEnabled());
        QVERIFY(motion->HasResults && motion->ResultsCurrent);
        QCOMPARE(motion->sSC.Count(), 2 * motion->IPar[3] + 2);

        // The value table of a restriction's motion: 361 lines, phi 0 .. 360.
        w->selectNode(motionNode->children[0].get());
        QVERIFY(w->SaveTab->isEnabled());
        script_.files.push_back(path("hub.tab"));
        w->SaveTab->trigger();
        QCOMPARE(script_.requests.back().title, QStringLiteral("Wertetabelle sichern"));
        QCOMPARE(script_.requests.back().defaultSuffix, QStringLiteral("tab"));
        const QList<QByteArray> lines = fileBytes(path("hub.tab")).split('\n');
        QCOMPARE(lines.size(), 362); // the last CR LF ends the file
        QVERIFY(lines[90].startsWith(" 90.0\t "));
        QVERIFY(lines[0].endsWith('\r'));
        // s at 90 degrees from the coefficients, summed here: sine at 2k, cosine at 2k + 1.
        const double phi = 90.0 * M_PI / 180.0;
        double s = motion->sSC.at(1);
        for (int k = 1; k <= motion->IPar[3]; ++k)
            s += motion->sSC.at(2 * k) * std::sin(k * phi) +
                 motion->sSC.at(2 * k + 1) * std::cos(k * phi);
        const QList<QByteArray> cols = lines[90].trimmed().split('\t');
        QCOMPARE(cols.size(), 4); // phi, s, s', s''
        QVERIFY2(std::abs(cols[1].trimmed().toDouble() - s) <= 1e-4 * std::max(1.0, std::abs(s)),
                 cols[1].constData());

        // Step 90 gives five lines.
        script_.onExec = [&](QDialog&) { w->DlgTab->EdInc->setValue(90.0); };
        w->TabOptions->trigger();
        script_.files.push_back(path("grob.tab"));
        w->SaveTab->trigger();
        QCOMPARE(fileBytes(path("grob.tab")).count('\n'), 5);
        QVERIFY(fileBytes(path("grob.tab")).startsWith(" 0.0\t "));

        // A ".csv" name: the point table, header row and commas.
        script_.files.push_back(path("punkte.csv"));
        w->SaveTab->trigger();
        QCOMPARE(fileBytes(path("punkte.csv")).split('\n')[1].count(','), 3); // phi, s, s', s''
        QCOMPARE(fileBytes(path("punkte.csv")).count("\r\n"), 5); // header and 0, 90, 180, 270

        // A bare name with the CSV filter wrote CSV text into "name.tab", replacing it unasked.
        for (int round = 0; round < 2; ++round) {
            script_.files.push_back(path("servo"));
            script_.filters.push_back(1);
            w->SaveTab->trigger();
        }
        QCOMPARE(fileBytes(path("servo.csv")).count("\r\n"), 5);
        QVERIFY(!QFile::exists(path("servo.tab")));
        QCOMPARE(script_.replaceAsked, std::vector<QString>{path("servo.csv")});

        // Cancelled dialog: nothing written.
        w->SaveTab->trigger();
        QVERIFY(!QFile::exists(path("grob.tab.tab")));
    }

    void allRequirementsMetIsAWarningWithResults() {
        auto w = makeWindow();
        // Its random search meets the maximal requirements.
        script_.files.push_back(kExamples + "global_groups.kq4");
        w->Import->trigger();
        Node* project = w->projects().roots.back().get();
        auto* motion = childrenOfKind(*project, ObjectKind::AbsSpec)[0]->as<model::THSHeader>();
        QVERIFY(!motion->HasResults);
        w->Calc->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        QCOMPARE(w->calculation().code(), 1);
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QCOMPARE(script_.messages[0].text,
                 std::string("Die Maximalforderungen werden erfüllt.\r-> Strengere "
                             "Restriktionen (Spektrum) sind möglich"));
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Warning);
        QCOMPARE(script_.buttons[0], Buttons::Ok);
        QVERIFY(model::projectObj(*project).ResultsStored);
        QVERIFY(motion->HasResults);
        QCOMPARE(motion->sSC.Count(), 2 * motion->IPar[3] + 2);
    }

    void batchCalculatesEveryProject() {
        auto w = makeWindow();
        openExample(*w, "cam_dwell.k4p"); // results (code 0): solved
        script_.files.push_back(kExamples + "demo.kq4");
        w->Import->trigger();
        w->NewProject->trigger(); // empty: counted, not solved
        w->selectNode(w->projects().roots[0].get());
        script_.files.push_back(path("cam.k4p"));
        w->SaveProjAs->trigger();
        QAction* recent = w->FileMenu->actions().back();
        w->CalcAll->trigger();
        QVERIFY(!w->TVProjects->isEnabled());
        QVERIFY(w->CalcStop->isEnabled() && !w->CalcAll->isEnabled());
        QVERIFY(!w->Delete->isEnabled() && !w->CloseProj->isEnabled() && !w->Calc->isEnabled());
        // Regression: a recent file opened during the batch was calculated by it.
        QVERIFY(!recent->isEnabled());
        recent->trigger();
        QCOMPARE(w->projects().roots.size(), std::size_t{3});
        QTRY_VERIFY_WITH_TIMEOUT(!w->batch().running(), 60000);
        QCOMPARE(script_.messages.size(), std::size_t{1});
        const std::string& text = script_.messages[0].text;
        QVERIFY2(text.rfind("Die Berechnung ist abgeschlossen.\rFür 2 von 3 Projekte(n) wurden "
                            "Lösungen gefunden.\rRechenzeit: ",
                            0) == 0,
                 text.c_str());
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Information);
        QVERIFY(w->TVProjects->isEnabled());
        QVERIFY(w->CalcAll->isEnabled() && !w->CalcStop->isEnabled());
        QVERIFY(recent->isEnabled());
    }

    void stoppingAskesAndEndsTheRun() {
        auto w = makeWindow();
        Node* project = openExample(*w, "cam_dwell.k4p");
        // A module that never ends by itself.
        writeText(path("slow.sh"), "#!/bin/sh\nexec sleep 30\n");
        QFile::setPermissions(path("slow.sh"),
                              QFile::permissions(path("slow.sh")) | QFile::ExeUser);
        w->calculation().settings.modulePath = path("slow.sh");
        w->PrioLow->trigger();
        w->Calc->trigger();
        QVERIFY(w->calculation().running());
        QVERIFY(w->calculation().settings.priority == calcctl::Priority::Low);
        script_.answers = {Answer::No};
        w->CalcStop->trigger();
        QCOMPARE(script_.messages.back().text, std::string("HS-Optimierung abbrechen?"));
        QVERIFY(w->calculation().running());
        // Closing asks first; No keeps the window and the run.
        script_.answers = {Answer::No};
        QVERIFY(!w->close());
        QCOMPARE(script_.messages.back().text, std::string("Laufende Berechnung abbrechen?"));
        script_.clear();
        script_.answers = {Answer::Yes};
        w->CalcStop->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running() && !model::projectObj(*project).Locked,
                                 10000);
        QCOMPARE(w->calculation().code(), -100);
        QCOMPARE(script_.messages.size(), std::size_t{1}); // only the question
        QVERIFY(!model::projectObj(*project).ResultsStored);
        QVERIFY(w->Calc->isEnabled());
    }

    void stoppingABatchEndsItWithTheAbortSummary() {
        auto w = makeWindow();
        openExample(*w, "cam_dwell.k4p");
        openExample(*w, "slide_gripper.k4p");
        writeText(path("slow.sh"), "#!/bin/sh\nexec sleep 30\n");
        QFile::setPermissions(path("slow.sh"),
                              QFile::permissions(path("slow.sh")) | QFile::ExeUser);
        w->calculation().settings.modulePath = path("slow.sh");
        w->CalcAll->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->calculation().running(), 5000);
        script_.answers = {Answer::Yes};
        w->CalcStop->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->batch().running(), 10000);
        QCOMPARE(script_.messages.size(), std::size_t{2});
        QCOMPARE(script_.messages[0].text, std::string("HS-Optimierung abbrechen?"));
        QCOMPARE(script_.messages[1].text, std::string("Abbruch durch das Shell-Programm."));
        QCOMPARE(script_.messages[1].kind, model::MessageKind::Warning);
        QCOMPARE(w->batch().processed(), 1); // the second project was not started
        QVERIFY(w->TVProjects->isEnabled());
    }

    void helpInfoAndPrinter() {
        auto w = makeWindow();
        w->HelpTopics->trigger();
        QCOMPARE(script_.urls.size(), std::size_t{1});
        QVERIFY(script_.urls[0].isLocalFile());
        QVERIFY(script_.urls[0].toLocalFile().endsWith("/tvhelp.html"));
        QVERIFY(QFile::exists(script_.urls[0].toLocalFile()));
        QVERIFY(script_.messages.empty());
        QVERIFY(w->DlgHelp == nullptr); // the browser shows it

        QStringList labels;
        script_.onExec = [&](QDialog& d) {
            for (QLabel* l : d.findChildren<QLabel*>()) labels << l->text();
        };
        w->About->trigger();
        QCOMPARE(script_.execTitles.back(), QStringLiteral("Info"));
        for (const char* t : {"Tervana", "Version: V2.1", "Programm zur Harmonischen Synthese",
                              "mehrerer abhängiger Lagefunktionen"})
            QVERIFY2(labels.contains(QString::fromUtf8(t)), t);

        QCOMPARE(w->PrinterSetup->isEnabled(), !QPrinterInfo::availablePrinterNames().isEmpty());
        if (w->PrinterSetup->isEnabled()) {
            w->PrinterSetup->trigger();
            QCOMPARE(script_.printerSetups, 1);
        }
    }

    void rightClickSelectsTheNodeUnderTheCursor() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 2);
        w->TVProjects->expandAll();
        w->resize(400, 500);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Node* second = byCaption(*w, QStringLiteral("Bewegungsvorgabe (abs) 2"));
        w->selectNode(project);
        const QRect r = w->TVProjects->visualItemRect(w->itemOf(second));
        QTest::mousePress(w->TVProjects->viewport(), Qt::RightButton, Qt::NoModifier, r.center());
        QCOMPARE(w->selectedNode(), second);
        QVERIFY(w->DlgRestr->isVisible()); // the editor comes up with the node
        QVERIFY(second->obj().Highlighted && !project->obj().Highlighted);
        QVERIFY(w->NewAbsRestr->isEnabled());
        // Nothing under the cursor: the selection stays.
        QTest::mousePress(w->TVProjects->viewport(), Qt::RightButton, Qt::NoModifier,
                          QPoint(5, w->TVProjects->viewport()->height() - 3));
        QCOMPARE(w->selectedNode(), second);
        script_.answers = {Answer::Yes};
        w->close();
    }

    void anAmpersandInARecentPathIsNoAccessKey() {
        const QString file = path("Kurven&Rollen.k4p");
        {
            auto w = makeWindow();
            w->NewProject->trigger();
            script_.files.push_back(file);
            w->SaveProjAs->trigger();
            QCOMPARE(w->recentFiles(), QStringList{file});
            QCOMPARE(QKeySequence::mnemonic(w->FileMenu->actions().back()->text()), QKeySequence());
        }
        QCOMPARE(QSettings("Norbeck", "Tervas").value("V0398/Files/File_1").toString(), file);
        auto w = makeWindow();
        QAction* item = w->FileMenu->actions().back();
        QCOMPARE(QKeySequence::mnemonic(item->text()), QKeySequence());
        item->trigger();
        QVERIFY(script_.messages.empty());
        QCOMPARE(w->itemOf(w->selectedNode())->text(0), QStringLiteral("Kurven&Rollen.k4p"));
    }

    void storedRemoteChoiceIsRestoredUntilAnotherIsPicked() {
        QSettings("Norbeck", "Tervas").setValue("V0398/Options/PriorityClass", 4);
        makeWindow().reset();
        QCOMPARE(QSettings("Norbeck", "Tervas").value("V0398/Options/PriorityClass").toInt(), 4);
        {
            auto w = makeWindow();
            QVERIFY(w->Extern->isChecked() && !w->PrioNormal->isChecked());
            w->PrioHigh->trigger();
        }
        QCOMPARE(QSettings("Norbeck", "Tervas").value("V0398/Options/PriorityClass").toInt(), 3);
    }

    void standardButtonsAreGerman() {
        QTranslator catalogue;
        QVERIFY(graphics::loadQtGermanCatalogue(catalogue));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
        QCOMPARE(box.button(QMessageBox::Abort)->text(), QStringLiteral("Abbrechen"));
        // Numbers follow the user's locale, even under a German default locale.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ui::TDlgTab tab;
        tab.EdInc->setValue(0.5);
        QLocale::setDefault(QLocale::system());
        QCOMPARE(tab.EdInc->text(), QLocale::system().toString(0.5, 'f', 4));
        QCoreApplication::removeTranslator(&catalogue);
        QCOMPARE(graphics::dialogText("a\rb"), QStringLiteral("a\nb"));
    }

    void theTreeIsUpdatedItemByItemNotRebuilt() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 2);
        Node* h1 = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        Node* h2 = childrenOfKind(*project, ObjectKind::AbsSpec)[1];
        Node* r1 = h1->children[0].get();
        Node* r2 = h2->children[0].get();
        w->selectNode(r2);
        w->TVProjects->collapseItem(w->itemOf(h2));
        w->selectNode(r1);
        std::map<const Node*, QTreeWidgetItem*> items;
        for (const Row& r : rows(*w)) items[r.node] = r.item;
        auto unchanged = [&] {
            for (const auto& [n, item] : items)
                if (w->itemOf(n) != item) return false;
            return true;
        };
        // An edit of another node: its text changes, nothing else.
        model::editObject(*r2, [](model::TNLMember& o) { o.RPar[2] = 45.0; });
        QVERIFY(unchanged());
        QVERIFY(w->itemOf(r2)->text(0).contains(QStringLiteral("45.0")));
        QCOMPARE(w->TVProjects->currentItem(), items[r1]);
        QVERIFY(w->itemOf(h1)->isExpanded() && !w->itemOf(h2)->isExpanded());
        // A new restriction before r1 and an edit that moves r1 behind it: items move, the view
        // keeps the model's order.
        model::editObject(*r1, [](model::TNLMember& o) { o.RPar[2] = 90.0; });
        w->NewAbsRestr->trigger();
        Node* added = w->selectedNode();
        QCOMPARE(h1->children[0].get(), added);
        model::editObject(*added, [](model::TNLMember& o) { o.RPar[2] = 180.0; });
        QVERIFY(unchanged());
        std::vector<Node*> modelOrder, viewOrder;
        model::forEachNode(*project, [&](Node& n) { modelOrder.push_back(&n); });
        for (const Row& r : rows(*w)) viewOrder.push_back(r.node);
        QVERIFY(modelOrder == viewOrder);
        QCOMPARE(w->TVProjects->currentItem(), w->itemOf(added));
        QVERIFY(w->itemOf(h1)->isExpanded() && !w->itemOf(h2)->isExpanded());
    }

    // Regression: after every command the window recomputed the currency of every open
    // project, which revived stale results saved in a file (and enabled their value table).
    void anEditLeavesOtherProjectsAlone() {
        const QString file = changedExample("cam_dwell.k4p", tervana::test::makeResultsStale);
        auto w = makeWindow();
        script_.files.push_back(file);
        w->OpenProj->trigger();
        Node* stale = w->selectedNode();
        auto* motion = childrenOfKind(*stale, ObjectKind::AbsSpec)[0]->as<model::THSHeader>();
        QVERIFY(motion->HasResults && !motion->ResultsCurrent);
        Node* other = projectWithSpecs(*w, 1);
        model::editObject(*childrenOfKind(*other, ObjectKind::AbsSpec)[0]->children[0],
                          [](model::TNLMember& o) { o.RPar[8] = 1.0; });
        w->selectNode(motion->node);
        QVERIFY(!motion->ResultsCurrent);
        QVERIFY(!w->SaveTab->isEnabled());
        QVERIFY(!model::projectObj(*stale).Changed);
    }

    void selectionChangesAreAnnounced() {
        auto w = makeWindow();
        model::test::ChangeRecorder rec;
        w->projects().addObserver(rec);
        // Announced, and the model, the view and the menus agree.
        auto announced = [&](const Node* n) {
            return !rec.selections.empty() && rec.selections.back() == n &&
                   w->selectedNode() == n &&
                   ui::ProjectTreeWidget::nodeOf(w->TVProjects->currentItem()) == n;
        };
        Node* project = projectWithSpecs(*w, 2);
        Node* r2 = childrenOfKind(*project, ObjectKind::AbsSpec)[1]->children[0].get();
        w->selectNode(r2);
        QVERIFY(announced(r2));
        w->Delete->trigger(); // its motion specification goes too
        QVERIFY(announced(project));
        QVERIFY(project->obj().Highlighted);
        w->TVProjects->setCurrentItem(w->itemOf(project->children[0].get()));
        QVERIFY(announced(project->children[0].get()));
        Node* opened = openExample(*w, "cam_dwell.k4p");
        QVERIFY(announced(opened));
        script_.files.push_back(kExamples + "demo.kq4");
        w->Import->trigger();
        Node* imported = w->projects().roots.back().get();
        QVERIFY(announced(imported));
        script_.answers = {Answer::No};
        w->CloseProj->trigger();
        QVERIFY(announced(opened)); // the one before the closed last one
        // While a project runs its nodes are hidden: the project is selected, and the node the
        // calculation was started on again afterwards.
        Node* r = childrenOfKind(*opened, ObjectKind::AbsSpec)[0]->children[0].get();
        w->selectNode(r);
        w->Calc->trigger();
        QVERIFY(w->calculation().running());
        QVERIFY(announced(opened));
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 60000);
        QVERIFY(announced(r));
        w->projects().removeObserver(rec);
    }

    // "&Diagramm" plots the selected project's motions or the selection's motion.
    void diagramOfTheSelection() {
        auto w = makeWindow();
        Node* project = openExample(*w, QStringLiteral("slide_gripper.k4p"));
        QVERIFY(w->NewDiagram->isEnabled());
        QCOMPARE(w->NewDiagram->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
        w->NewDiagram->trigger();
        Node* motion = childrenOfKind(*project, ObjectKind::AbsSpec)[0];
        QCOMPARE(w->diagrams().windows().size(), std::size_t{1});
        QCOMPARE(w->diagrams().windows()[0]->pic.members.size(), std::size_t{3}); // 1, 2, 1-2
        w->selectNode(motion->children[0].get());
        w->NewDiagram->trigger();
        QVERIFY(w->diagrams().windows()[1]->pic.members == std::vector<Node*>{motion});
        // The clearance between slide and gripper limits beta: highlighted where the relative
        // motion is drawn, not in the window of motion 1 alone, which shows its own.
        const Node* clearance = model::findRel(*project, 1, 2)->children[0].get();
        const auto& all = w->diagrams().windows()[0]->pic.binding;
        const auto& own = w->diagrams().windows()[1]->pic.binding;
        QVERIFY(std::find(all.begin(), all.end(), clearance) != all.end());
        QVERIFY(std::find(own.begin(), own.end(), clearance) == own.end());
        QVERIFY(own.size() < all.size());
        for (const Node* r : own) QCOMPARE(r->parent, motion);
    }

    // "&Report": one window per project, rebuilt on every change of it, following a renamed
    // project, gone with its project.
    void reportWindowFollowsItsProject() {
        auto w = makeWindow();
        Node* project = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        QCOMPARE(w->NewReport->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
        w->NewReport->trigger();
        w->selectNode(childrenOfKind(*project, ObjectKind::AbsSpec)[0]);
        w->NewReport->trigger(); // the same project: the same window
        QCOMPARE(w->reports().count(), std::size_t{1});
        graphics::TRTFReport* r = w->reports().windowOf(*project);
        QCOMPARE(r->windowTitle(), QStringLiteral("Report cam_dwell.k4p"));
        model::editObject(*project, [](model::TNLMember& o) {
            static_cast<model::TProject&>(o).Description = "Nockenscheibe 7";
        });
        QVERIFY(r->Text->toPlainText().contains(QStringLiteral("Nockenscheibe 7")));
        script_.files.push_back(path("umbenannt.k4p"));
        w->selectNode(project);
        w->SaveProjAs->trigger();
        QCOMPARE(r->windowTitle(), QStringLiteral("Report umbenannt.k4p"));
        QPointer<graphics::TRTFReport> alive(r);
        w->CloseProj->trigger();
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(w->reports().count(), std::size_t{0});
    }

    void droppingAProjectCopiesIt() {
        auto w = makeWindow();
        Node* source = openExample(*w, "cam_dwell.k4p");
        const auto motions = childrenOfKind(*source, ObjectKind::AbsSpec);
        emit w->TVProjects->copyProjectRequested(source);
        QCOMPARE(w->projects().roots.size(), std::size_t{2});
        Node* copy = w->selectedNode();
        QCOMPARE(copy, w->projects().roots[1].get());
        const auto copied = childrenOfKind(*copy, ObjectKind::AbsSpec);
        QCOMPARE(copied.size(), motions.size());
        QCOMPARE(copied[0]->as<model::THSHeader>()->ShortName,
                 motions[0]->as<model::THSHeader>()->ShortName + " (Kopie)");
        QCOMPARE(copied[0]->children.size(), motions[0]->children.size());
        // Only empty space of the tree takes a project.
        QTreeWidgetItem* item = w->itemOf(source);
        QVERIFY(!w->TVProjects->dropAllowed(item, w->TVProjects->visualItemRect(item).center()));
        QVERIFY(!w->TVProjects->dropAllowed(item->child(0), QPoint(5, 2000)));
    }

    // The program once kept running with an editor or a diagram open after "trotzdem beenden?"
    // was answered Yes: the edits made there were lost, and the settings never written.
    void quittingClosesEveryWindowAndWritesTheSettings() {
        auto w = makeWindow();
        w->show();
        Node* project = openExample(*w, "cam_dwell.k4p");
        w->EditObj->trigger();
        w->NewDiagram->trigger();
        w->NewReport->trigger();
        w->diagrams().options()->show();
        model::editObject(*project, [](model::TNLMember& o) { o.IPar[4] = 9; });
        auto visible = [] {
            QStringList titles;
            for (QWidget* t : QApplication::topLevelWidgets())
                if (t->isVisible()) titles << t->windowTitle();
            return titles;
        };
        QVERIFY(visible().size() >= 5);
        QVERIFY(!QSettings("Norbeck", "Tervas").contains("V0398/Options/Position"));
        script_.answers = {Answer::Yes};
        QVERIFY(w->close());
        QCOMPARE(visible(), QStringList());
        QVERIFY(QSettings("Norbeck", "Tervas").contains("V0398/Options/Position"));
    }

    // Enter on "trotzdem beenden?" (and every Yes/No question) keeps what would be given up.
    void enterOnAYesNoQuestionAnswersNo() {
        graphics::DialogPrompts prompts;
        std::function<void()> pressEnter = [&] {
            for (QWidget* t : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(t); box && box->isVisible())
                    return QTest::keyClick(box, Qt::Key_Return);
            QTimer::singleShot(10, pressEnter);
        };
        QTimer::singleShot(0, pressEnter);
        QCOMPARE(prompts.message(nullptr, {ui::kCloseUnsaved, model::MessageKind::Confirmation},
                                 Buttons::YesNo),
                 Answer::No);
    }

    // Deleting had no way back. Each project keeps its own history of tree operations, the
    // active one following the selection; Ctrl+Z belongs to the tree in the main window and to
    // the shown object's edits in the editor.
    void treeOperationsAreUndoneProjectByProject() {
        auto w = makeWindow();
        w->show();
        Node* a = projectWithSpecs(*w, 2);
        Node* b = projectWithSpecs(*w, 1);
        auto motions = [](Node* p) { return childrenOfKind(*p, ObjectKind::AbsSpec).size(); };
        w->selectNode(childrenOfKind(*a, ObjectKind::AbsSpec)[0]);
        w->Delete->trigger();
        w->selectNode(childrenOfKind(*b, ObjectKind::AbsSpec)[0]);
        w->NewAbsRestr->trigger();
        Node* added = w->selectedNode();
        w->selectNode(a);
        QVERIFY(w->Undo->isEnabled() && !w->Redo->isEnabled());
        w->Undo->trigger();
        QCOMPARE(motions(a), std::size_t{2});
        QCOMPARE(added->parent, childrenOfKind(*b, ObjectKind::AbsSpec)[0]); // b's stays
        QVERIFY(w->Redo->isEnabled());
        w->Redo->trigger();
        QCOMPARE(motions(a), std::size_t{1});

        // In the editor Ctrl+Z takes back its edit, in the tree the tree operation.
        w->selectNode(added);
        w->EditObj->trigger();
        ui::TDlgRestr& e = *w->DlgRestr;
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.REdsmax->setFocus();
        e.REdsmax->selectAll();
        QTest::keyClicks(e.REdsmax, QStringLiteral("3"));
        QTest::keyClick(e.REdsmax, Qt::Key_Return);
        QCOMPARE(added->obj().RPar[8], 3.0);
        QTest::keyClick(e.REdsmax, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(added->obj().RPar[8], 0.0);
        QCOMPARE(childrenOfKind(*b, ObjectKind::AbsSpec)[0]->children.size(), std::size_t{2});
        w->windowHandle()->requestActivate();
        QTRY_COMPARE(QApplication::activeWindow(), w.get());
        w->TVProjects->setFocus();
        QTest::keyClick(w->TVProjects, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(childrenOfKind(*b, ObjectKind::AbsSpec)[0]->children.size(), std::size_t{1});

        // A group made in the editor (nodes added outside the history) ends a's history; closing
        // a project ends its own.
        w->selectNode(childrenOfKind(*a, ObjectKind::AbsSpec)[0]->children[0].get());
        QVERIFY(w->Undo->isEnabled());
        e.CBGlob->click();
        QCOMPARE(childrenOfKind(*a, ObjectKind::Group).size(), std::size_t{1});
        QVERIFY(!w->Undo->isEnabled() && !w->Redo->isEnabled());
        const auto stacks = w->history().group()->stacks().size();
        w->selectNode(b);
        script_.answers = {Answer::No};
        w->CloseProj->trigger();
        QCOMPARE(w->history().group()->stacks().size(), stacks - 1);
    }

    // A restriction dragged onto another motion specification moves there, and one copied in
    // the tree (Ctrl+C, Ctrl+V) is pasted under the selected one; each is one undo step.
    void movingAndPastingRestrictions() {
        auto w = makeWindow();
        Node* project = projectWithSpecs(*w, 2);
        const auto specs = childrenOfKind(*project, ObjectKind::AbsSpec);
        Node* r = specs[0]->children[0].get();
        w->show();
        QTreeWidgetItem* item = w->itemOf(r);
        auto centre = [&](const Node* n) {
            return w->TVProjects->visualItemRect(w->itemOf(n)).center();
        };
        QVERIFY(w->TVProjects->dropAllowed(item, centre(specs[1])));
        QVERIFY(w->TVProjects->dropAllowed(item, centre(specs[1]->children[0].get())));
        emit w->TVProjects->moveRestrictionRequested(r, specs[1]);
        QCOMPARE(r->parent, specs[1]);
        QCOMPARE(r->obj().IPar[1], 2);
        QCOMPARE(w->selectedNode(), r);
        w->Undo->trigger();
        QCOMPARE(r->parent, specs[0]);
        QCOMPARE(r->obj().IPar[1], 1);

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->TVProjects->setFocus();
        QVERIFY(!w->Paste->isEnabled());
        QTest::keyClick(w->TVProjects, Qt::Key_C, Qt::ControlModifier);
        w->selectNode(specs[1]);
        QTest::keyClick(w->TVProjects, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(specs[1]->children.size(), std::size_t{2});
        QCOMPARE(w->selectedNode()->obj().IPar[1], 2);
        QTest::keyClick(w->TVProjects, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(specs[1]->children.size(), std::size_t{1});
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
