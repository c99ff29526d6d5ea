#include "graphics/motion_curves.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "graphics/trace.h"

namespace graphics {

QColor colorOf(std::int32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

namespace {

// Ten hues, dark enough for a hairline on white and their lighter q shade to show, none of
// them grey (stale results) or the bright green of the highlight.
constexpr std::array<QRgb, kPaletteSize> kPalette = {
    0x1F77B4, // blue
    0xD62728, // red
    0x2CA02C, // green
    0xE36C00, // orange
    0x9467BD, // purple
    0x8C564B, // brown
    0xC51B8A, // magenta
    0x7F7F00, // olive
    0x008B8B, // teal
    0x393B79, // navy
};

// Halfway to white: the q curve beside the s curve of the same motion.
QColor lighter(const QColor& c) {
    auto mix = [](int v) { return v + (255 - v) * 9 / 20; };
    return QColor(mix(c.red()), mix(c.green()), mix(c.blue()));
}

} // namespace

MotionColours motionColours(const model::TPaintObj& motion, std::size_t index) {
    return motionColours(motion.PaintStyle, index);
}

MotionColours motionColours(const model::PaintStyle& st, std::size_t index) {
    const model::PaintStyle initial;
    MotionColours c;
    c.s = st.sColor == initial.sColor ? QColor(kPalette[index % kPalette.size()])
                                      : colorOf(st.sColor);
    c.q = st.qColor == initial.qColor ? lighter(c.s) : colorOf(st.qColor);
    c.bound = st.minColor == initial.minColor ? c.s : colorOf(st.minColor);
    return c;
}

QString motionLabel(const model::Node& member) {
    const auto* h = member.as<model::THSHeader>();
    return QString::fromStdString(h != nullptr && !h->ShortName.empty() ? h->ShortName
                                                                        : member.obj().Caption);
}

FastSeries::FastSeries(const model::TPaintObj& motion, int n, bool q) {
    const model::TVector& v = q ? motion.qSC : motion.sSC;
    const int K = std::max(v.harmonics(), 0);
    constant_ = q ? motion.q_cos(n, 0) : motion.s_cos(n, 0);
    sin_.resize(static_cast<std::size_t>(K));
    cos_.resize(static_cast<std::size_t>(K));
    for (int k = 1; k <= K; ++k) {
        sin_[k - 1] = q ? motion.q_sin(n, k) : motion.s_sin(n, k);
        cos_[k - 1] = q ? motion.q_cos(n, k) : motion.s_cos(n, k);
    }
}

FastSeries::FastSeries(const model::TPaintObj& motion) {
    const int K = std::max(motion.mSC.harmonics(), 0);
    sin_.resize(static_cast<std::size_t>(K));
    cos_.resize(static_cast<std::size_t>(K));
    for (int k = 1; k <= K; ++k) {
        sin_[k - 1] = motion.m_sin(k);
        cos_[k - 1] = motion.m_cos(k);
    }
}

double FastSeries::operator()(double phi) const {
    const double x = phi * (std::numbers::pi / 180.0);
    const double s1 = std::sin(x), c1 = std::cos(x);
    double sk = s1, ck = c1, sum = constant_;
    const std::size_t K = sin_.size();
    for (std::size_t k = 0; k < K; ++k) {
        sum += sk * sin_[k] + ck * cos_[k];
        const double s = sk * c1 + ck * s1;
        ck = ck * c1 - sk * s1;
        sk = s;
    }
    return sum;
}

AngleGrid::AngleGrid(std::vector<double> angles)
    : phi(std::move(angles)), sin1(phi.size()), cos1(phi.size()) {
    for (std::size_t i = 0; i < phi.size(); ++i) {
        const double x = phi[i] * (std::numbers::pi / 180.0);
        sin1[i] = std::sin(x);
        cos1[i] = std::cos(x);
    }
}

void FastSeries::evaluate(const AngleGrid& grid, std::vector<double>& out) const {
    const std::size_t n = grid.phi.size();
    out.assign(n, constant_);
    std::vector<double> rot(grid.sin1); // sin kx, then cos kx
    rot.insert(rot.end(), grid.cos1.begin(), grid.cos1.end());
    const double* s1 = grid.sin1.data();
    const double* c1 = grid.cos1.data();
    double* sk = rot.data();
    double* ck = sk + n;
    double* o = out.data();
    for (std::size_t k = 0; k < sin_.size(); ++k) {
        const double a = sin_[k], b = cos_[k];
        for (std::size_t i = 0; i < n; ++i) {
            o[i] += sk[i] * a + ck[i] * b;
            const double s = sk[i] * c1[i] + ck[i] * s1[i];
            ck[i] = ck[i] * c1[i] - sk[i] * s1[i];
            sk[i] = s;
        }
    }
}

Qt::PenStyle penStyle(int code) {
    switch (code) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

namespace {

constexpr std::int32_t kGrey = 0x808080;

void traceInto(QPainter& p, const TAxis& x, const TAxis& y, const AngleGrid& grid,
               const FastSeries& f, QColor color, int style) {
    QPen pen(color);
    pen.setWidth(0);
    pen.setStyle(penStyle(style));
    p.setPen(pen);
    std::vector<double> v;
    f.evaluate(grid, v);
    const auto lines = tracePolylines(grid.phi, v, x, y);
    std::vector<QPoint> buf;
    for (const Polyline& l : lines) {
        buf.clear();
        for (const PixelPoint& q : l) buf.emplace_back(q.x, q.y);
        p.drawPolyline(buf.data(), static_cast<int>(buf.size()));
    }
    p.setPen(QPen(Qt::black, 0, Qt::SolidLine));
}

double eta(const model::Node* n) {
    const auto* m = n != nullptr ? n->as<model::TPaintObj>() : nullptr;
    return m != nullptr ? m->s_sin(0, 0) : 0.0;
}

} // namespace

bool drawsQ(const model::Node& member) {
    if (const auto* rel = member.as<model::TRelHeader>()) {
        // Element 0 of a relative series is a difference of two ratios: ask the two motions.
        if (const model::Node* project = model::projectOf(&member)) {
            return eta(model::findAbs(*project, std::abs(rel->IPar[1]))) > 0.0 ||
                   eta(model::findAbs(*project, rel->IPar[2])) > 0.0;
        }
    }
    return eta(&member) > 0.0;
}

void paintMotion(QPainter& p, const TAxis& x, const TAxis& y, const model::Node& member, int curve,
                 const AngleGrid& grid, const MotionColours& colours) {
    const auto* m = member.as<model::TPaintObj>();
    if (m == nullptr || !m->HasResults) return;
    const model::PaintStyle& st = m->PaintStyle;
    const QColor grey = colorOf(kGrey);
    if (curve >= 0 && curve <= 3) {
        traceInto(p, x, y, grid, FastSeries(*m, curve, false), m->ResultsCurrent ? colours.s : grey,
                  st.sLine);
        if (drawsQ(member))
            traceInto(p, x, y, grid, FastSeries(*m, curve, true),
                      m->ResultsCurrent ? colours.q : grey, st.qLine);
    } else if (curve == -1 && member.as<model::THSHeader>() != nullptr && m->mSC.Count() > 0) {
        traceInto(p, x, y, grid, FastSeries(*m), colours.s, st.sLine);
    }
}

namespace {

// The extremes of f over the angles at which the motion's own extremes are sampled.
void sampledExtremes(const FastSeries& f, std::int32_t count, double x0, double x1, double& lo,
                     double& hi) {
    std::vector<double> angles;
    lo = x0;
    hi = x1;
    model::sampleMinMax(lo, hi, count, [&](double phi) {
        angles.push_back(phi);
        return 0.0;
    });
    std::vector<double> v;
    f.evaluate(AngleGrid(std::move(angles)), v);
    lo = hi = v.empty() ? 0.0 : v.front();
    for (double y : v) {
        if (y > hi)
            hi = y;
        else if (y < lo)
            lo = y;
    }
}

} // namespace

bool curveExtremes(const model::TPaintObj& m, int curve, double x0, double x1, double& lo,
                   double& hi) {
    if (curve < -1 || curve > 3) return false;
    lo = hi = 0.0;
    if (!m.HasResults) return true;
    if (curve == -1) {
        if (m.mSC.Count() > 0) sampledExtremes(FastSeries(m), m.mSC.Count(), x0, x1, lo, hi);
        return true;
    }
    double qlo, qhi;
    sampledExtremes(FastSeries(m, curve, false), m.sSC.Count(), x0, x1, lo, hi);
    sampledExtremes(FastSeries(m, curve, true), m.qSC.Count(), x0, x1, qlo, qhi);
    lo = std::min(lo, qlo);
    hi = std::max(hi, qhi);
    return true;
}

namespace {

// The pixels of one restriction drawing with all angles shifted by `shift` degrees.
struct RestrictionPainter {
    QPainter& p;
    const TAxis& x;
    const TAxis& y;
    const model::TRestr& r;
    QColor fill, bound, domain;
    int width;

    static constexpr int kStroke = 5; // pixels

    void line(QColor c, int x1, int y1, int x2, int y2) {
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(x1, y1, x2, y2);
    }
    // The shift range lo .. hi (degrees) as a line at row yr.
    void shiftLine(double lo, double hi, double shift, int yr) {
        line(domain, x.Scale(lo + shift), yr, x.Scale(hi + shift), yr);
    }

    void interval(double shift) {
        const auto& g = r.GlobalPar;
        const int xa1 = x.Scale(g[2] + shift), xa2 = x.Scale(g[4] + shift);
        const int xo1 = x.Scale((r.IPar[4] == 1 ? g[1] : g[2]) + shift);
        const int xo2 = x.Scale((r.IPar[5] == 1 ? g[3] : g[4]) + shift);
        // Lower bound: variable value RPar[5], strokes downward; upper: RPar[7], upward.
        for (int side = 0; side < 2; ++side) {
            const int code = r.IPar[6 + side];
            if (code < 0) continue;
            const double b = g[side == 0 ? 6 : 8];
            const double v = code == 1 ? g[side == 0 ? 5 : 7] : b;
            const int yb = y.Scale(b), yv = y.Scale(v);
            const int dir = side == 0 ? kStroke : -kStroke;
            p.fillRect(QRect(QPoint(std::min(xo1, xo2), std::min(yb, yv)),
                             QPoint(std::max(xo1, xo2), std::max(yb, yv))),
                       fill);
            line(bound, xa1, yb, xa2, yb);
            line(bound, xa1, yb, xa1, yb + dir);
            line(bound, xa2, yb, xa2, yb + dir);
            if (r.Global) {
                shiftLine(g[9], g[10], shift, yb + dir);
                shiftLine(g[11], g[12], shift, yb + dir);
            }
        }
    }

    void point() {
        const auto& g = r.GlobalPar;
        const int xp = x.Scale(g[2]);
        for (int side = 0; side < 2; ++side) {
            const int code = r.IPar[6 + side];
            if (code < 0) continue;
            const double b = g[side == 0 ? 6 : 8];
            const double v = code == 1 ? g[side == 0 ? 5 : 7] : b;
            const int yb = y.Scale(b), yv = y.Scale(v);
            const int dir = side == 0 ? kStroke : -kStroke;
            line(fill, xp - kStroke, yv, xp + kStroke, yv);
            line(fill, xp, yb, xp, yv);
            line(bound, xp - kStroke, yb, xp + kStroke, yb);
            line(bound, xp, yb, xp, yb + dir);
            if (r.Global) shiftLine(g[9], g[10], 0.0, yb + dir);
        }
    }
};

bool drawnIn(const model::TRestr& r, int curve) {
    return curve >= 0 && !model::isSpectrumKind(r.code()) && r.order() == curve &&
           (model::isPointKind(r.code()) || model::isIntervalKind(r.code()));
}

} // namespace

void drawRestriction(QPainter& p, const TAxis& x, const TAxis& y, const model::TRestr& r,
                     const model::PaintStyle& style, int curve, QColor bound, bool thick) {
    if (!drawnIn(r, curve)) return;
    p.save();
    RestrictionPainter rp{
        p, x, y, r, colorOf(style.maxColor), bound, colorOf(style.DomainColor), thick ? 3 : 0};
    if (model::isPointKind(r.code())) {
        rp.point();
    } else {
        const auto& g = r.GlobalPar;
        const double lo = std::min(g[2], r.IPar[4] == 1 ? g[1] : g[2]);
        const double hi = std::max(g[4], r.IPar[5] == 1 ? g[3] : g[4]);
        rp.interval(0.0);
        // An interval over the start or the end of the revolution continues on the other side.
        if (lo < 0.0)
            rp.interval(360.0);
        else if (hi > 360.0)
            rp.interval(-360.0);
    }
    p.restore();
    p.setPen(QPen(Qt::black, 0, Qt::SolidLine));
    p.setBrush(QBrush(Qt::white, Qt::SolidPattern));
}

std::optional<std::pair<double, double>> restrictionRange(const model::TRestr& r, int curve,
                                                          double x0, double x1) {
    if (!drawnIn(r, curve)) return std::nullopt;
    const auto& g = r.GlobalPar;
    double a1, a2;
    if (model::isPointKind(r.code())) {
        a1 = a2 = g[2];
        if (r.Global) {
            a1 = std::min(a1, g[9]);
            a2 = std::max(a2, g[10]);
        }
    } else {
        a1 = std::min(g[2], r.IPar[4] == 1 ? g[1] : g[2]);
        a2 = std::max(g[4], r.IPar[5] == 1 ? g[3] : g[4]);
        if (r.Global) {
            a1 = std::min(a1, g[9]);
            a2 = std::max(a2, g[12]);
        }
    }
    bool overlaps = false;
    for (double shift : {0.0, 360.0, -360.0})
        overlaps = overlaps || (a1 + shift <= x1 && a2 + shift >= x0);
    if (!overlaps) return std::nullopt;
    // Only the bounds it has and their variable values.
    std::vector<double> values;
    if (r.IPar[6] >= 0) values.push_back(g[6]);
    if (r.IPar[6] == 1) values.push_back(g[5]);
    if (r.IPar[7] >= 0) values.push_back(g[8]);
    if (r.IPar[7] == 1) values.push_back(g[7]);
    std::erase_if(values, [](double v) { return !std::isfinite(v); });
    if (values.empty()) return std::nullopt;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return std::make_pair(*lo, *hi);
}

} // namespace graphics
