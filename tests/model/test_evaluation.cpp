// Evaluation of the series, derived series, sampled extremes and actual values, each checked
// against an independent computation.
#include <complex>

#include <gtest/gtest.h>

#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Numeric derivative per radian of f (phi in degrees), central differences.
template <class F> double dRad(F f, double phi, double hDeg = 1e-3) {
    return (f(phi + hDeg) - f(phi - hDeg)) / (2 * hDeg * kPi / 180.0);
}

} // namespace

TEST(Series, LayoutAndKnownValues) {
    THSHeader h;
    h.sSC.ReSize(22);  // 10 harmonics
    h.sSC.set(2, 1.0); // S_1 = 1: s = sin(phi)
    h.sSC.set(1, 5.0); // C_0
    EXPECT_NEAR(h.Calc_s(0, 90.0), 6.0, 1e-15);
    EXPECT_NEAR(h.Calc_s(1, 0.0), 1.0, 1e-15); // cos(0), per radian
    EXPECT_NEAR(h.Calc_s(1, 60.0), 0.5, 1e-15);
    EXPECT_EQ(h.s_cos(2, 0), 0.0);
    EXPECT_EQ(h.s_cos(0, 0), 5.0);
    h.sSC.set(0, 0.3); // eta
    EXPECT_EQ(h.s_sin(0, 0), 0.3);
    EXPECT_EQ(h.s_sin(3, 0), 0.3);
    // Harmonic 10 is summed, an element beyond the vector is not read.
    h.sSC.set(20, 2.0);
    EXPECT_NEAR(h.Calc_s(0, 9.0), 5.0 + std::sin(kPi / 20) + 2.0 * std::sin(kPi / 2), 1e-13);
    EXPECT_EQ(h.s_sin(0, 11), 0.0);
    // An object without results evaluates to 0 and reads nothing outside its series.
    THSHeader empty;
    EXPECT_EQ(empty.Calc_s(0, 10.0), 0.0);
    EXPECT_EQ(empty.Calc_M(10.0), 0.0);
    double lo = 0, hi = 360;
    empty.GetMinMax_s(0, lo, hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
}

TEST(Series, DerivativesAgreeWithNumericDifferentiation) {
    std::mt19937 rng(17);
    for (int trial = 0; trial < 20; ++trial) {
        THSHeader h;
        giveResults(h, 1 + trial % 12, rng, 0.0);
        for (double phi = 0.0; phi < 360.0; phi += 17.3) {
            for (int n = 0; n < 3; ++n) {
                const double num = dRad([&](double x) { return h.Calc_s(n, x); }, phi);
                EXPECT_NEAR(h.Calc_s(n + 1, phi), num, 1e-5 * (1 + std::fabs(num)))
                    << "n " << n << " phi " << phi;
            }
        }
    }
}

TEST(Series, TorqueIsTheProductOfVelocityAndAcceleration) {
    std::mt19937 rng(23);
    for (int K : {0, 1, 2, 5, 10, 20}) {
        THSHeader h;
        giveResults(h, K, rng);
        ASSERT_EQ(h.mSC.Count(), 4 * K + 2);
        EXPECT_EQ(h.mSC.at(0), 0.0);
        EXPECT_EQ(h.mSC.at(1), 0.0);
        for (double phi = 0.0; phi <= 360.0; phi += 2.5) {
            const double prod = h.Calc_s(1, phi) * h.Calc_s(2, phi);
            EXPECT_NEAR(h.Calc_M(phi), prod, 1e-9 * (1 + std::fabs(prod))) << "K " << K;
        }
    }
}

TEST(Series, OutputMotionOfTheDampedTransmission) {
    std::mt19937 rng(31);
    THSHeader h;
    giveResults(h, 6, rng, 0.0);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(h.qSC.at(i), h.sSC.at(i)); // eta = 0: q = s
    // eta > 0: each harmonic of q answers the forced oscillation
    //   q'' (k eta)^2/k^2 ... written per harmonic as the complex gain 1 / (1 - r^2 + 2 i theta r).
    const double eta = 0.13, theta = 0.07;
    h.sSC.set(0, eta);
    ASSERT_TRUE(deriveQ(h, eta, theta));
    for (int k = 1; k <= 6; ++k) {
        const double r = k * eta;
        // Complex amplitude of s: C_k - i S_k (s = Re(A e^{ikx})); that of q includes the
        // damping term of the transmission: q + 2 theta/omega q' + q''/omega^2 = s + 2 theta/omega
        // s'.
        const std::complex<double> A(h.sSC.at(2 * k + 1), -h.sSC.at(2 * k));
        const std::complex<double> i(0, 1);
        const std::complex<double> Q =
            A * (1.0 + 2.0 * theta * r * i) / (1.0 - r * r + 2.0 * theta * r * i);
        EXPECT_NEAR(h.qSC.at(2 * k + 1), Q.real(), 1e-12) << k;
        EXPECT_NEAR(h.qSC.at(2 * k), -Q.imag(), 1e-12) << k;
    }
    EXPECT_EQ(h.qSC.at(0), eta);
    EXPECT_EQ(h.qSC.at(1), h.sSC.at(1));
    // Resonance without damping: the harmonic fails; s stays as computed, q is a copy of it.
    THSHeader res;
    giveResults(res, 4, rng, 0.0);
    res.sSC.set(0, 0.5);
    const TVector s = res.sSC;
    EXPECT_FALSE(deriveQ(res, 0.5, 0.0)); // k = 2 meets r = 1
    EXPECT_EQ(res.sSC, s);
    EXPECT_EQ(res.qSC, s);
}

TEST(Extremes, StepRuleAndEndPoint) {
    // 22 values: h = 36/22, 360 / (360/h + 1) = 360/221; 222 samples, the last exactly 360.
    std::vector<double> xs;
    double lo = 0.0, hi = 360.0;
    sampleMinMax(lo, hi, 22, [&](double x) {
        xs.push_back(x);
        return x;
    });
    ASSERT_EQ(xs.size(), 222u);
    EXPECT_EQ(xs.front(), 0.0);
    EXPECT_EQ(xs.back(), 360.0);
    EXPECT_NEAR(xs[1], 360.0 / 221.0, 1e-12);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 360.0);
    // An empty or reversed interval samples its start once and ends.
    xs.clear();
    lo = 10.0;
    hi = 10.0;
    sampleMinMax(lo, hi, 22, [&](double x) {
        xs.push_back(x);
        return 1.0;
    });
    EXPECT_EQ(xs.size(), 1u);
    xs.clear();
    lo = 20.0;
    hi = 10.0;
    sampleMinMax(lo, hi, 22, [&](double x) {
        xs.push_back(x);
        return 1.0;
    });
    EXPECT_EQ(xs.size(), 1u);
}

