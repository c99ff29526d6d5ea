// The linear program of one level: grids, their matching, rows of every kind, limits.
#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "calc/msinp.h"
#include "calc/msmod.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

namespace {

std::vector<double> values(const EtaGrid& g) {
    return std::vector<double>(g.eta.begin() + 1, g.eta.begin() + 1 + g.n);
}

// A validated run input from records (through the real reader and checks).
class ModelTest : public InScratchDir {
protected:
    RunInput load(const Records& rs) {
        writeFile("m.kq4", recordText(rs));
        std::ostringstream out;
        OutputStream listing(out);
        RunInput in;
        EXPECT_EQ(MSINP("m.kq4", listing, in), ResultCode::Normal) << out.str();
        return in;
    }
    ResultCode build(const RunInput& in, double beta, LPProgram& lp) {
        listingText.str("");
        OutputStream listing(listingText);
        return MSMOD(in, in.records, beta, lp, listing);
    }
    std::ostringstream listingText;
};

// s^(p)(phi) of one object, written out independently of the row builder.
double sDerivative(const std::vector<double>& x, int first, int np, int nh, double phi, int p) {
    const double t = phi * M_PI / 180.0;
    int v = first;
    double c2 = 0, c1 = 0;
    if (np == 2) c2 = x[static_cast<std::size_t>(v++)];
    if (np >= 1) c1 = x[static_cast<std::size_t>(v++)];
    const double a0 = x[static_cast<std::size_t>(v)] - x[static_cast<std::size_t>(v + 1)];
    v += 2;
    double s = p == 0 ? c2 * t * t / 2 + c1 * t + a0 : p == 1 ? c2 * t + c1 : p == 2 ? c2 : 0.0;
    for (int k = 1; k <= nh; ++k, v += 4) {
        const double a = x[static_cast<std::size_t>(v)] - x[static_cast<std::size_t>(v + 1)];
        const double b = x[static_cast<std::size_t>(v + 2)] - x[static_cast<std::size_t>(v + 3)];
        // d^p/dt^p of cos(kt) and sin(kt).
        const double kp = std::pow(k, p);
        const double c = std::cos(k * t + p * M_PI / 2), sn = std::sin(k * t + p * M_PI / 2);
        s += kp * (a * c + b * sn);
    }
    return s;
}

double rowTimes(LPProgram& lp, int row, const std::vector<double>& x) {
    double v = 0.0;
    for (int j = 1; j <= lp.nvar; ++j) v += lp.a(row, j) * x[static_cast<std::size_t>(j - 1)];
    return v;
}

} // namespace

TEST(EtaGridTest, NineValuesWithTheStepChangeAtOneOverNh) {
    EtaGrid g;
    ASSERT_EQ(BERETA(g, 0.0, 0.6, 0.0, 0.3, 2), ResultCode::Normal);
    const auto v = values(g);
    ASSERT_EQ(v.size(), 9u) << ::testing::PrintToString(v);
    const double expect[] = {0, 0.3, 0.35, 0.4, 0.45, 0.5, 0.55, 0.575, 0.6};
    for (std::size_t i = 0; i < 9; ++i) EXPECT_NEAR(v[i], expect[i], 1e-12) << i;
    EXPECT_LT(v[5], 0.5); // the fifth sum lies just below 1/nh
    EXPECT_EQ(v[8], 0.6);
}

TEST(EtaGridTest, EmptySingleAndLowerPart) {
    EtaGrid g;
    ASSERT_EQ(BERETA(g, 0.0, 0.0, 0.0, 0.0, 5), ResultCode::Normal);
    EXPECT_EQ(g.n, 0);
    ASSERT_EQ(BERETA(g, 0.2, 0.8, 0.2, 0.8, 0), ResultCode::Normal);
    EXPECT_EQ(g.n, 0);
    ASSERT_EQ(BERETA(g, 0.5, 0.5, 0.5, 0.5, 3), ResultCode::Normal);
    EXPECT_EQ(values(g), (std::vector<double>{0.5}));
    // Variable eta min: from eta min(beta) = 0.1 up to the constant 0.2, then eta max 0.4.
    ASSERT_EQ(BERETA(g, 0.1, 0.4, 0.2, 0.4, 1), ResultCode::Normal);
    const auto v = values(g);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[1], 0.15, 1e-15);
    EXPECT_EQ(v[2], 0.2);
    EXPECT_EQ(v[3], 0.4);
}

