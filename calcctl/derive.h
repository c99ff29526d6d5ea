// The series derived from the synthesised motion s of an absolute motion specification after
// a calculation: the output motion q of the elastic transmission and the drive moment M.
#pragma once

#include "members.h"

namespace calcctl {

// q from s with frequency ratio eta and damping theta, then M as the Fourier series of
// s'·s''. When q cannot be formed for some harmonic (resonance without damping), s stays
// exactly as the module computed it, q becomes a copy of s and the result is false.
bool deriveSeries(model::TPaintObj& motion, double eta, double theta);

// The same for a motion specification with its own values: eta from element 0 of s and theta from
// RPar[3], or the trial values TestEta and TestTheta in the project's test mode.
bool deriveSeries(model::THSHeader& motion, bool testMode);

} // namespace calcctl
