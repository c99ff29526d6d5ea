#include "model/value_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "model/format_real.h"

namespace model {

int TableSettings::checkedCount() const {
    int n = M ? 1 : 0;
    for (bool b : s) n += b ? 1 : 0;
    for (bool b : q) n += b ? 1 : 0;
    return n;
}

void TableSettings::clamp() {
    digits = std::clamp(digits, 4, 10);
    if (!(step >= 0.0001)) step = 0.0001; // also NaN
    if (step > 90.0) step = 90.0;
}

std::array<bool, 9> enabledBoxes(const TableSettings& t) {
    std::array<bool, 9> on{t.s[0], t.s[1], t.s[2], t.s[3], t.M, t.q[0], t.q[1], t.q[2], t.q[3]};
    std::array<bool, 9> enabled;
    enabled.fill(true);
    if (t.checkedCount() == 1)
        for (std::size_t i = 0; i < 9; ++i) enabled[i] = !on[i];
    return enabled;
}

namespace {

// The chosen columns at phi, in the table's order: s … s''', s'·s'', q … q'''.
template <class F>
void chosenColumns(const TPaintObj& motion, const TableSettings& t, double phi, F&& value) {
    for (int n = 0; n < 4; ++n)
        if (t.s[static_cast<std::size_t>(n)]) value(motion.Calc_s(n, phi));
    if (t.M) value(motion.Calc_M(phi));
    for (int n = 0; n < 4; ++n)
        if (t.q[static_cast<std::size_t>(n)]) value(motion.Calc_q(n, phi));
}

} // namespace

std::string valueTable(const TPaintObj& motion, TableSettings t) {
    t.clamp();
    std::string out;
    auto value = [&](double v) {
        out += "\t ";
        out += FormatReal(std::fabs(v) < 1e-8 ? 0.0 : v, t.digits);
    };
    for (double phi = 0.0; phi <= 360.0; phi += t.step) {
        out += FormatReal(phi, t.digits);
        chosenColumns(motion, t, phi, value);
        out += "\r\n";
    }
    return out;
}

namespace {

// digits significant digits, or (0) the shortest text that reads back to v.
std::string number(double v, int digits) {
    char buf[64];
    const auto r = digits > 0
                       ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits)
                       : std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string valueTableCsv(const TPaintObj& motion, TableSettings t, int points, int digits) {
    t.clamp();
    static const char* const sLabels[] = {"s", "s'", "s''", "s'''"};
    static const char* const qLabels[] = {"q", "q'", "q''", "q'''"};
    std::string out = csvField("φ [°]");
    for (std::size_t n = 0; n < 4; ++n)
        if (t.s[n]) out += "," + csvField(sLabels[n]);
    if (t.M) out += "," + csvField("s'·s''");
    for (std::size_t n = 0; n < 4; ++n)
        if (t.q[n]) out += "," + csvField(qLabels[n]);
    out += "\r\n";

    std::vector<double> angles;
    if (points > 0) {
        for (int i = 0; i < points; ++i) angles.push_back(360.0 * i / points);
    } else {
        // Repeated addition, as the value table steps.
        for (double phi = 0.0; phi < 360.0 - t.step / 2; phi += t.step) angles.push_back(phi);
    }
    auto value = [&](double v) {
        out += ',';
        out += number(v, digits);
    };
    for (double phi : angles) {
        out += number(phi, digits > 0 ? std::max(digits, 10) : 0);
        chosenColumns(motion, t, phi, value);
        out += "\r\n";
    }
    return out;
}

} // namespace model
