// Debug checks of the TQ factorisation: orthogonality of Q and the residual of A_w*Q = (0 T).
// They cost O(nfr^3) and allocate; the updates run them only when TQFactor::checks is set,
// which tests do.
#pragma once

#include "lpsolver/factor/tq_factor.h"

namespace lp {

struct TQCheckResult {
    double orthogonality = 0.0; // max |(Q'Q - I)(i, j)|
    double residual = 0.0;      // max |(A_w*Q - (0 T))(i, j)|
    double lowerPart = 0.0;     // max |element| of the strictly lower part of the T block
    bool consistent = true;     // counts agree, varorder is a permutation, rowlist distinct rows
};

struct TQCheckStats {
    int checked = 0; // updates checked
    double worstOrthogonality = 0.0;
    double worstResidual = 0.0;
    double worstLowerPart = 0.0;
    bool allConsistent = true;
};

[[nodiscard]] TQCheckResult tqCheck(const TQFactor& f);

// Runs tqCheck and folds the result into *f.checks, when set (called at the end of every
// update).
void tqRecordCheck(const TQFactor& f);

} // namespace lp
