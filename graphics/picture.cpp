#include "graphics/picture.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "graphics/motion_curves.h"
#include "graphics/trace.h"

namespace graphics {

namespace {

const char* titleOf(int curve) {
    switch (curve) {
    case 0:
        return "Weg s, q";
    case 1:
        return "Geschwindigkeit s´, q´";
    case 2:
        return "Beschleunigung s´´, q´´";
    case 3:
        return "Ruck s´´´, q´´´";
    case kTorque:
        return "Antriebsmoment s´ · s´´";
    default:
        return "";
    }
}

// A tick label: "0.0" for a value that is zero next to the axis ends, else the shortest
// general form (15 significant digits hide the rounding of the tick arithmetic). Locale-free.
QString tickLabel(double v, const TAxis& a) {
    if (std::fabs(v) <= 1e-6 * std::max(std::fabs(a.min), std::fabs(a.max)))
        return QStringLiteral("0.0");
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}

// The place of a curve type in the fixed order position, velocity, acceleration, jerk, torque.
std::size_t curveIndex(int curve) {
    return curve == kTorque ? 4 : static_cast<std::size_t>(std::clamp(curve, 0, 3));
}

// Calls f for first, first + step, ... up to last (a few thousand at most).
template <class F> void forTicks(double first, double step, double last, F&& f) {
    if (!(step > 0.0) || !std::isfinite(first) || !std::isfinite(last)) return;
    const double tol = step * 1e-6;
    for (int i = 0; i < 10000; ++i) {
        const double v = first + i * step;
        if (v > last + tol) break;
        f(v);
    }
}

} // namespace

void TDiagram::SetArea(int x1, int y1, int y2, int x2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    area = QRect(QPoint(x1, y1), QPoint(x2, y2));
    xAxis.SetBorder(x1, x2);
    yAxis.SetBorder(y2, y1);
}

void TDiagram::Paint(QPainter& p, bool xLabels, const std::vector<model::Node*>& members,
                     int resolution) const {
    const QFontMetrics fm = p.fontMetrics();
    const int th = fm.height();
    p.save();
    p.setPen(QPen(Qt::black, 0, Qt::SolidLine));
    p.setBrush(Qt::NoBrush);

    int left = xAxis.Scale(xAxis.min), right = xAxis.Scale(xAxis.max);
    int top = yAxis.Scale(yAxis.max), bottom = yAxis.Scale(yAxis.min);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const QPoint corners[5] = {
        {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    p.drawPolyline(corners, 5);

    p.drawText(QPoint(left, top - th * 9 / 7 + fm.ascent()), QString::fromUtf8(titleOf(curve)));

    // x ticks below the frame, labels centred under the major ones.
    forTicks(xAxis.firstMinor, xAxis.minorStep, xAxis.max, [&](double v) {
        const int x = std::clamp(xAxis.Scale(v), left, right);
        p.drawLine(x, bottom, x, bottom + th * 2 / 7);
    });
    forTicks(xAxis.firstMajor, xAxis.majorStep, xAxis.max, [&](double v) {
        const int x = std::clamp(xAxis.Scale(v), left, right);
        p.drawLine(x, xAxis.grid ? top : bottom, x, bottom + th * 3 / 7);
        if (xLabels) {
            const QString s = tickLabel(v, xAxis);
            p.drawText(QPoint(x - fm.horizontalAdvance(s) / 2, bottom + th * 4 / 7 + fm.ascent()),
                       s);
        }
    });
    // y ticks left of the frame, labels right-aligned and vertically centred.
    forTicks(yAxis.firstMinor, yAxis.minorStep, yAxis.max, [&](double v) {
        const int y = std::clamp(yAxis.Scale(v), top, bottom);
        p.drawLine(left, y, left - th * 2 / 7, y);
    });
    forTicks(yAxis.firstMajor, yAxis.majorStep, yAxis.max, [&](double v) {
        const int y = std::clamp(yAxis.Scale(v), top, bottom);
        p.drawLine(yAxis.grid ? right : left, y, left - th * 3 / 7, y);
        const QString s = tickLabel(v, yAxis);
        p.drawText(QPoint(left - th * 4 / 7 - fm.horizontalAdvance(s), y - th / 2 + fm.ascent()),
                   s);
    });

    const double pixels = xAxis.GetMax() - xAxis.GetMin();
    const double step = std::fabs((xAxis.max - xAxis.min) / pixels * resolution);
    p.setClipRect(QRect(QPoint(left, top), QPoint(right, bottom)), Qt::IntersectClip);

    // Each member in the colours of its place in the list, restrictions first, curves above.
    std::vector<std::pair<const model::Node*, MotionColours>> plotted;
    for (std::size_t i = 0; i < members.size(); ++i)
        if (const auto* m = members[i] != nullptr ? members[i]->as<model::TPaintObj>() : nullptr)
            plotted.emplace_back(members[i], motionColours(*m, i));
    if (showRestrictions) {
        for (const auto& [member, colours] : plotted) {
            const model::PaintStyle& style = member->as<model::TPaintObj>()->PaintStyle;
            for (const auto& child : member->children) {
                const auto* r = child->as<model::TRestr>();
                if (r == nullptr) continue;
                const bool bound =
                    std::find(binding.begin(), binding.end(), child.get()) != binding.end();
                const QColor c = bound || r->Highlighted ? highlight : colours.bound;
                drawRestriction(p, xAxis, yAxis, *r, style, curve, c, bound);
            }
        }
    }
    const AngleGrid grid(traceAngles(xAxis, step));
    for (const auto& [member, colours] : plotted)
        paintMotion(p, xAxis, yAxis, *member, curve, grid, colours);
    p.restore();
}

Picture::Picture() {
    for (int i = 0; i < 5; ++i) diagrams[i].curve = i < 4 ? i : kTorque;
}

void Picture::choose(const std::array<bool, 5>& curves) {
    // Each diagram keeps its curve and with it its axes, so that a zoomed y range stays with its
    // curve when another curve comes or goes: the chosen move to the front in the fixed order,
    // the others follow.
    const auto key = [&curves](const TDiagram& d) {
        const std::size_t i = curveIndex(d.curve);
        return std::pair(!curves[i], i);
    };
    std::sort(diagrams.begin(), diagrams.end(),
              [&key](const TDiagram& a, const TDiagram& b) { return key(a) < key(b); });
    shown = static_cast<int>(std::count(curves.begin(), curves.end(), true));
}

std::array<bool, 5> Picture::chosen() const {
    std::array<bool, 5> c{};
    for (int i = 0; i < std::clamp(shown, 0, 5); ++i) c[curveIndex(diagrams[i].curve)] = true;
    return c;
}

namespace {

// The automatic y range of a diagram: every member's curve extremes widened by its
// restrictions of that curve; members whose range is empty are left out.
bool autoRange(const std::vector<model::Node*>& members, int curve, const TAxis& x, double& mn,
               double& mx) {
    bool any = false;
    for (const model::Node* node : members) {
        const auto* m = node != nullptr ? node->as<model::TPaintObj>() : nullptr;
        if (m == nullptr) continue;
        double lo, hi;
        if (!curveExtremes(*m, curve, x.min, x.max, lo, hi)) continue;
        for (const auto& child : node->children)
            if (const auto* r = child->as<model::TRestr>())
                if (const auto range = restrictionRange(*r, curve, x.min, x.max)) {
                    lo = std::min(lo, range->first);
                    hi = std::max(hi, range->second);
                }
        if (!(lo < hi) || !std::isfinite(lo) || !std::isfinite(hi)) continue;
        mn = any ? std::min(mn, lo) : lo;
        mx = any ? std::max(mx, hi) : hi;
        any = true;
    }
    return any;
}

// One motion in the legend: short line samples of its s curve and, when drawn, its q curve in
// their colours and pen styles, then its name (grey while its results are stale).
struct LegendEntry {
    QString name;
    MotionColours colours;
    Qt::PenStyle sLine = Qt::SolidLine, qLine = Qt::SolidLine;
    bool q = false, stale = false;
    int width = 0;
};

// The legend's rows, each a list of entries laid out from the right end. They share the row of
// the first diagram's title when they all fit beside it (first), else take rows of their own.
struct Legend {
    std::vector<LegendEntry> entries;
    std::vector<std::vector<std::size_t>> rows;
    bool besideTitle = false;
    int sample = 0, gap = 0; // length of a line sample, space between the parts
    int spacing = 0;         // between two entries of a row
};

// The legend of the members; titleRoom: the width beside the first title, rowWidth: of a row.
Legend legendOf(const std::vector<model::Node*>& members, const QFontMetrics& fm, int cw,
                int titleRoom, int rowWidth) {
    Legend lg;
    lg.sample = 2 * cw;
    lg.gap = std::max(1, cw / 2);
    lg.spacing = 2 * cw;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto* m = members[i] != nullptr ? members[i]->as<model::TPaintObj>() : nullptr;
        if (m == nullptr) continue;
        LegendEntry e;
        e.colours = motionColours(*m, i);
        e.sLine = penStyle(m->PaintStyle.sLine);
        e.qLine = penStyle(m->PaintStyle.qLine);
        e.q = m->HasResults && drawsQ(*members[i]);
        e.stale = m->HasResults && !m->ResultsCurrent;
        const int samples = (e.q ? 2 * lg.sample + lg.gap : lg.sample) + lg.gap;
        e.name = fm.elidedText(motionLabel(*members[i]), Qt::ElideRight,
                               std::max(cw, std::min(30 * cw, rowWidth - samples)));
        e.width = samples + fm.horizontalAdvance(e.name);
        lg.entries.push_back(std::move(e));
    }
    int total = 0;
    for (const LegendEntry& e : lg.entries) total += e.width + (total > 0 ? lg.spacing : 0);
    lg.besideTitle = total <= titleRoom;
    int used = 0;
    for (std::size_t i = 0; i < lg.entries.size(); ++i) {
        const int w = lg.entries[i].width;
        if (lg.rows.empty() || (!lg.besideTitle && used + lg.spacing + w > rowWidth)) {
            lg.rows.emplace_back();
            used = w;
        } else {
            used += lg.spacing + w;
        }
        lg.rows.back().push_back(i);
    }
    return lg;
}

// Draws a row of the legend so that it ends at x = right, its text in the row starting at top.
void drawLegendRow(QPainter& p, const Legend& lg, const std::vector<std::size_t>& row, int right,
                   int top) {
    const QFontMetrics fm = p.fontMetrics();
    int x = right;
    for (std::size_t i : row) x -= lg.entries[i].width + lg.spacing;
    x += lg.spacing;
    const int ym = top + fm.height() / 2;
    const int penWidth = std::max(1, fm.height() / 10);
    for (std::size_t i : row) {
        const LegendEntry& e = lg.entries[i];
        const int start = x;
        const auto sample = [&](const QColor& c, Qt::PenStyle style) {
            p.setPen(QPen(c, penWidth, style, Qt::FlatCap));
            p.drawLine(x, ym, x + lg.sample, ym);
            x += lg.sample + lg.gap;
        };
        sample(e.colours.s, e.sLine);
        if (e.q) sample(e.colours.q, e.qLine);
        p.setPen(e.stale ? QColor(0x80, 0x80, 0x80) : QColor(Qt::black));
        p.drawText(QPoint(x, top + fm.ascent()), e.name);
        x = start + e.width + lg.spacing;
    }
    p.setPen(QPen(Qt::black, 0, Qt::SolidLine));
}

} // namespace

void drawPicture(QPainter& p, int w, int h, Picture& pic, int resolution) {
    p.save();
    p.fillRect(QRect(0, 0, w, h), Qt::white);
    const QFontMetrics fm = p.fontMetrics();
    const int th = std::max(1, fm.height());
    const int cw = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    const int n = std::clamp(pic.shown, 0, 5);
    if (n == 0) {
        p.restore();
        return;
    }
    // The legend beside the first title, or in rows above it that the diagrams give up.
    const int left = 11 * cw, right = w - 4 * cw;
    const int title = fm.horizontalAdvance(QString::fromUtf8(titleOf(pic.diagrams[0].curve)));
    const Legend legend =
        legendOf(pic.members, fm, cw, right - left - title - 3 * cw, right - left);
    const int legendRows = legend.besideTitle ? 0 : static_cast<int>(legend.rows.size());
    const int top = legendRows > 0 ? legendRows * th + th / 2 : 0;
    const int dh = (h - top - 2 * th) / n - 2 * th;
    const int xDivisions = (w - 15 * cw) / (10 * cw);
    for (int i = 0; i < n; ++i) {
        TDiagram& d = pic.diagrams[i];
        d.showRestrictions = pic.showRestrictions;
        d.highlight = pic.highlight;
        d.binding = pic.binding;
        const int y0 = top + (dh + 2 * th) * i + 2 * th;
        d.SetArea(left, y0, y0 + dh, right);
        if (d.xAxis.autoRange)
            d.xAxis.SetMinMax(xDivisions, 0.0, 360.0);
        else
            d.xAxis.SetMinMax(xDivisions, d.xAxis.requestedMin, d.xAxis.requestedMax);
        double mn = d.yAxis.requestedMin, mx = d.yAxis.requestedMax;
        if (d.yAxis.autoRange &&
            !(!pic.members.empty() && autoRange(pic.members, d.curve, d.xAxis, mn, mx))) {
            mn = 1.0;
            mx = -1.0;
        }
        if (!(mn < mx)) {
            mn = -1.0;
            mx = 1.0;
        }
        d.yAxis.SetMinMax(dh / th / 3, mn, mx);
    }
    for (int i = 0; i < n; ++i) pic.diagrams[i].Paint(p, i == n - 1, pic.members, resolution);
    const int titleTop = pic.diagrams[0].area.top() - th * 9 / 7;
    for (std::size_t r = 0; r < legend.rows.size(); ++r)
        drawLegendRow(p, legend, legend.rows[r], right,
                      legend.besideTitle ? titleTop : th / 4 + static_cast<int>(r) * th);
    p.restore();
}

} // namespace graphics
