// Result files: coefficient files and value tables per object, the varied records, and the
// violation report.
#pragma once

#include <string>
#include <vector>

#include "calc/run_state.h"

namespace calc {

// Fourier and polynomial coefficients of one object taken from the LP solution.
struct Coefficients {
    double c2 = 0.0; // "a(0)-ss"
    double c1 = 0.0; // "a(0)-s"
    double a0 = 0.0;
    std::vector<double> a, b; // a[k-1], b[k-1] for k = 1..nh
};
Coefficients objectCoefficients(const std::vector<double>& x, const ObjectLayout& o);

// s and its derivatives 0..3 at phi (degrees), derivatives with respect to phi in radians.
std::array<double, 4> motionValues(const Coefficients& c, double phi);

// The coefficients of the dynamic output q at frequency ratio eta and damping theta.
Coefficients outputCoefficients(const Coefficients& c, double eta, double theta);

// Writes the coefficient file and the value tables of every object for the solution at level
// beta (beeps first when the beep switch is on).
void MSOUT(RunState& run, const std::vector<double>& x, double beta);

// Writes every record with the varied values of the random search ("kqe").
void MSWMS1(RunState& run, const Records& records);

// Appends the report of the rows the last solve left violated to the "err" file.
void violationReport(RunState& run);

// Name of a result file of object m: "fk" + m and so on; object 10 gives "fk10".
std::string resultExtension(const char* stem, int m);

} // namespace calc
