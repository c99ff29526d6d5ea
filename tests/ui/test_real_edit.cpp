// The numeric edit field driven by key clicks and focus changes on the offscreen platform.
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

#include "ui/real_edit.h"

namespace {

class RealEditTest : public QObject {
    Q_OBJECT

    QWidget window_;
    ui::TRealEdit* edit_ = nullptr;
    QLineEdit* other_ = nullptr;

    // The field focused and emptied, as after the user entered it and cleared it.
    void enter() {
        edit_->setFocus();
        edit_->setText(QString());
        QTRY_VERIFY(edit_->hasFocus());
    }

private slots:
    void initTestCase() {
        auto* layout = new QVBoxLayout(&window_);
        edit_ = new ui::TRealEdit;
        other_ = new QLineEdit;
        layout->addWidget(edit_);
        layout->addWidget(other_);
        window_.show();
        window_.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window_));
        QCOMPARE(edit_->maxLength(), 10);
    }

    void init() {
        edit_->setRange(0.0, 0.0);
        edit_->setValue(0.0);
    }

    void typingFormsAReal() {
        enter();
        QTest::keyClicks(edit_, "1,5e3");
        QCOMPARE(edit_->text(), QStringLiteral("1.5E3"));
        QCOMPARE(edit_->Value(), 1500.0);
        QTest::keyClicks(edit_, ".Ee,a x/"); // a second point or exponent, letters, blanks
        QCOMPARE(edit_->text(), QStringLiteral("1.5E3"));
        // The point in a selection that the key replaces does not count.
        edit_->setSelection(0, 3);
        QTest::keyClicks(edit_, ",");
        QCOMPARE(edit_->text(), QStringLiteral(".E3"));
        // Shortcuts pass: select all, then a digit replaces everything.
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit_, "-7");
        QCOMPARE(edit_->text(), QStringLiteral("-7"));
        QTest::keyClick(edit_, Qt::Key_Backspace);
        QCOMPARE(edit_->text(), QStringLiteral("-"));
    }

    void commitsOnceAfterAnEdit() {
        QSignalSpy spy(edit_, &ui::TRealEdit::committed);
        edit_->setValue(0.5);
        edit_->setFocus();
        QTRY_VERIFY(edit_->hasFocus());
        other_->setFocus(); // tabbing through an untouched field
        QTRY_VERIFY(other_->hasFocus());
        QCOMPARE(spy.count(), 0);
        enter();
        QTest::keyClicks(edit_, "2");
        QTest::keyClick(edit_, Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        other_->setFocus(); // Enter already committed the entry
        QTRY_VERIFY(other_->hasFocus());
        QCOMPARE(spy.count(), 1);
        enter();
        QTest::keyClicks(edit_, "3");
        other_->setFocus();
        QTRY_VERIFY(other_->hasFocus());
        QCOMPARE(spy.count(), 2);
        QCOMPARE(edit_->Value(), 3.0);
    }

    void invalidTextKeepsTheFocus() {
        QSignalSpy spy(edit_, &ui::TRealEdit::committed);
        enter();
        QTest::keyClicks(edit_, "1E");
        QCOMPARE(edit_->Value(), 0.0);
        QVERIFY(!edit_->commit());
        other_->setFocus();
        QTRY_VERIFY(edit_->hasFocus());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(edit_->text(), QStringLiteral("1E"));
    }

    void rangeClampsOnCommitAndOnNewEnds() {
        edit_->setRange(-1.0, 1.0);
        for (auto [typed, expected] : {std::pair{"5", 1.0}, {"-3E2", -1.0}, {".25", 0.25}}) {
            enter();
            QTest::keyClicks(edit_, typed);
            QVERIFY(edit_->commit());
            QCOMPARE(edit_->Value(), expected);
        }
        edit_->setValue(0.75);
        edit_->setValueMax(0.5);
        QCOMPARE(edit_->Value(), 0.5);
        edit_->setValueMin(0.6); // at or above the upper end: an empty range, nothing clamps
        QCOMPARE(edit_->ValueMax(), 0.6);
        edit_->setValue(7.0);
        QCOMPARE(edit_->Value(), 7.0);
    }

    void editFormFitsTheField() {
        edit_->setValue(0.25);
        QCOMPARE(edit_->text(), QStringLiteral(" .25"));
        edit_->setValue(-0.5);
        QCOMPARE(edit_->text(), QStringLiteral("-.5"));
        // The line edit would cut a longer text to a different number.
        for (double v : {1.2345678901E+11, -1.2345678901E-11, -987654.321098, 1.0 / 3}) {
            edit_->setValue(v);
            QVERIFY2(edit_->text().size() <= 10, qPrintable(edit_->text()));
            QVERIFY2(std::fabs(edit_->Value() - v) <= 5e-4 * std::fabs(v),
                     qPrintable(edit_->text()));
            QVERIFY(!edit_->edited());
        }
    }
};

} // namespace

QTEST_MAIN(RealEditTest)
#include "test_real_edit.moc"
