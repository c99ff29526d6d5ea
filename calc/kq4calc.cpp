#include "calc/kq4calc.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "calc/msfnme.h"
#include "calc/mslok.h"
#include "calc/msout.h"
#include "calc/platform.h"
#include "calc/random_search.h"
#include "fio/format.h"
#include "fio/freeread.h"

namespace calc {

namespace {

constexpr const char* kPrompt = "kq4calc V.2.1: Input-filename: ";

// The input name from the command line or, without arguments, from the console prompt.
// Returns false when there is no usable name.
bool obtainName(const std::vector<std::string>& args, RunEnvironment& env, RunState& run) {
    if (args.empty()) {
        run.reportMode = 1;
        *env.out << kPrompt << std::flush;
        std::string line;
        if (env.in != nullptr) std::getline(*env.in, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.name = line;
    } else {
        run.name = args[0];
        if (args.size() > 1 && !fio::parseInteger(args[1], run.reportMode)) {
            *env.diag << "kq4calc: Berichtsmodus ist keine ganze Zahl: " << args[1]
                      << " (0 wird verwendet)\n";
            run.reportMode = 0;
        }
    }
    const auto last = run.name.find_last_not_of(' ');
    run.name.resize(last == std::string::npos ? 0 : last + 1);
    if (run.name.empty()) {
        *env.diag << "kq4calc: kein Dateiname angegeben\n";
        return false;
    }
    if (run.name.size() > static_cast<std::size_t>(kMaxNameLength)) {
        *env.diag << "kq4calc: Dateiname laenger als " << kMaxNameLength << " Zeichen: " << run.name
                  << '\n';
        return false;
    }
    return true;
}

// Steps between reading the input and writing the result code: the stage search, the result
// files and the random search.
void calculate(RunState& run) {
    const RunParameters& p = run.input.params;
    run.progressStep = 0.1;
    if (p.randomVariables > 0 && p.passes * static_cast<long long>(p.trials) > 0)
        run.progressStep = 1.0 / (static_cast<double>(p.passes) * p.trials);
    run.records = run.input.records;
    run.minimumFeasible = false;
    const StageResult first = MSLOK(run);
    run.solution = first.solution;
    run.bestBeta = first.beta;

    const bool haveSolution =
        static_cast<std::int64_t>(first.solution.size()) == run.input.variableCount;
    if ((toInt(run.code) >= 0 || run.minimumFeasible) && haveSolution) {
        ++run.resultsWritten;
        MSOUT(run, first.solution, first.beta);
    }

    // The random search; a resonance with fixed frequency ratios recurs in every trial and
    // ends the calculation as it stands.
    const ResultCode c = run.code;
    if (run.maximumReached || toInt(c) > 0 || c == ResultCode::TooLarge ||
        c == ResultCode::EtaGridTooLong || c == ResultCode::Resonance || p.randomVariables < 1)
        return;
    if (!run.input.variableRequirements) {
        run.listing.line(" Keine variablen Forderungen ! ");
        run.code = ResultCode::NotFeasible;
        return;
    }
    randomSearch(run, first);
    if (run.minimumFeasible && run.code == ResultCode::NotFeasible) run.code = ResultCode::Normal;
    // A trial that met the maximal requirements has had its result written; a later trial of
    // the same pass that did not must not turn that into "not met".
    if (run.resultsWritten > 0 && run.bestBeta >= p.betaMax) run.code = ResultCode::AllSatisfied;
    if (run.bestBeta == 0.0 && run.resultsWritten == 0) run.code = ResultCode::NotFeasible;
}

void writeResultCode(const RunState& run, RunEnvironment& env) {
    std::ofstream f(env.resultCodeFile, std::ios::out | std::ios::trunc | std::ios::binary);
    if (f) f << fio::listDirected({toInt(run.code)}) << '\n';
    if (!f) *env.diag << cannotCreateMessage(env.resultCodeFile) << '\n';
}

} // namespace

RunEnvironment systemEnvironment() {
    RunEnvironment env;
    env.in = &std::cin;
    env.out = &std::cout;
    env.diag = &std::cerr;
    env.clock = processSeconds;
    env.beep = terminalBeep;
    env.random = seededGenerator(std::getenv("KQ4_SEED"));
    env.warmStarts = std::getenv("KQ4_COLD_START") == nullptr;
    if (const char* stride = std::getenv("KQ4_SAMPLE_STRIDE"); stride != nullptr)
        env.sampleStride = std::max(1, std::atoi(stride));
    env.steepestEdge = std::getenv("KQ4_MULTIPLIER_RULE") == nullptr;
    return env;
}

ResultCode KQ4CALC(const std::vector<std::string>& args, RunEnvironment& env) {
    RunState run;
    run.env = &env;
    run.listing.attach(*env.out);

    // Input: name, listing and "err" files, records, run parameters, validation, layout.
    if (obtainName(args, env, run)) {
        if (!args.empty()) run.listing.create(MSFNME(run.name, "lst"), *env.diag);
        if (run.errFile.create(MSFNME(run.name, "err"), *env.diag)) run.errFile.line();
        run.code = MSINP(run.name, run.listing, run.input);
        run.beep = run.input.params.beep;
    } else {
        run.listing.line("Eingabefehler ");
        run.code = ResultCode::InputError;
    }

    run.progress = 0.0;
    if (run.beep) env.beep();
    run.startTime = env.clock();

    if (toInt(run.code) >= 0) calculate(run);

    if (run.resultsWritten < 1) violationReport(run);

    writeResultCode(run, env);
    run.errFile.close();
    run.listing.close();
    if (run.beep) {
        env.beep();
        env.beep();
    }
    return run.code;
}

} // namespace calc
