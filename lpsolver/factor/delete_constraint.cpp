// Removing a constraint from the working set.
#include <utility>

#include "lpsolver/blas.h"
#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/update_support.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/rotations.h"
#include "lpsolver/kernels/utilities.h"

namespace lp {

namespace {

// Rows 1..m of T have their leading element one column left of where the smaller null space
// wants it (row r in column nz0+r instead of nz0+1+r). Rotations from the right restore
// triangular form in columns nz0+2..nfr: on the Hessenberg block H = T(., nz0+2..nfr) for the
// rows 2..m, then one more in the columns nz0+1, nz0+2 for row 1, after which column nz0+1 is
// free of T. Q and the vectors in step with it receive the same rotations (planes nz0+1..nz0+m,
// the highest first).
void restoreTriangle(TQFactor& f, int nz0, int m, double* c, double* s) {
    if (m >= 1) {
        const int order = f.nfr - nz0 - 1;
        if (m >= 2)
            KTRIRS(Side::Right, order, 1, m, c + (nz0 + 1), s + (nz0 + 1),
                   f.T + mIdx(f.ldt, 1, nz0 + 2), f.ldt);
        double& keep = at(f.T, f.ldt, 1, nz0 + 2);
        double gone = -at(f.T, f.ldt, 1, nz0 + 1);
        const Rotation rot = KROTG(keep, gone);
        c[nz0] = rot.c;
        s[nz0] = rot.s;
        if (!f.qIdentity)
            KROTAP(Side::Right, Direct::Backwards, f.nfr, f.nfr, nz0 + 1, nz0 + m + 1, c, s, f.Q,
                   f.ldq);
        if (f.nqvec > 0)
            KROTAP(Side::Left, Direct::Backwards, f.nfr, f.nqvec, nz0 + 1, nz0 + m + 1, c, s,
                   f.qvec, f.ldqvec);
    }
    if (f.nwr > 0) KFILL(f.nwr, 0.0, f.T + mIdx(f.ldt, 1, nz0 + 1), 1);
}

} // namespace

TQStatus tqDeleteConstraint(TQFactor& f, int jdel, double* work) {
    const int n = f.n;
    double* c = work;
    double* s = work + n;
    const int nz0 = f.nz;
    int m = 0;

    if (jdel > n) {
        // A general row: it leaves T (the rows below it move up) and rowlist closes the gap.
        const int i = jdel - n;
        const int r = tqTRow(f, i);
        if (r == 0) return TQStatus::Invalid;
        const int l = f.nwr + 1 - r;
        for (int k = l; k < f.nwr; ++k) f.rowlist[k - 1] = f.rowlist[k];
        // Only the upper triangle moves: column nz0+jj holds rows 1..jj, so rows r+1..jj move
        // up and row jj becomes the zero below them (the columns left of r keep their rows).
        for (int jj = r; jj <= f.nfr - nz0; ++jj) {
            double* col = f.T + mIdx(f.ldt, 1, nz0 + jj);
            for (int row = r; row < jj; ++row) col[row - 1] = col[row];
            col[jj - 1] = 0.0;
        }
        f.nwr -= 1;
        m = r - 1;
    } else {
        // A bound: the variable joins the free set at position nfr+1.
        const int q = jdel >= 1 ? tqPosition(f, jdel) : 0;
        if (q <= f.nfr) return TQStatus::Invalid;
        if (f.qIdentity && f.nwr > 0) return TQStatus::Invalid;
        const int pos = f.nfr + 1;
        if (!f.qIdentity && (pos > f.ldq || (f.nwr > 0 && pos > f.tcols))) return TQStatus::Invalid;
        if (q != pos) {
            std::swap(f.varorder[q - 1], f.varorder[pos - 1]);
            if (f.nqvec > 0)
                DSWAP(f.nqvec, f.qvec + mIdx(f.ldqvec, q, 1), f.ldqvec,
                      f.qvec + mIdx(f.ldqvec, pos, 1), f.ldqvec);
        }
        f.nfr = pos;
        if (!f.qIdentity) {
            // Q grows by a unit row and column; the variable's column of the working-set rows
            // joins T on the right.
            KFILL(pos - 1, 0.0, f.Q + mIdx(f.ldq, pos, 1), f.ldq);
            KFILL(pos - 1, 0.0, f.Q + mIdx(f.ldq, 1, pos), 1);
            at(f.Q, f.ldq, pos, pos) = 1.0;
            for (int r = 1; r <= f.nwr; ++r)
                at(f.T, f.ldt, r, pos) = at(f.A, f.lda, f.rowlist[f.nwr - r], jdel);
        }
        m = f.nwr;
    }

    restoreTriangle(f, nz0, m, c, s);
    f.nz = f.nfr - f.nwr;
    tqDiagonalRange(f);
    tqRecordCheck(f);
    return TQStatus::Ok;
}

} // namespace lp
