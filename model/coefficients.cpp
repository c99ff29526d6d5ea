#include "model/coefficients.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "model/format_real.h"

namespace model {

namespace {

// Values too small to matter are listed as exactly 0.
double shown(double x) {
    return std::fabs(x) < 1e-6 ? 0.0 : x;
}

double magnitudeOf(double s, double c, Magnitude m) {
    return m == Magnitude::Euclid ? std::sqrt(s * s + c * c) : std::fabs(s) + std::fabs(c);
}

// Up to 15 significant digits in the shortest of fixed and exponent form (as "%.15G" in the C
// locale), with the given decimal separator.
std::string general(double x, char decimalSeparator) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
    std::string out(buf, r.ptr);
    for (char& ch : out) {
        if (ch == '.')
            ch = decimalSeparator;
        else if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A'); // exponent, INF, NAN
    }
    return out;
}

} // namespace

std::vector<CoefRow> coefficientRows(const TPaintObj& motion, CoefSeries series, int derivative,
                                     Magnitude magnitude) {
    const int n = std::clamp(derivative, 0, 3);
    int K = std::max(motion.ResultHarmonics, 0);
    if (series == CoefSeries::M) K *= 2;
    std::vector<CoefRow> rows;
    rows.reserve(static_cast<std::size_t>(K) + 1);
    CoefRow first;
    switch (series) {
    case CoefSeries::S:
        first.c = motion.s_cos(n, 0);
        break;
    case CoefSeries::Q:
        first.c = motion.q_cos(n, 0);
        break;
    case CoefSeries::M:
        first.c = motion.mSC.at(1);
        break; // m_cos gives 0 for k = 0
    }
    first.c = shown(first.c);
    rows.push_back(first);
    for (int k = 1; k <= K; ++k) {
        double s = 0.0, c = 0.0;
        switch (series) {
        case CoefSeries::S:
            s = motion.s_sin(n, k);
            c = motion.s_cos(n, k);
            break;
        case CoefSeries::Q:
            s = motion.q_sin(n, k);
            c = motion.q_cos(n, k);
            break;
        case CoefSeries::M:
            s = motion.m_sin(k);
            c = motion.m_cos(k);
            break;
        }
        // The magnitude of the listed values, so that a row reads consistently.
        s = shown(s);
        c = shown(c);
        rows.push_back({k, s, c, shown(magnitudeOf(s, c, magnitude))});
    }
    return rows;
}

std::vector<std::array<std::string, 4>> coefficientCells(const std::vector<CoefRow>& rows,
                                                         Magnitude magnitude) {
    std::vector<std::array<std::string, 4>> cells;
    auto kText = [](std::string t) {
        return t.size() < 2 ? std::string(2 - t.size(), ' ') + t : t;
    };
    double sum = 0.0;
    for (const CoefRow& row : rows) {
        if (row.k == 0) {
            cells.push_back({kText("0"), "", FormatReal(row.c, 6), ""});
            continue;
        }
        sum += row.magnitude;
        cells.push_back({kText(std::to_string(row.k)), FormatReal(row.s, 6), FormatReal(row.c, 6),
                         FormatReal(row.magnitude, 6)});
    }
    if (magnitude == Magnitude::SumAbs) cells.push_back({"Sum", "", "", FormatReal(shown(sum), 6)});

    // Decimal points in one column over the whole grid.
    std::size_t before = 0, after = 0;
    auto split = [](const std::string& t) { return std::min(t.find('.'), t.size()); };
    for (const auto& row : cells)
        for (std::size_t j = 1; j < 4; ++j) {
            if (row[j].empty()) continue;
            const std::size_t p = split(row[j]);
            before = std::max(before, p);
            after = std::max(after, row[j].size() - p);
        }
    for (auto& row : cells)
        for (std::size_t j = 1; j < 4; ++j) {
            if (row[j].empty()) continue;
            const std::size_t p = split(row[j]);
            const std::size_t tail = row[j].size() - p;
            row[j] = std::string(before - p, ' ') + row[j] + std::string(after - tail, ' ');
        }
    return cells;
}

std::vector<std::string> coefficientLines(const std::vector<CoefRow>& rows, double eta,
                                          CoefSeries series, char decimalSeparator) {
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const CoefRow& row : rows) {
        if (row.k == 0)
            lines.push_back(series == CoefSeries::M ? " " + general(row.c, decimalSeparator)
                                                    : " " + general(eta, decimalSeparator) + "\t " +
                                                          general(row.c, decimalSeparator));
        else
            lines.push_back(" " + general(row.s, decimalSeparator) + "\t " +
                            general(row.c, decimalSeparator) + "\t " +
                            general(row.magnitude, decimalSeparator));
    }
    return lines;
}

std::string coefficientFileText(const std::vector<CoefRow>& rows, double eta, CoefSeries series) {
    std::string text;
    for (const std::string& line : coefficientLines(rows, eta, series, '.')) text += line + "\r\n";
    return text;
}

} // namespace model
