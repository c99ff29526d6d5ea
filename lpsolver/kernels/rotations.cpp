#include "lpsolver/kernels/rotations.h"

#include <algorithm>
#include <cmath>

#include "lpsolver/indexing.h"
#include "lpsolver/kernels/safe_arith.h"
#include "lpsolver/machine.h"

namespace lp {

namespace {

// Rows k and k+1 of a column, or the elements x, y of any pair: (x, y) := (c*x + s*y, c*y - s*x).
inline void rotatePair(double c, double s, double& x, double& y) {
    const double tx = x;
    const double ty = y;
    x = c * tx + s * ty;
    y = c * ty - s * tx;
}

inline bool isIdentity(double c, double s) {
    return c == 1.0 && s == 0.0;
}

// Columns k and k+1, rows i1..i2, from the right.
inline void rotateColumns(double c, double s, double* a, int lda, int k, int i1, int i2) {
    if (isIdentity(c, s)) return;
    double* x = a + mIdx(lda, 1, k);
    double* y = a + mIdx(lda, 1, k + 1);
    for (int i = i1 - 1; i < i2; ++i) rotatePair(c, s, x[i], y[i]);
}

// Rows k and k+1, columns j1..j2, from the left.
inline void rotateRows(double c, double s, double* a, int lda, int k, int j1, int j2) {
    if (isIdentity(c, s)) return;
    for (int j = j1; j <= j2; ++j) rotatePair(c, s, at(a, lda, k, j), at(a, lda, k + 1, j));
}

// The sequence of planes k1..k2-1 from the right on rows i1..i2 (0-based, i2 excluded), strip
// by strip: each row of a strip carries the element that the next plane rotates against the
// next column, so every element of the strip is read and written once for the whole sequence
// (applied plane by plane, each column would be read and written twice). The arithmetic is that
// of rotatePair, element by element, so the result is the same. On x86-64 the strip loops are
// also compiled for AVX2 (no fused multiply-add, so again the same arithmetic), chosen at load
// time when the processor has it.
constexpr int kStrip = 64;

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__INTEL_COMPILER)
#define TV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TV_VECTOR_CLONES
#endif

TV_VECTOR_CLONES void rotateStripForwards(int k1, int k2, const double* c, const double* s,
                                          double* a, int lda, int i1, int i2) {
    double carry[kStrip];
    const int len = i2 - i1;
    double* first = a + mIdx(lda, 1, k1) + i1;
    for (int r = 0; r < len; ++r) carry[r] = first[r];
    for (int k = k1; k < k2; ++k) {
        const double ck = c[k - 1], sk = s[k - 1];
        double* __restrict x = a + mIdx(lda, 1, k) + i1;
        const double* __restrict y = a + mIdx(lda, 1, k + 1) + i1;
        if (isIdentity(ck, sk)) {
            for (int r = 0; r < len; ++r) {
                x[r] = carry[r];
                carry[r] = y[r];
            }
            continue;
        }
        for (int r = 0; r < len; ++r) {
            const double tx = carry[r], ty = y[r];
            x[r] = ck * tx + sk * ty;
            carry[r] = ck * ty - sk * tx;
        }
    }
    double* last = a + mIdx(lda, 1, k2) + i1;
    for (int r = 0; r < len; ++r) last[r] = carry[r];
}

TV_VECTOR_CLONES void rotateStripBackwards(int k1, int k2, const double* c, const double* s,
                                           double* a, int lda, int i1, int i2) {
    double carry[kStrip];
    const int len = i2 - i1;
    double* first = a + mIdx(lda, 1, k2) + i1;
    for (int r = 0; r < len; ++r) carry[r] = first[r];
    for (int k = k2 - 1; k >= k1; --k) {
        const double ck = c[k - 1], sk = s[k - 1];
        const double* __restrict x = a + mIdx(lda, 1, k) + i1;
        double* __restrict y = a + mIdx(lda, 1, k + 1) + i1;
        if (isIdentity(ck, sk)) {
            for (int r = 0; r < len; ++r) {
                y[r] = carry[r];
                carry[r] = x[r];
            }
            continue;
        }
        for (int r = 0; r < len; ++r) {
            const double tx = x[r], ty = carry[r];
            y[r] = ck * ty - sk * tx;
            carry[r] = ck * tx + sk * ty;
        }
    }
    double* last = a + mIdx(lda, 1, k1) + i1;
    for (int r = 0; r < len; ++r) last[r] = carry[r];
}

} // namespace

Rotation KROTT(double t) {
    const double r = machine().rteps;
    const double abst = std::fabs(t);
    if (abst < r) return {1.0, t};
    if (abst <= 1.0 / r) {
        const double c = 1.0 / std::sqrt(1.0 + t * t);
        return {c, c * t};
    }
    return {1.0 / abst, std::copysign(1.0, t)};
}

