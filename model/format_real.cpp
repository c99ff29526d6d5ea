#include "model/format_real.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace model {

namespace {

// The decimal digits of |x| rounded half away from zero to p significant digits, trailing
// zeros dropped, and the exponent e with |x| = 0.digits * 10^e. The rounding starts from the
// 17 correctly rounded digits of the double, so 12345 with 4 digits gives 1235.
void decompose(double x, int p, std::string& digits, int& e) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 16);
    std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf)); // d.dddddddddddddddde+XX
    const std::size_t ePos = s.find('e');
    int exp10 = 0;
    std::from_chars(s.data() + ePos + 1 + (s[ePos + 1] == '+' ? 1 : 0), s.data() + s.size(), exp10);
    std::string all;
    all += s[0];
    all.append(s.substr(2, ePos - 2)); // 17 digits
    e = exp10 + 1;
    if (p < static_cast<int>(all.size())) {
        const bool up = all[static_cast<std::size_t>(p)] >= '5';
        all.resize(static_cast<std::size_t>(p));
        if (up) {
            int i = p - 1;
            while (i >= 0 && all[static_cast<std::size_t>(i)] == '9') {
                all[static_cast<std::size_t>(i)] = '0';
                --i;
            }
            if (i >= 0) {
                ++all[static_cast<std::size_t>(i)];
            } else { // 9.99.. rounded up to 10.0..
                all.insert(all.begin(), '1');
                all.pop_back();
                ++e;
            }
        }
    }
    while (all.size() > 1 && all.back() == '0') all.pop_back();
    digits = all;
}

} // namespace

std::string FormatReal(double x, int p) {
    if (std::isnan(x)) return " nan ";
    if (std::isinf(x)) return x > 0 ? " inf " : "-inf ";
    if (x == 0.0) return " 0.0";
    if (p < 1) p = 1;
    if (p > 17) p = 17;
    std::string d;
    int e = 0;
    decompose(x, p, d, e);
    std::string body;
    const int len = static_cast<int>(d.size());
    if (e >= 1 && e <= p) {
        if (len <= e) d.append(static_cast<std::size_t>(e - len + 1), '0');
        body =
            d.substr(0, static_cast<std::size_t>(e)) + "." + d.substr(static_cast<std::size_t>(e));
    } else if (e < 0 && -e < p) {
        body = "0." + std::string(static_cast<std::size_t>(-e), '0') + d;
    } else {
        body = "0." + d;
        if (e != 0) {
            body += e >= 1 ? "E+" : "E-";
            const int a = std::abs(e);
            if (a < 10) body += '0';
            body += std::to_string(a);
        }
    }
    std::string out = (x < 0 ? "-" : " ") + body;
    if (out.size() > 255) out.resize(255);
    return out;
}

std::string localizeDecimal(std::string text, char separator) {
    std::size_t pos = text.find('.');
    if (pos == std::string::npos) pos = text.find(',');
    if (pos != std::string::npos) text[pos] = separator;
    return text;
}

std::string displayReal(double x, int p, char separator) {
    std::string t = FormatReal(x, p);
    if (!t.empty() && t[0] == ' ') t.erase(0, 1);
    return localizeDecimal(t, separator);
}

std::string fixedDecimals(double x, int decimals, char separator) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    return localizeDecimal(r.ec == std::errc() ? std::string(buf, r.ptr) : "?", separator);
}

std::string formatReal23(double x) {
    if (!std::isfinite(x)) {
        const char* word = std::isnan(x) ? "Nan" : (x > 0 ? "+Inf" : "-Inf");
        return padField(word, 23);
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 14);
    std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf)); // d.dddddddddddddde+XX
    const std::size_t ePos = s.find('e');
    const char expSign = s[ePos + 1];
    std::string_view expDigits = s.substr(ePos + 2);
    std::string out;
    out.reserve(23);
    out += std::signbit(x) ? '-' : ' ';
    out.append(s.substr(0, ePos));
    out += 'E';
    out += expSign;
    out.append(4 - expDigits.size(), '0');
    out.append(expDigits);
    return out;
}

std::string padField(std::string_view text, int width) {
    std::string out;
    if (static_cast<int>(text.size()) >= width)
        out = " ";
    else
        out.assign(static_cast<std::size_t>(width) - text.size(), ' ');
    out.append(text);
    return out;
}

std::string formatIntField(std::int64_t value, int width) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return padField(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), width);
}

bool parseInt32(std::string_view t, std::int32_t& value) {
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty() || t.front() == '+') return false;
    std::int32_t v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
    value = v;
    return true;
}

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

} // namespace

bool parseDouble(std::string_view t, double& value) {
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) return false;
    if (equalsNoCase(t, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (equalsNoCase(t, "inf") || equalsNoCase(t, "infinity")) {
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return true;
    }
    // Only digits, one point, and an exponent; from_chars would also take "nan(...)", hex
    // and the like.
    const char c0 = t.front();
    if (!((c0 >= '0' && c0 <= '9') || c0 == '.')) return false;
    double v = 0.0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ptr != t.data() + t.size()) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Too small: zero; too large: refused.
        const std::size_t ePos = t.find_first_of("eE");
        if (ePos == std::string_view::npos || ePos + 1 >= t.size() || t[ePos + 1] != '-')
            return false;
        v = 0.0;
    } else if (r.ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

bool toReal48(double& value) {
    if (!std::isfinite(value)) return false;
    const double a = std::fabs(value);
    if (a == 0.0) return true;
    if (a < 0x1p-128) { // below the smallest 6-byte real
        value = 0.0;
        return true;
    }
    int e = 0;
    const double m = std::frexp(a, &e);                        // m in [0.5, 1)
    double r = std::ldexp(std::round(std::ldexp(m, 40)), -40); // 40 significant bits
    r = std::ldexp(r, e);
    if (r >= 0x1p127) return false; // beyond the largest 6-byte real
    value = value < 0 ? -r : r;
    return true;
}

} // namespace model
