// The subcommands of tervana-cli that draw: "plot" (the diagrams of a calculated project) and
// "report" into a PDF, by the desktop program's own drawing code, without a window.
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

// "report FILE.k4p -o OUT.pdf": the report drawn as the report window prints it. Needs a
// QApplication. Exit status as for "report".
int runReportPdfCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Whether args (args[0] == "report") ask for a PDF.
bool wantsReportPdf(const std::vector<std::string>& args);

} // namespace cli
