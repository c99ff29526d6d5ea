// The picture of a diagram window: one to five stacked diagrams of the plotted motions with
// their restrictions, drawn by one routine onto any paint device (screen, bitmap, printer,
// metafile, SVG, PDF).
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include <array>
#include <vector>

#include "graphics/axis.h"
#include "model/tree.h"

class QPainter;

namespace graphics {

// Curve types of a diagram: 0 .. 3 the derivative order of s and q, -1 the torque term.
inline constexpr int kTorque = -1;

class TDiagram {
public:
    TDiagram() { xAxis.angleAxis = true; }
    // Orders the pairs, stores the plot rectangle and gives the axes their pixel ends.
    void SetArea(int x1, int y1, int y2, int x2);
    // Frame, ticks, labels (x labels only when xLabels), restrictions and curves of members.
    void Paint(QPainter& p, bool xLabels, const std::vector<model::Node*>& members,
               int resolution) const;

    TAxis xAxis, yAxis;
    QRect area;    // the plot rectangle
    int curve = 0; // 0 .. 3 or kTorque
    QColor highlight{0x00, 0xFF, 0x00};
    bool showRestrictions = true;
    // Restriction nodes drawn in the highlight colour with a wider pen, whatever their
    // Highlighted flag (drawPicture copies the picture's list).
    std::vector<const model::Node*> binding;
};

// What a diagram window shows.
struct Picture {
    std::array<TDiagram, 5> diagrams; // the first `shown` are drawn, top to bottom
    int shown = 3;
    std::vector<model::Node*> members; // motion specifications plotted (not owned)
    QColor highlight{0x00, 0xFF, 0x00};
    bool showRestrictions = true;
    // Restrictions to draw in the highlight colour with a wider pen (e.g. the binding ones).
    std::vector<const model::Node*> binding;

    Picture();
    // Puts the diagrams of the chosen curves first, in the order 0, 1, 2, 3, torque; each
    // diagram keeps its axes with its curve.
    void choose(const std::array<bool, 5>& curves);
    std::array<bool, 5> chosen() const;
};

// Draws the whole picture into a device area of size w × h with curve resolution rho (device
// units per traced point: 1 screen, bitmaps and the 0.1 mm of metafiles, SVG and PDF, 2
// printer): white background, layout from the painter's font, axes scaled (automatic ranges
// from the members' curves and restrictions), every shown diagram painted, each member in its
// colours (motionColours of its place in the list), and a legend of the members above the
// diagrams. The axes of pic are updated (zoom works on them afterwards).
void drawPicture(QPainter& p, int w, int h, Picture& pic, int resolution);

} // namespace graphics
