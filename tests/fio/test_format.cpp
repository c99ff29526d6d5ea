// Hand-worked expectations for fio::format and fio::listDirected. Rounding cases name the exact
// binary value of the double where it decides the result.
#include "fio/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using fio::Value;
using Lines = std::vector<std::string>;

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// The single record a template writes.
std::string one(std::string_view tmpl, std::initializer_list<Value> values) {
    const Lines lines = fio::format(tmpl, values);
    EXPECT_EQ(lines.size(), 1u) << tmpl;
    return lines.empty() ? std::string() : lines.front();
}

std::string blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// ---------------------------------------------------------------------------------------------
// I

TEST(FormatInteger, RightAligned) {
    EXPECT_EQ(one("(I5)", {42}), "   42");
    EXPECT_EQ(one("(I5)", {-42}), "  -42");
    EXPECT_EQ(one("(I1)", {0}), "0");
    EXPECT_EQ(one("(I3)", {999}), "999");
    EXPECT_EQ(one("(I4)", {-999}), "-999");
    EXPECT_EQ(one("(I20)", {std::numeric_limits<long long>::min()}), "-9223372036854775808");
    EXPECT_EQ(one("(I19)", {std::numeric_limits<long long>::max()}), "9223372036854775807");
}

TEST(FormatInteger, TooWideGivesAsterisks) {
    EXPECT_EQ(one("(I1)", {-1}), "*");
    EXPECT_EQ(one("(I3)", {1000}), "***");
    EXPECT_EQ(one("(I3)", {-100}), "***");
    EXPECT_EQ(one("(I19)", {std::numeric_limits<long long>::min()}), std::string(19, '*'));
}

TEST(FormatInteger, RealIsTruncatedTowardZero) {
    EXPECT_EQ(one("(I5)", {3.99}), "    3");
    EXPECT_EQ(one("(I5)", {-3.99}), "   -3");
    EXPECT_EQ(one("(I5)", {-0.5}), "    0");
    EXPECT_EQ(one("(I25)", {1e20}), "    100000000000000000000");
    EXPECT_EQ(one("(I5)", {1e300}), "*****");
    EXPECT_EQ(one("(I5)", {nan}), "*****");
    EXPECT_EQ(one("(I5)", {-inf}), "*****");
}

// ---------------------------------------------------------------------------------------------
// F

TEST(FormatFixed, PlainValues) {
    EXPECT_EQ(one("(F8.3)", {3.14159}), "   3.142");
    EXPECT_EQ(one("(F8.3)", {-3.14159}), "  -3.142");
    EXPECT_EQ(one("(F6.2)", {123.456}), "123.46");
    EXPECT_EQ(one("(F7.2)", {-99.999}), "-100.00");
    EXPECT_EQ(one("(F5.0)", {42.0}), "  42.");
    // 1e20 is exact in binary.
    EXPECT_EQ(one("(F24.1)", {1e20}), " 100000000000000000000.0");
}

TEST(FormatFixed, RoundingAtTheLastDigit) {
    // 2.0005 is stored as 2.000500000000000166..., 0.0005 as 0.000500000000000000010...
    EXPECT_EQ(one("(F8.3)", {2.0005}), "   2.001");
    EXPECT_EQ(one("(F8.3)", {0.0005}), "   0.001");
    EXPECT_EQ(one("(F8.3)", {-0.0005}), "  -0.001");
    // 1.0005 is stored as 1.000499999999999944...
    EXPECT_EQ(one("(F8.3)", {1.0005}), "   1.000");
    // 99.995 is stored as 99.995000000000000454...
    EXPECT_EQ(one("(F6.2)", {99.995}), "100.00");
    // Exact halves go to the even neighbour.
    EXPECT_EQ(one("(F5.2)", {0.125}), " 0.12");
    EXPECT_EQ(one("(F5.2)", {0.375}), " 0.38");
    EXPECT_EQ(one("(F5.0)", {2.5}), "   2.");
    EXPECT_EQ(one("(F5.0)", {3.5}), "   4.");
    EXPECT_EQ(one("(F5.0)", {0.5}), "   0.");
    EXPECT_EQ(one("(F4.1)", {-0.25}), "-0.2");
    // A carry that adds a digit before the point.
    EXPECT_EQ(one("(F5.1)", {9.96}), " 10.0");
    EXPECT_EQ(one("(F3.1)", {9.96}), "***");
}

