// The diagram windows through their commands: layout, zoom, the options window, forgetting
// removed motions, the defaults everywhere, saving by the chosen filter, and the settings.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "graphics/diagram_options.h"
#include "graphics/diagrams.h"
#include "graphics/motion_curves.h"
#include "graphics/side_panels.h"
#include "model/editing.h"
#include "model/project_file.h"
#include "tests/support/fake_prompts.h"

using graphics::TGrafik;
using model::Node;

class DiagramWindowTest : public QObject {
    Q_OBJECT

    // The user's settings store, as the main window opens it.
    static constexpr const char* kStore[2] = {"Norbeck", "Tervas"};

    std::unique_ptr<QTemporaryDir> tmp_;
    Script script_;
    std::unique_ptr<FakePrompts> prompts_;
    std::unique_ptr<model::ProjectTree> tree_;
    std::unique_ptr<graphics::DiagramWindows> windows_;

    Node* open(const char* name) {
        auto r = model::openProject(*tree_, TERVANA_SOURCE_DIR "/examples/" + std::string(name));
        return std::get<Node*>(r);
    }
    static QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::vector<Node*> motions(Node* project) {
        std::vector<Node*> out;
        for (auto& c : project->children)
            if (c->as<model::TPaintObj>() != nullptr) out.push_back(c.get());
        return out;
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tmp_->path());
        script_ = Script{};
        prompts_ = std::make_unique<FakePrompts>(script_);
        tree_ = std::make_unique<model::ProjectTree>();
        graphics::DiagramServices services;
        services.prompts = prompts_.get();
        windows_ = std::make_unique<graphics::DiagramWindows>(*tree_, services, nullptr);
    }
    void cleanup() {
        windows_.reset();
        tree_.reset();
    }

    void layoutKeepsTheRatio() {
        bool landscape = false;
        QCOMPARE(graphics::drawingAreaSize({500, 300}, landscape), QSize(424, 300));
        QVERIFY(landscape);
        QCOMPARE(graphics::drawingAreaSize({300, 500}, landscape), QSize(300, 424));
        QCOMPARE(graphics::drawingAreaSize({100, 50}, landscape), QSize(281, 199));
    }

    void zoomTakesXAndOneDiagramsY() {
        Node* project = open("cam_dwell.k4p");
        TGrafik* w = windows_->open(motions(project));
        w->resize(700, 900);
        QCoreApplication::processEvents();
        auto& d = w->pic.diagrams;
        QVERIFY(!w->zoom(QRect(100, 100, 8, 200))); // too narrow: nothing
        QVERIFY(d[0].xAxis.autoRange);
        // Across two diagrams: only the x axes.
        const QRect across(d[0].area.left() + 50, d[0].area.center().y(), 100,
                           d[1].area.center().y() - d[0].area.center().y());
        QVERIFY(w->zoom(across));
        for (const auto& diagram : d) QVERIFY(!diagram.xAxis.autoRange);
        QVERIFY(d[0].yAxis.autoRange && d[1].yAxis.autoRange);
        QVERIFY(d[0].xAxis.requestedMin > 0 && d[0].xAxis.requestedMax < 360);
        // Within one diagram: its y axis too.
        const QRect inside(d[1].area.left() + 20, d[1].area.top() + 20, 60, 40);
        QVERIFY(w->zoom(inside));
        QVERIFY(!d[1].yAxis.autoRange && d[0].yAxis.autoRange);
        w->autoScale();
        QVERIFY(d[1].yAxis.autoRange && d[0].xAxis.autoRange);
        // The side panels: characteristic values and spectrum beside the picture, which keeps
        // its size in a window grown by the panel.
        const QSize before = w->DrawArea->size();
        w->ValuesItem->trigger();
        w->SpectrumItem->trigger();
        QVERIFY(w->SidePanel->isVisible() && w->DrawArea->size() == before && w->width() > 700);
        QCOMPARE(w->Values->columnCount(), 1);
        QCOMPARE(w->Spectrum->amplitudes().size(), std::size_t{1});
        w->close();
    }

    // Adding a curve from the menu gave the zoomed y range of one diagram to another: a diagram
    // took the axes of its place in the stack. Each curve keeps its own.
    void curveFromTheMenuKeepsTheYZoomOfTheOthers() {
        Node* project = open("cam_dwell.k4p");
        TGrafik* w = windows_->open(motions(project));
        w->resize(700, 900);
        QCoreApplication::processEvents();
        auto& d = w->pic.diagrams;
        w->CurveItems[1]->trigger(); // without "Geschwindigkeit" "Beschleunigung" moves up
        QCOMPARE(d[1].curve, 2);
        QVERIFY(w->zoom(QRect(d[1].area.left() + 20, d[1].area.top() + 20, 60, 40)));
        const graphics::TAxis zoomed = d[1].yAxis;
        QVERIFY(!zoomed.autoRange);
        for (int item : {1, 3}) { // "Geschwindigkeit" back above it, "Ruck" below it
            w->CurveItems[static_cast<std::size_t>(item)]->trigger();
            QVERIFY(w->pic.chosen()[static_cast<std::size_t>(item)]);
            for (const auto& diagram : d) {
                QCOMPARE(diagram.yAxis.autoRange, diagram.curve != 2);
                if (diagram.curve != 2) continue;
                QCOMPARE(diagram.yAxis.requestedMin, zoomed.requestedMin);
                QCOMPARE(diagram.yAxis.requestedMax, zoomed.requestedMax);
            }
        }
        w->close();
    }

    // At the window's first size the values were cut at the panel's edge ("-0.0" for
    // -0.0118816) and the spectrum's harmonic numbers ran together. The window makes room for
    // the whole table; no label of the spectrum overlaps another or leaves the panel.
    void sidePanelsShowTheirTextWholeAtTheFirstSize() {
        Node* project = open("slide_gripper.k4p");
        TGrafik* w = windows_->open(motions(project));
        QCoreApplication::processEvents();
        w->ValuesItem->trigger();
        w->SpectrumItem->trigger();
        QCoreApplication::processEvents();
        const graphics::ValuesTable& v = *w->Values;
        QCOMPARE(v.columnCount(), 3);
        QCOMPARE(v.horizontalScrollBar()->maximum(), 0);
        QVERIFY(v.viewport()->width() >= v.horizontalHeader()->length());
        const QFontMetrics fm(v.font());
        for (int c = 0; c < v.columnCount(); ++c)
            for (int r = 0; r < v.rowCount(); ++r)
                if (const QTableWidgetItem* item = v.item(r, c))
                    QVERIFY2(fm.horizontalAdvance(item->text()) < v.columnWidth(c),
                             qPrintable(item->text()));
        w->Spectrum->resize(160, w->Spectrum->height()); // narrow: fewer harmonic numbers
        const auto labels = w->Spectrum->labels();
        QVERIFY(labels.size() > 4); // title, scale, some harmonic numbers
        for (std::size_t i = 0; i < labels.size(); ++i) {
            QVERIFY2(w->Spectrum->rect().contains(labels[i].rect), qPrintable(labels[i].text));
            QCOMPARE(labels[i].rect.width(), fm.horizontalAdvance(labels[i].text));
            for (std::size_t k = 0; k < i; ++k)
                QVERIFY2(!labels[i].rect.intersects(labels[k].rect),
                         qPrintable(labels[i].text + " " + labels[k].text));
        }
        w->close();
    }

    void optionsWindowFollowsTheActiveWindow() {
        Node* project = open("slide_gripper.k4p");
        TGrafik* w = windows_->open(motions(project));
        graphics::TDlgDiagOpt& o = *windows_->options();
        QCOMPARE(o.bound(), w);
        // Down to "Weg" alone: it stays, checked and disabled.
        for (int i = 1; i < 5; ++i) o.CBCurves[static_cast<std::size_t>(i)]->setChecked(false);
        QVERIFY(o.CBCurves[0]->isChecked() && !o.CBCurves[0]->isEnabled());
        QCOMPARE(w->pic.shown, 1);
        // x max 400 refused, a y min of -10 taken.
        o.CBAxis->setCurrentIndex(0);
        o.CBAuto->setChecked(false);
        o.EdMax->setText(QStringLiteral("400"));
        emit o.EdMax->editingFinished();
        QVERIFY(w->pic.diagrams[0].xAxis.requestedMax <= 360);
        o.CBAxis->setCurrentIndex(1);
        o.CBAuto->setChecked(false);
        o.EdMin->setText(QStringLiteral("-10"));
        emit o.EdMin->editingFinished();
        QCOMPARE(w->pic.diagrams[0].yAxis.requestedMin, -10.0);
        w->close();
        QVERIFY(o.bound() == nullptr);
        QVERIFY(windows_->windows().empty());
    }

    // The options window's list once kept the entry of a motion being deleted (a use of freed
    // memory when it was clicked) and missed new projects and motions until a window was
    // activated again. After every command the list holds exactly the tree's motions, and
    // every entry works: selection, membership box, colour button.
    void optionsListFollowsTheProjectsAndEveryEntryWorks() {
        Node* first = open("slide_gripper.k4p");
        TGrafik* w = windows_->open(motions(first));
        graphics::TDlgDiagOpt& o = *windows_->options();
        const auto listed = [&] {
            std::vector<std::vector<void*>> out;
            for (int i = 0; i < o.TVGrafs->topLevelItemCount(); ++i) {
                out.emplace_back();
                for (int k = 0; k < o.TVGrafs->topLevelItem(i)->childCount(); ++k)
                    out.back().push_back(
                        o.TVGrafs->topLevelItem(i)->child(k)->data(0, Qt::UserRole).value<void*>());
            }
            return out;
        };
        const auto inTree = [&] {
            std::vector<std::vector<void*>> out;
            for (const auto& p : tree_->roots) {
                out.emplace_back();
                for (Node* m : motions(p.get())) out.back().push_back(m);
            }
            return out;
        };
        const std::pair<const char*, std::function<void()>> commands[] = {
            {"select the first motion, delete it",
             [&] {
                 o.TVGrafs->topLevelItem(0)->child(0)->setSelected(true);
                 tree_->deleteNode(*motions(first)[0]);
             }},
            {"open a file", [&] { open("cam_dwell.k4p"); }},
            {"new project", [&] { tree_->newProject(); }},
            {"new motion", [&] { (void)tree_->newMotionSpec(*tree_->roots.back()); }},
            {"delete a project", [&] { tree_->deleteNode(*tree_->roots.back()); }},
        };
        int colour = 1;
        for (const auto& [what, command] : commands) {
            command();
            const auto entries = listed();
            for (int i = 0; i < o.TVGrafs->topLevelItemCount(); ++i) {
                for (int k = 0; k < o.TVGrafs->topLevelItem(i)->childCount(); ++k) {
                    // Looked up anew each time: a change of the model may rebuild the list.
                    const auto entry = [&] { return o.TVGrafs->topLevelItem(i)->child(k); };
                    QTreeWidgetItem* item = entry();
                    auto* motion = static_cast<Node*>(item->data(0, Qt::UserRole).value<void*>());
                    o.TVGrafs->clearSelection();
                    item->setSelected(true);
                    const QColor c(colour++, 2, 3);
                    script_.colours = {c};
                    o.Style->colours[0]->click();
                    QCOMPARE(motion->as<model::TPaintObj>()->PaintStyle.sColor,
                             graphics::bgrOf(c) | model::kPickedColour);
                    const bool member = w->hasMember(motion);
                    entry()->setCheckState(0, member ? Qt::Unchecked : Qt::Checked);
                    QVERIFY2(w->hasMember(motion) == !member, what);
                }
            }
            QVERIFY2(entries == inTree(), what);
        }
        w->close();
    }

    // "automatische Farben" on a motion with colours of its own showed the picked colours on the
    // buttons (taken when the motion was selected), though the window draws the palette's.
    void automaticColoursShowWhatTheWindowDraws() {
        Node* project = open("slide_gripper.k4p");
        TGrafik* w = windows_->open(motions(project));
        graphics::TDlgDiagOpt& o = *windows_->options();
        QTreeWidgetItem* item = o.TVGrafs->topLevelItem(0)->child(1);
        const auto select = [&] {
            o.TVGrafs->clearSelection();
            item->setSelected(true);
        };
        select();
        script_.colours = {QColor(10, 20, 30)};
        o.Style->colours[0]->click();
        select();
        o.Style->BtAuto->click();
        const graphics::MotionColours drawn = graphics::motionColours(model::PaintStyle{}, 1);
        const std::pair<QPushButton*, QColor> buttons[] = {{o.Style->colours[0], drawn.s},
                                                           {o.Style->colours[1], drawn.q},
                                                           {o.Style->colours[2], drawn.bound}};
        for (const auto& [button, colour] : buttons)
            QVERIFY2(button->styleSheet().contains(colour.name()),
                     qPrintable(button->styleSheet()));
        w->close();
    }

    // "&Diagramm" on a group or a group member opened an empty window.
    void diagramOfAGroupShowsTheProjectsMotions() {
        Node* project = open("slide_gripper.k4p");
        const auto ms = motions(project);
        Node* restriction = ms[0]->children[0].get();
        Node* group = model::setGlobal(*restriction, 0);
        QVERIFY(group != nullptr && !group->children.empty());
        Node* member = group->children[0].get();
        const std::pair<Node*, std::vector<Node*>> cases[] = {
            {project, ms}, {group, ms}, {member, ms}, {ms[0], {ms[0]}}, {restriction, {ms[0]}}};
        for (const auto& [selected, expected] : cases) {
            TGrafik* w = windows_->openFor(*selected);
            QCOMPARE(w->pic.members, expected);
            w->close();
        }
    }

    // A removed motion leaves every window; the defaults reach every plotted object.
    void removedMotionsAndDefaultsEverywhere() {
        Node* project = open("slide_gripper.k4p");
        auto ms = motions(project);
        TGrafik* w = windows_->open(ms);
        tree_->deleteNode(*ms[0]); // its relative motion goes with it
        QCOMPARE(w->pic.members.size(), std::size_t{1});
        QVERIFY(w->pic.members[0] == motions(project)[0]);
        model::diagramDefaults().sColor = 0x123456;
        windows_->applyDefaultsEverywhere();
        for (Node* m : motions(project))
            QCOMPARE(m->as<model::TPaintObj>()->PaintStyle.sColor, 0x123456);
        QVERIFY(model::projectObj(*project).Changed);
        model::diagramDefaults() = model::PaintStyle{};
        w->close();
    }

    // A name without extension was given the chosen filter's after the dialog had checked for
    // an existing file: a picture was replaced without a question, and the metafile filter wrote
    // a bitmap. Each filter: its own format under its own extension, and no silent overwrite.
    void savedPictureTakesTheFiltersExtensionAndAsksBeforeReplacing() {
        Node* project = open("cam_dwell.k4p");
        TGrafik* w = windows_->open(motions(project));
        const QString base = tmp_->path() + "/bild";
        const struct {
            const char* suffix;
            QByteArray start; // the first bytes of the format (EMF: its signature at 40)
        } formats[] = {{"bmp", "BM"},    {"wmf", QByteArray::fromHex("d7cdc69a")},
                       {"emf", " EMF"},  {"png", "\x89PNG"},
                       {"svg", "<?xml"}, {"pdf", "%PDF"}};
        int filter = 0;
        for (const auto& f : formats) {
            const QString file = base + u'.' + QString::fromLatin1(f.suffix);
            const auto saveBare = [&](bool replace) {
                script_.files = {base};
                script_.filters = {filter};
                script_.replace = {replace};
                script_.replaceAsked.clear();
                w->saveAs();
            };
            saveBare(true);
            QVERIFY2(script_.replaceAsked.empty(), f.suffix);
            const QByteArray written = fileBytes(file);
            QVERIFY2(written.mid(QByteArray(f.suffix) == "emf" ? 40 : 0).startsWith(f.start),
                     f.suffix);
            // Again, declining the question: the file stays as it was.
            saveBare(false);
            QCOMPARE(script_.replaceAsked, std::vector<QString>{file});
            QCOMPARE(fileBytes(file), written);
            ++filter;
        }
        QVERIFY(script_.messages.empty());
        script_.files = {base + ".jpg"};
        w->saveAs();
        QCOMPARE(script_.messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(script_.messages[0].text)
                    .startsWith("Unbekanntes Format: .jpg"));
        QVERIFY(!QFile::exists(base + ".jpg"));
        w->close();
    }

    // The real save dialog: a name without extension takes the chosen filter's extension before
    // the dialog looks for an existing file, so replacing one is asked about.
    void saveDialogAddsTheFiltersExtensionBeforeAskingToReplace() {
        graphics::FileRequest request;
        request.directory = tmp_->path();
        request.filters = {"Windows Bitmap (*.bmp)", "Enhanced  Metafile (*.emf)",
                           "alle Dateien (*.*)"};
        request.defaultSuffix = "tab";
        for (const char* existing : {"name.emf", "name.tab"}) {
            QFile f(tmp_->filePath(existing));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const struct {
            int filter;
            const char* name;
            bool asked;
        } cases[] = {{0, "name.bmp", false}, {1, "name.emf", true}, {2, "name.tab", true}};
        for (const auto& c : cases) {
            request.filterIndex = 0;
            bool asked = false;
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                // The filter is chosen as a user does, from the list.
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QVERIFY(types != nullptr);
                for (int i = 0; i < c.filter; ++i) QTest::keyClick(types, Qt::Key_Down);
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("name");
                // The question, if any, comes up within accept.
                QTimer::singleShot(0, this, [&] {
                    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                        asked = true;
                        box->button(QMessageBox::Yes)->click();
                    }
                });
                auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
                QVERIFY(buttons != nullptr);
                buttons->button(QDialogButtonBox::Save)->click();
            });
            graphics::DialogPrompts real;
            const QString path = real.saveFile(nullptr, request);
            QCOMPARE(path, tmp_->filePath(c.name));
            QCOMPARE(asked, c.asked);
            QCOMPARE(request.filterIndex, c.filter);
        }
    }

    // The diagram settings were kept in a settings file of their own. A group found there moves
    // into the user's store once; later the store's own values count, and nothing is lost.
    void settingsMoveFromTheOldFileOnce() {
        QSettings old("Norbeck", "Tervana"), store(kStore[0], kStore[1]);
        QVERIFY(old.fileName() != store.fileName());
        old.setValue("V0398/Grafik/HLColor", 0x0000FF);
        old.setValue("V0398/Grafik/ExWidth", 120);
        old.setValue("V0398/Other/Kept", 1);
        windows_->readSettings(store);
        QCOMPARE(windows_->defaultHighlight, QColor(255, 0, 0));
        QCOMPARE(windows_->exportOptions().widthMm, 120);
        QCOMPARE(store.value("V0398/Grafik/ExWidth").toInt(), 120);
        QVERIFY(!old.contains("V0398/Grafik/HLColor") && old.contains("V0398/Other/Kept"));
        // Written into the store, read from it; the old file no longer counts.
        windows_->defaultHighlight = QColor(0, 0, 255);
        windows_->writeSettings(store);
        old.setValue("V0398/Grafik/HLColor", 0x00FF00);
        windows_->defaultHighlight = QColor();
        windows_->readSettings(store);
        QCOMPARE(windows_->defaultHighlight, QColor(0, 0, 255));
    }

    // Stored settings: a good style comes back, a bad one never breaks the start.
    void settingsRoundTripAndBadValues() {
        model::PaintStyle s;
        s.sLine = 3;
        s.minColor = 0x0000AA;
        s.sColor = model::kPickedColour; // a picked black stays picked

        QByteArray b = graphics::encodeStyle(s);
        QCOMPARE(b.size(), 28);
        model::PaintStyle back;
        QVERIFY(graphics::decodeStyle(b, back) && back == s);
        b[1] = 9; // a style code beyond dash-dot-dot
        QVERIFY(graphics::decodeStyle(b, back) && back.sLine == 0);
        QVERIFY(!graphics::decodeStyle(b.left(27), back));
        QSettings st(kStore[0], kStore[1]);
        st.setValue("V0398/Grafik/DColor", QByteArray("kurz"));
        st.setValue("V0398/Grafik/HLColor", QStringLiteral("grün"));
        st.setValue("V0398/Grafik/ExWidth", 9999);
        windows_->readSettings(st);
        QVERIFY(model::diagramDefaults() == model::PaintStyle{});
        QCOMPARE(windows_->defaultHighlight, QColor(0, 255, 0));
        QVERIFY(windows_->exportOptions().widthMm <= 200);
    }
};

QTEST_MAIN(DiagramWindowTest)
#include "test_diagram_window.moc"
