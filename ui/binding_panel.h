// The panel "beta begrenzt durch" under the project tree: the restrictions that bind at the
// reached beta, for the motion specification of the selection (the selected one, or the one a
// selected restriction belongs to) and for no other; those that limit beta come first, then
// those that merely sit at a fixed bound. The main window shows it again after every change
// and selection the model announces, so it never names a restriction that is gone or stale.
#pragma once

#include <QDockWidget>

#include <vector>

#include "model/tree.h"

class QTextBrowser;

namespace ui {

class TBindingPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TBindingPanel(QWidget* parent = nullptr);

    // What binds for the selection; with nothing to say about it, a short hint.
    void showFor(const model::Node* selection);
    // A restriction about to be freed is no longer offered as a link.
    void forget(const model::Node* node);

    // The restrictions listed, in their order, and how many of the first limit beta.
    const std::vector<const model::Node*>& listed() const { return listed_; }
    std::size_t limitingCount() const { return limiting_; }

    QTextBrowser* TBList = nullptr;

signals:
    // A listed restriction was clicked.
    void restrictionChosen(model::Node* restriction);

private:
    std::vector<const model::Node*> listed_;
    std::size_t limiting_ = 0;
};

} // namespace ui
