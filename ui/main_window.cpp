// The main window: its parts, menus and their enabling rules, messages, help, closing.
#include "ui/main_window.h"

#include "net/remote_windows.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QStatusBar>
#include <QTreeWidgetItem>
#include <QUndoGroup>
#include <QUrl>

#include "calcctl/batch.h"
#include "calcctl/calculation.h"
#include "calcctl/platform.h"
#include "graphics/diagrams.h"
#include "graphics/reports.h"
#include "model/import.h"
#include "net/remote_settings.h"
#include "ui/about.h"
#include "ui/binding_panel.h"
#include "ui/editor.h"
#include "ui/help_window.h"
#include "ui/project_tree_widget.h"
#include "ui/tab_opt.h"
#include "ui/tree_history.h"

#include "model/project_file.h"
#include "ui/main_window_support.h"

namespace ui {

using model::Node;
using model::ObjectKind;

namespace {

bool isKind(const Node* n, ObjectKind k) {
    return n != nullptr && n->kind() == k;
}

// A dialog at least as wide as the window manager needs to show its whole title (with the
// program's name that the platform appends): the title in the bold application font, and room
// for the icon and the buttons of the title bar.
void keepTitleWhole(QDialog& dialog) {
    QString text = dialog.windowTitle();
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && text != program) text += QStringLiteral(" — ") + program;
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(text) + 120;
    const QSize least = dialog.minimumSizeHint();
    if (least.width() < title) dialog.setMinimumSize(title, least.height());
}

} // namespace

TDlgMain::TDlgMain(std::unique_ptr<Prompts> prompts, QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts ? std::move(prompts) : std::make_unique<DialogPrompts>()),
      calc_(std::make_unique<calcctl::Calculation>()),
      batch_(std::make_unique<calcctl::BatchCalculation>(*calc_, tree_)) {
    setObjectName(QStringLiteral("DlgMain"));
    setWindowTitle(QString::fromUtf8(kProductName));
    TVProjects = new ProjectTreeWidget(this);
    setCentralWidget(TVProjects);
    SB = new QStatusBar(this);
    SB->setObjectName(QStringLiteral("SB"));
    setStatusBar(SB);
    LRunStatus = new QLabel(SB);
    LRunStatus->setObjectName(QStringLiteral("LRunStatus"));
    LRunStatus->setWordWrap(true);
    SB->addWidget(LRunStatus, 1);
    DBinding = new TBindingPanel(this);
    addDockWidget(Qt::BottomDockWidgetArea, DBinding);
    connect(DBinding, &TBindingPanel::restrictionChosen, this, [this](model::Node* r) {
        if (isAlive(r)) selectNode(r);
    });
    DlgTab = new TDlgTab(this);
    DlgRConfig = new net::TDlgRConfig(true, this);
    DlgRProgress = new net::TDlgRProgress(this);
    DlgAbout = new TDlgAbout(this);
    DlgRestr = new TDlgRestr(tree_, *prompts_, this);
    graphics::DiagramServices services;
    services.prompts = prompts_.get();
    services.printer = [this]() -> QPrinter* {
        return QPrinterInfo::availablePrinterNames().isEmpty() ? nullptr : &printer_;
    };
    services.showMainWindow = [this] {
        raise();
        activateWindow();
    };
    services.statusText = [this](const QString& text) { SB->showMessage(text); };
    services.draggedNode = [this] { return selectedNode(); };
    graphics::ReportServices reportServices;
    reportServices.prompts = services.prompts;
    reportServices.printer = services.printer;
    reportServices.showMainWindow = services.showMainWindow;
    diagrams_ = std::make_unique<graphics::DiagramWindows>(tree_, std::move(services), this);
    diagrams_->readSettings(*net::openUserSettings());
    reports_ = std::make_unique<graphics::ReportWindows>(tree_, std::move(reportServices));
    history_ = std::make_unique<TreeHistory>(tree_);
    for (QDialog* d : findChildren<QDialog*>()) keepTitleWhole(*d);
    buildMenus();
    // The group tells every step of its active history and every change of the active history
    // by indexChanged: undo, redo, a new command, a cleared history, another project.
    connect(history_->group(), &QUndoGroup::indexChanged, this, [this] { updateMenus(); });

    connect(TVProjects, &QTreeWidget::currentItemChanged, this, &TDlgMain::TVProjectsChange);
    connect(TVProjects, &QTreeWidget::itemExpanded, this, &TDlgMain::TVProjectsExpanding);
    connect(TVProjects, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (rebuilding_) return;
        expanded_.erase(ProjectTreeWidget::nodeOf(item));
        fitWidth();
    });
    connect(TVProjects, &ProjectTreeWidget::dropStatus, this,
            [this](const QString& text) { SB->showMessage(text); });
    connect(TVProjects, &ProjectTreeWidget::copyProjectRequested, this, &TDlgMain::copyProject);
    connect(TVProjects, &ProjectTreeWidget::moveRestrictionRequested, this,
            &TDlgMain::moveRestriction);
    connect(TVProjects, &ProjectTreeWidget::rightPressed, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) EditClick();
    });

    connect(calc_.get(), &calcctl::Calculation::runStarted, this, &TDlgMain::calcRunStarted);
    connect(calc_.get(), &calcctl::Calculation::finished, this, &TDlgMain::calcFinished);
    connect(calc_.get(), &calcctl::Calculation::statusText, this,
            [this](const QString& text) { SB->showMessage(text); });
    connect(calc_.get(), &calcctl::Calculation::progress, this, [this](const QString& text) {
        if (calc_->running()) showRunStatus(text);
    });
    connect(batch_.get(), &calcctl::BatchCalculation::finished, this, &TDlgMain::batchFinished);

    // A window that fails while it follows a change keeps the others informed; its error is
    // reported here instead of ending the program.
    tree_.observerError = [](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            qWarning("Tervana: Fehler beim Nachführen eines Fensters: %s", x.what());
        } catch (...) {
            qWarning("Tervana: Fehler beim Nachführen eines Fensters");
        }
    };
    tree_.addObserver(*this);
    readSettings();
    updateMenus();
}

