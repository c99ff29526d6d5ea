// The project file ".k4p": the project record, each absolute motion specification with its
// stored results and restrictions, then the restrictions of the relative specifications.
// Relative motion specifications, groups and members are rebuilt from the numbers when reading.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "model/message.h"
#include "model/tree.h"

namespace model {

inline constexpr const char* kProjectOpenFailed = "Projektdatei konnte nicht geöffnet werden.";
inline constexpr const char* kAssignmentErrors =
    "Die Datei enthält Zuordnungsfehler.\rDas Projekt konnte nicht geöffnet werden.";
inline constexpr const char* kWrongSaveExtension =
    "Die Sicherung muß mit der\rStandarderweiterung .k4p erfolgen.";

// The bytes of the project file. Writing changes nothing: saveProjectFile clears Modified
// and Changed once the file is in place.
std::string writeProject(const Node& project);

// A project read from the bytes of a project file, or the line (1-based) at which the file
// is damaged. Nothing of a damaged file survives. FileName is left empty for the caller.
struct ReadFailure {
    std::size_t line;
};
std::variant<std::unique_ptr<Node>, ReadFailure> readProject(std::string_view bytes);

// Whether the name ends exactly (case-sensitively) in ".k4p".
bool hasProjectExtension(const std::string& path);

// "Projekt öffnen": reads the file into a new project at the end of the tree.
std::variant<Node*, Message> openProject(ProjectTree& tree, const std::string& path);
// Reads a recently used file (no extension check).
std::variant<Node*, Message> openRecentProject(ProjectTree& tree, const std::string& path);

// Puts bytes into the file path whole or not at all: a temporary file in the same directory,
// flushed and synced, renamed over the old one (whose permissions it takes). 0, or the errno
// of the failed step (the old file is then untouched and no temporary file is left).
int replaceFile(const std::string& path, std::string_view bytes);

// Writes the project to path without ever destroying the previous file: a temporary file in
// the same directory, flushed and synced, renamed over the old one; then Modified of every
// object and Changed are cleared. On failure the old file and the flags are untouched, and the
// message names the file.
std::optional<Message> saveProjectFile(Node& project, const std::string& path);
// "Projekt &sichern": only for a FileName ending in ".k4p"; false when nothing was to do.
std::optional<Message> saveProject(Node& project, bool* saved = nullptr);
// "Projekt sichern &unter...": refuses another extension; sets FileName and the caption.
std::optional<Message> saveProjectAs(Node& project, const std::string& path);

// Whole file contents; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);

} // namespace model
