// A calculation run against a fake module: result codes, status file, result files read back,
// flags, stop, crash, lock, priority, files of earlier runs, test mode.
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <map>
#include <numbers>
#include <set>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "calcctl/result_code.h"
#include "model/calc_input.h"
#include "model/project_file.h"
#include "model/results.h"
#include "tests/calcctl/calcctl_test_support.h"
#include "tests/model/change_recorder.h"

namespace calcctl {
namespace {

using test::addRestr;
using test::readFile;
using test::runToEnd;
using test::smallProject;

// Coefficient file of K harmonics: a0 = 1 + n, a(k) = n + k / 10, b(k) = -k, eta.
std::string fk(int n, int K, double eta) {
    auto num = [](double v) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, r.ptr);
    };
    std::string t = " " + num(1.0 + n) + "\t " + num(eta) + "\n";
    for (int k = 1; k <= K; ++k) t += " " + num(n + k / 10.0) + "\t " + num(-k) + "\n";
    return t + " 0\t 0\n 0.1\t 0\n 0.5\t 0.01\n";
}

class Run : public test::InScratchDir {
protected:
    void SetUp() override {
        InScratchDir::SetUp();
        configure(calc);
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(work() / name); }
    model::TProject& proj(model::Node& p) { return model::projectObj(p); }
    model::THSHeader& motion(model::Node& p, int n) {
        return *model::findAbs(p, n)->as<model::THSHeader>();
    }

    Calculation calc;
    model::ProjectTree tree;
};

TEST_F(Run, CodeZeroReadsResultsBack) {
    model::Node& p = smallProject(tree, 2, 3);
    control("");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 3, 0.0));
    staged("remote$.fk2", fk(2, 3, 0.25));
    QSignalSpy started(&calc, &Calculation::runStarted);
    EXPECT_EQ(runToEnd(calc, p), 0);
    EXPECT_EQ(started.count(), 1);
    EXPECT_TRUE(calc.messages().empty());
    EXPECT_EQ(readFile(work() / "args.txt"), "remote$.kq4\n0\n");
    EXPECT_FALSE(exists("kq4.err")); // deleted after reading
    // The input the fake found is the project's calculation input.
    EXPECT_EQ(readFile(work() / "remote$.kq4"), model::writeCalcInput(p).text);

    auto& h1 = motion(p, 1);
    auto& h2 = motion(p, 2);
    ASSERT_EQ(h1.sSC.Count(), 8);
    EXPECT_EQ(h1.sSC.at(1), 2.0);
    EXPECT_EQ(h1.sSC.at(2), -1.0);
    EXPECT_DOUBLE_EQ(h1.sSC.at(7), 1.3);
    EXPECT_EQ(h2.sSC.at(0), 0.25);
    // q with eta 0 is s; with eta > 0 it differs; M is there.
    for (int i = 2; i < 8; ++i) EXPECT_EQ(h1.qSC.at(i), h1.sSC.at(i));
    EXPECT_NE(h2.qSC.at(2), h2.sSC.at(2));
    EXPECT_EQ(h1.mSC.Count(), 14);
    // Actual value of the point restriction at 90 degrees: s(90°) from the coefficients.
    const double x = std::numbers::pi / 2;
    double s90 = 2.0;
    for (int k = 1; k <= 3; ++k) s90 += (1 + k / 10.0) * std::cos(k * x) - k * std::sin(k * x);
    auto* r1 = model::findAbs(p, 1)->children[0]->as<model::TRestr>();
    EXPECT_NEAR(r1->ActualS[3], s90, 1e-12);
    // The relative motion is the difference.
    auto* rel = model::findRel(p, 1, 2)->as<model::TRelHeader>();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(rel->sSC.at(i), h1.sSC.at(i) - h2.sSC.at(i));
    EXPECT_TRUE(rel->ResultsCurrent);
    // Flags of step 18.
    EXPECT_TRUE(proj(p).ResultsStored);
    EXPECT_TRUE(proj(p).AllCurrent);
    EXPECT_TRUE(proj(p).Calculated);
    EXPECT_FALSE(proj(p).Locked);
    EXPECT_TRUE(h1.HasResults && h2.HasResults && rel->HasResults);
    EXPECT_TRUE(h1.ResultsCurrent);
    EXPECT_FALSE(calc.running());
}

