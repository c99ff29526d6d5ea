// Fixing a free variable on one of its bounds.
#include <algorithm>
#include <utility>

#include "lpsolver/blas.h"
#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/update_support.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/rotations.h"
#include "lpsolver/kernels/utilities.h"

namespace lp {

TQStatus tqAddBound(TQFactor& f, int j, double* work) {
    const int p = tqPosition(f, j);
    if (p == 0 || p > f.nfr || f.nz < 1) return TQStatus::Invalid;
    if (f.qIdentity && f.nwr > 0) return TQStatus::Invalid;
    const int nfr = f.nfr;
    const int nz = f.nz;

    if (f.qIdentity) {
        // Q = I: the variable moves to the last free position, the ones after it move up one
        // (the interchanges (k, k+1), k = p..nfr-1), so that the other directions keep their
        // order; the vectors in step with Q move alike.
        std::rotate(f.varorder + (p - 1), f.varorder + p, f.varorder + nfr);
        for (int col = 1; col <= f.nqvec; ++col) {
            double* g = f.qvec + mIdx(f.ldqvec, 1, col);
            std::rotate(g + (p - 1), g + p, g + nfr);
        }
    } else {
        const int n = f.n;
        double* w = work;
        double* c = work + n;
        double* s = work + 2 * n;
        // The variable's row of Q is taken out; the last free row takes its place.
        DCOPY(nfr, f.Q + mIdx(f.ldq, p, 1), f.ldq, w, 1);
        if (p != nfr) {
            DCOPY(nfr, f.Q + mIdx(f.ldq, nfr, 1), f.ldq, f.Q + mIdx(f.ldq, p, 1), f.ldq);
            std::swap(f.varorder[p - 1], f.varorder[nfr - 1]);
        }
        // Rotations reducing that row to a multiple of its last free position: afterwards the
        // row is (0, ..., 0, +-1) and column nfr of Q is +-e_nfr, so both drop out.
        double last = w[nfr - 1];
        KROTSQ(Direct::Forwards, nfr - 1, last, w, 1, c, s);
        KROTAP(Side::Right, Direct::Forwards, nfr - 1, nfr, 1, nfr, c, s, f.Q, f.ldq);
        // (0 T) receives the same rotations; only the planes nz..nfr-1 reach T. T then lies in
        // columns nz..nfr-1, still upper triangular, and its column nfr drops out.
        if (f.nwr > 0) {
            KFILL(f.nwr, 0.0, f.T + mIdx(f.ldt, 1, nz), 1);
            KROTAP(Side::Right, Direct::Forwards, f.nwr, nfr, nz, nfr, c, s, f.T, f.ldt);
        }
        if (f.nqvec > 0) {
            KROTAP(Side::Left, Direct::Forwards, nfr, f.nqvec, 1, nfr, c, s, f.qvec, f.ldqvec);
            // Position nfr now belongs to a fixed variable: it holds that component of g.
            if (last < 0.0) DSCAL(f.nqvec, -1.0, f.qvec + mIdx(f.ldqvec, nfr, 1), f.ldqvec);
        }
    }
    f.nfr = nfr - 1;
    f.nz = nz - 1;
    tqDiagonalRange(f);
    tqRecordCheck(f);
    return TQStatus::Ok;
}

} // namespace lp