TEST(EtaGridTest, TooManyValues) {
    EtaGrid g;
    EXPECT_EQ(BERETA(g, 0.0, 5.0, 0.0, 0.1, 1), ResultCode::EtaGridTooLong);
    // 48 steps of 0.025 from 0.1 pass 1.29: 50 values fit; 1.31 needs a 51st.
    EXPECT_EQ(BERETA(g, 0.0, 1.29, 0.0, 0.1, 100), ResultCode::Normal);
    EXPECT_EQ(g.n, 2 + 48);
    EXPECT_EQ(g.eta[50], 1.29);
    EXPECT_EQ(BERETA(g, 0.0, 1.31, 0.0, 0.1, 100), ResultCode::EtaGridTooLong);
}

TEST(EtaGridTest, MatchingKeepsTheShorterGridInItsOwnRange) {
    EtaGrid a, b;
    a.n = 3;
    a.eta[1] = 0.2, a.eta[2] = 0.3, a.eta[3] = 0.6;
    b.n = 2;
    b.eta[1] = 0.4, b.eta[2] = 0.8;
    ABETA2(a, b);
    ASSERT_EQ(b.n, 3);
    EXPECT_EQ(b.eta[1], 0.4);
    EXPECT_NEAR(b.eta[2], 0.4 + 0.25 * 0.4, 1e-15);
    EXPECT_NEAR(b.eta[3], 0.8, 1e-15);
    EXPECT_EQ(values(a), (std::vector<double>{0.2, 0.3, 0.6}));
    // An object without grid: eta = 0 at every point (q = s).
    EtaGrid none;
    ABETA2(none, a);
    EXPECT_EQ(values(none), (std::vector<double>{0, 0, 0}));
}

TEST(DynamicFactorsTest, ResonanceAndStaticLimit) {
    const DynamicFactors r = dynamicFactors(2, 0.5, 0.0);
    EXPECT_EQ(r.den, 0.0);
    const DynamicFactors z = dynamicFactors(3, 0.0, 0.2);
    EXPECT_EQ(z.w, 1.0);
    EXPECT_EQ(z.E, 0.0);
    // Independent form: the complex response 1/(1 - h + i g) times (1 + i k theta eta).
    const int k = 3;
    const double eta = 0.21, theta = 0.07;
    const double h = (k * eta) * (k * eta), g = 2 * k * theta * eta;
    const DynamicFactors d = dynamicFactors(k, eta, theta);
    EXPECT_NEAR(d.den, (1 - h) * (1 - h) + g * g, 1e-15);
    EXPECT_NEAR(d.w, ((1 - h) + g * g) / d.den, 1e-15);
    EXPECT_NEAR(d.E, 2 * std::pow(k, 3) * theta * std::pow(eta, 3) / d.den, 1e-15);
}

TEST_F(ModelTest, KinematicRowsEvaluateTheMotionAndItsDerivatives) {
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 4, 0, 0, 2}, {0, 0, 0, 0, 0, 1}));
    for (int p = 0; p <= 3; ++p)
        rs.push_back(makeRecord({1, 0, p, 0, 0, 0, 0}, {0, 37.0 + 50 * p, 0, 0, 0, -1, 0, 1}));
    const RunInput in = load(rs);
    LPProgram lp;
    ASSERT_EQ(build(in, 0.0, lp), ResultCode::Normal);
    ASSERT_EQ(lp.nvar, 2 + 2 + 16);
    ASSERT_EQ(lp.nrows, 4);
    std::vector<double> x(20);
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = std::sin(1.7 * j + 0.3);
    for (int p = 0; p <= 3; ++p)
        EXPECT_NEAR(rowTimes(lp, p + 1, x), sDerivative(x, 0, 2, 4, 37.0 + 50 * p, p), 1e-12) << p;
    // Bounds: polynomial coefficients both ways, the split parts non-negative.
    EXPECT_EQ(lp.bl[0], -1000000.0);
    EXPECT_EQ(lp.bl[1], -1000000.0);
    EXPECT_EQ(lp.bl[2], 0.0);
    EXPECT_EQ(lp.bu[19], 1000000.0);
    EXPECT_EQ(lp.bl[20], -1.0);
    EXPECT_EQ(lp.bu[20], 1.0);
    EXPECT_EQ(lp.rowRecord, (std::vector<int>{3, 4, 5, 6}));
}

