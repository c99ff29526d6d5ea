#include "graphics/diagrams.h"

#include <QCheckBox>
#include <QScreen>
#include <QSettings>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include "graphics/diagram_options.h"
#include "graphics/motion_curves.h"
#include "graphics/pict_ex_opt.h"
#include "graphics/prompts.h"
#include "model/editing.h"

namespace graphics {

using model::Node;
using model::ObjectKind;

namespace {

constexpr const char* kGroup = "V0398/Grafik";
// Where an earlier version kept the group: a settings file apart from the user's store.
constexpr const char* kOldOrganisation = "Norbeck";
constexpr const char* kOldApplication = "Tervana";

// Moves the group from the old place into store, unless store has it already.
void moveOldGroup(QSettings& store) {
    const QString group = QString::fromLatin1(kGroup);
    store.beginGroup(group);
    const bool present = !store.childKeys().isEmpty();
    store.endGroup();
    QSettings old(QString::fromLatin1(kOldOrganisation), QString::fromLatin1(kOldApplication));
    if (present || old.fileName() == store.fileName()) return;
    old.beginGroup(group);
    const QStringList keys = old.childKeys();
    if (keys.isEmpty()) return;
    store.beginGroup(group);
    for (const QString& k : keys) store.setValue(k, old.value(k));
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError) return; // not moved: the old place keeps it
    old.remove(QString());
}

} // namespace

QByteArray encodeStyle(const model::PaintStyle& s) {
    QByteArray b(28, '\0');
    auto* d = reinterpret_cast<uchar*>(b.data());
    d[0] = s.qLine;
    d[1] = s.sLine;
    const std::int32_t values[6] = {s.qColor,   s.sColor,      s.minColor,
                                    s.maxColor, s.DomainColor, s.Spare};
    for (int i = 0; i < 6; ++i) qToLittleEndian<qint32>(values[i], d + 4 + 4 * i);
    return b;
}

bool decodeStyle(const QByteArray& bytes, model::PaintStyle& s) {
    if (bytes.size() != 28) return false;
    const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
    model::PaintStyle r;
    r.qLine = d[0] <= 4 ? d[0] : 0;
    r.sLine = d[1] <= 4 ? d[1] : 0;
    std::int32_t* fields[6] = {&r.qColor,   &r.sColor,      &r.minColor,
                               &r.maxColor, &r.DomainColor, &r.Spare};
    // The colour and the mark of a picked one; the highlight in Spare is a plain colour.
    for (int i = 0; i < 6; ++i)
        *fields[i] = qFromLittleEndian<qint32>(d + 4 + 4 * i) &
                     (i < 5 ? 0x00FFFFFF | model::kPickedColour : 0x00FFFFFF);
    s = r;
    return true;
}

DiagramWindows::DiagramWindows(model::ProjectTree& tree, DiagramServices services,
                               QWidget* mainWindow)
    : tree_(tree), services_(std::move(services)), mainWindow_(mainWindow) {
    services_.exportOptions = [this] { return exportOptions(); };
    options_ = new TDlgDiagOpt(tree_, *services_.prompts, mainWindow);
    const QScreen* screen = mainWindow != nullptr ? mainWindow->screen() : nullptr;
    pictExOpt_ =
        new TDlgPictExOpt(screen != nullptr ? screen->logicalDotsPerInch() : 96.0, mainWindow);
    defaults_ = new TDlgDiagDefault(*services_.prompts, mainWindow);
    connect(options_, &TDlgDiagOpt::styleChanged, this, [this](Node*) { redrawPending(); });
    connect(defaults_, &TDlgDiagDefault::changeEverywhere, this,
            [this] { applyDefaultsEverywhere(); });
    tree_.addObserver(*this);
}

DiagramWindows::~DiagramWindows() {
    tree_.removeObserver(*this);
    options_->Bind(nullptr); // the windows go now, the options window later
    for (TGrafik* w : windows_) {
        w->disconnect(this);
        delete w;
    }
    // Without a main window to own them, the dialogs go with this object.
    if (mainWindow_ == nullptr) {
        delete options_;
        delete defaults_;
        delete pictExOpt_;
    }
}

TGrafik* DiagramWindows::open(std::vector<Node*> members) {
    auto* w = new TGrafik(services_, std::move(members), nullptr);
    w->pic.highlight = defaultHighlight;
    windows_.push_back(w);
    connect(w, &TGrafik::bindOptions, this, [this](TGrafik* g) { options_->Bind(g); });
    connect(w, &TGrafik::optionsRequested, this, [this](TGrafik* g) {
        options_->Bind(g);
        options_->show();
        options_->raise();
    });
    connect(w, &TGrafik::curveToggled, this, [this](TGrafik* g, int i, bool on) {
        options_->Bind(g);
        options_->CBCurves[static_cast<std::size_t>(i)]->setChecked(on);
    });
    connect(w, &TGrafik::closing, this, [this](TGrafik* g) {
        if (options_->bound() == g) options_->Bind(nullptr);
        std::erase(windows_, g);
    });
    w->show();
    w->Redraw();
    options_->Bind(w);
    return w;
}

