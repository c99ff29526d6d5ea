// Axis scaling and curve tracing: the documented scalings, ranges that once never ended, and
// the clipping of traced curves to the pixel band.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "graphics/axis.h"
#include "graphics/trace.h"

using graphics::PixelPoint;
using graphics::TAxis;
using graphics::traceCurve;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ScaleCase {
    const char* what;
    bool angle, includeZero;
    int n;
    double min, max;
    double major, minor, axisMin, axisMax;
};

TEST(Axis, RoundStepsAndEnds) {
    const ScaleCase cases[] = {
        {"x axis 600 px, cw 6", true, false, 600 / 60, 0, 360, 45, 5, 0, 360},
        {"y 0.013 .. 0.87", false, false, 5, 0.013, 0.87, 0.2, 0.02, 0, 0.88},
        {"include zero 5 .. 7", false, true, 5, 5, 7, 2, 0.2, 0, 7},
        {"negative lower end", false, false, 5, -0.37, 0.12, 0.1, 0.02, -0.38, 0.12},
        {"narrow range: ends on major ticks", false, false, 1, 0.53, 0.59, 0.1, 0.02, 0.5, 0.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TAxis a;
        a.angleAxis = c.angle;
        a.includeZero = c.includeZero;
        a.SetBorder(0, 600);
        a.SetMinMax(c.n, c.min, c.max);
        EXPECT_NEAR(a.majorStep, c.major, 1e-12 * c.major);
        EXPECT_NEAR(a.minorStep, c.minor, 1e-12 * c.minor);
        EXPECT_NEAR(a.min, c.axisMin, 1e-12);
        EXPECT_NEAR(a.max, c.axisMax, 1e-12);
        EXPECT_LE(a.min, c.includeZero ? 0.0 : c.min);
        EXPECT_GE(a.max, c.max);
        EXPECT_EQ(a.Scale(a.min), 0);
        EXPECT_EQ(a.Scale(a.max), 600);
    }
    TAxis x;
    x.angleAxis = true;
    x.SetMinMax(10, 0, 360);
    EXPECT_DOUBLE_EQ(x.firstMajor, 0.0);
    EXPECT_EQ(std::lround((x.max - x.firstMajor) / x.majorStep) + 1, 9); // 0, 45, ..., 360
}

// Ranges on which the scaling used to loop (1e-20 added to 1e5 changes nothing) or fail.
TEST(Axis, DegenerateAndNonFiniteRangesEnd) {
    const struct {
        double min, max;
        bool finiteInput;
    } cases[] = {{1e5, 1e5, true}, {0, 0, true},           {-3e12, -3e12, true},
                 {7, 2, true},     {1e-310, 1e-310, true}, {kNaN, 1, false},
                 {0, kInf, false}, {-kInf, kInf, false},   {-1e308, 1e308, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << " .. " << c.max);
        TAxis a;
        a.SetBorder(500, 0);
        a.SetMinMax(5, c.min, c.max);
        ASSERT_TRUE(std::isfinite(a.min) && std::isfinite(a.max));
        EXPECT_LT(a.min, a.max);
        EXPECT_GT(a.minorStep, 0.0);
        EXPECT_LT((a.max - a.min) / a.minorStep, 1000.0);
        if (c.finiteInput) {
            EXPECT_LE(a.min, c.min);
            EXPECT_GE(a.max, c.min);
        } else {
            EXPECT_DOUBLE_EQ(a.min, -1.0);
            EXPECT_DOUBLE_EQ(a.max, 1.0);
        }
    }
}

TEST(Axis, ScaleHoldsFailingArithmetic) {
    TAxis a;
    a.SetBorder(100, 700);
    a.SetMinMax(10, 0, 360);
    EXPECT_EQ(a.Scale(180), 400);
    EXPECT_DOUBLE_EQ(a.UnScale(a.Scale(90)), 90.0);
    EXPECT_EQ(a.Scale(kNaN), 0);
    EXPECT_EQ(a.Scale(kInf), 1000000);
    EXPECT_EQ(a.Scale(-1e300), -1000000);
}

// x: 0 .. 100 degrees on pixels 0 .. 100; y: 0 .. 10 on rows 100 (bottom) .. 0 (top).
struct TraceTest : testing::Test {
    TAxis x, y;
    void SetUp() override {
        x.endsMode = y.endsMode = 0;
        x.SetBorder(0, 100);
        x.SetMinMax(10, 0, 100);
        y.SetBorder(100, 0);
        y.SetMinMax(10, 0, 10);
    }
};

TEST_F(TraceTest, LeavingTheBandEndsAtTheInterpolatedCrossing) {
    // f = phi/5 leaves the top row at phi = 50; with step 3 the points are 48 and 51.
    const auto lines = traceCurve([](double phi) { return phi / 5; }, x, y, 3);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].front(), (PixelPoint{0, 100}));
    EXPECT_EQ(lines[0].back(), (PixelPoint{50, 0}));
}

TEST_F(TraceTest, ReEntryStartsANewPolyline) {
    const auto lines =
        traceCurve([](double phi) { return phi < 50 || phi >= 60 ? 5.0 : 50.0; }, x, y, 1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].back(), (PixelPoint{49, 0}));
    EXPECT_EQ(lines[1].front(), (PixelPoint{60, 0}));
    EXPECT_EQ(lines[1].back(), (PixelPoint{100, 50}));
}

TEST_F(TraceTest, JumpAcrossTheWholeBandIsDrawnBetweenTheCrossings) {
    const auto lines = traceCurve([](double phi) { return phi < 50 ? 30.0 : -20.0; }, x, y, 10);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (graphics::Polyline{{44, 0}, {46, 100}}));
}

TEST_F(TraceTest, NotANumberBreaksTheCurveInsteadOfDrawingToRowZero) {
    for (double bad : {kNaN, kInf, 1e308}) {
        SCOPED_TRACE(bad);
        const auto lines =
            traceCurve([bad](double phi) { return phi >= 40 && phi <= 45 ? bad : 5.0; }, x, y, 1);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].back(), (PixelPoint{39, 50}));
        EXPECT_EQ(lines[1].front(), (PixelPoint{46, 50}));
    }
}

TEST_F(TraceTest, LastStepEndsExactlyAtTheAxisEnd) {
    double last = -1;
    int calls = 0;
    traceCurve(
        [&](double phi) {
            ++calls;
            last = phi;
            return 1.0;
        },
        x, y, 7);
    EXPECT_EQ(calls, 16); // 0, 7, ..., 98, 100
    EXPECT_EQ(last, 100.0);
}

// A step below the resolution of phi used to spin forever; a tiny one to run for hours.
TEST_F(TraceTest, VanishingOrTinyStepsEnd) {
    TAxis far;
    far.SetBorder(0, 100);
    far.SetMinMax(10, 1e20, 2e20);
    int calls = 0;
    traceCurve(
        [&](double) {
            ++calls;
            return 1.0;
        },
        far, y, 1e-3);
    EXPECT_EQ(calls, 1);
    calls = 0;
    const auto lines = traceCurve(
        [&](double) {
            ++calls;
            return 1.0;
        },
        x, y, 1e-9, 5000);
    EXPECT_EQ(calls, 5000);
    EXPECT_LE(lines.size(), 1u);
}

} // namespace
