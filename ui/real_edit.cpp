#include "ui/real_edit.h"

#include <cmath>
#include <string>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpression>

#include "model/format_real.h"

namespace ui {

namespace {

// The text as a number ("." decimals, blanks around allowed); nan and inf are no numbers here.
bool parseField(const QString& text, double& value) {
    const std::string t = text.trimmed().toStdString();
    double v = 0.0;
    if (!model::parseDouble(t, v) || !std::isfinite(v)) return false;
    value = v;
    return true;
}

// The edit form: the most significant digits whose text fits maxLength, without the 0 before
// the point (" .25", "-.5E-10").
QString editForm(double v, int maxLength) {
    std::string best;
    for (int p = std::min(maxLength, 17); p >= 1; --p) {
        std::string t = model::FormatReal(v, p);
        if (t.size() >= 3 && t[1] == '0' && t[2] == '.') t.erase(1, 1);
        best = t;
        if (static_cast<int>(t.size()) <= maxLength) break;
    }
    return QString::fromStdString(best);
}

bool isNavigation(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Insert:
        return true;
    default:
        return false;
    }
}

} // namespace

TRealEdit::TRealEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(10);
    connect(this, &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

bool TRealEdit::hasRange() const {
    return max_ > min_;
}

void TRealEdit::keepInRange() {
    double v = 0.0;
    if (hasRange() && parseField(text(), v) && (v < min_ || v > max_)) setValue(v);
}

void TRealEdit::setValueMin(double v) {
    min_ = v;
    if (max_ <= min_) max_ = min_;
    keepInRange();
}

void TRealEdit::setValueMax(double v) {
    max_ = v;
    if (min_ >= max_) min_ = max_;
    keepInRange();
}

void TRealEdit::setRange(double min, double max) {
    min_ = min;
    max_ = max < min ? min : max;
    keepInRange();
}

double TRealEdit::Value() const {
    double v = 0.0;
    return parseField(text(), v) ? v : 0.0;
}

void TRealEdit::setValue(double v) {
    if (hasRange()) v = v < min_ ? min_ : (v > max_ ? max_ : v);
    setText(editForm(v, maxLength()));
    edited_ = false;
}

bool TRealEdit::commit() {
    double v = 0.0;
    if (!parseField(text(), v)) {
        QApplication::beep();
        setFocus();
        return false;
    }
    const bool wasEdited = edited_;
    if (hasRange() && (v < min_ || v > max_)) setValue(v); // shows the nearer bound
    edited_ = false;
    if (wasEdited) emit committed();
    return true;
}

bool TRealEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && !edited_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)) {
            event->ignore();
            return false;
        }
    }
    return QLineEdit::event(event);
}

void TRealEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!commit()) return; // the field keeps the focus and the key
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString text = event->text();
    // Shortcuts (copy, paste, select all, undo), moving, deleting, leaving the field, and keys
    // that type nothing go to the line edit untouched.
    if ((mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) || isNavigation(key) ||
        text.isEmpty() || !text.at(0).isPrint()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar ch = text.size() == 1 ? text.at(0) : QChar();
    if (ch == u'e') ch = u'E';
    if (ch == u',') ch = u'.';
    bool accept = ch.isDigit() && ch.unicode() < 128;
    if (ch == u'+' || ch == u'-') accept = true;
    if (ch == u'.' || ch == u'E') {
        // Refused when already present in the part of the text that the key leaves standing.
        QString rest = this->text();
        if (hasSelectedText()) rest.remove(selectionStart(), selectedText().size());
        accept = !rest.contains(ch);
    }
    if (!accept) {
        QApplication::beep();
        event->accept();
        return;
    }
    insert(QString(ch));
    edited_ = true;
    event->accept();
}

void TRealEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu of the field takes the focus only for a moment.
    if (event->reason() != Qt::PopupFocusReason) commit();
}

TCountEdit::TCountEdit(QWidget* parent) : QSpinBox(parent) {
    setKeyboardTracking(false);
}

QValidator::State TCountEdit::validate(QString& input, int& pos) const {
    const QString t = input.trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]*$"));
    if (!number.match(t).hasMatch()) return QValidator::Invalid;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (ok && v >= minimum() && v <= maximum()) return QSpinBox::validate(input, pos);
    // Typed on; refused when the entry ends.
    return QValidator::Intermediate;
}

bool TCountEdit::refused() {
    QString t = text();
    int pos = 0;
    if (validate(t, pos) == QValidator::Acceptable) return false;
    QApplication::beep();
    setValue(value()); // the last value back
    return true;
}

void TCountEdit::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && refused()) {
        selectAll();
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

void TCountEdit::focusOutEvent(QFocusEvent* event) {
    const bool back = event->reason() != Qt::PopupFocusReason && refused();
    QSpinBox::focusOutEvent(event);
    if (back) {
        setFocus();
        selectAll();
    }
}

} // namespace ui
