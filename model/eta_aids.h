// The three aids of the editor that set the upper limit of a variable frequency ratio eta from
// an engineer's figure E, for a motion of H harmonics and damping theta. The limit always applies
// to the first harmonic: the highest harmonic H then runs at H times it.
#pragma once

namespace model {

// "1/K": the highest harmonic stays below resonance; 1/H.
double etaLimitResonance(int harmonics);

// "%V": the ratio at which the magnification 1/|1 - eta² + 2i theta eta| of the highest
// harmonic (a single mass driven by a force), relative to its value 1/(2 theta) at resonance,
// rises to E percent below resonance. Falls back to E/100/H without damping or when no such
// ratio exists (E/100 below 2 theta, or theta at or above the square root of one half).
double etaLimitAmplitude(double percent, double theta, int harmonics);

// Phase: the ratio at which the angle atan2(eta² - 1 + |D|, theta / (2 eta)), D = 1 - eta² +
// 2i theta eta, of the highest harmonic reaches E/2 degrees. For small ratios that angle is about
// twice the phase lag of q behind s, so the lag of q is then about E/4 degrees. Found by bisection
// on the ratio of the highest harmonic in (0, H] with a bounded number of steps; 1/H without
// damping or when the angle is not reached there.
double etaLimitPhase(double degrees, double theta, int harmonics);

// Which aid buttons the figure E allows.
inline bool resonanceAidEnabled(double e) {
    return e >= 1.0;
}
inline bool amplitudeAidEnabled(double e) {
    return e > 0.0 && e <= 100.0;
}
inline bool phaseAidEnabled(double e) {
    return e > 0.0 && e < 90.0;
}

} // namespace model
