// The numeric edit field of the editor: a line edit that takes only what can form a real,
// writes "," as "." and "e" as "E", beeps at everything else, and keeps its value within a
// range.
#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace ui {

class TRealEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TRealEdit(QWidget* parent = nullptr);

    // No range while ValueMax <= ValueMin (both 0 at the start). Setting one end at or beyond
    // the other makes the range empty (both equal); with a range, a value outside it moves to
    // its nearer end and is shown.
    double ValueMin() const { return min_; }
    double ValueMax() const { return max_; }
    void setValueMin(double v);
    void setValueMax(double v);
    // Both ends at once (min <= max), the value moved into the range.
    void setRange(double min, double max);

    // The number the text shows; 0 when it is not one.
    double Value() const;
    // Clamped to the range and shown in the edit form: as many significant digits as fit the
    // field's length (10 characters), without the 0 before the point (" .25"). Not an edit.
    void setValue(double v);

    // Whether the user changed the text since it was last set or committed.
    bool edited() const { return edited_; }
    // The leave-field check: a text that is not a number beeps and takes the focus back
    // (false); a number outside the range is moved to the nearer end and shown; then, when the
    // user edited the text, committed() is emitted once.
    bool commit();

signals:
    // The user's entry is valid and should be written to its object field.
    void committed();

protected:
    // Without a pending entry, Ctrl+Z and Ctrl+Y are left to the window (its undo steps).
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool hasRange() const;
    // Moves a number outside the range to its nearer end.
    void keepInRange();

    double min_ = 0.0, max_ = 0.0;
    bool edited_ = false;
};

// A whole-number field with arrows (a count such as the number of harmonics): any signed
// number may be typed, and one outside the range is refused on Enter or on leaving the field
// like an unreadable entry of TRealEdit: a beep, the last value back and the focus kept.
class TCountEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TCountEdit(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // True, after the beep and with the last value shown again, when the text is no number of
    // the range.
    bool refused();
};

} // namespace ui