TEST(FormatFixed, ZeroAndNegativeZero) {
    EXPECT_EQ(one("(F8.3)", {0.0}), "   0.000");
    EXPECT_EQ(one("(F8.3)", {-0.0}), "  -0.000");
    EXPECT_EQ(one("(F8.3)", {-0.0001}), "  -0.000");
    EXPECT_EQ(one("(F8.3)", {1e-300}), "   0.000");
    EXPECT_EQ(one("(F8.3)", {-1e-300}), "  -0.000");
    EXPECT_EQ(one("(F4.3)", {0.0}), ".000");
    // With no digits after the point the zero before it is required.
    EXPECT_EQ(one("(F2.0)", {0.0}), "0.");
    EXPECT_EQ(one("(F1.0)", {0.0}), "*");
    EXPECT_EQ(one("(F3.0)", {-0.2}), "-0.");
    EXPECT_EQ(one("(F2.0)", {-0.2}), "**");
}

TEST(FormatFixed, LeadingZeroOnlyWhenThereIsRoom) {
    EXPECT_EQ(one("(F5.3)", {0.5}), "0.500");
    EXPECT_EQ(one("(F4.3)", {0.5}), ".500");
    EXPECT_EQ(one("(F3.3)", {0.5}), "***");
    EXPECT_EQ(one("(F6.3)", {-0.5}), "-0.500");
    EXPECT_EQ(one("(F5.3)", {-0.5}), "-.500");
    EXPECT_EQ(one("(F4.3)", {-0.5}), "****");
    EXPECT_EQ(one("(F3.1)", {-0.04}), "-.0");
    EXPECT_EQ(one("(F2.1)", {0.04}), ".0");
}

TEST(FormatFixed, TooWideGivesAsterisks) {
    EXPECT_EQ(one("(F5.2)", {123.456}), "*****");
    EXPECT_EQ(one("(F6.2)", {-99.999}), "******");
    EXPECT_EQ(one("(F10.2)", {1e300}), "**********");
    EXPECT_EQ(one("(F1.0)", {1.0}), "*");
}

TEST(FormatFixed, InfinityAndNaN) {
    EXPECT_EQ(one("(F8.3)", {inf}), "Infinity");
    EXPECT_EQ(one("(F10.3)", {inf}), "  Infinity");
    EXPECT_EQ(one("(F7.3)", {inf}), "    Inf");
    EXPECT_EQ(one("(F3.1)", {inf}), "Inf");
    EXPECT_EQ(one("(F2.1)", {inf}), "**");
    EXPECT_EQ(one("(F9.3)", {-inf}), "-Infinity");
    EXPECT_EQ(one("(F8.3)", {-inf}), "    -Inf");
    EXPECT_EQ(one("(F4.1)", {-inf}), "-Inf");
    EXPECT_EQ(one("(F3.1)", {-inf}), "***");
    EXPECT_EQ(one("(F5.1)", {nan}), "  NaN");
    EXPECT_EQ(one("(F5.1)", {-nan}), "  NaN");
    EXPECT_EQ(one("(F2.1)", {nan}), "**");
}

TEST(FormatFixed, ScaleFactorMultiplies) {
    // 1.2345 is stored as 1.234499999999999930...; times ten rounds to 12.345 at three decimals.
    EXPECT_EQ(one("(1P,F8.3)", {1.2345}), "  12.345");
    EXPECT_EQ(one("(1PF8.3)", {1.2345}), "  12.345");
    EXPECT_EQ(one("(-2P,F8.3)", {1234.5}), "  12.345");
    EXPECT_EQ(one("(2P,F6.1)", {0.125}), "  12.5");
    EXPECT_EQ(one("(-1P,F5.0)", {25.0}), "   2.");
    // Rounding left of the units digit: 1250 shown as 1.25 with one decimal.
    EXPECT_EQ(one("(-3P,F6.1)", {1250.0}), "   1.2");
    EXPECT_EQ(one("(-3P,F6.1)", {1350.0}), "   1.4");
    EXPECT_EQ(one("(-3P,F6.1)", {std::nextafter(1250.0, 2000.0)}), "   1.3");
    EXPECT_EQ(one("(-4P,F6.1)", {499.0}), "   0.0");
    EXPECT_EQ(one("(-4P,F6.1)", {500.0}), "   0.0");
    EXPECT_EQ(one("(-4P,F6.1)", {501.0}), "   0.1");
    EXPECT_EQ(one("(-4P,F6.1)", {1500.0}), "   0.2");
    // The scale factor stays until the next one.
    EXPECT_EQ(one("(1P,F6.2,F6.2)", {1.0, 2.0}), " 10.00 20.00");
    EXPECT_EQ(one("(1P,F6.2,0P,F6.2)", {1.0, 2.0}), " 10.00  2.00");
}

TEST(FormatFixed, IntegerIsWrittenAsReal) {
    EXPECT_EQ(one("(F6.2)", {3}), "  3.00");
    EXPECT_EQ(one("(F6.2)", {-3}), " -3.00");
}

// ---------------------------------------------------------------------------------------------
// E and D

