// Interchanges, matrix fill, extreme magnitudes, vector fill and integer copy.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/kernels/utilities.h"
#include "tests/lpsolver/dense_reference.h"

using namespace lp;

namespace {

// A 4 x 2 matrix whose row i holds (i, 10*i), with leading dimension 5 (row 5 is padding).
std::vector<double> numberedRows() {
    std::vector<double> a(10, -1.0);
    for (int i = 1; i <= 4; ++i) {
        a[i - 1] = i;
        a[5 + i - 1] = 10.0 * i;
    }
    return a;
}

std::vector<double> column(const std::vector<double>& a, int j, int m, int ld) {
    return {a.begin() + (j - 1) * ld, a.begin() + (j - 1) * ld + m};
}

} // namespace

TEST(Interchanges, LeftInBothOrders) {
    const int perm[] = {2, 3, 4};
    std::vector<double> a = numberedRows();
    KPERM(Side::Left, Trans::No, 1, 3, perm, 2, a.data(), 5);
    EXPECT_EQ(column(a, 1, 4, 5), (std::vector<double>{2, 3, 4, 1}));
    EXPECT_EQ(column(a, 2, 4, 5), (std::vector<double>{20, 30, 40, 10}));
    EXPECT_EQ(a[4], -1.0);

    a = numberedRows();
    KPERM(Side::Left, Trans::Yes, 1, 3, perm, 2, a.data(), 5);
    EXPECT_EQ(column(a, 1, 4, 5), (std::vector<double>{4, 1, 2, 3}));

    // A sub-range of the interchanges.
    a = numberedRows();
    KPERM(Side::Left, Trans::No, 2, 3, perm, 2, a.data(), 5);
    EXPECT_EQ(column(a, 1, 4, 5), (std::vector<double>{1, 3, 4, 2}));
}

TEST(Interchanges, RightSideAndTransposeUndoes) {
    // Columns numbered 1..4 in a 2 x 4 matrix.
    std::vector<double> a(8);
    for (int j = 1; j <= 4; ++j) {
        a[(j - 1) * 2] = j;
        a[(j - 1) * 2 + 1] = -j;
    }
    const int perm[] = {4, 3, 3, 4};
    KPERM(Side::Right, Trans::No, 1, 4, perm, 2, a.data(), 2);
    // (1 4): 4 2 3 1; (2 3): 4 3 2 1; (3 3), (4 4): unchanged.
    EXPECT_EQ((std::vector<double>{a[0], a[2], a[4], a[6]}), (std::vector<double>{4, 3, 2, 1}));
    EXPECT_EQ(a[1], -4.0);

    lptest::Random rnd(41);
    const int n = 9;
    std::vector<int> p(n);
    for (int k = 1; k <= n; ++k) p[k - 1] = rnd.integer(k, n);
    std::vector<double> b(n * 3);
    for (double& v : b) v = rnd.uniform();
    const std::vector<double> orig = b;
    KPERM(Side::Left, Trans::No, 1, n, p.data(), 3, b.data(), n);
    KPERM(Side::Left, Trans::Yes, 1, n, p.data(), 3, b.data(), n);
    EXPECT_EQ(b, orig);
}

TEST(SetMatrix, OffDiagonalAndDiagonal) {
    std::vector<double> a(5 * 4, 42.0);
    KSETM(3, 4, -2.0, 7.0, a.data(), 5);
    for (int j = 1; j <= 4; ++j) {
        for (int i = 1; i <= 5; ++i) {
            const double v = a[(i - 1) + (j - 1) * 5];
            if (i > 3) {
                EXPECT_EQ(v, 42.0);
            } else {
                EXPECT_EQ(v, i == j ? 7.0 : -2.0);
            }
        }
    }
}

TEST(ExtremeMagnitudes, LargestAndSmallest) {
    const double x[] = {-3.0, 99.0, 0.5, 99.0, -7.0, 99.0};
    MinMax mm = KMNMX(3, x, 2); // -3, 0.5, -7
    EXPECT_EQ(mm.max, 7.0);
    EXPECT_EQ(mm.min, 0.5);
    mm = KMNMX(3, x, -2);
    EXPECT_EQ(mm.max, 7.0);
    EXPECT_EQ(mm.min, 0.5);
    mm = KMNMX(0, x, 1);
    EXPECT_EQ(mm.max, 0.0);
    EXPECT_EQ(mm.min, 0.0);
    mm = KMNMX(-2, x, 1);
    EXPECT_EQ(mm.max, 0.0);
}

TEST(Fill, StridedAndExactZeros) {
    std::vector<double> x(7, 1.0);
    KFILL(4, -0.0, x.data(), 2);
    for (int i = 0; i < 7; ++i) {
        if (i % 2 == 0) {
            EXPECT_EQ(x[i], 0.0);
            EXPECT_FALSE(std::signbit(x[i])) << i;
        } else {
            EXPECT_EQ(x[i], 1.0);
        }
    }
    KFILL(3, 2.5, x.data(), -3);
    EXPECT_EQ(x[0], 2.5);
    EXPECT_EQ(x[3], 2.5);
    EXPECT_EQ(x[6], 2.5);
    EXPECT_EQ(x[1], 1.0);
}

TEST(IntegerCopy, IncrementsOfEitherSign) {
    const int x[] = {1, 2, 3, 4, 5, 6};
    std::vector<int> y(3, 0);
    KICOPY(3, x, 1, y.data(), -1);
    EXPECT_EQ(y, (std::vector<int>{3, 2, 1}));
    KICOPY(3, x, 2, y.data(), 1);
    EXPECT_EQ(y, (std::vector<int>{1, 3, 5}));
    KICOPY(3, x, -2, y.data(), 1);
    EXPECT_EQ(y, (std::vector<int>{5, 3, 1}));
    std::vector<int> z(6, 0);
    KICOPY(3, x, -1, z.data(), -2);
    EXPECT_EQ(z, (std::vector<int>{1, 0, 2, 0, 3, 0}));
    KICOPY(0, x, 1, z.data(), 1);
    EXPECT_EQ(z[0], 1);
}
