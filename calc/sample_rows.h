// Row generation over a program's own sample rows. The program of a level has a row at every
// sample angle of its interval restrictions, yet at the optimum only a few of them are in the
// working set. The build makes the rows of every few sample angles only (LPProgram::
// sampleStride); after a solve every row left out that the solution violates beyond the
// solver's feasibility tolerance is made and inserted at its place, and the program is solved
// again from where it ended, until none is violated: the optimum of the whole program, reached
// on a smaller one (less work per iteration, a shorter path, less memory).
#pragma once

#include <vector>

#include "calc/msinp.h"
#include "calc/msmod.h"
#include "calc/program_solver.h"

namespace calc {

// The tolerance within which a row left out counts as held: the solver's own feasibility
// tolerance (its default, the square root of the machine precision), so that a solution of the
// smaller program that holds every row left out within it is one of the whole program.
double sampleRowTolerance();

// The record of every row of the program lp, those left out included, in order (no rows
// inserted since the build).
std::vector<int> allRowRecords(const LPProgram& lp);

// The rows of a program: those it holds, and those left out that its solutions violate. The
// rows of the program are numbered as if all were held ("all rows": restriction after
// restriction, each sample angle's rows in the order the build makes them).
class SampleRows : public RowSource {
public:
    // lp: the program as built, before any rows are inserted.
    SampleRows(const RunInput& input, const LPProgram& lp);

    int allRows() const { return static_cast<int>(held_.size()); }
    int held() const; // rows of the program's own that lp holds

    // The rows left out that `states` (variables, then all rows) puts in a working set go into
    // lp with those states; returns the states of lp's rows (variables first) to start from,
    // empty when `states` does not fit.
    std::vector<int> startFrom(LPProgram& lp, const std::vector<int>& states);

    // The rows left out that x violates, most violated first, at their places in lp (the
    // program with the rows held and any inserted since), with the row's coefficients as the
    // build makes them.
    std::vector<NewRow> violatedRows(const LPProgram& lp, const std::vector<double>& x) override;
    void accepted(const std::vector<NewRow>& rows) override;
    bool ownRows() const override { return true; }

    // The states of all rows (variables first) from those of lp's rows: a row left out gets the
    // state the solver's final rule gives its value at x (-2 below its lower bound by more than
    // the tolerance, -1 above its upper one, else 0; it has no state of the solver's).
    std::vector<int> allStates(const LPProgram& lp, const std::vector<int>& states,
                               const std::vector<double>& x) const;
    // For the violation report: the records and states of all rows (`all`, as allStates gives
    // them for `states`), with the rows inserted into lp that are not the program's own after
    // each restriction's.
    void reportRows(const LPProgram& lp, const std::vector<int>& states,
                    const std::vector<int>& all, std::vector<int>& records,
                    std::vector<int>& rowStates) const;

private:
    // Where each restriction's rows begin among all rows, and where they end (the next one's
    // first).
    int firstOf(std::size_t q) const { return first_[q]; }
    int endOf(std::size_t q) const { return q + 1 < first_.size() ? first_[q + 1] : allRows(); }
    // The values at x of the rows left out (all rows; 0 where held).
    std::vector<double> leftOutValues(const LPProgram& lp, const std::vector<double>& x) const;
    // What row i of all rows samples.
    RowSpec specOf(const LPProgram& lp, int i) const;
    NewRow makeRow(const LPProgram& lp, int i, int state) const;
    int finalState(const RestrictionRows& r, double value) const;

    const RunInput& input_;
    std::vector<int> first_; // per restriction
    std::vector<char> held_; // per row of all rows
    std::vector<int> owner_; // per row of all rows: its restriction
};

} // namespace calc
