// Fixed-field formatted output: templates such as "(F8.3,4(A1,E13.6))" interpreted with a
// list of values, the way the calculation module and the LP solver lay out their lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fio {

// One value for a data field: an integer (I), a real (F, E, D, G) or a text (A).
class Value {
public:
    Value(int v) : v_(static_cast<std::int64_t>(v)) {}
    Value(long v) : v_(static_cast<std::int64_t>(v)) {}
    Value(long long v) : v_(static_cast<std::int64_t>(v)) {}
    Value(double v) : v_(v) {}
    Value(float v) : v_(static_cast<double>(v)) {}
    Value(char c) : v_(std::string(1, c)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}

    bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
    bool isReal() const { return std::holds_alternative<double>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }
    std::int64_t integer() const { return std::get<std::int64_t>(v_); }
    double real() const { return std::get<double>(v_); }
    const std::string& text() const { return std::get<std::string>(v_); }

private:
    std::variant<std::int64_t, double, std::string> v_;
};

// Writes the values through the template and returns the output records (lines, without line
// ends). Descriptors: Iw, Fw.d, Ew.d, Dw.d, Gw.d, kP (scale factor), A, Aw, nX, /, quoted
// literals ('' or "" doubles the quote), n(...) groups and repeat counts on descriptors
// ("3G14.6", "11A1"). Output ends at the first data field without a value; values left over
// when the template ends start a new record at the last top-level group (format reversion).
// A value that does not fit its field fills the field with asterisks. An integer given to a
// real field is written as a real; a real given to an I field is truncated toward zero.
// A malformed template is a programming error: std::invalid_argument names it.
std::vector<std::string> format(std::string_view tmpl, std::span<const Value> values);
inline std::vector<std::string> format(std::string_view tmpl, std::initializer_list<Value> values) {
    return format(tmpl, std::span<const Value>(values.begin(), values.size()));
}

// List-directed (free-format) output: every value preceded by one blank; integers in decimal,
// reals in the shortest form that reads back to the same double (exponent form outside
// 1e-3 <= |x| < 1e8), texts as they stand. Always "." as the decimal point.
std::string listDirected(std::span<const Value> values);
inline std::string listDirected(std::initializer_list<Value> values) {
    return listDirected(std::span<const Value>(values.begin(), values.size()));
}

} // namespace fio
