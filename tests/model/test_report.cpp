// The report's RTF lines: escaping and encoding, the blocks that follow the results, numbers.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "model/format_real.h"
#include "model/report.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

const std::string kT =
    R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tqdec\tx2500\tqdec\tx4000\tqc\tx5200\tqc\tx5500)"
    R"(\tqc\tx5800\tqdec\tx7000\tqdec\tx8500)";

struct ReportProject {
    ProjectTree tree;
    Node* project;
    Node* motion;
    THSHeader* h;
    std::mt19937 rng{7};

    ReportProject() {
        project = &tree.newProject();
        auto& p = projectObj(*project);
        p.FileName = "/tmp/Prüfstand.k4p";
        p.ResultsStored = true;
        refreshCaptions(*project);
        motion = &findOrCreateAbs(*project, 1);
        h = motion->as<THSHeader>();
        giveResults(*h, 3, rng, 0.3);
    }
    std::vector<std::string> lines(char sep = '.') const {
        return buildReport(*project, {6, 12, 2026}, sep);
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& text) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos) return i;
    return lines.size();
}

} // namespace

TEST(Report, NamesAreHexEscapedTheDescriptionIsWindows1252) {
    ReportProject rp;
    projectObj(*rp.project).Description = "Kurve für {A}\\B → Łódź";
    rp.h->ShortName = "Zuführung {1}";
    const auto lines = rp.lines();
    EXPECT_EQ(lines[11], R"({\header\pard\plain\f1\fs16\qj\b\i\ul\tqr\tx9023 Pr\'FCfstand.k4p)"
                         R"(\tab 6.12.2026\par})");
    EXPECT_EQ(lines[13], R"(\pard\plain\li1200\f1\fs32\b\qc\sb144\sa72\keepn\s1 Projekt: )"
                         R"(Pr\'FCfstand.k4p)");
    // ü is the single byte 0xFC; the arrow and Ł are not in the code page, ó is.
    EXPECT_EQ(lines[14], R"(\par\pard\plain\li1200\f1\fs24\i\sb24\sa24\keep\keepn\s4\qc )"
                         "Kurve f\xFCr \\{A\\}\\\\B \\u8594? \\u321?\xF3"
                         "d\\u378?");
    EXPECT_EQ(lines[15], R"(\par\pard\plain\li1200\f1\fs24\i\sb24\sa24\keep\keepn\s4\qc )"
                         "Stand: 6.12.2026");
    EXPECT_TRUE(contains(lines, R"(\s4 Zuf\'FChrung \{1\})"));
    // Nothing of the UTF-8 of memory reaches the file.
    for (const auto& l : lines) EXPECT_EQ(l.find('\xC3'), std::string::npos) << l;
}

TEST(Report, CoefficientRowsFollowTheResultsNotTheInputFields) {
    ReportProject rp;
    rp.h->IPar[3] = 5;       // the harmonics asked for since the calculation
    rp.h->RPar[2] = 0.25;    // the eta asked for; the result says 0.3
    rp.h->sSC.set(4, 5e-7);  // S_2
    rp.h->sSC.set(5, -5e-7); // C_2
    const auto lines = rp.lines(',');
    EXPECT_TRUE(contains(lines, R"(\tab {\f2 h}\tab =\tab  0,25)"));
    EXPECT_TRUE(contains(lines, R"(Fourierkoeffizienten\plain\f0\fs24  ({\f2 h} =  0,3))"));
    const std::size_t row0 = indexOf(lines, R"(\tqdec\tx5500\tab 0\tab \tab )");
    ASSERT_LT(row0 + 4, lines.size());
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(lines[row0 + n].rfind(R"(\par\tab )" + std::to_string(n) + R"(\tab )", 0), 0u);
    EXPECT_EQ(lines[row0 + 2], R"(\par\tab 2\tab  0,0\tab  0,0\tab  0,0)");
    EXPECT_EQ(lines[row0 + 4], R"(\par\pard\plain\li1200\f1\fs24\b\i\sb72\sa36\keepn\s3 Extrema:)");
}

