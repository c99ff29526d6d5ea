#include "lpsolver/factor/tq_factor.h"

#include <utility>

#include "lpsolver/blas.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/utilities.h"

namespace lp {

void tqReset(TQFactor& f, int nfr) {
    f.nfr = nfr;
    f.nwr = 0;
    f.nz = nfr;
    if (f.tStore != nullptr) f.T = f.tStore;
    f.qIdentity = true;
    f.tmax = 1.0;
    f.tmin = 1.0;
}

void tqMakeExplicit(TQFactor& f) {
    KSETM(f.nfr, f.nfr, 0.0, 1.0, f.Q, f.ldq);
    f.qIdentity = false;
}

int tqPosition(const TQFactor& f, int j) {
    for (int k = 1; k <= f.n; ++k) {
        if (f.varorder[k - 1] == j) return k;
    }
    return 0;
}

int tqTRow(const TQFactor& f, int i) {
    for (int l = 1; l <= f.nwr; ++l) {
        if (f.rowlist[l - 1] == i) return f.nwr + 1 - l;
    }
    return 0;
}

void tqDiagonalRange(TQFactor& f) {
    if (f.nwr == 0) {
        f.tmax = 1.0;
        f.tmin = 1.0;
        return;
    }
    const MinMax mm = KMNMX(f.nwr, f.T + mIdx(f.ldt, 1, f.nz + 1), f.ldt + 1);
    f.tmax = mm.max;
    f.tmin = mm.min;
}

void tqSwapNull(TQFactor& f, int k1, int k2) {
    if (k1 == k2) return;
    if (f.qIdentity) {
        std::swap(f.varorder[k1 - 1], f.varorder[k2 - 1]);
    } else {
        DSWAP(f.nfr, f.Q + mIdx(f.ldq, 1, k1), 1, f.Q + mIdx(f.ldq, 1, k2), 1);
    }
    if (f.nqvec > 0)
        DSWAP(f.nqvec, f.qvec + mIdx(f.ldqvec, k1, 1), f.ldqvec, f.qvec + mIdx(f.ldqvec, k2, 1),
              f.ldqvec);
}

} // namespace lp
