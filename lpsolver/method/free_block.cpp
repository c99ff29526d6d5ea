#include "lpsolver/method/free_block.h"

#include <algorithm>

#include "lpsolver/blas.h"

namespace lp {

namespace {

// A refresh gathers the held part of A and writes the copy: about two products over it.
constexpr double kRefreshCost = 2.0;

} // namespace

FreeBlock::FreeBlock(const double* a, int lda, int n, int nclin)
    : a_(a), lda_(lda), n_(n), m_(nclin), rowHeld_(static_cast<std::size_t>(std::max(nclin, 0)), 0),
      colHeld_(static_cast<std::size_t>(std::max(n, 0)), 0),
      isFree_(static_cast<std::size_t>(std::max(n, 0)), 0),
      sideSlot_(static_cast<std::size_t>(std::max(nclin, 0)), -1) {}

const double* FreeBlock::sideRow(int i) {
    int& slot = sideSlot_[static_cast<std::size_t>(i)];
    if (slot < 0) {
        slot = sideRows_++;
        side_.resize(static_cast<std::size_t>(sideRows_) * static_cast<std::size_t>(n_));
        DCOPY(n_, a_ + i, lda_, side_.data() + static_cast<std::size_t>(slot) * n_, 1);
    }
    return side_.data() + static_cast<std::size_t>(slot) * n_;
}

void FreeBlock::refresh(const int* rowState, const int* order, int nfr) {
    std::fill(rowHeld_.begin(), rowHeld_.end(), 0);
    std::fill(colHeld_.begin(), colHeld_.end(), 0);
    rows_.clear();
    cols_.clear();
    for (int i = 0; i < m_; ++i)
        if (rowState[i] <= 0) {
            rows_.push_back(i);
            rowHeld_[static_cast<std::size_t>(i)] = 1;
        }
    for (int pos = 0; pos < nfr; ++pos) {
        const int j = order[pos] - 1;
        cols_.push_back(j);
        colHeld_[static_cast<std::size_t>(j)] = 1;
    }
    const std::size_t r = rows_.size();
    block_.resize(r * cols_.size());
    for (std::size_t k = 0; k < cols_.size(); ++k) {
        const double* src = a_ + static_cast<std::ptrdiff_t>(cols_[k]) * lda_;
        double* dst = block_.data() + k * r;
        for (std::size_t t = 0; t < r; ++t) dst[t] = src[rows_[t]];
    }
    pc_.resize(cols_.size());
    tmp_.resize(r);
    for (int i = 0; i < m_; ++i) sideSlot_[static_cast<std::size_t>(i)] = -1;
    sideRows_ = 0;
    debt_ = 0.0;
    ++refreshes_;
}

void FreeBlock::product(const double* p, const int* rowState, const int* order, int nfr,
                        double* ap) {
    if (m_ <= 0) return;
    // What the copy misses or wastes for this working set.
    std::fill(isFree_.begin(), isFree_.end(), 0);
    int extraCols = 0;
    for (int pos = 0; pos < nfr; ++pos) {
        const int j = order[pos] - 1;
        isFree_[static_cast<std::size_t>(j)] = 1;
        if (!colHeld_[static_cast<std::size_t>(j)]) ++extraCols;
    }
    int staleCols = 0;
    for (const int j : cols_)
        if (!isFree_[static_cast<std::size_t>(j)]) ++staleCols;
    int extraRows = 0, staleRows = 0;
    for (int i = 0; i < m_; ++i) {
        const bool outside = rowState[i] <= 0;
        if (rowHeld_[static_cast<std::size_t>(i)])
            staleRows += outside ? 0 : 1;
        else
            extraRows += outside ? 1 : 0;
    }
    const double held = static_cast<double>(rows_.size()) * static_cast<double>(cols_.size());
    debt_ += static_cast<double>(extraCols) * m_ + static_cast<double>(extraRows) * n_ +
             static_cast<double>(staleRows) * static_cast<double>(cols_.size()) +
             static_cast<double>(staleCols) * static_cast<double>(rows_.size());
    if (refreshes_ == 0 || debt_ > kRefreshCost * std::max(held, static_cast<double>(m_))) {
        refresh(rowState, order, nfr);
        extraCols = extraRows = 0;
    }

    // The held part.
    const int r = rows();
    const int c = columns();
    std::fill(ap, ap + m_, 0.0);
    if (r > 0 && c > 0) {
        for (int k = 0; k < c; ++k)
            pc_[static_cast<std::size_t>(k)] = p[cols_[static_cast<std::size_t>(k)]];
        DGEMV(Trans::No, r, c, 1.0, block_.data(), r, pc_.data(), 1, 0.0, tmp_.data(), 1);
        for (int t = 0; t < r; ++t)
            ap[rows_[static_cast<std::size_t>(t)]] = tmp_[static_cast<std::size_t>(t)];
    }
    // Columns freed since the refresh (every row; the rows not held are set below).
    if (extraCols > 0)
        for (int pos = 0; pos < nfr; ++pos) {
            const int j = order[pos] - 1;
            if (!colHeld_[static_cast<std::size_t>(j)] && p[j] != 0.0)
                DAXPY(m_, p[j], a_ + static_cast<std::ptrdiff_t>(j) * lda_, 1, ap, 1);
        }
    // Working rows get zero; rows outside that are not held come from the side buffer (p is
    // zero on the fixed variables, so the whole row may take part).
    for (int i = 0; i < m_; ++i) {
        if (rowState[i] > 0)
            ap[i] = 0.0;
        else if (!rowHeld_[static_cast<std::size_t>(i)])
            ap[i] = DDOT(n_, sideRow(i), 1, p, 1);
    }
}

} // namespace lp
