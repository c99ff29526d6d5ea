#include "graphics/metafile.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygon>
#include <QTextItem>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <uemf.h>
#include <uwmf.h>

namespace graphics {

namespace {

// The pen, brush and font as the metafile knows them; equal ones need no new object.
struct PenKey {
    uint32_t style = U_PS_SOLID;
    int width = 0;
    QRgb color = 0;
    friend bool operator==(const PenKey&, const PenKey&) = default;
};
struct BrushKey {
    bool solid = false;
    QRgb color = 0;
    friend bool operator==(const BrushKey&, const BrushKey&) = default;
};
struct FontKey {
    QString face;
    int height = 0; // character height in logical units (written negative)
    int weight = U_FW_NORMAL;
    bool italic = false, underline = false, strikeOut = false;
    friend bool operator==(const FontKey&, const FontKey&) = default;
};

U_COLORREF colorRef(QRgb c) {
    return colorref3_set(qRed(c), qGreen(c), qBlue(c));
}

// The record writer of one metafile kind. Objects are created when first needed, selected, and
// the object they replace deleted; resetClip() returns to the device context saved after the
// set-up, which deselects every object.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    virtual void setPen(const PenKey& pen) = 0;
    virtual void setBrush(const BrushKey& brush) = 0;
    virtual void setFont(const FontKey& font) = 0;
    virtual void setTextColor(QRgb color) = 0;
    virtual void polyline(const QPolygon& points) = 0;
    virtual void polygon(const QPolygon& points) = 0;
    virtual void rectangle(const QRect& rect) = 0;
    virtual void text(QPoint at, const QString& text, const std::vector<int>& advances) = 0;
    virtual void intersectClip(const QRect& rect) = 0;
    virtual void resetClip() = 0;
    virtual QByteArray finish() = 0;
};

// Enhanced metafile: a header whose counts are filled in at the end, 32-bit coordinates,
// Unicode text.
class EmfWriter final : public RecordWriter {
public:
    EmfWriter(int wUnits, int hUnits, int wMm, int hMm) {
        emf_htable_create(32, 32, &handles_);
        // The reference device has one pixel per logical unit, so the mapping is one to one.
        const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(wUnits - 1, hUnits - 1));
        const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(wMm * 100, hMm * 100));
        // Creator and title, each ended by a zero, the whole by a second one.
        const QString desc =
            QStringLiteral("Tervana") + QChar(0) + QStringLiteral("Diagramm") + QChar(0) + QChar(0);
        std::vector<uint16_t> d(desc.utf16(), desc.utf16() + desc.size());
        append(U_EMRHEADER_set(bounds, frame, nullptr, static_cast<U_CBSTR>(d.size()), d.data(),
                               sizel_set(wUnits, hUnits), sizel_set(wMm, hMm), 0));
        append(U_EMRSETMAPMODE_set(U_MM_ISOTROPIC));
        append(U_EMRSETWINDOWEXTEX_set(sizel_set(wUnits, hUnits)));
        append(U_EMRSETVIEWPORTEXTEX_set(sizel_set(wUnits, hUnits)));
        append(U_EMRSETBKMODE_set(U_TRANSPARENT));
        append(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
        append(U_EMRSETPOLYFILLMODE_set(U_ALTERNATE));
        append(U_EMRSAVEDC_set());
    }
    ~EmfWriter() override { emf_htable_free(&handles_); }

