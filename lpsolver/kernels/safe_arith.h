// Guarded arithmetic: the quotient that reports overflow instead of producing it, and the
// scaled sum of squares behind every norm that must not overflow.
#pragma once

namespace lp {

struct Quotient {
    double value;  // a/b, or huge with the quotient's sign when it would overflow
    bool overflow; // set when the quotient overflowed, or when a = b = 0
};

// Safe quotient a/b. a = 0 gives 0 (flag set only when b = 0 too); b = 0 gives huge with the
// sign of a; a quotient that would underflow gives 0; one that would overflow gives huge with
// its sign and the flag.
[[nodiscard]] Quotient KSDIV(double a, double b);

// Adds the squares of x(1..n) to the sum held as scale^2 * sumsq. Zero elements are skipped.
void KSSQ(int n, const double* x, int incx, double& scale, double& sumsq);

// scale * sqrt(sumsq) without overflow: huge when the product would exceed it.
[[nodiscard]] double KNORM(double scale, double sumsq);

} // namespace lp
