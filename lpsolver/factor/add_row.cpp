// Entering one general row during the iterations.
#include <algorithm>

#include "lpsolver/blas.h"
#include "lpsolver/factor/qprod.h"
#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/update_support.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/rotations.h"
#include "lpsolver/kernels/utilities.h"
#include "lpsolver/machine.h"

namespace lp {

TQAddResult tqAddRow(TQFactor& f, int i, double condlim, double amax, double* work) {
    TQAddResult result;
    if (i < 1 || i > f.nclin || f.nwr >= f.maxrows || f.nwr >= f.ldt) {
        result.status = TQStatus::Invalid;
        return result;
    }
    const int n = f.n;
    double* v = work;
    double* c = work + n;
    double* s = work + 2 * n;

    DCOPY(n, f.A + (i - 1), f.lda, v, 1);
    qProduct(QMode::QtFreeOnly, f, v, c);
    const int nz = f.nz;
    const double vnorm = DNRM2(nz, v, 1);
    const Quotient cond = detail::conditionEstimate(f, vnorm, amax);
    result.cond = cond.value;
    if (detail::exceeds(cond, condlim)) {
        result.status = TQStatus::Refused;
        return result;
    }
    if (f.qIdentity) tqMakeExplicit(f);

    // Rotations reducing v(1..nz) to its last component, applied to Z and to the vectors kept
    // in step with Q.
    double diag = v[nz - 1];
    KROTSQ(Direct::Forwards, nz - 1, diag, v, 1, c, s);
    KROTAP(Side::Right, Direct::Forwards, f.nfr, nz, 1, nz, c, s, f.Q, f.ldq);
    if (f.nqvec > 0)
        KROTAP(Side::Left, Direct::Forwards, nz, f.nqvec, 1, nz, c, s, f.qvec, f.ldqvec);

    // The rows of T move down one and the new row enters on top with its diagonal in column nz.
    // T moves down in its storage instead when there is a free row above it; when there is none,
    // it is first moved to the bottom of the storage, which leaves room for as many entries as
    // possible. Only the upper triangle is moved (column nz+jj holds rows 1..jj).
    const int nwr = f.nwr;
    if (f.tStore == nullptr) f.tStore = f.T;
    const int ncols = f.nfr - nz;
    const auto offset = static_cast<int>(f.T - f.tStore);
    const int room = f.ldt - nwr - 1; // free rows of the storage once the new row is in
    if (offset == 0 && room > 0) {
        for (int jj = 1; jj <= ncols; ++jj) {
            double* col = f.T + mIdx(f.ldt, 1, nz + jj);
            const int len = std::min(jj, nwr);
            std::copy_backward(col, col + len, col + len + room);
            std::fill(col + room + len, col + room + nwr, 0.0);
        }
        f.T += room;
    }
    if (f.T != f.tStore) {
        f.T -= 1;
    } else {
        for (int jj = 1; jj <= ncols; ++jj) {
            double* col = f.T + mIdx(f.ldt, 1, nz + jj);
            const int len = std::min(jj, nwr);
            std::copy_backward(col, col + len, col + len + 1);
            if (len < nwr) col[nwr] = 0.0;
        }
    }
    double* newcol = f.T + mIdx(f.ldt, 1, nz);
    newcol[0] = diag;
    KFILL(nwr, 0.0, newcol + 1, 1);
    DCOPY(f.nfr - nz, v + nz, 1, f.T + mIdx(f.ldt, 1, nz + 1), f.ldt);

    detail::includeDiagonal(f, diag);
    f.rowlist[nwr] = i;
    f.nwr = nwr + 1;
    f.nz = nz - 1;
    result.illConditioned = cond.value >= 1.0 / machine().eps9;
    tqRecordCheck(f);
    return result;
}

} // namespace lp
