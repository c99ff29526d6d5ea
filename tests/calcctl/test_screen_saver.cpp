// The screen saver is kept off through the screen-saver service of a (private) session bus
// while the module runs, and released afterwards; without a service nothing happens.
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <QTest>

#include <gtest/gtest.h>

#include "calcctl/platform.h"
#include "calcctl/result_code.h"
#include "tests/calcctl/calcctl_test_support.h"

namespace calcctl {

// A stand-in for the desktop's screen-saver service.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    int inhibited = 0;
    int released = 0;
    quint32 lastCookie = 0;

public slots:
    quint32 Inhibit(const QString&, const QString&) {
        ++inhibited;
        return lastCookie = 4711;
    }
    void UnInhibit(quint32 cookie) {
        if (cookie == lastCookie) ++released;
    }
};

namespace {

class ScreenSaver : public test::InScratchDir {
protected:
    void SetUp() override {
        InScratchDir::SetUp();
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon on this machine";
        bus_.start(daemon, {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(bus_.waitForStarted(5000));
        ASSERT_TRUE(bus_.waitForReadyRead(5000));
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("fake-saver");
        QDBusConnection::disconnectFromBus("tervana-screensaver");
        if (bus_.state() != QProcess::NotRunning) {
            bus_.kill();
            bus_.waitForFinished(5000);
        }
        InScratchDir::TearDown();
    }
    QProcess bus_;
    QString address_;
};

TEST_F(ScreenSaver, NoServiceNoInhibition) {
    ScreenSaverInhibitor s(QDBusConnection::connectToBus(address_, "tervana-screensaver"));
    QSignalSpy inhibited(&s, &ScreenSaverInhibitor::inhibited);
    s.inhibit("x");
    EXPECT_FALSE(inhibited.wait(500));
    EXPECT_FALSE(s.active());
}

TEST_F(ScreenSaver, InhibitedWhileTheModuleRuns) {
    FakeScreenSaver saver;
    QDBusConnection service = QDBusConnection::connectToBus(address_, "fake-saver");
    ASSERT_TRUE(service.isConnected());
    ASSERT_TRUE(service.registerObject(kScreenSaverPath, &saver, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(kScreenSaverService));

    Calculation calc;
    configure(calc);
    calc.settings.inhibitScreenSaver = true;
    calc.settings.screenSaverBus = address_;
    control("sleep 500\n");
    staged("kq4.err", "-2\n");
    QStringList status;
    int inhibitedWhileRunning = -1;
    QObject::connect(&calc, &Calculation::listingLine,
                     [&](const QString&) { inhibitedWhileRunning = saver.inhibited; });
    QObject::connect(&calc, &Calculation::statusText, [&](const QString& s) { status << s; });
    QObject::connect(&calc, &Calculation::runStarted,
                     [&] { inhibitedWhileRunning = saver.inhibited; });
    model::ProjectTree tree;
    EXPECT_EQ(test::runToEnd(calc, test::smallProject(tree, 1, 1)), -2);
    EXPECT_EQ(saver.inhibited, 1);
    EXPECT_EQ(inhibitedWhileRunning, 1); // while the module was running
    for (int i = 0; i < 40 && saver.released == 0; ++i) QTest::qWait(50);
    EXPECT_EQ(saver.released, 1);
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[0], QString::fromUtf8(kTextScreenSaverOff));
    EXPECT_EQ(status[1], QString()); // cleared at the end
}

} // namespace
} // namespace calcctl

#include "test_screen_saver.moc"
