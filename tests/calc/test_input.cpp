// The calculation input: file names, reading records, run parameters, validation, layout.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "calc/msfnme.h"
#include "calc/msinp.h"
#include "calc/msread.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

TEST(FileNames, ExtensionReplacedFromTheFirstDotOfTheLastComponent) {
    EXPECT_EQ(MSFNME("C:\\proj\\remote$.kq4", "lst"), "C:\\proj\\remote$.lst");
    EXPECT_EQ(MSFNME("remote$.kq4", "fk1"), "remote$.fk1");
    EXPECT_EQ(MSFNME("a.b.kq4", "lst"), "a.lst");
    EXPECT_EQ(MSFNME("noext", "lst"), "noext.lst");
    EXPECT_EQ(MSFNME("noext      ", "err"), "noext.err"); // blank padding is not part of it
    EXPECT_EQ(MSFNME("\"remote$.kq4\"", "err"), "remote$.err");
    EXPECT_EQ(MSFNME("\"my dir\\a\".kq4", "err"), "my dir\\a.err");
    EXPECT_EQ(MSFNME("remote$.kq4", "fk10"), "remote$.fk10");
}

TEST(FileNames, SlashSeparatesPathComponentsToo) {
    // Directories with dots and relative names must not lose their path.
    EXPECT_EQ(MSFNME("/home/user/proj.v2/remote$.kq4", "lst"), "/home/user/proj.v2/remote$.lst");
    EXPECT_EQ(MSFNME("./remote$.kq4", "err"), "./remote$.err");
    EXPECT_EQ(MSFNME("../a.b/c", "kq4"), "../a.b/c.kq4");
    // Blanks inside a name are kept (a blank-padded name only ends with blanks).
    EXPECT_EQ(MSFNME("my project.kq4", "lst"), "my project.lst");
}

class ReadRecords : public InScratchDir {};

TEST_F(ReadRecords, ProjectFileTextLinesAreSkipped) {
    Records rs = simpleProject();
    writeFile("p.k4p", "Tervana Projekt\r\nName: Nocke 1, Version 2\r\n" + recordText(rs, "\r\n") +
                           "Ende\r\n");
    Records got;
    ASSERT_EQ(MSREAD("p.k4p", got), ReadResult::Read);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].IPar, rs[0].IPar);
    EXPECT_EQ(got[1].IPar, rs[1].IPar);
    EXPECT_EQ(got[1].RPar[6], 1.0);
}

TEST_F(ReadRecords, NegativeRecordDroppedAndIncompleteLastRecordDropped) {
    Records rs = simpleProject();
    Records withSkipped{rs[0], makeRecord({-1, 5, 5}, {9, 9, 9}), rs[1]};
    writeFile("a.kq4", recordText(withSkipped) + "   1   0   0   0   0   0   0   0   3\n");
    Records got;
    ASSERT_EQ(MSREAD("a.kq4", got), ReadResult::Read);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].IPar, rs[1].IPar);
}

TEST_F(ReadRecords, AtMost139Records) {
    Records rs(139, makeRecord({1, 0, 0}));
    writeFile("r139.kq4", recordText(rs));
    Records got;
    ASSERT_EQ(MSREAD("r139.kq4", got), ReadResult::Read);
    EXPECT_EQ(got.size(), 139u);
    // 139 records and the integer line of a 140th: the incomplete one is dropped.
    writeFile("r139b.kq4", recordText(rs) + "1 2 3 4 5 6 7 8 9\n");
    ASSERT_EQ(MSREAD("r139b.kq4", got), ReadResult::Read);
    EXPECT_EQ(got.size(), 139u);
    rs.push_back(rs.back());
    writeFile("r140.kq4", recordText(rs));
    EXPECT_EQ(MSREAD("r140.kq4", got), ReadResult::NotReadable);
    Records many(10000, makeRecord({1, 0, 0}));
    writeFile("r10000.kq4", recordText(many));
    EXPECT_EQ(MSREAD("r10000.kq4", got), ReadResult::NotReadable);
    EXPECT_TRUE(got.empty());
}

TEST_F(ReadRecords, MissingFilesAndDirectoriesAreNotReadable) {
    Records got;
    EXPECT_EQ(MSREAD("nothing.kq4", got), ReadResult::NotReadable);
    std::filesystem::create_directory("dir.kq4");
    EXPECT_EQ(MSREAD("dir.kq4", got), ReadResult::NotReadable);
    writeFile("empty.kq4", "");
    EXPECT_EQ(MSREAD("empty.kq4", got), ReadResult::Read);
    EXPECT_TRUE(got.empty());
}