// The status after a run: for results the level the coefficient files give and the code (0
// and 1 read differently), kept with the project; without results neither, and what was kept
// before is gone. The time is there in every case.
TEST_F(Run, StatusTextAfterCodesOneZeroAndMinusOne) {
    std::map<int, std::string> texts;
    for (int code : {1, 0, -1}) {
        SCOPED_TRACE(code);
        model::ProjectTree t;
        model::Node& p = smallProject(t, 1, 2);
        proj(p).RPar[11] = 0.25; // a result kept from before
        proj(p).RPar[12] = 10.0;
        control("");
        staged("kq4.err", " " + std::to_string(code) + "\n");
        staged("remote$.fk1", fk(1, 2, 0.0)); // beta 0.5
        EXPECT_EQ(runToEnd(calc, p), code);
        const std::string text = calc.resultStatus().toStdString();
        const bool results = code >= 0;
        EXPECT_EQ(text.find("0.5") != std::string::npos || text.find("0,5") != std::string::npos,
                  results)
            << text;
        EXPECT_EQ(proj(p).RPar[11], results ? 0.5 : 0.0);
        EXPECT_EQ(proj(p).RPar[12], results ? 10.0 + code : 0.0);
        EXPECT_EQ(model::keptResult(p).has_value(), results);
        EXPECT_EQ(text.back(), 's') << text;
        texts[code] = text;
    }
    EXPECT_NE(texts[0], texts[1]);
}

TEST_F(Run, CodeOneWarnsThenKeepsResults) {
    model::Node& p = smallProject(tree, 1, 2);
    control("");
    staged("kq4.err", " 1\n");
    staged("remote$.fk1", fk(1, 2, 0.0));
    EXPECT_EQ(runToEnd(calc, p), 1);
    ASSERT_EQ(calc.messages().size(), 1u);
    EXPECT_EQ(calc.messages()[0], (model::Message{kTextMaxMet, model::MessageKind::Warning}));
    EXPECT_TRUE(proj(p).ResultsStored);
    EXPECT_TRUE(motion(p, 1).HasResults);
}

TEST_F(Run, ModuleCodesWithoutResults) {
    for (int code : {-2, -3, -4, -5, -6}) {
        SCOPED_TRACE(code);
        model::ProjectTree t;
        model::Node& p = smallProject(t, 1, 2);
        proj(p).ResultsStored = true;
        motion(p, 1).HasResults = true;
        control("");
        staged("kq4.err", " " + std::to_string(code) + "\n");
        staged("remote$.fk1", fk(1, 2, 0.0)); // left by the module; must not be taken
        EXPECT_EQ(runToEnd(calc, p), code);
        ASSERT_EQ(calc.messages().size(), 1u);
        EXPECT_EQ(calc.messages()[0], *codeMessage(code));
        EXPECT_FALSE(proj(p).ResultsStored);
        EXPECT_FALSE(proj(p).AllCurrent);
        EXPECT_TRUE(proj(p).Calculated);
        EXPECT_FALSE(motion(p, 1).HasResults);
    }
}

