// Solver options: the slots that option lines set and that persist from call to call, and the
// working values a solve derives from them.
#pragma once

#include <array>
#include <string_view>

namespace lp {

inline constexpr int kUnsetInt = -11111;
inline constexpr double kUnsetReal = -11111.0;

// Integer option slots, IOPT[1..30].
enum IntSlot : int {
    kPrintUnit = 1,
    kMonitoringUnit = 2,
    kIterationLimit = 3,
    kCheckFrequency = 4,
    kExpandFrequency = 5,
    kStart = 6,       // 0 Cold, 1 Warm
    kProblemType = 7, // 1 FP, 2 LP, anything else invalid
    kMinSum = 8,      // minimum sum of infeasibilities: 1 yes, 0 no
    kPrintLevel = 9,
    kSteepestEdge = 10, // the rule of leaving the working set: 1 steepest edge, 0 the default
};
// Real option slots, ROPT[1..30].
enum RealSlot : int {
    kBigBnd = 1,  // infinite bound size
    kBigStep = 2, // infinite step size
    kCrashTol = 3,
    kFeasTol = 4,
};

inline constexpr int kColdStart = 0;
inline constexpr int kWarmStart = 1;
inline constexpr int kTypeFP = 1;
inline constexpr int kTypeLP = 2;
inline constexpr int kTypeInvalid = 3;
inline constexpr int kExpandNever = 9999999;

struct OptionSlots {
    std::array<int, 31> IOPT;    // IOPT[1..30]; element 0 unused
    std::array<double, 31> ROPT; // ROPT[1..30]; element 0 unused
    OptionSlots() { reset(); }
    void reset() {
        IOPT.fill(kUnsetInt);
        ROPT.fill(kUnsetReal);
    }
};

// The slots of this process: unset at start, set by option lines, kept across solves.
OptionSlots& optionSlots();

// Reads one option line (up to 72 characters are significant).
void optionLine(std::string_view line);

// The next option line starts a new batch of the option listing (called by every solve).
void startOptionBatch();

// Working values of one solve: the slots with their defaults worked out for N and NCLIN.
struct SolveOptions {
    int printUnit = 6;
    int monitoringUnit = -1;
    int iterationLimit = 0;
    int checkFrequency = 50;
    int expandFrequency = 5;
    int start = kColdStart;
    int problemType = kTypeLP;
    int minSum = 0;
    int printLevel = 10;
    int steepestEdge = 0;
    double bigbnd = 9.9999e19;
    double bigstep = 9.9999e19;
    double crashTol = 0.01;
    double feasTol = 0.0;
};

SolveOptions resolveOptions(const OptionSlots& slots, int n, int nclin);

} // namespace lp
