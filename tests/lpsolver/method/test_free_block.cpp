// The compact copy for A p: whatever rows and columns changed side since its last refresh, the
// product equals the one taken straight from A over the free columns, with zeros for the working
// rows; and the copy is refreshed now and then, not on every product.
#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/method/free_block.h"

using lp::FreeBlock;

namespace {

struct Case {
    int n, nclin;
    int steps;
    int changesPerStep; // rows and columns that change side between two products
};

class FreeBlockProduct : public ::testing::TestWithParam<Case> {};

TEST_P(FreeBlockProduct, EqualsTheProductFromA) {
    const Case c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(11 * c.n + c.nclin));
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int lda = c.nclin + 2;
    std::vector<double> a(static_cast<std::size_t>(lda) * static_cast<std::size_t>(c.n));
    for (double& v : a) v = u(rng);
    auto at = [&](int i, int j) {
        return a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * lda];
    };

    FreeBlock block(a.data(), lda, c.n, c.nclin);
    std::vector<int> rowState(static_cast<std::size_t>(c.nclin), 0);
    std::vector<int> order(static_cast<std::size_t>(c.n));
    std::iota(order.begin(), order.end(), 1);
    int nfr = c.n;
    for (int step = 0; step < c.steps; ++step) {
        for (int k = 0; k < c.changesPerStep; ++k) {
            // A row enters or leaves (states 1..3 working, -2..0 outside).
            int& s = rowState[rng() % static_cast<unsigned>(c.nclin)];
            s = s > 0 ? static_cast<int>(rng() % 3) - 2 : 1 + static_cast<int>(rng() % 3);
            // A variable is fixed (swapped behind the free ones) or freed.
            const bool fix = nfr > 1 && (nfr == c.n || rng() % 2 == 0);
            if (fix) {
                const int pos = static_cast<int>(rng() % static_cast<unsigned>(nfr));
                std::swap(order[static_cast<std::size_t>(pos)],
                          order[static_cast<std::size_t>(nfr - 1)]);
                --nfr;
            } else {
                const int pos = nfr + static_cast<int>(rng() % static_cast<unsigned>(c.n - nfr));
                std::swap(order[static_cast<std::size_t>(pos)],
                          order[static_cast<std::size_t>(nfr)]);
                ++nfr;
            }
        }
        std::vector<double> p(static_cast<std::size_t>(c.n), 0.0);
        for (int pos = 0; pos < nfr; ++pos) p[static_cast<std::size_t>(order[pos] - 1)] = u(rng);
        std::vector<double> ap(static_cast<std::size_t>(c.nclin), 99.0);
        block.product(p.data(), rowState.data(), order.data(), nfr, ap.data());
        for (int i = 0; i < c.nclin; ++i) {
            double want = 0.0;
            if (rowState[static_cast<std::size_t>(i)] <= 0)
                for (int j = 0; j < c.n; ++j) want += at(i, j) * p[static_cast<std::size_t>(j)];
            ASSERT_NEAR(ap[static_cast<std::size_t>(i)], want, 1e-12)
                << "step " << step << " row " << i;
        }
    }
    EXPECT_GE(block.refreshes(), 2);           // the copy follows the changes ...
    EXPECT_LT(block.refreshes(), c.steps / 2); // ... without being taken afresh every time
}

INSTANTIATE_TEST_SUITE_P(Sizes, FreeBlockProduct,
                         ::testing::Values(Case{30, 90, 200, 1}, Case{12, 40, 150, 2},
                                           Case{60, 25, 150, 1}));

TEST(FreeBlock, NoRowsOutsideOrNoFreeColumnGiveZero) {
    const int n = 3, nclin = 4;
    std::vector<double> a(static_cast<std::size_t>(n * nclin), 1.0);
    FreeBlock block(a.data(), nclin, n, nclin);
    const std::vector<int> working(nclin, 3);
    const std::vector<int> order{1, 2, 3};
    const std::vector<double> p{1.0, 2.0, 3.0};
    std::vector<double> ap(nclin, 7.0);
    block.product(p.data(), working.data(), order.data(), n, ap.data());
    EXPECT_EQ(ap, std::vector<double>(nclin, 0.0));
    const std::vector<int> outside(nclin, 0);
    const std::vector<double> zero(n, 0.0);
    block.product(zero.data(), outside.data(), order.data(), 0, ap.data());
    EXPECT_EQ(ap, std::vector<double>(nclin, 0.0));
}

} // namespace
