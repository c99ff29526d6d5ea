// Series derived from the synthesised motion s of an absolute motion specification: the
// output motion q of the damped elastic transmission and the torque term s'·s''.
#pragma once

#include "model/members.h"

namespace model {

// Fills qSC from sSC with frequency ratio eta and damping theta. Returns false when a
// harmonic could not be formed (a resonance without damping); then s stays exactly as the
// module computed it and q becomes a copy of s.
bool deriveQ(TPaintObj& motion, double eta, double theta);

// Fills mSC with the exact Fourier series of s'(phi)·s''(phi) (derivatives per radian):
// 4K + 2 values for K harmonics of s, elements 0 and 1 zero.
void deriveM(TPaintObj& motion);

// q (deriveQ), then M; false when q could not be formed.
bool deriveSeries(TPaintObj& motion, double eta, double theta);
// The same for a motion specification with its own values: eta from element 0 of s and theta
// from RPar[3], or the trial values TestEta and TestTheta in the project's test mode.
bool deriveSeries(THSHeader& motion, bool testMode);

} // namespace model
