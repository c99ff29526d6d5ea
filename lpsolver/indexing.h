// 1-based element access on plain contiguous storage: matrices by columns with a leading
// dimension, vectors with an increment (a negative increment walks the vector backwards, its
// first element being at the far end, as in BLAS).
#pragma once

#include <cstddef>

namespace lp {

// Offset of element (i, j) of a column-major matrix with leading dimension ld.
inline std::ptrdiff_t mIdx(int ld, int i, int j) {
    return static_cast<std::ptrdiff_t>(i - 1) + static_cast<std::ptrdiff_t>(j - 1) * ld;
}

inline double& at(double* a, int ld, int i, int j) {
    return a[mIdx(ld, i, j)];
}
inline const double& at(const double* a, int ld, int i, int j) {
    return a[mIdx(ld, i, j)];
}

// Offset of element i of a vector of length n stored with increment inc.
inline std::ptrdiff_t vIdx(int n, int inc, int i) {
    return static_cast<std::ptrdiff_t>(inc >= 0 ? i - 1 : i - n) * inc;
}

} // namespace lp
