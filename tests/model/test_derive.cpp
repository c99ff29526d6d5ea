// q and M derived from s, checked against independent computations: q must satisfy the
// equation of motion of the elastic transmission, M must be the Fourier series of s'·s''
// sampled on a grid.
#include <cmath>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "model/series.h"

namespace model {
namespace {

constexpr double kPi = std::numbers::pi;

// s with K random harmonics (element 0: eta).
std::unique_ptr<model::THSHeader> motion(int K, double eta, std::mt19937& rng) {
    auto h = std::make_unique<model::THSHeader>();
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    h->IPar[3] = K;
    h->sSC.ReSize(2 * K + 2);
    h->sSC.set(0, eta);
    for (int i = 1; i < 2 * K + 2; ++i) h->sSC.set(i, u(rng));
    return h;
}

// The derivative of order n of a series in the stored layout (sine at 2k, cosine at 2k + 1),
// per radian, at x in radians.
double derivative(const model::TVector& v, int n, double x) {
    double sum = n == 0 ? v.at(1) : 0.0;
    for (int k = 1; k <= v.harmonics(); ++k) {
        const double S = v.at(2 * k), C = v.at(2 * k + 1);
        // d^n/dx^n of sin(kx) is k^n sin(kx + n pi/2); of cos(kx) is k^n cos(kx + n pi/2).
        const double kn = std::pow(k, n);
        sum += kn * (S * std::sin(k * x + n * kPi / 2) + C * std::cos(k * x + n * kPi / 2));
    }
    return sum;
}

TEST(DeriveQ, SatisfiesTheEquationOfMotion) {
    // eta^2 q'' + 2 theta eta q' + q = 2 theta eta s' + s, the transmission driven by s.
    std::mt19937 rng(11);
    for (double eta : {0.07, 0.3, 0.9}) {
        for (double theta : {0.0, 0.05, 0.4}) {
            auto hp = motion(7, eta, rng);
            auto& h = *hp;
            // Keep away from resonance for theta = 0.
            if (theta == 0.0 && std::fabs(std::round(1.0 / eta) * eta - 1.0) < 1e-9) continue;
            ASSERT_TRUE(deriveSeries(h, eta, theta));
            for (int i = 0; i < 90; ++i) {
                const double x = 2 * kPi * i / 90.0;
                const double lhs = eta * eta * derivative(h.qSC, 2, x) +
                                   2 * theta * eta * derivative(h.qSC, 1, x) +
                                   derivative(h.qSC, 0, x);
                const double rhs =
                    2 * theta * eta * derivative(h.sSC, 1, x) + derivative(h.sSC, 0, x);
                EXPECT_NEAR(lhs, rhs, 1e-9 * (1 + std::fabs(rhs))) << eta << " " << theta;
            }
            EXPECT_EQ(h.qSC.at(0), eta);
            EXPECT_EQ(h.ResultHarmonics, 7);
        }
    }
}

TEST(DeriveM, IsTheFourierSeriesOfTheProductOfVelocityAndAcceleration) {
    std::mt19937 rng(5);
    for (int K : {1, 2, 5, 9}) {
        auto hp = motion(K, 0.2, rng);
        auto& h = *hp;
        ASSERT_TRUE(deriveSeries(h, 0.2, 0.1));
        ASSERT_EQ(h.mSC.Count(), 4 * K + 2);
        EXPECT_EQ(h.mSC.at(0), 0.0);
        EXPECT_EQ(h.mSC.at(1), 0.0);
        // The product has harmonics up to 2K; N > 4K samples resolve them exactly.
        const int N = 8 * K + 16;
        for (int i = 1; i <= 2 * K; ++i) {
            double a = 0.0, b = 0.0;
            for (int n = 0; n < N; ++n) {
                const double x = 2 * kPi * n / N;
                const double f = derivative(h.sSC, 1, x) * derivative(h.sSC, 2, x);
                b += 2.0 / N * f * std::sin(i * x);
                a += 2.0 / N * f * std::cos(i * x);
            }
            const double scale = 1.0 + std::pow(K, 3);
            EXPECT_NEAR(h.mSC.at(2 * i), b, 1e-10 * scale) << "K " << K << " sine " << i;
            EXPECT_NEAR(h.mSC.at(2 * i + 1), a, 1e-10 * scale) << "K " << K << " cosine " << i;
        }
        // Its mean is zero (s'·s'' is the derivative of s'^2 / 2).
    }
}

TEST(DeriveQ, EtaZeroGivesQEqualToS) {
    std::mt19937 rng(3);
    auto hp = motion(6, 0.0, rng);
    auto& h = *hp;
    ASSERT_TRUE(deriveSeries(h, 0.0, 0.3));
    for (int i = 0; i < 14; ++i) EXPECT_EQ(h.qSC.at(i), h.sSC.at(i)) << i;
}

TEST(DeriveQ, ResonanceWithoutDampingKeepsSAndCopiesIt) {
    std::mt19937 rng(4);
    auto hp = motion(4, 0.5, rng);
    auto& h = *hp; // harmonic 2: 2 * 0.5 = 1
    const model::TVector s = h.sSC;
    EXPECT_FALSE(deriveSeries(h, 0.5, 0.0));
    EXPECT_EQ(h.sSC, s); // the computed motion law is untouched, constant term and eta too
    EXPECT_EQ(h.qSC, s); // q shown equal to s
    ASSERT_EQ(h.mSC.Count(), 18);
}

TEST(DeriveQ, ResonanceInTestModeUsesTheTrialValues) {
    std::mt19937 rng(8);
    auto hp = motion(3, 0.0, rng);
    auto& h = *hp;
    h.TestEta = 1.0; // harmonic 1 meets the resonance
    h.TestTheta = 0.0;
    h.RPar[3] = 0.2;
    const model::TVector s = h.sSC;
    EXPECT_FALSE(deriveSeries(h, true));
    EXPECT_EQ(h.sSC, s);
    // Without test mode the series' own eta (0) applies: no failure.
    EXPECT_TRUE(deriveSeries(h, false));
}

TEST(DeriveM, ZeroHarmonicsGivesTwoZeros) {
    std::mt19937 rng(1);
    auto hp = motion(0, 0.0, rng);
    auto& h = *hp;
    ASSERT_TRUE(deriveSeries(h, 0.0, 0.0));
    EXPECT_EQ(h.mSC.Count(), 2);
    EXPECT_EQ(h.mSC.at(0), 0.0);
    EXPECT_EQ(h.mSC.at(1), 0.0);
    EXPECT_EQ(h.qSC.Count(), 2);
}

} // namespace
} // namespace model
