#include "lpsolver/method/row_cache.h"

#include <algorithm>

#include "lpsolver/blas.h"

namespace lp {

WorkingRowCache::WorkingRowCache(const double* a, int lda, int n, int nclin)
    : a_(a), lda_(lda), n_(n), slotOfRow_(static_cast<std::size_t>(std::max(nclin, 0)), -1) {}

int WorkingRowCache::takeFreeSlot() {
    for (int s = 0; s < slots_; ++s)
        if (rowOfSlot_[static_cast<std::size_t>(s)] < 0) return s;
    // Grow by half (at least eight rows): a working set never holds more than n rows.
    const int grown = std::max(slots_ + 8, slots_ + slots_ / 2);
    std::vector<double> wider(static_cast<std::size_t>(grown) * static_cast<std::size_t>(n_), 0.0);
    for (int j = 0; j < n_; ++j)
        std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(j) * slots_, slots_,
                    wider.begin() + static_cast<std::ptrdiff_t>(j) * grown);
    block_.swap(wider);
    rowOfSlot_.resize(static_cast<std::size_t>(grown), -1);
    weights_.resize(static_cast<std::size_t>(grown), 0.0);
    const int s = slots_;
    slots_ = grown;
    return s;
}

void WorkingRowCache::sync(const int* rows, const double* rowWeights, int count) {
    slotNamed_.assign(static_cast<std::size_t>(slots_), 0);
    for (int t = 0; t < count; ++t) {
        const int s = slotOfRow_[static_cast<std::size_t>(rows[t])];
        if (s >= 0) slotNamed_[static_cast<std::size_t>(s)] = 1;
    }
    for (int s = 0; s < slots_; ++s) {
        int& row = rowOfSlot_[static_cast<std::size_t>(s)];
        if (row >= 0 && slotNamed_[static_cast<std::size_t>(s)] == 0) {
            slotOfRow_[static_cast<std::size_t>(row)] = -1;
            row = -1;
        }
    }
    for (int t = 0; t < count; ++t) {
        const int r = rows[t];
        if (slotOfRow_[static_cast<std::size_t>(r)] >= 0) continue;
        const int s = takeFreeSlot();
        DCOPY(n_, a_ + r, lda_, block_.data() + s, slots_);
        rowOfSlot_[static_cast<std::size_t>(s)] = r;
        slotOfRow_[static_cast<std::size_t>(r)] = s;
    }
    std::fill(weights_.begin(), weights_.end(), 0.0);
    for (int t = 0; t < count; ++t)
        weights_[static_cast<std::size_t>(slotOfRow_[static_cast<std::size_t>(rows[t])])] =
            rowWeights[t];
}

void WorkingRowCache::weightedRowSum(double* y) const {
    DGEMV(Trans::Yes, slots_, n_, 1.0, block_.data(), std::max(slots_, 1), weights_.data(), 1, 0.0,
          y, 1);
}

void WorkingRowCache::weightedRowSum(const int* vars, int count, double* y) const {
    for (int k = 0; k < count; ++k) {
        const int j = vars[k] - 1;
        y[j] = slots_ > 0 ? DDOT(slots_, block_.data() + static_cast<std::size_t>(j) * slots_, 1,
                                 weights_.data(), 1)
                          : 0.0;
    }
}

} // namespace lp
