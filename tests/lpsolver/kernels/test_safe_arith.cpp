// Guarded division and scaled sums of squares.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/kernels/safe_arith.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/dense_reference.h"

using namespace lp;

TEST(SafeQuotient, DivisionByZero) {
    const Quotient q = KSDIV(1.0, 0.0);
    EXPECT_EQ(q.value, kHuge);
    EXPECT_TRUE(q.overflow);

    const Quotient neg = KSDIV(-3.0, 0.0);
    EXPECT_EQ(neg.value, -kHuge);
    EXPECT_TRUE(neg.overflow);

    const Quotient both = KSDIV(0.0, 0.0);
    EXPECT_EQ(both.value, 0.0);
    EXPECT_TRUE(both.overflow);
}

TEST(SafeQuotient, OrdinaryUnderflowingAndOverflowingQuotients) {
    struct Case {
        double a, b, value;
        bool overflow;
    };
    const Case cases[] = {
        {0.0, 5.0, 0.0, false},
        {6.0, 3.0, 2.0, false},
        {-6.0, 3.0, -2.0, false},
        {1.0, 0.5, 2.0, false},
        {-1.0, -0.25, 4.0, false},
        {1.0e-300, 1.0e10, 0.0, false}, // would underflow: flushed to zero
        {1.0e300, 1.0e-10, kHuge, true},
        {-1.0e300, 1.0e-10, -kHuge, true},
        {1.0e300, -1.0e-10, -kHuge, true},
        {-1.0e300, -1.0e-10, kHuge, true},
        {1.0e297, 1.0e-10, 1.0e307, false}, // |b|*huge >= |a|: still representable
    };
    for (const Case& c : cases) {
        const Quotient q = KSDIV(c.a, c.b);
        EXPECT_DOUBLE_EQ(q.value, c.value) << c.a << " / " << c.b;
        EXPECT_EQ(q.overflow, c.overflow) << c.a << " / " << c.b;
    }
}

TEST(ScaledSumOfSquares, MatchesLongDoubleSumForAnyStride) {
    lptest::Random rnd(31);
    for (int inc : {1, 4, -1, -2}) {
        const int n = 23;
        std::vector<double> x(static_cast<std::size_t>(n) * std::abs(inc), 1.0e9);
        long double sum = 0.0L;
        for (int i = 1; i <= n; ++i) {
            const double v = i % 5 == 0 ? 0.0 : rnd.uniform() * std::pow(10.0, rnd.integer(-3, 3));
            x[lptest::stridedOffset(n, inc, i)] = v;
            sum += static_cast<long double>(v) * v;
        }
        double scale = 0.0, sumsq = 1.0;
        KSSQ(n, x.data(), inc, scale, sumsq);
        EXPECT_NEAR(scale * scale * sumsq, static_cast<double>(sum), 1e-14 * sum);
        EXPECT_NEAR(KNORM(scale, sumsq), std::sqrt(static_cast<double>(sum)),
                    1e-14 * std::sqrt(static_cast<double>(sum)));
        // The scale is the largest magnitude seen.
        double big = 0.0;
        for (int i = 1; i <= n; ++i)
            big = std::max(big, std::fabs(x[lptest::stridedOffset(n, inc, i)]));
        EXPECT_EQ(scale, big);
    }
}

TEST(ScaledSumOfSquares, AccumulatesAcrossCallsAndSkipsZeros) {
    double scale = 0.0, sumsq = 1.0;
    const double a[] = {0.0, 3.0};
    const double b[] = {0.0, 4.0, 0.0};
    KSSQ(2, a, 1, scale, sumsq);
    KSSQ(3, b, 1, scale, sumsq);
    EXPECT_DOUBLE_EQ(KNORM(scale, sumsq), 5.0);
    EXPECT_EQ(scale, 4.0);

    double s0 = 0.0, q0 = 1.0;
    const double zeros[] = {0.0, 0.0};
    KSSQ(2, zeros, 1, s0, q0);
    EXPECT_EQ(s0, 0.0);
    EXPECT_EQ(q0, 1.0);
    EXPECT_EQ(KNORM(0.0, 0.0), 0.0);
}

TEST(ScaledSumOfSquares, NoOverflowAndHugeBeyondRange) {
    const double big[] = {3.0e200, 4.0e200};
    double scale = 0.0, sumsq = 1.0;
    KSSQ(2, big, 1, scale, sumsq);
    EXPECT_NEAR(KNORM(scale, sumsq), 5.0e200, 1e186);

    // A norm beyond huge (1/tiny, about 3.9e307) is reported as huge.
    EXPECT_EQ(KNORM(1.0e308, 4.0), kHuge);
    EXPECT_EQ(KNORM(kHuge, 1.0), kHuge);
    EXPECT_LT(KNORM(1.0e307, 1.0), kHuge);
}