TDlgMain::~TDlgMain() {
    // A run that is still going ends here without touching the window.
    tree_.removeObserver(*this);
    // The histories keep nodes of the projects; their end changes no menu any more.
    history_->group()->disconnect(this);
    history_.reset();
    // The editor observes the projects, which go with this window's members.
    delete DlgRestr;
    DlgRestr = nullptr;
    diagrams_->writeSettings(*net::openUserSettings());
    diagrams_.reset();
    reports_.reset();
    calc_->disconnect(this);
    batch_->disconnect(this);
    writeSettings();
}
// ---- menus ----

void TDlgMain::buildMenus() {
    auto add = [this](QMenu* menu, const char* text, void (TDlgMain::*slot)(),
                      const QKeySequence& key = {}) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
        return a;
    };
    FileMenu = menuBar()->addMenu(QStringLiteral("&Datei"));
    OpenProj = add(FileMenu, "Projekt ö&ffnen...", &TDlgMain::OpenProjClick);
    SaveProj = add(FileMenu, "Projekt &sichern", &TDlgMain::SaveProjClick);
    SaveProjAs = FileMenu->addAction(QStringLiteral("Projekt sichern &unter..."));
    connect(SaveProjAs, &QAction::triggered, this, [this] { SaveProjAsClick(); });
    CloseProj = add(FileMenu, "Projekt sch&ließen", &TDlgMain::CloseProjClick);
    FileMenu->addSeparator();
    Import = add(FileMenu, "&Import...", &TDlgMain::ImportClick);
    SaveTab = add(FileMenu, "&Wertetabelle...", &TDlgMain::SaveTabClick);
    FileMenu->addSeparator();
    PrinterSetup = add(FileMenu, "&Drucker einrichten...", &TDlgMain::PrinterSetupClick);
    FileMenu->addSeparator();
    Exit = FileMenu->addAction(QStringLiteral("&Beenden"));
    connect(Exit, &QAction::triggered, this, &QWidget::close);
    connect(FileMenu, &QMenu::triggered, this, [this](QAction* a) {
        if (std::find(recent_.begin(), recent_.end(), a) != recent_.end()) RecentFileClick(a);
    });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    Undo = add(edit, "&Rückgängig", &TDlgMain::UndoClick, QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo = add(edit, "&Wiederherstellen", &TDlgMain::RedoClick, QKeySequence(Qt::CTRL | Qt::Key_Y));
    Redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence::Redo});
    edit->addSeparator();
    QMenu* newMenu = edit->addMenu(QStringLiteral("&Neu"));
    NewProject = add(newMenu, "&Projekt", &TDlgMain::NewProjectClick);
    NewMotion = add(newMenu, "&Bewegungsvorgabe (abs)", &TDlgMain::NewMotionClick);
    NewAbsRestr = add(newMenu, "Restriktion (&absolut)", &TDlgMain::NewAbsRestrClick);
    NewSpecRestr = add(newMenu, "Restriktion (&Spektrum)", &TDlgMain::NewSpecRestrClick);
    NewRelRestr = add(newMenu, "Restriktion (&relativ)", &TDlgMain::NewRelRestrClick);
    EditObj = add(edit, "&Editieren", &TDlgMain::EditClick, QKeySequence(Qt::CTRL | Qt::Key_E));
    Delete = add(edit, "&Löschen", &TDlgMain::DeleteClick, QKeySequence(Qt::CTRL | Qt::Key_Delete));
    Copy = add(edit, "&Kopieren", &TDlgMain::CopyClick, QKeySequence(Qt::CTRL | Qt::Key_C));
    Paste = add(edit, "Ein&fügen", &TDlgMain::PasteClick, QKeySequence(Qt::CTRL | Qt::Key_V));
    // These keys belong to the tree: in the editor (a window of its own, whose keys the main
    // window's would otherwise share) they undo its edits and copy its coefficients.
    for (QAction* a : {Undo, Redo, Copy, Paste}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        TVProjects->addAction(a);
    }
    edit->addSeparator();
    Calc = add(edit, "&Berechnen", &TDlgMain::CalcClick, QKeySequence(Qt::CTRL | Qt::Key_B));
    CalcAll = add(edit, "&alle Berechnen", &TDlgMain::CalcAllClick);
    CalcStop = add(edit, "Berechnung &abbrechen", &TDlgMain::CalcStopClick,
                   QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Optionen"));
    QMenu* list = options->addMenu(QStringLiteral("&Projektliste"));
    DelConfirm = list->addAction(QString::fromUtf8("&Löschen mit Bestätigung"));
    DelConfirm->setCheckable(true);
    ShowEditor = list->addAction(QStringLiteral("&Editor immer anzeigen"));
    ShowEditor->setCheckable(true);
    QMenu* module = options->addMenu(QStringLiteral("&Berechnungsmodul"));
    priorities_ = new QActionGroup(this);
    priorities_->setExclusive(true);
    PrioLow = module->addAction(QString::fromUtf8("&geringe Priorität"));
    PrioNormal = module->addAction(QString::fromUtf8("&normale Priorität"));
    PrioHigh = module->addAction(QString::fromUtf8("&hohe Priorität"));
    for (QAction* a : {PrioLow, PrioNormal, PrioHigh}) {
        a->setCheckable(true);
        priorities_->addAction(a);
    }
    Extern = module->addAction(QStringLiteral("&extern ..."));
    Extern->setCheckable(true);
    priorities_->addAction(Extern);
    PrioNormal->setChecked(true);
    lastPriority_ = PrioNormal;
    connect(priorities_, &QActionGroup::triggered, this, [this](QAction* a) {
        if (a == Extern)
            ExternClick();
        else
            lastPriority_ = a;
    });
    TabOptions = add(options, "&Wertetabelle...", &TDlgMain::TabOptionsClick);
    GraphicsOptions = options->addAction(QStringLiteral("&Grafik..."));
    connect(GraphicsOptions, &QAction::triggered, this, [this] { diagrams_->showDefaults(); });
    ExportOptions = options->addAction(QStringLiteral("Bitmap-&Export..."));
    connect(ExportOptions, &QAction::triggered, this, [this] { diagrams_->showExportOptions(); });

    QMenu* windows = menuBar()->addMenu(QStringLiteral("&Fenster"));
    NewDiagram =
        add(windows, "&Diagramm", &TDlgMain::DiagramClick, QKeySequence(Qt::CTRL | Qt::Key_D));
    NewReport = windows->addAction(QStringLiteral("&Report"));
    NewReport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(NewReport, &QAction::triggered, this, [this] {
        if (Node* project = model::projectOf(selectedNode())) reports_->open(*project);
    });
    ShowBinding = DBinding->toggleViewAction();
    ShowBinding->setText(QStringLiteral("beta &begrenzt durch"));
    windows->addAction(ShowBinding);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    HelpTopics = add(help, "&Hilfethemen", &TDlgMain::HelpTopicsClick);
    About = add(help, "In&fo...", &TDlgMain::AboutClick);
}

