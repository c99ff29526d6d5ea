#include "fio/freeread.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace fio {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Walks the value tokens of one line. A comma with blanks around it is one separator; two
// commas with only blanks between them (or a comma opening the line) leave an empty value.
class LineTokens {
public:
    explicit LineTokens(std::string_view line) : line_(line) {}

    enum class Next { Token, EndOfLine, EmptyValue };

    Next next(std::string_view& token) {
        const std::size_t n = line_.size();
        while (pos_ < n) {
            while (pos_ < n && isBlank(line_[pos_])) ++pos_;
            if (pos_ >= n) break;
            if (line_[pos_] == ',') {
                if (expectValue_) return Next::EmptyValue;
                expectValue_ = true;
                ++pos_;
                continue;
            }
            const std::size_t start = pos_;
            while (pos_ < n && !isBlank(line_[pos_]) && line_[pos_] != ',') ++pos_;
            token = line_.substr(start, pos_ - start);
            expectValue_ = false;
            return Next::Token;
        }
        return Next::EndOfLine;
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
    bool expectValue_ = true;
};

} // namespace

bool parseInteger(std::string_view t, int& value) {
    const bool plus = !t.empty() && t.front() == '+';
    if (plus) t.remove_prefix(1);
    if (t.empty() || t.front() == '+' || (plus && t.front() == '-')) return false;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size();
}

bool parseReal(std::string_view t, double& value) {
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (equalsNoCase(t, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (equalsNoCase(t, "inf") || equalsNoCase(t, "infinity")) {
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return true;
    }
    // Mantissa: digits with at most one point, at least one digit.
    std::size_t i = 0, digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (isDigit(t[i])) {
            ++digits;
        } else if (t[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    std::string text(t.substr(0, i));
    bool negativeExponent = false;
    if (i < t.size()) {
        // Exponent: a letter E, D or Q with an optional sign, or a sign alone.
        const char c = t[i];
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q')
            ++i;
        else if (c != '+' && c != '-')
            return false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            negativeExponent = t[i] == '-';
            ++i;
        }
        const std::string_view expDigits = t.substr(i);
        if (expDigits.empty()) return false;
        for (char d : expDigits)
            if (!isDigit(d)) return false;
        text.append(negativeExponent ? "e-" : "e");
        text.append(expDigits);
    }
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (end != text.data() + text.size()) return false;
    if (ec == std::errc::result_out_of_range) {
        if (!negativeExponent) return false; // too large for a double
        v = 0.0;                             // too small: reads as zero
    } else if (ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

bool FreeReader::nextLine() {
    if (!std::getline(in_, line_)) return false;
    ++lineNo_;
    return true;
}

template <class T, class Parse> ReadStatus FreeReader::read(std::span<T> out, Parse parse) {
    std::size_t got = 0;
    while (got < out.size()) {
        if (!nextLine()) return ReadStatus::End;
        LineTokens tokens(line_);
        std::string_view token;
        while (got < out.size()) {
            const auto next = tokens.next(token);
            if (next == LineTokens::Next::EndOfLine) break;
            if (next == LineTokens::Next::EmptyValue) return ReadStatus::Error;
            if (!parse(token, out[got])) return ReadStatus::Error;
            ++got;
        }
    }
    return ReadStatus::Ok;
}

ReadStatus FreeReader::readIntegers(std::span<int> out) {
    return read(out, [](std::string_view t, int& v) { return parseInteger(t, v); });
}

ReadStatus FreeReader::readReals(std::span<double> out) {
    return read(out, [](std::string_view t, double& v) { return parseReal(t, v); });
}

} // namespace fio
