// The stage search: the largest requirement level beta whose linear program is feasible,
// tried at 0, at beta maximum, then by bisection.
#pragma once

#include "calc/msmod.h"
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

// How the solve of one program ended.
enum class SolveStatus {
    Feasible,       // an optimal or weak solution
    NotFeasible,    // the program has no feasible point (or the solver could not place one)
    IterationLimit, // still not ended after kMaxSolverCalls calls: counted as not feasible
};

// A stage program that stops at the solver's iteration limit is not decided yet: its solve goes
// on from the working set and point where it stopped (Warm start), for at most this many calls
// from each start, each with the solver's own limit (by default 5 (N + NCLIN) iterations; near
// both limits of the module 16,060). The bound is generous: the most any program of the
// examples, the benchmarks and the random tests needs is 4 calls (the beta-maximum program near
// both limits, about 52,000 iterations); 10 calls there are 160,600 iterations.
inline constexpr int kMaxSolverCalls = 10;

struct SolveReport {
    SolveStatus status = SolveStatus::NotFeasible;
    int exitCode = 0;    // of the solver's last call
    long iterations = 0; // over all calls
    int calls = 0;
    double objective = 0.0; // the solver's final value: the objective, or the sum of
                            // infeasibilities when not feasible
    bool warm = false;      // ended from the working set given (false: from a Cold start)
};

// Solves one program from the start point x (solution on return); the row states are left in
// rowState. When states is given and holds a state for each variable and row of the program,
// the solve starts from that working set (Warm start; x should be the point it belongs to) and
// falls back to a Cold start from x when that does not end in a verdict; on return states holds
// the final states of the variables and rows. A call that stops at the iteration limit is
// continued (see kMaxSolverCalls). The program's columns are scaled in place: it is not to be
// used again.
[[nodiscard]] SolveReport solveProgram(LPProgram& lp, const std::vector<double>& cost,
                                       std::vector<double>& x, std::vector<int>& rowState,
                                       std::vector<int>* states = nullptr);

} // namespace calc
