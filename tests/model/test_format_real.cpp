// Number texts: FormatReal, the 23-character real, integer fields, token parsing.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "model/format_real.h"
#include "model/text_codec.h"

using namespace model;

TEST(FormatReal, CasesOfTheRules) {
    EXPECT_EQ(FormatReal(0.0, 4), " 0.0");
    EXPECT_EQ(FormatReal(-0.0, 4), " 0.0");
    EXPECT_EQ(FormatReal(-90.0, 4), "-90.0");
    EXPECT_EQ(FormatReal(1.0e-5, 4), " 0.1E-04");
    EXPECT_EQ(FormatReal(100.0, 4), " 100.0");
    EXPECT_EQ(FormatReal(12.5, 4), " 12.5");
    EXPECT_EQ(FormatReal(1.25e-3, 4), " 0.00125");
    EXPECT_EQ(FormatReal(12345.0, 4), " 0.1235E+05"); // half away from zero
    EXPECT_EQ(FormatReal(0.5, 4), " 0.5");
    EXPECT_EQ(FormatReal(1234.0, 4), " 1234.0");
    EXPECT_EQ(FormatReal(9999.6, 4), " 0.1E+05"); // carry into a new digit
    EXPECT_EQ(FormatReal(99.996, 4), " 100.0");
    EXPECT_EQ(FormatReal(0.001, 4), " 0.001");   // e = -2
    EXPECT_EQ(FormatReal(0.0001, 4), " 0.0001"); // e = -3
    EXPECT_EQ(FormatReal(0.00001234, 4), " 0.1234E-04");
    EXPECT_EQ(FormatReal(1e100, 4), " 0.1E+101");
    EXPECT_EQ(FormatReal(-2.5e-300, 4), "-0.25E-299");
    EXPECT_EQ(FormatReal(360.0, 10), " 360.0");
    EXPECT_EQ(FormatReal(0.25, 10), " 0.25");
    EXPECT_EQ(FormatReal(1.0 / 3.0, 10), " 0.3333333333");
    EXPECT_EQ(FormatReal(2.675, 3), " 2.67"); // the double lies below 2.675
    EXPECT_EQ(FormatReal(std::nan(""), 4), " nan ");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity(), 4), " inf ");
}

TEST(FormatReal, ParsesBackToTheRoundedValue) {
    // Independent check: the text read back equals the value rounded to p digits.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> ex(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double x = mant(rng) * std::pow(10.0, ex(rng));
        for (int p : {4, 6, 10}) {
            std::string t = FormatReal(x, p);
            ASSERT_TRUE(t[0] == ' ' || t[0] == '-') << t;
            double back = 0.0;
            ASSERT_TRUE(parseDouble(t.substr(t[0] == ' ' ? 1 : 0), back)) << t;
            const double rel = std::fabs(back - x) / std::fabs(x);
            EXPECT_LE(rel, 0.5 * std::pow(10.0, 1 - p) * (1 + 1e-9)) << x << " " << t;
        }
    }
}

TEST(FormatReal, LocalizedDecimal) {
    EXPECT_EQ(localizeDecimal(" 12.5", ','), " 12,5");
    EXPECT_EQ(localizeDecimal("1,5", '.'), "1.5");
    EXPECT_EQ(localizeDecimal(" 0.1E-04", ','), " 0,1E-04");
}

