#pragma once

#include "calc/mslok.h"
#include "calc/run_state.h"

namespace calc {

// The random search: shifts the angles of the restrictions of every global optimisation group
// together and keeps the shifts that raise the reachable beta. first is the result of the
// first stage search. Writes the improved results and the varied records.
void randomSearch(RunState& run, const StageResult& first);

// The shift of one trial applied to one record (exposed for tests): base and input are the
// record's reals as last accepted and as read, u the drawn value of its group.
void shiftRecord(Record& r, const Record& base, const Record& input, double u);

} // namespace calc
