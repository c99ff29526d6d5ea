// Fixed-field formatted output. The template is parsed into a tree of items once per call and
// then walked with the values; numbers are converted with std::to_chars only, so nothing here
// depends on the C or C++ locale.
#include "fio/format.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fio {
namespace {

// Widths, decimal counts, repeat counts and scale factors above this are taken as typing errors.
constexpr int maxNumber = 1000;

enum class Kind { I, F, E, D, G, A, Literal, X, Slash, Scale, Group };

struct Item {
    Kind kind = Kind::Literal;
    int repeat = 1;          // data fields, slash and groups
    int w = 0;               // field width; A without width: 0; X: blank count; P: scale
    int d = 0;               // digits after the point (F, E, D) or significant digits (G)
    std::string text;        // literal text, quotes undoubled
    std::vector<Item> items; // group contents
};

[[noreturn]] void fail(std::string_view tmpl, const std::string& what) {
    throw std::invalid_argument("fio::format: " + what + " in template \"" + std::string(tmpl) +
                                "\"");
}

bool isDataKind(Kind k) {
    return k == Kind::I || k == Kind::F || k == Kind::E || k == Kind::D || k == Kind::G ||
           k == Kind::A;
}

bool containsData(const std::vector<Item>& items, std::size_t from) {
    for (std::size_t i = from; i < items.size(); ++i) {
        if (isDataKind(items[i].kind)) return true;
        if (items[i].kind == Kind::Group && containsData(items[i].items, 0)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Template parsing. Blanks are insignificant everywhere except inside quoted literals.

class Parser {
public:
    explicit Parser(std::string_view tmpl) : t_(tmpl) {}

    std::vector<Item> parse() {
        if (peek() != '(') fail(t_, "missing opening parenthesis");
        ++pos_;
        std::vector<Item> items = parseList(true);
        if (peek() != '\0') fail(t_, "text after the closing parenthesis");
        return items;
    }

private:
    std::string_view t_;
    std::size_t pos_ = 0;

    // Next significant character ('\0' at the end), positioned on it.
    char peek() {
        while (pos_ < t_.size() && (t_[pos_] == ' ' || t_[pos_] == '\t')) ++pos_;
        return pos_ < t_.size() ? upper(t_[pos_]) : '\0';
    }
    static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    int number(const char* what) {
        if (!isDigit(peek())) fail(t_, std::string("missing ") + what);
        long v = 0;
        while (isDigit(peek())) {
            v = v * 10 + (t_[pos_++] - '0');
            if (v > maxNumber) fail(t_, std::string(what) + " too large");
        }
        return static_cast<int>(v);
    }

    // Whether the next item is a slash, with or without a repeat count.
    bool slashAhead() {
        const std::size_t keep = pos_;
        while (isDigit(peek())) ++pos_;
        const bool slash = peek() == '/';
        pos_ = keep;
        return slash;
    }

    // Items up to and including the closing parenthesis of the current level.
    std::vector<Item> parseList(bool top) {
        std::vector<Item> items;
        if (peek() == ')') {
            if (!top) fail(t_, "empty group");
            ++pos_;
            return items;
        }
        for (;;) {
            items.push_back(parseItem());
            const Kind last = items.back().kind;
            char c = peek();
            if (c == ',') {
                ++pos_;
                c = peek();
                if (c == ')' || c == '\0') fail(t_, "missing edit descriptor after comma");
                continue;
            }
            if (c == ')') {
                ++pos_;
                return items;
            }
            if (c == '\0') fail(t_, "missing closing parenthesis");
            // The comma may be left out after a slash or a scale factor and before a slash.
            if (last == Kind::Slash || last == Kind::Scale || slashAhead()) continue;
            fail(t_, "missing comma");
        }
    }

    Item parseItem() {
        Item it;
        char c = peek();
        if (c == '\'' || c == '"') {
            it.kind = Kind::Literal;
            it.text = literal();
            return it;
        }
        bool sign = false;
        bool negative = false;
        if (c == '+' || c == '-') {
            sign = true;
            negative = c == '-';
            ++pos_;
            c = peek();
        }
        bool counted = false;
        if (isDigit(c)) {
            it.repeat = number("count");
            counted = true;
            c = peek();
        } else if (sign) {
            fail(t_, "sign without a scale factor");
        }
        if (c == 'P') {
            if (!counted) fail(t_, "scale factor without a value");
            ++pos_;
            it.kind = Kind::Scale;
            it.w = negative ? -it.repeat : it.repeat;
            it.repeat = 1;
            return it;
        }
        if (sign) fail(t_, "sign without a scale factor");
        if (counted && it.repeat == 0) fail(t_, "zero count");
        switch (c) {
        case 'X':
            if (!counted) fail(t_, "X without a blank count");
            ++pos_;
            it.kind = Kind::X;
            it.w = it.repeat;
            it.repeat = 1;
            return it;
        case '/':
            ++pos_;
            it.kind = Kind::Slash;
            return it;
        case '(':
            ++pos_;
            it.kind = Kind::Group;
            it.items = parseList(false);
            return it;
        case 'I':
        case 'F':
        case 'E':
        case 'D':
        case 'G':
        case 'A':
            ++pos_;
            dataField(c, it);
            return it;
        default:
            break;
        }
        fail(t_, c == '\0' ? std::string("unexpected end")
                           : std::string("unknown edit descriptor '") + t_[pos_] + "'");
    }

    void dataField(char letter, Item& it) {
        switch (letter) {
        case 'I':
            it.kind = Kind::I;
            break;
        case 'F':
            it.kind = Kind::F;
            break;
        case 'E':
            it.kind = Kind::E;
            break;
        case 'D':
            it.kind = Kind::D;
            break;
        case 'G':
            it.kind = Kind::G;
            break;
        default:
            it.kind = Kind::A;
            break;
        }
        if (it.kind == Kind::A) {
            if (isDigit(peek())) {
                it.w = number("width");
                if (it.w == 0) fail(t_, "zero width");
            }
            return;
        }
        it.w = number("width");
        if (it.w == 0) fail(t_, "zero width");
        if (it.kind == Kind::I) return;
        if (peek() != '.') fail(t_, "missing decimal count");
        ++pos_;
        it.d = number("decimal count");
        if (it.kind == Kind::G && it.d == 0) fail(t_, "G with zero significant digits");
    }

    std::string literal() {
        const char quote = t_[pos_++];
        std::string s;
        for (;;) {
            if (pos_ >= t_.size()) fail(t_, "unterminated literal");
            const char c = t_[pos_++];
            if (c == quote) {
                if (pos_ < t_.size() && t_[pos_] == quote) {
                    s += quote;
                    ++pos_;
                    continue;
                }
                return s;
            }
            s += c;
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Number conversion.

std::string stars(int w) {
    return std::string(static_cast<std::size_t>(w), '*');
}

std::string rightAlign(const std::string& s, int w) {
    const auto width = static_cast<std::size_t>(w);
    if (s.size() > width) return stars(w);
    return std::string(width - s.size(), ' ') + s;
}

std::string toChars(double a, std::chars_format fmt, int precision) {
    // Fixed form of the largest double has 309 integer digits.
    std::string buf(static_cast<std::size_t>(precision) + 400, '\0');
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, fmt, precision);
    buf.resize(static_cast<std::size_t>(r.ptr - buf.data()));
    return buf;
}

// Splits "d.ddde+xx" into its digits and the exponent of the first digit.
void splitScientific(const std::string& s, std::string& digits, int& exponent) {
    const std::size_t e = s.find('e');
    digits.clear();
    for (std::size_t i = 0; i < e; ++i)
        if (s[i] != '.') digits += s[i];
    exponent = 0;
    std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exponent);
}

// Digits of round(a * 10^shift) for a >= 0, without leading zeros ("" for zero), rounding the
// exact binary value to nearest with halfway cases to even (as std::to_chars does with a
// precision).
std::string roundScaled(double a, int shift) {
    std::string digits;
    if (shift >= 0) {
        for (char c : toChars(a, std::chars_format::fixed, shift))
            if (c != '.') digits += c;
    } else if (a != 0.0) {
        // Rounding to a position left of the point: look at the exact expansion.
        int e = 0;
        splitScientific(toChars(a, std::chars_format::scientific, 800), digits, e);
        const int kept = e + 1 + shift; // digits left of the rounding position
        if (kept < 0) return "";
        if (static_cast<std::size_t>(kept) >= digits.size()) return digits;
        std::string head = digits.substr(0, static_cast<std::size_t>(kept));
        const std::string tail = digits.substr(static_cast<std::size_t>(kept));
        const bool above = tail[0] > '5' ||
                           (tail[0] == '5' && tail.find_first_not_of('0', 1) != std::string::npos);
        const bool tie = tail[0] == '5' && !above;
        const bool odd = !head.empty() && (head.back() - '0') % 2 == 1;
        if (above || (tie && odd)) {
            std::size_t i = head.size();
            while (i > 0 && head[i - 1] == '9') head[--i] = '0';
            if (i == 0)
                head.insert(head.begin(), '1');
            else
                ++head[i - 1];
        }
        digits = head;
    }
    const std::size_t nz = digits.find_first_not_of('0');
    return nz == std::string::npos ? std::string() : digits.substr(nz);
}

// Infinity and NaN in a real field; empty if the value is finite.
std::string nonFinite(double x, int w) {
    if (std::isnan(x)) return w >= 3 ? rightAlign("NaN", w) : stars(w);
    if (std::isinf(x)) {
        if (x > 0)
            return w >= 8 ? rightAlign("Infinity", w) : w >= 3 ? rightAlign("Inf", w) : stars(w);
        return w >= 9 ? rightAlign("-Infinity", w) : w >= 4 ? rightAlign("-Inf", w) : stars(w);
    }
    return {};
}

// Fw.d with scale factor k (the value is shown multiplied by 10^k).
std::string fixedField(double x, int w, int d, int k) {
    if (std::string s = nonFinite(x, w); !s.empty()) return s;
    const std::string m = roundScaled(std::fabs(x), d + k);
    const auto dd = static_cast<std::size_t>(d);
    std::string intPart;
    std::string frac;
    if (m.size() <= dd) {
        frac = std::string(dd - m.size(), '0') + m;
    } else {
        intPart = m.substr(0, m.size() - dd);
        frac = m.substr(m.size() - dd);
    }
    const std::string sign = std::signbit(x) ? "-" : "";
    std::string body = intPart + "." + frac;
    const auto width = static_cast<std::size_t>(w);
    // A zero before the point is written when there is room for it; with no digits after the
    // point it is the only digit and cannot be left out.
    if (intPart.empty() && (d == 0 || sign.size() + body.size() + 1 <= width)) body = "0" + body;
    return rightAlign(sign + body, w);
}

// Ew.d and Dw.d with scale factor k: 0.ddddE+xx for k = 0, k digits before the point for k > 0,
// -k zeros after the point for k < 0. Exponents of three digits drop the letter.
std::string exponentField(double x, int w, int d, int k, char letter) {
    if (std::string s = nonFinite(x, w); !s.empty()) return s;
    const int significant = k > 0 ? d + 1 : d + k;
    std::string digits;
    int e = 0;
    splitScientific(toChars(std::fabs(x), std::chars_format::scientific, significant - 1), digits,
                    e);
    const int shown = x == 0.0 ? 0 : e + 1 - k;
    std::string exp;
    const int ae = shown < 0 ? -shown : shown;
    if (ae > 999) return stars(w);
    const std::string sign = shown < 0 ? "-" : "+";
    if (ae <= 99)
        exp = std::string(1, letter) + sign + (ae < 10 ? "0" : "") + std::to_string(ae);
    else
        exp = sign + std::to_string(ae);
    std::string body;
    bool optionalZero = false;
    if (k > 0) {
        const auto kk = static_cast<std::size_t>(k);
        body = digits.substr(0, kk) + "." + digits.substr(kk);
    } else {
        body = "." + std::string(static_cast<std::size_t>(-k), '0') + digits;
        optionalZero = true;
    }
    const std::string sign0 = std::signbit(x) ? "-" : "";
    std::string out = sign0 + body + exp;
    if (optionalZero && out.size() + 1 <= static_cast<std::size_t>(w))
        out = sign0 + "0" + body + exp;
    return rightAlign(out, w);
}

// 10^n as the nearest double (infinity above the range, zero below it).
double power10(int n) {
    const std::string s = "1e" + std::to_string(n);
    double v = 0.0;
    if (std::from_chars(s.data(), s.data() + s.size(), v).ec != std::errc())
        return n > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return v;
}

// Choice of form for Gw.d: the number s of digits before the point in the fixed form, or -1 for
// the exponent form. Rounded to d significant digits, a value with 10^(s-1) <= |N| < 10^s and
// 0 <= s <= d is shown fixed. The switch points between the ranges, 10^s * (1 - 0.5*10^-d)
// for s = -1 .. d, are evaluated in double arithmetic, so a value stored as the double nearest
// a decimal switch point (0.95 for G.1, 99999.95 for G.6) counts as having reached it even
// when that double lies just below. Zero is shown fixed with s = 1.
int generalDigitsBeforePoint(double x, int d) {
    const double a = std::fabs(x);
    if (a == 0.0) return 1;
    const double factor = 1.0 - 0.5 * power10(-d);
    if (a < 0.1 * factor) return -1;
    for (int s = 0; s <= d; ++s)
        if (a < power10(s) * factor) return s;
    return -1;
}

// Gw.d with scale factor k: F(w-4).(d-s) without scale factor followed by four blanks, or Ew.d
// with the scale factor. When the fixed part does not fit, the whole field is asterisks.
std::string generalField(double x, int w, int d, int k) {
    if (std::string s = nonFinite(x, w); !s.empty()) return s;
    const int s = generalDigitsBeforePoint(x, d);
    if (s < 0) return exponentField(x, w, d, k, 'E');
    if (w <= 4) return stars(w);
    const std::string f = fixedField(x, w - 4, d - s, 0);
    if (f[0] == '*') return stars(w);
    return f + "    ";
}

std::string integerDigits(std::int64_t v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string integerField(const Value& v, int w) {
    if (v.isInteger()) return rightAlign(integerDigits(v.integer()), w);
    const double x = v.real();
    if (!std::isfinite(x)) return stars(w);
    const double t = std::trunc(x);
    std::string s = toChars(std::fabs(t), std::chars_format::fixed, 0);
    if (t < 0) s = "-" + s;
    return rightAlign(s, w);
}

std::string textField(const std::string& s, int w) {
    if (w == 0) return s;
    const auto width = static_cast<std::size_t>(w);
    if (s.size() >= width) return s.substr(0, width);
    return std::string(width - s.size(), ' ') + s;
}

const char* kindName(Kind k) {
    switch (k) {
    case Kind::I:
        return "I";
    case Kind::F:
        return "F";
    case Kind::E:
        return "E";
    case Kind::D:
        return "D";
    case Kind::G:
        return "G";
    default:
        return "A";
    }
}

std::string descriptorText(const Item& it) {
    std::string s = kindName(it.kind);
    if (it.kind == Kind::A && it.w == 0) return s;
    s += std::to_string(it.w);
    if (it.kind != Kind::I && it.kind != Kind::A) s += "." + std::to_string(it.d);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Walking the template with the values.

class Writer {
public:
    Writer(std::string_view tmpl, std::span<const Value> values) : t_(tmpl), values_(values) {}

    std::vector<std::string> run(const std::vector<Item>& top) {
        // Values left over at the final parenthesis start a new record at the last top-level
        // group, or at the beginning when there is none.
        std::size_t again = 0;
        for (std::size_t i = 0; i < top.size(); ++i)
            if (top[i].kind == Kind::Group) again = i;
        bool more = walk(top, 0);
        while (more && next_ < values_.size()) {
            if (!containsData(top, again)) fail(t_, "values left over without a data field");
            endRecord();
            more = walk(top, again);
        }
        endRecord();
        return std::move(records_);
    }

private:
    std::string_view t_;
    std::span<const Value> values_;
    std::size_t next_ = 0;
    int scale_ = 0;
    std::vector<std::string> records_;
    std::string record_;
    std::size_t blanks_ = 0; // X positioning not yet materialised

    void put(const std::string& s) {
        record_.append(blanks_, ' ');
        blanks_ = 0;
        record_ += s;
    }

    void endRecord() {
        records_.push_back(std::move(record_));
        record_.clear();
        blanks_ = 0;
    }

    // False when a data field found no value left: output ends there.
    bool walk(const std::vector<Item>& items, std::size_t from) {
        for (std::size_t i = from; i < items.size(); ++i) {
            const Item& it = items[i];
            switch (it.kind) {
            case Kind::Literal:
                put(it.text);
                break;
            case Kind::X:
                blanks_ += static_cast<std::size_t>(it.w);
                break;
            case Kind::Slash:
                for (int r = 0; r < it.repeat; ++r) endRecord();
                break;
            case Kind::Scale:
                scale_ = it.w;
                break;
            case Kind::Group:
                for (int r = 0; r < it.repeat; ++r)
                    if (!walk(it.items, 0)) return false;
                break;
            default:
                for (int r = 0; r < it.repeat; ++r) {
                    if (next_ == values_.size()) return false;
                    put(field(it, values_[next_++]));
                }
                break;
            }
        }
        return true;
    }

    std::string field(const Item& it, const Value& v) {
        const std::string where = descriptorText(it) + " (value " + std::to_string(next_) + ")";
        if (it.kind == Kind::A) {
            if (!v.isText()) fail(t_, "number given to " + where);
            return textField(v.text(), it.w);
        }
        if (v.isText()) fail(t_, "text given to " + where);
        if (it.kind == Kind::I) return integerField(v, it.w);
        const double x = v.isReal() ? v.real() : static_cast<double>(v.integer());
        switch (it.kind) {
        case Kind::F:
            return fixedField(x, it.w, it.d, scale_);
        case Kind::E:
        case Kind::D:
            checkScale(it, where);
            return exponentField(x, it.w, it.d, scale_, it.kind == Kind::E ? 'E' : 'D');
        default:
            if (std::isfinite(x) && generalDigitsBeforePoint(x, it.d) < 0) checkScale(it, where);
            return generalField(x, it.w, it.d, scale_);
        }
    }

    // The exponent form needs -d < k < d + 2 so that at least one significant digit remains.
    void checkScale(const Item& it, const std::string& where) const {
        if (scale_ <= -it.d || scale_ >= it.d + 2)
            fail(t_, "scale factor " + std::to_string(scale_) + "P out of range for " + where);
    }
};

} // namespace

std::vector<std::string> format(std::string_view tmpl, std::span<const Value> values) {
    const std::vector<Item> top = Parser(tmpl).parse();
    return Writer(tmpl, values).run(top);
}

std::string listDirected(std::span<const Value> values) {
    std::string out;
    for (const Value& v : values) {
        out += ' ';
        if (v.isText()) {
            out += v.text();
        } else if (v.isInteger()) {
            out += integerDigits(v.integer());
        } else {
            const double x = v.real();
            if (std::isnan(x)) {
                out += "NaN";
            } else if (std::isinf(x)) {
                out += x > 0 ? "Inf" : "-Inf";
            } else {
                // Zero counts as inside the fixed range: "0", not "0E+00".
                const double a = std::fabs(x);
                const bool fixed = a == 0.0 || (a >= 1e-3 && a < 1e8);
                char buf[64];
                const auto r =
                    std::to_chars(buf, buf + sizeof buf, x,
                                  fixed ? std::chars_format::fixed : std::chars_format::scientific);
                for (const char* p = buf; p != r.ptr; ++p) out += *p == 'e' ? 'E' : *p;
            }
        }
    }
    return out;
}

} // namespace fio
