#include "lpsolver/factor/qprod.h"

#include "lpsolver/blas.h"
#include "lpsolver/indexing.h"
#include "lpsolver/kernels/utilities.h"

namespace lp {

namespace {

struct Range {
    int first; // first column of Q, 1-based
    int last;  // last column
};

Range columns(QMode mode, const TQFactor& f) {
    switch (mode) {
    case QMode::QZ:
    case QMode::QtZ:
        return {1, f.nz};
    case QMode::QY:
    case QMode::QtY:
    case QMode::QtYOnly:
        return {f.nz + 1, f.nfr};
    default:
        return {1, f.nfr};
    }
}

bool carriesFixed(QMode mode) {
    return mode == QMode::QY || mode == QMode::QFree || mode == QMode::QtY || mode == QMode::QtFree;
}

} // namespace

void qProduct(QMode mode, const TQFactor& f, double* v, double* work) {
    const int n = f.n;
    const int nfr = f.nfr;
    const Range r = columns(mode, f);
    const int ncols = r.last - r.first + 1;
    const bool fixed = carriesFixed(mode);
    const int* order = f.varorder;

    if (static_cast<int>(mode) <= 3) {
        // Q*v: form the result in permuted order in work, then scatter it through varorder.
        for (int k = nfr + 1; k <= n; ++k) work[k - 1] = fixed ? v[k - 1] : 0.0;
        if (f.qIdentity) {
            for (int k = 1; k <= nfr; ++k)
                work[k - 1] = (k >= r.first && k <= r.last) ? v[k - 1] : 0.0;
        } else {
            DGEMV(Trans::No, nfr, ncols, 1.0, f.Q + mIdx(f.ldq, 1, r.first), f.ldq,
                  v + (r.first - 1), 1, 0.0, work, 1);
        }
        for (int k = 1; k <= n; ++k) v[order[k - 1] - 1] = work[k - 1];
    } else {
        // Q'*v: gather v into permuted order in work, then multiply.
        for (int k = 1; k <= n; ++k) work[k - 1] = v[order[k - 1] - 1];
        KFILL(nfr, 0.0, v, 1);
        if (f.qIdentity) {
            for (int k = r.first; k <= r.last; ++k) v[k - 1] = work[k - 1];
        } else {
            DGEMV(Trans::Yes, nfr, ncols, 1.0, f.Q + mIdx(f.ldq, 1, r.first), f.ldq, work, 1, 0.0,
                  v + (r.first - 1), 1);
        }
        for (int k = nfr + 1; k <= n; ++k) v[k - 1] = fixed ? work[k - 1] : 0.0;
    }
}

} // namespace lp
