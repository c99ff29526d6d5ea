#include "calc/msctrl.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "fio/format.h"

namespace calc {

namespace {

// A check over one record: an empty result passes; otherwise the reason, which is empty for
// the checks whose report is the record alone.
using Check = std::function<std::optional<std::string>(const Record&, std::size_t index)>;

void reportRecord(const Records& records, std::size_t index, OutputStream& listing) {
    const Record& r = records[index];
    listing.line(" Fehlerhafter Datensatz: " + fio::listDirected({static_cast<int>(index + 1)}));
    std::vector<fio::Value> ints(r.IPar.begin() + 1, r.IPar.end());
    listing.line(fio::listDirected(ints));
    std::vector<fio::Value> reals(r.RPar.begin() + 1, r.RPar.end());
    listing.lines(fio::format("(12(F9.3,' '))", reals));
}

const std::optional<std::string> kPass;
const std::optional<std::string> kFail = std::string();

std::optional<std::string> failIf(bool failed) {
    return failed ? kFail : kPass;
}

} // namespace

bool MSCTRL(const Records& records, OutputStream& listing) {
    // The start record is the first one with IPar[1] = IPar[2] = 0; the reader of the run
    // has made sure there is one.
    std::size_t start = 0;
    while (start < records.size() && recordType(records[start]) != RecordType::Start) ++start;
    if (start == records.size()) return false;
    const Record& s = records[start];
    const int nObj = s.IPar[3];
    const int nRandom = s.IPar[8];

    const Check checks[] = {
        // 1. The start record.
        [&](const Record&, std::size_t i) -> std::optional<std::string> {
            if (i != start) return kPass;
            if (s.IPar[8] > kMaxRandomVariables) return kFail;
            if (static_cast<std::int64_t>(s.IPar[4]) * s.IPar[5] < 0) return kFail;
            if (nObj < 1 || nObj > kMaxObjects)
                return " Anzahl der Objekte nicht zwischen 1 und " + std::to_string(kMaxObjects);
            return kPass;
        },
        // 2. Object headers.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            if (recordType(r) != RecordType::Header) return kPass;
            if (r.IPar[3] < 0 || r.IPar[2] > nObj || r.RPar[2] < 0.0 || r.RPar[3] < 0.0)
                return kFail;
            if (r.IPar[4] == 1 && !(r.RPar[2] <= r.RPar[1])) return kFail;
            if (r.RPar[5] < 0.0) return kFail;
            if (r.IPar[5] == 1 && !(r.RPar[5] >= r.RPar[4])) return kFail;
            if (r.IPar[6] < 0 || r.IPar[6] > 2)
                return std::string(" Anzahl der Polynomglieder nicht 0, 1 oder 2");
            return kPass;
        },
        // 3. Point restrictions, absolute and relative.
        [&](const Record& r, std::size_t) {
            if (r.IPar[1] > nObj) return kFail;
            if (recordType(r) != RecordType::Restriction) return kPass;
            const int kind = r.IPar[3];
            if (isRelPointKind(kind) && (r.IPar[2] > nObj || r.IPar[2] == r.IPar[1])) return kFail;
            if (!isPointKind(kind) && !isRelPointKind(kind)) return kPass;
            return failIf((r.IPar[6] >= 0 && r.IPar[7] >= 0 && !(r.RPar[8] >= r.RPar[6])) ||
                          (r.IPar[6] == 1 && !(r.RPar[6] <= r.RPar[5])) ||
                          (r.IPar[7] == 1 && !(r.RPar[8] >= r.RPar[7])) ||
                          (r.IPar[8] > 0 && !(r.RPar[10] >= r.RPar[9])));
        },
        // 4. Interval restrictions, absolute and relative.
        [&](const Record& r, std::size_t) {
            if (r.IPar[1] > nObj) return kFail;
            if (recordType(r) != RecordType::Restriction) return kPass;
            const int kind = r.IPar[3];
            if (isRelIntervalKind(kind) && (r.IPar[2] > nObj || r.IPar[2] == r.IPar[1]))
                return kFail;
            if (!isIntervalKind(kind) && !isRelIntervalKind(kind)) return kPass;
            return failIf(
                !(r.RPar[2] <= r.RPar[4]) ||
                (r.IPar[6] >= 0 && r.IPar[7] >= 0 && !(r.RPar[8] >= r.RPar[6])) ||
                (r.IPar[4] == 1 && !(r.RPar[1] <= r.RPar[2])) ||
                (r.IPar[5] == 1 && !(r.RPar[3] >= r.RPar[4])) ||
                (r.IPar[6] == 1 && !(r.RPar[5] >= r.RPar[6])) ||
                (r.IPar[7] == 1 && !(r.RPar[8] >= r.RPar[7])) ||
                (r.IPar[8] > 0 && !(r.RPar[10] >= r.RPar[9] && r.RPar[11] >= r.RPar[9] &&
                                    r.RPar[12] >= r.RPar[10] && r.RPar[12] >= r.RPar[11])));
        },
        // 5. Spectrum restrictions.
        [&](const Record& r, std::size_t) {
            if (r.IPar[1] > nObj) return kFail;
            if (recordType(r) != RecordType::Restriction || !isSpectrumKind(r.IPar[3]))
                return kPass;
            return failIf(!(r.RPar[6] > 0.0) || (r.IPar[6] == 1 && !(r.RPar[6] >= r.RPar[5])));
        },
        // Every value a finite number.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            for (int k = 1; k <= 12; ++k)
                if (!std::isfinite(r.RPar[k]))
                    return " RPar(" + std::to_string(k) + ") ist keine endliche Zahl";
            return kPass;
        },
        // Every record of a known type.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            if (recordType(r) == RecordType::Unknown)
                return std::string(" Unbekannte Datensatzart");
            return kPass;
        },
        // One start record only.
        [&](const Record& r, std::size_t i) -> std::optional<std::string> {
            if (i != start && recordType(r) == RecordType::Start)
                return std::string(" Mehr als ein Startdatensatz");
            return kPass;
        },
        // One header per object.
        [&](const Record& r, std::size_t i) -> std::optional<std::string> {
            if (recordType(r) != RecordType::Header) return kPass;
            for (std::size_t j = 0; j < i; ++j)
                if (recordType(records[j]) == RecordType::Header && records[j].IPar[2] == r.IPar[2])
                    return " Mehr als ein Kopfdatensatz fuer Objekt " + std::to_string(r.IPar[2]);
            return kPass;
        },
        // Relative restrictions name a second object.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            if (recordType(r) == RecordType::Restriction &&
                (isRelPointKind(r.IPar[3]) || isRelIntervalKind(r.IPar[3])) && r.IPar[2] < 1)
                return std::string(" Relative Restriktion ohne zweites Objekt");
            return kPass;
        },
        // A single-harmonic restriction names a harmonic of its object.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            if (recordType(r) != RecordType::Restriction || r.IPar[3] != 24) return kPass;
            int nh = -1;
            for (const Record& h : records)
                if (recordType(h) == RecordType::Header && h.IPar[2] == r.IPar[1]) nh = h.IPar[3];
            if (nh >= 0 && (r.IPar[2] < 1 || r.IPar[2] > nh)) // a missing header: below
                return " Harmonische " + std::to_string(r.IPar[2]) + " nicht vorhanden";
            return kPass;
        },
        // A group needs a random variable of the start record.
        [&](const Record& r, std::size_t) -> std::optional<std::string> {
            if (recordType(r) == RecordType::Restriction && r.IPar[8] > 0 && r.IPar[8] > nRandom)
                return " Gruppe " + std::to_string(r.IPar[8]) +
                       " ohne Zufallsvariable im Startdatensatz";
            return kPass;
        },
    };

    for (const auto& check : checks) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (auto reason = check(records[i], i)) {
                reportRecord(records, i, listing);
                if (!reason->empty()) listing.line(*reason);
                return false;
            }
        }
    }

    // Every object 1 ... n_obj has its header.
    for (int m = 1; m <= nObj; ++m) {
        bool found = false;
        for (const auto& r : records)
            found = found || (recordType(r) == RecordType::Header && r.IPar[2] == m);
        if (!found) {
            listing.line(" Kein Kopfdatensatz fuer Objekt " + std::to_string(m));
            return false;
        }
    }
    return true;
}

} // namespace calc