    void setPen(const PenKey& p) override {
        uint32_t ih = 0;
        append(createpen_set(&ih, handles_,
                             logpen_set(p.style, point32_set(p.width, 0), colorRef(p.color))));
        replace(pen_, ih);
    }
    void setBrush(const BrushKey& b) override {
        uint32_t ih = 0;
        append(createbrushindirect_set(
            &ih, handles_, logbrush_set(b.solid ? U_BS_SOLID : U_BS_NULL, colorRef(b.color), 0)));
        replace(brush_, ih);
    }
    void setFont(const FontKey& f) override {
        uint16_t face[U_LF_FACESIZE] = {};
        for (int i = 0; i < f.face.size() && i < U_LF_FACESIZE - 1; ++i)
            face[i] = f.face.at(i).unicode();
        U_LOGFONT lf = logfont_set(-f.height, 0, 0, 0, f.weight, f.italic, f.underline, f.strikeOut,
                                   U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS,
                                   U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_DONTCARE, face);
        uint32_t ih = 0;
        append(
            extcreatefontindirectw_set(&ih, handles_, reinterpret_cast<const char*>(&lf), nullptr));
        replace(font_, ih);
    }
    void setTextColor(QRgb c) override { append(U_EMRSETTEXTCOLOR_set(colorRef(c))); }
    void polyline(const QPolygon& pts) override {
        const auto p = points(pts);
        append(U_EMRPOLYLINE_set(bounds(pts), static_cast<uint32_t>(p.size()), p.data()));
    }
    void polygon(const QPolygon& pts) override {
        const auto p = points(pts);
        append(U_EMRPOLYGON_set(bounds(pts), static_cast<uint32_t>(p.size()), p.data()));
    }
    void rectangle(const QRect& r) override { append(U_EMRRECTANGLE_set(rectl(r))); }
    void text(QPoint at, const QString& s, const std::vector<int>& adv) override {
        std::vector<uint32_t> dx(adv.begin(), adv.end());
        std::vector<uint16_t> chars(s.utf16(), s.utf16() + s.size());
        int width = 0;
        for (int a : adv) width += a;
        const U_RECTL box =
            rectl_set(point32_set(at.x(), at.y() - 1), point32_set(at.x() + width, at.y()));
        char* t = emrtext_set(point32_set(at.x(), at.y()), static_cast<U_NUM_STR>(chars.size()), 2,
                              chars.data(), U_ETO_NONE, box, dx.data());
        append(U_EMREXTTEXTOUTW_set(box, U_GM_COMPATIBLE, 1.0f, 1.0f,
                                    reinterpret_cast<PU_EMRTEXT>(t)));
        std::free(t);
    }
    void intersectClip(const QRect& r) override { append(U_EMRINTERSECTCLIPRECT_set(rectl(r))); }
    void resetClip() override {
        append(U_EMRRESTOREDC_set(-1));
        append(U_EMRSAVEDC_set());
        deleteSelected();
    }
    // The pen, brush and font selected last are deleted (before a new clip and at the end).
    void deleteSelected() {
        for (uint32_t* ih : {&pen_, &brush_, &font_})
            if (*ih != 0) append(deleteobject_set(ih, handles_));
    }
    QByteArray finish() override {
        append(U_EMRRESTOREDC_set(-1));
        deleteSelected();
        EMFTRACK track{};
        append(U_EMREOF_set(0, nullptr, &track));
        U_EMRHEADER h;
        std::memcpy(&h, out_.constData(), sizeof h);
        h.nBytes = static_cast<uint32_t>(out_.size());
        h.nRecords = records_;
        h.nHandles = static_cast<uint16_t>(handles_->peak + 1);
        std::memcpy(out_.data(), &h, sizeof h);
        return out_;
    }

private:
    void append(char* rec) {
        if (rec == nullptr) return;
        out_.append(rec, static_cast<qsizetype>(reinterpret_cast<U_EMR*>(rec)->nSize));
        ++records_;
        std::free(rec);
    }
    void replace(uint32_t& current, uint32_t ih) {
        append(selectobject_set(ih, handles_));
        if (current != 0) append(deleteobject_set(&current, handles_));
        current = ih;
    }
    static U_RECTL rectl(const QRect& r) {
        return rectl_set(point32_set(r.left(), r.top()),
                         point32_set(r.left() + r.width(), r.top() + r.height()));
    }
    static U_RECTL bounds(const QPolygon& p) { return rectl(p.boundingRect()); }
    static std::vector<U_POINTL> points(const QPolygon& p) {
        std::vector<U_POINTL> v;
        v.reserve(p.size());
        for (const QPoint& q : p) v.push_back(point32_set(q.x(), q.y()));
        return v;
    }

