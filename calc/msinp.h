#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calc/listing.h"
#include "calc/records.h"
#include "calc/result_code.h"

namespace calc {

// Run parameters from the start record, with their defaults.
struct RunParameters {
    int objects = 0;         // n_obj
    int passes = 8;          // passes of the random search
    int trials = 20;         // trials per pass
    int bisectionSteps = 10; // bisection steps of the stage search
    int randomVariables = 0; // global optimisation groups (0 = no random search)
    int weightExponent = 0;  // spectrum weight exponent of the objective
    double stepWidth = 0.25; // search step width of the random search
    double betaMax = 1.0;    // beta maximum
    bool beep = true;        // acoustic signals
    // Bounds held on the whole cycle: the tolerance as a fraction of a restriction's band
    // (start record RPar[3]); 0 = off, only the sample angles hold.
    double wholeCycleTolerance = 0.0;
};

// One motion specification (object) and its place among the LP variables.
struct ObjectLayout {
    int nh = 0;             // harmonics
    int np = 0;             // polynomial terms
    double tableStep = 1.0; // angle step of the value tables, degrees
    std::int64_t first = 0; // first LP variable of the object (0-based offset)
};

struct RunInput {
    std::string fileName; // the input file that was read
    Records records;
    RunParameters params;
    std::vector<ObjectLayout> objects; // objects[m - 1] for object m
    std::int64_t variableCount = 0;
    bool variableRequirements = false;
    bool variableFrequencyRatios = false;

    const ObjectLayout& object(int m) const { return objects[static_cast<std::size_t>(m - 1)]; }
};

// Applies the start record's fields to the run parameters by their rules.
void applyStartRecord(const Record& start, RunParameters& params);

// Reads the input of a run from the first candidate of the name that can be read, takes the
// run parameters, validates the records and computes the variable layout. Failures are
// reported on the listing; the result is InputError then, else Normal.
[[nodiscard]] ResultCode MSINP(const std::string& name, OutputStream& listing, RunInput& input);

} // namespace calc
