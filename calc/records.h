// Parameter records of the calculation input: nine integers IPar[1..9] and twelve reals
// RPar[1..12], one record per start record, object header and restriction.
#pragma once

#include <array>
#include <vector>

namespace calc {

inline constexpr int kMaxRecords = 139;       // records the reader stores
inline constexpr int kMaxObjects = 10;        // motion specifications per project
inline constexpr int kMaxRandomVariables = 5; // global optimisation groups
inline constexpr int kMaxNameLength = 120;    // characters of a file name

struct Record {
    std::array<int, 10> IPar{};    // IPar[1..9]; element 0 unused
    std::array<double, 13> RPar{}; // RPar[1..12]; element 0 unused
};

using Records = std::vector<Record>;

enum class RecordType { Start, Header, Restriction, Unknown };

// Record type from IPar[1] and IPar[2] (records with a negative IPar[1] are never stored).
inline RecordType recordType(const Record& r) {
    if (r.IPar[1] != 0) return RecordType::Restriction;
    if (r.IPar[2] == 0) return RecordType::Start;
    return r.IPar[2] > 0 ? RecordType::Header : RecordType::Unknown;
}

// Restriction kinds (IPar[3] of a restriction); the last digit is the derivative order.
inline bool isPointKind(int k) {
    return k >= 0 && k <= 3;
}
inline bool isIntervalKind(int k) {
    return k >= 10 && k <= 13;
}
inline bool isSpectrumKind(int k) {
    return k >= 20 && k <= 24;
} // 24: single harmonic
inline bool isRelPointKind(int k) {
    return k >= 40 && k <= 43;
}
inline bool isRelIntervalKind(int k) {
    return k >= 50 && k <= 53;
}

} // namespace calc
