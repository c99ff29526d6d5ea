// The main window's commands on projects: new objects, deletion, files, import, value table,
// calculation.
#include "ui/main_window.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QStatusBar>
#include <QTreeWidgetItem>
#include <QUndoGroup>

#include "calcctl/batch.h"
#include "calcctl/calculation.h"
#include "calcctl/platform.h"
#include "graphics/diagrams.h"
#include "model/import.h"
#include "model/project_file.h"
#include "net/remote_windows.h"
#include "ui/editor.h"
#include "ui/project_tree_widget.h"
#include "ui/tab_opt.h"
#include "ui/tree_history.h"

#include "calcctl/result_code.h"
#include "ui/main_window_support.h"

namespace ui {

using model::Node;
using model::ObjectKind;

// ---- the history of the tree operations ----

void TDlgMain::UndoClick() {
    if (!Undo->isEnabled()) return;
    history_->group()->undo();
}

void TDlgMain::RedoClick() {
    if (!Redo->isEnabled()) return;
    history_->group()->redo();
}

void TDlgMain::CopyClick() {
    const model::TRestr* r = restrictionOf(selectedNode());
    if (r == nullptr) return;
    clipboard_ = std::make_unique<model::TRestr>();
    (void)r->CopyTo(*clipboard_);
    updateMenus();
}

void TDlgMain::PasteClick() {
    Node* sel = selectedNode();
    if (sel == nullptr || clipboard_ == nullptr || !Paste->isEnabled()) return;
    (void)history_->perform(*model::projectOf(sel), QString::fromUtf8("Einfügen"), [&] {
        if (Node* n = tree_.pasteRestriction(*sel, *clipboard_)) selectNode(n);
    });
}

// ---- new objects ----

void TDlgMain::addNew(const std::variant<model::Node*, model::Message>& result) {
    if (const auto* m = std::get_if<model::Message>(&result)) {
        inform(*m);
        return;
    }
    Node* n = std::get<Node*>(result);
    if (n == nullptr) return;
    selectNode(n);
}

void TDlgMain::NewProjectClick() {
    addNew(&tree_.newProject());
}

void TDlgMain::newObject(const std::function<NewResult(Node&)>& op) {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    NewResult result = static_cast<Node*>(nullptr);
    (void)history_->perform(*model::projectOf(sel), QStringLiteral("Neu"), [&] {
        result = op(*sel);
        if (Node* const* n = std::get_if<Node*>(&result); n != nullptr && *n != nullptr)
            selectNode(*n);
    });
    // A refusal changed nothing; it is shown after the step.
    if (std::holds_alternative<model::Message>(result)) addNew(result);
}

void TDlgMain::NewMotionClick() {
    newObject([this](Node& n) { return tree_.newMotionSpec(n); });
}

void TDlgMain::NewAbsRestrClick() {
    newObject([this](Node& n) { return tree_.newAbsRestriction(n); });
}

void TDlgMain::NewSpecRestrClick() {
    newObject([this](Node& n) { return NewResult(tree_.newSpectrumRestriction(n)); });
}

void TDlgMain::NewRelRestrClick() {
    newObject([this](Node& n) { return NewResult(tree_.newRelRestriction(n)); });
}

// ---- deletion ----

void TDlgMain::DiagramClick() {
    if (Node* sel = selectedNode()) diagrams_->openFor(*sel);
}

void TDlgMain::EditClick() {
    if (selectedNode() == nullptr) return;
    DlgRestr->show();
    DlgRestr->raise();
    DlgRestr->activateWindow();
}

void TDlgMain::DeleteClick() {
    Node* n = selectedNode();
    if (n == nullptr || n->kind() == ObjectKind::RelSpec) return;
    Node* project = model::projectOf(n);
    if (project == nullptr || model::projectObj(*project).Locked) return;
    // A whole project leaves with its history and cannot be taken back: with unsaved changes
    // it is not deleted without the question.
    const bool wholeProject = n == project;
    const bool confirm =
        DelConfirm->isChecked() || (wholeProject && model::projectObj(*project).Changed);
    tree_.Deleting = true;
    if (confirm && ask({model::ProjectTree::deleteQuestion(*n), model::MessageKind::Confirmation},
                       Buttons::YesNo) != Answer::Yes) {
        tree_.Deleting = false;
        return;
    }
    // The model removes the node, announces every removed node and the next selection.
    tree_.Deleting = false;
    if (wholeProject)
        tree_.deleteNode(*n);
    else
        (void)history_->perform(*project, QString::fromUtf8("Löschen"),
                                [&] { tree_.deleteNode(*n); });
    updateMenus();
}

// ---- files ----

void TDlgMain::OpenProjClick() {
    FileRequest r;
    r.title = QString::fromUtf8("Projekt öffnen");
    r.directory = lastK4PPath_;
    r.filters = {QStringLiteral("Projektdatei (*.k4p)")};
    r.defaultSuffix = QStringLiteral("k4p");
    const QString path = prompts_->openFile(this, r);
    if (path.isEmpty()) return;
    (void)openProjectFile(path);
}

model::Node* TDlgMain::openProjectFile(const QString& path) {
    auto result = model::openProject(tree_, QFileInfo(path).absoluteFilePath().toStdString());
    if (const auto* m = std::get_if<model::Message>(&result)) {
        (void)ask(*m, m->text == model::kProjectOpenFailed ? Buttons::Abort : Buttons::Ok);
        updateMenus();
        return nullptr;
    }
    lastK4PPath_ = QFileInfo(path).absolutePath().left(255);
    Node* n = std::get<Node*>(result);
    model::sortTree(*n);
    selectNode(n);
    return n;
}

void TDlgMain::SaveProjClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    if (auto m = model::saveProject(*model::projectOf(sel))) inform(*m);
    updateMenus();
}

