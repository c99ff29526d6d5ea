// Debugging and benchmarking aid: when the environment variable KQ4_DUMP_LP names a directory,
// the program of every level the run solves is written there, with all its rows as the build
// makes them (not the rows the solves held), as a free-format MPS file (lp0001.mps, lp0002.mps,
// ...).
#pragma once

#include <ostream>
#include <vector>

#include "calc/msmod.h"

namespace calc {

void writeMps(std::ostream& out, const LPProgram& lp, const std::vector<double>& cost,
              const char* name);
void dumpProgram(const LPProgram& lp, const std::vector<double>& cost);
bool dumpWanted(); // KQ4_DUMP_LP is set

} // namespace calc
