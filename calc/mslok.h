// The stage search: the largest requirement level beta whose linear program is feasible,
// tried at 0, at beta maximum, then by bisection.
#pragma once

#include "calc/msmod.h"
#include "calc/program_solver.h"
#include "calc/run_state.h"

namespace calc {

struct StageResult {
    double beta = 0.0;
    std::vector<double> solution; // of the last feasible program
};

// One stage search over the run's current records. Sets run.code, run.minimumFeasible,
// run.maximumReached, run.bestBetaWritten and the row table of the last build; writes result
// files through MSOUT when a bisection step beats the best beta written.
StageResult MSLOK(RunState& run);

// Objective of the program: 1 for the polynomial and constant parts and harmonic 1, k^e for
// harmonic k >= 2.
std::vector<double> objectiveWeights(const RunInput& input);

} // namespace calc