TEST(FormatExponent, PlainValues) {
    EXPECT_EQ(one("(E13.6)", {1.0}), " 0.100000E+01");
    EXPECT_EQ(one("(E13.6)", {-1234.5678}), "-0.123457E+04");
    EXPECT_EQ(one("(E13.6)", {12.5}), " 0.125000E+02");
    EXPECT_EQ(one("(E13.6)", {3e10}), " 0.300000E+11");
    EXPECT_EQ(one("(E9.3)", {0.5}), "0.500E+00");
    EXPECT_EQ(one("(D13.6)", {1.0}), " 0.100000D+01");
    EXPECT_EQ(one("(D13.6)", {-0.001}), "-0.100000D-02");
    EXPECT_EQ(one("(e10.3)", {2.0}), " 0.200E+01");
}

TEST(FormatExponent, LeadingZeroOnlyWhenThereIsRoom) {
    EXPECT_EQ(one("(E12.6)", {-1234.5678}), "-.123457E+04");
    EXPECT_EQ(one("(E11.6)", {-1234.5678}), "***********");
    EXPECT_EQ(one("(E8.3)", {0.5}), ".500E+00");
    EXPECT_EQ(one("(E7.3)", {0.5}), "*******");
    EXPECT_EQ(one("(E8.2)", {-1.0}), "-.10E+01");
    EXPECT_EQ(one("(E7.2)", {-1.0}), "*******");
}

TEST(FormatExponent, Rounding) {
    // Exact halves go to the even neighbour.
    EXPECT_EQ(one("(E10.2)", {0.125}), "  0.12E+00");
    EXPECT_EQ(one("(E10.2)", {0.375}), "  0.38E+00");
    EXPECT_EQ(one("(E10.4)", {1234.5}), "0.1234E+04");
    EXPECT_EQ(one("(E10.4)", {1235.5}), "0.1236E+04");
    // A carry moves the exponent.
    EXPECT_EQ(one("(E10.3)", {0.99951}), " 0.100E+01");
    EXPECT_EQ(one("(E10.3)", {-999.6}), "-0.100E+04");
    // 0.1 is stored as 0.1000000000000000055..., 1/3 as 0.333333333333333314...
    EXPECT_EQ(one("(E24.15)", {0.1}), "   0.100000000000000E+00");
    EXPECT_EQ(one("(E24.17)", {0.1}), " 0.10000000000000001E+00");
    EXPECT_EQ(one("(E24.15)", {-1.0 / 3.0}), "  -0.333333333333333E+00");
}

TEST(FormatExponent, Zero) {
    EXPECT_EQ(one("(E10.3)", {0.0}), " 0.000E+00");
    EXPECT_EQ(one("(E10.3)", {-0.0}), "-0.000E+00");
    EXPECT_EQ(one("(E9.3)", {-0.0}), "-.000E+00");
    EXPECT_EQ(one("(D10.3)", {0.0}), " 0.000D+00");
    EXPECT_EQ(one("(1P,E13.6)", {0.0}), " 0.000000E+00");
    EXPECT_EQ(one("(1P,E12.6)", {0.0}), "0.000000E+00");
    // With 1P the zero is the digit before the point and cannot be left out.
    EXPECT_EQ(one("(1P,E11.6)", {0.0}), "***********");
    EXPECT_EQ(one("(-1P,E11.6)", {0.0}), ".000000E+00");
}

TEST(FormatExponent, LargeAndSmallMagnitudes) {
    EXPECT_EQ(one("(E12.4)", {1e99}), "  0.1000+100");
    EXPECT_EQ(one("(E12.4)", {1e100}), "  0.1000+101");
    EXPECT_EQ(one("(E12.4)", {1e300}), "  0.1000+301");
    EXPECT_EQ(one("(E12.4)", {-1e300}), " -0.1000+301");
    EXPECT_EQ(one("(E12.4)", {1e-99}), "  0.1000E-98");
    EXPECT_EQ(one("(E12.4)", {1e-100}), "  0.1000E-99");
    EXPECT_EQ(one("(E12.4)", {1e-101}), "  0.1000-100");
    EXPECT_EQ(one("(E12.4)", {1e-300}), "  0.1000-299");
    // 1e-310 is subnormal, stored as 9.99999999999999694...e-311.
    EXPECT_EQ(one("(E13.6)", {1e-310}), " 0.100000-309");
    EXPECT_EQ(one("(D13.6)", {1e300}), " 0.100000+301");
    EXPECT_EQ(one("(D13.6)", {-1e-300}), "-0.100000-299");
    EXPECT_EQ(one("(E7.1)", {1e100}), "0.1+101");
    EXPECT_EQ(one("(E6.1)", {1e100}), ".1+101");
    EXPECT_EQ(one("(E5.1)", {1e100}), "*****");
    EXPECT_EQ(one("(E6.1)", {5e-324}), ".5-323");
}

