// Shared helpers of the model tests: projects built through the tree operations, scratch
// directories, files.
#pragma once

#include "tests/support/test_files.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "model/series.h"
#include "model/tree.h"

namespace model::test {

using tervana::test::readFile;

using tervana::test::writeFile;

class InScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tervana-model-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// A restriction under motionNode with the given kind and slots.
inline TRestr& addRestr(Node& motionNode, int kind, double phi1, double phi2 = 0.0,
                        double lo = -1.0, double hi = 1.0) {
    auto r = std::make_unique<TRestr>();
    r->IPar[1] = motionNode.obj().kind() == ObjectKind::RelSpec ? motionNode.obj().IPar[1]
                                                                : motionNode.obj().IPar[2];
    if (motionNode.obj().kind() == ObjectKind::RelSpec) r->IPar[2] = motionNode.obj().IPar[2];
    r->IPar[3] = kind;
    r->RPar[2] = phi1;
    r->RPar[4] = phi2;
    r->RPar[6] = lo;
    r->RPar[8] = hi;
    if (isSpectrumKind(kind)) r->IPar[2] = 1;
    r->GlobalPar = r->RPar;
    return *addChild(motionNode, std::move(r)).as<TRestr>();
}

// Gives an absolute specification K harmonics of random results, with q and M derived.
inline void giveResults(THSHeader& h, int K, std::mt19937& rng, double eta = 0.0,
                        double theta = 0.1) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    h.IPar[3] = K;
    h.sSC.ReSize(2 * K + 2);
    h.sSC.set(0, eta);
    for (int i = 1; i < 2 * K + 2; ++i) h.sSC.set(i, u(rng) / (i > 1 ? i / 2 : 1));
    h.RPar[3] = theta;
    deriveQ(h, eta, theta);
    deriveM(h);
    h.HasResults = true;
    h.ResultsCurrent = true;
    h.ResultHarmonics = K;
}

} // namespace model::test
