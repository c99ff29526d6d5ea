// The export options dialog: the DIN ratio as the sides are edited, and its settings.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "graphics/pict_ex_opt.h"

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_graphics_pict_ex_opt";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
}

class PictExOpt : public testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        ASSERT_TRUE(dir.isValid());
    }
    QSettings settings() const {
        return QSettings(dir.filePath("tervana.ini"), QSettings::IniFormat);
    }
    QTemporaryDir dir;
};

TEST_F(PictExOpt, DinRatioFollowsTheEditedSide) {
    const struct {
        bool landscape, editHeight;
        int value, width, height;
    } cases[] = {
        {true, true, 150, 200, 141},   // width 212 would exceed 200
        {false, false, 150, 141, 200}, // height 212 would exceed 200
        {false, false, 100, 100, 141}, {true, false, 180, 180, 127}, {false, true, 200, 141, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        graphics::TDlgPictExOpt dlg(96);
        EXPECT_FALSE(dlg.CBLandscape->isEnabled());
        dlg.CBDin->setChecked(true);
        EXPECT_TRUE(dlg.CBLandscape->isEnabled());
        dlg.CBLandscape->setChecked(c.landscape);
        (c.editHeight ? dlg.EdHeight : dlg.EdWidth)->setValue(c.value);
        EXPECT_EQ(dlg.options().widthMm, c.width);
        EXPECT_EQ(dlg.options().heightMm, c.height);
    }
}

TEST_F(PictExOpt, SidesAreFreeWithoutDin) {
    graphics::TDlgPictExOpt dlg(96);
    dlg.EdWidth->setValue(70);
    dlg.EdHeight->setValue(190);
    EXPECT_EQ(dlg.options().widthMm, 70);
    EXPECT_EQ(dlg.options().heightMm, 190);
    EXPECT_EQ(dlg.CBRes->itemText(0), "96 dpi (Bildschirm)");
}

TEST_F(PictExOpt, SettingsRoundTrip) {
    {
        graphics::TDlgPictExOpt dlg(96);
        dlg.CBDin->setChecked(true);
        dlg.CBLandscape->setChecked(true);
        dlg.EdHeight->setValue(100);
        dlg.CBRes->setCurrentIndex(2);
        dlg.setExportFont(QFont("DejaVu Serif", 14, QFont::Bold));
        auto s = settings();
        dlg.writeSettings(s);
    }
    graphics::TDlgPictExOpt dlg(96);
    auto s = settings();
    dlg.readSettings(s);
    EXPECT_TRUE(dlg.din());
    EXPECT_TRUE(dlg.landscape());
    EXPECT_TRUE(dlg.CBLandscape->isEnabled());
    const graphics::ExportOptions o = dlg.options();
    EXPECT_EQ(o.widthMm, 141);
    EXPECT_EQ(o.heightMm, 100);
    EXPECT_EQ(o.resolution, 2);
    EXPECT_EQ(o.font.family(), "DejaVu Serif");
    EXPECT_EQ(o.font.pointSize(), 14);
    EXPECT_TRUE(o.font.bold());
}

// Values written by hand or by another version never stop the start-up: each bad one keeps its
// default.
TEST_F(PictExOpt, BadStoredValuesKeepDefaults) {
    {
        auto s = settings();
        s.beginGroup("V0398/Grafik");
        s.setValue("ExWidth", 999);
        s.setValue("ExHeight", "abc");
        s.setValue("ExRes", 7);
        s.setValue("ExDin", -3);
        s.setValue("ExFont", "DejaVu Sans,60,-1,5,400,0,0,0,0,0");
    }
    graphics::TDlgPictExOpt dlg(96);
    auto s = settings();
    dlg.readSettings(s);
    const graphics::ExportOptions o = dlg.options();
    const graphics::ExportOptions defaults;
    EXPECT_EQ(o.widthMm, defaults.widthMm);
    EXPECT_EQ(o.heightMm, defaults.heightMm);
    EXPECT_EQ(o.resolution, 0);
    EXPECT_FALSE(dlg.din());
    EXPECT_EQ(o.font.pointSize(), 20); // sizes are 8 … 20
}

} // namespace
