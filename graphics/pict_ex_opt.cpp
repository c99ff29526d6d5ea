#include "graphics/pict_ex_opt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace graphics {

namespace {

constexpr int kMinSide = 50, kMaxSide = 200, kSideStep = 10;
constexpr int kMinFontSize = 8, kMaxFontSize = 20;
const char* const kGroup = "V0398/Grafik";

int roundInt(double v) {
    return static_cast<int>(std::lround(v));
}

QFont clampedFont(QFont f) {
    if (f.pointSizeF() > 0)
        f.setPointSizeF(std::clamp(f.pointSizeF(), double(kMinFontSize), double(kMaxFontSize)));
    else
        f.setPointSize(kMinFontSize);
    return f;
}

QSpinBox* sideBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(kMinSide, kMaxSide);
    box->setSingleStep(kSideStep);
    return box;
}

} // namespace

TDlgPictExOpt::TDlgPictExOpt(double screenPpi, QWidget* parent)
    : QDialog(parent), font_(clampedFont(QFont())) {
    setWindowTitle(QStringLiteral("Optionen (Bitmap-Export)"));
    const ExportOptions defaults;
    EdWidth = sideBox(this);
    EdWidth->setValue(defaults.widthMm);
    EdHeight = sideBox(this);
    EdHeight->setValue(defaults.heightMm);
    CBRes = new QComboBox(this);
    CBRes->addItems({QString::number(roundInt(screenPpi)) + QStringLiteral(" dpi (Bildschirm)"),
                     QStringLiteral("180 dpi"), QStringLiteral("300 dpi")});
    CBDin = new QCheckBox(QStringLiteral("Din-Seitenverhältnis"), this);
    // Width = height·√2 is landscape, whatever the box was once called.
    CBLandscape = new QCheckBox(QStringLiteral("Querformat"), this);
    CBLandscape->setEnabled(false);
    BFont = new QPushButton(QStringLiteral("Schriftart"), this);
    fontSample_ = new QLabel(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Breite:"), EdWidth);
    form->addRow(QStringLiteral("Höhe:"), EdHeight);
    form->addRow(QStringLiteral("Auflösung:"), CBRes);
    form->addRow(CBDin);
    form->addRow(CBLandscape);
    form->addRow(BFont, fontSample_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(EdHeight, &QSpinBox::valueChanged, this, [this] { keepDinRatio(true); });
    connect(EdWidth, &QSpinBox::valueChanged, this, [this] { keepDinRatio(false); });
    connect(CBLandscape, &QCheckBox::toggled, this, [this] { keepDinRatio(false); });
    connect(CBDin, &QCheckBox::toggled, this, [this](bool on) {
        CBLandscape->setEnabled(on);
        keepDinRatio(false);
    });
    connect(BFont, &QPushButton::clicked, this, &TDlgPictExOpt::chooseFont);
    setExportFont(font_);
}

ExportOptions TDlgPictExOpt::options() const {
    ExportOptions o;
    o.widthMm = EdWidth->value();
    o.heightMm = EdHeight->value();
    o.resolution = CBRes->currentIndex();
    o.font = font_;
    return o;
}

bool TDlgPictExOpt::din() const {
    return CBDin->isChecked();
}
bool TDlgPictExOpt::landscape() const {
    return CBLandscape->isChecked();
}

void TDlgPictExOpt::setExportFont(const QFont& font) {
    font_ = clampedFont(font);
    fontSample_->setFont(font_);
    fontSample_->setText(font_.family() + QStringLiteral(", ") +
                         QString::number(font_.pointSizeF()) + QStringLiteral(" pt"));
}

// A changed height sets the width, any other change the height; the longer side is at most
// 200 mm, the shorter then 141 mm.
void TDlgPictExOpt::keepDinRatio(bool heightChanged) {
    if (adjusting_ || !CBDin->isChecked()) return;
    adjusting_ = true;
    const double root2 = std::sqrt(2.0);
    const int cap = roundInt(kMaxSide / root2);
    if (heightChanged) {
        const int h = EdHeight->value();
        if (!CBLandscape->isChecked()) {
            EdWidth->setValue(roundInt(h / root2));
        } else if (roundInt(h * root2) > kMaxSide) {
            EdWidth->setValue(kMaxSide);
            EdHeight->setValue(cap);
        } else {
            EdWidth->setValue(roundInt(h * root2));
        }
    } else {
        const int w = EdWidth->value();
        if (CBLandscape->isChecked()) {
            EdHeight->setValue(roundInt(w / root2));
        } else if (roundInt(w * root2) > kMaxSide) {
            EdHeight->setValue(kMaxSide);
            EdWidth->setValue(cap);
        } else {
            EdHeight->setValue(roundInt(w * root2));
        }
    }
    adjusting_ = false;
}

void TDlgPictExOpt::chooseFont() {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font_, this, QStringLiteral("Schriftart"));
    if (ok) setExportFont(chosen);
}

void TDlgPictExOpt::readSettings(QSettings& s) {
    s.beginGroup(QString::fromUtf8(kGroup));
    const auto intValue = [&s](const char* key, int lo, int hi, int fallback) {
        bool ok = false;
        const int v = s.value(QString::fromUtf8(key)).toInt(&ok);
        return ok && v >= lo && v <= hi ? v : fallback;
    };
    if (!s.childKeys().isEmpty()) {
        // Sides first with the ratio off, so that stored sides are taken as they are.
        CBDin->setChecked(false);
        EdWidth->setValue(intValue("ExWidth", kMinSide, kMaxSide, EdWidth->value()));
        EdHeight->setValue(intValue("ExHeight", kMinSide, kMaxSide, EdHeight->value()));
        CBRes->setCurrentIndex(intValue("ExRes", 0, 2, 0));
        adjusting_ = true;
        CBLandscape->setChecked(intValue("ExLS", 0, 1, 0) == 1);
        CBDin->setChecked(intValue("ExDin", 0, 1, 0) == 1);
        adjusting_ = false;
        QFont f;
        if (f.fromString(s.value(QStringLiteral("ExFont")).toString())) setExportFont(f);
    }
    s.endGroup();
}

void TDlgPictExOpt::writeSettings(QSettings& s) const {
    s.beginGroup(QString::fromUtf8(kGroup));
    s.setValue(QStringLiteral("ExDin"), CBDin->isChecked() ? 1 : 0);
    s.setValue(QStringLiteral("ExLS"), CBLandscape->isChecked() ? 1 : 0);
    s.setValue(QStringLiteral("ExWidth"), EdWidth->value());
    s.setValue(QStringLiteral("ExHeight"), EdHeight->value());
    s.setValue(QStringLiteral("ExRes"), CBRes->currentIndex());
    s.setValue(QStringLiteral("ExFont"), font_.toString());
    s.endGroup();
}

} // namespace graphics