bool TDlgMain::SaveProjAsClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return false;
    Node* project = model::projectOf(sel);
    const auto& p = model::projectObj(*project);
    FileRequest r;
    r.title = QStringLiteral("Projekt sichern");
    if (!p.FileName.empty()) {
        const QFileInfo f(qs(p.FileName));
        r.directory = f.absolutePath();
        r.presetName = f.absolutePath() + "/" + f.completeBaseName();
    } else {
        r.directory = lastK4PPath_;
    }
    r.filters = {QStringLiteral("Projektdatei (*.k4p)")};
    r.defaultSuffix = QStringLiteral("k4p");
    const QString path = prompts_->saveFile(this, r);
    if (path.isEmpty()) return false;
    const QString full = QFileInfo(path).absoluteFilePath();
    if (auto m = model::saveProjectAs(*project, full.toStdString())) {
        (void)ask(*m, m->text == model::kWrongSaveExtension ? Buttons::Cancel : Buttons::Ok);
        return false;
    }
    addRecentFile(full);
    updateMenus();
    return true;
}

bool TDlgMain::closeProject(model::Node* project) {
    auto& p = model::projectObj(*project);
    if (p.Locked) return false;
    if (p.Changed) {
        const std::string text = "Das Projekt \"" + p.Caption +
                                 "\" wurde bearbeitet.\rSollen die Änderungen gesichert werden?";
        const Answer a = ask({text, model::MessageKind::Confirmation}, Buttons::YesNoAbort);
        if (a == Answer::Abort || a == Answer::Cancel) return false;
        if (a == Answer::Yes) {
            bool saved = false;
            if (model::hasProjectExtension(p.FileName)) {
                if (auto m = model::saveProject(*project, &saved)) inform(*m);
            } else {
                selectNode(project);
                saved = SaveProjAsClick();
            }
            if (!saved) return false;
        }
    }
    // The model announces the removed nodes and, when the selection went with them, the
    // project that takes the closed one's place.
    tree_.deleteNode(*project);
    updateMenus();
    return true;
}

void TDlgMain::CloseProjClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    (void)closeProject(model::projectOf(sel));
}

