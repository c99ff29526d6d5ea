// What limits beta: the restrictions of a motion specification that bind at the level the last
// calculation reached. A restriction binds when the extreme of its motion (the actual values
// kept with the restriction, for s and, with an elastic output, for q) lies at one of its
// bounds within a small tolerance, or beyond it (the calculation meets the bounds only at its
// sample angles, so the curve may overshoot between them).
//
// Tolerance: 1e-4 · max(1, |bound|, range of the curve over the cycle) for point and interval
// restrictions, 1e-4 · max(1, |bound|) for spectrum restrictions.
//
// Variable bounds move linearly with beta from the fixed value (beta = 0) to the value at
// beta = 1. The project file does not keep the reached beta, so it is estimated: a variable
// bound met with the actual value v is just reached at the level (v − fixed) / (variable −
// fixed); all requirements hold at the reached level, so it is at most the smallest such level
// of the project's variable bounds (clamped to 0 .. beta maximum), and the variable bounds at
// that smallest level bind. When the calculation was limited by something without a bound
// (variable frequency ratios or interval ends), this names the variable bound closest to its
// limit instead.
#pragma once

#include <string>
#include <vector>

#include "model/tree.h"

namespace model {

struct Binding {
    const Node* restriction;
    std::string why; // e.g. "obere Schranke 10.05 erreicht (10.0499)"
};

// The binding restrictions under an absolute or relative motion specification node, in tree
// order; empty when it has no current results. Switched-off and inconsistent restrictions are
// skipped.
std::vector<Binding> bindingRestrictions(const Node& motionSpec);

} // namespace model
