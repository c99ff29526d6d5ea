// What limits beta: the restrictions of a motion specification that bind at the level the last
// calculation reached. A restriction binds when the extreme of its motion (the actual values
// kept with the restriction, for s and, with an elastic output, for q) lies at one of its
// bounds within a small tolerance, or beyond it (the calculation meets the bounds only at its
// sample angles, so the curve may overshoot between them).
//
// Tolerance: 1e-4 · max(1, |bound|, range of the curve over the cycle) for point and interval
// restrictions, 1e-4 · max(1, |bound|) for spectrum restrictions.
//
// Variable bounds and interval ends move linearly with beta from the fixed value (beta = 0) to
// the value at beta = 1; they are taken at the level the stored results reached, which the
// project keeps (results.h). Files of older versions do not keep it, so it is estimated there: a
// variable bound met with the actual value v is just reached at the level (v − fixed) / (variable −
// fixed); all requirements hold at the reached level, so it is at most the smallest such level
// of the project's variable bounds (clamped to 0 .. beta maximum), and the variable bounds at
// that smallest level bind.
//
// A restriction limits beta when its requirement moves with beta (a variable bound, an interval
// with a variable end, or a bound on q of a motion whose frequency ratio is variable) and the
// motion would fail it at the next level the bisection tried, betaMax / 2^steps above the kept
// one: the search stops up to one step short of where the bound is met, so such a restriction
// also binds when it is within that step ("fast erreicht"). The others merely sit at a fixed
// bound. When the maximum requirements are met (code 1), nothing limits beta.
//
// The calculation holds an interval restriction at its sample angles; between them the curve
// may leave the band. Each restriction names its largest such overshoot (band.h) when the
// results were calculated without the whole-cycle switch (or, with it, beyond its tolerance).
#pragma once

#include <string>
#include <vector>

#include "model/tree.h"

namespace model {

struct Binding {
    const Node* restriction;
    std::string why; // e.g. "obere Schranke 10.05 erreicht (10.0499)"
    // The overshoot between the sample angles as a fraction of the band, 0 when none is named;
    // why then ends in its text.
    double overshoot = 0.0;
    bool limiting = false; // it stops beta from rising (above)
};

// The binding restrictions under an absolute or relative motion specification node: those that
// limit beta first, then the others, each in tree order; empty when it has no current results.
// Switched-off and inconsistent restrictions are skipped. The numbers of why are written with
// the given decimal separator.
std::vector<Binding> bindingRestrictions(const Node& motionSpec, char decimalSeparator = '.');

// The level of the project's stored results: the kept beta, else the estimate above.
double reachedLevel(const Node& project);

// The overshoot between the sample angles that restriction (under a motion specification with
// current results) shows at level, as a fraction of its band, for s and q together; 0 when none
// is to be named.
double namedOvershoot(const Node& restriction, double level);

} // namespace model
