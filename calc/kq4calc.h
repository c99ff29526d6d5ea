// The run driver of the calculation module: one run reads one input file, calculates and
// leaves its outcome as a result code in "kq4.err".
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "listing.h"
#include "msinp.h"
#include "result_code.h"

namespace calc {

// What a run uses of its surroundings; tests replace any of it.
struct RunEnvironment {
    std::istream* in = nullptr;   // console input (the file-name prompt)
    std::ostream* out = nullptr;  // console output (listing without command-line arguments)
    std::ostream* diag = nullptr; // standard error: files that cannot be created
    std::function<double()> clock;
    std::function<void()> beep;
    std::string resultCodeFile = "kq4.err";
};

// The console, process-time clock and terminal bell of this process.
RunEnvironment systemEnvironment();

// State of one run, all local to it.
struct RunState {
    ResultCode code = ResultCode::Normal;
    int reportMode = 0;     // 1 when the name was asked for, else the second argument
    bool beep = true;       // beep switch
    double startTime = 0.0; // base of every elapsed-time figure
    int resultsWritten = 0; // result sets written by the driver
    bool firstResultPending = true;
    double bestBeta = 0.0;
    double bestBetaWritten = 0.0;
    double progress = 0.0;
    double progressStep = 0.1;
    std::string name; // the input name as given
    RunInput input;
    OutputStream listing;
    OutputStream errFile;
};

// One run. args are the command-line arguments after the program name. Returns the result
// code that was written to the result code file.
ResultCode KQ4CALC(const std::vector<std::string>& args, RunEnvironment& env);

} // namespace calc
