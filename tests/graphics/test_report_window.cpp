// The report's RTF read into a document (every construct the report uses, hostile input) and the
// report window: saving the lines, refusing and failing to save, copying, PDF with page headers.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include "graphics/report_window.h"
#include "graphics/rtf_reader.h"
#include "tests/support/fake_prompts.h"

using graphics::readRtf;
using graphics::twipsToPixels;

namespace {

const std::vector<std::string> head = {
    R"({\rtf1\ansi\deff0)",
    R"({\fonttbl)",
    R"({\f0\fmodern Times New Roman;})",
    R"({\f1\fswiss Arial;})",
    R"({\f2\froman Symbol;}})",
    R"({\stylesheet)",
    R"({\s0\li1200\f0\fs24\li600HS_Text;})",
    R"({\s4\li1200\f1\fs24\i\sb24\sa24\keep\keepnHS_Info;}})",
    R"({\info{\title Verborgen}})",
    "{\\header\\pard\\plain\\f1\\fs16\\qj\\b\\i\\ul\\tqr\\tx9023 M\\'FCller\\tab 6.12.2026\\par}",
    R"({\headerf\pard\plain\par})",
    "\\pard\\plain\\li1200\\f1\\fs32\\b\\qc\\sb144\\sa72\\keepn\\s1 Projekt: M\\'FCller",
};
const std::string T = R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tqdec\tx2500\tqdec\tx4000)"
                      R"(\tqc\tx5200\tqc\tx5500\tqc\tx5800\tqdec\tx7000\tqdec\tx8500)";

std::vector<std::string> reportLines(int rows) {
    std::vector<std::string> lines = head;
    lines.push_back(T + "\\tab\\tab\\tab\\tab {\\f2 h}\\tab =\\tab 0.25");
    for (int i = 0; i < rows; ++i)
        lines.push_back("\\par\\tab " + std::to_string(i) + "\\tab s{\\sub\\dn6\\charscalex50 n}");
    lines.push_back("}");
    return lines;
}

QByteArray joined(const std::vector<std::string>& lines) {
    QByteArray b;
    for (const auto& l : lines) b += QByteArray::fromStdString(l) + "\r\n";
    return b;
}

QTextBlock blockStarting(const QTextDocument& doc, const QString& start) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(start)) return b;
    return {};
}

// The character format at offset in the block.
QTextCharFormat formatAt(const QTextBlock& b, int offset) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (offset >= f.position() - b.position() &&
            offset < f.position() - b.position() + f.length())
            return f.charFormat();
    }
    return {};
}

} // namespace

class ReportWindowTest : public QObject {
    Q_OBJECT
    Script script_;
    std::unique_ptr<FakePrompts> prompts_;
    graphics::ReportServices services_;
    QTemporaryDir tmp_;

    std::unique_ptr<graphics::TRTFReport> window(int rows) {
        auto w = std::make_unique<graphics::TRTFReport>(services_);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setReport(QStringLiteral("Müller"), reportLines(rows), QStringLiteral("6.12.2026"));
        return w;
    }

private slots:
    void init() {
        script_ = Script{};
        prompts_ = std::make_unique<FakePrompts>(script_);
        services_.prompts = prompts_.get();
    }

