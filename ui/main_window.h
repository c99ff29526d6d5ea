// The main window: all open projects in one tree, every command in the menu bar, the user
// settings, and the calculation of projects through the calculation control.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <QString>

#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <variant>
#include <vector>

#include "graphics/prompts.h"
#include "model/message.h"
#include "model/observer.h"
#include "model/tree.h"
#include "model/value_table.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStatusBar;
class QTreeWidgetItem;

namespace graphics {
class DiagramWindows;
class ReportWindows;
} // namespace graphics

namespace calcctl {
class Calculation;
class BatchCalculation;
} // namespace calcctl

namespace net {
class TDlgRConfig;
class TDlgRProgress;
} // namespace net

namespace ui {

// The dialogs of every window.
using graphics::Answer;
using graphics::Buttons;
using graphics::DialogPrompts;
using graphics::FileRequest;
using graphics::Prompts;

class ProjectTreeWidget;
class TBindingPanel;
class THelpWindow;
class TreeHistory;
class TDlgTab;
class TDlgRestr;
class TDlgAbout;

inline constexpr int kMaxRecentFiles = 6;
inline constexpr const char* kFilesGroup = "V0398/Files";
inline constexpr const char* kOptionsGroup = "V0398/Options";

inline constexpr const char* kCloseWhileRunning = "Laufende Berechnung abbrechen?";
inline constexpr const char* kCloseUnsaved =
    "Es wurden nicht alle Änderungen gesichert.\rWollen Sie das Programm trotzdem beenden?";
inline constexpr const char* kNoHelp = "Die Hilfe (tvhelp.html) wurde nicht gefunden.";
inline constexpr const char* kHelpFile = "tvhelp.html";

// The window geometry as the settings keep it: Left, Top, Width, Height.
struct WindowPosition {
    int left = 254, top = 204, width = 301, height = 472;
};
QByteArray encodePosition(const WindowPosition& p);              // 16 bytes, little-endian
bool decodePosition(const QByteArray& bytes, WindowPosition& p); // false unless 16 bytes

// The main window observes the projects (model::ProjectObserver): the tree view follows each
// change item by item, keeping expansion and selection, and follows the selection the model
// announces.
class TDlgMain : public QMainWindow, public model::ProjectObserver {
    Q_OBJECT
public:
    // Without prompts the real dialogs are used.
    explicit TDlgMain(std::unique_ptr<Prompts> prompts = nullptr, QWidget* parent = nullptr);
    ~TDlgMain() override;

    model::ProjectTree& projects() { return tree_; }
    // The undo history of the tree operations, one per project.
    TreeHistory& history() { return *history_; }
    calcctl::Calculation& calculation() { return *calc_; }
    calcctl::BatchCalculation& batch() { return *batch_; }
    ProjectTreeWidget* TVProjects = nullptr;
    QStatusBar* SB = nullptr;
    // In the status bar: the progress of a run, then its result; wrapped to the window's width.
    QLabel* LRunStatus = nullptr;
    TDlgTab* DlgTab = nullptr;
    net::TDlgRConfig* DlgRConfig = nullptr;     // "Remote-Config", kept for the program run
    net::TDlgRProgress* DlgRProgress = nullptr; // "externe Berechnung"
    TDlgRestr* DlgRestr = nullptr;              // the editor
    TBindingPanel* DBinding = nullptr;          // "beta begrenzt durch", under the tree

    // The selection is the model's (ProjectTree::selected); selectNode selects through the
    // model, which announces it to every observer.
    model::Node* selectedNode() const;
    void selectNode(model::Node* node);
    QTreeWidgetItem* itemOf(const model::Node* node) const;
    void updateMenus();

    void notifyChanged(const model::Node& node, model::ChangeFlags what) override;
    void notifyRemoved(const model::Node& node) override;
    void notifyChangesDone() override;
    void notifySelection(const model::Node* node) override;
    // "Projekt ö&ffnen..." without its dialog; the project node, or none after a message.
    model::Node* openProjectFile(const QString& path);

    QStringList recentFiles() const;
    void addRecentFile(const QString& path);
    bool anyProjectChanged() const;