TEST_F(Run, InputErrorNamesTheRejectedRecord) {
    model::Node& p = smallProject(tree, 1, 2);
    control("");
    staged("kq4.err", "-3\n");
    staged("remote$.lst",
           " Fehlerhafter Datensatz:  3\n 1 0 0 0 0 0 0 0 3\n    90.000\nEingabefehler \n");
    EXPECT_EQ(runToEnd(calc, p), -3);
    ASSERT_EQ(calc.messages().size(), 1u);
    const std::string& text = calc.messages()[0].text;
    EXPECT_EQ(text.rfind(kTextInput, 0), 0u);
    EXPECT_NE(text.find("\r Fehlerhafter Datensatz:  3\r 1 0 0 0 0 0 0 0 3"), std::string::npos);
    // Record 3 is the restriction of motion specification 1 (project 1, motion specification 2).
    const std::string caption = model::findAbs(p, 1)->children[0]->obj().Caption;
    EXPECT_NE(text.find("(" + caption + ")"), std::string::npos) << text;
}

// Regression: the run matched the module's record numbers against IPar[9], which a save during
// the run overwrote with the restriction count of each motion specification; the rejected
// record was then named after no object, or the wrong one.
TEST_F(Run, SaveDuringTheRunKeepsTheRejectedRecordsObject) {
    model::Node& p = smallProject(tree, 1, 2);
    control("sleep 500\n");
    staged("kq4.err", "-3\n");
    staged("remote$.lst", " Fehlerhafter Datensatz:  2\n 0 1 2 0 0 0 0 0 2\nEingabefehler \n");
    const std::string file = (dir() / "saved.k4p").string();
    bool saved = false;
    QObject::connect(&calc, &Calculation::runStarted, &calc, [&] {
        QTimer::singleShot(100, &calc, [&] { saved = !model::saveProjectFile(p, file); });
    });
    EXPECT_EQ(runToEnd(calc, p), -3);
    ASSERT_TRUE(saved);
    const std::string& text = calc.messages().at(0).text;
    EXPECT_NE(text.find("(Bewegungsvorgabe (abs) 1)"), std::string::npos) << text;
}

// An observer sees every change of a project through editing, calculating, saving, reading
// and closing, and nothing of an untouched project.
TEST_F(Run, ObserversHearOfEveryChangeAndOnlyOfIt) {
    using model::ChangeFlags;
    model::Node& untouched = smallProject(tree, 2, 2);
    model::Node& p = smallProject(tree, 2, 3);
    std::vector<const model::Node*> others, mine;
    model::forEachNode(untouched, [&](model::Node& n) { others.push_back(&n); });
    model::forEachNode(p, [&](model::Node& n) { mine.push_back(&n); });
    model::test::ChangeRecorder rec;
    tree.addObserver(rec);

    model::Node& r1 = *model::findAbs(p, 1)->children[0];
    model::editObject(r1, [](model::TNLMember& o) { o.RPar[8] = 0.5; });
    EXPECT_TRUE(rec.has(r1, ChangeFlags::Values | ChangeFlags::Caption));
    EXPECT_TRUE(rec.has(p, ChangeFlags::Values));

    control("");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 3, 0.0));
    staged("remote$.fk2", fk(2, 3, 0.25));
    ASSERT_EQ(runToEnd(calc, p), 0);
    for (const model::Node* n : mine)
        EXPECT_TRUE(rec.has(*n, ChangeFlags::Results)) << n->obj().Caption;
    EXPECT_TRUE(rec.has(p, ChangeFlags::Values));

    rec.clear();
    const std::string file = (dir() / "p.k4p").string();
    ASSERT_FALSE(model::saveProjectAs(p, file));
    EXPECT_TRUE(rec.has(p, ChangeFlags::Values | ChangeFlags::Caption));
    EXPECT_EQ(rec.changed.size(), 1u);

    rec.clear();
    auto opened = model::openProject(tree, file);
    ASSERT_TRUE(std::holds_alternative<model::Node*>(opened));
    model::Node& again = *std::get<model::Node*>(opened);
    EXPECT_TRUE(rec.has(again, ChangeFlags::Structure));
    EXPECT_TRUE(model::projectObj(again).AllCurrent); // its flags say current

    rec.clear();
    tree.deleteNode(p);
    EXPECT_EQ(std::set<const model::Node*>(rec.removed.begin(), rec.removed.end()),
              std::set<const model::Node*>(mine.begin(), mine.end()));
    EXPECT_EQ(rec.removed.size(), mine.size());
    EXPECT_EQ(rec.faults, 0);
    for (const model::Node* n : others) EXPECT_EQ(rec.changed.count(n), 0u);
    tree.removeObserver(rec);
}

