// "Eingabe": the editor beside the main window. It shows the one selected object of the project
// tree — a project, an absolute motion specification or a restriction (a group member through its
// restriction) — and writes every change into it at once through the model, which tells every
// window. Per object it offers "rückgängig" (back to the state at selection) and Ctrl+Z / Ctrl+Y
// through the committed changes; for a calculated motion it lists the Fourier coefficients.
#pragma once

#include <QWidget>

#include <functional>
#include <set>
#include <vector>

#include "graphics/prompts.h"
#include "model/coefficients.h"
#include "model/editing.h"
#include "model/observer.h"
#include "model/tree.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QUndoStack;

namespace ui {

class TCountEdit;
class TDlgSelOpt;
class TRealEdit;

class TDlgRestr : public QWidget, public model::ProjectObserver {
    Q_OBJECT
public:
    TDlgRestr(model::ProjectTree& tree, graphics::Prompts& prompts, QWidget* mainWindow);
    ~TDlgRestr() override;

    // Shows node (nullptr: nothing): a new snapshot for "rückgängig", an empty undo stack.
    void Select(model::Node* node);
    // Fills the window from the current object.
    void Refresh();
    // The window's place: 20 pixels right of the main window, else left of it, else inside the
    // screen's right edge; 20 pixels below its top.
    void placeBesideMainWindow();
    // The node whose object is shown (a group member's restriction), if any.
    model::Node* current() const { return current_; }
    QUndoStack* undoStack() const { return undo_; }
    // The text of the Error page and whether the shown object is read-only.
    QString errorText() const;
    bool readOnly() const { return readOnly_; }

    void notifyChanged(const model::Node& node, model::ChangeFlags what) override;
    void notifyRemoved(const model::Node& node) override;
    void notifyChangesDone() override;

    // The pages.
    QStackedWidget* Pages = nullptr;
    QWidget *ProjHeader = nullptr, *HSHeader = nullptr, *BG = nullptr, *Harm = nullptr,
            *Error = nullptr;
    QLabel* LError = nullptr;
    QLabel* LReason = nullptr; // why the object is inconsistent
    // Project.
    QLineEdit* EdPInfo = nullptr;
    QLabel *LBGCount = nullptr, *LGOCount = nullptr, *LWarn = nullptr;
    QCheckBox* CBAdvOpt = nullptr;
    TRealEdit *EdD5 = nullptr, *EdD4 = nullptr, *EdV1 = nullptr;
    QCheckBox* CBWholeCycle = nullptr; // "Schranken auf dem ganzen Zyklus einhalten"
    TRealEdit* EdCycleTol = nullptr;   // its tolerance in per cent of the band
    QLabel* LResult = nullptr;         // the result of the last calculation while current
    // Absolute motion specification.
    QLineEdit* EdShortName = nullptr;
    TCountEdit* SEdHarm = nullptr;
    TRealEdit *REdTheta = nullptr, *REdEtaMax = nullptr, *REdvEtaMax = nullptr;
    QCheckBox* CBetavar = nullptr;
    QLabel* LEtaRes = nullptr;
    TRealEdit *EdExtEta = nullptr, *EdTEta = nullptr, *EdTTheta = nullptr;
    QPushButton *BtRez2 = nullptr, *BtEta = nullptr, *BtTheta = nullptr, *BtTest = nullptr;
    QGroupBox* Coefficients = nullptr;
    QComboBox* CBResSelect = nullptr;
    QSpinBox* SEDerive = nullptr;
    QLabel* LFKeta = nullptr;
    QTableWidget* FKGrid = nullptr;
    QRadioButton *RBAbs = nullptr, *RBVAbs = nullptr;
    // Absolute and relative restrictions.
    QComboBox* CBOrd = nullptr;
    QRadioButton *RBPoint = nullptr, *RBInterval = nullptr;
    QLabel *LPhiPoint = nullptr, *LPhiRange = nullptr, *Ls = nullptr, *LLe1 = nullptr,
           *LLe2 = nullptr;
    TRealEdit *REdphimin = nullptr, *REdphimax = nullptr, *REdvphimin = nullptr,
              *REdvphimax = nullptr;
    QCheckBox *CBvphimin = nullptr, *CBvphimax = nullptr, *CBGlob = nullptr;
    TRealEdit *REdglphi1 = nullptr, *REdGlphi2 = nullptr, *REdGlphi3 = nullptr,
              *REdGlphi4 = nullptr;
    QCheckBox *CBsmin = nullptr, *CBvsmin = nullptr, *CBsmax = nullptr, *CBvsmax = nullptr;
    TRealEdit *REdvsmin = nullptr, *REdsmin = nullptr, *REdvsmax = nullptr, *REdsmax = nullptr;
    QLabel *LVsmin = nullptr, *LVsmax = nullptr; // "Maximalforderung:" beside the variable bounds
    QPushButton* BtUndo = nullptr;
    // Spectrum restrictions.
    QRadioButton *CBHrmp = nullptr, *CBHrm = nullptr;
    TCountEdit *SpEdp = nullptr, *SpEdk = nullptr;
    TRealEdit *REdccon = nullptr, *REdcvar = nullptr;
    QCheckBox* CBcvar = nullptr;
    QPushButton* BtUndoHarm = nullptr;

    // The coefficient lines that "Werte kopieren" and "Werte sichern..." take.
    std::vector<model::CoefRow> coefficientRows() const { return coefRows_; }
    void copyCoefficients();
    void saveCoefficients();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class EditCommand;
    void buildProjectPage();
    void buildMotionPage();
    void buildRestrictionPage();
    void buildSpectrumPage();
    TRealEdit* realField(QWidget* page, const char* name, double min, double max,
                         std::function<void(model::TNLMember&, double)> write);
    QLineEdit* textField(QWidget* page, const char* name,
                         std::function<void(model::TNLMember&, const std::string&)> write);
    QCheckBox* checkBox(QWidget* page, const char* name, const char* text,
                        std::function<void(model::TNLMember&, bool)> write);
    // One committed change of the current object: op runs inside one model command; when the
    // definition changed, the change becomes an undo step.
    void commit(const std::function<void(model::Node&)>& op);
    void edit(const std::function<void(model::TNLMember&)>& change);
    void apply(model::Node& node, const model::EditState& state, bool restoreModified);
    void undoToSnapshot();
    void globalClicked(bool on);
    void setLimitFromAid(double limit);
    void testClicked();
    void fillProject(model::TProject& p);
    void fillMotion(model::Node& node, model::THSHeader& h);
    void fillRestriction(model::TRestr& r);
    void fillSpectrum(model::TRestr& r);
    void fillCoefficients();
    void updateAidButtons();
    void commitFocused();
    bool alive(const model::Node* node) const;

    model::ProjectTree& tree_;
    graphics::Prompts& prompts_;
    QWidget* mainWindow_;
    TDlgSelOpt* DlgSelOpt = nullptr;
    QUndoStack* undo_ = nullptr;
    model::Node* current_ = nullptr;
    model::EditState snapshot_;
    bool refreshing_ = false;
    bool applying_ = false; // the editor's own change is being reported
    bool reselect_ = false; // the shown object changed from outside
    bool readOnly_ = false;
    std::vector<model::CoefRow> coefRows_;
    std::set<const model::Node*>* removed_ = nullptr; // nodes removed during a commit
};

} // namespace ui