void TDlgMain::ImportClick() {
    FileRequest r;
    r.title = QStringLiteral("Import");
    r.directory = lastImportPath_;
    r.filters = {QStringLiteral("KQ4-Eingabedatei (*.kq4)"),
                 QStringLiteral("KQ4-GlOpt-Datei (*.kqe)"),
                 QStringLiteral("Kqwin-Eingabedatei (*.kqw)")};
    r.filterIndex = lastFType_ - 1;
    const QString path = prompts_->openFile(this, r);
    if (path.isEmpty()) return;
    const QString full = QFileInfo(path).absoluteFilePath();
    const int type = full.endsWith(QStringLiteral(".kq4"))   ? 1
                     : full.endsWith(QStringLiteral(".kqe")) ? 2
                     : full.endsWith(QStringLiteral(".kqw")) ? 3
                                                             : 0;
    if (type == 0) return;
    Node* sel = selectedNode();
    bool newProject = true;
    if (type > 1 && sel != nullptr) {
        // The question comes only for a motion that can be read.
        std::string bytes;
        model::THSSet set;
        if (model::readWholeFile(full.toStdString(), bytes) &&
            (type == 2 ? model::readKqe(bytes, set) : model::readKqw(bytes, set)) == 0) {
            newProject = ask({model::kNewProjectQuestion, model::MessageKind::Confirmation},
                             Buttons::YesNo) == Answer::Yes;
            // The project of a running calculation takes nothing new.
            if (model::projectObj(*model::projectOf(sel)).Locked) newProject = true;
        }
    }
    std::variant<Node*, model::Message> result = static_cast<Node*>(nullptr);
    auto import = [&] {
        result = model::importFile(tree_, full.toStdString(), sel, newProject);
        if (Node* const* project = std::get_if<Node*>(&result); project && *project) {
            model::refreshCaptions(**project);
            selectNode(*project);
        }
    };
    // A motion read into the selected project is a step of its history; a new project starts
    // its own.
    if (!newProject && sel != nullptr)
        (void)history_->perform(*model::projectOf(sel), QStringLiteral("Import"), import);
    else
        import();
    if (const auto* m = std::get_if<model::Message>(&result)) {
        (void)ask(*m, m->text == model::kImportOpenFailed ? Buttons::Abort : Buttons::Ok);
        updateMenus();
        return;
    }
    if (std::get<Node*>(result) == nullptr) return;
    lastImportPath_ = QFileInfo(full).absolutePath().left(255);
    lastFType_ = type;
}

void TDlgMain::SaveTabClick() {
    const model::TPaintObj* motion = motionOf(selectedNode());
    if (motion == nullptr) return;
    FileRequest r;
    r.title = QStringLiteral("Wertetabelle sichern");
    r.directory = lastK4PPath_;
    r.filters = {QStringLiteral("Textdateien (*.tab)"), QStringLiteral("CSV-Punkttabelle (*.csv)"),
                 QStringLiteral("alle Dateien (*.*)")};
    r.defaultSuffix = QStringLiteral("tab");
    const QString path = prompts_->saveFile(this, r);
    if (path.isEmpty()) return;
    // The point table for servo drives under a ".csv" name (which the CSV filter gives a name
    // without extension in the dialog), or another name than ".tab" with the CSV filter.
    const QString suffix = QFileInfo(path).suffix();
    const bool csv =
        suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ||
        (r.filterIndex == 1 && suffix.compare(QLatin1String("tab"), Qt::CaseInsensitive) != 0);
    const std::string table = csv ? model::valueTableCsv(*motion, tableSettings_)
                                  : model::valueTable(*motion, tableSettings_);
    // Written whole or not at all.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(table.data(), static_cast<qint64>(table.size())) !=
            static_cast<qint64>(table.size()) ||
        !f.commit()) {
        inform(model::errorMessage("Die Datei " + path.toStdString() +
                                   " kann nicht erstellt werden.\r" +
                                   f.errorString().toStdString()));
    }
}

void TDlgMain::TabOptionsClick() {
    DlgTab->setSettings(tableSettings_);
    if (prompts_->exec(*DlgTab)) tableSettings_ = DlgTab->settings();
}

void TDlgMain::PrinterSetupClick() {
    (void)prompts_->printerSetup(this, printer_);
}

// ---- calculation ----

void TDlgMain::ExternClick() {
    // Checked when the settings are confirmed, or when it was checked already.
    const bool wasChecked = lastPriority_ == Extern;
    if (prompts_->exec(*DlgRConfig) || wasChecked) {
        Extern->setChecked(true);
        lastPriority_ = Extern;
    } else {
        lastPriority_->setChecked(true);
    }
}

