#include "graphics/side_panels.h"

#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "graphics/motion_curves.h"
#include "model/characteristics.h"

namespace graphics {

ValuesTable::ValuesTable(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("Values"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void ValuesTable::fill(const std::vector<model::Node*>& members) {
    static const char* const names[4] = {"s", "s´", "s´´", "s´´´"};
    QStringList rows;
    for (int n = 0; n < 4; ++n)
        rows << QString::fromUtf8(names[n]) + QStringLiteral(" max")
             << QString::fromUtf8(names[n]) + QStringLiteral(" min");
    for (int n = 1; n < 4; ++n) rows << QString::fromUtf8(names[n]) + QStringLiteral(" RMS");
    const int qFirst = static_cast<int>(rows.size());
    for (int n = 0; n < 4; ++n) {
        const QString q = QString::fromUtf8(names[n]).replace(0, 1, QLatin1Char('q'));
        rows << q + QStringLiteral(" max") << q + QStringLiteral(" min");
    }
    struct Column {
        const model::Node* node;
        QColor colour;
        model::CharacteristicValues values;
    };
    std::vector<Column> columns;
    bool anyQ = false;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto* po = members[i]->as<model::TPaintObj>();
        if (po == nullptr || !po->HasResults) continue;
        columns.push_back({members[i], motionColours(*po, i).s, model::characteristicValues(*po)});
        anyQ = anyQ || columns.back().values.hasQ;
    }
    if (!anyQ) rows = rows.mid(0, qFirst);
    clear();
    setRowCount(static_cast<int>(rows.size()));
    setColumnCount(static_cast<int>(columns.size()));
    setVerticalHeaderLabels(rows);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QFontMetrics fm(font());
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const Column& col = columns[static_cast<std::size_t>(c)];
        const model::CharacteristicValues& v = col.values;
        std::vector<double> values;
        for (int n = 0; n < 4; ++n) {
            values.push_back(v.s[static_cast<std::size_t>(n)].max);
            values.push_back(v.s[static_cast<std::size_t>(n)].min);
        }
        for (int n = 1; n < 4; ++n) values.push_back(v.rms[static_cast<std::size_t>(n)]);
        for (int n = 0; n < 4 && anyQ; ++n) {
            values.push_back(v.q[static_cast<std::size_t>(n)].max);
            values.push_back(v.q[static_cast<std::size_t>(n)].min);
        }
        int widest = 0;
        for (int r = 0; r < static_cast<int>(values.size()); ++r) {
            const bool empty = r >= qFirst && !v.hasQ;
            const QString text =
                empty ? QString() : locale.toString(values[static_cast<std::size_t>(r)], 'g', 6);
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(r, c, item);
            widest = std::max(widest, fm.horizontalAdvance(text));
        }
        // Numbers whole; a heading longer than the numbers and than ten characters is
        // shortened in the middle (a caption's distinctive numbers are at its end).
        const int room = std::max(widest, fm.horizontalAdvance(QString(10, QLatin1Char('x'))));
        QPixmap mark(fm.height() / 2, fm.height() / 2);
        mark.fill(col.colour);
        auto* heading = new QTableWidgetItem(
            QIcon(mark), fm.elidedText(motionLabel(*col.node), Qt::ElideMiddle, room));
        heading->setToolTip(QString::fromStdString(col.node->obj().Caption));
        setHorizontalHeaderItem(c, heading);
        resizeColumnToContents(c);
    }
}

int ValuesTable::neededWidth() const {
    int w = verticalHeader()->sizeHint().width() + 2 * frameWidth();
    for (int c = 0; c < columnCount(); ++c) w += columnWidth(c);
    // The rows may not all fit in the height: room for the scroll bar.
    return w + verticalScrollBar()->sizeHint().width();
}

SpectrumView::SpectrumView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Spectrum"));
}

void SpectrumView::setMembers(const std::vector<model::Node*>& members) {
    amplitudes_.clear();
    colours_.clear();
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto* po = members[i]->as<model::TPaintObj>();
        if (po == nullptr || !po->HasResults) continue;
        std::vector<double> a;
        for (int k = 1; k <= po->sSC.harmonics(); ++k)
            a.push_back(std::hypot(po->s_sin(0, k), po->s_cos(0, k)));
        amplitudes_.push_back(std::move(a));
        colours_.push_back(motionColours(*po, i).s);
    }
    update();
}