TEST_F(ModelTest, IntervalSamplesAndLevels) {
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 10, 0, 0, 0}, {0, 0, 0, 0, 0, 1}));
    rs.push_back(makeRecord({1, 0, 10, 0, 0, 0, 0}, {0, 20, 0, 30, 0, -1, 0, 1}));
    rs.push_back(makeRecord({1, 0, 11, 0, 0, 0, 0}, {0, 50, 0, 50, 0, -1, 0, 1}));
    // Variable end and upper bound: at beta 0.5 the end is 75 and the upper bound 1.5.
    rs.push_back(makeRecord({1, 0, 12, 0, 1, -1, 1}, {0, 60, 90, 60, 0, 0, 1, 2}));
    const RunInput in = load(rs);
    LPProgram lp;
    ASSERT_EQ(build(in, 0.5, lp), ResultCode::Normal);
    // 10 degrees with nh = 10: n = 3, four samples; zero length: two samples; 15 degrees: 5+1.
    ASSERT_EQ(lp.nrows, 4 + 2 + 6);
    std::vector<double> x(static_cast<std::size_t>(lp.nvar));
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = std::cos(0.9 * j);
    const double phis[] = {20, 20 + 10.0 / 3, 20 + 20.0 / 3, 30, 50, 50, 60, 63, 66, 69, 72, 75};
    const int order[] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 2, 2, 2};
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(rowTimes(lp, i + 1, x), sDerivative(x, 0, 0, 10, phis[i], order[i]), 1e-9) << i;
    EXPECT_EQ(lp.bl[static_cast<std::size_t>(lp.nvar + 6)], -1000000.0);
    EXPECT_DOUBLE_EQ(lp.bu[static_cast<std::size_t>(lp.nvar + 6)], 1.5);
}

TEST_F(ModelTest, SpectrumRowsAndUnknownKinds) {
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 3, 0, 0, 0}, {0, 0, 0, 0, 0, 1}));
    rs.push_back(makeRecord({1, 0, 21, 0, 0, 0}, {0, 0, 0, 0, 0, 5}));
    rs.push_back(makeRecord({1, 0, 21, 0, 0, -1}, {0, 0, 0, 0, 0, 5}));
    rs.push_back(makeRecord({1, 2, 24, 0, 0, 0}, {0, 0, 0, 0, 0, 0.5}));
    rs.push_back(makeRecord({1, 0, 30, 0, 0, 0}, {0, 0, 0, 0, 0, 5}));
    const RunInput in = load(rs);
    LPProgram lp;
    ASSERT_EQ(build(in, 0.0, lp), ResultCode::Normal);
    ASSERT_EQ(lp.nrows, 3);
    // Kind 21: sum of k (|a_k| + |b_k|) over the split variables, 0 <= row <= 5.
    for (int k = 1; k <= 3; ++k)
        for (int v = 0; v < 4; ++v) EXPECT_EQ(lp.a(1, 2 + 4 * (k - 1) + v + 1), k);
    EXPECT_EQ(lp.a(1, 1), 0.0);
    EXPECT_EQ(lp.bl[static_cast<std::size_t>(lp.nvar)], 0.0);
    EXPECT_EQ(lp.bu[static_cast<std::size_t>(lp.nvar)], 5.0);
    EXPECT_EQ(lp.bu[static_cast<std::size_t>(lp.nvar + 1)], 1000000.0);
    // Kind 24 on harmonic 2 only.
    for (int j = 1; j <= lp.nvar; ++j) EXPECT_EQ(lp.a(3, j), (j >= 7 && j <= 10) ? 1.0 : 0.0) << j;
}

