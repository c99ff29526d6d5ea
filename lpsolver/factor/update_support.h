// Pieces shared by the factorisation updates.
#pragma once

#include <algorithm>
#include <cmath>

#include "lpsolver/factor/tq_factor.h"
#include "lpsolver/kernels/safe_arith.h"

namespace lp::detail {

// Condition estimate of T with a new diagonal of magnitude d.
inline Quotient conditionEstimate(const TQFactor& f, double d, double amax) {
    if (f.nwr == 0) return KSDIV(amax, d);
    return KSDIV(std::max(f.tmax, d), std::min(f.tmin, d));
}

inline bool exceeds(const Quotient& q, double condlim) {
    return q.overflow || q.value >= condlim;
}

// tmax/tmin with a new diagonal element d, before nwr counts it.
inline void includeDiagonal(TQFactor& f, double d) {
    const double absd = std::fabs(d);
    if (f.nwr == 0) {
        f.tmax = absd;
        f.tmin = absd;
    } else {
        f.tmax = std::max(f.tmax, absd);
        f.tmin = std::min(f.tmin, absd);
    }
}

// Reverses the order of rows 1..nwr of the T block (columns nz+1..nfr).
void reverseTRows(TQFactor& f);

} // namespace lp::detail
