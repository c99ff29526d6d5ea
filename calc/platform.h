// Platform services of the calculation module: process-time clock and acoustic signal.
#pragma once

namespace calc {

// Process time in seconds with fractions.
double processSeconds();

// A short acoustic signal: the terminal bell on standard error, only when it is a terminal.
void terminalBeep();

} // namespace calc

#include <functional>

namespace calc {

inline constexpr unsigned long long kDefaultSeed = 4711;

// A uniform generator on [0, 1) from a fixed seed, or from the decimal seed text when one is
// given (an unreadable text keeps the fixed seed).
std::function<double()> seededGenerator(const char* seedText);

} // namespace calc
