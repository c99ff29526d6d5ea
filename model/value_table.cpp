#include "model/value_table.h"

#include <algorithm>
#include <cmath>

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

std::string valueTable(const TPaintObj& motion, TableSettings t) {
    t.clamp();
    std::string out;
    auto value = [&](double v) {
        out += "\t ";
        out += FormatReal(std::fabs(v) < 1e-8 ? 0.0 : v, t.digits);
    };
    for (double phi = 0.0; phi <= 360.0; phi += t.step) {
        out += FormatReal(phi, t.digits);
        for (int n = 0; n < 4; ++n)
            if (t.s[static_cast<std::size_t>(n)]) value(motion.Calc_s(n, phi));
        if (t.M) value(motion.Calc_M(phi));
        for (int n = 0; n < 4; ++n)
            if (t.q[static_cast<std::size_t>(n)]) value(motion.Calc_q(n, phi));
        out += "\r\n";
    }
    return out;
}

} // namespace model
