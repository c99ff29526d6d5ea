// The results of a calculation enter the project here, and only here: the control of the run
// (calcctl) hands over what it read from the module's files, and these operations set the
// series, the derived q and M, the actual values, the relative motions and every result flag,
// and tell the observers.
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "model/containers.h"
#include "model/tree.h"

namespace model {

// Start of a run of the project (its calculation input is written): the project is Locked
// and Changed; the written objects (project, absolute motion specifications, restrictions) are
// no longer Modified and each written restriction's GlobalPar is a copy of its RPar.
void startCalculation(Node& project);

// Restriction parameters as the random search varied them: the restriction and its RPar[1..12].
using VariedParameters = std::vector<std::pair<const Node*, std::array<double, 13>>>;

// What a finished run hands over.
struct CalcResults {
    // The run ended with results to read (result code 0 or 1) or was a test-mode run.
    bool ok = false;
    // The s series of every absolute motion specification, in tree order; a specification
    // missing from the list (its file could not be read) means the run yields no results.
    std::vector<std::pair<const Node*, TVector>> series;
    // The restriction parameters as the random search varied them; none when the file could not
    // be read, in which case every restriction's GlobalPar becomes a copy of its RPar.
    std::optional<VariedParameters> varied;
};

struct PublishOutcome {
    bool stored = false;           // the project keeps results (ResultsStored)
    bool derivationFailed = false; // q could not be formed for some motion (resonance)
};

// The end of every calculation attempt of project, successful or not: results stored, q and
// M derived (in test mode from the trial values, keeping the series and actual values), actual
// values, relative motions, then Calculated, AllCurrent, HasResults, ResultsCurrent and Locked.
// This is the only place besides reading a file where results become current.
PublishOutcome publishResults(Node& project, const CalcResults& results);

} // namespace model
