#include "lpsolver/workspace.h"

#include <algorithm>

namespace lp {

WorkspaceLayout workspaceLayout(int n, int nclin, bool lp, bool allFree) {
    WorkspaceLayout w;
    const std::int64_t N = std::max(n, 0), L = std::max(nclin, 0);
    w.maxrows = static_cast<int>(std::max<std::int64_t>(1, std::min(N, L)));
    std::int64_t maxnull = N, maxfree = N;
    if (L < N && !allFree) maxnull = maxfree = L + 1;
    w.maxfree = static_cast<int>(maxfree);
    w.trows = static_cast<int>(std::max<std::int64_t>(w.maxrows, maxnull));
    w.tcols = static_cast<int>(maxfree);
    w.qord = static_cast<int>(std::max<std::int64_t>(1, maxfree));

    std::int64_t p = 0;
    w.featol = p, p += N + L;
    w.rownorm = p, p += L;
    w.ap = p, p += L;
    w.v1 = p, p += N;
    w.v2 = p, p += N;
    w.v3 = p, p += N;
    w.ct = p, p += lp ? N : 0;
    w.T = p, p += static_cast<std::int64_t>(w.trows) * w.tcols;
    w.Q = p, p += L > 0 ? static_cast<std::int64_t>(w.qord) * w.qord : 0;
    w.w1 = p, p += N + L;
    w.w2 = p, p += N + L;
    w.needReal = p;

    w.header = 0;
    w.rowlist = 3;
    w.varorder = 3 + N;
    w.needInt = 2 * N + 3;
    return w;
}

} // namespace lp
