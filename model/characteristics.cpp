#include "model/characteristics.h"

#include <algorithm>
#include <cmath>

namespace model {

namespace {

// Improves the sampled extreme at x (neighbours at x ± h) by the vertex of the parabola through
// the three samples; keeps the sample when the vertex is no better.
template <class F> double refined(F&& f, double x, double h, double v, bool wantMax) {
    const double a = f(x - h), b = f(x + h);
    const double curvature = a - 2.0 * v + b;
    if (curvature == 0.0 || !std::isfinite(curvature)) return v;
    const double offset = 0.5 * h * (a - b) / curvature;
    if (!(std::fabs(offset) <= h)) return v;
    const double w = f(x + offset);
    return wantMax ? std::max(v, w) : std::min(v, w);
}

template <class F> Extremes sampled(F&& f, int points) {
    const double h = 360.0 / points;
    int iMin = 0, iMax = 0;
    double vMin = f(0.0), vMax = vMin;
    for (int i = 1; i < points; ++i) {
        const double v = f(i * h);
        if (v < vMin) vMin = v, iMin = i;
        if (v > vMax) vMax = v, iMax = i;
    }
    return {refined(f, iMin * h, h, vMin, false), refined(f, iMax * h, h, vMax, true)};
}

} // namespace

bool hasElasticOutput(const TPaintObj& motion) {
    if (motion.s_sin(0, 0) > 0.0) return true;
    const std::int32_t n = std::max(motion.sSC.Count(), motion.qSC.Count());
    for (std::int32_t i = 1; i < n; ++i)
        if (motion.sSC.at(i) != motion.qSC.at(i)) return true;
    return false;
}

CharacteristicValues characteristicValues(const TPaintObj& motion) {
    CharacteristicValues c;
    const std::int32_t H = motion.sSC.harmonics();
    if (!motion.HasResults || H < 0) return c;
    c.hasResults = true;
    c.hasQ = hasElasticOutput(motion);
    const int points = std::max(3600, 64 * H);
    for (int n = 0; n < 4; ++n) {
        const auto i = static_cast<std::size_t>(n);
        c.s[i] = sampled([&](double phi) { return motion.Calc_s(n, phi); }, points);
        if (c.hasQ) c.q[i] = sampled([&](double phi) { return motion.Calc_q(n, phi); }, points);
        const double c0 = motion.s_cos(n, 0);
        double meanSquare = c0 * c0;
        for (std::int32_t k = 1; k <= H; ++k) {
            const double a = motion.s_sin(n, k), b = motion.s_cos(n, k);
            meanSquare += 0.5 * (a * a + b * b);
        }
        c.rms[i] = std::sqrt(meanSquare);
    }
    return c;
}

} // namespace model