TEST(FormatExponent, ScaleFactor) {
    EXPECT_EQ(one("(1P,E13.6)", {1.0}), " 1.000000E+00");
    EXPECT_EQ(one("(1P,E13.6)", {-1.0}), "-1.000000E+00");
    EXPECT_EQ(one("(1P,E12.6)", {-1.0}), "************");
    EXPECT_EQ(one("(1PE13.6)", {-0.000123}), "-1.230000E-04");
    EXPECT_EQ(one("(1P,D10.2)", {1e20}), "  1.00D+20");
    EXPECT_EQ(one("(1P,D10.2)", {2.220446049250313e-16}), "  2.22D-16");
    EXPECT_EQ(one("(1P,E13.6)", {1e100}), " 1.000000+100");
    EXPECT_EQ(one("(1P,E13.6)", {1e-100}), " 1.000000-100");
    EXPECT_EQ(one("(1P,E13.6)", {1e-99}), " 1.000000E-99");
    EXPECT_EQ(one("(1P,E10.0)", {1.5}), "    2.E+00");
    EXPECT_EQ(one("(2P,E12.3)", {1234.5}), "   12.34E+02");
    EXPECT_EQ(one("(4P,E12.3)", {1234.5}), "   1234.E+00");
    EXPECT_EQ(one("(-1P,E12.3)", {1234.5}), "   0.012E+05");
    EXPECT_EQ(one("(-2P,E12.3)", {1234.5}), "   0.001E+06");
    EXPECT_EQ(one("(-1P,E11.6)", {1.0}), ".010000E+02");
    EXPECT_EQ(one("(-1P,E10.6)", {1.0}), "**********");
    // An exponent beyond three digits does not fit at all.
    EXPECT_EQ(one("(800P,E820.800)", {1e-300}), std::string(820, '*'));
}

TEST(FormatExponent, ScaleFactorOutOfRangeThrows) {
    EXPECT_THROW(fio::format("(E10.0)", {1.0}), std::invalid_argument);
    EXPECT_THROW(fio::format("(2P,E10.0)", {1.0}), std::invalid_argument);
    EXPECT_THROW(fio::format("(-3P,E12.3)", {1.0}), std::invalid_argument);
    EXPECT_THROW(fio::format("(5P,E12.3)", {1.0}), std::invalid_argument);
    EXPECT_THROW(fio::format("(-3P,D12.3)", {1.0}), std::invalid_argument);
}

TEST(FormatExponent, InfinityNaNAndInteger) {
    EXPECT_EQ(one("(E12.3)", {nan}), "         NaN");
    EXPECT_EQ(one("(E8.3)", {-inf}), "    -Inf");
    EXPECT_EQ(one("(D10.3)", {inf}), "  Infinity");
    EXPECT_EQ(one("(E10.3)", {-42}), "-0.420E+02");
}

// ---------------------------------------------------------------------------------------------
// G

TEST(FormatGeneral, FixedForm) {
    EXPECT_EQ(one("(G14.6)", {1.0}), "   1.00000    ");
    EXPECT_EQ(one("(G14.6)", {1234.5678}), "   1234.57    ");
    EXPECT_EQ(one("(G14.6)", {-1234.5678}), "  -1234.57    ");
    EXPECT_EQ(one("(G14.6)", {0.1}), "  0.100000    ");
    EXPECT_EQ(one("(G14.6)", {999999.4}), "   999999.    ");
    EXPECT_EQ(one("(G16.7)", {-1234.56789}), "   -1234.568    ");
    EXPECT_EQ(one("(G10.1)", {0.5}), "   0.5    ");
    EXPECT_EQ(one("(G6.1)", {5.0}), "5.    ");
    EXPECT_EQ(one("(G10.3)", {7}), "  7.00    ");
}

TEST(FormatGeneral, Zero) {
    EXPECT_EQ(one("(G14.6)", {0.0}), "   0.00000    ");
    EXPECT_EQ(one("(G14.6)", {-0.0}), "  -0.00000    ");
    EXPECT_EQ(one("(G6.1)", {0.0}), "0.    ");
    EXPECT_EQ(one("(G5.1)", {0.0}), "*****");
    EXPECT_EQ(one("(1P,G14.6)", {0.0}), "   0.00000    ");
}

TEST(FormatGeneral, ExponentForm) {
    EXPECT_EQ(one("(G14.6)", {0.09999}), "  0.999900E-01");
    EXPECT_EQ(one("(G14.6)", {999999.5}), "  0.100000E+07");
    EXPECT_EQ(one("(G14.6)", {1e300}), "  0.100000+301");
    EXPECT_EQ(one("(G14.6)", {1e-300}), "  0.100000-299");
    EXPECT_EQ(one("(G14.6)", {-1e-100}), " -0.100000E-99");
    EXPECT_EQ(one("(G14.6)", {1e-310}), "  0.100000-309");
    EXPECT_EQ(one("(G10.3)", {1e100}), " 0.100+101");
    EXPECT_EQ(one("(G8.6)", {1e10}), "********");
}

