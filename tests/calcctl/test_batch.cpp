// "&alle Berechnen" against the fake module: counts, stop, summary.
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "calcctl/batch.h"
#include "calcctl/result_code.h"
#include "tests/calcctl/calcctl_test_support.h"

namespace calcctl {
namespace {

using test::smallProject;

class Batch : public test::InScratchDir {
protected:
    void SetUp() override {
        InScratchDir::SetUp();
        configure(calc);
    }
    // Runs the batch to its end (at most 20 s).
    void runBatch(BatchCalculation& b) {
        QEventLoop loop;
        bool done = false;
        QObject::connect(&b, &BatchCalculation::finished, &loop, [&] {
            done = true;
            loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        b.start();
        loop.exec();
        ASSERT_TRUE(done);
        EXPECT_FALSE(calc.BatchMode);
        EXPECT_FALSE(b.running());
    }
    void stageResults() {
        staged("kq4.err", " 0\n");
        staged("remote$.fk1", " 1 0\n 0.5 0.25\n 0 0\n 0 0\n 1 0\n");
        staged("remote$.fk2", " 2 0\n 0.5 0.25\n 0 0\n 0 0\n 1 0\n");
    }
    Calculation calc;
    model::ProjectTree tree;
};

TEST_F(Batch, NoProjectSolvesNothingInNoTime) {
    BatchCalculation b(calc, tree);
    runBatch(b);
    EXPECT_EQ(b.summary().text, "Die Berechnung ist abgeschlossen.\rFür 0 von 0 Projekte(n) wurden "
                                "Lösungen gefunden.\rRechenzeit: 0 sec");
    EXPECT_EQ(b.summary().kind, model::MessageKind::Information);
}

TEST_F(Batch, CountsSolvedProjectsWithoutMessages) {
    smallProject(tree, 1, 1);
    tree.newProject(); // empty: inconsistent, not solved
    smallProject(tree, 2, 1);
    control("");
    stageResults();
    BatchCalculation b(calc, tree);
    runBatch(b);
    EXPECT_EQ(b.solved(), 2);
    EXPECT_EQ(b.processed(), 3);
    EXPECT_NE(b.summary().text.find("Für 2 von 3 Projekte(n)"), std::string::npos);
    EXPECT_TRUE(calc.messages().empty());
    EXPECT_TRUE(model::projectObj(*tree.roots[0]).ResultsStored);
    EXPECT_TRUE(model::projectObj(*tree.roots[2]).ResultsStored);
}

TEST_F(Batch, MaximumRequirementsMetCountsAsSolved) {
    smallProject(tree, 1, 1);
    control("");
    stageResults();
    staged("kq4.err", "1\n");
    BatchCalculation b(calc, tree);
    runBatch(b);
    EXPECT_EQ(b.solved(), 1);
    EXPECT_EQ(b.processed(), 1);
    EXPECT_EQ(calc.BatchResult, 0);
    EXPECT_TRUE(calc.messages().empty());
    EXPECT_TRUE(model::projectObj(*tree.roots[0]).ResultsStored);
    // Without its coefficient file the same code is no solution.
    std::filesystem::remove(stage() / "remote$.fk1");
    runBatch(b);
    EXPECT_EQ(b.solved(), 0);
    EXPECT_EQ(calc.BatchResult, 1);
}

TEST_F(Batch, FailedDerivationAndMissingResultsAreNotSolved) {
    model::Node& p = smallProject(tree, 1, 1);
    model::findAbs(p, 1)->obj().RPar[3] = 0.0;
    control("");
    staged("kq4.err", "0\n");
    staged("remote$.fk1", " 1 1\n 0.5 0.25\n"); // eta 1, no damping: resonance
    BatchCalculation b(calc, tree);
    runBatch(b);
    EXPECT_EQ(b.solved(), 0);
    std::filesystem::remove(stage() / "remote$.fk1");
    runBatch(b);
    EXPECT_EQ(b.solved(), 0);
    EXPECT_EQ(calc.BatchResult, 1);
    EXPECT_TRUE(calc.messages().empty());
}

TEST_F(Batch, StopDuringTheSecondOfThreeEndsTheBatch) {
    for (int i = 0; i < 3; ++i) smallProject(tree, 1, 1);
    control("sleep-on-run 2 20000\n");
    stageResults();
    BatchCalculation b(calc, tree);
    int starts = 0;
    QObject::connect(&calc, &Calculation::runStarted, &b, [&] {
        if (++starts == 2) QTimer::singleShot(200, &b, [&] { b.stop(); });
    });
    runBatch(b);
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(b.processed(), 2);
    EXPECT_EQ(b.summary(), (model::Message{kTextUserAbort, model::MessageKind::Warning}));
    EXPECT_TRUE(model::projectObj(*tree.roots[0]).ResultsStored);
    EXPECT_FALSE(model::projectObj(*tree.roots[1]).ResultsStored);
    EXPECT_FALSE(model::projectObj(*tree.roots[2]).Calculated);
}

TEST_F(Batch, LockHeldElsewhereEndsTheBatch) {
    smallProject(tree, 1, 1);
    smallProject(tree, 1, 1);
    CalcLock other(lockDir(), QString::fromStdString(work().string()));
    ASSERT_TRUE(other.tryLock());
    BatchCalculation b(calc, tree);
    runBatch(b);
    EXPECT_EQ(b.processed(), 1);
    EXPECT_EQ(b.summary(), *codeMessage(kCodeLocked));
}

TEST_F(Batch, ElapsedSecondsAreSignalled) {
    smallProject(tree, 1, 1);
    control("sleep 1300\n");
    stageResults();
    BatchCalculation b(calc, tree);
    QSignalSpy ticks(&b, &BatchCalculation::elapsed);
    runBatch(b);
    EXPECT_GE(ticks.count(), 1);
    // At least the module's 1.3 s; a loaded machine may take a second more.
    EXPECT_GE(b.seconds(), 1);
    EXPECT_LE(b.seconds(), 3);
    EXPECT_NE(b.summary().text.find("Rechenzeit: " + std::to_string(b.seconds()) + " sec"),
              std::string::npos);
}

} // namespace
} // namespace calcctl
