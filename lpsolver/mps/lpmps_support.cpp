#include "lpsolver/mps/lpmps_support.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace lp {

namespace {

std::string decimal(long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, end);
}

bool parseInt(std::string_view s, int& value) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

std::string_view lpmpsUsage() {
    return "usage: lpmps [--print-level P] [--fp] [--steepest-edge] [--fixed | --free] FILE.mps\n"
           "  Reads an MPS file and solves it once with LPSOLV (Cold start). The last line\n"
           "  printed is: status=<exit code> objective=<value> iterations=<n>\n"
           "  (objective: the solver's final value plus the objective constant of the file,\n"
           "  in the file's own sense when it says OBJSENSE MAX).\n"
           "  --print-level P  passes \"Print level P\" to the solver\n"
           "  --fp             finds a feasible point only (\"Problem type FP\")\n"
           "  --steepest-edge  leaves the working set by the steepest edge instead of the\n"
           "                   largest scaled multiplier (\"Steepest edge 1\")\n"
           "  --fixed, --free  reads the file as fixed or free MPS only (default: free,\n"
           "                   and fixed when free reading fails)\n"
           "  Exit status 2: bad arguments, or a file that cannot be read as MPS.\n";
}

LpmpsArgs parseLpmpsArgs(std::span<const std::string> args, LpmpsOptions& options,
                         std::string& error) {
    options = LpmpsOptions{};
    error.clear();
    bool haveFile = false, formatGiven = false;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--help" || a == "-h") return LpmpsArgs::Help;
        if (a == "--print-level" || a.starts_with("--print-level=")) {
            std::string_view value;
            if (a == "--print-level") {
                if (k + 1 == args.size()) {
                    error = "--print-level needs a value";
                    return LpmpsArgs::Bad;
                }
                value = args[++k];
            } else {
                value = std::string_view(a).substr(std::string_view("--print-level=").size());
            }
            if (!parseInt(value, options.printLevel)) {
                error = "--print-level needs an integer, not '" + std::string(value) + "'";
                return LpmpsArgs::Bad;
            }
            options.printLevelGiven = true;
        } else if (a == "--fp") {
            options.feasiblePoint = true;
        } else if (a == "--steepest-edge") {
            options.steepestEdge = true;
        } else if (a == "--fixed" || a == "--free") {
            if (formatGiven) {
                error = "give one of --fixed and --free";
                return LpmpsArgs::Bad;
            }
            formatGiven = true;
            options.format = a == "--fixed" ? MpsFormat::Fixed : MpsFormat::Free;
        } else if (a.size() > 1 && a.front() == '-') {
            error = "unknown option '" + a + "'";
            return LpmpsArgs::Bad;
        } else {
            if (haveFile) {
                error = "one MPS file only ('" + options.file + "', '" + a + "')";
                return LpmpsArgs::Bad;
            }
            options.file = a;
            haveFile = true;
        }
    }
    if (!haveFile) {
        error = "no MPS file given";
        return LpmpsArgs::Bad;
    }
    return LpmpsArgs::Run;
}

std::vector<std::string> lpmpsOptionLines(const LpmpsOptions& options) {
    std::vector<std::string> lines;
    if (options.printLevelGiven) lines.push_back("Print level " + decimal(options.printLevel));
    if (options.feasiblePoint) lines.emplace_back("Problem type FP");
    if (options.steepestEdge) lines.emplace_back("Steepest edge 1");
    return lines;
}

void lpmpsStartPoint(int N, const double* BL, const double* BU, double* X) {
    for (int j = 0; j < N; ++j) {
        double x = 0.0;
        if (BL[j] > x) x = BL[j];
        if (BU[j] < x) x = BU[j];
        X[j] = x;
    }
}

std::string significant12(double v) {
    if (v == 0.0) v = 0.0; // no "-0"
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 12);
    (void)ec;
    return std::string(buf, end);
}

std::string lpmpsResultLine(int status, double objective, int iterations) {
    return "status=" + decimal(status) + " objective=" + significant12(objective) +
           " iterations=" + decimal(iterations);
}

} // namespace lp
