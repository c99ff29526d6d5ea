#include "ui/sel_opt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/tree.h"

namespace ui {

TDlgSelOpt::TDlgSelOpt(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DlgSelOpt"));
    setWindowTitle(QStringLiteral("Optimierungsobjekt"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("einfügen in:"), this));
    LBObjects = new QListWidget(this);
    LBObjects->setObjectName(QStringLiteral("LBObjects"));
    layout->addWidget(LBObjects);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Abbruch"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(LBObjects, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

bool TDlgSelOpt::fill(const model::Node* selected) {
    LBObjects->clear();
    const model::Node* project = model::projectOf(selected);
    if (project == nullptr) return false;
    LBObjects->addItem(QStringLiteral("neues Optimierungsobjekt"));
    for (const auto& c : project->children)
        if (c->kind() == model::ObjectKind::Group)
            LBObjects->addItem(QString::fromStdString(c->obj().Caption));
    LBObjects->setCurrentRow(0);
    return true;
}

int TDlgSelOpt::choice() const {
    return std::max(LBObjects->currentRow(), 0);
}

} // namespace ui