void SpectrumView::setLogarithmic(bool on) {
    log_ = on;
    update();
}

struct SpectrumView::Layout {
    QRect plot;
    std::vector<Label> labels; // title, scale top and bottom, harmonic numbers
    std::size_t harmonics = 0;
    double top = 0.0, logTop = 0.0, logBottom = 0.0;
};

SpectrumView::Layout SpectrumView::layout() const {
    Layout l;
    const QFontMetrics fm(font());
    const int th = fm.height();
    for (const auto& a : amplitudes_) {
        l.harmonics = std::max(l.harmonics, a.size());
        for (double v : a) l.top = std::max(l.top, v);
    }
    // Logarithmic: six decades below the largest amplitude.
    l.logTop = l.top > 0.0 ? std::ceil(std::log10(l.top)) : 0.0;
    l.logBottom = l.logTop - 6.0;
    const QLocale locale;
    const bool data = l.harmonics > 0 && l.top > 0.0;
    const QString high = !data  ? QString()
                         : log_ ? QStringLiteral("1E%1").arg(l.logTop)
                                : locale.toString(l.top, 'g', 3);
    const QString low = !data  ? QString()
                        : log_ ? QStringLiteral("1E%1").arg(l.logBottom)
                               : QStringLiteral("0");
    const int scale = std::max(fm.horizontalAdvance(high), fm.horizontalAdvance(low));
    // The title above, the harmonic numbers below, the scale at the left.
    l.plot = rect().adjusted(scale + 8, 2 * th, -6, -th - 6);
    const QString title =
        QStringLiteral("Spektrum |s_k|%1").arg(log_ ? QStringLiteral(" (log)") : QString());
    l.labels.push_back({title, QRect(4, 0, fm.horizontalAdvance(title), th)});
    if (!data) return l;
    l.labels.push_back({high, QRect(l.plot.left() - 4 - fm.horizontalAdvance(high),
                                    l.plot.top() - th / 2, fm.horizontalAdvance(high), th)});
    l.labels.push_back({low, QRect(l.plot.left() - 4 - fm.horizontalAdvance(low),
                                   l.plot.bottom() - th / 2, fm.horizontalAdvance(low), th)});
    // Every step-th harmonic, the step 1, 2, 5, 10, 20, … that keeps the numbers a space apart.
    const double group = double(l.plot.width()) / double(l.harmonics);
    const int room = fm.horizontalAdvance(QString::number(l.harmonics) + QLatin1Char(' '));
    std::size_t step = 1;
    for (std::size_t decade = 1; double(step) * group < room && step < l.harmonics; decade *= 10)
        for (std::size_t m : {1, 2, 5})
            if (double(step) * group < room) step = m * decade;
    for (std::size_t k = step; k <= l.harmonics; k += step) {
        const QString text = QString::number(k);
        const int w = fm.horizontalAdvance(text);
        const int x =
            static_cast<int>(std::lround(l.plot.left() + group * (double(k) - 0.5))) - w / 2;
        l.labels.push_back(
            {text, QRect(std::clamp(x, 0, std::max(0, width() - w)), l.plot.bottom() + 2, w, th)});
    }
    return l;
}

std::vector<SpectrumView::Label> SpectrumView::labels() const {
    return layout().labels;
}

void SpectrumView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const Layout l = layout();
    p.setPen(Qt::black);
    p.drawRect(l.plot);
    for (const Label& t : l.labels)
        p.drawText(t.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, t.text);
    if (l.harmonics == 0 || !(l.top > 0.0)) return;
    auto height = [&](double v) {
        if (!log_) return v / l.top;
        if (!(v > 0.0)) return 0.0;
        return std::clamp((std::log10(v) - l.logBottom) / (l.logTop - l.logBottom), 0.0, 1.0);
    };
    const double group = double(l.plot.width()) / double(l.harmonics);
    const double bar = group * 0.8 / double(amplitudes_.size());
    for (std::size_t m = 0; m < amplitudes_.size(); ++m)
        for (std::size_t k = 0; k < amplitudes_[m].size(); ++k) {
            const double h = height(amplitudes_[m][k]) * l.plot.height();
            const QRectF r(l.plot.left() + group * double(k) + group * 0.1 + bar * double(m),
                           l.plot.bottom() - h, std::max(bar, 1.0), h);
            p.fillRect(r, colours_[m]);
        }
}

} // namespace graphics