    // Menu commands, each an action of the menu bar.
    QAction* OpenProj = nullptr;
    QAction* SaveProj = nullptr;
    QAction* SaveProjAs = nullptr;
    QAction* CloseProj = nullptr;
    QAction* Import = nullptr;
    QAction* SaveTab = nullptr;
    QAction* PrinterSetup = nullptr;
    QAction* Exit = nullptr;
    QAction* NewProject = nullptr;
    QAction* NewMotion = nullptr;
    QAction* NewAbsRestr = nullptr;
    QAction* NewSpecRestr = nullptr;
    QAction* NewRelRestr = nullptr;
    QAction* EditObj = nullptr;
    QAction* Delete = nullptr;
    QAction* Undo = nullptr;  // "&Rückgängig": the last tree operation of the selected project
    QAction* Redo = nullptr;  // "&Wiederherstellen"
    QAction* Copy = nullptr;  // "&Kopieren": the selected restriction
    QAction* Paste = nullptr; // "Ein&fügen": under the selected motion specification
    QAction* Calc = nullptr;
    QAction* CalcAll = nullptr;
    QAction* CalcStop = nullptr;
    QAction* DelConfirm = nullptr;
    QAction* ShowEditor = nullptr;
    QAction* PrioLow = nullptr;
    QAction* PrioNormal = nullptr;
    QAction* PrioHigh = nullptr;
    QAction* Extern = nullptr; // "&extern ..."
    QAction* TabOptions = nullptr;
    QAction* GraphicsOptions = nullptr; // "&Grafik..."
    QAction* ExportOptions = nullptr;   // "Bitmap-&Export..."
    QAction* NewDiagram = nullptr;      // "&Fenster" → "&Diagramm"
    QAction* NewReport = nullptr;       // "&Fenster" → "&Report"
    QAction* ShowBinding = nullptr;     // "&Fenster" → "beta &begrenzt durch" (the panel)
    graphics::DiagramWindows& diagrams() { return *diagrams_; }
    graphics::ReportWindows& reports() { return *reports_; }
    QAction* HelpTopics = nullptr;
    QAction* About = nullptr;
    QMenu* FileMenu = nullptr;

    QString lastProjectDir() const { return lastK4PPath_; }
    QString lastImportDir() const { return lastImportPath_; }
    int lastImportType() const { return lastFType_; }
    // Where the help is looked for, first found first, for the program in programDir (empty:
    // this program's folder).
    static QStringList helpCandidates(QString programDir = {});
    // The manual's window, made when no browser shows it.
    THelpWindow* DlgHelp = nullptr;

    // Moves a restriction under the motion specification of target (dropping it there), as one
    // step of the project's history.
    void moveRestriction(model::Node* restriction, model::Node* target);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void readSettings();
    void writeSettings();
    QTreeWidgetItem* makeItem(const model::Node& n);
    void forgetItems(QTreeWidgetItem* item);
    void applyExpansion(QTreeWidgetItem* item);
    void syncChildren(const model::Node* parent);
    void showSelection(const model::Node* node);
    void fitWidth();
    void inform(const model::Message& m);
    Answer ask(const model::Message& m, Buttons buttons);
    bool isAlive(const model::Node* node) const;
    using NewResult = std::variant<model::Node*, model::Message>;
    void addNew(const NewResult& result);
    // A "&Neu" command on the selection, as one step of its project's history.
    void newObject(const std::function<NewResult(model::Node&)>& op);

    void TVProjectsChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void TVProjectsExpanding(QTreeWidgetItem* item);
    void OpenProjClick();
    void SaveProjClick();
    bool SaveProjAsClick();
    void CloseProjClick();
    void ImportClick();
    void SaveTabClick();
    void PrinterSetupClick();
    void NewProjectClick();
    void NewMotionClick();
    void NewAbsRestrClick();
    void NewSpecRestrClick();
    void NewRelRestrClick();
    void DeleteClick();
    void UndoClick();
    void RedoClick();
    void CopyClick();
    void PasteClick();
    void updateTitle();
    QString itemText(const model::Node& n) const;
    void EditClick();
    void CalcClick();
    void CalcAllClick();
    void CalcStopClick();
    void ExternClick();
    // With "&extern ..." the settings window first: false when it is cancelled.
    bool chooseRunner();
    void TabOptionsClick();
    void DiagramClick();
    void HelpTopicsClick();
    void AboutClick();
    void RecentFileClick(QAction* item);
    void appendRecentItem(const QString& path);
    void copyProject(model::Node* project);
    void calcRunStarted(model::Node* project);
    void calcFinished(int code);
    void showRunStatus(const QString& text);
    void batchFinished(const model::Message& summary);
    bool closeProject(model::Node* project);

    std::unique_ptr<Prompts> prompts_;
    model::ProjectTree tree_;
    std::unique_ptr<TreeHistory> history_;     // goes before the projects
    std::unique_ptr<model::TRestr> clipboard_; // "&Kopieren"
    std::set<const model::Node*> expanded_;
    std::unordered_map<const model::Node*, QTreeWidgetItem*> items_;
    bool rebuilding_ = false;
    std::unique_ptr<calcctl::Calculation> calc_;
    std::unique_ptr<calcctl::BatchCalculation> batch_;
    std::unique_ptr<graphics::DiagramWindows> diagrams_; // goes before the projects
    std::unique_ptr<graphics::ReportWindows> reports_;   // likewise
    model::Node* calcNode_ = nullptr;                    // the node "&Berechnen" was chosen on
    std::set<const model::Node*> expandedBeforeRun_;
    QString lastK4PPath_;
    QString lastImportPath_;
    int lastFType_ = 1;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recent_; // caption: the path with "&" doubled; data: the path
    QActionGroup* priorities_ = nullptr;
    QAction* lastPriority_ = nullptr; // the choice before "&extern ...", back when it is cancelled
    QPrinter printer_;
    TDlgAbout* DlgAbout = nullptr;
    model::TableSettings tableSettings_;
};

} // namespace ui