void TDlgMain::updateMenus() {
    const bool batchRunning = batch_->running();
    // During a batch nothing in the tree is edited.
    Node* sel = batchRunning ? nullptr : selectedNode();
    const bool running = calc_->running() || batchRunning;
    Node* project = sel != nullptr ? model::projectOf(sel) : nullptr;
    // The project of a running calculation is not edited until the run is over.
    const bool locked = project != nullptr && model::projectObj(*project).Locked;
    const bool possible = sel != nullptr && calc_->calculationPossible(*sel);
    SaveProj->setEnabled(project != nullptr &&
                         model::hasProjectExtension(model::projectObj(*project).FileName));
    SaveProjAs->setEnabled(sel != nullptr);
    CloseProj->setEnabled(sel != nullptr && !locked);
    NewMotion->setEnabled(sel != nullptr && !locked);
    Calc->setEnabled(possible);
    CalcAll->setEnabled(possible);
    CalcStop->setEnabled(running);
    const bool underAbs = isKind(sel, ObjectKind::AbsSpec) ||
                          (sel != nullptr && isKind(sel->parent, ObjectKind::AbsSpec));
    const bool underRel = isKind(sel, ObjectKind::RelSpec) ||
                          (sel != nullptr && isKind(sel->parent, ObjectKind::RelSpec));
    NewAbsRestr->setEnabled(underAbs && !locked);
    NewSpecRestr->setEnabled(underAbs && !locked);
    NewRelRestr->setEnabled(underRel && !locked);
    Delete->setEnabled(sel != nullptr && !isKind(sel, ObjectKind::RelSpec) && !locked);
    const model::TRestr* restr = restrictionOf(sel);
    Copy->setEnabled(restr != nullptr);
    Paste->setEnabled(clipboard_ != nullptr && sel != nullptr && !locked &&
                      model::ProjectTree::holderFor(*sel, clipboard_->code()) != nullptr);
    // The history of the selected project, not while it is calculated.
    const QUndoGroup* group = history_->group();
    Undo->setEnabled(group->canUndo() && !locked);
    Redo->setEnabled(group->canRedo() && !locked);
    Undo->setStatusTip(group->undoText());
    Redo->setStatusTip(group->redoText());
    EditObj->setEnabled(sel != nullptr);
    NewDiagram->setEnabled(sel != nullptr);
    NewReport->setEnabled(sel != nullptr);
    const model::TPaintObj* motion = motionOf(sel);
    updateTitle();
    SaveTab->setEnabled(motion != nullptr && motion->HasResults && motion->ResultsCurrent);
    PrinterSetup->setEnabled(!QPrinterInfo::availablePrinterNames().isEmpty());
    NewProject->setEnabled(!batchRunning);
    OpenProj->setEnabled(!batchRunning);
    Import->setEnabled(!batchRunning);
    // A project opened during a batch would be calculated by it.
    for (QAction* a : recent_) a->setEnabled(!batchRunning);
}

