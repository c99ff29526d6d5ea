// The cache of working rows: after any sequence of working sets its weighted row sum equals the
// sum taken straight from A, and slots freed by leaving rows are reused rather than grown.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/method/row_cache.h"

using lp::WorkingRowCache;

namespace {

struct Matrix {
    int n, nclin, lda;
    std::vector<double> a;
    Matrix(int n_, int nclin_, std::mt19937& rng) : n(n_), nclin(nclin_), lda(nclin_ + 3) {
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        a.resize(static_cast<std::size_t>(lda) * static_cast<std::size_t>(std::max(n, 1)));
        for (double& v : a) v = u(rng);
    }
    double at(int row, int col) const {
        return a[static_cast<std::size_t>(row) + static_cast<std::size_t>(col) * lda];
    }
};

std::vector<double> directSum(const Matrix& m, const std::vector<int>& rows,
                              const std::vector<double>& w) {
    std::vector<double> y(static_cast<std::size_t>(m.n), 0.0);
    for (std::size_t t = 0; t < rows.size(); ++t)
        for (int j = 0; j < m.n; ++j) y[static_cast<std::size_t>(j)] += w[t] * m.at(rows[t], j);
    return y;
}

} // namespace

TEST(WorkingRowCache, FollowsChangingWorkingSetsAndReusesSlots) {
    std::mt19937 rng(7);
    const Matrix m(9, 60, rng);
    WorkingRowCache cache(m.a.data(), m.lda, m.n, m.nclin);
    std::vector<int> rows;
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    std::size_t largest = 0;
    for (int step = 0; step < 400; ++step) {
        // Mostly one row in or out per step, as the iterations change the working set; now and
        // then a larger change and a reordering, as a reset does.
        const int kind = static_cast<int>(rng() % 10);
        if (kind < 5 && rows.size() < 25) {
            int r;
            do r = static_cast<int>(rng() % static_cast<unsigned>(m.nclin));
            while (std::find(rows.begin(), rows.end(), r) != rows.end());
            rows.insert(rows.begin() + static_cast<long>(rng() % (rows.size() + 1)), r);
        } else if (kind < 9 && !rows.empty()) {
            rows.erase(rows.begin() + static_cast<long>(rng() % rows.size()));
        } else {
            std::shuffle(rows.begin(), rows.end(), rng);
            rows.resize(rows.size() / 2);
        }
        largest = std::max(largest, rows.size());
        std::vector<double> w(rows.size());
        for (double& v : w) v = u(rng);
        cache.sync(rows.data(), w.data(), static_cast<int>(rows.size()));
        std::vector<double> y(static_cast<std::size_t>(m.n), 99.0);
        cache.weightedRowSum(y.data());
        const std::vector<double> expect = directSum(m, rows, w);
        for (int j = 0; j < m.n; ++j)
            ASSERT_NEAR(y[static_cast<std::size_t>(j)], expect[static_cast<std::size_t>(j)], 1e-12)
                << "step " << step << " column " << j;
        // The sum over a few columns only: those set, the others untouched.
        std::vector<int> cols;
        for (int j = 1; j <= m.n; ++j)
            if (rng() % 3 == 0) cols.push_back(j);
        std::vector<double> part(static_cast<std::size_t>(m.n), 99.0);
        cache.weightedRowSum(cols.data(), static_cast<int>(cols.size()), part.data());
        for (int j = 1; j <= m.n; ++j) {
            const bool listed = std::find(cols.begin(), cols.end(), j) != cols.end();
            const double want = listed ? expect[static_cast<std::size_t>(j - 1)] : 99.0;
            ASSERT_NEAR(part[static_cast<std::size_t>(j - 1)], want, 1e-12) << "column " << j;
        }
        for (int r : rows) {
            const int s = cache.slotOf(r);
            ASSERT_GE(s, 0);
            for (int j = 0; j < m.n; ++j) ASSERT_EQ(cache.slotElement(s, j), m.at(r, j));
        }
    }
    // Freed slots were taken again: the block grew only to the largest set plus one growth step.
    EXPECT_LE(static_cast<std::size_t>(cache.slots()), largest + largest / 2 + 8);
}

TEST(WorkingRowCache, EmptySetsGiveZero) {
    std::mt19937 rng(3);
    const Matrix m(4, 5, rng);
    WorkingRowCache cache(m.a.data(), m.lda, m.n, m.nclin);
    std::vector<double> y(4, 5.0);
    cache.sync(nullptr, nullptr, 0);
    cache.weightedRowSum(y.data());
    EXPECT_EQ(y, std::vector<double>(4, 0.0));
    // A row held and then given up leaves no trace in the sum.
    const int row = 2;
    const double w = 3.0;
    cache.sync(&row, &w, 1);
    cache.sync(nullptr, nullptr, 0);
    cache.weightedRowSum(y.data());
    EXPECT_EQ(y, std::vector<double>(4, 0.0));
    EXPECT_EQ(cache.slotOf(row), -1);
}
