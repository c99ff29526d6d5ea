// A p over the rows outside the working set and the free columns, from a compact copy of that
// part of A. The search direction is zero on the fixed variables and the working rows have
// A p = 0, so at a vertex with many working rows and fixed variables most of the product over
// the whole of A is wasted work, and the column-major A read by a strided gather or a product
// over all columns costs the memory traffic of all of it. The copy holds the rows and columns
// that qualified when it was last refreshed; rows and columns that changed side since then are
// taken from A itself (a row that left the working set by a strided dot product, a column that
// was freed by one more column product), and the copy is refreshed once that extra and the
// wasted work (rows since entered, columns since fixed) have added up to about what a refresh
// costs. A row that left the working set is gathered from A once into a side buffer and taken
// from there while it is outside.
#pragma once

#include <vector>

namespace lp {

class FreeBlock {
public:
    // The block of a solve with n columns and nclin rows of A (column-major, leading dimension
    // lda). It holds nothing until the first product.
    FreeBlock(const double* a, int lda, int n, int nclin);

    // ap(i) = sum over the free variables j of A(i, j) p(j) for every row i outside the working
    // set (rowState(i) <= 0, the general rows' states, 0-based); 0 for the other rows, whose
    // product with a search direction vanishes. p is in natural order, order(0..nfr) holds the
    // free variables (1-based numbers), and p is zero on every other variable.
    void product(const double* p, const int* rowState, const int* order, int nfr, double* ap);

    int refreshes() const { return refreshes_; }
    int rows() const { return static_cast<int>(rows_.size()); }
    int columns() const { return static_cast<int>(cols_.size()); }

private:
    void refresh(const int* rowState, const int* order, int nfr);
    const double* sideRow(int i); // row i of A, gathered on first use since the refresh

    const double* a_;
    int lda_, n_, m_;
    std::vector<double> block_; // rows_ x cols_, column-major, leading dimension rows_.size()
    std::vector<int> rows_;     // 0-based rows of A held
    std::vector<int> cols_;     // 0-based columns of A held
    std::vector<char> rowHeld_; // m: row held in the block
    std::vector<char> colHeld_; // n: column held in the block
    std::vector<char> isFree_;  // n: scratch, column free now
    std::vector<double> pc_;    // p gathered over the held columns
    std::vector<double> tmp_;   // the block's product
    std::vector<double> side_;  // rows not held but outside the working set, n each
    std::vector<int> sideSlot_; // m: slot of the row in side_, -1 when none
    int sideRows_ = 0;
    double debt_ = 0.0; // extra and wasted work since the refresh, in multiply-adds
    int refreshes_ = 0;
};

} // namespace lp
