#include "graphics/side_panels.h"

#include <QHeaderView>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "graphics/diagram_options.h"
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
    std::vector<std::pair<QString, model::CharacteristicValues>> columns;
    bool anyQ = false;
    for (const model::Node* m : members) {
        const auto* po = m->as<model::TPaintObj>();
        if (po == nullptr || !po->HasResults) continue;
        columns.emplace_back(QString::fromStdString(m->obj().Caption),
                             model::characteristicValues(*po));
        anyQ = anyQ || columns.back().second.hasQ;
    }
    if (!anyQ) rows = rows.mid(0, qFirst);
    clear();
    setRowCount(static_cast<int>(rows.size()));
    setColumnCount(static_cast<int>(columns.size()));
    setVerticalHeaderLabels(rows);
    const QLocale locale;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const auto& [caption, v] = columns[static_cast<std::size_t>(c)];
        setHorizontalHeaderItem(c, new QTableWidgetItem(caption));
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
        for (int r = 0; r < static_cast<int>(values.size()); ++r) {
            const bool empty = r >= qFirst && !v.hasQ;
            auto* item = new QTableWidgetItem(
                empty ? QString() : locale.toString(values[static_cast<std::size_t>(r)], 'g', 6));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(r, c, item);
        }
    }
    resizeColumnsToContents();
}

SpectrumView::SpectrumView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Spectrum"));
}

void SpectrumView::setMembers(const std::vector<model::Node*>& members) {
    amplitudes_.clear();
    colours_.clear();
    for (const model::Node* m : members) {
        const auto* po = m->as<model::TPaintObj>();
        if (po == nullptr || !po->HasResults) continue;
        std::vector<double> a;
        for (int k = 1; k <= po->sSC.harmonics(); ++k)
            a.push_back(std::hypot(po->s_sin(0, k), po->s_cos(0, k)));
        amplitudes_.push_back(std::move(a));
        colours_.push_back(colourOf(po->PaintStyle.sColor));
    }
    update();
}

void SpectrumView::setLogarithmic(bool on) {
    log_ = on;
    update();
}

void SpectrumView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QFontMetrics fm(font());
    // The title above, the harmonic numbers below, the scale at the left.
    const QRect plot = rect().adjusted(fm.horizontalAdvance(QStringLiteral("1E-00")) + 8,
                                       2 * fm.height(), -6, -fm.height() - 6);
    p.setPen(Qt::black);
    p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignTop | Qt::AlignLeft,
               QStringLiteral("Spektrum |s_k|%1").arg(log_ ? QStringLiteral(" (log)") : QString()));
    p.drawRect(plot);
    std::size_t harmonics = 0;
    double top = 0.0;
    for (const auto& a : amplitudes_) {
        harmonics = std::max(harmonics, a.size());
        for (double v : a) top = std::max(top, v);
    }
    if (harmonics == 0 || !(top > 0.0)) return;
    // Logarithmic: six decades below the largest amplitude.
    const double logTop = std::ceil(std::log10(top)), logBottom = logTop - 6.0;
    auto height = [&](double v) {
        if (!log_) return v / top;
        if (!(v > 0.0)) return 0.0;
        return std::clamp((std::log10(v) - logBottom) / (logTop - logBottom), 0.0, 1.0);
    };
    const double group = double(plot.width()) / double(harmonics);
    const double bar = group * 0.8 / double(amplitudes_.size());
    for (std::size_t m = 0; m < amplitudes_.size(); ++m)
        for (std::size_t k = 0; k < amplitudes_[m].size(); ++k) {
            const double h = height(amplitudes_[m][k]) * plot.height();
            const QRectF r(plot.left() + group * double(k) + group * 0.1 + bar * double(m),
                           plot.bottom() - h, std::max(bar, 1.0), h);
            p.fillRect(r, colours_[m]);
        }
    p.setPen(Qt::black);
    for (std::size_t k = 0; k < harmonics; k += std::max<std::size_t>(1, harmonics / 10))
        p.drawText(
            QPointF(plot.left() + group * (double(k) + 0.3), plot.bottom() + fm.ascent() + 2),
            QString::number(k + 1));
    p.drawText(QRect(0, plot.top() - fm.height() / 2, plot.left() - 4, fm.height()), Qt::AlignRight,
               log_ ? QStringLiteral("1E%1").arg(logTop) : QLocale().toString(top, 'g', 3));
}

} // namespace graphics