    void paragraphsAndTabs() {
        std::vector<std::string> lines = head;
        lines.push_back(T + "\\tab\\tab\\tab\\tab {\\f2 h}\\tab =\\tab 0.25");
        lines.push_back(R"(\par\pard\plain\li1200\f1\fs24\i\sb24\sa24\keep\keepn\s4\qc Stand)");
        lines.push_back("}");
        const auto rtf = readRtf(joined(lines));
        const QTextDocument& doc = *rtf.document;
        QCOMPARE(rtf.pageHeader, QStringLiteral("Müller\t6.12.2026"));
        QVERIFY(!doc.toPlainText().contains(u"Verborgen"));
        QVERIFY(!doc.toPlainText().contains(u"Arial"));
        QVERIFY(!doc.toPlainText().contains(u"6.12.2026"));
        QCOMPARE(doc.defaultTextOption().wrapMode(), QTextOption::NoWrap);

        const QTextBlock title = blockStarting(doc, "Projekt: Müller");
        QVERIFY(title.isValid());
        QCOMPARE(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(title.blockFormat().topMargin(), twipsToPixels(144));
        QCOMPARE(title.blockFormat().bottomMargin(), twipsToPixels(72));
        QCOMPARE(title.blockFormat().leftMargin(), twipsToPixels(1200));
        QVERIFY(formatAt(title, 0).font().bold());
        QCOMPARE(formatAt(title, 0).fontPointSize(), 16.0);

        const QTextBlock eta = blockStarting(doc, "\t\t\t\tη\t=\t0.25");
        QVERIFY(eta.isValid());
        QCOMPARE(eta.blockFormat().leftMargin(), twipsToPixels(600)); // the later \li wins
        QVERIFY(!formatAt(eta, 4).font().bold());
        const auto tabs = eta.blockFormat().tabPositions();
        QCOMPARE(tabs.size(), 7);
        QCOMPARE(tabs[4].type, QTextOption::CenterTab);
        QCOMPARE(tabs[5].type, QTextOption::DelimiterTab);
        QCOMPARE(tabs[5].delimiter, QChar(u'.'));
        QCOMPARE(tabs[5].position, twipsToPixels(7000));
        QCOMPARE(tabs[6].position, twipsToPixels(8500));
        // A comma as decimal separator aligns on the comma.
        const auto comma = readRtf(QByteArray::fromStdString(T + "\\tab 1,5}"), u',');
        QCOMPARE(blockStarting(*comma.document, "\t1,5").blockFormat().tabPositions()[0].delimiter,
                 QChar(u','));
        const QTextBlock stand = blockStarting(doc, "Stand");
        QCOMPARE(stand.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(formatAt(stand, 0).fontItalic());
        QCOMPARE(stand.blockFormat().topMargin(), twipsToPixels(24));
    }

    // Decimal and centred stops with nothing after them pulled the rest of the line left.
    void emptyTabSectionsKeepTheColumns() {
        std::vector<std::string> lines = head;
        lines.push_back(T + "\\tab\\tab\\tab\\tab {\\f2 h}\\tab =\\tab 0.25");
        lines.push_back(T + "\\tab\\tab\\tab\\tab {\\f2 q}\\tab =\\tab 123.5");
        lines.push_back(T + "\\tab 12\\tab 3.5}");
        const auto rtf = readRtf(joined(lines));
        const QTextDocument& doc = *rtf.document;
        (void)doc.size(); // lays it out
        const auto x = [&](const QString& start, QChar c) {
            const QTextBlock b = blockStarting(doc, start);
            return b.layout()->lineAt(0).cursorToX(b.text().indexOf(c));
        };
        const QTextBlock whole = blockStarting(doc, "\t12\t");
        QCOMPARE(whole.blockFormat().tabPositions()[0].type, QTextOption::RightTab);
        QCOMPARE(blockStarting(doc, "\t\t").blockFormat().tabPositions()[0].type,
                 QTextOption::LeftTab);
        QVERIFY(std::abs(x("\t\t\t\tη", u'.') - x("\t\t\t\tθ", u'.')) < 4);
        QVERIFY(std::abs(x("\t\t\t\tη", u'.') - twipsToPixels(7000 + 600)) < 4);
        QVERIFY(std::abs(x("\t\t\t\tη", u'η') - twipsToPixels(5500 + 600)) < 10);
        QVERIFY(std::abs(x("\t12", u'.') - twipsToPixels(4000 + 600)) < 4);
    }

    void characters_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        const QByteArray fonts = R"({\rtf1\deff0{\fonttbl{\f0 Times;}{\f2\froman Symbol;}})";
        QTest::newRow("symbol") << fonts + R"(a{\f2 hqj\'a3S\'d6}z})" << u"aηθφ≤Σ√z"_qs;
        QTest::newRow("symbol greek") << fonts + R"({\f2 abgpW}})" << u"αβγπΩ"_qs;
        QTest::newRow("windows-1252") << fonts + R"(Gr\'fc\'DFe \'80\'84})" << u"Grüße €„"_qs;
        QTest::newRow("unicode") << fonts + R"(a\u8594?b\uc2\u-4064 xyc\uc0\u946 d})"
                                 << u"a→b\uF020cβd"_qs;
        QTest::newRow("escapes") << fonts + R"(\\\{\}\~x})" << u"\\{}\u00A0x"_qs;
        QTest::newRow("skipped") << fonts + R"({\*\unknown hidden}{\stylesheet{\s0 S;}}ok})"
                                 << u"ok"_qs;
        QTest::newRow("unknown words") << fonts + R"(\foo12 a\bar-3\baz b})" << u"ab"_qs;
    }
    void characters() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(readRtf(rtf).document->toRawText(), text);
    }