    EMFHANDLES* handles_ = nullptr;
    QByteArray out_;
    uint32_t records_ = 0;
    uint32_t pen_ = 0, brush_ = 0, font_ = 0;
};

void putU16(QByteArray& b, uint16_t v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}
void putU32(QByteArray& b, uint32_t v) {
    putU16(b, static_cast<uint16_t>(v & 0xFFFF));
    putU16(b, static_cast<uint16_t>(v >> 16));
}

// Placeable Windows metafile: the placeable header (bounding box in logical units, units per
// inch) and the metafile header are written here, the records by the library; 16-bit
// coordinates, Latin-1 text.
class WmfWriter final : public RecordWriter {
public:
    WmfWriter(int wUnits, int hUnits, double unitsPerInch) : w_(wUnits), h_(hUnits) {
        inch_ = static_cast<uint16_t>(std::lround(unitsPerInch));
        wmf_htable_create(32, 32, &handles_);
        append(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        append(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
        append(U_WMRSETWINDOWEXT_set(point16_set(clamp16(wUnits), clamp16(hUnits))));
        append(U_WMRSETBKMODE_set(U_TRANSPARENT));
        append(U_WMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
        append(U_WMRSETPOLYFILLMODE_set(U_ALTERNATE));
        append(U_WMRSAVEDC_set());
    }
    ~WmfWriter() override { wmf_htable_free(&handles_); }

    void setPen(const PenKey& p) override {
        uint32_t ih = 0;
        append(
            wcreatepenindirect_set(&ih, handles_,
                                   U_PEN_set(static_cast<uint16_t>(p.style),
                                             static_cast<uint16_t>(p.width), colorRef(p.color))));
        replace(pen_, ih);
    }
    void setBrush(const BrushKey& b) override {
        uint32_t ih = 0;
        append(wcreatebrushindirect_set(
            &ih, handles_,
            U_WLOGBRUSH_set(b.solid ? U_BS_SOLID : U_BS_NULL, colorRef(b.color), 0)));
        replace(brush_, ih);
    }
    void setFont(const FontKey& f) override {
        QByteArray face = f.face.toLatin1().left(31);
        U_FONT* uf = U_FONT_set(static_cast<int16_t>(-f.height), 0, 0, 0,
                                static_cast<int16_t>(f.weight), f.italic, f.underline, f.strikeOut,
                                U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS,
                                U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_DONTCARE, face.data());
        uint32_t ih = 0;
        append(wcreatefontindirect_set(&ih, handles_, uf));
        std::free(uf);
        replace(font_, ih);
    }
    void setTextColor(QRgb c) override { append(U_WMRSETTEXTCOLOR_set(colorRef(c))); }
    void polyline(const QPolygon& pts) override {
        const auto p = points(pts);
        append(U_WMRPOLYLINE_set(static_cast<uint16_t>(p.size()), p.data()));
    }
    void polygon(const QPolygon& pts) override {
        const auto p = points(pts);
        append(U_WMRPOLYGON_set(static_cast<uint16_t>(p.size()), p.data()));
    }
    void rectangle(const QRect& r) override { append(U_WMRRECTANGLE_set(rect16(r))); }
    void text(QPoint at, const QString& s, const std::vector<int>&) override {
        QByteArray latin1 = s.toLatin1();
        append(U_WMRTEXTOUT_set(point16_set(clamp16(at.x()), clamp16(at.y())), latin1.data()));
    }
    void intersectClip(const QRect& r) override { append(U_WMRINTERSECTCLIPRECT_set(rect16(r))); }
    void resetClip() override {
        append(U_WMRRESTOREDC_set(-1));
        append(U_WMRSAVEDC_set());
        deleteSelected();
    }
    // The pen, brush and font selected last are deleted (before a new clip and at the end).
    void deleteSelected() {
        for (uint32_t* ih : {&pen_, &brush_, &font_})
            if (*ih != 0) append(wdeleteobject_set(ih, handles_));
    }
    QByteArray finish() override {
        append(U_WMRRESTOREDC_set(-1));
        deleteSelected();
        append(U_WMREOF_set());

        QByteArray file;
        // Placeable header: key, handle, box (left, top, right, bottom), inch, reserved, and the
        // XOR of the ten words before the checksum.
        putU32(file, 0x9AC6CDD7u);
        putU16(file, 0);
        for (int v : {0, 0, w_, h_}) putU16(file, static_cast<uint16_t>(clamp16(v)));
        putU16(file, inch_);
        putU32(file, 0);
        uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= static_cast<uint16_t>(static_cast<uint8_t>(file[2 * i]) |
                                         static_cast<uint8_t>(file[2 * i + 1]) << 8);
        putU16(file, sum);
        // Metafile header: in-memory type, 9 words long, version 3.0, size in words, objects,
        // largest record in words, no parameters.
        const uint32_t headerWords = 9;
        putU16(file, 1);
        putU16(file, headerWords);
        putU16(file, 0x0300);
        putU32(file, headerWords + static_cast<uint32_t>(out_.size() / 2));
        putU16(file, static_cast<uint16_t>(handles_->peak + 1));
        putU32(file, largestWords_);
        putU16(file, 0);
        file.append(out_);
        return file;
    }

private:
    static int16_t clamp16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }
    void append(char* rec) {
        if (rec == nullptr) return;
        const auto* m = reinterpret_cast<const U_METARECORD*>(rec);
        const uint32_t words = m->Size16_4[0] | (static_cast<uint32_t>(m->Size16_4[1]) << 16);
        out_.append(rec, static_cast<qsizetype>(words) * 2);
        largestWords_ = std::max(largestWords_, words);
        std::free(rec);
    }
    void replace(uint32_t& current, uint32_t ih) {
        append(wselectobject_set(ih, handles_));
        if (current != 0) append(wdeleteobject_set(&current, handles_));
        current = ih;
    }
    static U_RECT16 rect16(const QRect& r) {
        return U_RECT16_set(
            point16_set(clamp16(r.left()), clamp16(r.top())),
            point16_set(clamp16(r.left() + r.width()), clamp16(r.top() + r.height())));
    }
    static std::vector<U_POINT16> points(const QPolygon& p) {
        std::vector<U_POINT16> v;
        v.reserve(p.size());
        for (const QPoint& q : p) v.push_back(point16_set(clamp16(q.x()), clamp16(q.y())));
        return v;
    }

    int w_, h_;
    uint16_t inch_ = 0;
    WMFHANDLES* handles_ = nullptr;
    QByteArray out_;
    uint32_t largestWords_ = 9; // the metafile header
    uint32_t pen_ = 0, brush_ = 0, font_ = 0;
};

uint32_t penStyle(Qt::PenStyle s) {
    switch (s) {
    case Qt::NoPen:
        return U_PS_NULL;
    case Qt::DashLine:
    case Qt::CustomDashLine:
        return U_PS_DASH;
    case Qt::DotLine:
        return U_PS_DOT;
    case Qt::DashDotLine:
        return U_PS_DASHDOT;
    case Qt::DashDotDotLine:
        return U_PS_DASHDOTDOT;
    default:
        return U_PS_SOLID;
    }
}

} // namespace

// Turns the painter's state and primitives into records: points go through the painter's
// transform and are rounded to logical units; the pen, brush, font and text colour are written
// only when a primitive needs them and they differ from what the metafile has selected.
class MetafileEngine final : public QPaintEngine {
public:
    explicit MetafileEngine(MetafileDevice& device)
        : QPaintEngine(QPaintEngine::AllFeatures), device_(device) {}