TEST_F(Run, ExitStatusNotInTheTableIsUnknownAndStatusFileUnread) {
    model::Node& p = smallProject(tree, 1, 2);
    control("exit 3\n");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 2, 0.0));
    EXPECT_EQ(runToEnd(calc, p), 3);
    ASSERT_EQ(calc.messages().size(), 1u);
    EXPECT_EQ(calc.messages()[0].text, "Unbekannter Fehler: 3");
    EXPECT_TRUE(exists("kq4.err")); // not read, so not deleted
    EXPECT_FALSE(proj(p).ResultsStored);
}

TEST_F(Run, NegativeExitStatusKeepsItsSign) {
    model::Node& p = smallProject(tree, 1, 2);
    control("exit 251\n"); // what exit(-5) leaves
    EXPECT_EQ(runToEnd(calc, p), -5);
}

TEST_F(Run, MissingStatusFileIsNoAnswer) {
    model::Node& p = smallProject(tree, 1, 2);
    control("");
    staged("remote$.fk1", fk(1, 2, 0.0));
    EXPECT_EQ(runToEnd(calc, p), -30);
    EXPECT_EQ(calc.messages().at(0), *codeMessage(-30));
    EXPECT_FALSE(proj(p).ResultsStored);
}

TEST_F(Run, StatusFileWithoutIntegerIsNoAnswerAndDeleted) {
    model::Node& p = smallProject(tree, 1, 2);
    control("");
    staged("kq4.err", "zero\n");
    EXPECT_EQ(runToEnd(calc, p), -30);
    EXPECT_FALSE(exists("kq4.err"));
}

TEST_F(Run, CrashedModuleIsNoAnswerEvenWithFiles) {
    model::Node& p = smallProject(tree, 1, 2);
    control("crash\n");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 2, 0.0));
    EXPECT_EQ(runToEnd(calc, p), -30);
    EXPECT_EQ(calc.messages().at(0).text, "Der Berechnungsmodul liefert keine Rückmeldung");
    EXPECT_FALSE(proj(p).ResultsStored);
    EXPECT_FALSE(motion(p, 1).HasResults);
}

TEST_F(Run, ModuleMissingOrNotStartable) {
    model::Node& p = smallProject(tree, 1, 2);
    calc.settings.modulePath = QString::fromStdString((dir() / "no-such-module").string());
    EXPECT_EQ(runToEnd(calc, p), -10);
    EXPECT_EQ(calc.messages().at(0), *codeMessage(-10));
    // A file that is executable but no program.
    test::writeFile(dir() / "broken", "\x7f"
                                      "ELF garbage");
    std::filesystem::permissions(dir() / "broken", std::filesystem::perms::owner_all);
    calc.settings.modulePath = QString::fromStdString((dir() / "broken").string());
    EXPECT_EQ(runToEnd(calc, p), -10);
    EXPECT_FALSE(calc.running());
    // The lock is free again.
    CalcLock lock(lockDir(), calc.workDir());
    EXPECT_TRUE(lock.tryLock());
}

TEST_F(Run, ShortCoefficientFileGivesNoResultsAndKeepsTheSeries) {
    model::Node& p = smallProject(tree, 2, 3);
    auto& h2 = motion(p, 2);
    h2.sSC.ReSize(8);
    h2.sSC.set(3, 42.0);
    const model::TVector before = h2.sSC;
    control("");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 3, 0.0));
    staged("remote$.fk2", " 1 0\n 2 3\n 4\n");
    EXPECT_EQ(runToEnd(calc, p), 0);
    ASSERT_EQ(calc.messages().size(), 1u);
    EXPECT_EQ(calc.messages()[0], (model::Message{"Die Berechnung liefert keine Ergebnisse",
                                                  model::MessageKind::Error}));
    EXPECT_EQ(h2.sSC, before);
    EXPECT_FALSE(proj(p).ResultsStored);
    EXPECT_FALSE(motion(p, 1).HasResults);
}

