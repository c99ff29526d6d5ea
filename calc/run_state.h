// State of one run of the calculation module and what it uses of its surroundings.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "calc/listing.h"
#include "calc/msinp.h"
#include "calc/result_code.h"

namespace calc {

// What a run uses of its surroundings; tests replace any of it.
struct RunEnvironment {
    std::istream* in = nullptr;   // console input (the file-name prompt)
    std::ostream* out = nullptr;  // console output (listing without command-line arguments)
    std::ostream* diag = nullptr; // standard error: files that cannot be created
    std::function<double()> clock;
    std::function<void()> beep;
    std::function<double()> random; // uniform on [0, 1)
    std::string resultCodeFile = "kq4.err";
    // Each program of a stage search after the first starts from the working set where an
    // earlier one ended; false solves every program from nothing (for comparisons).
    bool warmStarts = true;
    // A program is built with the rows of every sampleStride-th sample angle of its interval
    // restrictions, the rows left out that its solutions violate added until none is (the
    // optimum of the whole program); 1 builds and solves it with all its rows at once.
    int sampleStride = 4;
    // The solver leaves the working set by the steepest edge; false: by the largest scaled
    // multiplier (the solver's default). Both for comparisons.
    bool steepestEdge = true;
};

// Per-object values of the last build of the linear program.
struct ObjectBuild {
    double etaMax = 0.0; // eta max at the level built
    double etaMin = 0.0; // the first grid value
    double theta = 0.0;
};

// State of one run, all local to it.
struct RunState {
    RunEnvironment* env = nullptr;
    ResultCode code = ResultCode::Normal;
    int reportMode = 0;     // 1 when the name was asked for, else the second argument
    bool beep = true;       // beep switch
    double startTime = 0.0; // base of every elapsed-time figure
    int resultsWritten = 0; // result sets written by the driver
    double bestBeta = 0.0;
    double bestBetaWritten = 0.0;
    double progress = 0.0;
    double progressStep = 0.1;
    bool maximumReached = false;
    bool minimumFeasible = false;
    std::string name; // the input name as given
    RunInput input;
    Records records; // the records the program is built from (varied by the random search)
    std::vector<double> solution;     // LP solution of the best result
    std::vector<int> rowRecord;       // record number (1-based) of every row of the last build
    std::vector<int> rowState;        // solver state of every row of the last solve
    std::vector<ObjectBuild> objects; // per object, from the last build
    OutputStream listing;
    OutputStream errFile;

    double elapsed() const { return env->clock() - startTime; }
    void signal() const {
        if (beep) env->beep();
    }
};

} // namespace calc
