// "Optionen (Bitmap-Export)": size, aspect ratio, resolution and font of saved, copied and
// printed diagrams, kept in the settings group "V0398/Grafik".
#pragma once

#include <QDialog>

#include "graphics/export.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSettings;
class QSpinBox;

namespace graphics {

class TDlgPictExOpt : public QDialog {
    Q_OBJECT
public:
    // screenPpi names the first resolution entry.
    explicit TDlgPictExOpt(double screenPpi, QWidget* parent = nullptr);

    ExportOptions options() const;
    // With "Din-Seitenverhältnis" and the "Querformat" box (stored as ExLS).
    bool din() const;
    bool landscape() const;
    void setExportFont(const QFont& font);

    // Reads the values when the group exists; a value that is missing, unreadable or out of
    // range keeps its default. Writes all of them.
    void readSettings(QSettings& settings);
    void writeSettings(QSettings& settings) const;

    QSpinBox* EdWidth = nullptr;
    QSpinBox* EdHeight = nullptr;
    QComboBox* CBRes = nullptr;
    QCheckBox* CBDin = nullptr;
    QCheckBox* CBLandscape = nullptr;
    QPushButton* BFont = nullptr;

private:
    void keepDinRatio(bool heightChanged);
    void chooseFont();

    QLabel* fontSample_ = nullptr;
    QFont font_;
    bool adjusting_ = false;
};

} // namespace graphics
