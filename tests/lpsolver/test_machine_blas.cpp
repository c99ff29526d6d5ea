// Machine constants and the BLAS layer's conventions.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/blas.h"
#include "lpsolver/machine.h"

using namespace lp;

TEST(MachineConstants, EpsFromItsBitPattern) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &kEps, sizeof bits);
    EXPECT_EQ(bits, 0x3CA0040000000020u);
    EXPECT_NEAR(kEps, 1.11130722679765E-16, 1e-29);
    EXPECT_GT(kEps, std::ldexp(1.0, -53));
    EXPECT_LT(kEps, std::ldexp(1.0, -52));
}

TEST(MachineConstants, TableValues) {
    const MachineConstants& m = machine();
    EXPECT_EQ(m.base, 2);
    EXPECT_EQ(m.digits, 53);
    EXPECT_EQ(m.eps, kEps);
    EXPECT_EQ(m.tiny, 2.57466740049304E-308);
    EXPECT_EQ(m.huge, 1.0 / 2.57466740049304E-308);
    EXPECT_DOUBLE_EQ(m.rteps * m.rteps, m.eps);
    EXPECT_DOUBLE_EQ(m.rttiny * m.rttiny, m.tiny);
    EXPECT_DOUBLE_EQ(m.rthuge * m.rthuge, m.huge);
    EXPECT_NEAR(std::log(m.eps6) / std::log(m.eps), 0.6, 1e-15);
    EXPECT_NEAR(std::log(m.eps8) / std::log(m.eps), 0.8, 1e-15);
    EXPECT_NEAR(std::log(m.eps9) / std::log(m.eps), 0.9, 1e-15);
    EXPECT_DOUBLE_EQ(m.condlim, 1.0 / std::sqrt(kEps));
    EXPECT_EQ(m.underflow, 0);
    EXPECT_EQ(m.inputUnit, 5);
    EXPECT_EQ(m.advisoryUnit, 6);
    EXPECT_EQ(m.errorUnit, 6);
    EXPECT_EQ(&machine(), &m);
}

TEST(Blas, SingleThreaded) {
    setBlasSingleThreaded();
    EXPECT_EQ(openblas_get_num_threads(), 1);
}

TEST(Blas, IndexOfLargestIsOneBasedAndFirstOnTies) {
    const double x[] = {1.0, -3.0, 3.0, 2.0};
    EXPECT_EQ(IDAMAX(4, x, 1), 2);
    EXPECT_EQ(IDAMAX(2, x, 2), 2); // 1, 3
    EXPECT_EQ(IDAMAX(0, x, 1), 0);
}

TEST(Blas, EmptyProductLeavesScaledY) {
    std::vector<double> y{5.0, 6.0};
    const double a = 0.0;
    DGEMV(Trans::No, 2, 0, 1.0, &a, 2, &a, 1, 0.0, y.data(), 1);
    EXPECT_EQ(y, (std::vector<double>{0.0, 0.0}));
    y = {5.0, 6.0};
    DGEMV(Trans::Yes, 0, 2, 1.0, &a, 1, &a, 1, 2.0, y.data(), 1);
    EXPECT_EQ(y, (std::vector<double>{10.0, 12.0}));
}

TEST(Blas, TriangularSolveWithUpperFactor) {
    // T = [2 1; 0 4] stored with leading dimension 3.
    const double t[] = {2.0, 99.0, 99.0, 1.0, 4.0, 99.0};
    double x[] = {4.0, 8.0};
    DTRSV(Trans::No, 2, t, 3, x, 1); // 2a + b = 4, 4b = 8
    EXPECT_DOUBLE_EQ(x[0], 1.0);
    EXPECT_DOUBLE_EQ(x[1], 2.0);
    double y[] = {2.0, 9.0};
    DTRSV(Trans::Yes, 2, t, 3, y, 1); // 2a = 2, a + 4b = 9
    EXPECT_DOUBLE_EQ(y[0], 1.0);
    EXPECT_DOUBLE_EQ(y[1], 2.0);
}
