// How far a motion leaves the band of an interval restriction anywhere on its interval, not
// only at the angles where the calculation samples it. The rule is the module's own for
// "Schranken auf dem ganzen Zyklus einhalten", so that both measure alike:
//
//   at level beta every variable part is fixed + beta · (value at beta 1 − fixed): the interval
//   ends φ1, φ2 and the bounds lower, upper (an absent side stays absent);
//   violation at φ = max(v(φ) − upper, lower − v(φ), 0), v the restricted quantity (s^(m) of
//   the motion, or q^(m); for a relative restriction the motion is the difference);
//   band = upper − lower with both sides; with one side max(|that bound|, peak-to-peak of v over
//   0 … 360°); at least 1e-12;
//   relative violation = violation / band.
#pragma once

#include <array>
#include <string>

#include "model/members.h"

namespace model {

// A requirement at level beta: fixed + beta · (atOne − fixed) when it is variable (atOne is its
// value at beta 1), else fixed.
inline double atLevel(bool variable, double fixed, double atOne, double beta) {
    return variable ? fixed + beta * (atOne - fixed) : fixed;
}

// The largest relative violation over the interval of restriction r (interval kinds only; 0 for
// the others and for a restriction without a bound), with its parameters P (RPar, or GlobalPar
// for a group's restriction), on motion, for s or for the stored q, at level beta. The motion
// is evaluated on a grid of at most a quarter degree and 1/64 of the shortest period, and every
// local maximum refined.
double relativeViolation(const TRestr& r, const std::array<double, 13>& P, const TPaintObj& motion,
                         bool q, double beta);

// Below this a violation is not named when the whole-cycle switch is off: it shows as 0.1 %.
inline constexpr double kViolationShown = 0.0005;

// "zwischen den Stützstellen überschritten um 2,9 %": the relative violation in per cent with one
// decimal (two below 0.1 %) and the given decimal separator.
std::string overshootText(double relative, char decimalSeparator);

} // namespace model
