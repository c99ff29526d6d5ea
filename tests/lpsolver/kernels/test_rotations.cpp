// Plane rotations: generation from a tangent and from a pair, sequences that reduce a vector,
// application to matrices, and the triangular/Hessenberg conversions, each checked against
// explicit 2 x 2 rotation matrices multiplied out densely.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/kernels/rotations.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/dense_reference.h"

using namespace lp;
using lptest::Dense;

namespace {

constexpr double kTol = 1e-14;

// Dense product of the rotations of planes k1..k2-1 in the order they act on a vector from the
// left: forwards P_{k2-1}...P_k1, backwards P_k1...P_{k2-1}.
Dense sequenceMatrix(int n, int k1, int k2, const std::vector<double>& c,
                     const std::vector<double>& s, bool forwards) {
    Dense p = lptest::identity(n);
    if (forwards) {
        for (int k = k1; k < k2; ++k)
            p = lptest::multiply(lptest::rotation(n, k, c[k - 1], s[k - 1]), p);
    } else {
        for (int k = k2 - 1; k >= k1; --k)
            p = lptest::multiply(lptest::rotation(n, k, c[k - 1], s[k - 1]), p);
    }
    return p;
}

void randomRotations(lptest::Random& rnd, int count, std::vector<double>& c,
                     std::vector<double>& s) {
    c.resize(count);
    s.resize(count);
    for (int k = 0; k < count; ++k) {
        const double angle = rnd.uniform(-3.14159, 3.14159);
        c[k] = std::cos(angle);
        s[k] = std::sin(angle);
    }
}

std::vector<double> randomMatrix(lptest::Random& rnd, int ld, int n) {
    std::vector<double> a(static_cast<std::size_t>(ld) * n);
    for (double& x : a) x = rnd.uniform();
    return a;
}

} // namespace

TEST(RotationFromTangent, EdgeValues) {
    const Rotation zero = KROTT(0.0);
    EXPECT_EQ(zero.c, 1.0);
    EXPECT_EQ(zero.s, 0.0);

    const Rotation big = KROTT(1.0E+10);
    EXPECT_DOUBLE_EQ(big.c, 1.0E-10);
    EXPECT_EQ(big.s, 1.0);
    const Rotation bigNeg = KROTT(-1.0E+10);
    EXPECT_DOUBLE_EQ(bigNeg.c, 1.0E-10);
    EXPECT_EQ(bigNeg.s, -1.0);

    // Below sqrt(eps) the cosine is taken as exactly 1 and the sine as the tangent.
    const double small = 0.5 * std::sqrt(kEps);
    const Rotation tiny = KROTT(small);
    EXPECT_EQ(tiny.c, 1.0);
    EXPECT_EQ(tiny.s, small);

    const Rotation one = KROTT(1.0);
    EXPECT_NEAR(one.c, std::sqrt(0.5), kTol);
    EXPECT_NEAR(one.s, std::sqrt(0.5), kTol);
}

TEST(RotationFromTangent, IsARotationWithThatTangent) {
    for (double t : {-1.0e7, -250.0, -3.0, -0.4, 1.0e-7, 0.75, 12.0, 9.0e7}) {
        const Rotation r = KROTT(t);
        EXPECT_GT(r.c, 0.0) << t;
        EXPECT_NEAR(r.c * r.c + r.s * r.s, 1.0, kTol) << t;
        EXPECT_NEAR(r.s / r.c, t, 1e-14 * std::fabs(t)) << t;
    }
}

TEST(RotationGenerate, AnnihilatesBAgainstA) {
    lptest::Random rnd(11);
    for (int trial = 0; trial < 200; ++trial) {
        const double a0 = rnd.uniform() * std::pow(10.0, rnd.integer(-5, 5));
        const double b0 = rnd.uniform() * std::pow(10.0, rnd.integer(-5, 5));
        double a = a0;
        double b = b0;
        const Rotation r = KROTG(a, b);
        const double scale = std::hypot(a0, b0);
        EXPECT_NEAR(-r.s * a0 + r.c * b0, 0.0, 4e-16 * scale);
        EXPECT_NEAR(a, std::copysign(scale, a0), 4e-16 * scale);
        EXPECT_NEAR(b, b0 / a0, 1e-15 * std::fabs(b0 / a0));
        EXPECT_NEAR(r.c * r.c + r.s * r.s, 1.0, kTol);
    }
}

