#include "main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QSettings>
#include <QStatusBar>
#include <QTreeWidgetItem>
#include <QUrl>

#include <functional>

#include "about.h"
#include "batch.h"
#include "calculation.h"
#include "import.h"
#include "platform.h"
#include "project_file.h"
#include "project_tree_widget.h"
#include "result_code.h"
#include "tab_opt.h"

namespace ui {

using model::Node;
using model::ObjectKind;

namespace {

// Values of the Options key: name, default and the action that shows it.
struct OptionFlag {
    const char* name;
    QAction* TDlgMain::*action;
};
constexpr OptionFlag kOptionFlags[] = {
    {"DelConfirm", &TDlgMain::DelConfirm},
    {"ShowEditor", &TDlgMain::ShowEditor},
};
constexpr int kDefaultPriorityClass = 2; // 1 low, 2 normal, 3 high
constexpr int kRemotePriorityClass = 4;  // "&extern ..."

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

bool isKind(const Node* n, ObjectKind k) {
    return n != nullptr && n->kind() == k;
}

// The motion a node stands for in the value table: itself, or a restriction's parent.
model::TPaintObj* motionOf(Node* n) {
    if (n == nullptr) return nullptr;
    if (n->kind() == ObjectKind::Restriction && n->parent != nullptr) n = n->parent;
    return n->as<model::TPaintObj>();
}

} // namespace

QByteArray encodePosition(const WindowPosition& p) {
    QByteArray bytes;
    for (int v : {p.left, p.top, p.width, p.height}) {
        const auto u = static_cast<quint32>(static_cast<qint32>(v));
        for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
    return bytes;
}

bool decodePosition(const QByteArray& bytes, WindowPosition& p) {
    if (bytes.size() != 16) return false;
    int v[4];
    for (int k = 0; k < 4; ++k) {
        quint32 u = 0;
        for (int i = 0; i < 4; ++i)
            u |= static_cast<quint32>(static_cast<unsigned char>(bytes[4 * k + i])) << (8 * i);
        v[k] = static_cast<qint32>(u);
    }
    p = {v[0], v[1], v[2], v[3]};
    return true;
}

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
    DlgTab = new TDlgTab(this);
    DlgAbout = new TDlgAbout(this);
    buildMenus();

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

    connect(calc_.get(), &calcctl::Calculation::runStarted, this, &TDlgMain::calcRunStarted);
    connect(calc_.get(), &calcctl::Calculation::finished, this, &TDlgMain::calcFinished);
    connect(calc_.get(), &calcctl::Calculation::statusText, this,
            [this](const QString& text) { SB->showMessage(text); });
    connect(calc_.get(), &calcctl::Calculation::listingLine, this, [this](const QString& line) {
        if (calc_->running() && !line.trimmed().isEmpty()) SB->showMessage(line.trimmed());
    });
    connect(batch_.get(), &calcctl::BatchCalculation::finished, this, &TDlgMain::batchFinished);

    tree_.addObserver(*this);
    readSettings();
    updateMenus();
}

TDlgMain::~TDlgMain() {
    // A run that is still going ends here without touching the window.
    tree_.removeObserver(*this);
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
    QMenu* newMenu = edit->addMenu(QStringLiteral("&Neu"));
    NewProject = add(newMenu, "&Projekt", &TDlgMain::NewProjectClick);
    NewMotion = add(newMenu, "&Bewegungsvorgabe (abs)", &TDlgMain::NewMotionClick);
    NewAbsRestr = add(newMenu, "Restriktion (&absolut)", &TDlgMain::NewAbsRestrClick);
    NewSpecRestr = add(newMenu, "Restriktion (&Spektrum)", &TDlgMain::NewSpecRestrClick);
    NewRelRestr = add(newMenu, "Restriktion (&relativ)", &TDlgMain::NewRelRestrClick);
    Delete = add(edit, "&Löschen", &TDlgMain::DeleteClick, QKeySequence(Qt::CTRL | Qt::Key_Delete));
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
    PrioNormal->setChecked(true);
    connect(priorities_, &QActionGroup::triggered, this, [this] { remotePriority_ = false; });
    TabOptions = add(options, "&Wertetabelle...", &TDlgMain::TabOptionsClick);

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
    const model::TPaintObj* motion = motionOf(sel);
    SaveTab->setEnabled(motion != nullptr && motion->HasResults && motion->ResultsCurrent);
    PrinterSetup->setEnabled(!QPrinterInfo::availablePrinterNames().isEmpty());
    NewProject->setEnabled(!batchRunning);
    OpenProj->setEnabled(!batchRunning);
    Import->setEnabled(!batchRunning);
    // A project opened during a batch would be calculated by it.
    for (QAction* a : recent_) a->setEnabled(!batchRunning);
}

// ---- the tree ----

model::Node* TDlgMain::selectedNode() const {
    return tree_.selected();
}

QTreeWidgetItem* TDlgMain::itemOf(const model::Node* node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

void TDlgMain::selectNode(model::Node* node) {
    if (node == tree_.selected())
        showSelection(node); // the view may show another item after a collapse
    else
        tree_.select(node); // announced to every observer, this window among them
    updateMenus();
}

bool TDlgMain::isAlive(const model::Node* node) const {
    return node != nullptr && items_.count(node) != 0;
}

// ---- the tree as an observer of the model ----

QTreeWidgetItem* TDlgMain::makeItem(const model::Node& n) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, qs(n.obj().Caption));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&n)));
    items_[&n] = item;
    for (const auto& c : n.children) item->addChild(makeItem(*c));
    return item;
}

