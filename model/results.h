// The results of a calculation enter the project here, and only here: the control of the run
// (calcctl) hands over what it read from the module's files, and these operations set the
// series, the derived q and M, the actual values, the relative motions and every result flag,
// and tell the observers.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/containers.h"
#include "model/tree.h"

namespace model {

// Start of a run of the project (its calculation input is written): the project is Locked
// and Changed; the written objects (project, absolute motion specifications, restrictions) are
// no longer Modified and each written restriction's GlobalPar is a copy of its RPar. The
// fingerprint of the input is kept for the run (RunInput).
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
    // The module's result code (0 or 1 for results), the level beta of the written results as
    // the coefficient files give it (none: not given), and the wall-clock seconds of the run.
    int code = 0;
    std::optional<double> beta;
    double seconds = -1.0;
};

struct PublishOutcome {
    bool stored = false;           // the project keeps results (ResultsStored)
    bool derivationFailed = false; // q could not be formed for some motion (resonance)
};

// The end of every calculation attempt of project, successful or not: results stored, q and
// M derived (in test mode from the trial values, keeping the series and actual values), actual
// values, relative motions, then Calculated, AllCurrent, HasResults, ResultsCurrent and Locked.
// This is the only place besides reading a file and reviveResults where results become
// current. Stored results keep the reached beta in the project's RPar[11] and the result code
// + 10 in RPar[12] (0 when the beta is not known), and the fingerprint of the run's input
// (CalculatedInput); a run without results clears all three.
PublishOutcome publishResults(Node& project, const CalcResults& results);

// When the project keeps results whose input fingerprint equals input, the fingerprint of what
// it would write now (inputFingerprint; not looked at without CalculatedInput), those results
// are current again: every motion's ResultsCurrent, AllCurrent, the restrictions' GlobalPar of
// the run, q and M, the relative motions and the actual values follow, and what is written is
// no longer Modified. True when that is the case (whether or not something was stale). Called
// by updateCurrency after every edit; nothing else revives.
bool reviveResults(Node& project, const std::string& input);

// The fingerprint of what the project's current results were calculated from, after reading a
// file whose flags say every result is current (the file is then taken as their input).
void adoptCurrentInput(Node& project);

// The result of the project's current results as the project keeps it: reached beta, the
// module's code (0: maximal requirements not met, 1: met) and the seconds of the run (< 0 when
// not known). None when the project has no current results or they were not recorded (files
// of older versions).
struct KeptResult {
    double beta = 0.0;
    int code = 0;
    double seconds = -1.0;
};
std::optional<KeptResult> keptResult(const Node& project);
// The reached beta of the stored results, current or not, when the project keeps it.
std::optional<double> recordedBeta(const TProject& project);

// "β = 0,9783 — Maximalforderungen nicht erfüllt, 2,4 s": the text of a result with code 0 or 1
// (code 1 at beta 0: a project without variable requirements), numbers with the given decimal
// separator, the time only when seconds >= 0.
std::string resultText(const KeptResult& result, char decimalSeparator);
// "2,4 s": seconds with one decimal.
std::string secondsText(double seconds, char decimalSeparator);

} // namespace model
