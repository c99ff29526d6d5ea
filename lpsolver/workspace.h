// Workspace of one solve: how much the caller must provide, and where each block lies.
// The need is 6N + 5 NCLIN + (N for type LP) + trows*tcols + (qord^2 when NCLIN > 0) reals and
// 2N + 3 integers.
#pragma once

#include <cstdint>

namespace lp {

struct WorkspaceLayout {
    // Sizes.
    int maxrows = 1; // largest number of general rows in the working set
    int maxfree = 0; // largest number of free variables (order of Q)
    int trows = 1, tcols = 0, qord = 1;
    std::int64_t needInt = 0;  // integer words
    std::int64_t needReal = 0; // real words

    // Real blocks (offsets into WORK, 0-based).
    std::int64_t featol = 0;             // feasibility tolerances, N+NCLIN
    std::int64_t rownorm = 0;            // row norms of A, NCLIN
    std::int64_t ap = 0;                 // A times the search direction, NCLIN
    std::int64_t v1 = 0, v2 = 0, v3 = 0; // three vectors of length N
    std::int64_t ct = 0;                 // Q'c, N (type LP only)
    std::int64_t T = 0;                  // trows x tcols
    std::int64_t Q = 0;                  // qord x qord, NCLIN > 0 only
    std::int64_t w1 = 0, w2 = 0;         // two vectors of length N+NCLIN

    // Integer blocks: three header words, then the working-set rows (N) and the variable
    // permutation (N).
    std::int64_t header = 0, rowlist = 3, varorder = 0;
};

// Layout for N variables and NCLIN general rows; lp selects the block of Q'c. Counts are in
// 64 bits so that no problem size overflows them. With fewer rows than variables Q and T are
// sized for NCLIN + 1 free variables (as many as a vertex has), and a solve that frees more
// (rows refused at the start) holds them for all N in storage of its own; allFree sizes them
// for all N in the workspace (a layout a solve takes when the caller's workspace reaches it).
WorkspaceLayout workspaceLayout(int n, int nclin, bool lp, bool allFree = false);

} // namespace lp
