// The diagram windows of the program and the windows that set how they look: opened with their
// motions, redrawn when what they show changes (the model's notifications), forgetting a motion
// that is removed, and the options window bound to the active one. Defaults are kept in the
// user's settings ("V0398/Grafik").
#pragma once

#include <QObject>

#include <vector>

#include "graphics/diagram_window.h"
#include "model/observer.h"
#include "model/tree.h"

class QSettings;

namespace graphics {

class TDlgDiagOpt;
class TDlgDiagDefault;
class TDlgPictExOpt;

class DiagramWindows : public QObject, public model::ProjectObserver {
    Q_OBJECT
public:
    // services: the dialogs, printer and main window as the caller provides them; the export
    // options are this object's.
    DiagramWindows(model::ProjectTree& tree, DiagramServices services, QWidget* mainWindow);
    ~DiagramWindows() override;

    // A new window of the given motions (drawn at once and shown).
    TGrafik* open(std::vector<model::Node*> members);
    // "&Diagramm" on the selected node: a window of every motion of the project for a project,
    // a group or a group member; of the motion itself; of a restriction's motion.
    TGrafik* openFor(model::Node& selected);
    const std::vector<TGrafik*>& windows() const { return windows_; }

    // "&Grafik...": the defaults, modally. "Bitmap-&Export...": the export options, modally.
    void showDefaults();
    void showExportOptions();
    // Every plotted object of every project takes the default style; every window redraws.
    void applyDefaultsEverywhere();

    QColor defaultHighlight{0x00, 0xFF, 0x00};
    TDlgDiagOpt* options() const { return options_; }
    TDlgDiagDefault* defaults() const { return defaults_; }
    ExportOptions exportOptions() const;

    // Settings ("V0398/Grafik") in the user's one settings store, which the main window opens
    // and passes in: read at the start, written at the end. A bad value never breaks the start:
    // defaults, and style codes clamped. A store without the group takes the one an earlier
    // version kept in a settings file of its own ("Norbeck"/"Tervana"), once: the group moves.
    void readSettings(QSettings& store);
    void writeSettings(QSettings& store) const;

    void notifyChanged(const model::Node& node, model::ChangeFlags what) override;
    void notifyRemoved(const model::Node& node) override;
    void notifySelection(const model::Node* node) override;
    void notifyChangesDone() override;

private:
    void redrawPending();
    bool shows(const TGrafik& w, const model::Node& node) const;

    model::ProjectTree& tree_;
    bool listStale_ = false; // the options window's list misses a change of the projects
    DiagramServices services_;
    QWidget* mainWindow_;
    std::vector<TGrafik*> windows_;
    TDlgDiagOpt* options_ = nullptr;
    TDlgDiagDefault* defaults_ = nullptr;
    TDlgPictExOpt* pictExOpt_ = nullptr;
};

// The 28-byte record of a style as the settings keep it, and back (false unless 28 bytes).
QByteArray encodeStyle(const model::PaintStyle& s);
bool decodeStyle(const QByteArray& bytes, model::PaintStyle& s);

} // namespace graphics
