// Shared helpers of the calculation-control tests: the Qt application object, scratch
// directories, small projects built through the tree operations, and runs on the event loop.
#pragma once

#include "tests/support/test_files.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "calcctl/calculation.h"
#include "model/tree.h"

namespace calcctl::test {

inline const std::string kFakeModule = TERVANA_BINARY_DIR "/tests/calcctl/fake_kq4calc";

// One application object for the whole test program (QProcess and timers need one).
inline QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "calcctl-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a = [] {
        QStandardPaths::setTestModeEnabled(true);
        return new QCoreApplication(argc, argv);
    }();
    return *a;
}

using tervana::test::readFile;

using tervana::test::writeFile;

class InScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tervana-calcctl-" + std::string(info->test_suite_name()) + "-" + info->name() +
                "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "work");
        std::filesystem::create_directories(dir_ / "lock");
        std::filesystem::create_directories(dir_ / "stage");
    }
    void TearDown() override {
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }
    std::filesystem::path work() const { return dir_ / "work"; }
    std::filesystem::path stage() const { return dir_ / "stage"; }
    QString lockDir() const { return QString::fromStdString((dir_ / "lock").string()); }
    const std::filesystem::path& dir() const { return dir_; }

    // A calculation that runs the fake module in the scratch directory.
    void configure(Calculation& c) const {
        c.settings.workDir = QString::fromStdString(work().string());
        c.settings.modulePath = QString::fromStdString(kFakeModule);
        c.settings.lockDir = lockDir();
        c.settings.inhibitScreenSaver = false;
        c.settings.listingPollMs = 50;
    }
    // The fake's instructions; "stage" is added for the staged files.
    void control(const std::string& lines) const {
        writeFile(work() / "fake.ctl", "stage " + stage().string() + "\n" + lines);
    }
    void staged(const std::string& name, const std::string& text) const {
        writeFile(stage() / name, text);
    }

private:
    std::filesystem::path dir_;
};

// Runs the calculation of node on the event loop until it has finished (at most 20 s).
inline int runToEnd(Calculation& c, model::Node& node) {
    bool done = false;
    QEventLoop loop;
    QObject::connect(&c, &Calculation::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    c.calculate(node);
    if (!done) loop.exec();
    EXPECT_TRUE(done) << "the calculation did not finish";
    return c.code();
}

// A restriction under motionNode.
inline model::TRestr& addRestr(model::Node& motionNode, int kind, double phi1, double phi2,
                               double lo, double hi) {
    auto r = std::make_unique<model::TRestr>();
    const bool rel = motionNode.obj().kind() == model::ObjectKind::RelSpec;
    r->IPar[1] = rel ? motionNode.obj().IPar[1] : motionNode.obj().IPar[2];
    if (rel) r->IPar[2] = motionNode.obj().IPar[2];
    r->IPar[3] = kind;
    r->RPar[2] = phi1;
    r->RPar[4] = phi2;
    r->RPar[6] = lo;
    r->RPar[8] = hi;
    if (model::isSpectrumKind(kind)) r->IPar[2] = 1;
    r->GlobalPar = r->RPar;
    return *model::addChild(motionNode, std::move(r)).as<model::TRestr>();
}

// A project with `motions` absolute motion specifications of K harmonics, each with a point
// restriction at 90 degrees, and (for two or more) the relative specification 1-2 with an
// interval restriction.
inline model::Node& smallProject(model::ProjectTree& tree, int motions, int K) {
    model::Node& p = tree.newProject();
    for (int n = 1; n <= motions; ++n) {
        model::Node& h = model::findOrCreateAbs(p, n);
        h.obj().IPar[3] = K;
        h.obj().RPar[3] = 0.1;
        addRestr(h, 0, 90.0, 0.0, -1.0, 1.0);
    }
    if (motions >= 2) addRestr(model::findOrCreateRel(p, 1, 2), 50, 10.0, 100.0, -5.0, 5.0);
    model::refreshCaptions(p);
    return p;
}

} // namespace calcctl::test
