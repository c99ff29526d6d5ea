// "Grafik": a window of stacked diagrams of one or more motions. It draws its picture into a
// bitmap kept at the √2 aspect ratio, zooms with a rubber band, and saves, copies and prints the
// picture through the one drawing routine.
#pragma once

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>

#include "graphics/export.h"
#include "graphics/picture.h"

class QAction;
class QVBoxLayout;
class QMenu;
class QRubberBand;

namespace graphics {

class Prompts;
class SpectrumView;
class ValuesTable;

// What the diagram windows share and get from outside: the dialogs, the printer, the export
// options, the options window and the main window (to bring it to the front).
struct DiagramServices {
    Prompts* prompts = nullptr;
    std::function<QPrinter*()> printer; // none: printing is disabled
    std::function<ExportOptions()> exportOptions;
    std::function<void()> showMainWindow;
    std::function<void(QString)> statusText;   // drag feedback
    std::function<model::Node*()> draggedNode; // the node a drag from the tree carries
};

// The drawing area's size in a usable area: the √2 ratio, landscape when the area is wider than
// high, at least 346 pixels across the diagonal.
QSize drawingAreaSize(QSize usable, bool& landscape);

class TGrafik : public QWidget {
    Q_OBJECT
public:
    TGrafik(DiagramServices& services, std::vector<model::Node*> members,
            QWidget* parent = nullptr);

    Picture pic;
    bool redrawNeeded = false;
    bool landscape = false;

    // Draws the picture into the bitmap and shows it.
    void Redraw();
    // Every occurrence of node leaves the members; the window is to be redrawn.
    void removeMember(const model::Node* node);
    bool hasMember(const model::Node* node) const;
    // The picture as it would be saved, copied or printed.
    DrawFn drawFunction() const;

    // Commands of the context menu.
    void saveAs();
    void copyToClipboard();
    void print();
    void autoScale();
    // Zoom to the rectangle (pixels of the drawing area); false when it is too small.
    bool zoom(QRect r);

    QWidget* DrawArea = nullptr;
    QMenu* Menu = nullptr;
    QAction *MainWindowItem = nullptr, *OptionsItem = nullptr, *CopyItem = nullptr,
            *SaveItem = nullptr, *PrintItem = nullptr, *AutoItem = nullptr;
    std::array<QAction*, 5> CurveItems{};
    // Beside the diagrams, each shown on demand: characteristic values and the spectrum.
    QWidget* SidePanel = nullptr;
    ValuesTable* Values = nullptr;
    SpectrumView* Spectrum = nullptr;
    QAction *ValuesItem = nullptr, *SpectrumItem = nullptr, *LogItem = nullptr;

signals:
    // The options window is to bind to this window (activation, zoom, automatic scaling).
    void bindOptions(TGrafik* window);
    void optionsRequested(TGrafik* window);
    // A curve item of the menu was toggled: index 0 .. 4 (Weg .. Antriebsmoment).
    void curveToggled(TGrafik* window, int index, bool on);
    void closing(TGrafik* window);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Places the side panel and the drawing area; says whether the area moved.
    bool placeArea();
    // Draws the picture into the area's bitmap.
    void paintArea();
    // The side panel's width: the whole table of values, room for the spectrum; 0 when hidden.
    int sidePanelWidth() const;
    void refreshPanels();
    void updateMenu();

    DiagramServices& services_;
    QImage bitmap_;
    QRubberBand* band_ = nullptr;
    QPoint start_;
};

} // namespace graphics
