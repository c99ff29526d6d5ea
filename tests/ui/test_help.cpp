// The manual in the program's own window, from the build tree and from an installation.
#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "tests/ui/window_fixture.h"
#include "ui/help_window.h"

class HelpTest : public QObject, protected WindowFixture {
    Q_OBJECT

    // Every picture the manual's text names is loaded by the window showing it.
    static void checkPictures(QTextBrowser& browser) {
        QStringList named, loaded;
        const QString text = QString::fromUtf8(fileBytes(browser.source().toLocalFile()));
        for (const auto& m :
             QRegularExpression(QStringLiteral("<img[^>]*src=\"([^\"]+)\"")).globalMatch(text))
            named << m.captured(1);
        for (QTextBlock b = browser.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (const QTextCharFormat f = it.fragment().charFormat(); f.isImageFormat()) {
                    const QString name = f.toImageFormat().name();
                    const QVariant data = browser.loadResource(QTextDocument::ImageResource, name);
                    if (!QImage::fromData(data.toByteArray()).isNull()) loaded << name;
                }
        QVERIFY(!named.isEmpty());
        QCOMPARE(loaded, named);
    }

private slots:
    void init() { setUpFolder(); }
    void cleanup() { tearDownFolder(); }

    // Regression: without a browser "&Hilfethemen" said "HTML-Browser nicht gefunden!" and
    // showed nothing.
    void withoutABrowserTheManualOpensInAWindowOfItsOwn() {
        auto w = makeWindow();
        script_.urlOpens = false;
        w->HelpTopics->trigger();
        QVERIFY(script_.messages.empty());
        QVERIFY(w->DlgHelp != nullptr && w->DlgHelp->isVisible());
        QVERIFY(
            w->DlgHelp->TBHelp->source().toLocalFile().endsWith(QStringLiteral("/tvhelp.html")));
        checkPictures(*w->DlgHelp->TBHelp);
    }

    // The build's install rules carry the manual with its pictures to where the installed
    // program looks for it.
    void anInstalledProgramFindsTheManualWithItsPictures() {
        const QString prefix = path(QStringLiteral("prefix"));
        QProcess install;
        install.start(QStringLiteral(TERVANA_CMAKE),
                      {"--install", TERVANA_BINARY_DIR, "--component", "help", "--prefix", prefix});
        QVERIFY(install.waitForFinished(60000) && install.exitCode() == 0);
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
        QString found;
        for (const QString& f : ui::TDlgMain::helpCandidates(prefix + QStringLiteral("/bin")))
            if (found.isEmpty() && QFileInfo(f).isFile()) found = QFileInfo(f).canonicalFilePath();
        QVERIFY2(found.startsWith(QFileInfo(prefix).canonicalFilePath()), qPrintable(found));
        ui::THelpWindow window;
        window.showManual(found);
        checkPictures(*window.TBHelp);
    }
};

QTEST_MAIN(HelpTest)
#include "test_help.moc"
