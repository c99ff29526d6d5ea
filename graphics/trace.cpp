#include "graphics/trace.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {

struct Tracer {
    double top, bottom; // pixel rows of the band, top <= bottom
    std::vector<Polyline> lines;
    bool open = false; // the last polyline takes further points

    static PixelPoint pixel(double px, double py) {
        return {static_cast<int>(std::nearbyint(px)), static_cast<int>(std::nearbyint(py))};
    }
    void add(double px, double py) {
        const PixelPoint q = pixel(px, py);
        if (!open) {
            lines.emplace_back();
            open = true;
        } else if (!lines.back().empty() && lines.back().back() == q) {
            return;
        }
        lines.back().push_back(q);
    }
    void close() {
        // A polyline of one point draws nothing; it is dropped.
        if (open && lines.back().size() < 2) lines.pop_back();
        open = false;
    }
    bool inside(double py) const { return py >= top && py <= bottom; }
    // The border row on the side of py (which lies outside the band).
    double border(double py) const { return py < top ? top : bottom; }
    static double crossing(double xa, double ya, double xb, double yb, double row) {
        return xa + (xb - xa) * (row - ya) / (yb - ya);
    }

    // The segment from (xa, ya) to (xb, yb); (xa, ya) is already handled.
    void segment(double xa, double ya, double xb, double yb) {
        const bool ina = inside(ya), inb = inside(yb);
        if (ina && inb) {
            add(xb, yb);
        } else if (ina) {
            const double row = border(yb);
            add(crossing(xa, ya, xb, yb, row), row);
            close();
        } else if (inb) {
            const double row = border(ya);
            close();
            add(crossing(xa, ya, xb, yb, row), row);
            add(xb, yb);
        } else if ((ya < top) != (yb < top)) {
            // From one side of the band to the other: the part between the crossings.
            const double r1 = border(ya), r2 = border(yb);
            close();
            add(crossing(xa, ya, xb, yb, r1), r1);
            add(crossing(xa, ya, xb, yb, r2), r2);
            close();
        }
    }
};

} // namespace

std::vector<double> traceAngles(const TAxis& x, double step, std::size_t maxPoints) {
    std::vector<double> phis;
    const double start = x.min, end = x.max;
    if (!std::isfinite(start) || !std::isfinite(end) || maxPoints == 0) return phis;
    if (!(step > 0.0)) step = std::fabs(end - start);
    if (step > 0.0 && std::isfinite(step))
        phis.reserve(static_cast<std::size_t>(
            std::min<double>(static_cast<double>(maxPoints), (end - start) / step + 2.0)));
    double phi = start;
    phis.push_back(phi);
    while (phi < end && phis.size() < maxPoints) {
        double next = phi + step;
        if (next > end) next = end;
        if (!(next > phi)) break; // the step vanishes against phi
        phi = next;
        phis.push_back(phi);
    }
    return phis;
}

std::vector<Polyline> tracePolylines(const std::vector<double>& phi, const std::vector<double>& v,
                                     const TAxis& x, const TAxis& y) {
    Tracer t;
    t.top = std::min(y.pixMin, y.pixMax);
    t.bottom = std::max(y.pixMin, y.pixMax);
    bool have = false; // a finite previous point
    double xa = 0.0, ya = 0.0;
    const std::size_t n = std::min(phi.size(), v.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double px = x.scale * phi[i] + x.offset;
        const double py = y.scale * v[i] + y.offset;
        if (!std::isfinite(px) || !std::isfinite(py)) {
            t.close();
            have = false;
            continue;
        }
        if (!have) {
            t.close();
            if (t.inside(py)) t.add(px, py);
        } else {
            t.segment(xa, ya, px, py);
        }
        xa = px;
        ya = py;
        have = true;
    }
    t.close();
    return std::move(t.lines);
}

std::vector<Polyline> traceCurve(const std::function<double(double)>& f, const TAxis& x,
                                 const TAxis& y, double step, std::size_t maxPoints) {
    const std::vector<double> phi = traceAngles(x, step, maxPoints);
    std::vector<double> v(phi.size());
    for (std::size_t i = 0; i < phi.size(); ++i) v[i] = f(phi[i]);
    return tracePolylines(phi, v, x, y);
}

} // namespace graphics
