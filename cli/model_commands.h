// The command-line tool tervana-cli: the project model for scripts and tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// Runs one subcommand (args without the program name). Exit status: 0 success, 1 failure
// (including inconsistencies found by "check"), 2 bad arguments.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cli
