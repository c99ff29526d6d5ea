// The editor window: its pages, the filling from the shown object, and every change written
// back through the model as one undo step.
#include "ui/editor.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>
#include <set>

#include "calcctl/platform.h"
#include "graphics/prompts.h"
#include "model/calc_input.h"
#include "model/check.h"
#include "model/eta_aids.h"
#include "model/format_real.h"
#include "model/results.h"
#include "ui/real_edit.h"
#include "ui/sel_opt.h"

namespace ui {

using model::Node;
using model::ObjectKind;
using model::TNLMember;

inline constexpr const char* kLockedText = "Das Projekt wird momentan berechnet!";
inline constexpr const char* kWarnText =
    "ACHTUNG! Die erweiterten Einstellungen beeinflussen den Ablauf der Optimierung und sollten "
    "daher nur in Ausnahmefällen geändert werden.";
inline constexpr const char* kWriteFailed = "Fehler beim Schreiben der Datei\r";

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Shows a value in a field that may be disabled: disabled fields show 0.
void showValue(TRealEdit* e, bool enabled, double v) {
    e->setEnabled(enabled);
    e->setValue(enabled ? v : 0.0);
}

// A count in a numeric field: no decimals.
void showCount(TRealEdit* e, int v) {
    e->setValue(v);
    e->setText(QStringLiteral(" %1").arg(static_cast<int>(std::lround(e->Value()))));
}

void setChecked(QAbstractButton* b, bool on) {
    const QSignalBlocker block(b);
    b->setChecked(on);
}

void setSpin(QSpinBox* s, int min, int max, int value) {
    const QSignalBlocker block(s);
    s->setRange(min, max);
    s->setValue(value);
}

} // namespace

// One committed change of the shown object, undone and redone through the model.
class EditCommand : public QUndoCommand {
public:
    EditCommand(TDlgRestr* editor, Node* node, model::EditState before, model::EditState after)
        : editor_(editor), node_(node), before_(std::move(before)), after_(std::move(after)) {}
    void undo() override { editor_->apply(*node_, before_, false); }
    void redo() override {
        if (first_) {
            first_ = false;
            return;
        }
        editor_->apply(*node_, after_, false);
    }
    void forget(const Node* group) {
        if (before_.group == group) before_.group = nullptr;
        if (after_.group == group) after_.group = nullptr;
    }

private:
    TDlgRestr* editor_;
    Node* node_;
    model::EditState before_, after_;
    bool first_ = true;
};

TDlgRestr::TDlgRestr(model::ProjectTree& tree, graphics::Prompts& prompts, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool), tree_(tree), prompts_(prompts), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("DlgRestr"));
    setWindowTitle(QStringLiteral("Eingabe"));
    DlgSelOpt = new TDlgSelOpt(this);
    undo_ = new QUndoStack(this);
    QAction* undo = undo_->createUndoAction(this);
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo = undo_->createRedoAction(this);
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setShortcuts(redoKeys);
    for (QAction* a : {undo, redo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }

    auto* layout = new QVBoxLayout(this);
    Pages = new QStackedWidget(this);
    layout->addWidget(Pages);
    LReason = new QLabel(this);
    LReason->setObjectName(QStringLiteral("LReason"));
    LReason->setWordWrap(true);
    LReason->setStyleSheet(QStringLiteral("color: #c00000"));
    layout->addWidget(LReason);
    buildProjectPage();
    buildMotionPage();
    buildRestrictionPage();
    buildSpectrumPage();
    Error = new QWidget(Pages);
    Error->setObjectName(QStringLiteral("Error"));
    LError = new QLabel(Error);
    LError->setObjectName(QStringLiteral("LError"));
    (new QVBoxLayout(Error))->addWidget(LError, 0, Qt::AlignTop);
    Pages->addWidget(Error);
    // Numeric fields as wide as their ten characters, not as the window.
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("-0.0000E+000")) + 12;
    for (TRealEdit* f : findChildren<TRealEdit*>()) f->setFixedWidth(fieldWidth);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    tree_.addObserver(*this);
    Select(nullptr);
}

TDlgRestr::~TDlgRestr() {
    tree_.removeObserver(*this);
    // The fields say goodbye (a focused one commits on losing the focus) when the base class
    // deletes them, after this part of the editor is gone: they no longer reach it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

// ---- building ----

TRealEdit* TDlgRestr::realField(QWidget* page, const char* name, double min, double max,
                                std::function<void(TNLMember&, double)> write) {
    auto* e = new TRealEdit(page);
    e->setObjectName(QString::fromLatin1(name));
    if (max > min) e->setRange(min, max);
    connect(e, &TRealEdit::committed, this, [this, e, page, write = std::move(write)] {
        if (Pages->currentWidget() != page) return;
        const double v = e->Value();
        edit([&](TNLMember& obj) { write(obj, v); });
    });
    return e;
}

QLineEdit* TDlgRestr::textField(QWidget* page, const char* name,
                                std::function<void(TNLMember&, const std::string&)> write) {
    auto* e = new QLineEdit(page);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(255);
    connect(e, &QLineEdit::editingFinished, this, [this, e, page, write = std::move(write)] {
        if (!e->isModified() || Pages->currentWidget() != page) return;
        e->setModified(false);
        const std::string text = e->text().left(255).toStdString();
        edit([&](TNLMember& obj) { write(obj, text); });
    });
    return e;
}

QCheckBox* TDlgRestr::checkBox(QWidget* page, const char* name, const char* text,
                               std::function<void(TNLMember&, bool)> write) {
    auto* b = new QCheckBox(QString::fromUtf8(text), page);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QCheckBox::toggled, this, [this, write = std::move(write)](bool on) {
        edit([&](TNLMember& obj) { write(obj, on); });
    });
    return b;
}