TEST(RotationGenerate, ZeroBIsTheIdentityAndZeroAGivesAQuarterTurn) {
    double a = -2.5;
    double b = 0.0;
    const Rotation id = KROTG(a, b);
    EXPECT_EQ(id.c, 1.0);
    EXPECT_EQ(id.s, 0.0);
    EXPECT_EQ(a, -2.5);
    EXPECT_EQ(b, 0.0);

    a = 0.0;
    b = -3.0;
    const Rotation quarter = KROTG(a, b);
    EXPECT_EQ(a, 3.0);
    EXPECT_EQ(quarter.s, -1.0);
    EXPECT_LT(quarter.c, 1e-300);
    EXPECT_EQ(b, -kHuge); // the tangent, by the safe quotient
}

// The sequence reduces (x, alpha) forwards or (alpha, x) backwards to a multiple of a unit
// vector, for contiguous, strided and backwards-walking storage.
TEST(RotationSequence, ReducesAVectorToAUnitMultiple) {
    lptest::Random rnd(12);
    for (bool forwards : {true, false}) {
        for (int n : {1, 2, 5, 17}) {
            for (int inc : {1, 3, -1, -2}) {
                std::vector<double> orig(n);
                for (double& v : orig) v = rnd.uniform();
                if (n > 3) orig[1] = 0.0; // a zero on the way gives an identity rotation
                const double alpha0 = rnd.uniform();
                std::vector<double> x(static_cast<std::size_t>(n) * std::abs(inc), 99.0);
                for (int i = 1; i <= n; ++i) x[lptest::stridedOffset(n, inc, i)] = orig[i - 1];
                std::vector<double> c(n), s(n);
                double alpha = alpha0;
                KROTSQ(forwards ? Direct::Forwards : Direct::Backwards, n, alpha, x.data(), inc,
                       c.data(), s.data());

                // Full vector in its plane positions.
                Dense v(n + 1, 1);
                long double norm2 = alpha0 * static_cast<long double>(alpha0);
                for (int i = 1; i <= n; ++i) {
                    v(forwards ? i : i + 1, 1) = orig[i - 1];
                    norm2 += orig[i - 1] * static_cast<long double>(orig[i - 1]);
                }
                v(forwards ? n + 1 : 1, 1) = alpha0;
                const Dense p = sequenceMatrix(n + 1, 1, n + 1, c, s, forwards);
                const Dense r = lptest::multiply(p, v);
                const int keep = forwards ? n + 1 : 1;
                for (int i = 1; i <= n + 1; ++i) {
                    if (i == keep) {
                        EXPECT_NEAR(static_cast<double>(r(i, 1)), alpha, kTol);
                    } else {
                        EXPECT_NEAR(static_cast<double>(r(i, 1)), 0.0, kTol)
                            << "n=" << n << " inc=" << inc << " i=" << i;
                    }
                }
                EXPECT_NEAR(std::fabs(alpha), std::sqrt(static_cast<double>(norm2)), kTol);
                for (int k = 1; k <= n; ++k) {
                    EXPECT_NEAR(c[k - 1] * c[k - 1] + s[k - 1] * s[k - 1], 1.0, kTol);
                    // x(k) holds the tangent of rotation k.
                    const double t = x[lptest::stridedOffset(n, inc, k)];
                    EXPECT_NEAR(t * c[k - 1], s[k - 1], kTol);
                }
            }
        }
    }
}

TEST(RotationSequence, EmptySequenceLeavesAlpha) {
    double alpha = 4.0;
    double x = 7.0;
    double c = -1.0, s = -1.0;
    KROTSQ(Direct::Forwards, 0, alpha, &x, 1, &c, &s);
    EXPECT_EQ(alpha, 4.0);
    EXPECT_EQ(x, 7.0);
    EXPECT_EQ(c, -1.0);
}

