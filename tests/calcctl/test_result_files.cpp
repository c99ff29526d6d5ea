// The readers of the module's result files: status, coefficients, varied records.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "calcctl/result_files.h"
#include "tests/calcctl/calcctl_test_support.h"

namespace calcctl {
namespace {

using test::addRestr;

TEST(StatusFile, FirstLineIsTheCode) {
    EXPECT_EQ(parseStatus(" 0\n"), 0);
    EXPECT_EQ(parseStatus("-5\r\nrest"), -5);
    EXPECT_EQ(parseStatus("   1"), 1);
    EXPECT_EQ(parseStatus(""), std::nullopt);
    EXPECT_EQ(parseStatus("\n0\n"), std::nullopt);
    EXPECT_EQ(parseStatus("0,5\n"), std::nullopt);
    EXPECT_EQ(parseStatus("x\n"), std::nullopt);
    EXPECT_EQ(parseStatus("99999999999\n"), std::nullopt);
    EXPECT_EQ(readStatusFile("/nonexistent/kq4.err"), std::nullopt);
}

TEST(CoefficientFile, PairsGoToCosineThenSine) {
    // a0 eta / a(1) b(1) / a(2) b(2) / the polynomial terms and the rest are not read.
    model::TVector s;
    ASSERT_TRUE(parseCoefficients(
        " 4.5\t 0.25\n 1.0E+00\t-2.0\n 3.0D-1\t 4\n 0 0\n 0.1 0\n 1 0.01\n", 2, s));
    ASSERT_EQ(s.Count(), 6);
    EXPECT_EQ(s.at(0), 0.25); // eta
    EXPECT_EQ(s.at(1), 4.5);  // constant term
    EXPECT_EQ(s.at(2), -2.0); // sine of harmonic 1
    EXPECT_EQ(s.at(3), 1.0);  // cosine of harmonic 1
    EXPECT_EQ(s.at(4), 4.0);
    EXPECT_DOUBLE_EQ(s.at(5), 0.3);
}

TEST(CoefficientFile, ZeroHarmonicsReadsOnePair) {
    model::TVector s;
    ASSERT_TRUE(parseCoefficients("2.5 0\n0 0\n", 0, s));
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.at(1), 2.5);
}

TEST(CoefficientFile, ShortGarbageOrNaNLeavesTheSeriesAlone) {
    model::TVector s(4);
    s.set(1, 7.0);
    const model::TVector before = s;
    EXPECT_FALSE(parseCoefficients("1 0\n2 3\n", 2, s));      // one pair missing
    EXPECT_FALSE(parseCoefficients("1 0\n2 3\n4\n", 2, s));   // half a pair
    EXPECT_FALSE(parseCoefficients("1 0\n2 x\n4 5\n", 2, s)); // garbage
    EXPECT_FALSE(parseCoefficients("1 0\n2 nan\n4 5\n", 2, s));
    EXPECT_FALSE(parseCoefficients("1 0\n2 inf\n4 5\n", 2, s));
    EXPECT_FALSE(parseCoefficients("1 0\n2 1e999\n4 5\n", 2, s));
    EXPECT_FALSE(parseCoefficients("1,5 0\n2 3\n4 5\n", 2, s)); // a comma is no decimal point
    EXPECT_FALSE(parseCoefficients("", 0, s));
    EXPECT_FALSE(parseCoefficients("1 0\n", -1, s));
    EXPECT_EQ(s, before);
    EXPECT_FALSE(readCoefficientFile("/nonexistent/remote$.fk1", 1, s));
}

TEST(Real48, KeepsFortyBits) {
    EXPECT_EQ(toReal48(0.5), 0.5);
    EXPECT_EQ(toReal48(-3.0), -3.0);
    EXPECT_EQ(toReal48(0.0), 0.0);
    const double third = 1.0 / 3.0;
    const double r = toReal48(third);
    EXPECT_NE(r, third);
    EXPECT_NEAR(r, third, std::ldexp(1.0, -41));
    // 40 significant bits: a multiple of 2^-41 for values in [0.25, 0.5).
    EXPECT_EQ(std::ldexp(r, 41), std::round(std::ldexp(r, 41)));
}

class VariedRecords : public ::testing::Test {
protected:
    void SetUp() override {
        p = &tree.newProject();
        h = &model::findOrCreateAbs(*p, 1);
        a = &addRestr(*h, 0, 90.0, 0.0, -1.0, 1.0);
        b = &addRestr(*h, 10, 10.0, 50.0, -1.0, 1.0);
        // Records as the input writer numbers them: project, motion, a, b.
        objects = {p, h, a->node, b->node};
    }
    // The reals the records give to the restriction r, or none.
    static const std::array<double, 13>* of(const model::VariedParameters& v, model::TRestr* r) {
        for (const auto& [node, reals] : v)
            if (node == r->node) return &reals;
        return nullptr;
    }
    static std::string record(int first, int group, int number, int base) {
        std::string t = std::to_string(first) + " 0 10 0 0 0 0 " + std::to_string(group) + " " +
                        std::to_string(number) + "\n";
        for (int i = 1; i <= 12; ++i) t += " " + std::to_string(base + i);
        return t + "\n";
    }
    model::ProjectTree tree;
    model::Node* p = nullptr;
    model::Node* h = nullptr;
    model::TRestr* a = nullptr;
    model::TRestr* b = nullptr;
    std::vector<const model::Node*> objects;
};

TEST_F(VariedRecords, MatchedByNumberOnlyForGroupsOfRestrictions) {
    const std::string text = "kqe of a run\n" + record(1, 1, 4, 100) + // b, group 1
                             record(1, 0, 3, 200) +                    // no group: skipped
                             record(1, 2, 2, 300) +                    // the motion specification
                             record(0, 1, 3, 400) +                    // first integer 0
                             record(1, 1, 5, 500) +                    // no such record
                             "# comment line\n";
    const auto v = parseVariedRecords(text, objects);
    ASSERT_TRUE(v);
    ASSERT_EQ(v->size(), 1u);
    for (int i = 1; i <= 12; ++i) EXPECT_EQ((*of(*v, b))[static_cast<std::size_t>(i)], 100.0 + i);
    EXPECT_EQ(of(*v, a), nullptr);
}

TEST_F(VariedRecords, CutShortOrGarbageGivesNothing) {
    std::string cut = record(1, 1, 3, 10) + record(1, 1, 4, 20);
    cut.resize(cut.size() - 10);
    EXPECT_FALSE(parseVariedRecords(cut, objects));
    std::string garbage = record(1, 1, 3, 10) + "1 0 10 0 0 0 0 1 4\n 1 2 3 x 5 6 7 8 9 10 11 12\n";
    EXPECT_FALSE(parseVariedRecords(garbage, objects));
    EXPECT_FALSE(parseVariedRecords(record(1, 1, 3, 10) + "1 0 10 0 0 0 0 1 4\n 1 2 3 nan 5 6 "
                                                          "7 8 9 10 11 12\n",
                                    objects));
    EXPECT_FALSE(readVariedRecords("/nonexistent/remote$.kqe", objects));
}

TEST_F(VariedRecords, RealsPassThroughSixByteReals) {
    std::string text = "1 0 10 0 0 0 0 1 3\n 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 1.0 1.1 1.2\n";
    const auto v = parseVariedRecords(text, objects);
    ASSERT_TRUE(v && of(*v, a) != nullptr);
    const double x = (*of(*v, a))[1];
    EXPECT_EQ(x, toReal48(0.1));
    EXPECT_NE(x, 0.1);
    EXPECT_NEAR(x, 0.1, 1e-12);
}

} // namespace
} // namespace calcctl