namespace {

QLabel* label(QWidget* page, const QString& text, const char* name = nullptr) {
    auto* l = new QLabel(text, page);
    if (name != nullptr) l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPushButton* button(QWidget* page, const QString& text, const char* name) {
    auto* b = new QPushButton(text, page);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

int rounded(double v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

void TDlgRestr::buildProjectPage() {
    ProjHeader = new QWidget(Pages);
    ProjHeader->setObjectName(QStringLiteral("ProjHeader"));
    auto* g = new QGridLayout(ProjHeader);
    EdPInfo = textField(ProjHeader, "EdPInfo", [](TNLMember& o, const std::string& text) {
        static_cast<model::TProject&>(o).Description = text;
    });
    g->addWidget(label(ProjHeader, QStringLiteral("Beschreibung:")), 0, 0);
    g->addWidget(EdPInfo, 0, 1, 1, 2);
    LBGCount = label(ProjHeader, {}, "LBGCount");
    LGOCount = label(ProjHeader, {}, "LGOCount");
    g->addWidget(LBGCount, 1, 0, 1, 3);
    g->addWidget(LGOCount, 2, 0, 1, 3);
    CBAdvOpt =
        checkBox(ProjHeader, "CBAdvOpt", "erweiterte Einstellungen ", [](TNLMember& o, bool on) {
            o.IPar[6] = on ? 1 : 0;
            model::normaliseOptimisationSettings(static_cast<model::TProject&>(o));
        });
    g->addWidget(CBAdvOpt, 3, 0, 1, 3);
    EdD5 = realField(ProjHeader, "EdD5", 5, 500,
                     [](TNLMember& o, double v) { o.IPar[5] = rounded(v); });
    EdD4 = realField(ProjHeader, "EdD4", 2, 40,
                     [](TNLMember& o, double v) { o.IPar[4] = rounded(v); });
    EdV1 =
        realField(ProjHeader, "EdV1", 0.0001, 1.0, [](TNLMember& o, double v) { o.RPar[1] = v; });
    g->addWidget(label(ProjHeader, QStringLiteral("Optimierungsschritte:")), 4, 0);
    g->addWidget(EdD5, 4, 1);
    g->addWidget(label(ProjHeader, QStringLiteral("Proben pro Optimierungsschritt:")), 5, 0);
    g->addWidget(EdD4, 5, 1);
    g->addWidget(label(ProjHeader, QStringLiteral("Suchschrittweite:")), 6, 0);
    g->addWidget(EdV1, 6, 1);
    LWarn = label(ProjHeader, QString::fromUtf8(kWarnText), "LWarn");
    LWarn->setWordWrap(true);
    g->addWidget(LWarn, 7, 0, 1, 3);
    // The bounds between the sample angles too: the tolerance in per cent of the band.
    CBWholeCycle = checkBox(ProjHeader, "CBWholeCycle", "Schranken auf dem ganzen Zyklus einhalten",
                            [this](TNLMember& o, bool on) {
                                const double t = EdCycleTol->Value() / 100.0;
                                o.RPar[3] =
                                    on ? (t > 0.0 ? t : model::kDefaultWholeCycleTolerance) : 0.0;
                            });
    g->addWidget(CBWholeCycle, 8, 0, 1, 3);
    EdCycleTol = realField(ProjHeader, "EdCycleTol", 0.001, 50.0,
                           [](TNLMember& o, double v) { o.RPar[3] = v / 100.0; });
    g->addWidget(label(ProjHeader, QStringLiteral("Toleranz in % der Schrankenbreite:")), 9, 0);
    g->addWidget(EdCycleTol, 9, 1);
    LResult = label(ProjHeader, {}, "LResult");
    LResult->setWordWrap(true);
    g->addWidget(LResult, 10, 0, 1, 3);
    g->setRowStretch(11, 1);
    Pages->addWidget(ProjHeader);
}

void TDlgRestr::buildMotionPage() {
    HSHeader = new QWidget(Pages);
    HSHeader->setObjectName(QStringLiteral("HSHeader"));
    auto* v = new QVBoxLayout(HSHeader);
    auto* g = new QGridLayout;
    v->addLayout(g);
    EdShortName = textField(HSHeader, "EdShortName", [](TNLMember& o, const std::string& text) {
        static_cast<model::THSHeader&>(o).ShortName = text;
    });
    g->addWidget(label(HSHeader, QStringLiteral("Beschreibung:")), 0, 0);
    g->addWidget(EdShortName, 0, 1, 1, 4);
    SEdHarm = new TCountEdit(HSHeader);
    SEdHarm->setObjectName(QStringLiteral("SEdHarm"));
    connect(SEdHarm, &QSpinBox::valueChanged, this, [this](int h) {
        if (refreshing_) return;
        edit([h](TNLMember& o) { o.IPar[3] = h; });
    });
    g->addWidget(label(HSHeader, QStringLiteral("K")), 1, 0);
    g->addWidget(SEdHarm, 1, 1);
    REdTheta = realField(HSHeader, "REdTheta", 0, 1, [this](TNLMember& o, double v) {
        o.RPar[3] = v;
        EdTTheta->setValue(v);
    });
    g->addWidget(label(HSHeader, QStringLiteral("θ")), 2, 0);
    g->addWidget(REdTheta, 2, 1);
    REdEtaMax =
        realField(HSHeader, "REdEtaMax", 0, 1, [](TNLMember& o, double v) { o.RPar[2] = v; });
    g->addWidget(label(HSHeader, QStringLiteral("η")), 3, 0);
    g->addWidget(REdEtaMax, 3, 1);
    CBetavar = checkBox(HSHeader, "CBetavar", "variabel",
                        [](TNLMember& o, bool on) { o.IPar[4] = on ? 1 : 0; });
    g->addWidget(CBetavar, 3, 2);
    REdvEtaMax = realField(HSHeader, "REdvEtaMax", 0, 1, [this](TNLMember& o, double v) {
        o.RPar[1] = v;
        EdTEta->setValue(v);
    });
    g->addWidget(REdvEtaMax, 3, 3);
    LEtaRes = label(HSHeader, {}, "LEtaRes");
    g->addWidget(label(HSHeader, QStringLiteral("η res")), 4, 0);
    g->addWidget(LEtaRes, 4, 1);
    EdExtEta = new TRealEdit(HSHeader);
    EdExtEta->setObjectName(QStringLiteral("EdExtEta"));
    EdExtEta->setRange(0, 100);
    connect(EdExtEta, &QLineEdit::textChanged, this, [this] { updateAidButtons(); });
    BtRez2 = button(HSHeader, QStringLiteral("1/K"), "BtRez2");
    BtEta = button(HSHeader, QStringLiteral("%V"), "BtEta");
    BtTheta = button(HSHeader, QStringLiteral("°φ"), "BtTheta");
    connect(BtRez2, &QPushButton::clicked, this,
            [this] { setLimitFromAid(model::etaLimitResonance(SEdHarm->value())); });
    connect(BtEta, &QPushButton::clicked, this, [this] {
        setLimitFromAid(
            model::etaLimitAmplitude(EdExtEta->Value(), REdTheta->Value(), SEdHarm->value()));
    });
    connect(BtTheta, &QPushButton::clicked, this, [this] {
        setLimitFromAid(
            model::etaLimitPhase(EdExtEta->Value(), REdTheta->Value(), SEdHarm->value()));
    });
    auto* aids = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{EdExtEta, BtRez2, BtEta, BtTheta})
        aids->addWidget(w);
    g->addLayout(aids, 4, 2, 1, 3);
    EdTEta = new TRealEdit(HSHeader);
    EdTEta->setObjectName(QStringLiteral("EdTEta"));
    EdTEta->setRange(0, 1);
    EdTTheta = new TRealEdit(HSHeader);
    EdTTheta->setObjectName(QStringLiteral("EdTTheta"));
    EdTTheta->setRange(0, 1);
    BtTest = button(HSHeader, QStringLiteral("Test"), "BtTest");
    connect(BtTest, &QPushButton::clicked, this, [this] { testClicked(); });
    g->addWidget(label(HSHeader, QStringLiteral("η / θ")), 5, 0);
    g->addWidget(EdTEta, 5, 1);
    g->addWidget(EdTTheta, 5, 2);
    g->addWidget(BtTest, 5, 3);

    Coefficients = new QGroupBox(HSHeader);
    Coefficients->setObjectName(QStringLiteral("Coefficients"));
    v->addWidget(Coefficients, 1);
    // Without coefficients the fields stay at the top rather than in the middle of the page.
    v->addStretch(0);
    auto* c = new QGridLayout(Coefficients);
    CBResSelect = new QComboBox(Coefficients);
    CBResSelect->setObjectName(QStringLiteral("CBResSelect"));
    CBResSelect->addItems({QStringLiteral("Bewegungsgesetz (s)"),
                           QStringLiteral("Abtriebsbewegung (q)"),
                           QStringLiteral("Antriebsmoment (M)")});
    SEDerive = new QSpinBox(Coefficients);
    SEDerive->setObjectName(QStringLiteral("SEDerive"));
    SEDerive->setRange(0, 3);
    LFKeta = label(Coefficients, {}, "LFKeta");
    c->addWidget(CBResSelect, 0, 0);
    c->addWidget(label(Coefficients, QStringLiteral("Ableitung:")), 0, 1);
    c->addWidget(SEDerive, 0, 2);
    c->addWidget(LFKeta, 0, 3);
    FKGrid = new QTableWidget(Coefficients);
    FKGrid->setObjectName(QStringLiteral("FKGrid"));
    FKGrid->setColumnCount(4);
    FKGrid->verticalHeader()->hide();
    FKGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FKGrid->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FKGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Werte kopieren"), FKGrid);
    copy->setObjectName(QStringLiteral("CopyValues"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    auto* save = new QAction(QStringLiteral("Werte sichern..."), FKGrid);
    save->setObjectName(QStringLiteral("SaveValues"));
    FKGrid->addAction(copy);
    FKGrid->addAction(save);
    connect(copy, &QAction::triggered, this, [this] { copyCoefficients(); });
    connect(save, &QAction::triggered, this, [this] { saveCoefficients(); });
    c->addWidget(FKGrid, 1, 0, 1, 4);
    RBAbs = new QRadioButton(QStringLiteral("|s_k| + |c_k|"), Coefficients);
    RBAbs->setObjectName(QStringLiteral("RBAbs"));
    RBAbs->setChecked(true);
    RBVAbs = new QRadioButton(QStringLiteral("(s_k²+c_k²)^½"), Coefficients);
    RBVAbs->setObjectName(QStringLiteral("RBVAbs"));
    c->addWidget(RBAbs, 2, 0);
    c->addWidget(RBVAbs, 2, 1, 1, 2);
    connect(CBResSelect, &QComboBox::currentIndexChanged, this, [this] { fillCoefficients(); });
    connect(SEDerive, &QSpinBox::valueChanged, this, [this] { fillCoefficients(); });
    connect(RBAbs, &QRadioButton::toggled, this, [this] { fillCoefficients(); });
    Pages->addWidget(HSHeader);
}

void TDlgRestr::buildRestrictionPage() {
    BG = new QWidget(Pages);
    BG->setObjectName(QStringLiteral("BG"));
    auto* g = new QGridLayout(BG);
    CBOrd = new QComboBox(BG);
    CBOrd->setObjectName(QStringLiteral("CBOrd"));
    CBOrd->addItems({QStringLiteral("0 - (Weg)"), QStringLiteral("1 - (Geschwindigkeit)"),
                     QStringLiteral("2 - (Beschleunigung)"), QStringLiteral("3 - (Ruck) ")});
    connect(CBOrd, &QComboBox::activated, this, [this](int order) {
        edit([order](TNLMember& o) { o.IPar[3] = (o.IPar[3] / 10) * 10 + order; });
    });
    g->addWidget(label(BG, QStringLiteral("Ordnung:")), 0, 0);
    g->addWidget(CBOrd, 0, 1, 1, 2);
    RBPoint = new QRadioButton(QStringLiteral("Punkt"), BG);
    RBPoint->setObjectName(QStringLiteral("RBPoint"));
    RBInterval = new QRadioButton(QStringLiteral("Bereich"), BG);
    RBInterval->setObjectName(QStringLiteral("RBInterval"));
    connect(RBPoint, &QRadioButton::clicked, this, [this] {
        edit([](TNLMember& o) { o.IPar[3] = (o.IPar[3] >= 30 ? 40 : 0) + o.IPar[3] % 10; });
    });
    connect(RBInterval, &QRadioButton::clicked, this, [this] {
        edit([](TNLMember& o) { o.IPar[3] = (o.IPar[3] >= 30 ? 50 : 10) + o.IPar[3] % 10; });
    });
    g->addWidget(RBPoint, 1, 0);
    g->addWidget(RBInterval, 1, 1);

    REdphimin = realField(BG, "REdphimin", 0, 0, [](TNLMember& o, double v) { o.RPar[2] = v; });
    REdphimax = realField(BG, "REdphimax", 0, 0, [](TNLMember& o, double v) {
        o.RPar[model::isPointKind(o.IPar[3]) ? 2 : 4] = v;
    });
    LPhiPoint = label(BG, QStringLiteral("φ ="), "LPhiPoint");
    LPhiRange = label(BG, QStringLiteral("≤ φ ≤"), "LPhiRange");
    g->addWidget(REdphimin, 2, 0);
    g->addWidget(LPhiPoint, 2, 1, Qt::AlignCenter);
    g->addWidget(LPhiRange, 2, 1, Qt::AlignCenter);
    g->addWidget(REdphimax, 2, 2);
    CBvphimin = checkBox(BG, "CBvphimin", "untere Schranke variabel",
                         [](TNLMember& o, bool on) { o.IPar[4] = on ? 1 : 0; });
    REdvphimin = realField(BG, "REdvphimin", 0, 0, [](TNLMember& o, double v) { o.RPar[1] = v; });
    CBvphimax = checkBox(BG, "CBvphimax", "obere Schranke variabel",
                         [](TNLMember& o, bool on) { o.IPar[5] = on ? 1 : 0; });
    REdvphimax = realField(BG, "REdvphimax", 0, 0, [](TNLMember& o, double v) { o.RPar[3] = v; });
    g->addWidget(CBvphimin, 3, 0, 1, 2);
    g->addWidget(REdvphimin, 3, 2);
    g->addWidget(CBvphimax, 4, 0, 1, 2);
    g->addWidget(REdvphimax, 4, 2);

    CBGlob = new QCheckBox(QStringLiteral("Verschiebung zulassen"), BG);
    CBGlob->setObjectName(QStringLiteral("CBGlob"));
    connect(CBGlob, &QCheckBox::toggled, this, [this](bool on) { globalClicked(on); });
    g->addWidget(CBGlob, 5, 0, 1, 3);
    REdglphi1 = realField(BG, "REdglphi1", 0, 0, [](TNLMember& o, double v) { o.RPar[9] = v; });
    REdGlphi2 = realField(BG, "REdGlphi2", 0, 0, [](TNLMember& o, double v) { o.RPar[10] = v; });
    REdGlphi3 = realField(BG, "REdGlphi3", 0, 0, [](TNLMember& o, double v) { o.RPar[11] = v; });
    REdGlphi4 = realField(BG, "REdGlphi4", 0, 0, [](TNLMember& o, double v) { o.RPar[12] = v; });
    g->addWidget(REdglphi1, 6, 0);
    g->addWidget(label(BG, QStringLiteral("≤ φu ≤")), 6, 1, Qt::AlignCenter);
    g->addWidget(REdGlphi2, 6, 2);
    g->addWidget(REdGlphi3, 7, 0);
    g->addWidget(label(BG, QStringLiteral("≤ φo ≤")), 7, 1, Qt::AlignCenter);
    g->addWidget(REdGlphi4, 7, 2);

    CBsmin = checkBox(BG, "CBsmin", "mit unterer Schranke",
                      [](TNLMember& o, bool on) { o.IPar[6] = on ? 0 : -1; });
    CBvsmin = checkBox(BG, "CBvsmin", "untere Schranke variabel",
                       [](TNLMember& o, bool on) { o.IPar[6] = on ? 1 : 0; });
    REdvsmin = realField(BG, "REdvsmin", 0, 0, [](TNLMember& o, double v) { o.RPar[5] = v; });
    REdsmin = realField(BG, "REdsmin", 0, 0, [](TNLMember& o, double v) { o.RPar[6] = v; });
    CBsmax = checkBox(BG, "CBsmax", "mit oberer Schranke",
                      [](TNLMember& o, bool on) { o.IPar[7] = on ? 0 : -1; });
    CBvsmax = checkBox(BG, "CBvsmax", "obere Schranke variabel",
                       [](TNLMember& o, bool on) { o.IPar[7] = on ? 1 : 0; });
    REdvsmax = realField(BG, "REdvsmax", 0, 0, [](TNLMember& o, double v) { o.RPar[7] = v; });
    REdsmax = realField(BG, "REdsmax", 0, 0, [](TNLMember& o, double v) { o.RPar[8] = v; });
    g->addWidget(CBsmin, 8, 0, 1, 2);
    g->addWidget(CBsmax, 8, 2, 1, 2);
    g->addWidget(CBvsmin, 9, 0, 1, 2);
    g->addWidget(CBvsmax, 9, 2, 1, 2);
    // The variable bounds are the maximum requirements (at beta 1), the bounds below them the
    // minimum requirements: the words of the reasons.
    auto* variable = new QHBoxLayout;
    LVsmin = label(BG, QStringLiteral("Maximalforderung:"), "LVsmin");
    LVsmax = label(BG, QStringLiteral("Maximalforderung:"), "LVsmax");
    for (QWidget* w : std::initializer_list<QWidget*>{LVsmin, REdvsmin, LVsmax, REdvsmax})
        variable->addWidget(w);
    variable->addStretch(1);
    g->addLayout(variable, 10, 0, 1, 4);
    auto* bounds = new QHBoxLayout;
    LLe1 = label(BG, QStringLiteral("≤"), "LLe1");
    LLe2 = label(BG, QStringLiteral("≤"), "LLe2");
    Ls = label(BG, QStringLiteral("s"), "Ls");
    for (QWidget* w : std::initializer_list<QWidget*>{REdsmin, LLe1, Ls, LLe2, REdsmax})
        bounds->addWidget(w);
    bounds->addWidget(label(BG, QStringLiteral("Mindestforderung")));
    bounds->addStretch(1);
    g->addLayout(bounds, 11, 0, 1, 4);
    g->setColumnStretch(4, 1);
    BtUndo = button(BG, QStringLiteral("rückgängig"), "BtUndo");
    connect(BtUndo, &QPushButton::clicked, this, [this] { undoToSnapshot(); });
    g->addWidget(BtUndo, 12, 2);
    g->setRowStretch(13, 1);
    Pages->addWidget(BG);
}

void TDlgRestr::buildSpectrumPage() {
    Harm = new QWidget(Pages);
    Harm->setObjectName(QStringLiteral("Harm"));
    auto* g = new QGridLayout(Harm);
    CBHrmp = new QRadioButton(QStringLiteral("Σ kᵖ (|s_k| + |c_k|) ≤ c"), Harm);
    CBHrmp->setObjectName(QStringLiteral("CBHrmp"));
    CBHrm = new QRadioButton(QStringLiteral("|s_k| + |c_k| ≤ c"), Harm);
    CBHrm->setObjectName(QStringLiteral("CBHrm"));
    SpEdp = new TCountEdit(Harm);
    SpEdp->setObjectName(QStringLiteral("SpEdp"));
    SpEdp->setRange(0, 3);
    SpEdk = new TCountEdit(Harm);
    SpEdk->setObjectName(QStringLiteral("SpEdk"));
    auto toDerivative = [this] {
        const int p = SpEdp->value();
        edit([p](TNLMember& o) { o.IPar[3] = 20 + p; });
    };
    connect(CBHrmp, &QRadioButton::clicked, this, toDerivative);
    connect(SpEdp, &QSpinBox::valueChanged, this, toDerivative);
    connect(CBHrm, &QRadioButton::clicked, this,
            [this] { edit([](TNLMember& o) { o.IPar[3] = 24; }); });
    connect(SpEdk, &QSpinBox::valueChanged, this,
            [this](int k) { edit([k](TNLMember& o) { o.IPar[2] = k; }); });
    g->addWidget(CBHrmp, 0, 0, 1, 2);
    g->addWidget(label(Harm, QStringLiteral("p =")), 1, 0, Qt::AlignRight);
    g->addWidget(SpEdp, 1, 1);
    g->addWidget(CBHrm, 2, 0, 1, 2);
    g->addWidget(label(Harm, QStringLiteral("k =")), 3, 0, Qt::AlignRight);
    g->addWidget(SpEdk, 3, 1);
    REdccon = realField(Harm, "REdccon", 0, 1000000, [](TNLMember& o, double v) { o.RPar[6] = v; });
    CBcvar =
        checkBox(Harm, "CBcvar", "variabel", [](TNLMember& o, bool on) { o.IPar[6] = on ? 1 : 0; });
    REdcvar = realField(Harm, "REdcvar", 0, 1000000, [](TNLMember& o, double v) { o.RPar[5] = v; });
    g->addWidget(label(Harm, QStringLiteral("c =")), 4, 0, Qt::AlignRight);
    g->addWidget(REdccon, 4, 1);
    g->addWidget(CBcvar, 5, 0, Qt::AlignRight);
    g->addWidget(REdcvar, 5, 1);
    BtUndoHarm = button(Harm, QStringLiteral("rückgängig"), "BtUndoHarm");
    connect(BtUndoHarm, &QPushButton::clicked, this, [this] { undoToSnapshot(); });
    g->addWidget(BtUndoHarm, 6, 1);
    g->setRowStretch(7, 1);
    g->setColumnStretch(2, 1);
    Pages->addWidget(Harm);
}

// ---- selection and changes ----

bool TDlgRestr::alive(const Node* node) const {
    bool found = false;
    for (const auto& r : tree_.roots)
        model::forEachNode(*r, [&](Node& n) { found = found || &n == node; });
    return found;
}

void TDlgRestr::Select(Node* node) {
    undo_->clear();
    reselect_ = false;
    if (node != nullptr && node->kind() == ObjectKind::GroupMember)
        node = node->as<model::TGroupMember>()->RefTNR;
    current_ = node;
    const Node* project = model::projectOf(node);
    readOnly_ = project != nullptr && project->as<model::TProject>()->Locked;
    if (node != nullptr && !readOnly_) {
        // What the pages show as the defaults is in the object before the snapshot.
        {
            const QScopedValueRollback<bool> applyingGuard(applying_, true);
            if (auto* p = node->as<model::TProject>()) {
                const bool advanced = p->IPar[6] == 1;
                if (model::normaliseOptimisationSettings(*p)) {
                    if (advanced)
                        model::editObject(*node, [](TNLMember&) {});
                    else
                        model::notifyChanged(*node, model::ChangeFlags::Values);
                }
            } else if (node->kind() == ObjectKind::AbsSpec) {
                const int budget = model::harmonicBudget(*node);
                if (node->obj().IPar[3] > budget)
                    model::editObject(*node, [budget](TNLMember& o) { o.IPar[3] = budget; });
            }
        }
        reselect_ = false;
    }
    snapshot_ = node != nullptr ? model::captureState(*node) : model::EditState{};
    if (auto* h = node != nullptr ? node->as<model::THSHeader>() : nullptr) {
        EdTEta->setValue(h->HasResults ? h->sSC.at(0) : h->RPar[h->IPar[4] != 0 ? 1 : 2]);
        EdTTheta->setValue(h->RPar[3]);
    }
    Refresh();
    BtUndo->setEnabled(false);
    BtUndoHarm->setEnabled(false);
}

void TDlgRestr::commit(const std::function<void(Node&)>& op) {
    if (current_ == nullptr || refreshing_ || readOnly_) return;
    Node& node = *current_;
    model::EditState before = model::captureState(node);
    std::set<const Node*> removed;
    {
        // Put back also when the operation throws.
        const QScopedValueRollback<std::set<const Node*>*> removedGuard(removed_, &removed);
        const QScopedValueRollback<bool> applyingGuard(applying_, true);
        model::ChangeBatch batch(node);
        op(node);
    }
    // A removed member may have taken the selection (and the shown object) elsewhere.
    if (current_ != &node) return;
    if (removed.count(before.group) != 0) before.group = nullptr;
    model::EditState after = model::captureState(node);
    if (!after.sameDefinition(before))
        undo_->push(new EditCommand(this, &node, std::move(before), std::move(after)));
    Refresh();
}

void TDlgRestr::edit(const std::function<void(TNLMember&)>& change) {
    if (refreshing_) return;
    commit([&](Node& n) {
        const model::EditState before = model::captureState(n);
        change(n.obj());
        if (model::captureState(n).sameDefinition(before)) return;
        // The angles a random search found hold until the user changes the restriction.
        model::editObject(n, [](TNLMember& o) {
            if (auto* r = dynamic_cast<model::TRestr*>(&o)) r->GlobalPar = r->RPar;
        });
    });
}

void TDlgRestr::apply(Node& node, const model::EditState& state, bool restoreModified) {
    {
        const QScopedValueRollback<bool> applyingGuard(applying_, true);
        model::ChangeBatch batch(node);
        model::applyState(node, state, restoreModified);
    }
    Refresh();
}

void TDlgRestr::undoToSnapshot() {
    if (current_ == nullptr || readOnly_) return;
    Node* node = current_;
    apply(*node, snapshot_, true);
    if (current_ == node) Select(node);
}

void TDlgRestr::globalClicked(bool on) {
    if (refreshing_ || current_ == nullptr || readOnly_) return;
    Node* project = model::projectOf(current_);
    if (!on) {
        commit([](Node& n) {
            model::clearGlobal(n);
            model::editObject(n, [](TNLMember& o) {
                auto& r = static_cast<model::TRestr&>(o);
                r.GlobalPar = r.RPar;
            });
        });
        return;
    }
    int group = 0;
    if (project != nullptr && project->obj().IPar[8] > 0) {
        int index = -1;
        if (DlgSelOpt->fill(current_) && prompts_.exec(*DlgSelOpt)) index = DlgSelOpt->choice();
        if (index < 0) {
            // No group chosen: the box goes back and the restriction stays as it was.
            setChecked(CBGlob, false);
            return;
        }
        if (index > 0) {
            int i = 0;
            for (const auto& c : project->children)
                if (c->kind() == ObjectKind::Group && ++i == index) group = c->obj().IPar[1];
        }
    }
    commit([group](Node& n) {
        model::setGlobal(n, group);
        model::editObject(n, [](TNLMember& o) {
            auto& r = static_cast<model::TRestr&>(o);
            // Shift ranges that do not hold the angles start at the angles themselves.
            model::fitShiftRanges(r);
            r.GlobalPar = r.RPar;
        });
    });
}

void TDlgRestr::setLimitFromAid(double limit) {
    if (Pages->currentWidget() != HSHeader) return;
    REdvEtaMax->setValue(limit);
    const double v = REdvEtaMax->Value();
    EdTEta->setValue(v);
    edit([v](TNLMember& o) { o.RPar[1] = v; });
}

void TDlgRestr::testClicked() {
    if (current_ == nullptr || current_->kind() != ObjectKind::AbsSpec) return;
    {
        const QScopedValueRollback<bool> applyingGuard(applying_, true);
        model::ChangeBatch batch(*current_);
        model::testMotion(*current_, EdTEta->Value(), EdTTheta->Value());
    }
    fillCoefficients();
}

void TDlgRestr::notifyChanged(const Node& node, model::ChangeFlags what) {
    if (applying_ || current_ == nullptr) return;
    using model::ChangeFlags;
    if (!any(what & (ChangeFlags::Values | ChangeFlags::Results))) return;
    if (&node == current_ || &node == model::projectOf(current_) ||
        (current_->parent == &node && current_->kind() == ObjectKind::Restriction))
        reselect_ = true;
}

void TDlgRestr::notifyRemoved(const Node& node) {
    if (removed_ != nullptr) removed_->insert(&node);
    if (snapshot_.group == &node) snapshot_.group = nullptr;
    for (int i = 0; i < undo_->count(); ++i)
        if (auto* c = dynamic_cast<const EditCommand*>(undo_->command(i)))
            const_cast<EditCommand*>(c)->forget(&node);
    if (&node == current_) {
        current_ = nullptr;
        Select(nullptr);
    }
}

void TDlgRestr::notifyChangesDone() {
    if (!reselect_) return;
    reselect_ = false;
    Select(current_);
}

// ---- filling ----

QString TDlgRestr::errorText() const {
    return LError->text();
}

void TDlgRestr::Refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    QString caption = QStringLiteral("Eingabe");
    QWidget* page = Error;
    QString error;
    LReason->clear();
    if (Node* n = current_) {
        TNLMember& obj = n->obj();
        switch (n->kind()) {
        case ObjectKind::Restriction: {
            auto& r = *n->as<model::TRestr>();
            const int k = r.code();
            const int a = std::abs(r.IPar[1]);
            if (model::isPointKind(k) || model::isIntervalKind(k)) {
                caption =
                    model::isRelativeKind(k)
                        ? QStringLiteral("Restriktion (relativ) [BG %1-%2]").arg(a).arg(r.IPar[2])
                        : QStringLiteral("Restriktion (absolut) [BG %1]").arg(a);
                page = BG;
                fillRestriction(r);
            } else if (model::isSpectrumKind(k)) {
                caption = QStringLiteral("Restriktion (Spektrum) [BG %1]").arg(a);
                page = Harm;
                fillSpectrum(r);
            } else {
                caption = QStringLiteral("Fehler");
                error = QStringLiteral("unbekannte Restriktion (Typ %1).").arg(k);
            }
            break;
        }
        case ObjectKind::AbsSpec:
            caption = QStringLiteral("Bewegungsvorgabe (absolut) %1").arg(obj.IPar[2]);
            page = HSHeader;
            fillMotion(*n, *n->as<model::THSHeader>());
            break;
        case ObjectKind::Project: {
            auto& p = *n->as<model::TProject>();
            caption = QStringLiteral("Projekt: ") + qs(p.Caption);
            if (p.Locked) {
                error = QString::fromUtf8(kLockedText);
            } else {
                page = ProjHeader;
                fillProject(p);
            }
            break;
        }
        default:
            break;
        }
        const char decimal = calcctl::localeDecimalSeparator();
        if (page != Error && !obj.CheckValid()) {
            caption += QStringLiteral(" !");
            if (auto reason = model::inconsistencyReason(obj, decimal))
                LReason->setText(qs(*reason));
        } else if (page == HSHeader) {
            if (auto reason = model::fewHarmonicsReason(*n, decimal)) LReason->setText(qs(*reason));
        }
    }
    LError->setText(error);
    Pages->setCurrentWidget(page);
    Pages->setEnabled(!readOnly_);
    setWindowTitle(caption);
    const bool changed = current_ != nullptr && !readOnly_ &&
                         (!model::captureState(*current_).sameDefinition(snapshot_) ||
                          current_->obj().Modified != snapshot_.Modified);
    BtUndo->setEnabled(changed);
    BtUndoHarm->setEnabled(changed);
    refreshing_ = false;
}

void TDlgRestr::fillProject(model::TProject& p) {
    if (!EdPInfo->hasFocus() || !EdPInfo->isModified()) {
        EdPInfo->setText(qs(p.Description));
        EdPInfo->setCursorPosition(0); // a long description shows its start
    }
    EdPInfo->setModified(false);
    LBGCount->setText(QStringLiteral("Anzahl der Bewegungsgesetze: %1").arg(p.IPar[3]));
    LGOCount->setText(QString::fromUtf8("Objekte für globale Optimierung: %1").arg(p.IPar[8]));
    const bool advanced = p.IPar[6] == 1;
    setChecked(CBAdvOpt, advanced);
    EdD5->setEnabled(advanced);
    EdD4->setEnabled(advanced);
    EdV1->setEnabled(advanced);
    showCount(EdD5, p.IPar[5]);
    showCount(EdD4, p.IPar[4]);
    EdV1->setValue(p.RPar[1]);
    LWarn->setEnabled(advanced);
    const double tolerance = model::wholeCycleTolerance(p);
    setChecked(CBWholeCycle, tolerance > 0.0);
    EdCycleTol->setEnabled(tolerance > 0.0);
    EdCycleTol->setValue(100.0 *
                         (tolerance > 0.0 ? tolerance : model::kDefaultWholeCycleTolerance));
    // The outcome of the last calculation while its results are current.
    QString result = QStringLiteral("Noch keine Ergebnisse.");
    if (const auto kept = model::keptResult(*p.node))
        result = QStringLiteral("Ergebnis: ") +
                 qs(model::resultText(*kept, calcctl::localeDecimalSeparator()));
    else if (p.ResultsStored)
        result = QStringLiteral("Die Ergebnisse sind nicht aktuell.");
    LResult->setText(result);
}

void TDlgRestr::fillMotion(Node& node, model::THSHeader& h) {
    EdShortName->setText(qs(h.ShortName));
    EdShortName->setCursorPosition(0);
    EdShortName->setModified(false);
    setSpin(SEdHarm, 1, model::harmonicBudget(node), h.IPar[3]);
    REdTheta->setValue(h.RPar[3]);
    REdEtaMax->setValue(h.RPar[2]);
    const bool variable = h.IPar[4] != 0;
    setChecked(CBetavar, variable);
    showValue(REdvEtaMax, variable, h.RPar[1]);
    EdExtEta->setEnabled(variable);
    updateAidButtons();
    const double res = h.IPar[3] * (variable ? h.RPar[1] : h.RPar[2]);
    LEtaRes->setText(qs(model::FormatReal(res, 4)));
    LEtaRes->setStyleSheet(res > 0.95 ? QStringLiteral("color: #ff0000") : QString());
    BtTest->setEnabled(h.HasResults);
    fillCoefficients();
}

void TDlgRestr::fillRestriction(model::TRestr& r) {
    const int k = r.code();
    const bool point = model::isPointKind(k);
    {
        const QSignalBlocker block(CBOrd);
        CBOrd->setCurrentIndex(r.order());
    }
    setChecked(RBPoint, point);
    setChecked(RBInterval, !point);
    LPhiPoint->setVisible(point);
    LPhiRange->setVisible(!point);
    showValue(REdphimin, !point, r.RPar[2]);
    REdphimax->setValue(point ? r.RPar[2] : r.RPar[4]);
    const bool varMin = !point && r.IPar[4] != 0, varMax = !point && r.IPar[5] != 0;
    CBvphimin->setEnabled(!point);
    CBvphimax->setEnabled(!point);
    setChecked(CBvphimin, varMin);
    setChecked(CBvphimax, varMax);
    showValue(REdvphimin, varMin, r.RPar[1]);
    showValue(REdvphimax, varMax, r.RPar[3]);
    setChecked(CBGlob, r.Global);
    showValue(REdglphi1, r.Global, r.RPar[9]);
    showValue(REdGlphi2, r.Global, r.RPar[10]);
    showValue(REdGlphi3, r.Global && !point, r.RPar[11]);
    showValue(REdGlphi4, r.Global && !point, r.RPar[12]);
    auto bound = [](QCheckBox* has, QCheckBox* var, TRealEdit* varEdit, TRealEdit* edit, QLabel* le,
                    int code, double varValue, double value) {
        setChecked(has, code >= 0);
        var->setEnabled(code >= 0);
        setChecked(var, code > 0);
        showValue(varEdit, code > 0, varValue);
        showValue(edit, code >= 0, value);
        le->setVisible(code >= 0);
    };
    bound(CBsmin, CBvsmin, REdvsmin, REdsmin, LLe1, r.IPar[6], r.RPar[5], r.RPar[6]);
    bound(CBsmax, CBvsmax, REdvsmax, REdsmax, LLe2, r.IPar[7], r.RPar[7], r.RPar[8]);
    Ls->setText(QStringLiteral("s") + QString(r.order(), QLatin1Char('\'')));
}

void TDlgRestr::fillSpectrum(model::TRestr& r) {
    const int k = r.code();
    int harmonics = 1;
    if (current_->parent != nullptr && current_->parent->kind() == ObjectKind::AbsSpec)
        harmonics = std::max(current_->parent->obj().IPar[3], 1);
    const bool single = k == 24;
    setChecked(CBHrm, single);
    setChecked(CBHrmp, !single);
    SpEdk->setEnabled(single);
    SpEdp->setEnabled(!single);
    setSpin(SpEdk, 1, harmonics, single ? r.IPar[2] : 1);
    setSpin(SpEdp, 0, 3, single ? 0 : k - 20);
    REdccon->setValue(r.RPar[6]);
    const bool variable = r.IPar[6] != 0;
    setChecked(CBcvar, variable);
    showValue(REdcvar, variable, r.RPar[5]);
}

void TDlgRestr::updateAidButtons() {
    const bool on = EdExtEta->isEnabled();
    const double e = EdExtEta->Value();
    BtRez2->setEnabled(on && model::resonanceAidEnabled(e));
    BtEta->setEnabled(on && model::amplitudeAidEnabled(e));
    BtTheta->setEnabled(on && model::phaseAidEnabled(e));
}

void TDlgRestr::fillCoefficients() {
    auto* h = current_ != nullptr ? current_->as<model::THSHeader>() : nullptr;
    const bool shown = h != nullptr && h->HasResults;
    Coefficients->setVisible(shown);
    coefRows_.clear();
    if (!shown) return;
    const auto series = static_cast<model::CoefSeries>(CBResSelect->currentIndex());
    const bool torque = series == model::CoefSeries::M;
    if (torque) setSpin(SEDerive, 0, 3, 0);
    SEDerive->setEnabled(!torque);
    const auto magnitude = RBAbs->isChecked() ? model::Magnitude::SumAbs : model::Magnitude::Euclid;
    coefRows_ = model::coefficientRows(*h, series, SEDerive->value(), magnitude);
    const auto cells = model::coefficientCells(coefRows_, magnitude);
    LFKeta->setText(QStringLiteral("(η = ") + qs(model::FormatReal(h->sSC.at(0), 8)) + ")");
    FKGrid->setHorizontalHeaderLabels(
        {QStringLiteral("k"), QStringLiteral("s_k"), QStringLiteral("c_k"),
         magnitude == model::Magnitude::SumAbs ? QStringLiteral("|c_k|+|s_k|")
                                               : QStringLiteral("(s_k²+c_k²)^½")});
    FKGrid->setRowCount(static_cast<int>(cells.size()));
    const QColor colour = palette().color(h->ResultsCurrent ? QPalette::Active : QPalette::Disabled,
                                          QPalette::WindowText);
    for (int row = 0; row < static_cast<int>(cells.size()); ++row)
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(qs(cells[static_cast<std::size_t>(row)][col]));
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(colour);
            FKGrid->setItem(row, col, item);
        }
    FKGrid->resizeColumnsToContents();
}

// ---- coefficients out ----

namespace {

model::CoefSeries seriesOf(const QComboBox* box) {
    return static_cast<model::CoefSeries>(box->currentIndex());
}

} // namespace

void TDlgRestr::copyCoefficients() {
    auto* h = current_ != nullptr ? current_->as<model::THSHeader>() : nullptr;
    if (h == nullptr || coefRows_.empty()) return;
    const auto lines = model::coefficientLines(coefRows_, h->sSC.at(0), seriesOf(CBResSelect),
                                               calcctl::localeDecimalSeparator());
    QStringList text;
    for (const auto& l : lines) text << qs(l);
    QApplication::clipboard()->setText(text.join(QLatin1Char('\r')));
}

void TDlgRestr::saveCoefficients() {
    auto* h = current_ != nullptr ? current_->as<model::THSHeader>() : nullptr;
    if (h == nullptr || coefRows_.empty()) return;
    graphics::FileRequest request;
    request.title = QStringLiteral("Forierkoeffizienten sichern");
    request.filters = {QStringLiteral("Textdatei (*.tab)"), QStringLiteral("alle Dateien (*.*)")};
    request.defaultSuffix = QStringLiteral("tab");
    const QString path = prompts_.saveFile(this, request);
    if (path.isEmpty()) return;
    const std::string text =
        model::coefficientFileText(coefRows_, h->sSC.at(0), seriesOf(CBResSelect));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit())
        (void)prompts_.message(this, model::errorMessage(kWriteFailed + path.toStdString()),
                               graphics::Buttons::Ok);
}

// ---- window ----

void TDlgRestr::placeBesideMainWindow() {
    if (mainWindow_ == nullptr) return;
    const QRect main = mainWindow_->frameGeometry();
    const QScreen* screen = mainWindow_->screen();
    const QRect avail = screen != nullptr ? screen->availableGeometry() : QRect();
    const int w = frameGeometry().width();
    int left = main.right() + 1 + 20;
    if (avail.isValid() && left + w > avail.right() + 1) {
        left = main.left() - 20 - w;
        if (left < avail.left()) left = avail.right() + 1 - 20 - w;
    }
    move(left, main.top() + 20);
}

void TDlgRestr::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placeBesideMainWindow();
    updateAidButtons();
    Refresh();
}

void TDlgRestr::commitFocused() {
    QWidget* f = focusWidget();
    if (auto* r = qobject_cast<TRealEdit*>(f)) {
        (void)r->commit();
    } else if (auto* e = qobject_cast<QLineEdit*>(f); e == EdPInfo || e == EdShortName) {
        emit e->editingFinished();
    }
}

void TDlgRestr::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) commitFocused();
}

} // namespace ui