    bool begin(QPaintDevice*) override {
        const MetafileDevice& d = device_;
        if (d.kind_ == MetafileKind::Emf)
            writer_ =
                std::make_unique<EmfWriter>(d.widthUnits_, d.heightUnits_, d.widthMm_, d.heightMm_);
        else
            writer_ = std::make_unique<WmfWriter>(d.widthUnits_, d.heightUnits_,
                                                  d.widthUnits_ * 25.4 / d.widthMm_);
        forgetSelection();
        return true;
    }
    bool end() override {
        device_.bytes_ = writer_->finish();
        writer_.reset();
        return true;
    }
    Type type() const override { return static_cast<Type>(QPaintEngine::User + 7); }

    void updateState(const QPaintEngineState& s) override {
        const DirtyFlags f = s.state();
        if (f & DirtyPen) pen_ = s.pen();
        if (f & DirtyBrush) brush_ = s.brush();
        if (f & DirtyFont) font_ = s.font();
        if (f & DirtyTransform) transform_ = s.transform();
        if (f & (DirtyClipRegion | DirtyClipPath)) {
            const QRectF box = (f & DirtyClipPath) ? s.clipPath().boundingRect()
                                                   : QRectF(s.clipRegion().boundingRect());
            const QRect r = s.transform().mapRect(box).toRect();
            if (s.clipOperation() != Qt::IntersectClip) resetClip();
            if (s.clipOperation() != Qt::NoClip) writer_->intersectClip(r);
        } else if ((f & DirtyClipEnabled) && !s.isClipEnabled()) {
            resetClip();
        }
    }

