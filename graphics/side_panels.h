// Beside the diagrams: the characteristic values of the plotted motions (extremes and RMS of
// the derivatives) and their harmonic spectrum as bars.
#pragma once

#include <QTableWidget>
#include <QWidget>

#include <vector>

#include "model/tree.h"

namespace graphics {

// One column per motion with results: maxima and minima of s, s', s'', s''' (and q when the
// motion has an elastic output), RMS of s', s'', s'''. Numbers as the user's locale writes them.
class ValuesTable : public QTableWidget {
    Q_OBJECT
public:
    explicit ValuesTable(QWidget* parent = nullptr);
    // One column per member with results, headed by its name (a long one shortened in the
    // middle, whole in the tooltip) beside a mark in its diagram colour.
    void fill(const std::vector<model::Node*>& members);
    // The width that shows every row heading and every column whole.
    int neededWidth() const;
};

// The amplitudes √(S_k² + C_k²) of s for k = 1 .. H, one bar group per harmonic, one bar per
// motion in its diagram colour; linear or logarithmic. Harmonic numbers are written only as
// often as they fit side by side; the scale's labels take the room they need.
class SpectrumView : public QWidget {
    Q_OBJECT
public:
    explicit SpectrumView(QWidget* parent = nullptr);
    void setMembers(const std::vector<model::Node*>& members);
    void setLogarithmic(bool on);
    bool logarithmic() const { return log_; }
    QSize sizeHint() const override { return {320, 200}; }

    // The bar heights as drawn (amplitudes per motion and harmonic), for the tests.
    std::vector<std::vector<double>> amplitudes() const { return amplitudes_; }

    // A text of the picture and the rectangle it is drawn in.
    struct Label {
        QString text;
        QRect rect;
    };
    // The labels at the widget's current size: the title, the scale, the harmonic numbers.
    std::vector<Label> labels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout;
    Layout layout() const;
    std::vector<std::vector<double>> amplitudes_;
    std::vector<QColor> colours_;
    bool log_ = false;
};

} // namespace graphics
