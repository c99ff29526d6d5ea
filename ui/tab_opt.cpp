#include "ui/tab_opt.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ui {

TDlgTab::TDlgTab(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vorgabe Wertetabelle"));
    setObjectName(QStringLiteral("DlgTab"));
    auto* columns = new QGroupBox(QStringLiteral("Spalten"), this);
    auto* grid = new QGridLayout(columns);
    // Rows "Weg" .. "Ruck" with the derivatives of s and q, then the torque term.
    static const char* const rows[] = {"Weg", "Geschwindigkeit", "Beschleunigung", "Ruck"};
    static const char* const sNames[] = {"s", "s'", "s''", "s'''"};
    static const char* const qNames[] = {"q", "q'", "q''", "q'''"};
    static const char* const sObj[] = {"Prns0", "Prns1", "Prns2", "Prns3"};
    static const char* const qObj[] = {"Prnq0", "Prnq1", "Prnq2", "Prnq3"};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(rows[i]), columns), i, 0);
        boxes_[static_cast<std::size_t>(i)] = new QCheckBox(QString::fromUtf8(sNames[i]), columns);
        boxes_[static_cast<std::size_t>(i)]->setObjectName(QString::fromUtf8(sObj[i]));
        grid->addWidget(boxes_[static_cast<std::size_t>(i)], i, 1);
        boxes_[static_cast<std::size_t>(5 + i)] =
            new QCheckBox(QString::fromUtf8(qNames[i]), columns);
        boxes_[static_cast<std::size_t>(5 + i)]->setObjectName(QString::fromUtf8(qObj[i]));
        grid->addWidget(boxes_[static_cast<std::size_t>(5 + i)], i, 2);
    }
    grid->addWidget(new QLabel(QStringLiteral("Antriebsmoment"), columns), 4, 0);
    boxes_[4] = new QCheckBox(QString::fromUtf8("s'·s''"), columns);
    boxes_[4]->setObjectName(QStringLiteral("PrnM"));
    grid->addWidget(boxes_[4], 4, 1);

    Edwidth = new QSpinBox(this);
    Edwidth->setObjectName(QStringLiteral("Edwidth"));
    Edwidth->setRange(4, 10);
    EdInc = new QDoubleSpinBox(this);
    EdInc->setObjectName(QStringLiteral("EdInc"));
    EdInc->setDecimals(4);
    EdInc->setRange(0.0001, 90.0);
    // The step is shown with the user's decimal separator, whatever the language of the texts.
    EdInc->setLocale(QLocale::system());
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Stellenzahl"), Edwidth);
    form->addRow(QString::fromUtf8("Schrittweite [°]"), EdInc);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(columns);
    layout->addLayout(form);
    layout->addWidget(buttons);

    for (QCheckBox* b : boxes_) connect(b, &QCheckBox::toggled, this, &TDlgTab::BoxClick);
    setSettings(model::TableSettings{});
}

model::TableSettings TDlgTab::settings() const {
    model::TableSettings t;
    for (std::size_t i = 0; i < 4; ++i) {
        t.s[i] = boxes_[i]->isChecked();
        t.q[i] = boxes_[5 + i]->isChecked();
    }
    t.M = boxes_[4]->isChecked();
    t.digits = Edwidth->value();
    t.step = EdInc->value();
    t.clamp();
    return t;
}

void TDlgTab::setSettings(const model::TableSettings& t) {
    for (QCheckBox* b : boxes_) b->blockSignals(true);
    for (std::size_t i = 0; i < 4; ++i) {
        boxes_[i]->setChecked(t.s[i]);
        boxes_[5 + i]->setChecked(t.q[i]);
    }
    boxes_[4]->setChecked(t.M);
    for (QCheckBox* b : boxes_) b->blockSignals(false);
    Edwidth->setValue(t.digits);
    EdInc->setValue(t.step);
    BoxClick();
}

// At least one column always remains: the only checked box cannot be unchecked.
void TDlgTab::BoxClick() {
    const std::array<bool, 9> enabled = model::enabledBoxes(settings());
    for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setEnabled(enabled[i]);
}

} // namespace ui