Rotation KROTG(double& a, double& b) {
    if (b == 0.0) return {1.0, 0.0};
    const double t = KSDIV(b, a).value;
    const Rotation rot = KROTT(t);
    a = rot.c * a + rot.s * b;
    b = t;
    return rot;
}

void KROTSQ(Direct direct, int n, double& alpha, double* x, int incx, double* c, double* s) {
    if (n <= 0) return;
    auto xel = [&](int k) -> double& { return x[vIdx(n, incx, k)]; };
    if (direct == Direct::Forwards) {
        for (int k = 1; k <= n; ++k) {
            double& next = k < n ? xel(k + 1) : alpha;
            double& cur = xel(k);
            const Rotation rot = KROTG(next, cur);
            // KROTG leaves -s*next + c*cur = 0; in the plane (k, k+1) the element to vanish is
            // the first one, so the rotation is taken with the opposite sine.
            c[k - 1] = rot.c;
            s[k - 1] = rot.s == 0.0 ? 0.0 : -rot.s;
            cur = cur == 0.0 ? 0.0 : -cur;
        }
    } else {
        for (int k = n; k >= 1; --k) {
            double& prev = k > 1 ? xel(k - 1) : alpha;
            double& cur = xel(k);
            const Rotation rot = KROTG(prev, cur);
            c[k - 1] = rot.c;
            s[k - 1] = rot.s;
        }
    }
}

void KROTAP(Side side, Direct direct, int m, int n, int k1, int k2, const double* c,
            const double* s, double* a, int lda) {
    if (k1 < 1 || k1 >= k2) return;
    if (side == Side::Left) {
        if (m < k2 || n <= 0) return;
        // Column by column, so that each column is swept once.
        for (int j = 1; j <= n; ++j) {
            double* col = a + mIdx(lda, 1, j);
            if (direct == Direct::Forwards) {
                for (int k = k1; k < k2; ++k) {
                    if (!isIdentity(c[k - 1], s[k - 1]))
                        rotatePair(c[k - 1], s[k - 1], col[k - 1], col[k]);
                }
            } else {
                for (int k = k2 - 1; k >= k1; --k) {
                    if (!isIdentity(c[k - 1], s[k - 1]))
                        rotatePair(c[k - 1], s[k - 1], col[k - 1], col[k]);
                }
            }
        }
    } else {
        if (n < k2 || m <= 0) return;
        for (int i1 = 0; i1 < m; i1 += kStrip) {
            const int i2 = std::min(m, i1 + kStrip);
            if (direct == Direct::Forwards)
                rotateStripForwards(k1, k2, c, s, a, lda, i1, i2);
            else
                rotateStripBackwards(k1, k2, c, s, a, lda, i1, i2);
        }
    }
}

void KTRIRS(Side side, int n, int k1, int k2, double* c, double* s, double* a, int lda) {
    if (k1 < 1 || k1 >= k2 || n < k2) return;
    if (side == Side::Left) {
        for (int k = k1; k < k2; ++k) {
            double& diag = at(a, lda, k, k);
            double& sub = at(a, lda, k + 1, k);
            const Rotation rot = KROTG(diag, sub);
            sub = 0.0;
            c[k - 1] = rot.c;
            s[k - 1] = rot.s;
            rotateRows(rot.c, rot.s, a, lda, k, k + 1, n);
        }
    } else {
        for (int k = k2 - 1; k >= k1; --k) {
            double& diag = at(a, lda, k + 1, k + 1);
            double sub = -at(a, lda, k + 1, k);
            // With a = a(k+1,k+1) and b = -a(k+1,k), the generated rotation gives
            // c*a(k+1,k) + s*a(k+1,k+1) = 0 in column k.
            const Rotation rot = KROTG(diag, sub);
            at(a, lda, k + 1, k) = 0.0;
            c[k - 1] = rot.c;
            s[k - 1] = rot.s;
            rotateColumns(rot.c, rot.s, a, lda, k, 1, k);
        }
    }
}

void KHESSN(Side side, int n, int k1, int k2, const double* c, const double* s, double* a,
            int lda) {
    if (k1 < 1 || k1 >= k2 || n < k2) return;
    if (side == Side::Left) {
        for (int k = k2 - 1; k >= k1; --k) rotateRows(c[k - 1], s[k - 1], a, lda, k, k, n);
    } else {
        for (int k = k1; k < k2; ++k) rotateColumns(c[k - 1], s[k - 1], a, lda, k, 1, k + 1);
    }
}

} // namespace lp
