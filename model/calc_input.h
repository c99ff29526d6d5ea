// The calculation input as the front end writes it for the module: one record (nine integers,
// twelve reals) per project, absolute motion specification and restriction, in tree order.
#pragma once

#include <optional>
#include <string>

#include "message.h"
#include "tree.h"

namespace model {

inline constexpr const char* kInconsistentProject =
    "Das aktuelle Projekt enthält Inkonsistenzen\rund konnte nicht berechnet werden.";

// Standard values of the advanced settings, which the editor shows while they are off.
inline constexpr std::int32_t kDefaultSamples = 8; // "Proben pro Optimierungsschritt"
inline constexpr std::int32_t kDefaultSteps = 20;  // "Optimierungsschritte"
inline constexpr double kDefaultStepWidth = 0.25;  // "Suchschrittweite"

// The text of the calculation input of the project of node. Stores the running record
// numbers in IPar[9], clears Modified of each written object and resets each written
// restriction's GlobalPar to its RPar.
std::string writeCalcInput(Node& node);

// Writes it to a file; a message when the file cannot be written.
std::optional<Message> writeCalcInputFile(Node& node, const std::string& path);

} // namespace model
