// The eight products with Q, each against the dense map M from permuted to natural order:
// M(varorder(i), k) = Q(i, k) over the free positions and the unit map over the fixed ones, with
// the column ranges selected by masks.
#include <algorithm>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "lpsolver/factor/qprod.h"
#include "tests/lpsolver/dense_reference.h"

using namespace lp;
using lptest::Dense;

namespace {

struct Layout {
    int n, nfr, nz;
    bool identity;
};

void checkAllModes(const Layout& st, lptest::Random& rnd) {
    const int n = st.n;
    const int ldq = st.nfr + 1;
    std::vector<double> q(static_cast<std::size_t>(ldq) * std::max(1, st.nfr));
    for (double& v : q) v = rnd.uniform(); // any matrix will do for a product
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::shuffle(order.begin(), order.end(), rnd.engine());

    TQFactor f;
    f.n = n;
    f.nfr = st.nfr;
    f.nz = st.nz;
    f.nwr = st.nfr - st.nz;
    f.varorder = order.data();
    f.qIdentity = st.identity;
    f.Q = st.identity ? nullptr : q.data();
    f.ldq = ldq;

    Dense m(n, n);
    for (int i = 1; i <= n; ++i)
        for (int k = 1; k <= n; ++k) {
            if (i <= st.nfr && k <= st.nfr) {
                m(order[i - 1], k) = st.identity
                                         ? (i == k ? 1.0L : 0.0L)
                                         : q[(i - 1) + static_cast<std::size_t>(k - 1) * ldq];
            } else if (i == k) {
                m(order[i - 1], k) = 1.0L;
            }
        }
    auto inZ = [&](int k) { return k <= st.nz; };
    auto inY = [&](int k) { return k > st.nz && k <= st.nfr; };
    auto inF = [&](int k) { return k > st.nfr; };

    for (int mode = 1; mode <= 8; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode) + " n=" + std::to_string(n) +
                     " nfr=" + std::to_string(st.nfr) + " nz=" + std::to_string(st.nz) +
                     (st.identity ? " identity" : ""));
        std::vector<double> v(n), work(n, 1.0e30);
        for (double& x : v) x = rnd.uniform();
        Dense vin(n, 1);
        for (int k = 1; k <= n; ++k) vin(k, 1) = v[k - 1];
        qProduct(static_cast<QMode>(mode), f, v.data(), work.data());

        Dense want(n, 1);
        if (mode <= 3) {
            Dense masked(n, 1);
            for (int k = 1; k <= n; ++k) {
                const bool keep = mode == 1 ? inZ(k) : mode == 2 ? (inY(k) || inF(k)) : true;
                masked(k, 1) = keep ? vin(k, 1) : 0.0L;
            }
            want = lptest::multiply(m, masked);
        } else {
            const Dense full = lptest::multiply(lptest::transpose(m), vin);
            for (int k = 1; k <= n; ++k) {
                bool keep = false;
                switch (mode) {
                case 4:
                    keep = inZ(k);
                    break;
                case 5:
                    keep = inY(k) || inF(k);
                    break;
                case 6:
                    keep = true;
                    break;
                case 7:
                    keep = inY(k);
                    break;
                case 8:
                    keep = inZ(k) || inY(k);
                    break;
                }
                want(k, 1) = keep ? full(k, 1) : 0.0L;
            }
        }
        for (int k = 1; k <= n; ++k)
            EXPECT_NEAR(v[k - 1], static_cast<double>(want(k, 1)), 1e-14) << "element " << k;
    }
}

} // namespace

TEST(QProduct, EveryModeAgainstDenseMap) {
    lptest::Random rnd(51);
    const Layout setups[] = {
        {7, 5, 2, false}, {7, 5, 0, false}, {7, 5, 5, false},  {6, 6, 3, false},
        {1, 1, 1, false}, {9, 0, 0, false}, {12, 8, 1, false},
    };
    for (const Layout& st : setups) checkAllModes(st, rnd);
}

TEST(QProduct, IdentityIsScatterAndGather) {
    lptest::Random rnd(52);
    const Layout setups[] = {{7, 5, 5, true}, {7, 4, 2, true}, {5, 0, 0, true}, {3, 3, 3, true}};
    for (const Layout& st : setups) checkAllModes(st, rnd);
}
