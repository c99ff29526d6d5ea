#include "graphics/diagram_options.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "graphics/diagram_window.h"
#include "graphics/motion_curves.h"
#include "graphics/prompts.h"
#include "model/editing.h"
#include "model/format_real.h"

#include <cmath>

namespace graphics {

using model::Node;
using model::ObjectKind;

std::int32_t bgrOf(const QColor& c) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(c.red()) |
                                     (static_cast<std::uint32_t>(c.green()) << 8) |
                                     (static_cast<std::uint32_t>(c.blue()) << 16));
}

namespace {

// The project of a root entry of TVGrafs (a motion entry holds its node in Qt::UserRole).
constexpr int kProjectRole = Qt::UserRole + 1;

const char* const kCurveTexts[5] = {"Weg", "Geschwindigkeit", "Beschleunigung", "Ruck",
                                    "Antriebsmoment"};

// A pen-style picker: each entry a line in the style.
QComboBox* stylePicker(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    const Qt::PenStyle styles[5] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                    Qt::DashDotDotLine};
    for (Qt::PenStyle s : styles) {
        QPixmap pm(60, 12);
        pm.fill(Qt::white);
        QPainter p(&pm);
        p.setPen(QPen(Qt::black, 1, s));
        p.drawLine(5, 6, 55, 6);
        p.end();
        box->addItem(QIcon(pm), QString());
    }
    box->setIconSize(QSize(60, 12));
    return box;
}

void paintButton(QPushButton* b, const QColor& c, bool enabled) {
    b->setEnabled(enabled);
    b->setStyleSheet(enabled ? QStringLiteral("background-color: %1").arg(c.name()) : QString());
}

// "." decimals whatever the locale.
bool parseNumber(const QString& text, double& v) {
    return model::parseDouble(text.trimmed().toStdString(), v) && std::isfinite(v);
}

QString numberText(double v) {
    return QString::fromStdString(model::FormatReal(v, 8)).trimmed();
}

} // namespace

// ---- StyleBox ----

StyleBox::StyleBox(Prompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
    auto* g = new QGridLayout(this);
    const char* labels[6] = {"Bewegungsgesetz (s)", "Abtriebsbewegung (q)", "Minimalforderung:",
                             "Maximalforderung:",   "zulässiger Bereich:",  "Hervorhebung:"};
    const char* names[6] = {"sColor",   "qColor",      "minColor",
                            "maxColor", "DomainColor", "activColor"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setFixedSize(48, 20);
        colours[static_cast<std::size_t>(i)] = b;
        g->addWidget(new QLabel(QString::fromUtf8(labels[i]), this), i, 0);
        g->addWidget(b, i, 1);
        connect(b, &QPushButton::clicked, this, [this, i] {
            std::int32_t* fields[5] = {&style_.sColor, &style_.qColor, &style_.minColor,
                                       &style_.maxColor, &style_.DomainColor};
            const QColor initial = i < 5 ? colorOf(*fields[i]) : highlight_;
            const QColor c = prompts_.chooseColor(this, initial);
            if (!c.isValid()) return;
            if (i == 5) {
                setHighlight(c);
                emit highlightChanged(c);
                return;
            }
            *fields[i] = bgrOf(c) | model::kPickedColour;
            show();
            emit styleChanged(style_);
        });
    }
    for (int i = 0; i < 3; ++i)
        colours[static_cast<std::size_t>(i)]->setToolTip(
            QStringLiteral("ohne eigene Wahl: die Farbe der Bewegung im Diagramm"));
    sLine = stylePicker(this, "sLine");
    qLine = stylePicker(this, "qLine");
    g->addWidget(sLine, 0, 2);
    g->addWidget(qLine, 1, 2);
    BtAuto = new QPushButton(QStringLiteral("automatische Farben"), this);
    BtAuto->setObjectName(QStringLiteral("BtAuto"));
    g->addWidget(BtAuto, 2, 2);
    connect(BtAuto, &QPushButton::clicked, this, [this] {
        const model::PaintStyle initial;
        style_.sColor = initial.sColor;
        style_.qColor = initial.qColor;
        style_.minColor = initial.minColor;
        show();
        emit styleChanged(style_);
    });
    for (QComboBox* box : {sLine, qLine})
        connect(box, &QComboBox::currentIndexChanged, this, [this, box](int i) {
            if (filling_ || i < 0) return;
            (box == sLine ? style_.sLine : style_.qLine) = static_cast<std::uint8_t>(i);
            emit styleChanged(style_);
        });
}

