// Copies of the working set's rows of A, held contiguously. The multipliers of the variables
// fixed on their bounds need A(r, j) for every working row r and fixed column j; read from the
// column-major A that is a gather over many cache lines per column, while the working rows are
// few and change by one or two per iteration. Here each row is copied once when it enters and
// its slot is reused when it leaves, so the product runs over a small block that stays in cache.
// The block is held by columns (a column's elements of all slots side by side), so that the sum
// for a few columns reads only those.
#pragma once

#include <vector>

namespace lp {

class WorkingRowCache {
public:
    // The cache of a solve with n columns and nclin rows of A (column-major, leading dimension
    // lda). It holds nothing until the first call of sync.
    WorkingRowCache(const double* a, int lda, int n, int nclin);

    // Brings the held rows in line with rows[0..count) (0-based rows of A, distinct): rows no
    // longer named give up their slots, new ones are copied in. Then weights[s] is the weight of
    // the row held in slot s (0 for a free slot).
    void sync(const int* rows, const double* rowWeights, int count);

    // y := sum over the rows of the last sync of weight * row (y has n elements).
    void weightedRowSum(double* y) const;

    // The same sum for the columns vars(0..count) only (1-based column numbers): y(j-1) for each
    // listed j; the other elements of y are left alone.
    void weightedRowSum(const int* vars, int count, double* y) const;

    int slots() const { return slots_; }
    int slotOf(int row) const { return slotOfRow_[static_cast<std::size_t>(row)]; }
    // Element (slot s, column j), 0-based.
    double slotElement(int s, int j) const {
        return block_[static_cast<std::size_t>(j) * static_cast<std::size_t>(slots_) +
                      static_cast<std::size_t>(s)];
    }

private:
    int takeFreeSlot();

    const double* a_;
    int lda_, n_;
    int slots_ = 0;
    std::vector<double> block_;   // slots_ x n, column-major (leading dimension slots_)
    std::vector<int> slotOfRow_;  // nclin: slot holding the row, -1 when none
    std::vector<int> rowOfSlot_;  // slots_: the row held, -1 when free
    std::vector<char> slotNamed_; // scratch of sync
    std::vector<double> weights_; // slots_: weights of the last sync
};

} // namespace lp
