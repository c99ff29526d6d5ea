#pragma once

namespace calc {

// Outcome of a calculation, written as an integer into "kq4.err" at the end of every run.
enum class ResultCode : int {
    AllSatisfied = 1,   // constant or maximal requirements feasible
    Normal = 0,         // a largest feasible beta between 0 and its maximum was found
    NotFeasible = -2,   // minimal requirements infeasible, or no feasible result at all
    InputError = -3,    // no readable input file, no start record, or a record failed a check
    TooLarge = -4,      // more LP variables or rows than the module holds
    Resonance = -5,     // a harmonic of the dynamic model meets the resonance condition
    EtaGridTooLong = -6 // the frequency-ratio grid of an object grows beyond its limit
};

inline int toInt(ResultCode c) {
    return static_cast<int>(c);
}

} // namespace calc
