// Free-format reading: separators, line continuation, errors, end of file.
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fio/freeread.h"

using fio::FreeReader;
using fio::ReadStatus;

TEST(FreeReadTokens, IntegersAcceptSignsAndRejectEverythingElse) {
    int v = 0;
    EXPECT_TRUE(fio::parseInteger("42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(fio::parseInteger("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(fio::parseInteger("+0005", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(fio::parseInteger("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(fio::parseInteger("-2147483648", v));
    EXPECT_EQ(v, std::numeric_limits<int>::min());
    for (const char* bad : {"", "+", "-", "1.0", "1e3", "2147483648", "99999999999", "12a", "a12",
                            "++1", "+-1", "0x10", "1*2", "/"}) {
        EXPECT_FALSE(fio::parseInteger(bad, v)) << bad;
    }
}

TEST(FreeReadTokens, RealsInEveryCustomaryForm) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"1", 1.0},
        {"-1.5", -1.5},
        {"+.5", 0.5},
        {"5.", 5.0},
        {"1.5E3", 1500.0},
        {"1.5e-3", 0.0015},
        {"1.5D3", 1500.0},
        {"2.5d+2", 250.0},
        {"1.5Q1", 15.0},
        {"1.5+3", 1500.0},
        {"1.5-3", 0.0015},
        {"0.1", 0.1},
        {"-0", -0.0},
        {"1e-400", 0.0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        {"1.7976931348623157e308", 1.7976931348623157e308},
        {"4.9e-324", 4.9e-324},
    };
    for (const auto& c : cases) {
        double v = -99.0;
        ASSERT_TRUE(fio::parseReal(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
    double v = 0.0;
    ASSERT_TRUE(fio::parseReal("-0", v));
    EXPECT_TRUE(std::signbit(v));
}

TEST(FreeReadTokens, RealNonFiniteWordsAndBadTokens) {
    double v = 0.0;
    ASSERT_TRUE(fio::parseReal("NaN", v));
    EXPECT_TRUE(std::isnan(v));
    ASSERT_TRUE(fio::parseReal("-inf", v));
    EXPECT_EQ(v, -std::numeric_limits<double>::infinity());
    ASSERT_TRUE(fio::parseReal("Infinity", v));
    EXPECT_EQ(v, std::numeric_limits<double>::infinity());
    for (const char* bad : {"", ".", "-", "e5", "1e", "1e+", "1.2.3", "1,5", "1e400", "abc", "1x",
                            "--1", "nanx", "1.5E3.0", "3*0", "0x1p3", "1 2"}) {
        EXPECT_FALSE(fio::parseReal(bad, v)) << bad;
    }
}

TEST(FreeReader, ValuesSeparatedByBlanksTabsCommasAndLineEnds) {
    std::istringstream in("1 2,3\t4 , 5\n6\r\n7,\n8 9 10 11\nnext\n");
    FreeReader r(in);
    std::array<int, 9> v{};
    ASSERT_EQ(r.readIntegers(v), ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // The rest of the last line (10 11) was discarded: the next read starts on "next".
    EXPECT_EQ(r.lineNumber(), 4u);
    std::array<int, 1> w{};
    EXPECT_EQ(r.readIntegers(w), ReadStatus::Error);
    EXPECT_EQ(r.lineNumber(), 5u);
    EXPECT_EQ(r.readIntegers(w), ReadStatus::End);
}

TEST(FreeReader, CrLfAndLfReadTheSame) {
    std::istringstream lf("1 2 3\n4.5 6.5\n");
    std::istringstream crlf("1 2 3\r\n4.5 6.5\r\n");
    for (std::istream* in : {static_cast<std::istream*>(&lf), static_cast<std::istream*>(&crlf)}) {
        FreeReader r(*in);
        std::array<int, 3> i{};
        std::array<double, 2> d{};
        ASSERT_EQ(r.readIntegers(i), ReadStatus::Ok);
        ASSERT_EQ(r.readReals(d), ReadStatus::Ok);
        EXPECT_EQ(i, (std::array<int, 3>{1, 2, 3}));
        EXPECT_EQ(d, (std::array<double, 2>{4.5, 6.5}));
        EXPECT_EQ(r.readReals(d), ReadStatus::End);
    }
}

TEST(FreeReader, ErrorConsumesTheLineHoldingTheBadValue) {
    // The read continues over the first line and fails on the second; the next read starts
    // on the third line.
    std::istringstream in("1 2\nx 3 4\n5 6 7\n");
    FreeReader r(in);
    std::array<int, 3> v{};
    EXPECT_EQ(r.readIntegers(v), ReadStatus::Error);
    ASSERT_EQ(r.readIntegers(v), ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 3>{5, 6, 7}));
}

TEST(FreeReader, EmptyValuesAreErrorsButTrailingCommaIsASeparator) {
    std::istringstream in("1,,2\n,1 2\n1 2,\n3\n");
    FreeReader r(in);
    std::array<int, 2> v{};
    EXPECT_EQ(r.readIntegers(v), ReadStatus::Error);
    EXPECT_EQ(r.readIntegers(v), ReadStatus::Error);
    ASSERT_EQ(r.readIntegers(v), ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 2>{1, 2}));
    // Values beyond what the read needs are not looked at, good or bad.
    std::istringstream more("1 2 ,, x\n");
    FreeReader r2(more);
    EXPECT_EQ(r2.readIntegers(v), ReadStatus::Ok);
}

TEST(FreeReader, EndOfFileBeforeAllValuesAndEmptyLines) {
    std::istringstream in("\n\n1 2\n\n");
    FreeReader r(in);
    std::array<int, 3> v{};
    EXPECT_EQ(r.readIntegers(v), ReadStatus::End);
    std::istringstream empty("");
    FreeReader r2(empty);
    EXPECT_EQ(r2.readIntegers(v), ReadStatus::End);
    // A last line without a line end is read.
    std::istringstream noEol("7 8 9");
    FreeReader r3(noEol);
    ASSERT_EQ(r3.readIntegers(v), ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 3>{7, 8, 9}));
}

TEST(FreeReader, GarbageNeverHangsOrCrashes) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    garbage += "\n1 2\n";
    std::istringstream in(garbage);
    FreeReader r(in);
    std::array<int, 2> v{};
    ReadStatus s;
    int reads = 0;
    while ((s = r.readIntegers(v)) == ReadStatus::Error) ++reads;
    ASSERT_EQ(s, ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 2>{1, 2}));
    EXPECT_LT(reads, 100);
    // A 5 MB line of digits: the read takes what it needs and discards the rest.
    std::string longLine;
    for (int i = 0; i < 1'000'000; ++i) longLine += "1234 ";
    std::istringstream big(longLine + "\n-5\n");
    FreeReader rb(big);
    ASSERT_EQ(rb.readIntegers(v), ReadStatus::Ok);
    EXPECT_EQ(v, (std::array<int, 2>{1234, 1234}));
    std::array<int, 1> w{};
    ASSERT_EQ(rb.readIntegers(w), ReadStatus::Ok);
    EXPECT_EQ(w[0], -5);
}
