// Shared helpers of the calculation module tests: a scratch working directory and input files.
#pragma once

#include "tests/support/test_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "calc/records.h"

namespace calc::test {

// Runs each test in a fresh empty working directory ("kq4.err" lands in the current one).
class InScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tervana-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path old_, dir_;
};

inline Record makeRecord(std::initializer_list<int> ipar, std::initializer_list<double> rpar = {}) {
    Record r;
    int i = 1;
    for (int v : ipar) r.IPar[static_cast<std::size_t>(i++)] = v;
    i = 1;
    for (double v : rpar) r.RPar[static_cast<std::size_t>(i++)] = v;
    return r;
}

// A start record for n objects and a header per object with nh harmonics.
inline Records simpleProject(int nObj = 1, int nh = 3) {
    Records rs{makeRecord({0, 0, nObj, 0, 0, 0, 0, 0, 1})};
    for (int m = 1; m <= nObj; ++m)
        rs.push_back(makeRecord({0, m, nh, 0, 0, 0, 0, 0, 1 + m}, {0, 0, 0, 0, 0, 1.0}));
    return rs;
}

// Writes records as the front end does: integers in 4 characters, reals in 12.
inline std::string recordText(const Records& rs, const char* eol = "\n") {
    std::string text;
    for (const Record& r : rs) {
        char buf[64];
        for (int i = 1; i <= 9; ++i) {
            std::snprintf(buf, sizeof buf, "%4d", r.IPar[static_cast<std::size_t>(i)]);
            text += buf;
        }
        text += eol;
        for (int i = 1; i <= 12; ++i) {
            // %.10g under the C locale of the writer thread is not guaranteed: build by hand.
            std::ostringstream os;
            os.imbue(std::locale::classic());
            os.precision(10);
            os << r.RPar[static_cast<std::size_t>(i)];
            text += std::string(12 - std::min<std::size_t>(11, os.str().size()), ' ') + os.str();
        }
        text += eol;
    }
    return text;
}

using tervana::test::writeFile;

using tervana::test::readFile;

inline std::vector<std::string> readLines(const std::filesystem::path& p) {
    std::vector<std::string> lines;
    std::istringstream in(readFile(p));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

} // namespace calc::test
