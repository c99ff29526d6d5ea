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
    ui::TRealEdit* edit_ = new ui::TRealEdit(&window_);
    QLineEdit* other_ = new QLineEdit(&window_);

    // The user enters the field and clears it.
    void enter() {
        edit_->setFocus();
        edit_->clear();
        QTRY_VERIFY(edit_->hasFocus());
    }
    void leave() {
        other_->setFocus();
        QTRY_VERIFY(other_->hasFocus());
    }

private slots:
    void initTestCase() {
        auto* layout = new QVBoxLayout(&window_);
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
        edit_->setSelection(0, 3); // the point in the replaced selection does not count
        QTest::keyClicks(edit_, ",");
        QCOMPARE(edit_->text(), QStringLiteral(".E3"));
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier); // shortcuts pass
        QTest::keyClicks(edit_, "-7");
        QTest::keyClick(edit_, Qt::Key_Backspace);
        QCOMPARE(edit_->text(), QStringLiteral("-"));
    }

    void commitsOnceAfterAnEditAndRefusesNonNumbers() {
        QSignalSpy spy(edit_, &ui::TRealEdit::committed);
        edit_->setValue(0.5);
        edit_->setFocus();
        QTRY_VERIFY(edit_->hasFocus());
        leave(); // tabbing through an untouched field
        QCOMPARE(spy.count(), 0);
        enter();
        QTest::keyClicks(edit_, "2");
        QTest::keyClick(edit_, Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        leave(); // Enter already committed the entry
        QCOMPARE(spy.count(), 1);
        enter();
        QTest::keyClicks(edit_, "1E");
        QCOMPARE(edit_->Value(), 0.0);
        QVERIFY(!edit_->commit());
        other_->setFocus();
        QTRY_VERIFY(edit_->hasFocus()); // taken back
        QCOMPARE(spy.count(), 1);
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
        // The line edit would cut a longer text to a different number; 4 digits fit here.
        for (double v : {1.2345678901E+11, -1.2345678901E-11, -987654.321098}) {
            edit_->setValue(v);
            QVERIFY2(edit_->text().size() <= 10, qPrintable(edit_->text()));
            QVERIFY2(std::fabs(edit_->Value() - v) <= 5e-4 * std::fabs(v),
                     qPrintable(edit_->text()));
        }
    }
};

} // namespace

QTEST_MAIN(RealEditTest)
#include "test_real_edit.moc"