TEST_F(ReadRecords, RecordsContinueOverLinesAndCommas) {
    writeFile("c.kq4", "0,0,1\n0 0 0\n0 0 1\n0.5,0.25\n\n1 2 3 4 5 6 7 8 9 10 11 12 13\n");
    Records got;
    ASSERT_EQ(MSREAD("c.kq4", got), ReadResult::Read);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].IPar[3], 1);
    EXPECT_EQ(got[0].IPar[9], 1);
    EXPECT_EQ(got[0].RPar[1], 0.5);
    EXPECT_EQ(got[0].RPar[3], 1.0);
    EXPECT_EQ(got[0].RPar[12], 10.0);
}

// --- run parameters of the start record ---

TEST(StartRecord, TrialsExponentAndBeep) {
    RunParameters p;
    applyStartRecord(makeRecord({0, 0, 1, 0, 102}), p);
    EXPECT_EQ(p.weightExponent, 2);
    EXPECT_EQ(p.trials, 20);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 0, 0}), p);
    EXPECT_EQ(p.trials, 0);
    EXPECT_EQ(p.weightExponent, 0);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 0, 99}), p);
    EXPECT_EQ(p.trials, 20);
    EXPECT_EQ(p.weightExponent, 0);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 0, 105}), p);
    EXPECT_EQ(p.trials, 105);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 0, -3}), p);
    EXPECT_EQ(p.trials, -3);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 39, 0}), p);
    EXPECT_FALSE(p.beep);
    EXPECT_EQ(p.passes, 8);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 12, 0}), p);
    EXPECT_TRUE(p.beep);
    EXPECT_EQ(p.passes, 12);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, -4, 0}), p);
    EXPECT_EQ(p.passes, 8);
}

TEST(StartRecord, BisectionStepsBetaMaximumStepWidth) {
    for (int steps : {51, 1, 0, -2}) {
        RunParameters p;
        applyStartRecord(makeRecord({0, 0, 1, 0, 0, steps}), p);
        EXPECT_EQ(p.bisectionSteps, 10) << steps;
    }
    for (int steps : {2, 50, 17}) {
        RunParameters p;
        applyStartRecord(makeRecord({0, 0, 1, 0, 0, steps}), p);
        EXPECT_EQ(p.bisectionSteps, steps);
    }
    for (double b : {1.0, 0.0, -0.5, 1.5}) {
        RunParameters p;
        applyStartRecord(makeRecord({0, 0, 1}, {0.0, b}), p);
        EXPECT_EQ(p.betaMax, 1.0) << b;
    }
    RunParameters p;
    applyStartRecord(makeRecord({0, 0, 1, 0, 0, 0, 0, 3}, {0.1, 0.5}), p);
    EXPECT_EQ(p.betaMax, 0.5);
    EXPECT_EQ(p.stepWidth, 0.1);
    EXPECT_EQ(p.randomVariables, 3);
    p = {};
    applyStartRecord(makeRecord({0, 0, 1, 0, 0, 0, 0, -1}, {-1.0}), p);
    EXPECT_EQ(p.stepWidth, 0.25);
    EXPECT_EQ(p.randomVariables, 0);
}

// --- the whole input of a run ---

class RunInputTest : public InScratchDir {
protected:
    ResultCode run(const Records& rs, const std::string& name = "remote$.kq4") {
        writeFile(name, recordText(rs));
        std::ostringstream out;
        OutputStream listing(out);
        ResultCode c = MSINP(name, listing, input);
        listingText = out.str();
        return c;
    }
    RunInput input;
    std::string listingText;
};

