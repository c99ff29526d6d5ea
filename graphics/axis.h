// An axis of a diagram: the range drawn, its round tick steps and the mapping to pixels.
// No Qt: the scaling is plain arithmetic and is tested alone.
#pragma once

#include <cstdint>

namespace graphics {

class TAxis {
public:
    // Computes ticks, ends and the pixel mapping for about n divisions of min .. max. Always
    // ends: a degenerate range is widened relative to its magnitude, a non-finite one becomes
    // -1 .. 1.
    void SetMinMax(int n, double min, double max);
    // The pixel ends (x: left, right; y: bottom, top).
    void SetBorder(int p1, int p2);
    double GetMin() const { return pixMin; } // the pixel ends as reals
    double GetMax() const { return pixMax; }
    // Pixel of a value: Round(scale·value + offset); 0 when that is not a number, held at
    // ±1e6 beyond (infinities too), so that lines towards such points keep their direction.
    int Scale(double value) const;
    double UnScale(double pixel) const;

    double min = 0.0, max = 1.0; // the range drawn
    int pixMin = 0, pixMax = 0;
    double firstMajor = 0.0, firstMinor = 0.0;
    double scale = 0.0, offset = 0.0;
    double unit = 1.0;
    std::uint8_t endsMode = 1; // 0 exact, 1 on a minor tick, 2 on a major tick
    bool includeZero = false;  // y axes only
    bool angleAxis = false;    // x axes: the angle step table
    bool autoRange = true;
    double requestedMin = 0.0, requestedMax = 1.0;
    double minorStep = 0.1, majorStep = 1.0;
    bool grid = false;
};

} // namespace graphics
