// Output of the solver: every line goes out as one record to a numbered unit. The advisory
// (print) and error units are both 6, standard output; a negative unit writes nothing.
#pragma once

#include <functional>
#include <initializer_list>
#include <span>
#include <string_view>

#include "fio/format.h"

namespace lp {

inline constexpr int kAdvisoryUnit = 6;
inline constexpr int kErrorUnit = 6;

using LineSink = std::function<void(int unit, std::string_view line)>;

// Where the records go; the default writes every non-negative unit to standard output. Tests
// install their own. Returns the previous sink.
LineSink setLineSink(LineSink sink);

// Writes one record, trailing blanks dropped.
void unitLine(int unit, std::string_view line);

// Writes the records of a formatted write.
void unitWrite(int unit, std::string_view tmpl, std::span<const fio::Value> values);
inline void unitWrite(int unit, std::string_view tmpl, std::initializer_list<fio::Value> values) {
    unitWrite(unit, tmpl, std::span<const fio::Value>(values.begin(), values.size()));
}

} // namespace lp