TEST_F(Run, ResonanceKeepsSAndReportsTheDerivation) {
    model::Node& p = smallProject(tree, 1, 3);
    motion(p, 1).RPar[3] = 0.0; // no damping
    control("");
    staged("kq4.err", " 0\n");
    staged("remote$.fk1", fk(1, 3, 0.5)); // harmonic 2 meets 1
    EXPECT_EQ(runToEnd(calc, p), 0);
    ASSERT_EQ(calc.messages().size(), 1u);
    EXPECT_EQ(calc.messages()[0].text,
              "Fehler bei der Berechnung der Fourierkoeffizienten\rder resultierenden Bewegung!");
    auto& h = motion(p, 1);
    EXPECT_EQ(h.sSC.at(0), 0.5);
    EXPECT_EQ(h.sSC.at(1), 2.0);
    EXPECT_EQ(h.qSC, h.sSC);
    EXPECT_TRUE(proj(p).ResultsStored);
}

TEST_F(Run, FilesOfAnEarlierRunAreGoneBeforeTheModuleStarts) {
    model::Node& p = smallProject(tree, 1, 1);
    for (const char* f : {"remote$.kq5", "remote$.kqe", "kq4.err", "remote$.lst"})
        test::writeFile(work() / f, "old\n");
    for (int n = 1; n <= 10; ++n)
        test::writeFile(work() / ("remote$.fk" + std::to_string(n)), "1 0\n");
    control("");
    runToEnd(calc, p);
    EXPECT_EQ(readFile(work() / "seen.txt"), "");
    EXPECT_EQ(calc.code(), -30);
}

TEST_F(Run, VariedRecordsOrOwnParameters) {
    model::Node& p = smallProject(tree, 2, 1);
    auto* r = model::findAbs(p, 2)->children[0]->as<model::TRestr>();
    r->IPar[8] = 1;
    auto* rel = model::findRel(p, 1, 2)->children[0]->as<model::TRestr>();
    rel->GlobalPar.fill(9.0);
    control("");
    staged("kq4.err", "0\n");
    staged("remote$.fk1", fk(1, 1, 0.0));
    staged("remote$.fk2", fk(2, 1, 0.0));
    // Record numbers: project 1, motion 1 and its restriction 2 and 3, motion 2 and its
    // restriction 4 and 5, relative restriction 6.
    staged("remote$.kqe", "1 2 0 0 0 0 0 0 1\n 1 2 3 4 5 6 7 8 9 10 11 12\n"
                          "2 1 0 0 0 0 0 1 5\n 0 91.5 0 0 0 -1 0 1 0 0 0 0\n");
    ASSERT_EQ(runToEnd(calc, p), 0);
    EXPECT_EQ(r->GlobalPar[2], 91.5);
    EXPECT_EQ(rel->GlobalPar, rel->RPar); // reset by writing the input
    // Without the file every restriction falls back to its own parameters.
    r->GlobalPar.fill(7.0);
    std::filesystem::remove(stage() / "remote$.kqe");
    ASSERT_EQ(runToEnd(calc, p), 0);
    EXPECT_EQ(r->GlobalPar, r->RPar);
}

