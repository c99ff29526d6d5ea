// The coefficient listing of the editor: rows, grid cells aligned on their decimal points, the
// copied lines and the ".tab" file text.
#include <locale>

#include <gtest/gtest.h>

#include "model/coefficients.h"
#include "model/series.h"

namespace model {
namespace {

using Lines = std::vector<std::string>;

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
    EXPECT_EQ(coefficientLines(rows, 0.25, CoefSeries::S, ','),
              (Lines{" 0,25\t 1,5", " 2\t -3\t 5", " 0\t 4\t 4"}));
    // Per radian: s' = 3 sin phi + 2 cos phi - 8 sin 2phi + 8e-7 cos 2phi (listed as 0).
    const auto d1 = coefficientRows(h, CoefSeries::S, 1, Magnitude::Euclid);
    EXPECT_EQ(coefficientLines(d1, 0.25, CoefSeries::S, '.'),
              (Lines{" 0.25\t 0", " 3\t 2\t 3.60555127546399", " -8\t 0\t 8"}));
    EXPECT_EQ(coefficientLines({{1, 1.25e-5, -1.5e20, 0.5}}, 0, CoefSeries::Q, '.'),
              (Lines{" 1.25E-05\t -1.5E+20\t 0.5"}));
}

TEST(Coefficients, TorqueHasTwiceTheHarmonicsAndItsConstantFromElementOne) {
    THSHeader h;
    twoHarmonics(h);
    deriveM(h);
    h.mSC.set(1, 0.75);
    const auto rows = coefficientRows(h, CoefSeries::M, 3, Magnitude::SumAbs);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[4].c, h.mSC.at(9));
    EXPECT_EQ(coefficientLines(rows, 0.25, CoefSeries::M, '.').front(), " 0.75");
}

TEST(Coefficients, CellsAlignOnTheDecimalPoint) {
    const std::vector<CoefRow> rows{
        {0, 0, 123.456, 0}, {1, 0.000123, 1.5e7, 1.5e7}, {12, -2.0, 0, 2.0}};
    for (Magnitude m : {Magnitude::SumAbs, Magnitude::Euclid}) {
        const auto cells = coefficientCells(rows, m);
        // " 123.456", " 0.000123" and " 0.15E+08" share one point column: 4 + 7 characters.
        using Row = std::array<std::string, 4>;
        EXPECT_EQ(cells[0], (Row{" 0", "", " 123.456   ", ""}));
        EXPECT_EQ(cells[1], (Row{" 1", "   0.000123", "   0.15E+08", "   0.15E+08"}));
        EXPECT_EQ(cells[2], (Row{"12", "  -2.0     ", "   0.0     ", "   2.0     "}));
        if (m == Magnitude::SumAbs)
            EXPECT_EQ(cells.at(3), (Row{"Sum", "", "", "   0.15E+08"}));
        else
            EXPECT_EQ(cells.size(), 3u);
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
    const auto text = coefficientFileText(coefficientRows(h, CoefSeries::S, 0, Magnitude::SumAbs),
                                          0.25, CoefSeries::S);
    std::locale::global(saved);
    EXPECT_EQ(text, " 0.25\t 1.5\r\n 2\t -3\t 5\r\n 0\t 4\t 4\r\n");
}

} // namespace
} // namespace model
