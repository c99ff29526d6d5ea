// Independent dense reference computations for the solver tests: small matrices in long double,
// filled from column-major storage, multiplied in naive triple loops. Nothing here calls the
// code under test.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace lptest {

struct Dense {
    int rows = 0;
    int cols = 0;
    std::vector<long double> a;

    Dense() = default;
    Dense(int m, int n) : rows(m), cols(n), a(static_cast<std::size_t>(m) * n, 0.0L) {}

    // 1-based element (i, j).
    long double& operator()(int i, int j) {
        return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * rows];
    }
    long double operator()(int i, int j) const {
        return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * rows];
    }
};

inline Dense identity(int n) {
    Dense d(n, n);
    for (int i = 1; i <= n; ++i) d(i, i) = 1.0L;
    return d;
}

inline Dense multiply(const Dense& x, const Dense& y) {
    Dense r(x.rows, y.cols);
    for (int i = 1; i <= x.rows; ++i)
        for (int j = 1; j <= y.cols; ++j) {
            long double sum = 0.0L;
            for (int k = 1; k <= x.cols; ++k) sum += x(i, k) * y(k, j);
            r(i, j) = sum;
        }
    return r;
}

inline Dense transpose(const Dense& x) {
    Dense r(x.cols, x.rows);
    for (int i = 1; i <= x.rows; ++i)
        for (int j = 1; j <= x.cols; ++j) r(j, i) = x(i, j);
    return r;
}

// The plane rotation of order n in the plane (k, k+1): rows (c, s) and (-s, c).
inline Dense rotation(int n, int k, double c, double s) {
    Dense g = identity(n);
    g(k, k) = c;
    g(k, k + 1) = s;
    g(k + 1, k) = -s;
    g(k + 1, k + 1) = c;
    return g;
}

// Rows 1..m, columns 1..n of a column-major array with leading dimension ld.
inline Dense fromStorage(const double* a, int ld, int m, int n) {
    Dense d(m, n);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j)
            d(i, j) = a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ld];
    return d;
}

inline double maxAbsDiff(const Dense& x, const Dense& y) {
    long double worst = 0.0L;
    for (int i = 1; i <= x.rows; ++i)
        for (int j = 1; j <= x.cols; ++j) worst = std::max(worst, std::fabs(x(i, j) - y(i, j)));
    return static_cast<double>(worst);
}

inline double maxAbs(const Dense& x) {
    long double worst = 0.0L;
    for (long double v : x.a) worst = std::max(worst, std::fabs(v));
    return static_cast<double>(worst);
}

// Fixed-seed random numbers for reproducible tests.
class Random {
public:
    explicit Random(std::uint64_t seed) : gen_(seed) {}
    double uniform(double lo = -1.0, double hi = 1.0) {
        return std::uniform_real_distribution<double>(lo, hi)(gen_);
    }
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
    std::mt19937_64& engine() { return gen_; }

private:
    std::mt19937_64 gen_;
};

// Storage offset of element i (1-based) of a vector of length n with increment inc, the way
// BLAS lays it out: for a negative increment element 1 is at the far end.
inline std::size_t stridedOffset(int n, int inc, int i) {
    return inc > 0 ? static_cast<std::size_t>((i - 1) * inc)
                   : static_cast<std::size_t>((n - i) * -inc);
}

} // namespace lptest
