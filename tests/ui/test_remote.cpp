// The remote calculation in the main window: "&extern ...", the settings window and what it
// keeps, and a whole run through the progress window against the loopback servers.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "calcctl/batch.h"
#include "model/results.h"
#include "net/remote_windows.h"
#include "tests/net/remote_hosts.h"
#include "tests/net/test_servers.h"
#include "tests/ui/window_fixture.h"

using graphics::Answer;
using model::Node;

namespace {

const QString kPassword = QStringLiteral("geheim$1");

net::RemoteSettings complete() {
    net::RemoteSettings s;
    s.host = QStringLiteral("calc.example:2121");
    s.user = QStringLiteral("calc");
    s.password = kPassword;
    s.prompt = QStringLiteral("$");
    s.command = QStringLiteral("kq4calc remote$.kq4 0");
    s.remotePath = QStringLiteral("work");
    s.crOnly = false;
    s.maxTime = 3700;
    s.details = true;
    return s;
}

} // namespace

class RemoteTest : public QObject, protected WindowFixture {
    Q_OBJECT

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    void settingsAreKeptButNeverThePassword() {
        {
            net::TDlgRConfig d;
            // Defaults of a first start.
            QCOMPARE(d.EdLoginReq->text(), QStringLiteral("login:"));
            QCOMPARE(d.EdPWDReq->text(), QStringLiteral("Password:"));
            QCOMPARE(d.EdMaxTime->value(), 1200);
            QVERIFY(d.RBCR->isChecked() && d.RBFtp->isChecked());
            QCOMPARE(d.EdPwd->echoMode(), QLineEdit::Password);
            d.setSettings(complete());
            d.EdLoginReq->clear(); // empty: the default again
            d.accept();
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        QSettings s(QStringLiteral("Norbeck"), QStringLiteral("Tervas"));
        s.beginGroup(QString::fromLatin1(net::kRemoteGroup));
        QCOMPARE(s.value("HostName").toString(), QStringLiteral("calc.example:2121"));
        QCOMPARE(s.value("MaxTime").toInt(), 3700);
        QCOMPARE(s.value("CRonly").toInt(), 0);
        QCOMPARE(s.value("LoginReq").toString(), QStringLiteral("login:"));
        for (const QString& key : s.childKeys())
            QVERIFY2(!s.value(key).toString().contains(kPassword), qPrintable(key));
        s.endGroup();
        QVERIFY(!fileBytes(s.fileName()).contains(kPassword.toUtf8()));
        net::TDlgRConfig again;
        QCOMPARE(again.settings().command, complete().command);
        QVERIFY(again.settings().password.isEmpty());
        QVERIFY(!again.settings().crOnly && again.settings().details);
    }

    void okIsRefusedWhileAFieldIsMissing() {
        for (auto clear : {&net::RemoteSettings::host, &net::RemoteSettings::user,
                           &net::RemoteSettings::prompt, &net::RemoteSettings::command}) {
            net::TDlgRConfig d(false);
            net::RemoteSettings s = complete();
            s.*clear = QString();
            d.setSettings(s);
            d.show();
            d.accept();
            QVERIFY(d.isVisible());
            QVERIFY(!d.LReason->text().isEmpty());
        }
    }

    void externIsCheckedOnlyWhenTheSettingsAreConfirmed() {
        {
            auto w = makeWindow();
            script_.execAccepts = false;
            w->Extern->trigger();
            QVERIFY(w->PrioNormal->isChecked() && !w->Extern->isChecked());
            QCOMPARE(script_.execTitles.back(), QStringLiteral("Remote-Config"));
            script_.execAccepts = true;
            w->Extern->trigger();
            QVERIFY(w->Extern->isChecked());
            // Once checked, a cancelled settings window leaves it checked.
            script_.execAccepts = false;
            w->Extern->trigger();
            QVERIFY(w->Extern->isChecked());
        }
        // Regression: a choice read from the settings was not the one a cancelled settings
        // window went back to (always "normal"), nor did a stored "extern" count as checked.
        {
            auto again = makeWindow();
            QVERIFY(again->Extern->isChecked());
            again->Extern->trigger();
            QVERIFY(again->Extern->isChecked());
            again->PrioLow->trigger();
        }
        auto low = makeWindow();
        low->Extern->trigger();
        QVERIFY(low->PrioLow->isChecked() && !low->Extern->isChecked());
    }

    void cancelledSettingsLeaveTheProjectAsItWas() {
        auto w = makeWindow();
        Node* p = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        w->selectNode(p);
        w->Extern->setChecked(true);
        const bool stored = model::projectObj(*p).ResultsStored;
        script_.execAccepts = false;
        w->Calc->trigger();
        w->CalcAll->trigger();
        QVERIFY(!w->calculation().running() && !w->batch().running());
        QCOMPARE(model::projectObj(*p).ResultsStored, stored);
        QVERIFY(!QFile::exists(path(QStringLiteral("remote$.kq4"))));
        QVERIFY(script_.messages.empty());
    }

    void aBatchAsksForTheSettingsOnce() {
        auto w = makeWindow();
        openExample(*w, QStringLiteral("cam_dwell.k4p"));
        openExample(*w, QStringLiteral("slide_gripper.k4p"));
        net::RemoteSettings s = complete();
        s.host = QStringLiteral("127.0.0.1:%1").arg(nettest::freePort()); // nobody there
        script_.onExec = [&](QDialog& d) {
            if (auto* config = qobject_cast<net::TDlgRConfig*>(&d)) config->setSettings(s);
        };
        w->Extern->trigger();
        script_.execTitles.clear();
        w->CalcAll->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->batch().running(), 20000);
        QCOMPARE(script_.execTitles.size(), std::size_t{1});
        QCOMPARE(w->batch().processed(), 2);
        QCOMPARE(w->batch().solved(), 0);
    }

