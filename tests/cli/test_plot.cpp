// tervana-cli plot and report into PDF: the diagrams of an example drawn into files of the asked
// size, the report as the window prints it, and bad arguments refused.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <sstream>

#include "cli/plot_command.h"

namespace {

class Plot : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc, argv);
        ASSERT_TRUE(dir_.isValid());
    }
    int run(std::vector<std::string> args) {
        out_.str({});
        err_.str({});
        args.insert(args.begin(), "plot");
        return cli::runPlotCli(args, out_, err_);
    }
    std::string path(const char* name) const { return (dir_.path() + "/" + name).toStdString(); }
    const std::string example_ = TERVANA_SOURCE_DIR "/examples/slide_gripper.k4p";
    std::unique_ptr<QApplication> app_;
    QTemporaryDir dir_;
    std::ostringstream out_, err_;
};

TEST_F(Plot, BitmapHasTheAskedSizeAndShowsCurves) {
    ASSERT_EQ(run({example_, "--objects", "1", "--size", "640x480", "-o", path("a.png")}), 0)
        << err_.str();
    const QImage image(QString::fromStdString(path("a.png")));
    ASSERT_EQ(image.size(), QSize(640, 480));
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 2000); // frames, labels and curves on white
    EXPECT_LT(dark, 640 * 480 / 4);
}

TEST_F(Plot, VectorFormatsAndRefusals) {
    for (const char* f : {"b.svg", "b.pdf", "b.emf", "b.wmf"})
        EXPECT_EQ(run({example_, "--all", "--diagrams", "s,M", "-o", path(f)}), 0) << f;
    EXPECT_EQ(run({example_, "-o", path("c.jpg")}), 1);
    EXPECT_NE(err_.str().find("Unbekanntes Format: .jpg"), std::string::npos);
    EXPECT_EQ(run({example_, "--diagrams", "x", "-o", path("d.png")}), 2);
    EXPECT_EQ(run({example_, "--size", "10x10", "-o", path("d.png")}), 2);
    EXPECT_EQ(run({example_, "--objects", "7", "-o", path("d.png")}), 2);
    EXPECT_EQ(run({"/nonexistent.k4p", "-o", path("d.png")}), 1);
}

TEST_F(Plot, ReportAsPdfCarriesItsDateAndTitle) {
    qputenv("SOURCE_DATE_EPOCH", "1796083200"); // 1.12.2026
    const std::string pdf = path("r.pdf");
    ASSERT_TRUE(cli::wantsReportPdf({"report", example_, "-o", pdf}));
    ASSERT_EQ(cli::runReportPdfCli({"report", example_, "-o", pdf}, out_, err_), 0) << err_.str();
    qunsetenv("SOURCE_DATE_EPOCH");
    const std::string cmd = "pdftotext '" + pdf + "' -";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    ASSERT_EQ(pclose(p), 0);
    EXPECT_NE(text.find("Projekt: slide_gripper.k4p"), std::string::npos);
    EXPECT_NE(text.find("1.12.2026"), std::string::npos);
    EXPECT_EQ(cli::runReportPdfCli({"report", example_, "-o", path("no/r.pdf")}, out_, err_), 1);
}

} // namespace
