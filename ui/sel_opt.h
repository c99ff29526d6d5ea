// "Optimierungsobjekt": the choice of the group of global optimisation objects a restriction
// joins — a new group or one of its project's groups.
#pragma once

#include <QDialog>

class QListWidget;

namespace model {
struct Node;
}

namespace ui {

class TDlgSelOpt : public QDialog {
    Q_OBJECT
public:
    explicit TDlgSelOpt(QWidget* parent = nullptr);

    // Fills the list for the project of the selected node: "neues Optimierungsobjekt", then the
    // captions of the project's groups in tree order; the first entry chosen. False when nothing
    // is selected (the dialog is not to be shown then).
    bool fill(const model::Node* selected);
    // The chosen entry: 0 a new group, i the i-th group of the list.
    int choice() const;

    QListWidget* LBObjects = nullptr;
};

} // namespace ui