void StyleBox::setStyle(const model::PaintStyle& style, bool enabled) {
    style_ = style;
    filling_ = true;
    sLine->setEnabled(enabled);
    qLine->setEnabled(enabled);
    sLine->setCurrentIndex(enabled ? std::min<int>(style.sLine, 4) : -1);
    qLine->setCurrentIndex(enabled ? std::min<int>(style.qLine, 4) : -1);
    filling_ = false;
    for (int i = 0; i < 5; ++i) colours[static_cast<std::size_t>(i)]->setEnabled(enabled);
    BtAuto->setEnabled(enabled);
    show();
}

void StyleBox::setMemberIndex(std::optional<std::size_t> index) {
    memberIndex_ = index;
    show();
}

void StyleBox::setHighlight(const QColor& c) {
    highlight_ = c;
    paintButton(colours[5], c, true);
}

void StyleBox::show() {
    const std::int32_t values[5] = {style_.sColor, style_.qColor, style_.minColor, style_.maxColor,
                                    style_.DomainColor};
    std::array<QColor, 5> shown;
    for (std::size_t k = 0; k < shown.size(); ++k) shown[k] = colorOf(values[k]);
    if (memberIndex_) {
        const MotionColours c = motionColours(style_, *memberIndex_);
        shown[0] = c.s, shown[1] = c.q, shown[2] = c.bound;
    }
    for (std::size_t k = 0; k < shown.size(); ++k)
        paintButton(colours[k], shown[k], colours[k]->isEnabled());
}

// ---- TDlgDiagOpt ----

