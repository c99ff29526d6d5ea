// Characteristic values of a motion against brute-force evaluation of its curves.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "model/characteristics.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

TEST(CharacteristicValues, RmsAndExtremesAgreeWithDenseEvaluation) {
    for (const double eta : {0.0, 0.12}) {
        std::mt19937 rng(eta > 0 ? 31 : 17);
        THSHeader h;
        giveResults(h, 9, rng, eta);
        const CharacteristicValues c = characteristicValues(h);
        ASSERT_TRUE(c.hasResults);
        EXPECT_EQ(c.hasQ, eta > 0);
        constexpr int kPoints = 20000;
        for (int n = 0; n < 4; ++n) {
            const auto i = static_cast<std::size_t>(n);
            // Rectangle rule over the period: exact for a trigonometric polynomial of this
            // degree, and independent of the coefficient formula.
            double sum = 0.0, lo = h.Calc_s(n, 0.0), hi = lo, qlo = h.Calc_q(n, 0.0), qhi = qlo;
            for (int j = 0; j < kPoints; ++j) {
                const double phi = 360.0 * j / kPoints, v = h.Calc_s(n, phi), q = h.Calc_q(n, phi);
                sum += v * v;
                lo = std::min(lo, v), hi = std::max(hi, v);
                qlo = std::min(qlo, q), qhi = std::max(qhi, q);
            }
            const double scale = std::max(1.0, hi - lo);
            EXPECT_NEAR(c.rms[i], std::sqrt(sum / kPoints), 1e-9 * scale) << "order " << n;
            // Never below the dense sample's extreme, and no further off than the sampling
            // error of the dense grid.
            EXPECT_GE(c.s[i].max, hi - 1e-12 * scale);
            EXPECT_LE(c.s[i].max, hi + 1e-6 * scale);
            EXPECT_LE(c.s[i].min, lo + 1e-12 * scale);
            EXPECT_GE(c.s[i].min, lo - 1e-6 * scale);
            if (eta > 0) {
                const double qscale = std::max(1.0, qhi - qlo);
                EXPECT_GE(c.q[i].max, qhi - 1e-12 * qscale);
                EXPECT_LE(c.q[i].max, qhi + 1e-6 * qscale);
                EXPECT_LE(c.q[i].min, qlo + 1e-12 * qscale);
                EXPECT_GE(c.q[i].min, qlo - 1e-6 * qscale);
            }
        }
    }
}

TEST(CharacteristicValues, PureHarmonicAndNoResults) {
    THSHeader h;
    EXPECT_FALSE(characteristicValues(h).hasResults);
    // s = 2 + 3 sin(4φ): s' = 12 cos(4φ), RMS 12/√2; extremes of s at 2 ± 3.
    h.sSC.ReSize(10);
    h.sSC.set(1, 2.0);
    h.sSC.set(8, 3.0);
    h.qSC = h.sSC;
    h.HasResults = true;
    const CharacteristicValues c = characteristicValues(h);
    EXPECT_NEAR(c.rms[0], std::sqrt(4.0 + 4.5), 1e-12);
    EXPECT_NEAR(c.rms[1], 12.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(c.rms[3], 192.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(c.s[0].max, 5.0, 1e-12);
    EXPECT_NEAR(c.s[0].min, -1.0, 1e-12);
    EXPECT_NEAR(c.s[2].min, -48.0, 1e-9);
    EXPECT_FALSE(c.hasQ);
}
