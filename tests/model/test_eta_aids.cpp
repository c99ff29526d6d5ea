// The eta aids checked against the elastic transmission itself: the output q that deriveQ forms
// for a one-harmonic motion, and the transmission's denominator evaluated in complex numbers.
#include <cmath>
#include <complex>
#include <numbers>

#include <gtest/gtest.h>

#include "model/eta_aids.h"
#include "model/series.h"

namespace model {
namespace {

constexpr double kPi = std::numbers::pi;

// Phase lag of q behind s = cos(H phi) at the first-harmonic ratio eta, from deriveQ.
double lagOfQ(int H, double eta, double theta) {
    THSHeader h;
    h.sSC.ReSize(2 * H + 2);
    h.sSC.set(0, eta);
    h.sSC.set(2 * H + 1, 1.0);
    EXPECT_TRUE(deriveQ(h, eta, theta));
    return std::atan2(h.qSC.at(2 * H), h.qSC.at(2 * H + 1)); // q = E sin + w cos
}

TEST(EtaAids, AmplitudeReachesTheShareOfTheResonancePeak) {
    for (int H : {1, 4, 12})
        for (double theta : {0.02, 0.1, 0.3, 0.6})
            for (double percent : {5.0, 40.0, 80.0, 100.0}) {
                const double V = percent / 100;
                const double limit = etaLimitAmplitude(percent, theta, H);
                if (V < 2 * theta || theta * theta >= 0.5) {
                    EXPECT_DOUBLE_EQ(limit, V / H); // no such ratio
                    continue;
                }
                const double e = limit * H;
                const std::complex<double> D(1 - e * e, 2 * theta * e);
                EXPECT_NEAR(2 * theta / std::abs(D), V, 1e-9) << H << " " << theta << " " << V;
                EXPECT_LE(e * e, 1 - 2 * theta * theta + 1e-12); // below the peak
            }
    EXPECT_DOUBLE_EQ(etaLimitAmplitude(50, 0.0, 5), 0.1);
    EXPECT_DOUBLE_EQ(etaLimitAmplitude(50, -0.1, 5), 0.1);
}

TEST(EtaAids, PhaseAngleIsTwiceTheLagOfQForSmallRatios) {
    for (int H : {1, 3, 10})
        for (double theta : {0.05, 0.2})
            for (double degrees : {0.2, 1.0}) {
                const double limit = etaLimitPhase(degrees, theta, H);
                ASSERT_GT(limit, 0.0);
                ASSERT_LT(limit, 1.0 / H); // well below resonance here
                const double lag = lagOfQ(H, limit, theta) * 180 / kPi;
                EXPECT_NEAR(lag, degrees / 4, 0.03 * degrees / 4) << H << " " << theta;
            }
}

TEST(EtaAids, PhaseSolvesItsAngleAndRisesWithTheFigure) {
    for (double theta : {0.05, 0.5, 1.5}) {
        double previous = 0.0;
        for (double degrees : {1.0, 10.0, 30.0, 60.0, 89.0}) {
            const double limit = etaLimitPhase(degrees, theta, 2);
            const double eta = 2 * limit;
            // The angle through D = 1 - eta² + 2i theta eta: tan = 8 theta eta³ / (|D| + Re D).
            const std::complex<double> D(1 - eta * eta, 2 * theta * eta);
            const double angle = std::atan(8 * theta * eta * eta * eta / (std::abs(D) + D.real()));
            EXPECT_NEAR(angle, degrees * kPi / 360, 1.1e-5) << theta << " " << degrees;
            EXPECT_GT(limit, previous);
            previous = limit;
        }
    }
}

TEST(EtaAids, PhaseSearchEndsForStrongDampingAndATinyFigure) {
    // The sign-change search stepped past eta = 0 here and never came back.
    for (double theta : {0.7, 0.9})
        for (int H : {1, 7}) {
            const double limit = etaLimitPhase(0.01, theta, H);
            EXPECT_TRUE(std::isfinite(limit));
            EXPECT_GT(limit, 0.0);
            EXPECT_LE(limit, 1.0);
        }
}

TEST(EtaAids, FallBackToOneOverH) {
    EXPECT_DOUBLE_EQ(etaLimitResonance(4), 0.25);
    EXPECT_DOUBLE_EQ(etaLimitPhase(10, 0.0, 4), 0.25); // no damping
    // Beyond eta = H the angle would still rise to 89.95 degrees: not reached, 1/H.
    EXPECT_DOUBLE_EQ(etaLimitPhase(179.9, 0.3, 2), 0.5);
    EXPECT_DOUBLE_EQ(etaLimitPhase(0, 0.3, 4), 0.25);
}

} // namespace
} // namespace model
