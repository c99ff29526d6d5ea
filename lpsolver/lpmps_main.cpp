// lpmps: reads an MPS file, solves it once with LPSOLV (Cold start, IFAIL = -1, the workspace
// workspaceLayout gives) and prints as its last line
//     status=<exit code> objective=<value, 12 significant digits> iterations=<NITER>
// Usage: lpmps [--print-level P] [--fp] [--steepest-edge] [--fixed | --free] FILE.mps
// (lpmpsUsage()).
// Exit status 0 once the solver has run (its outcome is the status= field), 2 for bad
// arguments or a file that cannot be read as MPS (the message names the file and line).
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "lpsolver/lpsolv.h"
#include "lpsolver/mps/lpmps_support.h"
#include "lpsolver/mps/mps_reader.h"
#include "lpsolver/workspace.h"

namespace {

void putText(std::FILE* f, std::string_view s) {
    std::fwrite(s.data(), 1, s.size(), f);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    lp::LpmpsOptions options;
    std::string error;
    switch (lp::parseLpmpsArgs(args, options, error)) {
    case lp::LpmpsArgs::Help:
        putText(stdout, lp::lpmpsUsage());
        return 0;
    case lp::LpmpsArgs::Bad:
        putText(stderr, "lpmps: " + error + "\n");
        putText(stderr, lp::lpmpsUsage());
        return 2;
    case lp::LpmpsArgs::Run:
        break;
    }

    lp::MpsProblem p;
    if (lp::readMps(options.file, p, error, options.format) != lp::MpsStatus::Read) {
        putText(stderr, "lpmps: " + error + "\n");
        return 2;
    }
    for (const std::string& w : p.warnings) putText(stderr, "lpmps: warning: " + w + "\n");

    const lp::WorkspaceLayout ws = lp::workspaceLayout(p.N, p.NCLIN, !options.feasiblePoint);
    if (ws.needInt > INT_MAX || ws.needReal > INT_MAX) {
        putText(stderr, "lpmps: " + options.file + ": too large for the solver's workspace\n");
        return 2;
    }
    const int niwork = static_cast<int>(ws.needInt), nwork = static_cast<int>(ws.needReal);
    for (const std::string& line : lp::lpmpsOptionLines(options)) LPOPTN(line.c_str());

    const auto n = static_cast<std::size_t>(p.N);
    const auto m = static_cast<std::size_t>(p.NCLIN);
    // Every array at least one element long, so that no pointer is null for N = 0.
    std::vector<int> istate(std::max<std::size_t>(1, n + m), 0);
    std::vector<double> x(std::max<std::size_t>(1, n), 0.0);
    std::vector<double> axval(std::max<std::size_t>(1, m), 0.0);
    std::vector<double> mult(std::max<std::size_t>(1, n + m), 0.0);
    std::vector<int> iwork(static_cast<std::size_t>(std::max(1, niwork)), 0);
    std::vector<double> work(static_cast<std::size_t>(std::max(1, nwork)), 0.0);
    p.A.resize(std::max<std::size_t>(p.A.size(), 1), 0.0);
    p.BL.resize(std::max<std::size_t>(p.BL.size(), 1), 0.0);
    p.BU.resize(std::max<std::size_t>(p.BU.size(), 1), 0.0);
    p.COST.resize(std::max<std::size_t>(p.COST.size(), 1), 0.0);
    lp::lpmpsStartPoint(p.N, p.BL.data(), p.BU.data(), x.data());

    int niter = 0;
    double fval = 0.0;
    int ifail = -1;
    LPSOLV(p.N, p.NCLIN, p.A.data(), p.LDA, p.BL.data(), p.BU.data(), p.COST.data(), istate.data(),
           x.data(), niter, fval, axval.data(), mult.data(), iwork.data(), niwork, work.data(),
           nwork, ifail);

    double objective = fval + p.objConstant;
    if (p.maximize) objective = -objective; // back to the sense the file states
    std::fflush(stdout);
    putText(stdout, lp::lpmpsResultLine(ifail, objective, niter) + "\n");
    return 0;
}
