#include "lpsolver/options.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fio/freeread.h"
#include "lpsolver/machine.h"
#include "lpsolver/print.h"

namespace lp {

namespace {

// A dictionary entry "WORD" or "SYNONYM:PRIMARY" (blanks before the colon are not part of it).
struct Entry {
    std::string_view word;
    std::string_view primary;
};

constexpr Entry kKeywords[] = {
    {"BEGIN", "BEGIN"},       {"CHECK", "CHECK"},
    {"COLD", "COLD"},         {"CRASH", "CRASH"},
    {"DEFAULTS", "DEFAULTS"}, {"END", "END"},
    {"EXPAND", "EXPAND"},     {"FEASIBILITY", "FEASIBILITY"},
    {"INFINITE", "INFINITE"}, {"ITERATIONS", "ITERATIONS"},
    {"ITERS", "ITERATIONS"},  {"ITNS", "ITERATIONS"},
    {"LIST", "LIST"},         {"MIN", "MINIMIZ"},
    {"MINIMIZ", "MINIMIZ"},   {"MONITORING", "MONITORING"},
    {"NOLIST", "NOLIST"},     {"PRINT", "PRINT"},
    {"PROBLEM", "PROBLEM"},   {"STEEPEST", "STEEPEST"},
    {"WARM", "WARM"},
};
constexpr Entry kSecondWords[] = {
    {"BOUND", "BOUND"}, {"NO", "NO"}, {"STEP", "STEP"}, {"TYPE", "TYPE"}, {"YES", "YES"},
};
constexpr Entry kProblemTypes[] = {
    {"FEASIBLE", "FP"},
    {"FP", "FP"},
    {"LINEAR", "LP"},
    {"LP", "LP"},
};

enum class Lookup { Found, NotFound, Ambiguous };

// A word matches every entry it is a leading part of; an exact match ends the search. Matches
// that lead to different primary entries make the word ambiguous.
template <std::size_t N>
Lookup lookUp(const Entry (&dict)[N], std::string_view word, std::string_view& primary) {
    if (word.empty()) return Lookup::NotFound;
    std::string_view found;
    for (const Entry& e : dict) {
        if (e.word.substr(0, word.size()) != word) continue;
        if (e.word.size() == word.size()) {
            primary = e.primary;
            return Lookup::Found;
        }
        if (!found.empty() && found != e.primary) return Lookup::Ambiguous;
        found = e.primary;
    }
    if (found.empty()) return Lookup::NotFound;
    primary = found;
    return Lookup::Found;
}

bool isSeparator(char c) {
    return c == ' ' || c == ':' || c == ',' || c == '=' || c == '(' || c == ')' || c == '\t';
}

// Up to 10 words of up to 16 characters, upper case.
std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size() && words.size() < 10) {
        while (i < line.size() && isSeparator(line[i])) ++i;
        if (i >= line.size()) break;
        std::string w;
        while (i < line.size() && !isSeparator(line[i])) {
            char c = line[i++];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (w.size() < 16) w.push_back(c);
        }
        words.push_back(w);
    }
    return words;
}

// Numeric: only digits, at most one D or E, at most two "-", at most two "+", at most one
// ".", and at least one digit.
bool isNumeric(std::string_view w) {
    int digits = 0, exps = 0, minus = 0, plus = 0, points = 0;
    for (char c : w) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == 'D' || c == 'E')
            ++exps;
        else if (c == '-')
            ++minus;
        else if (c == '+')
            ++plus;
        else if (c == '.')
            ++points;
        else
            return false;
    }
    return digits > 0 && exps <= 1 && minus <= 2 && plus <= 2 && points <= 1;
}

int toIntOption(double v) {
    if (!(v == v)) return 0;
    v = std::trunc(v);
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

struct BatchState {
    bool newBatch = true; // the next line starts a batch
    bool echo = false;
};

BatchState& batch() {
    static BatchState b;
    return b;
}

void message(std::string_view tmpl, std::string_view word) {
    unitWrite(kAdvisoryUnit, tmpl, {std::string(word)});
}

} // namespace

OptionSlots& optionSlots() {
    static OptionSlots slots;
    return slots;
}

void startOptionBatch() {
    batch().newBatch = true;
}

