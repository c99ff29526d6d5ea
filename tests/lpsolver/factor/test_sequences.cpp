// Random sequences of additions and deletions on random matrices of 1 to 60 variables, the
// invariants checked after every step. Some rows are made dependent on others or badly scaled so
// that the start-up limit refuses them on the way.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/factor/tq_check.h"
#include "lpsolver/factor/updates.h"
#include "lpsolver/machine.h"
#include "tests/lpsolver/factor/factor_harness.h"
#include "tests/lpsolver/factor/update_steps.h"

using namespace lp;
using namespace lptest;

namespace {

void shapeRows(Harness& h, Random& rnd) {
    for (int i = 3; i <= h.nclin; i += 4) {
        // Dependent on the two rows before it.
        const double w1 = rnd.uniform(), w2 = rnd.uniform();
        for (int j = 1; j <= h.n; ++j) h.a(i, j) = w1 * h.a(i - 1, j) + w2 * h.a(i - 2, j);
    }
    for (int i = 4; i <= h.nclin; i += 7) {
        for (int j = 1; j <= h.n; ++j) h.a(i, j) *= 1.0e-10;
    }
}

// Returns the number of rows refused on the way.
int runSequence(int n, int nclin, std::uint64_t seed) {
    const std::string name = "n=" + std::to_string(n) + " nclin=" + std::to_string(nclin);
    SCOPED_TRACE(name);
    Random rnd(seed);
    Harness h(n, nclin, rnd);
    shapeRows(h, rnd);
    TQCheckStats stats;
    h.f.checks = &stats;

    // Start of a solve: some bounds, then a batch of rows.
    const int nbounds = rnd.integer(0, n / 2);
    for (int b = 0; b < nbounds; ++b) {
        std::vector<int> freeVars(h.varorder.begin(), h.varorder.begin() + h.f.nfr);
        stepAddBound(h, freeVars[rnd.integer(0, h.f.nfr - 1)]);
    }
    std::vector<int> cand(nclin);
    for (int i = 1; i <= nclin; ++i) cand[i - 1] = i;
    std::shuffle(cand.begin(), cand.end(), rnd.engine());
    cand.resize(std::min<std::size_t>(cand.size(), static_cast<std::size_t>(h.f.maxrows)));
    for (std::size_t l = 0; l < cand.size(); ++l) {
        h.rowlist[l] = cand[l];
        h.istate[n + cand[l] - 1] = 1;
    }
    const int refused = tqAddRows(h.f, static_cast<int>(cand.size()), h.istate.data(),
                                  machine().condlim, h.amax(), h.work.data());
    for (int i : cand)
        if (h.istate[n + i - 1] == 1) h.modelRows.push_back(i);
    EXPECT_EQ(refused, static_cast<int>(cand.size() - h.modelRows.size()));
    expectInvariants(h, "after the batch");

    int refusals = 0;
    const int steps = 3 * n + 10;
    for (int step = 1; step <= steps; ++step) {
        const TQFactor& f = h.f;
        std::vector<int> rowsOut;
        for (int i = 1; i <= nclin; ++i)
            if (std::find(h.modelRows.begin(), h.modelRows.end(), i) == h.modelRows.end())
                rowsOut.push_back(i);
        enum Op { AddRow, AddBound, DelRow, DelBound };
        std::vector<Op> ops;
        if (f.nz >= 1 && !rowsOut.empty()) ops.push_back(AddRow);
        if (f.nz >= 1) ops.push_back(AddBound);
        if (f.nwr > 0) ops.push_back(DelRow);
        if (f.nfr < n) ops.push_back(DelBound);
        if (ops.empty()) break;
        const Op op = ops[rnd.integer(0, static_cast<int>(ops.size()) - 1)];
        std::string what;
        switch (op) {
        case AddRow: {
            const int i = rowsOut[rnd.integer(0, static_cast<int>(rowsOut.size()) - 1)];
            what = "add row " + std::to_string(i);
            if (stepAddRow(h, i, machine().condlim) == TQStatus::Refused) ++refusals;
            break;
        }
        case AddBound: {
            const int j = h.varorder[rnd.integer(0, f.nfr - 1)];
            what = "add bound " + std::to_string(j);
            stepAddBound(h, j);
            break;
        }
        case DelRow: {
            const int i = h.modelRows[rnd.integer(0, f.nwr - 1)];
            what = "delete row " + std::to_string(i);
            stepDelete(h, n + i);
            break;
        }
        case DelBound: {
            const int j = h.varorder[rnd.integer(f.nfr, n - 1)];
            what = "delete bound " + std::to_string(j);
            stepDelete(h, j);
            break;
        }
        }
        expectInvariants(h, "step " + std::to_string(step) + ": " + what);
        if (testing::Test::HasFailure()) return 0;
    }
    // The checks built into the updates saw the same.
    EXPECT_TRUE(stats.allConsistent);
    EXPECT_GT(stats.checked, 0);
    EXPECT_LT(stats.worstOrthogonality, 1e-12);
    EXPECT_LT(stats.worstResidual, 1e-12 * std::max(1.0, h.amax()));
    EXPECT_EQ(stats.worstLowerPart, 0.0);
    return refused + refusals;
}

} // namespace

TEST(UpdateSequences, SmallSizes) {
    std::uint64_t seed = 1000;
    int refusals = 0;
    for (int n : {1, 2, 3, 4, 5, 7})
        for (int nclin : {0, 1, n / 2 + 1, n, 2 * n + 1}) refusals += runSequence(n, nclin, seed++);
    EXPECT_GT(refusals, 0) << "no refusal exercised";
}

TEST(UpdateSequences, MediumSizes) {
    std::uint64_t seed = 2000;
    int refusals = 0;
    for (int n : {11, 18, 29})
        for (int nclin : {0, n / 2 + 1, n, 2 * n + 1}) refusals += runSequence(n, nclin, seed++);
    EXPECT_GT(refusals, 0) << "no refusal exercised";
}

TEST(UpdateSequences, LargeSizes) {
    std::uint64_t seed = 3000;
    int refusals = 0;
    for (int n : {45, 60})
        for (int nclin : {n / 3, n + 5}) refusals += runSequence(n, nclin, seed++);
    EXPECT_GT(refusals, 0) << "no refusal exercised";
}
