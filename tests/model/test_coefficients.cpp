// The coefficient listing of the editor: rows from the stored series, grid cells aligned on
// their decimal points, the copied lines and the ".tab" file text.
#include <locale>
#include <string>

#include <gtest/gtest.h>

#include "model/coefficients.h"
#include "model/format_real.h"
#include "model/series.h"

namespace model {
namespace {

// s = 1.5 + 2 sin phi - 3 cos phi + 4e-7 sin 2phi + 4 cos 2phi, eta = 0.25.
void twoHarmonics(THSHeader& h) {
    h.ResultHarmonics = 2;
    h.sSC.ReSize(6);
    const double v[] = {0.25, 1.5, 2.0, -3.0, 4e-7, 4.0};
    for (int i = 0; i < 6; ++i) h.sSC.set(i, v[i]);
}

TEST(Coefficients, TwoHarmonicsGiveThreeLines) {
    THSHeader h;
    twoHarmonics(h);
    const auto rows = coefficientRows(h, CoefSeries::S, 0, Magnitude::SumAbs);
    EXPECT_EQ(coefficientLines(rows, 0.25, CoefSeries::S, '.'),
              (std::vector<std::string>{" 0.25\t 1.5", " 2\t -3\t 5", " 0\t 4\t 4"}));
    EXPECT_EQ(coefficientLines(rows, 0.25, CoefSeries::S, ','),
              (std::vector<std::string>{" 0,25\t 1,5", " 2\t -3\t 5", " 0\t 4\t 4"}));
    // First derivative per radian: 2 cos phi + 3 sin phi + 8e-7 cos 2phi - 8 sin 2phi, and
    // no constant term; 8e-7 is listed as 0.
    const auto d1 = coefficientRows(h, CoefSeries::S, 1, Magnitude::Euclid);
    EXPECT_EQ(coefficientLines(d1, 0.25, CoefSeries::S, '.'),
              (std::vector<std::string>{" 0.25\t 0", " 3\t 2\t 3.60555127546399", " -8\t 0\t 8"}));
}

TEST(Coefficients, QFollowsTheDerivedSeries) {
    THSHeader h;
    twoHarmonics(h);
    ASSERT_TRUE(deriveQ(h, 0.25, 0.1));
    const auto rows = coefficientRows(h, CoefSeries::Q, 2, Magnitude::SumAbs);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_DOUBLE_EQ(rows[2].s, -4 * h.qSC.at(4)); // second derivative of harmonic 2
    EXPECT_DOUBLE_EQ(rows[2].c, -4 * h.qSC.at(5));
}

TEST(Coefficients, TorqueHasTwiceTheHarmonicsAndItsConstantFromElementOne) {
    THSHeader h;
    twoHarmonics(h);
    deriveM(h);
    h.mSC.set(1, 0.75); // the series has no constant term; the listing shows element 1 anyway
    const auto rows = coefficientRows(h, CoefSeries::M, 3, Magnitude::SumAbs);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].c, 0.75);
    EXPECT_DOUBLE_EQ(rows[4].s, h.mSC.at(8));
    EXPECT_DOUBLE_EQ(rows[4].c, h.mSC.at(9));
    EXPECT_EQ(coefficientLines(rows, 0.25, CoefSeries::M, '.').front(), " 0.75");
}

TEST(Coefficients, CellsAlignOnTheDecimalPoint) {
    const std::vector<CoefRow> rows{
        {0, 0.0, 123.456, 0.0}, {1, 0.000123, 1.5e7, 1.5e7 + 0.000123}, {12, -2.0, 0.0, 2.0}};
    for (Magnitude m : {Magnitude::SumAbs, Magnitude::Euclid}) {
        const auto cells = coefficientCells(rows, m);
        ASSERT_EQ(cells.size(), m == Magnitude::SumAbs ? 4u : 3u);
        EXPECT_EQ(cells[0][0], " 0");
        EXPECT_EQ(cells[2][0], "12");
        EXPECT_EQ(cells[0][1], "");
        EXPECT_EQ(cells[0][3], "");
        // " 123.456", " 0.000123" and " 0.15E+08" share one point column: 4 + 7 characters.
        EXPECT_EQ(cells[0][2], " 123.456   ");
        EXPECT_EQ(cells[1][1], "   0.000123");
        EXPECT_EQ(cells[1][2], "   0.15E+08");
        EXPECT_EQ(cells[2][1], "  -2.0     ");
        if (m == Magnitude::SumAbs) {
            EXPECT_EQ(cells[3][0], "Sum");
            EXPECT_EQ(cells[3][3], "   0.15E+08"); // 1.5E+07 + 2 with 6 digits
        }
    }
}

TEST(Coefficients, FileTextUsesPointsAndCrLfUnderAGermanLocale) {
    const std::locale saved;
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "de_DE.UTF-8 not installed";
    }
    THSHeader h;
    twoHarmonics(h);
    const auto rows = coefficientRows(h, CoefSeries::S, 0, Magnitude::SumAbs);
    const std::string text = coefficientFileText(rows, 0.25, CoefSeries::S);
    std::locale::global(saved);
    EXPECT_EQ(text, " 0.25\t 1.5\r\n 2\t -3\t 5\r\n 0\t 4\t 4\r\n");
    EXPECT_EQ(coefficientLines({{1, 1.25e-5, -1.5e20, 0.5}}, 0, CoefSeries::Q, '.').front(),
              " 1.25E-05\t -1.5E+20\t 0.5");
}

} // namespace
} // namespace model