void TDlgMain::forgetItems(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) forgetItems(item->child(i));
    items_.erase(ProjectTreeWidget::nodeOf(item));
}

void TDlgMain::applyExpansion(QTreeWidgetItem* item) {
    const Node* n = ProjectTreeWidget::nodeOf(item);
    if (expanded_.count(n) != 0 && !item->isExpanded()) item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i) applyExpansion(item->child(i));
}

void TDlgMain::syncChildren(const model::Node* parent) {
    QTreeWidgetItem* parentItem = parent != nullptr ? itemOf(parent) : nullptr;
    if (parent != nullptr && parentItem == nullptr) return; // made with its own parent's item
    const auto& kids = parent != nullptr ? parent->children : tree_.roots;
    auto childAt = [&](int i) {
        return parentItem != nullptr ? parentItem->child(i) : TVProjects->topLevelItem(i);
    };
    auto count = [&] {
        return parentItem != nullptr ? parentItem->childCount() : TVProjects->topLevelItemCount();
    };
    auto insert = [&](int i, QTreeWidgetItem* item) {
        if (parentItem != nullptr)
            parentItem->insertChild(i, item);
        else
            TVProjects->insertTopLevelItem(i, item);
    };
    // Only what is new or out of place is touched: the other items keep their state.
    for (int i = 0; i < static_cast<int>(kids.size()); ++i) {
        const Node* k = kids[static_cast<std::size_t>(i)].get();
        QTreeWidgetItem* item = itemOf(k);
        if (item != nullptr && i < count() && childAt(i) == item) continue;
        if (item == nullptr) {
            item = makeItem(*k);
        } else if (QTreeWidgetItem* up = item->parent()) {
            up->removeChild(item);
        } else if (const int at = TVProjects->indexOfTopLevelItem(item); at >= 0) {
            TVProjects->takeTopLevelItem(at);
        }
        insert(i, item);
        applyExpansion(item);
    }
    while (count() > static_cast<int>(kids.size())) {
        QTreeWidgetItem* extra = childAt(count() - 1);
        forgetItems(extra);
        delete extra;
    }
}

void TDlgMain::notifyChanged(const model::Node& node, model::ChangeFlags what) {
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        if (any(what & model::ChangeFlags::Structure)) {
            if (node.parent == nullptr) syncChildren(nullptr);
            syncChildren(&node);
            // A moved item may have taken the current one with it.
            showSelection(tree_.selected());
        }
        if (QTreeWidgetItem* item = itemOf(&node)) item->setText(0, qs(node.obj().Caption));
    }
    rebuilding_ = false;
    fitWidth();
    updateMenus();
}

