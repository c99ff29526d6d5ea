// Solving the program of one level: the solver's calls on the scaled program, rows inserted
// into a program that has been solved, and rounds of inserting the rows a solution violates
// and solving again from where the last solve ended.
#pragma once

#include <functional>
#include <vector>

#include "calc/msmod.h"

namespace calc {

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

// A row to insert into a program that has been built.
struct NewRow {
    RowSpec spec;  // what it samples (spec.restriction: whose rows it joins)
    int after = 0; // its place: the number of the program's present rows before it
    double lower = 0.0, upper = 0.0;
    std::vector<double> coefficients; // nvar values, as the builder forms them
    double excess = 0.0;              // by how much the solution violates it (for the order)
    int state = 0;                    // its state in the working set to start from
    // Its number among the program's own rows (those its build makes or leaves out, 0-based;
    // SampleRows), or -1 for a row that is not one of them (a row between the sample angles).
    // One of the program's own counts among its restriction's builtRows (its place lies among
    // them).
    int buildRow = -1;
};

// Inserts the rows at their places (rows with the same place keep their order), with the
// record of their restriction; the restriction's row count grows (and builtRows by the
// program's own rows among them), the first rows of the later ones move. The matrix keeps
// leading dimension = row count; the columns move within the storage (which
// LPProgram::spareRows can keep room for). states, when given, holds the states of the
// variables and rows and gets the state of each new row.
void insertRows(LPProgram& lp, std::vector<NewRow> rows, std::vector<int>* states = nullptr);

// The solver's work arrays.
struct SolverArrays {
    std::vector<int> iwork;
    std::vector<double> work, ax, mult;
};

// The solver on one program. The program's columns are scaled in place when it is made (each
// to unit largest magnitude: the columns of higher harmonics grow with k^p, and the solver's
// path gets much shorter); rows inserted later are scaled alike. Solutions go in and out
// unscaled. (The program a calculation dumps, KQ4_DUMP_LP, is the level's as built: the stage
// search writes it.)
class ProgramSolver {
public:
    // arrays: the solver's work arrays, when they are to outlive this solver (kept for the
    // next program, so that memory is not allocated afresh for each). steepestEdge: the
    // solver's rule of leaving the working set (its option "Steepest edge"): on the finely
    // sampled programs of the module it takes a fraction of the iterations of the largest
    // scaled multiplier (bench/README.md).
    ProgramSolver(LPProgram& lp, const std::vector<double>& cost, SolverArrays* arrays = nullptr,
                  bool steepestEdge = true);

    // Solves from the start point x (solution on return); the row states are left in
    // rowState. When states is given and holds a state for each variable and row, the solve
    // starts from that working set (Warm start; x should be the point it belongs to) and falls
    // back to a Cold start from x when that does not end in a verdict; on return states holds
    // the final states. A call that stops at the iteration limit is continued (see
    // kMaxSolverCalls).
    [[nodiscard]] SolveReport solve(std::vector<double>& x, std::vector<int>& rowState,
                                    std::vector<int>* states);

    // Inserts rows (see insertRows) scaled like the program.
    void insert(std::vector<NewRow> rows, std::vector<int>& states);

    const LPProgram& program() const { return lp_; }

private:
    LPProgram& lp_;
    std::vector<double> cost_;  // scaled
    std::vector<double> scale_; // x = scale * (the solver's x)
    SolverArrays ownArrays_;
    SolverArrays* arrays_;
    bool steepestEdge_;
};

// Solves one program as ProgramSolver does; the program is left scaled (not to be solved
// again on its own).
[[nodiscard]] SolveReport solveProgram(LPProgram& lp, const std::vector<double>& cost,
                                       std::vector<double>& x, std::vector<int>& rowState,
                                       std::vector<int>* states = nullptr);

// Where rows to add come from: the rows a solution violates, most violated first, none when
// it is accepted.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual std::vector<NewRow> violatedRows(const LPProgram& lp, const std::vector<double>& x) = 0;
    // The rows of the last answer that go into the program (the most violated when a limit
    // cuts the answer short).
    virtual void accepted(const std::vector<NewRow>&) {}
    // Whether its rows are the program's own (rows its build left out): all of them go in,
    // whatever the limits, since without them the solution is not the program's.
    virtual bool ownRows() const { return false; }
};

// The limits apply to the rows that are not the program's own (and the solves that add them).
struct GenerationLimits {
    int rounds = 20; // solves after the first
    int rows = 0;    // rows added in all
};

struct Generation {
    int rounds = 0;      // solves after the first that added rows not the program's own
    int rowsAdded = 0;   // rows added in them
    int passes = 0;      // solves after the first that added rows of the program's own
    bool capped = false; // a limit ended it while a source still had rows
    SolveReport last;    // of the last solve
};

// Row generation after a solve of the solver's program (its report `first`; x, rowState and
// states as it left them): each round takes the rows of the first source that has any, inserts
// them and solves the program again from the final working set, until no source has rows, a
// solve is not feasible, or a limit is reached. A round that would exceed the row limit takes
// the most violated rows that fit. after(report, round or pass, rows of the round, own rows)
// is told of every solve.
Generation generateRows(ProgramSolver& solver, const std::vector<RowSource*>& sources,
                        const SolveReport& first, std::vector<double>& x,
                        std::vector<int>& rowState, std::vector<int>& states,
                        const GenerationLimits& limits,
                        const std::function<void(const SolveReport&, int, int, bool)>& after = {});

} // namespace calc