TEST(FormatGeneral, ScaleFactorOnlyInExponentForm) {
    EXPECT_EQ(one("(1P,G14.6)", {1234.5}), "   1234.50    ");
    // 1234567.5 to seven digits is a tie that goes to the even 1234568.
    EXPECT_EQ(one("(1P,G14.6)", {1234567.5}), "  1.234568E+06");
    EXPECT_EQ(one("(1P,G14.6)", {0.01}), "  1.000000E-02");
    EXPECT_EQ(one("(2P,G14.6)", {0.01}), "  10.00000E-03");
    EXPECT_EQ(one("(-1P,G14.6)", {0.01}), "  0.010000E+00");
    EXPECT_EQ(one("(2P,G14.6)", {1234.0}), "   1234.00    ");
    EXPECT_EQ(one("(1P,G12.4)", {1e-12}), "  1.0000E-12");
    EXPECT_THROW(fio::format("(3P,G12.1)", {1e-12}), std::invalid_argument);
    EXPECT_EQ(one("(3P,G12.1)", {0.5}), "     0.5    ");
}

TEST(FormatGeneral, SwitchPoints) {
    // Rounded to three digits 99.95 (stored as 99.950000000000002842...) is 100.
    EXPECT_EQ(one("(G12.3)", {99.95}), "    100.    ");
    EXPECT_EQ(one("(G12.3)", {99.949999}), "    99.9    ");
    EXPECT_EQ(one("(G12.3)", {999.5}), "   0.100E+04");
    EXPECT_EQ(one("(G12.3)", {998.5}), "    998.    ");
    EXPECT_EQ(one("(G12.3)", {0.0999500000000001}), "   0.100    ");
    EXPECT_EQ(one("(G12.3)", {0.099949999}), "   0.999E-01");
    EXPECT_EQ(one("(G12.1)", {9.5}), "     0.1E+02");
    EXPECT_EQ(one("(G12.1)", {8.5}), "      8.    ");
    EXPECT_EQ(one("(G12.1)", {0.25}), "     0.2    ");
    EXPECT_EQ(one("(G12.1)", {0.05}), "     0.5E-01");
    // The double nearest a decimal switch point counts as reaching it: 0.95 is stored just
    // below 0.95 but takes the form with one digit before the point; the double below it
    // does not (both checked against gfortran).
    EXPECT_EQ(one("(G12.1)", {0.95}), "      1.    ");
    EXPECT_EQ(one("(G12.1)", {std::nextafter(0.95, 0.0)}), "     0.9    ");
    EXPECT_EQ(one("(G14.6)", {99999.95}), "   100000.    ");
    EXPECT_EQ(one("(G12.3)", {0.09995}), "   0.999E-01");
}

TEST(FormatGeneral, FixedFormTooWide) {
    EXPECT_EQ(one("(G5.1)", {0.5}), "*****");
    EXPECT_EQ(one("(G4.1)", {0.5}), "****");
    EXPECT_EQ(one("(G5.2)", {0.5}), "*****");
    EXPECT_EQ(one("(G8.3)", {-123.0}), "********");
}

TEST(FormatGeneral, InfinityAndNaN) {
    EXPECT_EQ(one("(G8.3)", {inf}), "Infinity");
    EXPECT_EQ(one("(G7.3)", {inf}), "    Inf");
    EXPECT_EQ(one("(G9.3)", {-inf}), "-Infinity");
    EXPECT_EQ(one("(G6.3)", {nan}), "   NaN");
}

// ---------------------------------------------------------------------------------------------
// A

TEST(FormatText, WholeAndWidth) {
    EXPECT_EQ(one("(A)", {"hello"}), "hello");
    EXPECT_EQ(one("(A)", {""}), "");
    EXPECT_EQ(one("(A5)", {"hello"}), "hello");
    EXPECT_EQ(one("(A3)", {"hello"}), "hel");
    EXPECT_EQ(one("(A8)", {"hello"}), "   hello");
    EXPECT_EQ(one("(A3)", {""}), "   ");
    EXPECT_EQ(one("(A1)", {'x'}), "x");
    EXPECT_EQ(one("(A2,A)", {std::string("it's"), std::string_view("ok")}), "itok");
}

// ---------------------------------------------------------------------------------------------
// X, /, literals