TEST_F(Run, StopEndsTheModule) {
    model::Node& p = smallProject(tree, 1, 1);
    control("sleep 20000\n");
    staged("kq4.err", "0\n");
    // Stopped once the module runs (it has written its pid), however slowly it started.
    QObject::connect(&calc, &Calculation::listingLine, &calc, [&](const QString& line) {
        if (line == "fake module running") QTimer::singleShot(0, &calc, [&] { calc.stop(); });
    });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(runToEnd(calc, p), -100);
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_TRUE(calc.messages().empty()); // the user's own abort is not reported
    EXPECT_FALSE(proj(p).ResultsStored);
    EXPECT_FALSE(calc.running());
    const pid_t pid = std::stoi(readFile(work() / "pid.txt"));
    errno = 0;
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(Run, ListingLinesArriveWhileTheModuleRuns) {
    model::Node& p = smallProject(tree, 1, 1);
    control("sleep 300\n");
    staged("remote$.lst",
           " 1-te Optimierungsstufe: beta= 0.5\n Konstante Forderungen erfuellbar\n");
    QStringList lines;
    QObject::connect(&calc, &Calculation::listingLine, [&](const QString& l) { lines << l; });
    runToEnd(calc, p);
    EXPECT_TRUE(lines.contains(" 1-te Optimierungsstufe: beta= 0.5"));
    EXPECT_TRUE(lines.contains(" Konstante Forderungen erfuellbar"));
}

TEST_F(Run, PriorityOfTheModule) {
    model::Node& p = smallProject(tree, 1, 1);
    control("");
    errno = 0;
    const int own = getpriority(PRIO_PROCESS, 0);
    calc.settings.priority = Priority::Low;
    runToEnd(calc, p);
    EXPECT_EQ(readFile(work() / "nice.txt"), "19");
    calc.settings.priority = Priority::Normal;
    runToEnd(calc, p);
    EXPECT_EQ(readFile(work() / "nice.txt"), std::to_string(own));
    calc.settings.priority = Priority::High;
    runToEnd(calc, p);
    const int high = std::stoi(readFile(work() / "nice.txt"));
    EXPECT_LE(high, own);
    if (geteuid() == 0) {
        EXPECT_EQ(high, -20);
    }
}

TEST_F(Run, InconsistentProjectIsRefused) {
    model::Node& p = tree.newProject(); // no children
    EXPECT_FALSE(calc.calculationPossible(p));
    EXPECT_EQ(runToEnd(calc, p), kCodeInconsistent);
    ASSERT_EQ(calc.messages().size(), 1u);
    EXPECT_EQ(calc.messages()[0].text,
              "Das aktuelle Projekt enthält Inkonsistenzen\rund konnte nicht berechnet werden.");
    EXPECT_FALSE(exists("remote$.kq4"));
    calc.BatchMode = true;
    calc.BatchResult = 0;
    runToEnd(calc, p);
    EXPECT_EQ(calc.BatchResult, 1);
    EXPECT_TRUE(calc.messages().empty());
}

TEST_F(Run, TestModeTouchesNoFile) {
    model::Node& p = smallProject(tree, 2, 2);
    for (int n = 1; n <= 2; ++n) {
        auto& h = motion(p, n);
        h.sSC.ReSize(6);
        for (int i = 1; i < 6; ++i) h.sSC.set(i, 0.1 * i * n);
        h.TestEta = 0.2;
        h.TestTheta = 0.05;
    }
    auto* r = model::findAbs(p, 1)->children[0]->as<model::TRestr>();
    r->ActualS[3] = 123.0;
    auto* rr = model::findRel(p, 1, 2)->children[0]->as<model::TRestr>();
    rr->ActualS[4] = 321.0;
    proj(p).TestMode = true;
    QSignalSpy started(&calc, &Calculation::runStarted);
    EXPECT_EQ(runToEnd(calc, p), 0);
    EXPECT_EQ(started.count(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(work()));
    EXPECT_EQ(r->ActualS[3], 123.0);
    EXPECT_EQ(rr->ActualS[4], 321.0);
    // q from the trial values: harmonic 1 with r = 0.2, theta = 0.05.
    auto& h1 = motion(p, 1);
    const double rr1 = 0.2, th = 0.05;
    const double D = (1 - rr1 * rr1) * (1 - rr1 * rr1) + 4 * th * th * rr1 * rr1;
    const double w = (1 - rr1 * rr1 + 4 * th * th * rr1 * rr1) / D,
                 e = 2 * th * rr1 * rr1 * rr1 / D;
    EXPECT_NEAR(h1.qSC.at(2), w * h1.sSC.at(2) + e * h1.sSC.at(3), 1e-15);
    EXPECT_EQ(h1.mSC.Count(), 10);
    EXPECT_TRUE(proj(p).ResultsStored);
    EXPECT_TRUE(model::findRel(p, 1, 2)->as<model::TRelHeader>()->HasResults);
}

TEST_F(Run, WorkingDirectoryFallsBackToTheUsersOwn) {
    model::Node& p = smallProject(tree, 1, 1);
    // The user's data directory of this process alone: the same test runs in parallel under
    // the other locale, and the directory follows the application name.
    const QString oldName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(oldName + "-" + QString::number(::getpid()));
    const QString own =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/calc";
    QDir(own).removeRecursively();
    calc.settings.workDir = "/dev/null/calc";
    QStringList status;
    QObject::connect(&calc, &Calculation::statusText, [&](const QString& s) { status << s; });
    runToEnd(calc, p);
    EXPECT_EQ(calc.workDir(), own);
    EXPECT_TRUE(QFile::exists(own + "/remote$.kq4"));
    EXPECT_TRUE(QFile::exists(own + "/args.txt")); // the module ran there
    ASSERT_FALSE(status.isEmpty());
    EXPECT_TRUE(status[0].contains("nicht beschreibbar")) << status[0].toStdString();
    EXPECT_TRUE(status[0].contains(own));
    QDir(QFileInfo(own).path()).removeRecursively();
    QCoreApplication::setApplicationName(oldName);
}

class Lock : public test::InScratchDir {
protected:
    // A second process that holds the lock until it is killed.
    QString workDir() const { return QString::fromStdString(work().string()); }
    // A second process that holds the lock of the working folder until it is killed.
    void holdInOtherProcess(QProcess& holder) {
        holder.start(QString::fromStdString(test::kFakeModule),
                     {"--hold-lock", lockDir(), workDir()});
        ASSERT_TRUE(holder.waitForStarted(5000));
        ASSERT_TRUE(holder.waitForReadyRead(5000));
        ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "locked");
    }
};

TEST_F(Lock, HeldByAnotherProcessRefusesTheRun) {
    QProcess holder;
    holdInOtherProcess(holder);
    Calculation calc;
    configure(calc);
    model::ProjectTree tree;
    model::Node& p = smallProject(tree, 1, 1);
    control("");
    EXPECT_EQ(runToEnd(calc, p), -20);
    EXPECT_EQ(calc.messages().at(0), *codeMessage(-20));
    EXPECT_FALSE(std::filesystem::exists(work() / "args.txt"));    // the module did not run
    EXPECT_FALSE(std::filesystem::exists(work() / "remote$.kq4")); // nor was its input touched
    EXPECT_FALSE(model::projectObj(p).ResultsStored);
    // Once the holder has gone (killed, leaving its lock file), the lock is taken over.
    holder.kill();
    holder.waitForFinished(5000);
    EXPECT_TRUE(QFile::exists(CalcLock(lockDir(), workDir()).path()));
    staged("kq4.err", "-2\n");
    EXPECT_EQ(runToEnd(calc, p), -2);
}

TEST_F(Lock, OneHolderPerFolderAndReleasedAfterTheRun) {
    // The same folder by another path is the same lock; another folder has its own.
    std::filesystem::create_symlink(work(), dir() / "link");
    CalcLock a(lockDir(), workDir()),
        b(lockDir(), QString::fromStdString((dir() / "link").string()));
    CalcLock elsewhere(lockDir(), QString::fromStdString(stage().string()));
    ASSERT_TRUE(a.tryLock());
    EXPECT_FALSE(b.tryLock());
    EXPECT_TRUE(elsewhere.tryLock());
    QProcess other;
    other.start(QString::fromStdString(test::kFakeModule),
                {"--hold-lock", lockDir(), workDir() + "/."});
    ASSERT_TRUE(other.waitForFinished(5000));
    EXPECT_EQ(other.readAllStandardOutput().trimmed(), "busy");
    a.unlock();
    EXPECT_TRUE(b.tryLock());
}

TEST_F(Lock, NotStaleWhileTheHolderRunsHoweverOld) {
    QProcess holder;
    holdInOtherProcess(holder);
    // Make the lock file look old.
    QFile f(CalcLock(lockDir(), workDir()).path());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addDays(-2),
                              QFileDevice::FileModificationTime));
    f.close();
    CalcLock mine(lockDir(), workDir());
    EXPECT_FALSE(mine.tryLock());
    holder.kill();
    holder.waitForFinished(5000);
    EXPECT_TRUE(mine.tryLock());
}