TEST(RotationApply, AllSidesAndDirectionsMatchDenseProducts) {
    lptest::Random rnd(13);
    const int m = 7, n = 6, lda = 9;
    for (Side side : {Side::Left, Side::Right}) {
        for (Direct direct : {Direct::Forwards, Direct::Backwards}) {
            const int dim = side == Side::Left ? m : n;
            for (int k1 = 1; k1 < dim; ++k1) {
                for (int k2 = k1 + 1; k2 <= dim; ++k2) {
                    std::vector<double> a = randomMatrix(rnd, lda, n);
                    std::vector<double> c, s;
                    randomRotations(rnd, dim, c, s);
                    if (k2 - k1 > 1) {
                        c[k1] = 1.0; // an identity rotation in the middle
                        s[k1] = 0.0;
                    }
                    const Dense before = lptest::fromStorage(a.data(), lda, m, n);
                    const std::vector<double> padding(a.begin(), a.end());
                    KROTAP(side, direct, m, n, k1, k2, c.data(), s.data(), a.data(), lda);

                    const bool fw = direct == Direct::Forwards;
                    const Dense p = sequenceMatrix(dim, k1, k2, c, s, fw);
                    const Dense want = side == Side::Left
                                           ? lptest::multiply(p, before)
                                           : lptest::multiply(before, lptest::transpose(p));
                    EXPECT_LT(lptest::maxAbsDiff(lptest::fromStorage(a.data(), lda, m, n), want),
                              1e-14);
                    // Rows m+1..lda of each column are outside the matrix.
                    for (int j = 0; j < n; ++j)
                        for (int i = m; i < lda; ++i)
                            EXPECT_EQ(a[i + j * lda], padding[i + j * lda]);
                }
            }
        }
    }
}

TEST(RotationApply, NothingHappensForAnEmptyRangeOrTooSmallADimension) {
    lptest::Random rnd(14);
    std::vector<double> a = randomMatrix(rnd, 4, 4);
    const std::vector<double> orig = a;
    std::vector<double> c(5, 0.6), s(5, 0.8);
    KROTAP(Side::Left, Direct::Forwards, 4, 4, 3, 3, c.data(), s.data(), a.data(), 4);
    KROTAP(Side::Left, Direct::Forwards, 4, 4, 3, 2, c.data(), s.data(), a.data(), 4);
    KROTAP(Side::Left, Direct::Backwards, 4, 4, 1, 5, c.data(), s.data(), a.data(), 4);
    KROTAP(Side::Right, Direct::Forwards, 4, 3, 1, 4, c.data(), s.data(), a.data(), 4);
    EXPECT_EQ(a, orig);
}

// Removing the band of sub-diagonal elements of an upper Hessenberg matrix.
TEST(TriangleRestore, LeftAndRightGiveTriangularFactorsOfTheHessenbergMatrix) {
    lptest::Random rnd(15);
    const int n = 8, lda = 10;
    for (Side side : {Side::Left, Side::Right}) {
        for (int k1 = 1; k1 < n; ++k1) {
            for (int k2 = k1 + 1; k2 <= n; ++k2) {
                std::vector<double> a = randomMatrix(rnd, lda, n);
                for (int j = 1; j <= n; ++j)
                    for (int i = j + 1; i <= n; ++i) {
                        const bool band = i == j + 1 && j >= k1 && j < k2;
                        if (!band) a[(i - 1) + (j - 1) * lda] = 0.0;
                    }
                const Dense h = lptest::fromStorage(a.data(), lda, n, n);
                std::vector<double> c(n, 9.0), s(n, 9.0);
                KTRIRS(side, n, k1, k2, c.data(), s.data(), a.data(), lda);
                const Dense r = lptest::fromStorage(a.data(), lda, n, n);
                for (int j = 1; j <= n; ++j)
                    for (int i = j + 1; i <= n; ++i) EXPECT_EQ(r(i, j), 0.0L);
                // Left: R = P_{k2-1}...P_k1 * H; right: R = H * P_{k2-1}' ... P_k1'.
                const Dense want =
                    side == Side::Left
                        ? lptest::multiply(sequenceMatrix(n, k1, k2, c, s, true), h)
                        : lptest::multiply(
                              h, lptest::transpose(sequenceMatrix(n, k1, k2, c, s, false)));
                EXPECT_LT(lptest::maxAbsDiff(r, want), 1e-14);
                for (int k = k1; k < k2; ++k)
                    EXPECT_NEAR(c[k - 1] * c[k - 1] + s[k - 1] * s[k - 1], 1.0, kTol);
                EXPECT_EQ(c[k2 - 1], 9.0); // untouched outside the planes
            }
        }
    }
}