TEST(FormatLayout, BlanksOnlyBeforeSomethingWritten) {
    EXPECT_EQ(one("(I3,5X)", {1}), "  1");
    EXPECT_EQ(one("(I3,5X,I2)", {1, 2}), "  1" + blanks(5) + " 2");
    EXPECT_EQ(one("(5X,'a')", {}), "     a");
    EXPECT_EQ(one("(I3,2X,A)", {1, ""}), "  1  ");
    EXPECT_EQ(one("(A,3X)", {"abc"}), "abc");
    EXPECT_EQ(fio::format("(I3,5X,/,I3)", {1, 2}), (Lines{"  1", "  2"}));
    // Stopping at a field without a value drops the blanks before it.
    EXPECT_EQ(one("(I3,4X,I3)", {1}), "  1");
}

TEST(FormatLayout, SlashEndsRecords) {
    EXPECT_EQ(fio::format("(// A / A /)", {"a", "b"}), (Lines{"", "", "a", "b", ""}));
    EXPECT_EQ(fio::format("(A,2/,A)", {"a", "b"}), (Lines{"a", "", "b"}));
    EXPECT_EQ(fio::format("(I2/I2)", {1, 2}), (Lines{" 1", " 2"}));
    EXPECT_EQ(fio::format("(I2,2/I2)", {1, 2}), (Lines{" 1", "", " 2"}));
    // Blanks do not separate: this is I22 followed by a slash.
    EXPECT_EQ(fio::format("(I2 2/I2)", {1, 2}), (Lines{blanks(21) + "1", " 2"}));
    EXPECT_EQ(fio::format("(A,/)", {"x"}), (Lines{"x", ""}));
}

TEST(FormatLayout, Literals) {
    EXPECT_EQ(one("('it''s',1X,\"say \"\"hi\"\"\")", {}), "it's say \"hi\"");
    EXPECT_EQ(one("(\"it's\",'say \"hi\"')", {}), "it'ssay \"hi\"");
    EXPECT_EQ(one("('a  b' , I2)", {5}), "a  b 5");
    EXPECT_EQ(one("('')", {}), "");
    EXPECT_EQ(one("(13('------'))", {}), std::string(78, '-'));
}

TEST(FormatLayout, BlanksAndCaseInTemplateIgnored) {
    EXPECT_EQ(one("( 6X, A )", {"x"}), "      x");
    EXPECT_EQ(one("( i 3 , f 6 . 2 , 1 p e 1 0 . 2 )", {1, 2.0, 3.0}), "  1  2.00  3.00E+00");
    EXPECT_EQ(one("(1P E10.2)", {3.0}), "  3.00E+00");
}

// ---------------------------------------------------------------------------------------------
// Groups, reversion, end of output

TEST(FormatControl, RepeatCountsAndNestedGroups) {
    EXPECT_EQ(one("(3I2)", {1, 2, 3}), " 1 2 3");
    EXPECT_EQ(one("(2(I1,3(I2)))", {1, 2, 3, 4, 5, 6, 7, 8}), "1 2 3 45 6 7 8");
    EXPECT_EQ(one("(2(A,2('-')),'|')", {"a", "b"}), "a--b--|");
}

