#include "graphics/diagram_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QRubberBand>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "graphics/prompts.h"
#include "graphics/side_panels.h"
#include "model/binding.h"

namespace graphics {

namespace {

constexpr int kMargin = 10;
const char* const kCurveNames[5] = {"&Weg", "&Geschwindigkeit", "&Beschleunigung", "&Ruck",
                                    "&Antriebsmoment"};

double screenPpi(const QWidget* w) {
    const QScreen* s = w->screen();
    return s != nullptr ? s->logicalDotsPerInch() : 96.0;
}

} // namespace

QSize drawingAreaSize(QSize usable, bool& landscape) {
    const double r = std::sqrt(2.0);
    int w = std::max(usable.width(), 0), h = std::max(usable.height(), 0);
    landscape = w > h;
    if (landscape) {
        const int avail = w;
        w = static_cast<int>(r * h);
        if (w > avail) {
            h = static_cast<int>(avail / r);
            w = avail;
        }
    } else {
        const int avail = h;
        h = static_cast<int>(r * w);
        if (h > avail) {
            w = static_cast<int>(avail / r);
            h = avail;
        }
    }
    if (static_cast<int>(std::sqrt(double(w) * w + double(h) * h)) < 346) {
        const int shortSide = 199, longSide = static_cast<int>(199 * r);
        w = landscape ? longSide : shortSide;
        h = landscape ? shortSide : longSide;
    }
    return {w, h};
}

TGrafik::TGrafik(DiagramServices& services, std::vector<model::Node*> members, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services) {
    setObjectName(QStringLiteral("Grafik"));
    setWindowTitle(QStringLiteral("Grafik"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    pic.members = std::move(members);
    DrawArea = new QWidget(this);
    DrawArea->setObjectName(QStringLiteral("DrawArea"));
    DrawArea->installEventFilter(this);
    DrawArea->setMouseTracking(false);
    band_ = new QRubberBand(QRubberBand::Rectangle, DrawArea);

    Menu = new QMenu(this);
    auto add = [this](const char* text, auto slot) {
        QAction* a = Menu->addAction(QString::fromUtf8(text));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    MainWindowItem = add("&Hauptfenster", [this] {
        if (services_.showMainWindow) services_.showMainWindow();
    });
    OptionsItem = add("Grafik-&Optionen", [this] { emit optionsRequested(this); });
    Menu->addSeparator();
    CopyItem = add("Grafik &kopieren", [this] { copyToClipboard(); });
    SaveItem = add("Grafik &sichern ...", [this] { saveAs(); });
    PrintItem = add("Grafik &drucken", [this] { print(); });
    Menu->addSeparator();
    AutoItem = add("automatische Skalierung", [this] { autoScale(); });
    Menu->addSeparator();
    for (int i = 0; i < 5; ++i) {
        QAction* a = Menu->addAction(QString::fromUtf8(kCurveNames[i]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this,
                [this, i](bool on) { emit curveToggled(this, i, on); });
        CurveItems[static_cast<std::size_t>(i)] = a;
    }
    Menu->addSeparator();
    SidePanel = new QWidget(this);
    auto* side = new QVBoxLayout(SidePanel);
    side->setContentsMargins(0, 0, 0, 0);
    Values = new ValuesTable(SidePanel);
    Spectrum = new SpectrumView(SidePanel);
    side->addWidget(Values, 1);
    side->addWidget(Spectrum, 1);
    Values->hide();
    Spectrum->hide();
    SidePanel->hide();
    auto panel = [this](const char* text, QWidget* w) {
        QAction* a = Menu->addAction(QString::fromUtf8(text));
        a->setCheckable(true);
        connect(a, &QAction::toggled, this, [this, w](bool on) {
            const int before = sidePanelWidth();
            w->setVisible(on);
            SidePanel->setVisible(!Values->isHidden() || !Spectrum->isHidden());
            refreshPanels();
            // The window grows by the panel and shrinks when it goes: the picture keeps its size.
            if (!isMaximized() && !isFullScreen())
                resize(width() + sidePanelWidth() - before, height());
            if (placeArea()) paintArea();
        });
        return a;
    };
    ValuesItem = panel("&Kennwerte", Values);
    SpectrumItem = panel("S&pektrum", Spectrum);
    LogItem = Menu->addAction(QStringLiteral("Spektrum &logarithmisch"));
    LogItem->setCheckable(true);
    connect(LogItem, &QAction::toggled, this, [this](bool on) { Spectrum->setLogarithmic(on); });
    connect(Menu, &QMenu::aboutToShow, this, [this] { updateMenu(); });
    resize(560, 720);
    updateMenu();
}

void TGrafik::updateMenu() {
    const auto chosen = pic.chosen();
    int count = 0;
    for (bool b : chosen) count += b ? 1 : 0;
    for (std::size_t i = 0; i < 5; ++i) {
        CurveItems[i]->setChecked(chosen[i]);
        CurveItems[i]->setEnabled(!(chosen[i] && count == 1));
    }
    PrintItem->setEnabled(services_.printer && services_.printer() != nullptr);
    LogItem->setEnabled(SpectrumItem->isChecked());
}

bool TGrafik::hasMember(const model::Node* node) const {
    return std::find(pic.members.begin(), pic.members.end(), node) != pic.members.end();
}

void TGrafik::removeMember(const model::Node* node) {
    std::erase(pic.members, node);
    std::erase(pic.binding, node);
    redrawNeeded = true;
}

void TGrafik::Redraw() {
    setWindowTitle(QStringLiteral("Grafik"));
    refreshPanels();
    // The panel's width follows the members: the area may move.
    placeArea();
    paintArea();
}

void TGrafik::paintArea() {
    const QSize size = DrawArea->size();
    if (size.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The restrictions that limit beta are drawn highlighted (not those that merely sit at a
    // fixed bound).
    pic.binding.clear();
    for (const model::Node* m : pic.members)
        for (const model::Binding& b : model::bindingRestrictions(*m))
            if (b.limiting) pic.binding.push_back(b.restriction);
    bitmap_ = QImage(size, QImage::Format_RGB32);
    {
        QPainter p(&bitmap_);
        p.setFont(font());
        drawPicture(p, size.width(), size.height(), pic, 1);
    }
    QApplication::restoreOverrideCursor();
    redrawNeeded = false;
    DrawArea->update();
}

DrawFn TGrafik::drawFunction() const {
    // A copy: a picture drawn elsewhere leaves the window's axes as they are on screen.
    return
        [pic = pic](QPainter& p, int w, int h, int rho) mutable { drawPicture(p, w, h, pic, rho); };
}

void TGrafik::refreshPanels() {
    if (!Values->isHidden()) Values->fill(pic.members);
    if (!Spectrum->isHidden()) Spectrum->setMembers(pic.members);
}

int TGrafik::sidePanelWidth() const {
    constexpr int kSpectrumWidth = 280, kMostWidth = 640;
    int side = 0;
    if (!Values->isHidden()) side = Values->neededWidth();
    if (!Spectrum->isHidden()) side = std::max(side, kSpectrumWidth);
    return std::min(side, std::max(kMostWidth, width() / 2));
}

bool TGrafik::placeArea() {
    const int side = sidePanelWidth();
    if (side > 0)
        SidePanel->setGeometry(width() - side - kMargin, kMargin, side, height() - 2 * kMargin);
    const int w = width() - side;
    const QSize usable(w - 2 * kMargin, height() - 2 * kMargin);
    const QSize size = drawingAreaSize(usable, landscape);
    const QRect r(QPoint((w - size.width()) / 2, (height() - size.height()) / 2), size);
    if (DrawArea->geometry() == r) return false;
    DrawArea->setGeometry(r);
    return true;
}

void TGrafik::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (placeArea()) paintArea();
}

void TGrafik::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) emit bindOptions(this);
}

void TGrafik::closeEvent(QCloseEvent* event) {
    emit closing(this);
    QWidget::closeEvent(event);
}

// A motion dragged from the project tree is welcome (it is added in the options window); a
// project is not, and anything else says nothing.
void TGrafik::dragEnterEvent(QDragEnterEvent* event) {
    const model::Node* n = services_.draggedNode ? services_.draggedNode() : nullptr;
    const auto kind = n != nullptr ? n->kind() : model::ObjectKind::Group;
    QString text;
    if (kind == model::ObjectKind::AbsSpec || kind == model::ObjectKind::RelSpec)
        text = QStringLiteral("Bewegungsgesetz grafisch darstellen");
    else if (kind == model::ObjectKind::Project)
        text = QStringLiteral("Projekt ist bereits im Diagramm enthalten");
    if (services_.statusText) services_.statusText(text);
    if (kind == model::ObjectKind::AbsSpec || kind == model::ObjectKind::RelSpec)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TGrafik::dragLeaveEvent(QDragLeaveEvent* event) {
    if (services_.statusText) services_.statusText({});
    QWidget::dragLeaveEvent(event);
}

void TGrafik::dropEvent(QDropEvent* event) {
    if (services_.statusText) services_.statusText({});
    event->acceptProposedAction(); // nothing changes
}

bool TGrafik::eventFilter(QObject* watched, QEvent* event) {
    if (watched != DrawArea) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter p(DrawArea);
        p.drawImage(0, 0, bitmap_);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::LeftButton) {
            start_ = m->position().toPoint();
            band_->setGeometry(QRect(start_, QSize()));
            band_->show();
        } else if (m->button() == Qt::RightButton) {
            Menu->popup(m->globalPosition().toPoint());
        }
        return true;
    }
    case QEvent::MouseMove:
        if (band_->isVisible())
            band_->setGeometry(
                QRect(start_, static_cast<QMouseEvent*>(event)->position().toPoint()).normalized());
        return true;
    case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::LeftButton && band_->isVisible()) {
            band_->hide();
            zoom(QRect(start_, m->position().toPoint()).normalized());
        }
        return true;
    }
    case QEvent::MouseButtonDblClick:
        emit optionsRequested(this);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

bool TGrafik::zoom(QRect r) {
    if (r.width() < 9 || r.height() < 9) return false;
    const TDiagram& first = pic.diagrams[0];
    auto clamp = [](double v, const TAxis& a) { return std::clamp(v, a.min, a.max); };
    const double x1 = clamp(first.xAxis.UnScale(r.left()), first.xAxis);
    const double x2 = clamp(first.xAxis.UnScale(r.right()), first.xAxis);
    if (x2 > x1)
        for (TDiagram& d : pic.diagrams) {
            d.xAxis.autoRange = false;
            d.xAxis.includeZero = false;
            d.xAxis.requestedMin = x1;
            d.xAxis.requestedMax = x2;
        }
    auto diagramAt = [this](int y) -> TDiagram* {
        for (int i = 0; i < pic.shown; ++i) {
            TDiagram& d = pic.diagrams[static_cast<std::size_t>(i)];
            if (y >= d.area.top() && y <= d.area.bottom()) return &d;
        }
        return nullptr;
    };
    TDiagram* d = diagramAt(r.top());
    if (d != nullptr && d == diagramAt(r.bottom())) {
        const double y1 = clamp(d->yAxis.UnScale(r.bottom()), d->yAxis);
        const double y2 = clamp(d->yAxis.UnScale(r.top()), d->yAxis);
        if (y2 > y1) {
            d->yAxis.autoRange = false;
            d->yAxis.includeZero = false;
            d->yAxis.requestedMin = y1;
            d->yAxis.requestedMax = y2;
        }
    }
    emit bindOptions(this);
    Redraw();
    return true;
}

void TGrafik::autoScale() {
    for (TDiagram& d : pic.diagrams) d.xAxis.autoRange = d.yAxis.autoRange = true;
    emit bindOptions(this);
    Redraw();
}

void TGrafik::saveAs() {
    if (services_.prompts == nullptr) return;
    FileRequest request;
    request.title = QStringLiteral("Grafik sichern");
    request.filters = {
        QStringLiteral("Windows Bitmap (*.bmp)"),     QStringLiteral("Windows Metafile (*.wmf)"),
        QStringLiteral("Enhanced  Metafile (*.emf)"), QStringLiteral("PNG-Bild (*.png)"),
        QStringLiteral("SVG-Grafik (*.svg)"),         QStringLiteral("PDF-Dokument (*.pdf)")};
    // A name without extension has taken the chosen filter's in the dialog; the extension
    // decides the format.
    const QString path = services_.prompts->saveFile(this, request);
    if (path.isEmpty()) return;
    const ExportOptions options =
        services_.exportOptions ? services_.exportOptions() : ExportOptions{};
    if (auto m = exportPicture(path, drawFunction(), options, screenPpi(this)))
        (void)services_.prompts->message(this, *m, Buttons::Ok);
}

void TGrafik::copyToClipboard() {
    const ExportOptions options =
        services_.exportOptions ? services_.exportOptions() : ExportOptions{};
    QApplication::clipboard()->setMimeData(
        pictureMimeData(drawFunction(), options, screenPpi(this)));
}

void TGrafik::print() {
    QPrinter* printer = services_.printer ? services_.printer() : nullptr;
    if (printer == nullptr) return;
    const ExportOptions options =
        services_.exportOptions ? services_.exportOptions() : ExportOptions{};
    if (auto m = printPicture(*printer, drawFunction(), landscape, options.font);
        m && services_.prompts != nullptr)
        (void)services_.prompts->message(this, *m, Buttons::Ok);
}

} // namespace graphics
