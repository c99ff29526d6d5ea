// "Vorgabe Wertetabelle": the columns, digits and angle step of the value table. The settings
// live for the program's run only.
#pragma once

#include <QDialog>

#include <array>

#include "model/value_table.h"

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace ui {

class TDlgTab : public QDialog {
    Q_OBJECT
public:
    explicit TDlgTab(QWidget* parent = nullptr);

    // The settings as the controls show them, and back.
    model::TableSettings settings() const;
    void setSettings(const model::TableSettings& t);

    // Column boxes in the fixed column order: s, s', s'', s''', s'·s'', q, q', q'', q'''.
    QCheckBox* box(int i) const { return boxes_[static_cast<std::size_t>(i)]; }
    QSpinBox* Edwidth = nullptr;
    QDoubleSpinBox* EdInc = nullptr;

private:
    void BoxClick();

    std::array<QCheckBox*, 9> boxes_{};
};

} // namespace ui
