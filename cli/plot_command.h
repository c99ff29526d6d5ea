// The subcommand "plot" of tervana-cli: the diagrams of a calculated project drawn into a file
// by the desktop program's own drawing code, without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// args without the program name, args[0] == "plot". Needs a QGuiApplication (the offscreen
// platform does). Exit status: 0 written, 1 the file could not be read or written, 2 bad
// arguments.
int runPlotCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kPlotHelp;

} // namespace cli
