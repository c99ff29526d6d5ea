// Result codes, their messages and dialog kinds; the batch summary and its time text.
#include <gtest/gtest.h>

#include "calcctl/batch.h"
#include "calcctl/result_code.h"

namespace calcctl {
namespace {

using model::MessageKind;

void expectMessage(int code, const std::string& text, MessageKind kind) {
    const auto m = codeMessage(code);
    ASSERT_TRUE(m.has_value()) << code;
    EXPECT_EQ(m->text, text) << code;
    EXPECT_EQ(m->kind, kind) << code;
}

TEST(ResultCodes, TableOfMessages) {
    expectMessage(1,
                  "Die Maximalforderungen werden erfüllt.\r-> Strengere Restriktionen (Spektrum) "
                  "sind möglich",
                  MessageKind::Warning);
    EXPECT_FALSE(codeMessage(0).has_value());
    EXPECT_FALSE(codeMessage(-100).has_value());
    expectMessage(-1, "Berechnung wurde abgebrochen.", MessageKind::Information);
    expectMessage(-2, "Minimalforderungen sind nicht erfüllbar.", MessageKind::Error);
    expectMessage(-4, "Das System ist zu groß.", MessageKind::Error);
    expectMessage(-5, "Abbruch der Berechnung wegen Resonanz.", MessageKind::Error);
    expectMessage(-10, "Der Berechnungsmodul konnte nicht gestartet werden.", MessageKind::Error);
    expectMessage(-20, "Es läuft bereits eine HS-Berechnung.\rBitte warten Sie auf deren Abschluß.",
                  MessageKind::Error);
    expectMessage(-30, "Der Berechnungsmodul liefert keine Rückmeldung", MessageKind::Warning);
    expectMessage(-201, "Timeout bei Filetransfer zum Host.", MessageKind::Error);
    expectMessage(-202, "Verbindung zum Host fehlgeschlagen.", MessageKind::Error);
    expectMessage(3, "Unbekannter Fehler: 3", MessageKind::Error);
    expectMessage(-7, "Unbekannter Fehler: -7", MessageKind::Error);
}

TEST(ResultCodes, InputErrorAndEtaGridHaveTheirOwnMessages) {
    const auto input = codeMessage(-3);
    const auto grid = codeMessage(-6);
    ASSERT_TRUE(input && grid);
    EXPECT_EQ(input->text.find("Unbekannter"), std::string::npos);
    EXPECT_NE(input->text.find("Eingabe"), std::string::npos);
    EXPECT_EQ(grid->text.find("Unbekannter"), std::string::npos);
    EXPECT_NE(grid->text.find("Frequenzverhältnis"), std::string::npos);
    EXPECT_EQ(input->kind, MessageKind::Error);
    EXPECT_EQ(grid->kind, MessageKind::Error);
}

TEST(ResultCodes, RejectedRecordFromTheListing) {
    const std::string listing = "something\n Fehlerhafter Datensatz:  3\n 2 1 10 0 0 0 0 0 3\n"
                                "    0.000    90.000 \nEingabefehler \n";
    EXPECT_EQ(rejectedRecordText(listing),
              " Fehlerhafter Datensatz:  3\r 2 1 10 0 0 0 0 0 3\r    0.000    90.000");
    EXPECT_EQ(rejectedRecordText("Kein Startdatensatz gefunden \nEingabefehler \n"),
              "Kein Startdatensatz gefunden");
    EXPECT_EQ(rejectedRecordText(" Fehlerhafter Datensatz:  2\nEingabefehler \n"),
              " Fehlerhafter Datensatz:  2");
    EXPECT_EQ(rejectedRecordText("Eingabefehler \n"), "");
}

TEST(BatchTime, SecondsMinutesHours) {
    EXPECT_EQ(batchTimeText(0), "0 sec");
    EXPECT_EQ(batchTimeText(59), "59 sec");
    EXPECT_EQ(batchTimeText(60), "1 min 0 sec");
    EXPECT_EQ(batchTimeText(3599), "59 min 59 sec");
    EXPECT_EQ(batchTimeText(3600), "1 h 0 min 0 sec");
    EXPECT_EQ(batchTimeText(3725), "1 h 2 min 5 sec");
    EXPECT_EQ(batchTimeText(90061), "25 h 1 min 1 sec");
}

TEST(BatchSummary, ByFinalResult) {
    EXPECT_EQ(batchSummary(-100, 1, 2, 5),
              (model::Message{"Abbruch durch das Shell-Programm.", MessageKind::Warning}));
    EXPECT_EQ(batchSummary(-20, 0, 0, 0),
              (model::Message{"Es läuft bereits eine HS-Berechnung.\rBitte warten Sie auf deren "
                              "Abschluß.",
                              MessageKind::Error}));
    EXPECT_EQ(batchSummary(-1, 0, 1, 0),
              (model::Message{"Berechnung wurde abgebrochen.", MessageKind::Information}));
    EXPECT_EQ(batchSummary(0, 2, 3, 61),
              (model::Message{"Die Berechnung ist abgeschlossen.\rFür 2 von 3 Projekte(n) wurden "
                              "Lösungen gefunden.\rRechenzeit: 1 min 1 sec",
                              MessageKind::Information}));
    EXPECT_EQ(batchSummary(-2, 0, 0, 0).text,
              "Die Berechnung ist abgeschlossen.\rFür 0 von 0 Projekte(n) wurden Lösungen "
              "gefunden.\rRechenzeit: 0 sec");
}

} // namespace
} // namespace calcctl
