// The calculation input as the front end writes it for the module: one record (nine integers,
// twelve reals) per project, absolute motion specification and restriction, in tree order.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/message.h"
#include "model/tree.h"

namespace model {

inline constexpr const char* kInconsistentProject =
    "Das aktuelle Projekt enthält Inkonsistenzen\rund konnte nicht berechnet werden.";

// Standard values of the advanced settings, which the editor shows while they are off.
inline constexpr std::int32_t kDefaultSamples = 8; // "Proben pro Optimierungsschritt"
inline constexpr std::int32_t kDefaultSteps = 20;  // "Optimierungsschritte"
inline constexpr double kDefaultStepWidth = 0.25;  // "Suchschrittweite"

// "Schranken auf dem ganzen Zyklus einhalten": the project's RPar[3], passed to the module
// unchanged, is the tolerance as a fraction of a restriction's band; 0, a negative or a
// non-finite value switches it off. New projects start with it on.
inline constexpr double kDefaultWholeCycleTolerance = 0.001; // 0.1 %
// The tolerance when the switch is on, else 0.
double wholeCycleTolerance(const TProject& project);

// The calculation input of the project of node: its text, and for each record (numbered from
// 1 in the records' IPar[9], by which the module's messages and varied records name them) the
// object it was written from: objects[n - 1] is record n. Writing changes nothing.
struct CalcInput {
    std::string text;
    std::vector<const Node*> objects;
};
// The project's RPar[3] (whole-cycle tolerance) goes through unchanged; its RPar[11] and
// RPar[12] (reached beta, result code) are written as 0: they are results, not input.
CalcInput writeCalcInput(const Node& node);

// The calculation input of the project as it decides the results: the text of writeCalcInput
// without the slots only the project file uses (AllCurrent of the project, currency and result
// count of the motion specifications). Two equal fingerprints give the same calculation.
std::string inputFingerprint(const Node& project);

// Calls f for the object of every record of the project's calculation input, in input order:
// the project, each absolute motion specification followed by its restrictions, the
// restrictions of the relative specifications.
void forEachInputRecord(const Node& project, const std::function<void(const Node&)>& f);

// Writes the text to a file; a message when the file cannot be written.
std::optional<Message> writeCalcInputFile(const CalcInput& input, const std::string& path);

} // namespace model