// ---- messages ----

void TDlgMain::inform(const model::Message& m) {
    (void)prompts_->message(this, m, Buttons::Ok);
}

Answer TDlgMain::ask(const model::Message& m, Buttons buttons) {
    return prompts_->message(this, m, buttons);
}

// ---- help ----

QStringList TDlgMain::helpCandidates(QString programDir) {
    if (programDir.isEmpty()) programDir = QCoreApplication::applicationDirPath();
    // Beside the program, where the package puts it, then the sources of a build tree.
    QStringList list{programDir + "/" + kHelpFile, programDir + "/../share/tervana/" + kHelpFile};
#ifdef TERVANA_HELP_SOURCE
    list << QStringLiteral(TERVANA_HELP_SOURCE);
#endif
    return list;
}

void TDlgMain::HelpTopicsClick() {
    const QStringList candidates = helpCandidates();
    const auto found = std::find_if(candidates.begin(), candidates.end(),
                                    [](const QString& f) { return QFileInfo(f).isFile(); });
    if (found == candidates.end()) {
        inform(model::errorMessage(kNoHelp));
        return;
    }
    const QString file = QFileInfo(*found).absoluteFilePath();
    if (prompts_->openUrl(QUrl::fromLocalFile(file))) return;
    // No browser: the program's own window.
    if (DlgHelp == nullptr) DlgHelp = new THelpWindow(this);
    DlgHelp->showManual(file);
    DlgHelp->show();
    DlgHelp->raise();
    DlgHelp->activateWindow();
}

