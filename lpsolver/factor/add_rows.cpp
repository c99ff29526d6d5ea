// Entering a batch of general rows at the start of a solve.
#include "lpsolver/blas.h"
#include "lpsolver/factor/qprod.h"
#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/update_support.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/reflections.h"
#include "lpsolver/kernels/utilities.h"

namespace lp {

namespace detail {

void reverseTRows(TQFactor& f) {
    const int ncols = f.nfr - f.nz;
    for (int i = 1, k = f.nwr; i < k; ++i, --k)
        DSWAP(ncols, f.T + mIdx(f.ldt, i, f.nz + 1), f.ldt, f.T + mIdx(f.ldt, k, f.nz + 1), f.ldt);
}

} // namespace detail

int tqAddRows(TQFactor& f, int ncand, int* istate, double condlim, double amax, double* work) {
    if (ncand <= 0 || f.nwr != 0) return 0;
    const int n = f.n;
    double* v = work;
    double* w = work + n;
    if (f.qIdentity) tqMakeExplicit(f);

    // While the batch runs, T holds its rows in order of entry, each new row below the others;
    // the order is turned round at the end.
    int refused = 0;
    for (int cand = 1; cand <= ncand; ++cand) {
        const int i = f.rowlist[cand - 1];
        DCOPY(n, f.A + (i - 1), f.lda, v, 1);
        qProduct(QMode::QtFreeOnly, f, v, w);
        const int nz = f.nz;
        const double vnorm = DNRM2(nz, v, 1);
        if (detail::exceeds(detail::conditionEstimate(f, vnorm, amax), condlim)) {
            istate[n + i - 1] = 0;
            ++refused;
            continue;
        }

        // Reflection mapping v(1..nz) onto its last component; (z, zeta) overwrites v(1..nz).
        double diag = v[nz - 1];
        double zeta = 0.0;
        KHOUSE(nz - 1, diag, v, 1, 0.0, zeta);
        if (zeta != 0.0) {
            v[nz - 1] = zeta;
            // Q_Z := Q_Z*(I - u*u') = Q_Z - (Q_Z*u)*u'.
            DGEMV(Trans::No, f.nfr, nz, 1.0, f.Q, f.ldq, v, 1, 0.0, w, 1);
            DGER(f.nfr, nz, -1.0, w, 1, v, 1, f.Q, f.ldq);
            for (int col = 1; col <= f.nqvec; ++col) {
                double* g = f.qvec + mIdx(f.ldqvec, 1, col);
                DAXPY(nz, -DDOT(nz, v, 1, g, 1), v, 1, g, 1);
            }
        }

        const int row = f.nwr + 1;
        at(f.T, f.ldt, row, nz) = diag;
        DCOPY(f.nfr - nz, v + nz, 1, f.T + mIdx(f.ldt, row, nz + 1), f.ldt);
        detail::includeDiagonal(f, diag);
        f.rowlist[row - 1] = i;
        f.nwr = row;
        f.nz = nz - 1;
    }

    // Row e (order of entry) starts in column nz+nwr+1-e; clear what lies left of it in the
    // block before the rows are turned round.
    for (int e = 1; e <= f.nwr; ++e) KFILL(f.nwr - e, 0.0, f.T + mIdx(f.ldt, e, f.nz + 1), f.ldt);
    detail::reverseTRows(f);
    tqRecordCheck(f);
    return refused;
}

} // namespace lp