    void characterRuns() {
        const auto rtf = readRtf(R"({\rtf1 a{\b b}\i c\i0 d\ul e\ulnone f)"
                                 R"(s{\sub\dn6\charscalex50 n}{\super\up6 2}\super 3\nosupersub 4)"
                                 R"(\b g\plain h{\fs16 k}})");
        const QTextBlock b = rtf.document->begin();
        QCOMPARE(b.text(), QStringLiteral("abcdefsn234ghk"));
        struct Expect {
            int at;
            bool bold, italic, underline;
            QTextCharFormat::VerticalAlignment v;
        };
        const auto N = QTextCharFormat::AlignNormal, Sub = QTextCharFormat::AlignSubScript,
                   Sup = QTextCharFormat::AlignSuperScript;
        for (const Expect& e : {Expect{0, false, false, false, N},
                                {1, true, false, false, N},
                                {2, false, true, false, N},
                                {3, false, false, false, N},
                                {4, false, false, true, N},
                                {5, false, false, false, N},
                                {7, false, false, false, Sub},
                                {8, false, false, false, Sup},
                                {9, false, false, false, Sup},
                                {10, false, false, false, N},
                                {11, true, false, false, N},
                                {12, false, false, false, N}}) {
            const QTextCharFormat f = formatAt(b, e.at);
            QVERIFY2(f.font().bold() == e.bold && f.fontItalic() == e.italic &&
                         f.fontUnderline() == e.underline && f.verticalAlignment() == e.v,
                     qPrintable(QString::number(e.at)));
        }
        QCOMPARE(formatAt(b, 13).fontPointSize(), 8.0);
        QCOMPARE(formatAt(b, 12).fontPointSize(), 12.0);
    }

