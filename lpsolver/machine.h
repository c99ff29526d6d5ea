// Machine constants of the solver: the precision and range figures every tolerance is built from.
#pragma once

#include <bit>
#include <cstdint>

namespace lp {

// Relative machine precision: the double with the bit pattern 3CA0040000000020 (hexadecimal),
// just above 2^-53.
inline constexpr double kEps = std::bit_cast<double>(std::uint64_t{0x3CA0040000000020});
// Smallest magnitude the solver divides by without fear of overflow, and its reciprocal.
inline constexpr double kTiny = 2.57466740049304E-308;
inline constexpr double kHuge = 1.0 / kTiny;

// The table of machine constants, filled once and read afresh by each solver call.
struct MachineConstants {
    int base = 2;    // floating-point base
    int digits = 53; // mantissa digits
    double eps = kEps;
    double rteps = 0.0; // sqrt(eps)
    double tiny = kTiny;
    double rttiny = 0.0; // sqrt(tiny)
    double huge = kHuge; // 1/tiny
    double rthuge = 0.0; // sqrt(huge)
    int underflow = 0;   // underflow flag
    int inputUnit = 5;
    int advisoryUnit = 6;
    int errorUnit = 6;
    // Derived powers used by the method: bound distance (eps^0.6), multiplier and gradient
    // tolerance factor (eps^0.8), pivot tolerance factor (eps^0.9).
    double eps6 = 0.0;
    double eps8 = 0.0;
    double eps9 = 0.0;
    // Condition limit for rows entering the working set at the start: max(1/sqrt(eps), 100).
    double condlim = 0.0;
};

// The table (filled on first use).
const MachineConstants& machine();

} // namespace lp