void TDlgMain::notifyRemoved(const model::Node& node) {
    expanded_.erase(&node);
    expandedBeforeRun_.erase(&node);
    if (calcNode_ == &node) calcNode_ = nullptr;
    QTreeWidgetItem* item = itemOf(&node);
    if (item == nullptr) return;
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        forgetItems(item);
        delete item;
    }
    rebuilding_ = false;
}

void TDlgMain::notifySelection(const model::Node* node) {
    showSelection(node);
    fitWidth();
    updateMenus();
}

void TDlgMain::showSelection(const model::Node* node) {
    QTreeWidgetItem* item = itemOf(node);
    rebuilding_ = true;
    {
        const QSignalBlocker block(TVProjects);
        if (item != nullptr) {
            for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
                const Node* pn = ProjectTreeWidget::nodeOf(p);
                if (pn->kind() == ObjectKind::Project && pn->as<model::TProject>()->Locked)
                    continue;
                expanded_.insert(pn);
                if (!p->isExpanded()) p->setExpanded(true);
            }
        }
        if (TVProjects->currentItem() != item) TVProjects->setCurrentItem(item);
        if (item != nullptr) TVProjects->scrollToItem(item);
    }
    rebuilding_ = false;
}

void TDlgMain::TVProjectsChange(QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (rebuilding_) return;
    tree_.select(ProjectTreeWidget::nodeOf(current));
    updateMenus();
}

void TDlgMain::TVProjectsExpanding(QTreeWidgetItem* item) {
    if (rebuilding_) return;
    Node* n = ProjectTreeWidget::nodeOf(item);
    // A project whose calculation runs is not opened.
    if (n != nullptr && n->kind() == ObjectKind::Project && model::projectObj(*n).Locked) {
        const QSignalBlocker block(TVProjects);
        item->setExpanded(false);
        return;
    }
    expanded_.insert(n);
    fitWidth();
}

void TDlgMain::fitWidth() {
    if (!isVisible() || isMaximized() || isFullScreen()) return;
    const QFontMetrics fm(TVProjects->font());
    const int indent = TVProjects->indentation();
    int widest = -1;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int level) {
        widest = std::max(widest, fm.horizontalAdvance(item->text(0)) + level * indent);
        if (item->isExpanded())
            for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), level + 1);
    };
    for (int i = 0; i < TVProjects->topLevelItemCount(); ++i) walk(TVProjects->topLevelItem(i), 0);
    const int tree = widest < 0 ? 280 : widest + 2 * indent + 2 * TVProjects->frameWidth() + 20;
    const int extra = width() - TVProjects->width();
    // The menu bar stays whole.
    resize(std::max(tree + extra, menuBar()->sizeHint().width()), height());
}

// ---- messages ----

void TDlgMain::inform(const model::Message& m) {
    (void)prompts_->message(this, m, Buttons::Ok);
}

Answer TDlgMain::ask(const model::Message& m, Buttons buttons) {
    return prompts_->message(this, m, buttons);
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

void TDlgMain::NewMotionClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    addNew(tree_.newMotionSpec(*sel));
}

void TDlgMain::NewAbsRestrClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    addNew(tree_.newAbsRestriction(*sel));
}

void TDlgMain::NewSpecRestrClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    addNew(tree_.newSpectrumRestriction(*sel));
}

void TDlgMain::NewRelRestrClick() {
    Node* sel = selectedNode();
    if (sel == nullptr) return;
    addNew(tree_.newRelRestriction(*sel));
}

// ---- deletion ----

void TDlgMain::DeleteClick() {
    Node* n = selectedNode();
    if (n == nullptr || n->kind() == ObjectKind::RelSpec) return;
    Node* project = model::projectOf(n);
    if (project == nullptr || model::projectObj(*project).Locked) return;
    tree_.Deleting = true;
    if (DelConfirm->isChecked() &&
        ask({model::ProjectTree::deleteQuestion(*n), model::MessageKind::Confirmation},
            Buttons::YesNo) != Answer::Yes) {
        tree_.Deleting = false;
        return;
    }
    // The model removes the node, announces every removed node and the next selection.
    tree_.Deleting = false;
    tree_.deleteNode(*n);
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
    auto result = model::importFile(tree_, full.toStdString(), sel, newProject);
    if (const auto* m = std::get_if<model::Message>(&result)) {
        (void)ask(*m, m->text == model::kImportOpenFailed ? Buttons::Abort : Buttons::Ok);
        updateMenus();
        return;
    }
    Node* project = std::get<Node*>(result);
    if (project == nullptr) return;
    lastImportPath_ = QFileInfo(full).absolutePath().left(255);
    lastFType_ = type;
    model::refreshCaptions(*project);
    selectNode(project);
}

