// Elementary (Householder) reflections.
//
// A reflection of order n+1 is held as a scalar zeta and a vector z of n elements:
// P = I - (zeta, z)(zeta, z)' acts on a vector (alpha, x). zeta = 0 means P = I.
#pragma once

namespace lp {

// Generates the reflection that maps (alpha, x(1..n)) to (beta, 0). On exit alpha holds beta,
// x holds z and zeta is set. No reflection (zeta = 0, alpha and x unchanged) when n <= 0, when
// n = 1 and x = 0, or when ||x|| <= max(tol, eps*|alpha|).
void KHOUSE(int n, double& alpha, double* x, int incx, double tol, double& zeta);

} // namespace lp
