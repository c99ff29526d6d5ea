// Platform services of the calculation module: process-time clock and acoustic signal.
#pragma once

namespace calc {

// Process time in seconds with fractions.
double processSeconds();

// A short acoustic signal: the terminal bell on standard error, only when it is a terminal.
void terminalBeep();

} // namespace calc