TEST(Report, ExtremaAgreeWithTheSeries) {
    ReportProject rp;
    const auto lines = rp.lines();
    // Independent: the Fourier sum itself on a fine grid.
    double lo = 1e300, hi = -1e300;
    for (int i = 0; i <= 36000; ++i) {
        const double x = i * 0.01 * M_PI / 180.0;
        double s = rp.h->sSC.at(1);
        for (int k = 1; k <= 3; ++k)
            s += rp.h->sSC.at(2 * k) * std::sin(k * x) + rp.h->sSC.at(2 * k + 1) * std::cos(k * x);
        lo = std::min(lo, s), hi = std::max(hi, s);
    }
    const auto value = [&](const std::string& label) {
        const std::size_t i = indexOf(lines, label);
        EXPECT_LT(i, lines.size()) << label;
        double v = 0.0;
        if (i < lines.size()) {
            EXPECT_TRUE(parseDouble(lines[i].substr(lines[i].rfind(' ') + 1), v));
        }
        return v;
    };
    EXPECT_NEAR(value(R"(charscalex50min}\tab =\tab )"), lo, 1e-3 * (1 + std::fabs(lo)));
    EXPECT_NEAR(value(R"(s{\sub\dn6\charscalex50max}\tab =\tab )"), hi, 1e-3 * (1 + std::fabs(hi)));
}

TEST(Report, StaleResultsGiveNoResultBlocks) {
    for (int stale = 0; stale < 2; ++stale) {
        ReportProject rp;
        addRestr(*rp.motion, 0, 10.0);
        if (stale == 0) rp.h->ResultsCurrent = false;
        if (stale == 1) projectObj(*rp.project).ResultsStored = false;
        const auto lines = rp.lines();
        EXPECT_FALSE(contains(lines, "Fourierkoeffizienten"));
        EXPECT_FALSE(contains(lines, "Extrema:"));
        EXPECT_FALSE(contains(lines, "Ergebnis:"));
        EXPECT_TRUE(contains(lines, "Forderung 1"));
    }
}

TEST(Report, RestrictionBlocks) {
    ReportProject rp;
    TRestr& open = addRestr(*rp.motion, 2, 30.0, 0.0, 0.0, 4.5);
    open.IPar[6] = -1;
    addRestr(*rp.motion, 7, 0.0).IPar[3] = 7;
    TRestr& grouped = addRestr(*rp.motion, 10, 20.0, 40.0);
    grouped.IPar[8] = 2;
    const auto lines = rp.lines();
    // Without a lower bound the value line starts with three tabs before the name's tab.
    EXPECT_TRUE(contains(lines, kT + R"(\tab\tab\tab\tab s''\tab {\f2 )"
                                     "\xA3"
                                     R"(}\tab  4.5)"));
    const std::size_t unknown = indexOf(lines, "unbekannter Forderungstyp (7) !");
    ASSERT_LT(unknown + 1, lines.size());
    EXPECT_EQ(lines[unknown], kT + R"(\tab\tab\tab\tab unbekannter Forderungstyp (7) !)");
    EXPECT_NE(lines[unknown + 1].find(R"(Forderung 3{\plain\f0\fs24\i   (verkn\'FCpft im )"
                                      R"(Optimierungsobjekt {\b 2})})"),
              std::string::npos);
    EXPECT_TRUE(
        contains(lines, R"(\tab {\i Bereichsgrenzen:}\tab {\f2 j}{\sub\dn6\charscalex50 u})"));
    EXPECT_TRUE(contains(lines, R"({\f2\b j{\super\up6\charscalex50 *}})"));
    EXPECT_EQ(lines.back(), "}");
}

// The reached q of a restriction was written when the eta asked for was above 0; it follows
// the eta the calculation returned, as the coefficient heading does.
TEST(Report, QLinesFollowTheResultEtaNotTheInput) {
    const struct {
        double input, result;
    } cases[] = {{0.0, 0.04}, {0.3, 0.0}, {0.3, 0.3}, {0.0, 0.0}, {0.2, 1e-9}};
    for (const auto& c : cases) {
        ReportProject rp;
        addRestr(*rp.motion, 10, 20.0, 40.0);
        rp.h->RPar[2] = c.input;
        rp.h->sSC.set(0, c.result);
        const auto lines = rp.lines();
        const bool heading = !contains(lines, R"(({\f2 h} =  0.0))");
        EXPECT_EQ(contains(lines, R"(\tab {\b q})"), heading) << c.input << " " << c.result;
    }
}

TEST(Report, TextEndsEveryLineWithCrLf) {
    EXPECT_EQ(reportText({"{\\rtf1", "}"}), "{\\rtf1\r\n}\r\n");
}