    void drawLines(const QLineF* lines, int count) override {
        if (!usePen()) return;
        for (int i = 0; i < count; ++i)
            writer_->polyline(QPolygon{map(lines[i].p1()), map(lines[i].p2())});
    }
    void drawLines(const QLine* lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }
    void drawPolygon(const QPointF* pts, int count, PolygonDrawMode mode) override {
        QPolygon poly;
        poly.reserve(count);
        for (int i = 0; i < count; ++i) poly.append(map(pts[i]));
        if (mode == PolylineMode) {
            if (usePen()) writer_->polyline(poly);
        } else if (selectBrushAndPen()) {
            useBrush();
            writer_->polygon(poly);
        }
    }
    void drawPolygon(const QPoint* pts, int count, PolygonDrawMode mode) override {
        QPolygonF poly;
        for (int i = 0; i < count; ++i) poly.append(QPointF(pts[i]));
        drawPolygon(poly.constData(), count, mode);
    }
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            if (transform_.isRotating()) {
                const QPolygonF p(rects[i]);
                drawPolygon(p.constData(), p.size() - 1, OddEvenMode);
                continue;
            }
            if (!selectBrushAndPen()) continue;
            useBrush();
            writer_->rectangle(transform_.mapRect(rects[i]).toRect().normalized());
        }
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }
    void drawPath(const QPainterPath& path) override {
        const bool fill = brush_.style() != Qt::NoBrush;
        for (const QPolygonF& sub : path.toSubpathPolygons()) {
            const bool closed = sub.size() > 2 && sub.isClosed();
            drawPolygon(sub.constData(), sub.size(), fill && closed ? OddEvenMode : PolylineMode);
        }
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QString s = item.text();
        if (s.isEmpty()) return;
        const QFont f = item.font();
        const double scale = std::sqrt(std::abs(transform_.determinant()));
        const QFontMetricsF fm(f, &device_);
        FontKey wanted;
        wanted.face = f.family();
        wanted.height = static_cast<int>(std::lround(
            (f.pixelSize() > 0 ? f.pixelSize() : f.pointSizeF() * device_.dpi_ / 72.0) * scale));
        wanted.weight = f.weight() >= QFont::Bold ? U_FW_BOLD : U_FW_NORMAL;
        wanted.italic = f.italic();
        wanted.underline = f.underline();
        wanted.strikeOut = f.strikeOut();
        if (!selFont_ || !(*selFont_ == wanted)) {
            writer_->setFont(wanted);
            selFont_ = wanted;
        }
        const QRgb color = pen_.color().rgb();
        if (!selTextColor_ || *selTextColor_ != color) {
            writer_->setTextColor(color);
            selTextColor_ = color;
        }
        // Advances in logical units, rounded so that their sum follows the unrounded one.
        std::vector<int> adv;
        double x = 0;
        int done = 0;
        for (QChar c : s) {
            x += fm.horizontalAdvance(c) * scale;
            adv.push_back(static_cast<int>(std::lround(x)) - done);
            done += adv.back();
        }
        writer_->text(map(p), s, adv);
    }

