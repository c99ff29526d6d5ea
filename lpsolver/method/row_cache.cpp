#include "method/row_cache.h"

#include <algorithm>

#include "blas.h"

namespace lp {

WorkingRowCache::WorkingRowCache(const double* a, int lda, int n, int nclin)
    : a_(a), lda_(lda), n_(n), slotOfRow_(static_cast<std::size_t>(std::max(nclin, 0)), -1) {}

int WorkingRowCache::takeFreeSlot() {
    for (int s = 0; s < slots_; ++s)
        if (rowOfSlot_[static_cast<std::size_t>(s)] < 0) return s;
    // Grow by half (at least eight rows): a working set never holds more than n rows.
    const int grown = std::max(slots_ + 8, slots_ + slots_ / 2);
    block_.resize(static_cast<std::size_t>(grown) * static_cast<std::size_t>(n_), 0.0);
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
        DCOPY(n_, a_ + r, lda_, block_.data() + static_cast<std::size_t>(s) * n_, 1);
        rowOfSlot_[static_cast<std::size_t>(s)] = r;
        slotOfRow_[static_cast<std::size_t>(r)] = s;
    }
    std::fill(weights_.begin(), weights_.end(), 0.0);
    for (int t = 0; t < count; ++t)
        weights_[static_cast<std::size_t>(slotOfRow_[static_cast<std::size_t>(rows[t])])] =
            rowWeights[t];
}

void WorkingRowCache::weightedRowSum(double* y) const {
    // The block is an n x slots column-major matrix whose columns are the held rows.
    DGEMV(Trans::No, n_, slots_, 1.0, block_.data(), std::max(n_, 1), weights_.data(), 1, 0.0, y,
          1);
}

} // namespace lp
