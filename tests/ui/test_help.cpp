// The manual in the program's own window when no browser shows it: "&Hilfethemen" opens it with
// tvhelp.html, and every picture the manual names is loaded, both from the build tree and from
// an installation made by the build's own install rules.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "tests/ui/window_fixture.h"
#include "ui/help_window.h"

class HelpTest : public QObject, protected WindowFixture {
    Q_OBJECT

    // Every picture of the shown document loads as an image; the pictures in order.
    static QStringList loadedPictures(QTextBrowser& browser) {
        QStringList names;
        for (QTextBlock b = browser.document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (!f.isImageFormat()) continue;
                const QString name = f.toImageFormat().name();
                const QVariant data = browser.loadResource(QTextDocument::ImageResource, name);
                const QImage image = data.typeId() == QMetaType::QImage
                                         ? data.value<QImage>()
                                         : QImage::fromData(data.toByteArray());
                if (image.isNull()) qWarning("picture not loaded: %s", qPrintable(name));
                if (!image.isNull()) names << name;
            }
        return names;
    }

    // The pictures the manual's text names, read from the file on its own.
    static QStringList namedPictures(const QString& manual) {
        QStringList names;
        const QString text = QString::fromUtf8(fileBytes(manual));
        for (const auto& m :
             QRegularExpression(QStringLiteral("<img[^>]*src=\"([^\"]+)\"")).globalMatch(text))
            names << m.captured(1);
        return names;
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
        const QString manual = w->DlgHelp->TBHelp->source().toLocalFile();
        QVERIFY2(manual.endsWith(QStringLiteral("/tvhelp.html")), qPrintable(manual));
        const QStringList named = namedPictures(manual);
        QVERIFY(!named.isEmpty());
        QCOMPARE(loadedPictures(*w->DlgHelp->TBHelp), named);
        // A second call shows the same window again.
        w->HelpTopics->trigger();
        QCOMPARE(w->findChildren<ui::THelpWindow*>().size(), 1);
    }

    // The install rules carry the manual with every picture to where the installed program
    // looks for it.
    void anInstalledProgramFindsTheManualWithItsPictures() {
        const QString prefix = path(QStringLiteral("prefix"));
        QProcess install;
        install.start(QStringLiteral(TERVANA_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(TERVANA_BINARY_DIR),
                       QStringLiteral("--component"), QStringLiteral("help"),
                       QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin"))); // the program's folder
        QString found;
        for (const QString& f : ui::TDlgMain::helpCandidates(prefix + QStringLiteral("/bin")))
            if (QFileInfo(f).isFile()) {
                found = QFileInfo(f).canonicalFilePath();
                break;
            }
        QVERIFY2(found.startsWith(QFileInfo(prefix).canonicalFilePath()), qPrintable(found));
        ui::THelpWindow window;
        window.showManual(found);
        const QStringList named = namedPictures(found);
        QVERIFY(!named.isEmpty());
        QCOMPARE(loadedPictures(*window.TBHelp), named);
    }
};

QTEST_MAIN(HelpTest)
#include "test_help.moc"
