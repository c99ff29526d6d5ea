// Pictures out of the program: files by extension (BMP, EMF, WMF as the diagrams have always
// written them, and PNG, SVG, PDF), the clipboard (image and SVG) and the printer. Each takes
// the drawing as a function, so one drawing path serves every device.
#pragma once

#include <QFont>
#include <QString>

#include <functional>
#include <optional>

#include "model/message.h"

class QMimeData;
class QPainter;
class QPrinter;

namespace graphics {

// Draws the picture into the area w × h of the painter's device, curve resolution rho.
using DrawFn = std::function<void(QPainter& p, int w, int h, int rho)>;

// The export options ("Optionen (Bitmap-Export)").
struct ExportOptions {
    int widthMm = 100, heightMm = 150;
    int resolution = 0; // 0 screen, 1 180 dpi, 2 300 dpi
    QFont font;
};

// Writes the picture to path, the format chosen by its extension (case ignored): .bmp, .png
// (bitmap at the chosen resolution), .emf, .wmf (metafile, 0.01 mm frame; a WMF longer than
// 3276.7 mm on a side is laid out in a coarser unit than 0.1 mm), .svg, .pdf. Another
// extension gives "Unbekanntes Format: " + extension + "\rDie Grafik wurde nicht gesichert.".
// A file is written whole or not at all; a failure gives a message.
std::optional<model::Message> exportPicture(const QString& path, const DrawFn& draw,
                                            const ExportOptions& options, double screenPpi);

// The clipboard contents of a picture: the bitmap as for ".bmp" and the SVG.
QMimeData* pictureMimeData(const DrawFn& draw, const ExportOptions& options, double screenPpi);

// Prints the picture on a whole page (rho 2), landscape or portrait; a message on failure.
std::optional<model::Message> printPicture(QPrinter& printer, const DrawFn& draw, bool landscape,
                                           const QFont& font);

} // namespace graphics