TEST(Extremes, OfAMotionBracketTheTrueRange) {
    std::mt19937 rng(41);
    THSHeader h;
    giveResults(h, 8, rng);
    double lo = 0.0, hi = 360.0;
    h.GetMinMax_s(0, lo, hi);
    double tlo = 1e300, thi = -1e300;
    for (double phi = 0.0; phi <= 360.0; phi += 0.01) {
        tlo = std::min(tlo, h.Calc_s(0, phi));
        thi = std::max(thi, h.Calc_s(0, phi));
    }
    EXPECT_GE(lo, tlo - 1e-12);
    EXPECT_LE(hi, thi + 1e-12);
    EXPECT_NEAR(lo, tlo, 0.02 * (thi - tlo));
    EXPECT_NEAR(hi, thi, 0.02 * (thi - tlo));
    double mlo = 0, mhi = 360;
    h.GetMinMax_M(mlo, mhi);
    EXPECT_LT(mlo, 0.0);
    EXPECT_GT(mhi, 0.0);
}

TEST(ActualValues, IntervalSearchesAgainstABruteForceScan) {
    // s = sin(phi): stays inside [-0.5, 0.5] from -30 to 30 degrees.
    THSHeader h;
    h.IPar[3] = 1;
    h.sSC.ReSize(4);
    h.sSC.set(2, 1.0);
    h.qSC = h.sSC;
    h.HasResults = true;
    TRestr r;
    r.IPar[1] = 1;
    r.IPar[3] = 10;
    r.RPar[2] = 0.0;
    r.RPar[4] = 20.0;
    r.RPar[6] = -0.5;
    r.RPar[8] = 0.5;
    r.ComputeActualValues(h);
    const double h0 = std::min(20.0 * 0.05, 360.0 * 0.05);
    EXPECT_NEAR(r.ActualS[1], -30.0, h0 * 1e-3);
    EXPECT_NEAR(r.ActualS[2], 30.0, h0 * 1e-3);
    EXPECT_NEAR(r.ActualS[3], 0.0, 1e-6);
    EXPECT_NEAR(r.ActualS[4], std::sin(20.0 * kPi / 180), 1e-12);
    EXPECT_EQ(r.ActualQ, r.ActualS);
    // Maximum inside the interval: refined towards the true peak at 90 degrees.
    r.RPar[2] = 50.0;
    r.RPar[4] = 130.0;
    r.IPar[6] = r.IPar[7] = -1;
    r.ComputeActualValues(h);
    EXPECT_NEAR(r.ActualS[4], 1.0, 1e-9);
    EXPECT_NEAR(r.ActualS[3], std::sin(50.0 * kPi / 180), 1e-12);
    // No bounds: inside everywhere, the searches run out: 0 and 360.
    EXPECT_EQ(r.ActualS[1], 0.0);
    EXPECT_EQ(r.ActualS[2], 360.0);
}

TEST(ActualValues, PointSpectrumAndTinyValues) {
    THSHeader h;
    h.IPar[3] = 2;
    h.sSC.ReSize(6);
    h.sSC.set(2, 3.0);  // S_1
    h.sSC.set(3, -4.0); // C_1
    h.sSC.set(4, 1e-7); // S_2 (tiny)
    h.qSC = h.sSC;
    TRestr p;
    p.IPar[1] = 1;
    p.IPar[3] = 1;
    p.RPar[2] = 90.0;
    p.ComputeActualValues(h);
    EXPECT_EQ(p.ActualS[1], 90.0);
    EXPECT_NEAR(p.ActualS[3], h.Calc_s(1, 90.0), 1e-15);
    TRestr sp;
    sp.IPar[3] = 21;
    sp.ComputeActualValues(h);
    EXPECT_NEAR(sp.ActualS[4], 3.0 + 4.0 + 2 * 1e-7, 1e-12); // sum of k (|S_k| + |C_k|)
    TRestr one;
    one.IPar[3] = 24;
    one.IPar[2] = 2;
    one.ComputeActualValues(h);
    EXPECT_EQ(one.ActualS[4], 0.0); // 1e-7 is stored as exactly 0
    one.IPar[2] = 1;
    one.ComputeActualValues(h);
    EXPECT_EQ(one.ActualS[4], 7.0);
}
