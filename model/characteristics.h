// Characteristic values of one motion: the extremes of s and its derivatives (and of q when the
// motion has an elastic output, eta > 0) and the root mean square of the derivatives over one
// revolution. The numbers a drive is sized by: peak and RMS velocity, acceleration, jerk.
#pragma once

#include <array>

#include "model/members.h"

namespace model {

struct Extremes {
    double min = 0.0, max = 0.0;
};

struct CharacteristicValues {
    bool hasResults = false;   // false: everything below is 0
    bool hasQ = false;         // q differs from s (hasElasticOutput): q's extremes are filled
    std::array<Extremes, 4> s; // s, s', s'', s''' (derivatives per radian)
    std::array<Extremes, 4> q; // q, q', q'', q'''
    // RMS over the cycle of s^(n) for n = 1 .. 3; rms[0] is the RMS of s itself (with its
    // constant term). Exact from the coefficients: mean of f² = C0² + ½ Σ (S_k² + C_k²).
    std::array<double, 4> rms{};
};

// Whether q differs from s: eta > 0 for an absolute motion specification; for a relative one,
// whose element 0 is a difference of two frequency ratios, when either motion has q.
bool hasElasticOutput(const TPaintObj& motion);

// Extremes by sampling the cycle 0 .. 360° at max(3600, 64·H) equidistant points (H = harmonic
// count) and refining the best sample by parabolic interpolation through its neighbours.
CharacteristicValues characteristicValues(const TPaintObj& motion);

} // namespace model
