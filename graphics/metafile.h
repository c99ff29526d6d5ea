// A paint device that records what a QPainter draws as a Windows metafile (EMF or placeable
// WMF), in memory. The drawing units are the metafile's logical units; the frame (in 0.01 mm)
// and the units per inch are given by the caller.
//
// Supported: lines, polylines, polygons, rectangles (outlined and filled), text (face, size,
// weight, italic, underline, strike-out, colour), pens (colour, width, solid, dash, dot,
// dash-dot, dash-dot-dot, none), brushes (solid colour, none), the painter's transform
// (applied to the points; text is not rotated) and clipping to rectangles (a clip region or
// path counts as its bounding rectangle). Paths and ellipses become polygons; pixmaps and
// images are left out; gradients and patterns draw in their first colour.
#pragma once

#include <QByteArray>
#include <QPaintDevice>

#include <memory>

namespace graphics {

class MetafileEngine;

enum class MetafileKind { Emf, Wmf };

class MetafileDevice : public QPaintDevice {
public:
    // widthUnits × heightUnits logical units covering widthMm × heightMm; dpi: the logical dpi
    // reported to QPainter (font point sizes are converted with it).
    MetafileDevice(MetafileKind kind, int widthUnits, int heightUnits, int widthMm, int heightMm,
                   double dpi);
    ~MetafileDevice() override;

    QPaintEngine* paintEngine() const override;
    // The finished file; empty until the painter has ended.
    const QByteArray& bytes() const { return bytes_; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    friend class MetafileEngine;
    MetafileKind kind_;
    int widthUnits_, heightUnits_, widthMm_, heightMm_;
    double dpi_;
    QByteArray bytes_;
    std::unique_ptr<MetafileEngine> engine_;
};

} // namespace graphics