void TDlgMain::SaveTabClick() {
    const model::TPaintObj* motion = motionOf(selectedNode());
    if (motion == nullptr) return;
    FileRequest r;
    r.title = QStringLiteral("Wertetabelle sichern");
    r.directory = lastK4PPath_;
    r.filters = {QStringLiteral("Textdateien (*.tab)"), QStringLiteral("alle Dateien (*.*)")};
    r.defaultSuffix = QStringLiteral("tab");
    const QString path = prompts_->saveFile(this, r);
    if (path.isEmpty()) return;
    const std::string table = model::valueTable(*motion, tableSettings_);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(table.data(), static_cast<qint64>(table.size())) !=
            static_cast<qint64>(table.size())) {
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

// ---- recent files ----

QStringList TDlgMain::recentFiles() const {
    QStringList list;
    for (QAction* a : recent_) list << a->data().toString();
    return list;
}

void TDlgMain::appendRecentItem(const QString& path) {
    if (recentSeparator_ == nullptr) recentSeparator_ = FileMenu->addSeparator();
    // The caption is the full path, shown as it is: an "&" in it is no access key.
    QString caption = path;
    caption.replace(QChar('&'), QStringLiteral("&&"));
    QAction* a = new QAction(caption, FileMenu);
    a->setData(path);
    a->setEnabled(!batch_->running());
    FileMenu->addAction(a);
    recent_.push_back(a);
}

void TDlgMain::addRecentFile(const QString& path) {
    for (QAction* a : recent_)
        if (a->data().toString().compare(path, Qt::CaseInsensitive) == 0) return;
    if (recent_.size() >= static_cast<std::size_t>(kMaxRecentFiles)) {
        FileMenu->removeAction(recent_.front());
        delete recent_.front();
        recent_.erase(recent_.begin());
    }
    appendRecentItem(path);
}

void TDlgMain::RecentFileClick(QAction* item) {
    if (batch_->running()) return;
    const QString path = item->data().toString();
    auto result = model::openRecentProject(tree_, path.toStdString());
    if (const auto* m = std::get_if<model::Message>(&result)) {
        inform(*m);
        updateMenus();
        return;
    }
    Node* n = std::get<Node*>(result);
    model::sortTree(*n);
    selectNode(n);
}

// ---- drag and drop ----

void TDlgMain::copyProject(model::Node* project) {
    if (!isAlive(project) || project->parent != nullptr) return;
    Node& copy = tree_.copyProject(*project);
    model::refreshCaptions(copy);
    selectNode(&copy);
}

// ---- calculation ----

void TDlgMain::CalcClick() {
    Node* sel = selectedNode();
    if (sel == nullptr || calc_->running() || batch_->running()) return;
    calcNode_ = sel;
    calc_->settings.priority = PrioLow->isChecked()    ? calcctl::Priority::Low
                               : PrioHigh->isChecked() ? calcctl::Priority::High
                                                       : calcctl::Priority::Normal;
    calc_->calculate(*sel);
}

void TDlgMain::CalcAllClick() {
    if (calc_->running() || batch_->running()) return;
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
        for (const model::Message& m : calc_->messages()) inform(m);
    }
    updateMenus();
}

void TDlgMain::batchFinished(const model::Message& summary) {
    TVProjects->setEnabled(true);
    if (calcNode_ != nullptr) selectNode(calcNode_);
    updateMenus();
    inform(summary);
}

// ---- help ----

QStringList TDlgMain::helpCandidates() {
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList list{dir + "/" + kHelpFile, dir + "/../share/doc/tervana/" + kHelpFile};
#ifdef TERVANA_HELP_SOURCE
    list << QStringLiteral(TERVANA_HELP_SOURCE);
#endif
    return list;
}

