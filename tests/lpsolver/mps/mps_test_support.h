// Shared helpers of the MPS reader tests.
#pragma once

#include <string>
#include <string_view>

#include "lpsolver/mps/mps_reader.h"

namespace lp::test {

inline constexpr double kInf = 1.0e20; // how the reader writes an absent bound

struct Parsed {
    MpsStatus status = MpsStatus::Malformed;
    MpsProblem problem;
    std::string message;
};

inline Parsed parse(std::string_view text, MpsFormat format = MpsFormat::Auto,
                    std::string_view source = "test.mps") {
    Parsed r;
    r.status = parseMps(text, source, r.problem, r.message, format);
    return r;
}

// Element (i, j) of A, both 0-based.
inline double at(const MpsProblem& p, int i, int j) {
    return p.A[static_cast<std::size_t>(i) +
               static_cast<std::size_t>(j) * static_cast<std::size_t>(p.LDA)];
}

} // namespace lp::test
