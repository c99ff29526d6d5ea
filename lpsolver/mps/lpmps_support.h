// The command-line solver lpmps, apart from the solve itself: its arguments, the option lines,
// the starting point and its result line. lpmps_main.cpp only glues these to readMps,
// workspaceLayout and LPSOLV.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lpsolver/mps/mps_reader.h"

namespace lp {

struct LpmpsOptions {
    std::string file;
    bool printLevelGiven = false; // --print-level P: passes "Print level P" to LPOPTN
    int printLevel = 0;
    bool feasiblePoint = false;         // --fp: passes "Problem type FP" to LPOPTN
    bool steepestEdge = false;          // --steepest-edge: passes "Steepest edge 1" to LPOPTN
    MpsFormat format = MpsFormat::Auto; // --fixed, --free
};

enum class [[nodiscard]] LpmpsArgs{
    Run,  // options filled in
    Help, // --help: print the usage to standard output
    Bad,  // error holds what is wrong; print it with the usage to standard error
};

LpmpsArgs parseLpmpsArgs(std::span<const std::string> args, LpmpsOptions& options,
                         std::string& error);

std::string_view lpmpsUsage();

// The option lines lpmps passes to LPOPTN before the solve, in order ("Print level P",
// "Problem type FP", "Steepest edge 1"); none without options.
std::vector<std::string> lpmpsOptionLines(const LpmpsOptions& options);

// The initial estimate of a Cold start: 0 moved onto the nearer bound when 0 lies outside a
// variable's bounds. X has N elements; BL and BU hold (at least) the N variable bounds.
void lpmpsStartPoint(int N, const double* BL, const double* BU, double* X);

// The number with 12 significant digits, shortest general form, "." as the point ("-464.753142857",
// "1.2345e+20"); -0 is written as 0.
std::string significant12(double v);

// "status=<code> objective=<value, 12 significant digits> iterations=<n>"
std::string lpmpsResultLine(int status, double objective, int iterations);

} // namespace lp