TGrafik* DiagramWindows::openFor(Node& selected) {
    std::vector<Node*> members;
    switch (selected.kind()) {
    case ObjectKind::Project:
    case ObjectKind::Group:
    case ObjectKind::GroupMember:
        if (Node* project = model::projectOf(&selected))
            for (auto& c : project->children)
                if (c->as<model::TPaintObj>() != nullptr) members.push_back(c.get());
        break;
    default:
        if (selected.as<model::TPaintObj>() != nullptr)
            members.push_back(&selected);
        else if (selected.parent != nullptr && selected.parent->as<model::TPaintObj>() != nullptr)
            members.push_back(selected.parent);
        break;
    }
    return open(std::move(members));
}

ExportOptions DiagramWindows::exportOptions() const {
    return pictExOpt_->options();
}

void DiagramWindows::showExportOptions() {
    (void)services_.prompts->exec(*pictExOpt_);
}

void DiagramWindows::showDefaults() {
    defaults_->load(defaultHighlight);
    (void)services_.prompts->exec(*defaults_);
    defaultHighlight = defaults_->Style->highlight();
}

void DiagramWindows::applyDefaultsEverywhere() {
    for (const auto& project : tree_.roots)
        for (const auto& c : project->children)
            if (c->as<model::TPaintObj>() != nullptr)
                model::setPaintStyle(*c, model::diagramDefaults());
    for (TGrafik* w : windows_) w->Redraw();
}

void DiagramWindows::readSettings(QSettings& s) {
    moveOldGroup(s);
    s.beginGroup(QString::fromLatin1(kGroup));
    bool ok = false;
    const uint hl = s.value(QStringLiteral("HLColor")).toUInt(&ok);
    if (ok) defaultHighlight = colorOf(static_cast<std::int32_t>(hl & 0x00FFFFFF));
    model::PaintStyle style;
    if (decodeStyle(s.value(QStringLiteral("DColor")).toByteArray(), style))
        model::diagramDefaults() = style;
    s.endGroup();
    pictExOpt_->readSettings(s);
}

void DiagramWindows::writeSettings(QSettings& s) const {
    s.beginGroup(QString::fromLatin1(kGroup));
    s.setValue(QStringLiteral("HLColor"), static_cast<uint>(bgrOf(defaultHighlight)));
    s.setValue(QStringLiteral("DColor"), encodeStyle(model::diagramDefaults()));
    s.endGroup();
    pictExOpt_->writeSettings(s);
}

// ---- following the model ----

bool DiagramWindows::shows(const TGrafik& w, const Node& node) const {
    for (const Node* m : w.pic.members) {
        if (m == &node || node.parent == m) return true;
        if (node.kind() == ObjectKind::Project && model::projectOf(m) == &node) return true;
    }
    return false;
}

void DiagramWindows::notifyChanged(const Node& node, model::ChangeFlags what) {
    using model::ChangeFlags;
    // The options window lists the projects and their motions: new ones, order and captions.
    const bool listed =
        node.kind() == ObjectKind::Project || node.as<model::TPaintObj>() != nullptr;
    if (listed && any(what & (ChangeFlags::Structure | ChangeFlags::Caption))) listStale_ = true;
    if (!any(what & (ChangeFlags::Values | ChangeFlags::Results | ChangeFlags::Caption |
                     ChangeFlags::Presentation)))
        return;
    for (TGrafik* w : windows_)
        if (shows(*w, node)) w->redrawNeeded = true;
}

void DiagramWindows::notifyRemoved(const Node& node) {
    for (TGrafik* w : windows_)
        if (w->hasMember(&node)) w->removeMember(&node);
    // The node is still among its parent's children: the list drops its entry now and is
    // built again once the command is done.
    options_->forget(&node);
    listStale_ = true;
}

void DiagramWindows::notifySelection(const Node*) {
    // The selected motion and its restrictions are highlighted.
    for (TGrafik* w : windows_) w->redrawNeeded = true;
    redrawPending();
}

void DiagramWindows::notifyChangesDone() {
    if (listStale_) {
        listStale_ = false;
        options_->rebuildTree();
    }
    redrawPending();
}

void DiagramWindows::redrawPending() {
    for (TGrafik* w : windows_)
        if (w->redrawNeeded) w->Redraw();
}

} // namespace graphics
