#include "kq4calc.h"

#include <fstream>
#include <iostream>

#include "fio/format.h"
#include "fio/freeread.h"
#include "msfnme.h"
#include "platform.h"

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
    // The linear programs are not part of this build yet: no result can be calculated.
    run.listing.line(" Stufensuche nicht verfuegbar");
    run.code = ResultCode::NotFeasible;
}

// Appended to the "err" file when the driver has written no result: the violated
// restrictions of the last program built (none when no program was built).
void appendViolationReport(RunState& run) {
    run.errFile.line("Verletzung folgender Restriktionen:");
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
    return env;
}

ResultCode KQ4CALC(const std::vector<std::string>& args, RunEnvironment& env) {
    RunState run;
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

    if (run.resultsWritten < 1) appendViolationReport(run);

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
