#include "model/band.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/format_real.h"

namespace model {

namespace {

// The largest value of f on [lo, hi] near x, by golden-section search (f unimodal there).
double refineMax(const auto& f, double lo, double hi) {
    constexpr double g = 0.6180339887498949;
    double a = lo, b = hi;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < 60 && b - a > 1e-9; ++i) {
        if (fc < fd) {
            a = c, c = d, fc = fd;
            d = a + g * (b - a), fd = f(d);
        } else {
            b = d, d = c, fd = fc;
            c = b - g * (b - a), fc = f(c);
        }
    }
    return std::max({fc, fd, f(lo), f(hi)});
}

} // namespace

double relativeViolation(const TRestr& r, const std::array<double, 13>& P, const TPaintObj& motion,
                         bool q, double beta) {
    if (!isIntervalKind(r.code())) return 0.0;
    const bool hasLower = r.IPar[6] >= 0, hasUpper = r.IPar[7] >= 0;
    if (!hasLower && !hasUpper) return 0.0;
    const int m = r.order();
    const auto v = [&](double phi) { return q ? motion.Calc_q(m, phi) : motion.Calc_s(m, phi); };
    const double lower = atLevel(r.IPar[6] == 1, P[6], P[5], beta);
    const double upper = atLevel(r.IPar[7] == 1, P[8], P[7], beta);
    const double a = atLevel(r.IPar[4] == 1, P[2], P[1], beta);
    const double b = atLevel(r.IPar[5] == 1, P[4], P[3], beta);
    if (!(b > a) || !std::isfinite(a) || !std::isfinite(b) || b - a > 3600.0) return 0.0;

    const int K = std::max(motion.sSC.harmonics(), 1);
    const double step = std::min(0.25, 360.0 / (64.0 * K));
    double band = upper - lower;
    if (!(hasLower && hasUpper)) {
        double lo = v(0.0), hi = lo;
        for (double phi = step; phi < 360.0; phi += step) {
            const double x = v(phi);
            lo = std::min(lo, x), hi = std::max(hi, x);
        }
        band = std::max(std::fabs(hasLower ? lower : upper), hi - lo);
    }
    band = std::max(band, 1e-12);

    // Each side on its own: its violation is smooth, so a local maximum on the grid is refined
    // between its neighbours.
    double worst = 0.0;
    for (const bool up : {false, true}) {
        if (up ? !hasUpper : !hasLower) continue;
        const auto over = [&](double phi) { return up ? v(phi) - upper : lower - v(phi); };
        const int n = static_cast<int>(std::ceil((b - a) / step));
        std::vector<double> grid(static_cast<std::size_t>(n) + 1);
        for (int i = 0; i <= n; ++i) grid[static_cast<std::size_t>(i)] = over(a + (b - a) * i / n);
        for (int i = 0; i <= n; ++i) {
            const double here = grid[static_cast<std::size_t>(i)];
            const double left = i > 0 ? grid[static_cast<std::size_t>(i) - 1] : -INFINITY;
            const double right = i < n ? grid[static_cast<std::size_t>(i) + 1] : -INFINITY;
            if (here <= 0.0 && std::max(left, right) <= 0.0) continue;
            if (here < left || here < right) continue;
            const double lo = a + (b - a) * std::max(i - 1, 0) / n;
            const double hi = a + (b - a) * std::min(i + 1, n) / n;
            worst = std::max(worst, refineMax(over, lo, hi));
        }
    }
    return std::max(worst, 0.0) / band;
}

std::string overshootText(double relative, char decimalSeparator) {
    // One decimal, two below 0.1 % (named only with a tolerance that small).
    const double percent = relative * 100.0;
    return "zwischen den Stützstellen überschritten um " +
           fixedDecimals(percent, percent < 0.095 ? 2 : 1, decimalSeparator) + " %";
}

} // namespace model
