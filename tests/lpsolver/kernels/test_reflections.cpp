// Householder reflections: the documented example, the cases without a reflection, and random
// vectors checked through the explicit matrix P = I - u*u' (orthogonal, maps (alpha, x) onto
// (beta, 0)).
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/kernels/reflections.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/dense_reference.h"

using namespace lp;
using lptest::Dense;

TEST(Reflection, ThreeFourFive) {
    double alpha = 0.0;
    std::vector<double> x{3.0, 4.0};
    double zeta = -1.0;
    KHOUSE(2, alpha, x.data(), 1, 0.0, zeta);
    EXPECT_EQ(zeta, 1.0);
    EXPECT_DOUBLE_EQ(alpha, 5.0);
    EXPECT_DOUBLE_EQ(x[0], -0.6);
    EXPECT_DOUBLE_EQ(x[1], -0.8);
}

TEST(Reflection, CasesWithoutAReflection) {
    double zeta = -1.0;
    double alpha = 2.0;
    std::vector<double> x{5.0};
    KHOUSE(0, alpha, x.data(), 1, 0.0, zeta);
    EXPECT_EQ(zeta, 0.0);
    EXPECT_EQ(alpha, 2.0);
    EXPECT_EQ(x[0], 5.0);

    x = {0.0};
    zeta = -1.0;
    KHOUSE(1, alpha, x.data(), 1, 0.0, zeta);
    EXPECT_EQ(zeta, 0.0);
    EXPECT_EQ(alpha, 2.0);

    // ||x|| within the tolerance.
    x = {3.0e-3, 4.0e-3};
    zeta = -1.0;
    KHOUSE(2, alpha, x.data(), 1, 5.0e-3, zeta);
    EXPECT_EQ(zeta, 0.0);
    EXPECT_EQ(alpha, 2.0);
    EXPECT_EQ(x[0], 3.0e-3);

    // ||x|| negligible against alpha.
    x = {0.5 * kEps, 0.0};
    zeta = -1.0;
    KHOUSE(2, alpha, x.data(), 1, 0.0, zeta);
    EXPECT_EQ(zeta, 0.0);
    EXPECT_EQ(alpha, 2.0);

    // Just above the tolerance a reflection is made.
    x = {3.0e-3, 4.0e-3};
    KHOUSE(2, alpha, x.data(), 1, 4.9e-3, zeta);
    EXPECT_NE(zeta, 0.0);
}

TEST(Reflection, RandomVectorsOrthogonalAndReducing) {
    lptest::Random rnd(21);
    for (int n : {1, 2, 3, 8, 31}) {
        for (int inc : {1, 2, -1, -3}) {
            for (int signCase = 0; signCase < 3; ++signCase) {
                std::vector<double> orig(n);
                for (double& v : orig) v = rnd.uniform() * 10.0;
                const double alpha0 = signCase == 0 ? 0.0 : (signCase == 1 ? 2.5 : -0.75);
                std::vector<double> x(static_cast<std::size_t>(n) * std::abs(inc), 77.0);
                for (int i = 1; i <= n; ++i) x[lptest::stridedOffset(n, inc, i)] = orig[i - 1];
                double alpha = alpha0;
                double zeta = 0.0;
                KHOUSE(n, alpha, x.data(), inc, 0.0, zeta);
                ASSERT_NE(zeta, 0.0);

                // u = (zeta, z) acting on (alpha, x).
                Dense u(n + 1, 1);
                u(1, 1) = zeta;
                for (int i = 1; i <= n; ++i) u(i + 1, 1) = x[lptest::stridedOffset(n, inc, i)];
                Dense p = lptest::identity(n + 1);
                const Dense uut = lptest::multiply(u, lptest::transpose(u));
                for (std::size_t k = 0; k < p.a.size(); ++k) p.a[k] -= uut.a[k];
                EXPECT_LT(lptest::maxAbsDiff(lptest::multiply(lptest::transpose(p), p),
                                             lptest::identity(n + 1)),
                          1e-14);

                Dense v(n + 1, 1);
                v(1, 1) = alpha0;
                long double norm2 = alpha0 * static_cast<long double>(alpha0);
                for (int i = 1; i <= n; ++i) {
                    v(i + 1, 1) = orig[i - 1];
                    norm2 += orig[i - 1] * static_cast<long double>(orig[i - 1]);
                }
                const Dense pv = lptest::multiply(p, v);
                const double norm = std::sqrt(static_cast<double>(norm2));
                EXPECT_NEAR(static_cast<double>(pv(1, 1)), alpha, 1e-14 * norm);
                for (int i = 2; i <= n + 1; ++i)
                    EXPECT_NEAR(static_cast<double>(pv(i, 1)), 0.0, 1e-14 * norm);
                EXPECT_NEAR(std::fabs(alpha), norm, 1e-14 * norm);
                if (alpha0 > 0.0) {
                    EXPECT_LT(alpha, 0.0);
                }
                if (alpha0 <= 0.0) {
                    EXPECT_GT(alpha, 0.0);
                }
            }
        }
    }
}

TEST(Reflection, NoOverflowForLargeEntries) {
    double alpha = 1.0e300;
    std::vector<double> x{1.0e300};
    double zeta = 0.0;
    KHOUSE(1, alpha, x.data(), 1, 0.0, zeta);
    EXPECT_NEAR(alpha, -std::sqrt(2.0) * 1.0e300, 1e286);
    EXPECT_TRUE(std::isfinite(x[0]));
    // zeta^2 + z^2 = 2 for a reflection.
    EXPECT_NEAR(zeta * zeta + x[0] * x[0], 2.0, 1e-15);
}
