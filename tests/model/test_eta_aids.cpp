// The eta aids checked against the elastic transmission: the output q that deriveQ forms for a
// one-harmonic motion, and the transmission's denominator D = 1 - e² + 2i theta e.
#include <cmath>
#include <complex>
#include <numbers>

#include <gtest/gtest.h>

#include "model/eta_aids.h"
#include "model/series.h"

namespace model {
namespace {

TEST(EtaAids, AmplitudeReachesItsShareOfTheResonancePeak) {
    for (int H : {1, 12})
        for (double theta : {0.02, 0.3, 0.8})
            for (double percent : {5.0, 80.0, 100.0}) {
                const double V = percent / 100, limit = etaLimitAmplitude(percent, theta, H);
                if (V < 2 * theta || theta * theta >= 0.5) { // never reached: fallback
                    EXPECT_DOUBLE_EQ(limit, V / H);
                    continue;
                }
                const double e = limit * H;
                EXPECT_NEAR(2 * theta / std::abs(std::complex(1 - e * e, 2 * theta * e)), V, 1e-9);
                EXPECT_LE(e * e, 1 - 2 * theta * theta + 1e-12); // the rising side of the peak
            }
    EXPECT_DOUBLE_EQ(etaLimitAmplitude(50, 0.0, 5), 0.1);
}

TEST(EtaAids, PhaseAngleIsTwiceTheLagOfQForSmallRatios) {
    for (int H : {1, 10})
        for (double theta : {0.05, 0.2})
            for (double degrees : {0.2, 1.0}) {
                const double limit = etaLimitPhase(degrees, theta, H);
                ASSERT_GT(limit, 0.0);
                THSHeader h; // s = cos(H phi)
                h.sSC.ReSize(2 * H + 2);
                h.sSC.set(2 * H + 1, 1.0);
                ASSERT_TRUE(deriveQ(h, limit, theta));
                const double lag = std::atan2(h.qSC.at(2 * H), h.qSC.at(2 * H + 1));
                EXPECT_NEAR(lag * 180 / std::numbers::pi, degrees / 4, 0.03 * degrees / 4);
            }
}

TEST(EtaAids, PhaseSearchEndsForStrongDampingAndATinyFigure) {
    // The sign-change search stepped past eta = 0 here and never came back.
    for (double theta : {0.7, 0.9})
        for (int H : {1, 7}) {
            const double limit = etaLimitPhase(0.01, theta, H);
            EXPECT_TRUE(limit > 0.0 && limit <= 1.0) << limit;
        }
}

TEST(EtaAids, PhaseFallsBackToOneOverH) {
    EXPECT_DOUBLE_EQ(etaLimitPhase(10, 0.0, 4), 0.25);
    EXPECT_DOUBLE_EQ(etaLimitPhase(179.9, 0.3, 2), 0.5); // reached only beyond eta = H
    EXPECT_LT(etaLimitPhase(89.0, 0.3, 2), 0.5);
}

} // namespace
} // namespace model
