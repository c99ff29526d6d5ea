// Plane rotations.
//
// Rotation P_k acts in the plane (k, k+1) as the 2 x 2 matrix with rows (c_k, s_k) and
// (-s_k, c_k). From the left it replaces rows k and k+1 of a matrix by c*row_k + s*row_{k+1}
// and c*row_{k+1} - s*row_k; from the right (A := A*P_k') it does the same to columns k and
// k+1. A sequence is held in two vectors: c(k) at c[k-1], s(k) at s[k-1], k being the plane.
// All planes are adjacent (k, k+1): the pivot of every sequence in this solver is "variable".
#pragma once

namespace lp {

enum class Side { Left, Right };
enum class Direct { Forwards, Backwards };

struct Rotation {
    double c;
    double s;
};

// Rotation from its tangent t = s/c (c > 0).
[[nodiscard]] Rotation KROTT(double t);

// Generates the rotation that annihilates b against a: afterwards c*a + s*b is in a and the
// tangent s/c in b, so that -s*a + c*b = 0 for the values on entry. b = 0 gives the identity
// and leaves a alone.
Rotation KROTG(double& a, double& b);

// Generates the rotations P_1..P_n that reduce a vector of n+1 elements to a multiple of a unit
// vector.
// Forwards: the vector is (x(1), ..., x(n), alpha); P_k combines element k into k+1, the last
//   one x(n) into alpha, so that applying P_1 first from the left gives (0, ..., 0, alpha).
// Backwards: the vector is (alpha, x(1), ..., x(n)); P_k combines element k+1 into k, from
//   P_n down to P_1, so that applying P_n first from the left gives (alpha, 0, ..., 0).
// On exit alpha holds the remaining element, c(k), s(k) the rotations and x(k) their tangents.
void KROTSQ(Direct direct, int n, double& alpha, double* x, int incx, double* c, double* s);

// Applies the rotations of planes k1..k2-1 to the m x n matrix A, from the left (rows) or the
// right (columns); forwards applies P_k1 first, backwards P_{k2-1} first. Nothing happens when
// k1 >= k2, k1 < 1, or the side's dimension (m for the left, n for the right) is below k2.
void KROTAP(Side side, Direct direct, int m, int n, int k1, int k2, const double* c,
            const double* s, double* a, int lda);

// Restores upper triangular form of the n x n matrix A that has, besides its upper triangle,
// the sub-diagonal elements a(k+1, k), k = k1..k2-1. Returns the rotations used in c(k), s(k)
// and sets the sub-diagonal elements to zero.
// Left:  A := P_{k2-1}...P_k1 * A, P_k1 first; P_k annihilates a(k+1, k) against a(k, k).
// Right: A := A * P_{k2-1}' ... P_k1', P_{k2-1} first; P_k annihilates a(k+1, k) against
//        a(k+1, k+1).
void KTRIRS(Side side, int n, int k1, int k2, double* c, double* s, double* a, int lda);

// Applies the given rotations of planes k1..k2-1 to the n x n upper triangular matrix A, which
// becomes upper Hessenberg with sub-diagonal elements a(k+1, k), k = k1..k2-1. The order is the
// one that keeps that shape: from the left P_{k2-1} first (A := P_k1...P_{k2-1} * A), from the
// right P_k1 first (A := A * P_k1' ... P_{k2-1}').
void KHESSN(Side side, int n, int k1, int k2, const double* c, const double* s, double* a, int lda);

} // namespace lp