TDlgDiagOpt::TDlgDiagOpt(model::ProjectTree& tree, Prompts& prompts, QWidget* parent)
    : QDialog(parent), tree_(tree) {
    setObjectName(QStringLiteral("DlgDiagOpt"));
    setWindowTitle(QStringLiteral("Optionen - Diagramm"));
    setModal(false);
    auto* tabs = new QTabWidget(this);
    (new QVBoxLayout(this))->addWidget(tabs);

    auto* data = new QWidget(tabs);
    auto* dl = new QVBoxLayout(data);
    TVGrafs = new QTreeWidget(data);
    TVGrafs->setObjectName(QStringLiteral("TVGrafs"));
    TVGrafs->header()->hide();
    dl->addWidget(TVGrafs);
    auto* look = new QGroupBox(QStringLiteral(" Darstellung "), data);
    Style = new StyleBox(prompts, look);
    (new QVBoxLayout(look))->addWidget(Style);
    dl->addWidget(look);
    tabs->addTab(data, QStringLiteral("Daten"));
    connect(TVGrafs, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { treeItemChanged(item); });
    connect(TVGrafs, &QTreeWidget::itemSelectionChanged, this, [this] { treeSelectionChanged(); });
    connect(Style, &StyleBox::styleChanged, this, [this](const model::PaintStyle& s) {
        if (motion_ == nullptr) return;
        model::setPaintStyle(*motion_, s);
        emit styleChanged(motion_);
    });
    connect(Style, &StyleBox::highlightChanged, this, [this](const QColor& c) {
        if (window_ == nullptr) return;
        window_->pic.highlight = c;
        window_->Redraw();
    });

    auto* scaling = new QWidget(tabs);
    auto* sl = new QGridLayout(scaling);
    CBAxis = new QComboBox(scaling);
    CBAxis->setObjectName(QStringLiteral("CBAxis"));
    sl->addWidget(new QLabel(QStringLiteral("für:"), scaling), 0, 0);
    sl->addWidget(CBAxis, 0, 1);
    auto* range = new QGroupBox(QStringLiteral(" Bereich "), scaling);
    auto* rl = new QGridLayout(range);
    CBAuto = new QCheckBox(QStringLiteral("automatisch"), range);
    CBAuto->setObjectName(QStringLiteral("CBAuto"));
    EdMin = new QLineEdit(range);
    EdMin->setObjectName(QStringLiteral("EdMin"));
    EdMax = new QLineEdit(range);
    EdMax->setObjectName(QStringLiteral("EdMax"));
    CBZero = new QCheckBox(QStringLiteral("mit Null"), range);
    CBZero->setObjectName(QStringLiteral("CBZero"));
    CBGrid = new QCheckBox(QStringLiteral("Raster"), range);
    CBGrid->setObjectName(QStringLiteral("CBGrid"));
    rl->addWidget(CBAuto, 0, 0, 1, 2);
    rl->addWidget(new QLabel(QStringLiteral("min"), range), 1, 0);
    rl->addWidget(EdMin, 1, 1);
    rl->addWidget(new QLabel(QStringLiteral("max"), range), 2, 0);
    rl->addWidget(EdMax, 2, 1);
    rl->addWidget(CBZero, 3, 0, 1, 2);
    rl->addWidget(CBGrid, 4, 0, 1, 2);
    sl->addWidget(range, 1, 0, 1, 2);
    auto* ends = new QGroupBox(QStringLiteral(" Enden "), scaling);
    auto* el = new QVBoxLayout(ends);
    RBFixed = new QRadioButton(QStringLiteral("fest"), ends);
    RBTick = new QRadioButton(QStringLiteral("mit Tick"), ends);
    RBNumber = new QRadioButton(QStringLiteral("mit Zahl"), ends);
    int mode = 0;
    for (QRadioButton* b : {RBFixed, RBTick, RBNumber}) {
        el->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this, mode] {
            axisChanged([mode](TAxis& a) { a.endsMode = static_cast<std::uint8_t>(mode); }, true);
        });
        ++mode;
    }
    RBFixed->setObjectName(QStringLiteral("RBFixed"));
    RBTick->setObjectName(QStringLiteral("RBTick"));
    RBNumber->setObjectName(QStringLiteral("RBNumber"));
    sl->addWidget(ends, 1, 2);
    auto* show = new QGroupBox(QStringLiteral(" Anzeige "), scaling);
    auto* al = new QVBoxLayout(show);
    for (int i = 0; i < 5; ++i) {
        auto* b = new QCheckBox(QString::fromUtf8(kCurveTexts[i]), show);
        b->setObjectName(QStringLiteral("CBCurve%1").arg(i));
        CBCurves[static_cast<std::size_t>(i)] = b;
        al->addWidget(b);
        connect(b, &QCheckBox::toggled, this, [this] {
            if (!filling_) applyCurves();
        });
    }
    CBRestr = new QCheckBox(QStringLiteral("mit Forderungen"), show);
    CBRestr->setObjectName(QStringLiteral("CBRestr"));
    al->addWidget(CBRestr);
    sl->addWidget(show, 2, 0, 1, 3);
    tabs->addTab(scaling, QStringLiteral("Skalierung"));

    connect(CBAxis, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) loadAxis();
    });
    connect(CBAuto, &QCheckBox::toggled, this,
            [this](bool on) { axisChanged([on](TAxis& a) { a.autoRange = on; }, true); });
    connect(CBGrid, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_ || window_ == nullptr) return;
        // The grid applies to all y axes or all x axes.
        const bool x = CBAxis->currentIndex() <= 0;
        for (TDiagram& d : window_->pic.diagrams) (x ? d.xAxis : d.yAxis).grid = on;
        redraw();
    });
    connect(CBZero, &QCheckBox::toggled, this,
            [this](bool on) { axisChanged([on](TAxis& a) { a.includeZero = on; }, false); });
    connect(EdMin, &QLineEdit::editingFinished, this, [this] { rangeEntered(); });
    connect(EdMax, &QLineEdit::editingFinished, this, [this] { rangeEntered(); });
    connect(CBRestr, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_ || window_ == nullptr) return;
        window_->pic.showRestrictions = on;
        redraw();
    });
    Bind(nullptr);
}

void TDlgDiagOpt::closeEvent(QCloseEvent* event) {
    Bind(nullptr);
    QDialog::closeEvent(event);
}

void TDlgDiagOpt::redraw() {
    if (window_ != nullptr) window_->Redraw();
}

void TDlgDiagOpt::Bind(TGrafik* window) {
    window_ = window;
    filling_ = true;
    setEnabled(window != nullptr);
    if (window != nullptr) {
        Style->setHighlight(window->pic.highlight);
        const auto chosen = window->pic.chosen();
        for (std::size_t i = 0; i < 5; ++i) CBCurves[i]->setChecked(chosen[i]);
    }
    filling_ = false;
    rebuildTree();
    if (window != nullptr) applyCurves();
}

