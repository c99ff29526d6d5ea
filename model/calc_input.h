// The calculation input as the front end writes it for the module: one record (nine integers,
// twelve reals) per project, absolute motion specification and restriction, in tree order.
#pragma once

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

// The calculation input of the project of node: its text, and for each record (numbered from
// 1 in the records' IPar[9], by which the module's messages and varied records name them) the
// object it was written from: objects[n - 1] is record n. Writing changes nothing.
struct CalcInput {
    std::string text;
    std::vector<const Node*> objects;
};
CalcInput writeCalcInput(const Node& node);

// Writes the text to a file; a message when the file cannot be written.
std::optional<Message> writeCalcInputFile(const CalcInput& input, const std::string& path);

} // namespace model