TEST(HessenbergFromTriangle, MatchesDenseProductAndKeepsTheShape) {
    lptest::Random rnd(16);
    const int n = 7, lda = 7;
    for (Side side : {Side::Left, Side::Right}) {
        for (int k1 = 1; k1 < n; ++k1) {
            for (int k2 = k1 + 1; k2 <= n; ++k2) {
                std::vector<double> a = randomMatrix(rnd, lda, n);
                for (int j = 1; j <= n; ++j)
                    for (int i = j + 1; i <= n; ++i) a[(i - 1) + (j - 1) * lda] = 0.0;
                const Dense r = lptest::fromStorage(a.data(), lda, n, n);
                std::vector<double> c, s;
                randomRotations(rnd, n, c, s);
                KHESSN(side, n, k1, k2, c.data(), s.data(), a.data(), lda);
                const Dense h = lptest::fromStorage(a.data(), lda, n, n);
                // Left: P_k1...P_{k2-1} * R (P_{k2-1} first); right: R * P_k1' ... P_{k2-1}'.
                const Dense want =
                    side == Side::Left
                        ? lptest::multiply(sequenceMatrix(n, k1, k2, c, s, false), r)
                        : lptest::multiply(
                              r, lptest::transpose(sequenceMatrix(n, k1, k2, c, s, true)));
                EXPECT_LT(lptest::maxAbsDiff(h, want), 1e-14);
                for (int j = 1; j <= n; ++j)
                    for (int i = j + 2; i <= n; ++i) EXPECT_EQ(h(i, j), 0.0L);
                for (int j = 1; j < n; ++j) {
                    if (j < k1 || j >= k2) {
                        EXPECT_EQ(h(j + 1, j), 0.0L);
                    }
                }
            }
        }
    }
}

// Triangle -> Hessenberg -> triangle returns the triangle up to the signs of its rows (left) or
// columns (right), the triangular factor of a matrix being unique up to those signs.
TEST(HessenbergFromTriangle, RoundTripThroughTriangleRestore) {
    lptest::Random rnd(17);
    for (int n : {2, 3, 9, 20}) {
        for (Side side : {Side::Left, Side::Right}) {
            const int lda = n + 1;
            std::vector<double> a = randomMatrix(rnd, lda, n);
            for (int j = 1; j <= n; ++j)
                for (int i = j + 1; i <= n; ++i) a[(i - 1) + (j - 1) * lda] = 0.0;
            const Dense r = lptest::fromStorage(a.data(), lda, n, n);
            std::vector<double> c, s;
            randomRotations(rnd, n, c, s);
            KHESSN(side, n, 1, n, c.data(), s.data(), a.data(), lda);
            std::vector<double> c2(n), s2(n);
            KTRIRS(side, n, 1, n, c2.data(), s2.data(), a.data(), lda);
            const Dense back = lptest::fromStorage(a.data(), lda, n, n);
            for (int k = 1; k <= n; ++k) {
                // Sign of row k (left) or column k (right) taken from the diagonal.
                const long double sign = (back(k, k) < 0) == (r(k, k) < 0) ? 1.0L : -1.0L;
                for (int l = 1; l <= n; ++l) {
                    const long double got = side == Side::Left ? back(k, l) : back(l, k);
                    const long double want = side == Side::Left ? r(k, l) : r(l, k);
                    EXPECT_NEAR(static_cast<double>(got), static_cast<double>(sign * want), 1e-13)
                        << "n=" << n << " k=" << k << " l=" << l;
                }
            }
        }
    }
}
