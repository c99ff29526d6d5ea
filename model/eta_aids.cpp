#include "model/eta_aids.h"

#include <cmath>
#include <numbers>

namespace model {

namespace {

// The angle whose bisection gives the phase aid, at the ratio eta of the highest harmonic:
// atan2(f - 1 + r, theta / (2 eta)) with f = eta², r = |1 - f + 2i theta eta|. It rises from
// 0 towards pi/2 as eta grows (for theta > 0).
double phaseAngle(double eta, double theta) {
    const double f = eta * eta;
    const double r = std::sqrt((1.0 - f) * (1.0 - f) + 4.0 * theta * theta * f);
    return std::atan2(f - 1.0 + r, theta / (2.0 * eta));
}

} // namespace

double etaLimitResonance(int harmonics) {
    return 1.0 / (harmonics > 1 ? harmonics : 1);
}

double etaLimitAmplitude(double percent, double theta, int harmonics) {
    const double H = harmonics > 1 ? harmonics : 1;
    const double V = percent * 0.01;
    if (theta > 0.0 && V > 0.0) {
        const double a = theta * theta;
        const double inner = 4.0 * a * a - 4.0 * a + 4.0 * a / (V * V);
        if (inner >= 0.0) {
            const double outer = 1.0 - 2.0 * a - std::sqrt(inner);
            if (outer >= 0.0) return std::sqrt(outer) / H;
        }
    }
    return V / H;
}

double etaLimitPhase(double degrees, double theta, int harmonics) {
    const double H = harmonics > 1 ? harmonics : 1;
    const double target = degrees * std::numbers::pi / 360.0;
    constexpr double kTolerance = 1e-5;
    constexpr int kMaxSteps = 200;
    if (!(theta > 0.0) || !(target > 0.0)) return 1.0 / H;
    if (phaseAngle(H, theta) < target - kTolerance) return 1.0 / H; // not reached in (0, H]
    double lo = 0.0, hi = H, eta = H;
    for (int step = 0; step < kMaxSteps; ++step) {
        const double d = target - phaseAngle(eta, theta);
        if (std::fabs(d) <= kTolerance) break;
        (d > 0.0 ? lo : hi) = eta;
        eta = 0.5 * (lo + hi);
    }
    return eta / H;
}

} // namespace model
