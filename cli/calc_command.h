// The subcommand "calc" of tervana-cli: the calculation of a project file (or, with --batch,
// of several) by the same code path as the program's own command, without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// args without the program name, args[0] == "calc". Needs a QCoreApplication. Exit status:
// 0 when results were obtained (for --batch: for every project), 1 otherwise, 2 bad arguments.
int runCalcCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kCalcHelp;

} // namespace cli
