#include "ui/binding_panel.h"

#include <QTextBrowser>
#include <QUrl>

#include <algorithm>

#include "calcctl/platform.h"
#include "model/binding.h"
#include "model/format_real.h"
#include "model/results.h"

namespace ui {

namespace {

// A list a few lines high: the tree above keeps most of the window.
class CompactBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QSize sizeHint() const override {
        return {QTextBrowser::sizeHint().width(), fontMetrics().lineSpacing() * 8 + 8};
    }
};

QString html(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

// The motion specification the panel speaks of for a selection.
const model::Node* motionOfSelection(const model::Node* n) {
    if (n == nullptr) return nullptr;
    if (const auto* member = n->as<model::TGroupMember>())
        n = member->restriction() != nullptr ? member->restriction()->node : nullptr;
    if (n != nullptr && n->kind() == model::ObjectKind::Restriction) n = n->parent;
    return n != nullptr && n->as<model::TPaintObj>() != nullptr ? n : nullptr;
}

QString note(const char* text) {
    return QStringLiteral("<p><i>") + QString::fromUtf8(text) + QStringLiteral("</i></p>");
}

} // namespace

TBindingPanel::TBindingPanel(QWidget* parent)
    : QDockWidget(QStringLiteral("beta begrenzt durch"), parent) {
    setObjectName(QStringLiteral("DBinding"));
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    TBList = new CompactBrowser(this);
    TBList->setObjectName(QStringLiteral("TBList"));
    TBList->setOpenLinks(false);
    TBList->setLineWrapMode(QTextEdit::WidgetWidth);
    TBList->document()->setDocumentMargin(3);
    setWidget(TBList);
    connect(TBList, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        bool ok = false;
        const int i = url.toString().mid(1).toInt(&ok);
        if (!ok || i < 0 || i >= static_cast<int>(listed_.size())) return;
        if (const model::Node* r = listed_[static_cast<std::size_t>(i)])
            emit restrictionChosen(const_cast<model::Node*>(r));
    });
    showFor(nullptr);
}

void TBindingPanel::forget(const model::Node* node) {
    std::replace(listed_.begin(), listed_.end(), node, static_cast<const model::Node*>(nullptr));
}

void TBindingPanel::showFor(const model::Node* selection) {
    listed_.clear();
    limiting_ = 0;
    const model::Node* motionNode = motionOfSelection(selection);
    if (motionNode == nullptr) {
        TBList->setHtml(note("Eine Bewegungsvorgabe oder Restriktion auswählen."));
        return;
    }
    const auto& motion = *motionNode->as<model::TPaintObj>();
    const char sep = calcctl::localeDecimalSeparator();
    QString text = QStringLiteral("<p><b>") + html(motion.Caption);
    if (const auto* h = motionNode->as<model::THSHeader>(); h != nullptr && !h->ShortName.empty())
        text += QStringLiteral(" (") + html(h->ShortName) + QStringLiteral(")");
    text += QStringLiteral("</b>");
    if (!motion.HasResults || !motion.ResultsCurrent) {
        TBList->setHtml(text + QStringLiteral("</p>") + note("Keine aktuellen Ergebnisse."));
        return;
    }
    const model::Node* project = model::projectOf(motionNode);
    const std::optional<model::KeptResult> kept =
        project != nullptr ? model::keptResult(*project) : std::nullopt;
    // Code 1 at beta 0: nothing depends on beta.
    const int maximumMet = !kept || kept->code != 1 ? 0 : kept->beta > 0.0 ? 1 : 2;
    if (project != nullptr) {
        const double level = kept ? kept->beta : model::reachedLevel(*project);
        text += QString::fromUtf8(kept ? ": β = " : ": β ≈ ") +
                html(model::displayReal(level, 4, sep)) +
                (kept ? QString() : QStringLiteral(" (aus den Schranken geschätzt)"));
    }
    text += QStringLiteral("</p>");

    const std::vector<model::Binding> binding = model::bindingRestrictions(*motionNode, sep);
    const auto firstOther = std::find_if(binding.begin(), binding.end(),
                                         [](const model::Binding& b) { return !b.limiting; });
    limiting_ = static_cast<std::size_t>(firstOther - binding.begin());
    if (maximumMet != 0)
        text += note(maximumMet == 1 ? "Nichts: die Maximalforderungen werden erfüllt."
                                     : "Nichts: keine Forderung hängt von beta ab.");
    else if (limiting_ == 0)
        text += note("Keine Restriktion mit veränderlicher Forderung an ihrer Schranke.");
    for (const model::Binding& b : binding) {
        if (listed_.size() == limiting_ && limiting_ < binding.size())
            text += QStringLiteral("<p><b>") +
                    QString::fromUtf8(maximumMet != 0  ? "An ihren Schranken:"
                                      : limiting_ == 0 ? "An festen Schranken:"
                                                       : "Außerdem an festen Schranken:") +
                    QStringLiteral("</b></p>");
        text += QStringLiteral("<p><a href=\"#%1\" style=\"white-space:pre-wrap\">")
                    .arg(listed_.size()) +
                html(b.restriction->obj().Caption) + QStringLiteral("</a><br>") +
                html(b.why).replace(QStringLiteral("; "), QStringLiteral("<br>")) +
                QStringLiteral("</p>");
        listed_.push_back(b.restriction);
    }
    TBList->setHtml(text);
}

} // namespace ui