// tervana-cli calc as a parameter study starts it: one process per project and folder.
TEST_F(Lock, CliRunsInTwoFoldersGoSideBySideAndTwoInOneAreRefused) {
    model::ProjectTree tree;
    model::Node& p = smallProject(tree, 1, 1);
    const std::string file = (dir() / "p.k4p").string();
    ASSERT_FALSE(model::saveProjectFile(p, file).has_value());
    staged("kq4.err", "0\n");
    staged("remote$.fk1", " 1 0\n 0.5 0.25\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", lockDir()); // the lock files of this test alone
    auto cli = [&](QProcess& proc, const std::string& folder, const std::string& out) {
        proc.setProcessEnvironment(env);
        proc.start(TERVANA_BINARY_DIR "/bin/tervana-cli",
                   {"calc", QString::fromStdString(file), "--workdir",
                    QString::fromStdString((dir() / folder).string()), "--module",
                    QString::fromStdString(test::kFakeModule), "-o",
                    QString::fromStdString((dir() / out).string())});
    };
    auto solved = [&](const std::string& out) {
        model::ProjectTree t;
        auto r = model::openProject(t, (dir() / out).string());
        return std::holds_alternative<model::Node*>(r) &&
               model::projectObj(*std::get<model::Node*>(r)).ResultsStored;
    };
    // Each module waits until the other one has started: both end only when they run at once.
    for (const char* f : {"a", "b"}) {
        std::filesystem::create_directories(dir() / f);
        test::writeFile(dir() / f / "fake.ctl", "stage " + stage().string() + "\nawait " +
                                                    (dir() / (f[0] == 'a' ? "b" : "a")).string() +
                                                    "/pid.txt\n");
    }
    QProcess a, b;
    cli(a, "a", "a.k4p");
    cli(b, "b", "b.k4p");
    ASSERT_TRUE(a.waitForFinished(30000) && b.waitForFinished(30000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAll().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAll().toStdString();
    EXPECT_TRUE(solved("a.k4p") && solved("b.k4p"));

    // In one folder the second is refused while the first runs, and the first goes on.
    test::writeFile(dir() / "a" / "fake.ctl",
                    "stage " + stage().string() + "\nawait " + (dir() / "go").string() + "\n");
    std::filesystem::remove(dir() / "a" / "pid.txt");
    QProcess first, second;
    cli(first, "a", "first.k4p");
    for (int i = 0; i < 1000 && !std::filesystem::exists(dir() / "a" / "pid.txt"); ++i)
        QThread::msleep(10);
    cli(second, "a", "second.k4p");
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_NE(second.readAllStandardOutput().indexOf("Es läuft bereits eine HS-Berechnung."), -1);
    test::writeFile(dir() / "go", "");
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(solved("first.k4p"));
    EXPECT_FALSE(std::filesystem::exists(dir() / "second.k4p"));
}

} // namespace
} // namespace calcctl
