// Sampling rule of the extremes of a curve (see members.h).
#pragma once

#include <cmath>

namespace model {

template <class F> void sampleMinMax(double& lo, double& hi, std::int32_t n, F&& f) {
    const double end = hi;
    const double h = 36.0 / (n > 0 ? n : 1);
    const double d = hi - lo;
    double x = lo;
    double v = f(x);
    lo = hi = v;
    if (!(d > 0.0) || !std::isfinite(d)) return; // empty or reversed interval: one sample
    const double step = d / (d / h + 1.0);
    do {
        const double next = x + step;
        if (!(next > x)) break; // no progress left (a step below the resolution of x)
        x = next > end ? end : next;
        v = f(x);
        if (v > hi)
            hi = v;
        else if (v < lo)
            lo = v;
    } while (x != end);
}

} // namespace model
