#include "lpsolver/factor/tq_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "lpsolver/indexing.h"

namespace lp {

namespace {

double qElement(const TQFactor& f, int i, int j) {
    if (f.qIdentity) return i == j ? 1.0 : 0.0;
    return at(f.Q, f.ldq, i, j);
}

bool countsConsistent(const TQFactor& f) {
    if (f.nfr < 0 || f.nfr > f.n || f.nwr < 0 || f.nz != f.nfr - f.nwr || f.nz < 0) return false;
    std::vector<int> seen(static_cast<std::size_t>(f.n) + 1, 0);
    for (int k = 1; k <= f.n; ++k) {
        const int j = f.varorder[k - 1];
        if (j < 1 || j > f.n || seen[static_cast<std::size_t>(j)]++) return false;
    }
    std::vector<int> rows(static_cast<std::size_t>(f.nclin) + 1, 0);
    for (int l = 1; l <= f.nwr; ++l) {
        const int i = f.rowlist[l - 1];
        if (i < 1 || i > f.nclin || rows[static_cast<std::size_t>(i)]++) return false;
    }
    return true;
}

} // namespace

TQCheckResult tqCheck(const TQFactor& f) {
    TQCheckResult res;
    res.consistent = countsConsistent(f);
    if (!res.consistent) return res;
    const int nfr = f.nfr;

    for (int i = 1; i <= nfr; ++i) {
        for (int j = 1; j <= nfr; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= nfr; ++k) sum += qElement(f, k, i) * qElement(f, k, j);
            res.orthogonality = std::max(res.orthogonality, std::fabs(sum - (i == j ? 1.0 : 0.0)));
        }
    }

    std::vector<double> a(static_cast<std::size_t>(nfr));
    for (int r = 1; r <= f.nwr; ++r) {
        const int row = f.rowlist[f.nwr - r];
        for (int k = 1; k <= nfr; ++k)
            a[static_cast<std::size_t>(k - 1)] = at(f.A, f.lda, row, f.varorder[k - 1]);
        for (int j = 1; j <= nfr; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= nfr; ++k)
                sum += a[static_cast<std::size_t>(k - 1)] * qElement(f, k, j);
            const double want = j > f.nz ? at(f.T, f.ldt, r, j) : 0.0;
            res.residual = std::max(res.residual, std::fabs(sum - want));
            if (j > f.nz && j - f.nz < r)
                res.lowerPart = std::max(res.lowerPart, std::fabs(at(f.T, f.ldt, r, j)));
        }
    }
    return res;
}

void tqRecordCheck(const TQFactor& f) {
    if (f.checks == nullptr) return;
    const TQCheckResult res = tqCheck(f);
    TQCheckStats& st = *f.checks;
    ++st.checked;
    st.worstOrthogonality = std::max(st.worstOrthogonality, res.orthogonality);
    st.worstResidual = std::max(st.worstResidual, res.residual);
    st.worstLowerPart = std::max(st.worstLowerPart, res.lowerPart);
    st.allConsistent = st.allConsistent && res.consistent;
}

} // namespace lp
