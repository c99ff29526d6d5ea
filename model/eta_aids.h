// The three aids of the editor that set the upper limit of a variable frequency ratio eta from
// an engineer's figure E, for a motion of H harmonics and damping theta. The limit always applies
// to the first harmonic: the highest harmonic H then runs at H times it.
#pragma once

namespace model {

// "1/K": the highest harmonic stays below resonance; 1/H.
double etaLimitResonance(int harmonics);

// "%V": the amplitude magnification of the highest harmonic reaches E percent; falls back to
// E/100/H without damping or when no such ratio exists.
double etaLimitAmplitude(double percent, double theta, int harmonics);

// Phase: the phase lag of the highest harmonic reaches E degrees. Found by bisection on the
// ratio of the highest harmonic in (0, H] with a bounded number of steps; 1/H without damping or
// when the lag is not reached there.
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
