// Tracing one curve of a diagram into pixel polylines: the angle runs over the x axis range,
// each value is mapped to pixels and the curve is clipped to the y axis pixel band. No Qt.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "graphics/axis.h"

namespace graphics {

struct PixelPoint {
    int x = 0, y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};
using Polyline = std::vector<PixelPoint>;

// More points than this are never evaluated for one curve (a tiny step over a wide range).
inline constexpr std::size_t kMaxTracePoints = 100000;

// The angles a trace evaluates: x.min, then increments of step, the last one cut to end
// exactly at x.max; at most maxPoints, and none further once phi no longer advances. A step
// that is not positive gives the two ends only.
std::vector<double> traceAngles(const TAxis& x, double step,
                                std::size_t maxPoints = kMaxTracePoints);

// The polylines through the values v[i] at the angles phi[i] (the clipping of traceCurve).
std::vector<Polyline> tracePolylines(const std::vector<double>& phi, const std::vector<double>& v,
                                     const TAxis& x, const TAxis& y);

// The polylines of f(phi) for phi from x.min in increments of step, the last increment cut to
// end exactly at x.max. A segment leaving the band between the rows y.pixMin and y.pixMax ends
// at the border row (column interpolated linearly), one re-entering starts a new polyline
// there, and one crossing the whole band is drawn between its two crossings. A value that is
// not a number or maps to no finite pixel breaks the curve. The trace stops when phi no
// longer advances or maxPoints points have been evaluated; a step that is not positive traces
// the two ends only. Consecutive equal pixels are merged.
std::vector<Polyline> traceCurve(const std::function<double(double)>& f, const TAxis& x,
                                 const TAxis& y, double step,
                                 std::size_t maxPoints = kMaxTracePoints);

} // namespace graphics
