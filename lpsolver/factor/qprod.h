// Products with the orthogonal factor Q of the working set.
#pragma once

#include "lpsolver/factor/tq_factor.h"

namespace lp {

// The eight product modes. Q*v takes v in permuted order and returns the result in natural
// order; Q'*v takes v in natural order and returns the result in permuted order. The column
// range of Q is Z (columns 1..nz), Y (nz+1..nfr) or all free columns (1..nfr).
//
//  mode  product  range  fixed variables (positions nfr+1..N of the permuted order)
//   1    Q*v      Z      set to zero in the result
//   2    Q*v      Y      carried across unchanged
//   3    Q*v      all    carried across unchanged
//   4    Q'*v     Z      set to zero
//   5    Q'*v     Y      carried across unchanged
//   6    Q'*v     all    carried across unchanged
//   7    Q'*v     Y      set to zero
//   8    Q'*v     all    set to zero
//
// Q*v reads only the positions of v in its column range (and the fixed positions for modes 2
// and 3). Q'*v returns its range at the same positions (Z at 1..nz, Y at nz+1..nfr) and zeros at
// the free positions outside the range. While Q is the identity the product is the scatter or
// gather through varorder alone.
enum class QMode {
    QZ = 1,
    QY = 2,
    QFree = 3,
    QtZ = 4,
    QtY = 5,
    QtFree = 6,
    QtYOnly = 7,
    QtFreeOnly = 8
};

// v := the product (v has N elements); work has N elements.
void qProduct(QMode mode, const TQFactor& f, double* v, double* work);

} // namespace lp