TEST(FormatControl, ReversionToLastTopLevelGroup) {
    EXPECT_EQ(fio::format("(I3,2(I2,1X,I1))", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
              (Lines{"  1 2 3 4 5", " 6 7 8 9", "10 *"}));
    EXPECT_EQ(fio::format("(I1,2(I2),'|',3(I3),'!')", {1, 2, 3, 4, 5, 6, 7, 8, 9}),
              (Lines{"1 2 3|  4  5  6!", "  7  8  9!"}));
    // Nested groups: the whole last top-level group is repeated with its count.
    EXPECT_EQ(fio::format("(I1,2(I2,(I1)))", {1, 2, 3, 4, 5, 6, 7}), (Lines{"1 23 45", " 67"}));
}

TEST(FormatControl, ReversionToStartWithoutGroups) {
    EXPECT_EQ(fio::format("(I2,I3)", {1, 2, 3, 4, 5}), (Lines{" 1  2", " 3  4", " 5"}));
    EXPECT_EQ(fio::format("(1X,A)", {"a", "b"}), (Lines{" a", " b"}));
}

TEST(FormatControl, ScaleFactorSurvivesReversion) {
    EXPECT_EQ(fio::format("(1P,E10.2,(I3,E10.2))", {1.0, 2, 3.0, 4, 5.0}),
              (Lines{"  1.00E+00  2  3.00E+00", "  4  5.00E+00"}));
    EXPECT_EQ(fio::format("(F6.2,1P)", {1.0, 1.0}), (Lines{"  1.00", " 10.00"}));
}

TEST(FormatControl, StopsAtFirstFieldWithoutValue) {
    EXPECT_EQ(one("(I5,' done',I5,'tail')", {3}), "    3 done");
    EXPECT_EQ(fio::format("(I2,/,'x',I2)", {1}), (Lines{" 1", "x"}));
    EXPECT_EQ(one("('a',I2,'b')", {}), "a");
    EXPECT_EQ(fio::format("(I5)", {}), (Lines{""}));
    EXPECT_EQ(fio::format("()", {}), (Lines{""}));
    EXPECT_EQ(one("(12(F9.3,' '))", {1.0, -2.5, 3.14159, 1e6, -1e5}),
              "    1.000    -2.500     3.142 ********* ********* ");
}

TEST(FormatControl, ValuesWithoutAFieldThrow) {
    EXPECT_THROW(fio::format("('abc')", {1}), std::invalid_argument);
    EXPECT_THROW(fio::format("(I3,('x'))", {1, 2}), std::invalid_argument);
}

TEST(FormatControl, WrongValueTypeThrows) {
    EXPECT_THROW(fio::format("(I5)", {"x"}), std::invalid_argument);
    EXPECT_THROW(fio::format("(F5.1)", {"x"}), std::invalid_argument);
    EXPECT_THROW(fio::format("(A)", {1}), std::invalid_argument);
    EXPECT_THROW(fio::format("(A)", {1.0}), std::invalid_argument);
}

TEST(FormatControl, MalformedTemplatesThrowWithTheTemplate) {
    for (const char* bad :
         {"",          "I5",      "(I5",   "(I5))",    "(I5) x",   "(Q5)",    "(I)",    "(I0)",
          "(F8)",      "(F8.)",   "(E10)", "(I5 I5)",  "(I5,)",    "(,I5)",   "('abc)", "(0I5)",
          "(0(I5))",   "(X)",     "(-2X)", "(P)",      "(-I5)",    "(G10.0)", "(A0)",   "(I5.2)",
          "(E12.4E3)", "(2'ab')", "(())",  "(I5,(I3)", "(99999I5)"}) {
        try {
            fio::format(bad, {1});
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + bad + "\""), std::string::npos)
                << e.what();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The templates of the calculation module and the LP solver, with plausible values.

TEST(FormatTemplates, FieldAndFourPairs) {
    EXPECT_EQ(one("(F8.3,4(A1,E13.6))", {1.5, "|", -2.25e-5, "|", 3e10, "|", 0.0, "|", 12.5}),
              "   1.500|-0.225000E-04| 0.300000E+11| 0.000000E+00| 0.125000E+02");
}

TEST(FormatTemplates, EtaLines) {
    EXPECT_EQ(fio::format("(' nh     = ',I3,12X,'          eta-max   =  ',F6.3,/,' theta  =  ',"
                          "F6.3,8X,'          eta-min   =  ',F6.3)",
                          {12, 0.95, 1.5707963267948966, -0.125}),
              (Lines{" nh     =  12" + blanks(12) + "          eta-max   =   0.950",
                     " theta  =   1.571" + blanks(8) + "          eta-min   =  -0.125"}));
}

TEST(FormatTemplates, BoundsLine) {
    EXPECT_EQ(one("(1X,A1,I4,2X,A1,1X,A2,1X,1P,3G14.6,1P,2G12.4)",
                  {"*", 17, "L", "UB", 1234.5678, -0.000123, 0.0, 99999.5, 1e-12}),
              std::string(" *  17  L UB ") + "   1234.57    " + " -1.230000E-04" +
                  "   0.00000    " + "  1.0000E+05" + "  1.0000E-12");
}

TEST(FormatTemplates, InfiniteBoundAndStep) {
    EXPECT_EQ(fio::format("(/,' Infinite bound size....',1P,D10.2,7X,A4,' start......','.......',"
                          "/,' Infinite step size.....',1P,D10.2,7X,'EPS (m','achine precision)',"
                          "1P,D10.2)",
                          {1e20, "Cold", 1e20, 2.220446049250313e-16}),
              (Lines{"",
                     " Infinite bound size....  1.00D+20" + blanks(7) + "Cold start" +
                         std::string(13, '.'),
                     " Infinite step size.....  1.00D+20" + blanks(7) +
                         "EPS (machine precision)  2.22D-16"}));
}

TEST(FormatTemplates, ShortOnes) {
    EXPECT_EQ(fio::format("(// A / A /)", {"first", "second"}),
              (Lines{"", "", "first", "second", ""}));
    EXPECT_EQ(one("( 6X, A )", {"indented"}), "      indented");
    EXPECT_EQ(one("(13('------'))", {}), std::string(78, '-'));
    EXPECT_EQ(fio::format("(/,11A1,' monitoring information ')",
                          {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}),
              (Lines{"", "----------- monitoring information "}));
    EXPECT_EQ(fio::format("(/,80A1)", {"=", "=", "=", "="}), (Lines{"", "===="}));
    // 12.3456 is stored as 12.345599999999999241...; 99.995 as 99.995000000000000454...
    EXPECT_EQ(one("(F9.3,' s  ',F6.2,' %')", {12.3456, 99.995}), "   12.346 s  100.00 %");
    EXPECT_EQ(one("(F9.3,' s  ',F6.2,' %')", {0.5, 12.344}), "    0.500 s   12.34 %");
}

TEST(FormatTemplates, RealIntegerPairs) {
    EXPECT_EQ(one("(1X,5(1P,D15.6,I5))", {1.0, 1, -2.5e-7, 2}),
              "    1.000000D+00    1  -2.500000D-07    2");
    // 9.995 is stored as 9.994999999999999218...
    EXPECT_EQ(
        fio::format("(4(I5,1P,D11.2))", {1, 0.5, -22, 1e-5, 333, -7e7, 4444, 0.0, 55555, 9.995}),
        (Lines{"    1   5.00D-01  -22   1.00D-05  333  -7.00D+07 4444   0.00D+00",
               "55555   9.99D+00"}));
}

TEST(FormatTemplates, IterationLine) {
    EXPECT_EQ(
        one("(I5,I5,A1,I5,A1,1P,D9.1,I5,D16.8,4I5,D9.1,A15,D9.1)",
            {1, 2, "a", 3, "b", 1e-8, 4, -3.14159265358979, 5, 6, 7, 8, 0.05, "   optimal", 1e9}),
        "    1    2a    3b  1.0D-08    4 -3.14159265D+00    5    6    7    8  5.0D-02"
        "        optimal  1.0D+09");
}

TEST(FormatTemplates, Headings) {
    EXPECT_EQ(
        one("('    phi ',A1,' s ',10X,A1,' s-s',9X,A1,'s-ss',9X,A1,'s-sss')", {"|", "|", "|", "|"}),
        "    phi | s " + blanks(10) + "| s-s" + blanks(9) + "|s-ss" + blanks(9) + "|s-sss");
    EXPECT_EQ(one("(' a(',I3,') =',E24.15,'     b(',I3,') =',E24.15)", {1, 0.1, 2, -1.0 / 3.0}),
              " a(  1) =   0.100000000000000E+00     b(  2) =  -0.333333333333333E+00");
    EXPECT_EQ(fio::format("(/,' Final ',A2,' objective value =',G16.7)", {"LP", -1234.56789}),
              (Lines{"", " Final LP objective value =   -1234.568    "}));
    EXPECT_EQ(fio::format("(/,' ** On entry with a ',A4,' Start, ISTATE(',I4,') is ou',"
                          "'t of range:',/,'    ISTATE(',I4,') = ',I16)",
                          {"Warm", 7, 7, -3}),
              (Lines{"", " ** On entry with a Warm Start, ISTATE(   7) is out of range:",
                     "    ISTATE(   7) = " + blanks(14) + "-3"}));
}

// ---------------------------------------------------------------------------------------------
// List-directed output

TEST(ListDirected, Values) {
    EXPECT_EQ(fio::listDirected({1, -2, "abc", 1.5}), " 1 -2 abc 1.5");
    EXPECT_EQ(fio::listDirected({}), "");
    EXPECT_EQ(fio::listDirected({""}), " ");
    EXPECT_EQ(fio::listDirected({0.1}), " 0.1");
    EXPECT_EQ(fio::listDirected({1.0 / 3.0}), " 0.3333333333333333");
    EXPECT_EQ(fio::listDirected({100.0}), " 100");
    EXPECT_EQ(fio::listDirected({-123456.789}), " -123456.789");
    EXPECT_EQ(fio::listDirected({0.0, -0.0}), " 0 -0");
    EXPECT_EQ(fio::listDirected({std::numeric_limits<long long>::min()}), " -9223372036854775808");
}

TEST(ListDirected, ExponentFormOutsideTheMiddleRange) {
    EXPECT_EQ(fio::listDirected({1e-3}), " 0.001");
    EXPECT_EQ(fio::listDirected({9.99e-4}), " 9.99E-04");
    EXPECT_EQ(fio::listDirected({99999999.0}), " 99999999");
    EXPECT_EQ(fio::listDirected({1e8}), " 1E+08");
    EXPECT_EQ(fio::listDirected({-2.5e100}), " -2.5E+100");
    EXPECT_EQ(fio::listDirected({5e-324}), " 5E-324");
    EXPECT_EQ(fio::listDirected({9007199254740992.0}), " 9.007199254740992E+15");
    EXPECT_EQ(fio::listDirected({nan, inf, -inf}), " NaN Inf -Inf");
}

} // namespace