void TDlgDiagOpt::rebuildTree() {
    filling_ = true;
    Node* keep = motion_;
    TVGrafs->clear();
    motion_ = nullptr;
    for (const auto& project : tree_.roots) {
        auto* root = new QTreeWidgetItem(TVGrafs, {QString::fromStdString(project->obj().Caption)});
        root->setData(0, kProjectRole, QVariant::fromValue(static_cast<void*>(project.get())));
        for (const auto& c : project->children) {
            if (c->as<model::TPaintObj>() == nullptr) continue;
            auto* item = new QTreeWidgetItem(root, {QString::fromStdString(c->obj().Caption)});
            item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(c.get())));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(
                0, window_ != nullptr && window_->hasMember(c.get()) ? Qt::Checked : Qt::Unchecked);
            if (c.get() == keep) item->setSelected(true);
        }
        root->setExpanded(true);
    }
    filling_ = false;
    treeSelectionChanged();
}

void TDlgDiagOpt::forget(const Node* node) {
    if (motion_ == node) motion_ = nullptr;
    const QVariant gone = QVariant::fromValue(static_cast<void*>(const_cast<Node*>(node)));
    filling_ = true;
    for (int i = TVGrafs->topLevelItemCount(); i-- > 0;) {
        QTreeWidgetItem* root = TVGrafs->topLevelItem(i);
        if (root->data(0, kProjectRole) == gone) {
            delete root;
            continue;
        }
        for (int k = root->childCount(); k-- > 0;)
            if (root->child(k)->data(0, Qt::UserRole) == gone) delete root->child(k);
    }
    filling_ = false;
    treeSelectionChanged();
}

void TDlgDiagOpt::treeItemChanged(QTreeWidgetItem* item) {
    if (filling_ || window_ == nullptr) return;
    auto* node = static_cast<Node*>(item->data(0, Qt::UserRole).value<void*>());
    if (node == nullptr) return;
    if (item->checkState(0) == Qt::Checked) {
        if (!window_->hasMember(node)) window_->pic.members.push_back(node);
    } else {
        window_->removeMember(node);
    }
    applyCurves();          // "mit Forderungen" depends on the members
    treeSelectionChanged(); // the selected motion's colours depend on its place
}

void TDlgDiagOpt::treeSelectionChanged() {
    const auto items = TVGrafs->selectedItems();
    motion_ = items.isEmpty() ? nullptr
                              : static_cast<Node*>(items[0]->data(0, Qt::UserRole).value<void*>());
    auto* m = motion_ != nullptr ? motion_->as<model::TPaintObj>() : nullptr;
    // The colours the motion has in the bound window (or would have as its next member).
    std::optional<std::size_t> index;
    if (m != nullptr && window_ != nullptr) {
        const auto& members = window_->pic.members;
        index = static_cast<std::size_t>(std::find(members.begin(), members.end(), motion_) -
                                         members.begin());
    }
    Style->setMemberIndex(index);
    Style->setStyle(m != nullptr ? m->PaintStyle : model::PaintStyle{}, m != nullptr);
}

void TDlgDiagOpt::applyCurves() {
    if (window_ == nullptr) return;
    std::array<bool, 5> chosen{};
    int count = 0;
    for (std::size_t i = 0; i < 5; ++i) count += (chosen[i] = CBCurves[i]->isChecked()) ? 1 : 0;
    if (count == 0) {
        chosen[0] = true;
        count = 1;
    }
    window_->pic.choose(chosen);
    filling_ = true;
    for (std::size_t i = 0; i < 5; ++i) {
        CBCurves[i]->setChecked(chosen[i]);
        CBCurves[i]->setEnabled(!(chosen[i] && count == 1));
    }
    // Without results somewhere the restrictions are all there is to see.
    bool allResults = true;
    for (const Node* n : window_->pic.members)
        if (auto* m = n->as<model::TPaintObj>(); m == nullptr || !m->HasResults) allResults = false;
    if (!allResults) window_->pic.showRestrictions = true;
    CBRestr->setChecked(window_->pic.showRestrictions);
    CBRestr->setEnabled(allResults);
    const QString previous = CBAxis->currentText();
    CBAxis->clear();
    CBAxis->addItem(QStringLiteral("x-Achse"));
    for (int i = 0; i < window_->pic.shown; ++i) {
        const int curve = window_->pic.diagrams[static_cast<std::size_t>(i)].curve;
        CBAxis->addItem(QString::fromUtf8(kCurveTexts[curve == kTorque ? 4 : curve]));
    }
    const int keep = CBAxis->findText(previous);
    CBAxis->setCurrentIndex(keep >= 0 ? keep : 0);
    filling_ = false;
    loadAxis();
    redraw();
}

