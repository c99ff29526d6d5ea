// The curves of one plotted motion and the display of its restrictions in a diagram.
#pragma once

#include <QColor>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

#include "graphics/axis.h"
#include "model/tree.h"

class QPainter;

namespace graphics {

// QColor of a colour value 0x00BBGGRR.
QColor colorOf(std::int32_t bgr);

// The colours of a motion in a diagram: s curve (and torque), q curve, restriction brackets.
struct MotionColours {
    QColor s, q, bound;
};

// How many motions of a diagram get colours of their own before the palette repeats.
inline constexpr std::size_t kPaletteSize = 10;

// The colours of motion as the index-th member of a diagram: those the user picked (a colour
// other than its initial value, see model::kPickedColour) are kept; an s colour left alone is
// the palette's colour of the index, a q colour left alone a lighter shade of the s colour, a
// bound colour left alone the s colour.
MotionColours motionColours(const model::PaintStyle& style, std::size_t index);
MotionColours motionColours(const model::TPaintObj& motion, std::size_t index);

// The pen style of a style code 0 .. 4 (solid, dash, dot, dash-dot, dash-dot-dot; others solid).
Qt::PenStyle penStyle(int code);

// The name of a motion in a legend or a column heading: its short name, else its caption.
QString motionLabel(const model::Node& member);

// Angles with their sine and cosine, shared by all the curves evaluated on them.
struct AngleGrid {
    explicit AngleGrid(std::vector<double> angles);
    std::vector<double> phi, sin1, cos1;
};

// A truncated Fourier series ready for fast evaluation: the coefficients of one derivative
// order, summed with sin(kx), cos(kx) from the rotation by x (two calls of the library's sine
// and cosine per value instead of two per harmonic).
class FastSeries {
public:
    // Derivative order n of s (q = false) or q (q = true) of motion.
    FastSeries(const model::TPaintObj& motion, int n, bool q);
    // The torque term.
    explicit FastSeries(const model::TPaintObj& motion);
    // Value at phi in degrees.
    double operator()(double phi) const;
    // Values at all the angles of the grid at once (harmonic by harmonic over the angles: no
    // chain of dependent operations per value, and the inner loop vectorises).
    void evaluate(const AngleGrid& grid, std::vector<double>& out) const;

private:
    double constant_ = 0.0;
    std::vector<double> sin_, cos_; // harmonics 1 .. K
};

// Whether the q curve of the motion of node is drawn: eta > 0, for a relative specification
// that of either of its two absolute ones.
bool drawsQ(const model::Node& member);

// Draws the curves of member for the curve type (0 .. 3, or -1 the torque) at the angles of
// the grid (traceAngles of the x axis) in the colours given (grey for stale results).
void paintMotion(QPainter& p, const TAxis& x, const TAxis& y, const model::Node& member, int curve,
                 const AngleGrid& grid, const MotionColours& colours);

// The sampled extremes of the curve type of motion over x0 .. x1 by the rule of the motion's
// own extremes (0 and 0 without results); false for an unknown curve type.
bool curveExtremes(const model::TPaintObj& m, int curve, double x0, double x1, double& lo,
                   double& hi);

// Draws a restriction of member in the diagram of the curve type (nothing for another order
// or a spectrum kind). bound: the colour of its brackets; thick: drawn with a wider pen.
void drawRestriction(QPainter& p, const TAxis& x, const TAxis& y, const model::TRestr& r,
                     const model::PaintStyle& style, int curve, QColor bound, bool thick);

// The value range a restriction of the curve type adds to the automatic y range of a diagram
// whose x range is x0 .. x1: the bounds and variable values it has, when its angles overlap.
std::optional<std::pair<double, double>> restrictionRange(const model::TRestr& r, int curve,
                                                          double x0, double x1);

} // namespace graphics