TEST(Real23, Layout) {
    EXPECT_EQ(formatReal23(1.0), " 1.00000000000000E+0000");
    EXPECT_EQ(formatReal23(-0.25), "-2.50000000000000E-0001");
    EXPECT_EQ(formatReal23(0.0), " 0.00000000000000E+0000");
    EXPECT_EQ(formatReal23(1e-300), " 1.00000000000000E-0300");
    EXPECT_EQ(formatReal23(-1.7976931348623157e308), "-1.79769313486232E+0308");
    EXPECT_EQ(formatReal23(4.9e-324).size(), 23u);
    EXPECT_EQ(formatReal23(std::nan("")), "                    Nan");
    std::mt19937_64 rng(3);
    for (int i = 0; i < 10000; ++i) {
        double x;
        const std::uint64_t bits = rng();
        std::memcpy(&x, &bits, sizeof x);
        const std::string t = formatReal23(x);
        ASSERT_EQ(t.size(), 23u) << t;
        double back = 0.0;
        ASSERT_TRUE(parseDouble(t.substr(t.find_first_not_of(' ')), back)) << t;
        if (std::isnan(x)) {
            EXPECT_TRUE(std::isnan(back));
        } else {
            // 15 significant digits: the text is stable under a second round trip.
            EXPECT_EQ(formatReal23(back), t);
            if (x != 0 && std::isfinite(x) && std::fabs(x) > 1e-300) {
                EXPECT_LE(std::fabs(back - x), std::fabs(x) * 1e-14);
            }
        }
    }
}

TEST(IntField, AlwaysSeparated) {
    EXPECT_EQ(formatIntField(5, 4), "   5");
    EXPECT_EQ(formatIntField(-10, 4), " -10");
    EXPECT_EQ(formatIntField(-100, 4), " -100"); // fills the field: one blank in front
    EXPECT_EQ(formatIntField(12345, 4), " 12345");
    EXPECT_EQ(formatIntField(16711680, 10), "  16711680");
    EXPECT_EQ(formatIntField(-2147483647, 10), " -2147483647");
}

TEST(Parse, Tokens) {
    std::int32_t i = 0;
    EXPECT_TRUE(parseInt32("+12", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(parseInt32("-2147483648", i));
    EXPECT_FALSE(parseInt32("2147483648", i));
    EXPECT_FALSE(parseInt32("1.0", i));
    EXPECT_FALSE(parseInt32("", i));
    EXPECT_FALSE(parseInt32("++1", i));
    double d = 0.0;
    EXPECT_TRUE(parseDouble("1.00000000000000E+0000", d));
    EXPECT_EQ(d, 1.0);
    EXPECT_TRUE(parseDouble("-2.5e-3", d));
    EXPECT_EQ(d, -2.5e-3);
    EXPECT_FALSE(parseDouble("1e999", d));
    EXPECT_TRUE(parseDouble("1e-999", d));
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(parseDouble("1,5", d));
    EXPECT_FALSE(parseDouble("0x10", d));
    EXPECT_FALSE(parseDouble("abc", d));
    EXPECT_TRUE(parseDouble("NaN", d));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_TRUE(parseDouble("-Inf", d));
    EXPECT_EQ(d, -std::numeric_limits<double>::infinity());
}

TEST(Real48, Precision) {
    double v = 0.1;
    ASSERT_TRUE(toReal48(v));
    EXPECT_NE(v, 0.1);
    EXPECT_NEAR(v, 0.1, 0.1 * std::ldexp(1.0, -40));
    v = 1.0;
    ASSERT_TRUE(toReal48(v));
    EXPECT_EQ(v, 1.0);
    v = 1e38;
    EXPECT_TRUE(toReal48(v));
    v = 1e39;
    EXPECT_FALSE(toReal48(v));
    v = 1e-39;
    ASSERT_TRUE(toReal48(v));
    EXPECT_EQ(v, 0.0);
}

TEST(Codec, Windows1252RoundTrip) {
    EXPECT_EQ(utf8ToCp1252("Öl über € 5"), "\xD6l \xFC"
                                           "ber \x80 5");
    EXPECT_EQ(cp1252ToUtf8("\xD6l \xFC"
                           "ber \x80 5"),
              "Öl über € 5");
    EXPECT_EQ(utf8ToCp1252("→x"), "?x");    // not in the code page
    EXPECT_EQ(utf8ToCp1252("\xFFx"), "?x"); // not UTF-8
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}
