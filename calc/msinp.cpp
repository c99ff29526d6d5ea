#include "calc/msinp.h"

#include <cmath>
#include <optional>

#include "calc/msctrl.h"
#include "calc/msfnme.h"
#include "calc/msread.h"

namespace calc {

namespace {

// Input file candidates, tried in this order.
constexpr const char* kCandidates[] = {"msp", "kq5", "kq4", "mot", "k4p"};

ResultCode inputError(OutputStream& listing) {
    listing.line("Eingabefehler ");
    return ResultCode::InputError;
}

// Whether a restriction has a part that moves with beta; nullopt for an unknown kind.
std::optional<bool> hasVariablePart(const Record& r) {
    const int kind = r.IPar[3];
    if (isPointKind(kind) || isRelPointKind(kind)) return r.IPar[6] == 1 || r.IPar[7] == 1;
    if (isIntervalKind(kind) || isRelIntervalKind(kind))
        return r.IPar[4] == 1 || r.IPar[5] == 1 || r.IPar[6] == 1 || r.IPar[7] == 1;
    if (isSpectrumKind(kind)) return r.IPar[6] == 1;
    return std::nullopt;
}

} // namespace

void applyStartRecord(const Record& s, RunParameters& p) {
    p.objects = s.IPar[3];
    if (s.IPar[4] > 0) p.passes = s.IPar[4];
    if (s.IPar[4] == 39) { // the beep switch in disguise
        p.beep = false;
        p.passes = 8;
    }
    const int t = s.IPar[5];
    if (t < 99 || t > 104)
        p.trials = t;
    else if (t >= 100)
        p.weightExponent = t - 100;
    if (s.IPar[6] >= 2 && s.IPar[6] <= 50) p.bisectionSteps = s.IPar[6];
    p.randomVariables = s.IPar[8] > 0 ? s.IPar[8] : 0;
    if (s.RPar[1] > 0.0) p.stepWidth = s.RPar[1];
    if (s.RPar[2] > 0.0 && s.RPar[2] < 1.0) p.betaMax = s.RPar[2];
    // Zero, negative or not finite: off (every file from before the switch holds 0 there).
    if (std::isfinite(s.RPar[3]) && s.RPar[3] > 0.0) p.wholeCycleTolerance = s.RPar[3];
}

ResultCode MSINP(const std::string& name, OutputStream& listing, RunInput& input) {
    input = RunInput{};
    bool read = false;
    for (const char* ext : kCandidates) {
        input.fileName = MSFNME(name, ext);
        if (MSREAD(input.fileName, input.records) == ReadResult::Read) {
            read = true;
            break;
        }
    }
    if (!read) {
        input.fileName.clear();
        return inputError(listing);
    }

    const Records& records = input.records;
    std::size_t start = 0;
    while (start < records.size() && recordType(records[start]) != RecordType::Start) ++start;
    if (start == records.size()) {
        listing.line("Kein Startdatensatz gefunden ");
        return inputError(listing);
    }
    applyStartRecord(records[start], input.params);
    if (!MSCTRL(records, listing)) return inputError(listing);

    // Flags of variable requirements and frequency ratios.
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i == start) continue;
        const Record& r = records[i];
        if (recordType(r) == RecordType::Header) {
            if (r.IPar[4] == 1 || r.IPar[5] == 1) {
                input.variableRequirements = true;
                input.variableFrequencyRatios = true;
            }
        } else if (recordType(r) == RecordType::Restriction) {
            // A restriction of an unknown kind builds nothing and is passed over.
            if (hasVariablePart(r).value_or(false)) input.variableRequirements = true;
        }
    }

    // Objects and the layout of the LP variables: 2 + np + 4 nh per object.
    const int nObj = input.params.objects;
    input.objects.resize(static_cast<std::size_t>(nObj));
    std::int64_t next = 0;
    for (int m = 1; m <= nObj; ++m) {
        ObjectLayout& o = input.objects[static_cast<std::size_t>(m - 1)];
        for (const Record& r : records) {
            if (recordType(r) == RecordType::Header && r.IPar[2] == m) {
                o.nh = r.IPar[3];
                o.np = r.IPar[6];
                o.tableStep = (r.RPar[6] > 0.0 && r.RPar[6] <= 360.0) ? r.RPar[6] : 1.0;
                break;
            }
        }
        o.first = next;
        next += 4 * static_cast<std::int64_t>(o.nh) + o.np + 2;
    }
    input.variableCount = next;
    return ResultCode::Normal;
}

} // namespace calc
