// The Fourier coefficients of a calculated motion as the editor lists them: rows of sine,
// cosine and magnitude per harmonic for s, q (with a derivative order) or the torque term M,
// the aligned cell texts of the grid, and the lines that are copied or saved.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/members.h"

namespace model {

enum class CoefSeries { S, Q, M };
enum class Magnitude { SumAbs, Euclid }; // |s_k| + |c_k|  or  (s_k² + c_k²)^½

struct CoefRow {
    int k = 0;
    double s = 0.0;         // sine coefficient (0 in row 0)
    double c = 0.0;         // cosine coefficient (c_0 in row 0)
    double magnitude = 0.0; // (0 in row 0)
};

// Rows k = 0 .. K (K = ResultHarmonics for s and q, twice that for M); derivative applies to s
// and q only. Values below 1e-6 in magnitude are 0; a row's magnitude is that of its listed s
// and c.
std::vector<CoefRow> coefficientRows(const TPaintObj& motion, CoefSeries series, int derivative,
                                     Magnitude magnitude);

// The grid cells: one row per CoefRow plus, with SumAbs, a last row with "Sum" in the k column and
// the sum of the magnitudes of rows 1 .. K. Columns: k (right-aligned in width 2), s_k, c_k,
// magnitude; row 0 holds c_0 only. Numbers with 6 significant digits, aligned on their decimal
// points over the whole grid (cells padded with blanks); empty cells are empty strings.
std::vector<std::array<std::string, 4>> coefficientCells(const std::vector<CoefRow>& rows,
                                                         Magnitude magnitude);

// The lines that are copied and saved (no "Sum" line): row 0 " " + eta + TAB + " " + c_0 (for M
// only " " + c_0), rows k >= 1 " " + s_k + TAB + " " + c_k + TAB + " " + magnitude. Numbers with
// up to 15 significant digits and the given decimal separator.
std::vector<std::string> coefficientLines(const std::vector<CoefRow>& rows, double eta,
                                          CoefSeries series, char decimalSeparator);

// The text of a ".tab" file: the lines with "." decimals, each ended by CR LF.
std::string coefficientFileText(const std::vector<CoefRow>& rows, double eta, CoefSeries series);

} // namespace model
