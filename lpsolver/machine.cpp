#include "lpsolver/machine.h"

#include <algorithm>
#include <cmath>

namespace lp {

namespace {

MachineConstants fill() {
    MachineConstants m;
    m.rteps = std::sqrt(m.eps);
    m.rttiny = std::sqrt(m.tiny);
    m.rthuge = std::sqrt(m.huge);
    m.eps6 = std::pow(m.eps, 0.6);
    m.eps8 = std::pow(m.eps, 0.8);
    m.eps9 = std::pow(m.eps, 0.9);
    m.condlim = std::max(1.0 / m.rteps, 100.0);
    return m;
}

} // namespace

const MachineConstants& machine() {
    static const MachineConstants table = fill();
    return table;
}

} // namespace lp
