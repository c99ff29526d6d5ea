// An evaluation of written results against their restrictions on the whole cycle, independent
// of the module's row builder and of its search between the sample angles: the coefficient
// files ("fk" + object) and the records, every restricted quantity on a grid of 0.01 degrees
// over the restriction's interval, q also at frequency ratios between the ends of the object's
// range (evenly spaced, and closely around each resonance k eta = 1), written in complex form.
// Violation, band and relative violation by the rule the module and the front end share.
// Relative kinds move the two objects' frequency ratios together on the straight line between
// their lower and their upper ends (the module follows the matched grids; both agree when at
// most one of the two objects has a range).
#pragma once

#include <string>
#include <vector>

#include "calc/records.h"

namespace calc::test {

struct CycleViolation {
    int record = 0;        // 1-based, in the records given
    double relative = 0.0; // the largest violation / band
    double phi = 0.0, eta = 0.0;
};

struct CycleCheck {
    double beta = 0.0;                        // of the results
    std::vector<CycleViolation> restrictions; // one per restriction checked
    CycleViolation worst;
};

// Checks the results "<stem>.fk<m>" (machine-readable layout) against the records. False when
// a coefficient file cannot be read.
bool checkWholeCycle(const Records& records, const std::string& stem, CycleCheck& out,
                     double step = 0.01);

} // namespace calc::test