TEST_F(ModelTest, ResonanceAtHalfTheFrequencyRatioWithoutDamping) {
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 3, 0, 0, 0}, {0, 0.5, 0.0, 0, 0.5, 1}));
    rs.push_back(makeRecord({1, 0, 0, 0, 0, 0, 0}, {0, 10, 0, 0, 0, -1, 0, 1}));
    const RunInput in = load(rs);
    LPProgram lp;
    EXPECT_EQ(build(in, 0.0, lp), ResultCode::Resonance);
    EXPECT_EQ(listingText.str(), " Resonanz ! \n");
}

TEST_F(ModelTest, DynamicRowsFollowTheGrid) {
    // eta 0.2 fixed, theta 0.1: a point restriction gives the kinematic and one dynamic row.
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 2, 0, 0, 1}, {0, 0.2, 0.1, 0, 0.2, 1}));
    rs.push_back(makeRecord({1, 0, 1, 0, 0, 0, 0}, {0, 33, 0, 0, 0, -1, 0, 1}));
    const RunInput in = load(rs);
    LPProgram lp;
    ASSERT_EQ(build(in, 0.0, lp), ResultCode::Normal);
    ASSERT_EQ(lp.nrows, 2);
    EXPECT_DOUBLE_EQ(lp.objects[0].etaMax, 0.2);
    EXPECT_DOUBLE_EQ(lp.objects[0].etaMin, 0.2);
    // The dynamic row is q' at 33 degrees: harmonic k of q is w a + ... as a complex response.
    std::vector<double> x(static_cast<std::size_t>(lp.nvar));
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = 0.1 * (j % 5) + 0.05;
    const double t = 33 * M_PI / 180;
    double q1 = x[0]; // c1
    for (int k = 1; k <= 2; ++k) {
        const std::size_t v = 3 + 4 * static_cast<std::size_t>(k - 1);
        const double a = x[v] - x[v + 1], b = x[v + 2] - x[v + 3];
        const double h = (0.2 * k) * (0.2 * k), g = 2 * k * 0.1 * 0.2;
        const double den = (1 - h) * (1 - h) + g * g;
        const double w = ((1 - h) + g * g) / den, E = 2 * k * k * k * 0.1 * 0.008 / den;
        const double aq = w * a - E * b, bq = w * b + E * a;
        q1 += k * (bq * std::cos(k * t) - aq * std::sin(k * t));
    }
    EXPECT_NEAR(rowTimes(lp, 2, x), q1, 1e-12);
}

TEST_F(ModelTest, RelativeRowsTakeTheDifference) {
    Records rs{makeRecord({0, 0, 2})};
    rs.push_back(makeRecord({0, 1, 2, 0, 0, 1}, {0, 0, 0, 0, 0, 1}));
    rs.push_back(makeRecord({0, 2, 3, 0, 0, 0}, {0, 0, 0, 0, 0, 1}));
    rs.push_back(makeRecord({1, 2, 40, 0, 0, 0, 0}, {0, 77, 0, 0, 0, -1, 0, 1}));
    const RunInput in = load(rs);
    LPProgram lp;
    ASSERT_EQ(build(in, 0.0, lp), ResultCode::Normal);
    ASSERT_EQ(lp.nrows, 1);
    std::vector<double> x(static_cast<std::size_t>(lp.nvar));
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = std::sin(0.3 + j);
    const double diff = sDerivative(x, 0, 1, 2, 77, 0) -
                        sDerivative(x, static_cast<int>(in.object(2).first), 0, 3, 77, 0);
    EXPECT_NEAR(rowTimes(lp, 1, x), diff, 1e-12);
}

TEST_F(ModelTest, TooManyRows) {
    Records rs{makeRecord({0, 0, 1})};
    rs.push_back(makeRecord({0, 1, 30, 0, 0, 0}, {0, 0, 0, 0, 0, 1}));
    // 360 degrees at 1 degree apart: 361 rows each; seven of them exceed 2520.
    for (int i = 0; i < 7; ++i)
        rs.push_back(makeRecord({1, 0, 10, 0, 0, 0, 0}, {0, 0, 0, 360, 0, -1, 0, 1}));
    const RunInput in = load(rs);
    LPProgram lp;
    EXPECT_EQ(build(in, 0.0, lp), ResultCode::TooLarge);
    EXPECT_EQ(listingText.str(), " System zu gross  --->  Abbruch !\n Zu viele Forderungen \n");
}