void TDlgMain::HelpTopicsClick() {
    for (const QString& f : helpCandidates()) {
        if (!QFileInfo(f).isFile()) continue;
        if (!prompts_->openUrl(QUrl::fromLocalFile(QFileInfo(f).absoluteFilePath())))
            inform(model::errorMessage(kNoBrowser));
        return;
    }
    inform(model::errorMessage(kNoBrowser));
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
}

// ---- settings ----

void TDlgMain::readSettings() {
    QSettings s(QString::fromUtf8(kSettingsOrganisation), QString::fromUtf8(kSettingsApplication));
    s.beginGroup(QString::fromUtf8(kFilesGroup));
    lastK4PPath_ = s.value(QStringLiteral("LastK4PPath")).toString().left(255);
    lastImportPath_ = s.value(QStringLiteral("LastImportPath")).toString().left(255);
    bool ok = false;
    lastFType_ = s.value(QStringLiteral("LastFType"), 1).toInt(&ok);
    if (!ok || lastFType_ < 1 || lastFType_ > 3) lastFType_ = 1;
    for (int i = 1;; ++i) {
        const QString f = s.value(QStringLiteral("File_%1").arg(i)).toString();
        if (f.isEmpty()) break;
        appendRecentItem(f);
    }
    s.endGroup();

    s.beginGroup(QString::fromUtf8(kOptionsGroup));
    if (!s.childKeys().isEmpty()) {
        for (const OptionFlag& f : kOptionFlags)
            (this->*f.action)->setChecked(s.value(QString::fromUtf8(f.name), 0).toInt() != 0);
        switch (s.value(QStringLiteral("PriorityClass"), kDefaultPriorityClass).toInt()) {
        case 1:
            PrioLow->setChecked(true);
            break;
        case 3:
            PrioHigh->setChecked(true);
            break;
        case kRemotePriorityClass:
            // No remote calculation here: it runs locally at normal priority, and the choice
            // stays stored until the user picks another.
            PrioNormal->setChecked(true);
            remotePriority_ = true;
            break;
        default:
            PrioNormal->setChecked(true);
            break;
        }
        WindowPosition p;
        if (decodePosition(s.value(QStringLiteral("Position")).toByteArray(), p)) {
            move(p.left, p.top);
            resize(std::max(p.width, 100), std::max(p.height, 100));
        }
    } else {
        const WindowPosition p;
        move(p.left, p.top);
        resize(p.width, p.height);
    }
    s.endGroup();
}

void TDlgMain::writeSettings() {
    QSettings s(QString::fromUtf8(kSettingsOrganisation), QString::fromUtf8(kSettingsApplication));
    s.beginGroup(QString::fromUtf8(kFilesGroup));
    s.setValue(QStringLiteral("HomePath"), QCoreApplication::applicationDirPath());
    s.setValue(QStringLiteral("LastK4PPath"), lastK4PPath_);
    s.setValue(QStringLiteral("LastImportPath"), lastImportPath_);
    s.setValue(QStringLiteral("LastFType"), lastFType_);
    for (const QString& k : s.childKeys())
        if (k.startsWith(QStringLiteral("File_"))) s.remove(k);
    for (std::size_t i = 0; i < recent_.size(); ++i)
        s.setValue(QStringLiteral("File_%1").arg(i + 1), recent_[i]->data().toString());
    s.endGroup();

    s.beginGroup(QString::fromUtf8(kOptionsGroup));
    for (const OptionFlag& f : kOptionFlags)
        s.setValue(QString::fromUtf8(f.name), (this->*f.action)->isChecked() ? 1 : 0);
    s.setValue(QStringLiteral("PriorityClass"), remotePriority_         ? kRemotePriorityClass
                                                : PrioLow->isChecked()  ? 1
                                                : PrioHigh->isChecked() ? 3
                                                                        : 2);
    const QRect g = geometry();
    s.setValue(QStringLiteral("Position"),
               encodePosition({pos().x(), pos().y(), g.width(), g.height()}));
    s.endGroup();
}

} // namespace ui