bool TDlgMain::chooseRunner() {
    if (!Extern->isChecked()) {
        calc_->runnerFactory = nullptr;
        return true;
    }
    // The settings come before anything is written or locked: cancelling changes nothing.
    if (!prompts_->exec(*DlgRConfig)) return false;
    calc_->runnerFactory = [this, settings = DlgRConfig->settings()] {
        auto runner = std::make_unique<net::RemoteRunner>(settings);
        runner->acceptHostKey = [this](const QString& host, const QString& fingerprint) {
            const std::string text = "Der Schlüssel des Hosts " + host.toStdString() +
                                     " ist unbekannt.\r" + fingerprint.toStdString() +
                                     "\rDem Schlüssel vertrauen und verbinden?";
            return ask({text, model::MessageKind::Confirmation}, Buttons::YesNo) == Answer::Yes;
        };
        DlgRProgress->attach(runner.get());
        return std::unique_ptr<calcctl::ModuleRunner>(std::move(runner));
    };
    return true;
}

void TDlgMain::CalcClick() {
    Node* sel = selectedNode();
    if (sel == nullptr || calc_->running() || batch_->running()) return;
    if (!chooseRunner()) return;
    calcNode_ = sel;
    calc_->settings.priority = PrioLow->isChecked()    ? calcctl::Priority::Low
                               : PrioHigh->isChecked() ? calcctl::Priority::High
                                                       : calcctl::Priority::Normal;
    calc_->calculate(*sel);
}

void TDlgMain::CalcAllClick() {
    if (calc_->running() || batch_->running()) return;
    // Once per batch.
    if (!chooseRunner()) return;
    calc_->settings.priority = PrioLow->isChecked()    ? calcctl::Priority::Low
                               : PrioHigh->isChecked() ? calcctl::Priority::High
                                                       : calcctl::Priority::Normal;
    calcNode_ = selectedNode();
    TVProjects->setEnabled(false);
    batch_->start();
    updateMenus();
}

void TDlgMain::CalcStopClick() {
    if (!calc_->running() && !batch_->running()) return;
    if (ask({calcctl::kTextStopQuestion, model::MessageKind::Confirmation}, Buttons::YesNo) !=
        Answer::Yes)
        return;
    if (batch_->running())
        batch_->stop();
    else
        calc_->stop();
}

void TDlgMain::calcRunStarted(model::Node* project) {
    // The project stays closed while its calculation runs.
    if (expanded_.count(project) != 0) expandedBeforeRun_.insert(project);
    expanded_.erase(project);
    if (QTreeWidgetItem* item = itemOf(project); item != nullptr && item->isExpanded()) {
        rebuilding_ = true;
        {
            const QSignalBlocker block(TVProjects);
            item->setExpanded(false);
        }
        rebuilding_ = false;
        // A node inside the closed project is no longer to be seen: the project is selected
        // instead, and every window that follows the selection hears of it.
        for (Node* n = selectedNode(); n != nullptr; n = n->parent)
            if (n->parent == project) {
                tree_.select(project);
                break;
            }
        fitWidth();
    }
    updateMenus();
}

void TDlgMain::calcFinished(int) {
    Node* project = calc_->project();
    if (QTreeWidgetItem* item = itemOf(project)) {
        if (expandedBeforeRun_.erase(project) != 0) {
            expanded_.insert(project);
            rebuilding_ = true;
            {
                const QSignalBlocker block(TVProjects);
                item->setExpanded(true);
            }
            rebuilding_ = false;
            fitWidth();
        }
    }
    if (!batch_->running()) {
        if (calcNode_ != nullptr) selectNode(calcNode_);
        updateMenus();
    }
    // What came out, until the next run; the editor's project page keeps it while the results
    // are current.
    if (project != nullptr)
        showRunStatus(qs(project->obj().Caption) + QStringLiteral(": ") + calc_->resultStatus());
    if (!batch_->running())
        for (const model::Message& m : calc_->messages()) inform(m);
    updateMenus();
}

void TDlgMain::showRunStatus(const QString& text) {
    // A passing message of the status bar would hide it.
    SB->clearMessage();
    LRunStatus->setText(text);
}

void TDlgMain::batchFinished(const model::Message& summary) {
    TVProjects->setEnabled(true);
    if (calcNode_ != nullptr) selectNode(calcNode_);
    updateMenus();
    inform(summary);
}

} // namespace ui
