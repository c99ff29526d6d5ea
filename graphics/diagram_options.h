// "Optionen - Diagramm", bound to the active diagram window: which motions it shows, their line
// styles and colours, which curves are stacked, and the axis ranges, ends and grid. "Vorgabe":
// the style every new motion starts with and the highlight colour of new windows.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

#include "graphics/axis.h"
#include "model/paint_style.h"
#include "model/tree.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace graphics {

class Prompts;
class TGrafik;

std::int32_t bgrOf(const QColor& c);

// " Darstellung ": the five colours and two pen styles of a style record, and the highlight.
class StyleBox : public QWidget {
    Q_OBJECT
public:
    StyleBox(Prompts& prompts, QWidget* parent);
    void setStyle(const model::PaintStyle& style, bool enabled);
    model::PaintStyle style() const { return style_; }
    void setHighlight(const QColor& c);
    QColor highlight() const { return highlight_; }
    // What the s, q and bound buttons show while those colours are left to the diagram (invalid
    // colours: their values).
    // The motion's place among the members of the bound window (or the place it would take):
    // the colours it keeps unpicked are shown as the window draws them; none: as they are stored.
    void setMemberIndex(std::optional<std::size_t> index);

    // sColor, qColor, minColor, maxColor, DomainColor, then activColor. A picked colour carries
    // model::kPickedColour.
    std::array<QPushButton*, 6> colours{};
    QComboBox *sLine = nullptr, *qLine = nullptr;
    // "automatische Farben": s, q and bound colours back to the diagram's.
    QPushButton* BtAuto = nullptr;

signals:
    void styleChanged(const model::PaintStyle& style);
    void highlightChanged(const QColor& c);

private:
    void show();
    Prompts& prompts_;
    model::PaintStyle style_;
    std::optional<std::size_t> memberIndex_;
    QColor highlight_;
    bool filling_ = false;
};

class TDlgDiagOpt : public QDialog {
    Q_OBJECT
public:
    TDlgDiagOpt(model::ProjectTree& tree, Prompts& prompts, QWidget* parent = nullptr);

    // Works on window from now on (nullptr: on none): highlight, tree, curve boxes, axis fields.
    void Bind(TGrafik* window);
    TGrafik* bound() const { return window_; }
    // The tree of projects and their motions, memberships ticked.
    void rebuildTree();
    // node is about to be freed: its entry goes (and with it the style being edited).
    void forget(const model::Node* node);
    // The curve boxes into the window's diagram list; the axis fields reloaded; redraw.
    void applyCurves();
    // Loads the axis chosen in CBAxis.
    void loadAxis();

    QTreeWidget* TVGrafs = nullptr;
    StyleBox* Style = nullptr;
    QComboBox* CBAxis = nullptr;
    QCheckBox *CBAuto = nullptr, *CBZero = nullptr, *CBGrid = nullptr;
    QLineEdit *EdMin = nullptr, *EdMax = nullptr;
    QRadioButton *RBFixed = nullptr, *RBTick = nullptr, *RBNumber = nullptr;
    std::array<QCheckBox*, 5> CBCurves{}; // Weg .. Antriebsmoment
    QCheckBox* CBRestr = nullptr;

signals:
    // A motion's style changed (the windows showing it redraw).
    void styleChanged(model::Node* motion);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void treeItemChanged(QTreeWidgetItem* item);
    void treeSelectionChanged();
    void axisChanged(const std::function<void(TAxis&)>& change, bool allX);
    void rangeEntered();
    void redraw();

    model::ProjectTree& tree_;
    TGrafik* window_ = nullptr;
    model::Node* motion_ = nullptr; // whose style is edited
    bool filling_ = false;
};

class TDlgDiagDefault : public QDialog {
    Q_OBJECT
public:
    TDlgDiagDefault(Prompts& prompts, QWidget* parent = nullptr);
    // Shows the current defaults (model::diagramDefaults() and the highlight colour).
    void load(const QColor& highlight);
    StyleBox* Style = nullptr;
    QPushButton* BtAll = nullptr; // "überall ändern"

signals:
    void changeEverywhere();
};

} // namespace graphics