TEST_F(RunInputTest, CandidateExtensionsInOrderAndGivenExtensionIgnored) {
    Records one = simpleProject(1, 2), two = simpleProject(2, 4);
    writeFile("remote$.kq4", recordText(one));
    writeFile("remote$.kq5", recordText(two));
    std::ostringstream out;
    OutputStream listing(out);
    ASSERT_EQ(MSINP("remote$.kq4", listing, input), ResultCode::Normal);
    EXPECT_EQ(input.fileName, "remote$.kq5");
    EXPECT_EQ(input.params.objects, 2);
    // Any given extension: the candidates are tried all the same.
    ASSERT_EQ(MSINP("remote$.txt", listing, input), ResultCode::Normal);
    EXPECT_EQ(input.fileName, "remote$.kq5");
    std::filesystem::remove("remote$.kq5");
    ASSERT_EQ(MSINP("remote$", listing, input), ResultCode::Normal);
    EXPECT_EQ(input.fileName, "remote$.kq4");
    writeFile("remote$.msp", recordText(two));
    ASSERT_EQ(MSINP("remote$", listing, input), ResultCode::Normal);
    EXPECT_EQ(input.fileName, "remote$.msp");
    // A candidate with too many records is passed over for the next one.
    writeFile("remote$.msp", recordText(Records(140, makeRecord({1, 0, 0}))));
    ASSERT_EQ(MSINP("remote$", listing, input), ResultCode::Normal);
    EXPECT_EQ(input.fileName, "remote$.kq4");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(RunInputTest, NoFileAndNoStartRecord) {
    std::ostringstream out;
    OutputStream listing(out);
    EXPECT_EQ(MSINP("missing.kq4", listing, input), ResultCode::InputError);
    EXPECT_EQ(out.str(), "Eingabefehler \n");
    Records rs = simpleProject();
    rs.erase(rs.begin());
    EXPECT_EQ(run(rs), ResultCode::InputError);
    EXPECT_EQ(listingText, "Kein Startdatensatz gefunden \nEingabefehler \n");
}

TEST_F(RunInputTest, LayoutAndObjectValues) {
    Records rs{makeRecord({0, 0, 3})};
    rs.push_back(makeRecord({0, 2, 5, 0, 0, 1}, {0, 0, 0, 0, 0, 400.0}));
    rs.push_back(makeRecord({0, 1, 3, 0, 0, 2}, {0, 0, 0, 0, 0, 0.0}));
    rs.push_back(makeRecord({0, 3, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0.7}));
    ASSERT_EQ(run(rs), ResultCode::Normal) << listingText;
    ASSERT_EQ(input.objects.size(), 3u);
    EXPECT_EQ(input.object(1).nh, 3);
    EXPECT_EQ(input.object(1).np, 2);
    EXPECT_EQ(input.object(1).tableStep, 1.0);
    EXPECT_EQ(input.object(2).tableStep, 1.0);
    EXPECT_EQ(input.object(3).tableStep, 0.7);
    EXPECT_EQ(input.object(1).first, 0);
    EXPECT_EQ(input.object(2).first, 4 * 3 + 2 + 2);
    EXPECT_EQ(input.object(3).first, 16 + 4 * 5 + 1 + 2);
    EXPECT_EQ(input.variableCount, 39 + 2);
}

TEST_F(RunInputTest, FlagsOfVariableRequirementsAndFrequencyRatios) {
    Records rs = simpleProject();
    ASSERT_EQ(run(rs), ResultCode::Normal);
    EXPECT_FALSE(input.variableRequirements);
    EXPECT_FALSE(input.variableFrequencyRatios);

    Records point = rs;
    point.push_back(makeRecord({1, 0, 2, 0, 0, -1, 1}, {0, 90, 0, 0, 0, 0, 1.0, 2.0}));
    ASSERT_EQ(run(point), ResultCode::Normal) << listingText;
    EXPECT_TRUE(input.variableRequirements);
    EXPECT_FALSE(input.variableFrequencyRatios);

    Records interval = rs; // variable interval start only
    interval.push_back(makeRecord({1, 0, 10, 1, 0, 0, 0}, {10, 20, 0, 40, 0, -1, 0, 1}));
    ASSERT_EQ(run(interval), ResultCode::Normal) << listingText;
    EXPECT_TRUE(input.variableRequirements);

    Records eta = rs;
    eta[1].IPar[4] = 1;
    eta[1].RPar[1] = 2.0;
    eta[1].RPar[2] = 1.0;
    ASSERT_EQ(run(eta), ResultCode::Normal) << listingText;
    EXPECT_TRUE(input.variableRequirements);
    EXPECT_TRUE(input.variableFrequencyRatios);

    // A restriction of an unknown kind builds nothing; variable requirements after it count.
    Records unknown = rs;
    unknown.push_back(makeRecord({1, 0, 7}));
    unknown.push_back(makeRecord({1, 0, 21, 0, 0, 1}, {0, 0, 0, 0, 0.5, 1.0}));
    ASSERT_EQ(run(unknown), ResultCode::Normal) << listingText;
    EXPECT_TRUE(input.variableRequirements);
}

TEST_F(RunInputTest, FailedCheckReportsTheRecord) {
    Records rs = simpleProject();
    rs.push_back(makeRecord({1, 0, 12, 0, 0, -1, -1, 0, 3}, {0, 90, 0, 45}));
    EXPECT_EQ(run(rs), ResultCode::InputError);
    EXPECT_EQ(listingText,
              " Fehlerhafter Datensatz:  3\n"
              " 1 0 12 0 0 -1 -1 0 3\n"
              "    0.000    90.000     0.000    45.000     0.000     0.000     0.000     0.000"
              "     0.000     0.000     0.000     0.000 \n"
              "Eingabefehler \n");
}