void TDlgMain::AboutClick() {
    (void)prompts_->exec(*DlgAbout);
}

// ---- closing ----

bool TDlgMain::anyProjectChanged() const {
    for (const auto& r : tree_.roots)
        if (model::projectObj(*r).Changed) return true;
    return false;
}

void TDlgMain::closeEvent(QCloseEvent* event) {
    if (calc_->running() || batch_->running()) {
        if (ask({kCloseWhileRunning, model::MessageKind::Confirmation}, Buttons::YesNo) !=
            Answer::Yes) {
            event->ignore();
            return;
        }
        if (batch_->running())
            batch_->stop();
        else
            calc_->stop();
    }
    if (anyProjectChanged() &&
        ask({kCloseUnsaved, model::MessageKind::Confirmation}, Buttons::YesNo) != Answer::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    // The program ends with the main window: the settings are written now, and every other
    // window goes too (an editor or a diagram left open would keep the program running, and
    // what was edited there would be lost without a question).
    writeSettings();
    diagrams_->writeSettings(*net::openUserSettings());
    const std::vector<graphics::TGrafik*> diagrams = diagrams_->windows();
    for (graphics::TGrafik* g : diagrams) g->close();
    for (const auto& r : tree_.roots)
        if (QWidget* report = reports_->windowOf(*r)) report->close();
    // A floating panel stays as it is: the settings keep it shown.
    for (QWidget* w : findChildren<QWidget*>())
        if (w->isWindow() && w->isVisible() && w != DBinding) w->close();
}

void TDlgMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The editor stays beside the main window when this one grows under it.
    if (DlgRestr != nullptr && DlgRestr->isVisible() &&
        DlgRestr->frameGeometry().intersects(frameGeometry()))
        DlgRestr->placeBesideMainWindow();
}

void TDlgMain::updateTitle() {
    // The selected project, marked when changed, in the form the platform gives titles
    // ("name — program"), which it then leaves alone.
    const Node* project = model::projectOf(selectedNode());
    const QString product = QString::fromUtf8(kProductName);
    setWindowTitle(project == nullptr ? product
                                      : itemText(*project) + QStringLiteral(" — ") + product);
}

} // namespace ui