    void anUnknownSshHostKeyIsAskedAboutInTheWindow() {
        nettest::SshServer ssh(QFileInfo(QStringLiteral(TERVANA_KQ4CALC)).absolutePath());
        NETTEST_QREQUIRE(ssh.available(), ssh.error());
        auto w = makeWindow();
        Node* p = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        w->selectNode(p);
        const net::RemoteSettings s = nettest::sshSettings(ssh);
        script_.onExec = [&](QDialog& d) {
            if (auto* config = qobject_cast<net::TDlgRConfig*>(&d)) config->setSettings(s);
        };
        w->Extern->trigger();
        script_.answers.push_back(Answer::Yes);
        w->Calc->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 20000);
        QVERIFY(model::projectObj(*p).ResultsStored);
        QVERIFY(!script_.messages.empty());
        QVERIFY(QString::fromStdString(script_.messages.front().text).contains("unbekannt"));
        QVERIFY(fileBytes(ssh.knownHosts()).contains("ssh-ed25519"));
    }

    void wholeRemoteRunThroughTheProgressWindow() {
        nettest::FtpServer ftp(kPassword);
        nettest::TelnetServer telnet(ftp.home(), kPassword,
                                     QFileInfo(QStringLiteral(TERVANA_KQ4CALC)).absolutePath());
        NETTEST_QREQUIRE(ftp.available() && telnet.available(), ftp.error() + telnet.error());
        auto w = makeWindow();
        Node* p = openExample(*w, QStringLiteral("cam_dwell.k4p"));
        w->selectNode(p);
        net::RemoteSettings s = complete();
        s.host = QStringLiteral("127.0.0.1:%1").arg(ftp.port());
        s.telnetPort = telnet.port();
        s.remotePath.clear();
        script_.onExec = [&](QDialog& d) {
            if (auto* config = qobject_cast<net::TDlgRConfig*>(&d)) config->setSettings(s);
        };
        w->Extern->trigger();
        QVERIFY(w->Extern->isChecked());
        auto* progress = w->findChild<net::TDlgRProgress*>();
        QVERIFY(progress != nullptr);
        w->Calc->trigger();
        QTRY_VERIFY(progress->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!w->calculation().running(), 20000);
        QVERIFY(!progress->isVisible());
        QVERIFY(model::projectObj(*p).ResultsStored);
        const QString log = progress->Memo1->toPlainText();
        QVERIFY(log.contains(QString::fromUtf8(net::kTextDownloadDone)));
        QVERIFY(!log.contains(kPassword));
        // 3700 s, as the window shows a time.
        QVERIFY2(progress->LTime->text().endsWith(QStringLiteral(" von 1h 1m 40s")),
                 qPrintable(progress->LTime->text()));
    }
};

QTEST_MAIN(RemoteTest)
#include "test_remote.moc"