void TDlgDiagOpt::loadAxis() {
    if (window_ == nullptr) return;
    const int i = CBAxis->currentIndex();
    const bool x = i <= 0;
    const TDiagram& d = window_->pic.diagrams[static_cast<std::size_t>(x ? 0 : i - 1)];
    const TAxis& a = x ? d.xAxis : d.yAxis;
    filling_ = true;
    CBAuto->setChecked(a.autoRange);
    EdMin->setText(numberText(a.autoRange ? a.min : a.requestedMin));
    EdMax->setText(numberText(a.autoRange ? a.max : a.requestedMax));
    EdMin->setEnabled(!a.autoRange);
    EdMax->setEnabled(!a.autoRange);
    CBZero->setEnabled(!x);
    CBZero->setChecked(!x && a.includeZero);
    CBGrid->setChecked(a.grid);
    RBFixed->setChecked(a.endsMode == 0);
    RBTick->setChecked(a.endsMode == 1);
    RBNumber->setChecked(a.endsMode == 2);
    filling_ = false;
}

void TDlgDiagOpt::axisChanged(const std::function<void(TAxis&)>& change, bool allX) {
    if (filling_ || window_ == nullptr) return;
    const int i = CBAxis->currentIndex();
    if (i <= 0) {
        if (allX)
            for (TDiagram& d : window_->pic.diagrams) change(d.xAxis);
    } else {
        TAxis& a = window_->pic.diagrams[static_cast<std::size_t>(i - 1)].yAxis;
        if (a.autoRange && !CBAuto->isChecked()) {
            // Switching to a manual range starts from the range drawn.
            a.requestedMin = a.min;
            a.requestedMax = a.max;
        }
        change(a);
    }
    if (i <= 0 && !CBAuto->isChecked())
        for (TDiagram& d : window_->pic.diagrams)
            if (d.xAxis.requestedMax <= d.xAxis.requestedMin) {
                d.xAxis.requestedMin = d.xAxis.min;
                d.xAxis.requestedMax = d.xAxis.max;
            }
    redraw();
    loadAxis();
}

void TDlgDiagOpt::rangeEntered() {
    if (filling_ || window_ == nullptr) return;
    const int i = CBAxis->currentIndex();
    const bool x = i <= 0;
    TAxis& a = x ? window_->pic.diagrams[0].xAxis
                 : window_->pic.diagrams[static_cast<std::size_t>(i - 1)].yAxis;
    double lo = 0, hi = 0;
    const bool ok = parseNumber(EdMin->text(), lo) && parseNumber(EdMax->text(), hi) && lo < hi &&
                    (!x || (lo >= 0 && hi <= 360));
    if (!ok) {
        loadAxis(); // refused: the stored values again, no message
        return;
    }
    if (lo == a.requestedMin && hi == a.requestedMax) return;
    if (x) {
        for (TDiagram& d : window_->pic.diagrams) {
            d.xAxis.requestedMin = lo;
            d.xAxis.requestedMax = hi;
        }
    } else {
        a.requestedMin = lo;
        a.requestedMax = hi;
    }
    redraw();
}

// ---- TDlgDiagDefault ----

TDlgDiagDefault::TDlgDiagDefault(Prompts& prompts, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DlgDiagDefault"));
    setWindowTitle(QStringLiteral("Vorgabe"));
    auto* l = new QVBoxLayout(this);
    Style = new StyleBox(prompts, this);
    l->addWidget(Style);
    BtAll = new QPushButton(QStringLiteral("überall ändern"), this);
    BtAll->setObjectName(QStringLiteral("BtAll"));
    l->addWidget(BtAll);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    l->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Style, &StyleBox::styleChanged, this,
            [](const model::PaintStyle& s) { model::diagramDefaults() = s; });
    connect(BtAll, &QPushButton::clicked, this, [this] { emit changeEverywhere(); });
}

void TDlgDiagDefault::load(const QColor& highlight) {
    Style->setStyle(model::diagramDefaults(), true);
    Style->setHighlight(highlight);
}

} // namespace graphics
