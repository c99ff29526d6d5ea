// The run driver of the calculation module: one run reads one input file, calculates and
// leaves its outcome as a result code in "kq4.err".
#pragma once

#include <string>
#include <vector>

#include "calc/run_state.h"

namespace calc {

// The console, process-time clock, terminal bell and random generator of this process. The
// generator starts from a fixed seed, so that two runs of one input give the same results;
// the environment variable KQ4_SEED sets another.
RunEnvironment systemEnvironment();

// One run. args are the command-line arguments after the program name. Returns the result
// code that was written to the result code file.
ResultCode KQ4CALC(const std::vector<std::string>& args, RunEnvironment& env);

} // namespace calc