void optionLine(std::string_view line) {
    line = line.substr(0, std::min<std::size_t>(line.size(), 72));
    const std::string_view text = line.substr(0, line.find('*')); // the rest is a comment
    const std::vector<std::string> words = splitWords(text);
    const std::string first = words.empty() ? std::string() : words[0];

    // The option listing.
    BatchState& b = batch();
    if (b.newBatch) {
        b.newBatch = false;
        b.echo = first != "NOLIST";
        if (b.echo)
            unitWrite(kAdvisoryUnit, "(// A / A /)", {" Calls to LPOPTN", " ---------------"});
    }
    if (first == "NOLIST") b.echo = false;
    if (first == "LIST") b.echo = true;
    if (b.echo) unitWrite(kAdvisoryUnit, "( 6X, A )", {std::string(line)});

    if (words.empty() || first == "BEGIN" || first == "LIST" || first == "NOLIST" || first == "END")
        return;

    std::string_view key;
    switch (lookUp(kKeywords, first, key)) {
    case Lookup::Ambiguous:
        message("(' XXX  Ambiguous keyword:              ',A)", first);
        return;
    case Lookup::NotFound:
        message("(' XXX  Keyword not recognized:         ',A)", first);
        return;
    case Lookup::Found:
        break;
    }
    const std::string second = words.size() > 1 ? words[1] : std::string();
    const std::string third = words.size() > 2 ? words[2] : std::string();

    // The value: the first numeric word from the second on, else 0.
    double value = 0.0;
    for (std::size_t k = 1; k < words.size(); ++k) {
        if (isNumeric(words[k])) {
            if (!fio::parseReal(words[k], value) || !std::isfinite(value)) value = 0.0;
            break;
        }
    }
    const int ivalue = toIntOption(value);

    OptionSlots& s = optionSlots();
    if (key == "CHECK")
        s.IOPT[kCheckFrequency] = ivalue;
    else if (key == "COLD")
        s.IOPT[kStart] = kColdStart;
    else if (key == "WARM")
        s.IOPT[kStart] = kWarmStart;
    else if (key == "CRASH")
        s.ROPT[kCrashTol] = value;
    else if (key == "DEFAULTS")
        s.reset();
    else if (key == "EXPAND")
        s.IOPT[kExpandFrequency] = ivalue;
    else if (key == "FEASIBILITY")
        s.ROPT[kFeasTol] = value;
    else if (key == "ITERATIONS")
        s.IOPT[kIterationLimit] = ivalue;
    else if (key == "MONITORING")
        s.IOPT[kMonitoringUnit] = ivalue;
    else if (key == "PRINT")
        s.IOPT[kPrintLevel] = ivalue;
    else if (key == "STEEPEST")
        s.IOPT[kSteepestEdge] = ivalue;
    else if (key == "INFINITE") {
        std::string_view sub;
        if (lookUp(kSecondWords, second, sub) != Lookup::Found) {
            message("(' XXX  Second keyword not recognized:  ',A)", second);
        } else if (sub == "BOUND") {
            s.ROPT[kBigBnd] = value * 0.99999;
        } else if (sub == "STEP") {
            s.ROPT[kBigStep] = value;
        }
    } else if (key == "MINIMIZ") {
        std::string_view sub;
        if (lookUp(kSecondWords, second, sub) != Lookup::Found)
            message("(' XXX  Second keyword not recognized:  ',A)", second);
        if (third == "YES")
            s.IOPT[kMinSum] = 1;
        else if (third == "NO")
            s.IOPT[kMinSum] = 0;
    } else if (key == "PROBLEM") {
        std::string_view sub, type;
        if (lookUp(kSecondWords, second, sub) != Lookup::Found || sub != "TYPE") {
            message("(' XXX  Second keyword not recognized:  ',A)", second);
        } else if (lookUp(kProblemTypes, third, type) != Lookup::Found) {
            message("(' XXX  Third  keyword not recognized:  ',A)", third);
            s.IOPT[kProblemType] = kTypeInvalid;
        } else {
            s.IOPT[kProblemType] = type == "FP" ? kTypeFP : kTypeLP;
        }
    }
}

SolveOptions resolveOptions(const OptionSlots& s, int n, int nclin) {
    const MachineConstants& mc = machine();
    SolveOptions o;
    o.printUnit = kAdvisoryUnit;
    const auto& I = s.IOPT;
    const auto& R = s.ROPT;
    o.printLevel = I[kPrintLevel] == kUnsetInt ? 10 : I[kPrintLevel];
    o.checkFrequency = I[kCheckFrequency] <= 0 ? 50 : I[kCheckFrequency];
    o.expandFrequency = I[kExpandFrequency] <= 0 ? 5 : std::min(I[kExpandFrequency], kExpandNever);
    o.start = I[kStart] == kWarmStart ? kWarmStart : kColdStart;
    o.problemType = I[kProblemType] == kUnsetInt ? kTypeLP : I[kProblemType];
    o.minSum = I[kMinSum] < 0 ? 0 : I[kMinSum];
    o.steepestEdge = I[kSteepestEdge] == 1 ? 1 : 0;
    o.iterationLimit =
        I[kIterationLimit] < 0
            ? std::max(50, static_cast<int>(std::min<long long>(
                               5LL * (static_cast<long long>(n) + nclin), 2147483647LL)))
            : I[kIterationLimit];
    o.monitoringUnit = I[kMonitoringUnit] < 0 || o.printLevel < 5 ? -1 : I[kMonitoringUnit];
    o.crashTol = R[kCrashTol] < 0.0 ? 0.01 : R[kCrashTol];
    o.bigbnd = R[kBigBnd] <= 0.0 ? 9.9999e19 : R[kBigBnd];
    o.bigstep = R[kBigStep] <= 0.0 ? std::max(o.bigbnd, 9.9999e19) : R[kBigStep];
    // A negative tolerance (the unset value included) takes the default as well.
    o.feasTol = (R[kFeasTol] < mc.eps) ? mc.rteps : R[kFeasTol];
    return o;
}

} // namespace lp

void LPOPTN(const char* line) {
    lp::optionLine(line == nullptr ? std::string_view() : line);
}