private:
    QPoint map(const QPointF& p) const { return transform_.map(p).toPoint(); }

    // Selects the pen for the next primitive; false when it draws nothing.
    bool usePen() {
        PenKey wanted;
        wanted.style = penStyle(pen_.style());
        wanted.color = pen_.color().rgb();
        const double scale = std::sqrt(std::abs(transform_.determinant()));
        wanted.width = pen_.isCosmetic() ? 0 : static_cast<int>(std::lround(pen_.widthF() * scale));
        if (!selPen_ || !(*selPen_ == wanted)) {
            writer_->setPen(wanted);
            selPen_ = wanted;
        }
        return wanted.style != U_PS_NULL;
    }
    bool useBrush() {
        BrushKey wanted;
        wanted.solid = brush_.style() != Qt::NoBrush;
        wanted.color = wanted.solid ? brush_.color().rgb() : 0;
        if (!selBrush_ || !(*selBrush_ == wanted)) {
            writer_->setBrush(wanted);
            selBrush_ = wanted;
        }
        return wanted.solid;
    }
    // Selects both for a filled primitive (each is always selected); false when it draws
    // nothing.
    bool selectBrushAndPen() {
        const bool brush = useBrush();
        const bool pen = usePen();
        return brush || pen;
    }
    void resetClip() {
        writer_->resetClip();
        forgetSelection();
    }
    void forgetSelection() {
        selPen_.reset();
        selBrush_.reset();
        selFont_.reset();
        selTextColor_.reset();
    }

    MetafileDevice& device_;
    std::unique_ptr<RecordWriter> writer_;
    QPen pen_;
    QBrush brush_;
    QFont font_;
    QTransform transform_;
    std::optional<PenKey> selPen_;
    std::optional<BrushKey> selBrush_;
    std::optional<FontKey> selFont_;
    std::optional<QRgb> selTextColor_;
};

MetafileDevice::MetafileDevice(MetafileKind kind, int widthUnits, int heightUnits, int widthMm,
                               int heightMm, double dpi)
    : kind_(kind), widthUnits_(widthUnits), heightUnits_(heightUnits), widthMm_(widthMm),
      heightMm_(heightMm), dpi_(dpi), engine_(std::make_unique<MetafileEngine>(*this)) {}

MetafileDevice::~MetafileDevice() = default;

QPaintEngine* MetafileDevice::paintEngine() const {
    return engine_.get();
}

int MetafileDevice::metric(PaintDeviceMetric m) const {
    switch (m) {
    case PdmWidth:
        return widthUnits_;
    case PdmHeight:
        return heightUnits_;
    case PdmWidthMM:
        return widthMm_;
    case PdmHeightMM:
        return heightMm_;
    case PdmNumColors:
        return 1 << 24;
    case PdmDepth:
        return 24;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return static_cast<int>(std::lround(dpi_));
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
    default:
        return 0;
    }
}

} // namespace graphics
