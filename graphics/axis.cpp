#include "graphics/axis.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {

// Smallest multiple k·step not below v. The quotient gives k up to rounding; the neighbour is
// checked so that the result is the one a count from zero would reach.
double multipleAtOrAbove(double v, double step) {
    double k = std::ceil(v / step);
    if ((k - 1.0) * step >= v) k -= 1.0;
    if (k * step < v) k += 1.0;
    return k * step;
}

// Largest multiple k·step not above v.
double multipleAtOrBelow(double v, double step) {
    double k = std::floor(v / step);
    if ((k + 1.0) * step <= v) k += 1.0;
    if (k * step > v) k -= 1.0;
    return k * step;
}

} // namespace

void TAxis::SetMinMax(int n, double mn, double mx) {
    // A range that is not a pair of finite numbers, or whose width overflows, is drawn as
    // -1 .. 1.
    if (!std::isfinite(mn) || !std::isfinite(mx) || !std::isfinite(mx - mn)) {
        mn = -1.0;
        mx = 1.0;
    }
    // A degenerate (or reversed) range gets a width relative to its magnitude: an absolute
    // 1e-20 vanishes in the rounding of any value above about 1e-4.
    const double width = std::max(1e-20, std::max(std::fabs(mn), std::fabs(mx)) * 1e-9);
    if (!(mx - mn >= width)) mx = mn + width;
    requestedMin = mn;
    requestedMax = mx;

    const double u = (std::isfinite(unit) && unit != 0.0) ? unit : 1.0;
    double lo = mn / u, hi = mx / u;
    if (lo > hi) std::swap(lo, hi); // a negative unit
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) {
        lo = -1.0;
        hi = 1.0;
    }
    if (includeZero) {
        if (lo > 0.0)
            lo = 0.0;
        else if (hi < 0.0)
            hi = 0.0;
    }

    // Raw step brought into (1, 10], counting the decade.
    const double range = hi - lo;
    double r = range / std::max(n, 1);
    int e = 0;
    while (r > 10.0 && e < 400) {
        r *= 0.1;
        ++e;
    }
    while (r <= 1.0 && e > -400) {
        r *= 10.0;
        --e;
    }
    double major, minor;
    if (angleAxis && range >= 120.0) {
        if (r > 4.5) {
            major = 9.0;
            minor = 1.0;
        } else if (r > 3.0) {
            major = 4.5;
            minor = 0.5;
        } else if (r > 1.8) {
            major = 3.0;
            minor = 0.5;
        } else {
            major = 1.8;
            minor = 0.2;
        }
    } else if (r > 5.0) {
        major = 10.0;
        minor = 2.0;
    } else if (r > 2.5) {
        major = 5.0;
        minor = 1.0;
    } else if (r > 2.0) {
        major = 2.5;
        minor = 0.5;
    } else {
        major = 2.0;
        minor = 0.2;
    }
    for (int i = 0; i < e; ++i) {
        major *= 10.0;
        minor *= 10.0;
    }
    for (int i = 0; i > e; --i) {
        major *= 0.1;
        minor *= 0.1;
    }
    majorStep = major;
    minorStep = minor;

    int mode = endsMode;
    if (range / major < 2.0) mode = 2;
    if (mode == 1) {
        min = multipleAtOrBelow(lo, minor);
        max = multipleAtOrAbove(hi, minor);
    } else if (mode == 2) {
        min = multipleAtOrBelow(lo, major);
        max = multipleAtOrAbove(hi, major);
    } else {
        min = lo;
        max = hi;
    }
    firstMinor = multipleAtOrAbove(min, minor);
    firstMajor = multipleAtOrAbove(min, major);
    SetBorder(pixMin, pixMax);
}

void TAxis::SetBorder(int p1, int p2) {
    pixMin = p1;
    pixMax = p2;
    const double d = max - min;
    scale = (d != 0.0 && std::isfinite(d)) ? (p2 - p1) / d : 0.0;
    offset = p1 - min * scale;
}

int TAxis::Scale(double value) const {
    // NaN gives pixel 0; anything beyond a million pixels (infinities included) is held there,
    // far outside every device yet safe for the int arithmetic of the painter, so that a line
    // to such a point still leaves the picture on the right side.
    const double p = scale * value + offset;
    if (std::isnan(p)) return 0;
    constexpr double kFar = 1e6;
    return static_cast<int>(std::nearbyint(std::clamp(p, -kFar, kFar)));
}

double TAxis::UnScale(double pixel) const {
    return scale != 0.0 ? (pixel - offset) / scale : min;
}

} // namespace graphics