    void hostileInput_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("closing only") << QByteArray("}}}a}") << u"a"_qs;
        QTest::newRow("unclosed") << QByteArray(R"({\rtf1 abc {\b def)") << u"abc def"_qs;
        QTest::newRow("backslash at end") << QByteArray("ab\\") << u"ab"_qs;
        QTest::newRow("hex cut") << QByteArray("ab\\'f") << u"ab\u000F"_qs;
        QTest::newRow("hex none") << QByteArray("ab\\'") << u"ab"_qs;
        QTest::newRow("unicode cut") << QByteArray("a\\u-") << u"a\u0000"_qs;
        QTest::newRow("font table cut") << QByteArray(R"({\fonttbl{\f2 Symbol)") << QString();
        QTest::newRow("header cut") << QByteArray(R"(x{\header a\tab b)") << u"x"_qs;
        QTest::newRow("huge numbers")
            << QByteArray(R"(\fs99999999999\li-99999999999\tx9999999999 q)") << u"q"_qs;
        QTest::newRow("deep nesting")
            << QByteArray(5000, '{') + "x" + QByteArray(5000, '}') + "y" << u"xy"_qs;
    }
    void hostileInput() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(readRtf(rtf).document->toPlainText(), text);
    }

    void saveWritesTheLines() {
        auto w = window(3);
        QCOMPARE(w->windowTitle(), QStringLiteral("Report Müller"));
        w->setProjectFile(tmp_.filePath("proj.k4p"));
        const QString path = tmp_.filePath("r.rtf");
        script_.files = {path};
        w->saveAs();
        QCOMPARE(script_.requests.at(0).presetName, tmp_.filePath("proj"));
        QVERIFY(script_.messages.empty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), joined(reportLines(3)));
    }

    void saveUnderOtherExtension() {
        auto w = window(1);
        const QString path = tmp_.filePath("r.txt");
        script_.files = {path, path};
        script_.answers = {graphics::Answer::No};
        w->saveAs();
        QCOMPARE(script_.messages.size(), std::size_t(1));
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Warning);
        QVERIFY(!QFile::exists(path));
        script_.answers = {graphics::Answer::Yes};
        w->saveAs();
        QVERIFY(QFile::exists(path));
    }

    void saveFailureLeavesMessage() {
        auto w = window(1);
        script_.files = {tmp_.filePath("missing/r.rtf")};
        w->saveAs();
        QCOMPARE(script_.messages.size(), std::size_t(1));
        QCOMPARE(script_.messages[0].kind, model::MessageKind::Error);
        QVERIFY(script_.messages[0].text.find("missing") != std::string::npos);
    }

    void copyCarriesRtf() {
        auto w = window(2);
        QVERIFY(!w->CopyItem->isEnabled());
        w->Text->selectAll();
        QVERIFY(w->CopyItem->isEnabled());
        w->copy();
        const QMimeData* m = QApplication::clipboard()->mimeData();
        QVERIFY(m != nullptr);
        QVERIFY(m->hasHtml());
        QVERIFY(m->text().contains(u"Projekt: Müller"));
        QCOMPARE(m->data("text/rtf"), joined(reportLines(2)));
        QCOMPARE(m->data("application/rtf"), joined(reportLines(2)));
    }

    void pdfHasHeaderOnEveryPage() {
        auto w = window(150);
        const QString path = tmp_.filePath("r.pdf");
        QVERIFY(w->writePdf(path));
        QProcess p;
        p.start("pdftotext", {"-layout", path, "-"});
        QVERIFY(p.waitForFinished(30000));
        const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
        int counted = 0;
        for (const QString& page : pages) {
            if (page.trimmed().isEmpty()) continue;
            ++counted;
            QVERIFY2(page.contains(u"Müller") && page.contains(u"6.12.2026"), qPrintable(page));
        }
        QVERIFY(counted >= 2);
        QVERIFY(pages.join("").contains(u"149"));
        // Unwritable: a message, no file.
        QVERIFY(!w->writePdf(tmp_.filePath("missing/r.pdf")));
        QCOMPARE(script_.messages.size(), std::size_t(1));
    }

    void printsThroughThePrinter() {
        QVERIFY(!window(1)->PrintItem->isEnabled());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(tmp_.filePath("p.pdf"));
        services_.printer = [&printer] { return &printer; };
        auto w = window(5);
        QVERIFY(w->PrintItem->isEnabled());
        w->print();
        services_.printer = nullptr;
        QCOMPARE(script_.printerSetups, 1);
        QCOMPARE(printer.docName(), QStringLiteral("Tervana-Report: Müller"));
        QProcess p;
        p.start("pdftotext", {tmp_.filePath("p.pdf"), "-"});
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(u"6.12.2026"));
    }

    void scrollPositionKept() {
        auto w = window(200);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(w->Text->verticalScrollBar()->maximum() > 300);
        w->Text->verticalScrollBar()->setValue(300);
        w->setReport(QStringLiteral("Müller"), reportLines(201), QStringLiteral("7.12.2026"));
        QCoreApplication::processEvents();
        QCOMPARE(w->Text->verticalScrollBar()->value(), 300);
        QVERIFY(w->Text->toPlainText().contains(u"\t200\ts"));
    }
};

QTEST_MAIN(ReportWindowTest)
#include "test_report_window.moc"
