// A solver call with its arrays, for tests.
#pragma once

#include <vector>

#include "lpsolver/lpsolv.h"
#include "lpsolver/workspace.h"

namespace lp::test {

struct LPCall {
    int n = 0, nclin = 0, lda = 1;
    std::vector<double> A, bl, bu, cost, x, ax, mult, work;
    std::vector<int> istate, iwork;
    int niter = -1, ifail = 1;
    double fval = 0.0;

    // A problem with the given sizes, all bounds absent, x = 0, workspace as needed.
    LPCall(int n_, int nclin_) : n(n_), nclin(nclin_), lda(nclin_ > 0 ? nclin_ : 1) {
        A.assign(static_cast<std::size_t>(lda) * (n > 0 ? n : 1), 0.0);
        const std::size_t total = static_cast<std::size_t>(std::max(n + nclin, 1));
        bl.assign(total, -1.0e20);
        bu.assign(total, 1.0e20);
        cost.assign(static_cast<std::size_t>(std::max(n, 1)), 0.0);
        x.assign(static_cast<std::size_t>(std::max(n, 1)), 0.0);
        ax.assign(static_cast<std::size_t>(std::max(nclin, 1)), 0.0);
        mult.assign(total, 0.0);
        istate.assign(total, 0);
        const WorkspaceLayout ws = workspaceLayout(n, nclin, true);
        iwork.assign(static_cast<std::size_t>(std::max<long long>(ws.needInt, 1)), 0);
        work.assign(static_cast<std::size_t>(std::max<long long>(ws.needReal, 1)), 0.0);
    }
    double& a(int i, int j) { return A[static_cast<std::size_t>((i - 1) + (j - 1) * lda)]; }

    int solve(int ifailIn = 1) {
        ifail = ifailIn;
        LPSOLV(n, nclin, A.data(), lda, bl.data(), bu.data(), cost.data(), istate.data(), x.data(),
               niter, fval, ax.data(), mult.data(), iwork.data(), static_cast<int>(iwork.size()),
               work.data(), static_cast<int>(work.size()), ifail);
        return ifail;
    }
};

} // namespace lp::test
