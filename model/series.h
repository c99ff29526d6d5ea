// Series derived from the synthesised motion s of an absolute motion specification: the
// output motion q of the damped elastic transmission and the torque term s'·s''.
#pragma once

#include "members.h"

namespace model {

// Fills qSC from sSC with frequency ratio eta and damping theta. Returns false when a
// harmonic could not be formed (a resonance without damping); then, as the front end has
// always done, the constant term of s and q is set to 0, eta to 0 and q equals s.
bool deriveQ(TPaintObj& motion, double eta, double theta);

// Fills mSC with the exact Fourier series of s'(phi)·s''(phi) (derivatives per radian):
// 4K + 2 values for K harmonics of s, elements 0 and 1 zero.
void deriveM(TPaintObj& motion);

} // namespace model
