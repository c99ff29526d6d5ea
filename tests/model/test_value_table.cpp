// The value table text.
#include <charconv>
#include <cmath>

#include <gtest/gtest.h>

#include "model/format_real.h"
#include "model/value_table.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t e = text.find("\r\n", start);
        EXPECT_NE(e, std::string::npos) << "line without CR LF";
        if (e == std::string::npos) break;
        out.push_back(text.substr(start, e - start));
        start = e + 2;
    }
    return out;
}

} // namespace

TEST(ValueTable, DefaultsGive361Lines) {
    std::mt19937 rng(5);
    THSHeader h;
    giveResults(h, 5, rng);
    const auto l = lines(valueTable(h, TableSettings{}));
    ASSERT_EQ(l.size(), 361u);
    EXPECT_EQ(l[90].substr(0, 6), " 90.0\t");
    EXPECT_EQ(l[0].substr(0, 5), " 0.0\t");
    EXPECT_EQ(l[360].substr(0, 7), " 360.0\t");
    // Columns s, s', s'' with 6 digits, each after TAB and a blank.
    const std::string expect = FormatReal(90.0, 6) + "\t " + FormatReal(h.Calc_s(0, 90), 6) +
                               "\t " + FormatReal(h.Calc_s(1, 90), 6) + "\t " +
                               FormatReal(h.Calc_s(2, 90), 6);
    EXPECT_EQ(l[90], expect);
}

TEST(ValueTable, StepNinetyAndColumnOrder) {
    std::mt19937 rng(6);
    THSHeader h;
    giveResults(h, 3, rng, 0.1);
    TableSettings t;
    t.step = 90.0;
    t.s = {true, false, false, true};
    t.M = true;
    t.q = {true, false, false, false};
    const auto l = lines(valueTable(h, t));
    ASSERT_EQ(l.size(), 5u);
    // phi, s, s''', torque, q: the torque stands between s''' and q.
    const double phi = 270.0;
    const std::string expect = FormatReal(phi, 6) + "\t " + FormatReal(h.Calc_s(0, phi), 6) +
                               "\t " + FormatReal(h.Calc_s(3, phi), 6) + "\t " +
                               FormatReal(h.Calc_s(1, phi) * h.Calc_s(2, phi), 6) + "\t " +
                               FormatReal(h.Calc_q(0, phi), 6);
    EXPECT_EQ(l[3], expect);
}

TEST(ValueTable, SignPositionsAndSmallValues) {
    THSHeader h;
    h.sSC.ReSize(4);
    h.sSC.set(2, 1.0); // sin
    h.qSC = h.sSC;
    TableSettings t;
    t.step = 90.0;
    t.s = {true, false, false, false};
    t.q = {true, false, false, false};
    const auto l = lines(valueTable(h, t));
    EXPECT_EQ(l[1], " 90.0\t  1.0\t  1.0");
    EXPECT_EQ(l[3], " 270.0\t -1.0\t -1.0");
    EXPECT_EQ(l[2], " 180.0\t  0.0\t  0.0"); // sin(pi) ~ 1e-16 is written as 0
}

TEST(ValueTable, ClampsAndTheLastBox) {
    TableSettings t;
    t.step = 0.0; // would never end
    t.digits = 20;
    t.clamp();
    EXPECT_EQ(t.step, 0.0001);
    EXPECT_EQ(t.digits, 10);
    TableSettings one;
    one.s = {true, false, false, false};
    auto e = enabledBoxes(one);
    EXPECT_FALSE(e[0]);
    EXPECT_TRUE(e[1]);
    one.q[3] = true;
    e = enabledBoxes(one);
    EXPECT_TRUE(e[0]);
    EXPECT_TRUE(e[8]);
}

namespace {

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t e; (e = line.find(sep, start)) != std::string::npos; start = e + 1)
        out.push_back(line.substr(start, e - start));
    out.push_back(line.substr(start));
    return out;
}

double parse(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    double v = std::nan("");
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(r.ec == std::errc() && r.ptr == s.data() + s.size()) << "not a number: " << s;
    return v;
}

} // namespace

// The CSV point table holds the value table's rows without the end point 360, with the same
// numbers; parsed back with the C++ parser, which ignores the locale, as a servo tool would.
TEST(ValueTableCsv, RowsOfTheValueTableWithoutTheEndPoint) {
    std::mt19937 rng(8);
    THSHeader h;
    giveResults(h, 6, rng, 0.1);
    TableSettings t;
    t.s = {true, true, false, true};
    t.M = true;
    t.q = {true, false, true, false};
    t.step = 2.5;
    const auto table = lines(valueTable(h, t));
    const auto csv = lines(valueTableCsv(h, t));
    ASSERT_EQ(table.size(), 145u);
    ASSERT_EQ(csv.size(), 145u); // header + 144 rows, 360 left out
    EXPECT_EQ(csv[0], "φ [°],s,s',s''',s'·s'',q,q''");
    for (std::size_t i = 1; i < csv.size(); ++i) {
        const auto c = split(csv[i], ','), v = split(table[i - 1], '\t');
        ASSERT_EQ(c.size(), v.size()) << csv[i];
        for (std::size_t j = 0; j < c.size(); ++j)
            EXPECT_NEAR(parse(c[j]), parse(v[j]), 1e-5 * std::max(1.0, std::fabs(parse(v[j]))))
                << "row " << i << " column " << j;
    }
}

// The point table carried six digits (0.745636 for 0.7456355030): another program got other
// values than the law. Without digits every field reads back to the model's double, angle and
// all; with digits it is rounded to that many, no more.
TEST(ValueTableCsv, ValuesReadBackEqualTheModelsDoubles) {
    std::mt19937 rng(10);
    THSHeader h;
    giveResults(h, 7, rng, 0.3);
    TableSettings t;
    t.s = {true, true, true, true};
    t.M = true;
    t.q = {true, true, true, true};
    const int points = 37;
    for (int digits : {0, 6}) {
        const auto csv = lines(valueTableCsv(h, t, points, digits));
        ASSERT_EQ(csv.size(), static_cast<std::size_t>(points + 1));
        for (int i = 0; i < points; ++i) {
            const auto c = split(csv[static_cast<std::size_t>(i + 1)], ',');
            ASSERT_EQ(c.size(), 10u);
            const double phi = parse(c[0]);
            if (digits == 0) {
                EXPECT_EQ(phi, 360.0 * i / points);
            }
            std::vector<double> model;
            for (int n = 0; n < 4; ++n) model.push_back(h.Calc_s(n, phi));
            model.push_back(h.Calc_M(phi));
            for (int n = 0; n < 4; ++n) model.push_back(h.Calc_q(n, phi));
            for (std::size_t j = 0; j < model.size(); ++j) {
                const double v = parse(c[j + 1]);
                // Without digits exact; with them rounded, no more.
                const double tolerance = digits == 0 ? 0.0 : 5e-6 * std::fabs(model[j]);
                EXPECT_NEAR(v, model[j], tolerance) << "row " << i << " column " << j;
            }
        }
    }
}

TEST(ValueTableCsv, PointsAndQuoting) {
    std::mt19937 rng(9);
    THSHeader h;
    giveResults(h, 3, rng);
    TableSettings t;
    t.s = {true, false, false, false};
    const auto csv = lines(valueTableCsv(h, t, 7));
    ASSERT_EQ(csv.size(), 8u);
    EXPECT_EQ(csv[0], "φ [°],s");
    for (std::size_t i = 1; i < csv.size(); ++i) {
        const auto c = split(csv[i], ',');
        ASSERT_EQ(c.size(), 2u);
        const double phi = 360.0 * static_cast<double>(i - 1) / 7.0;
        EXPECT_NEAR(parse(c[0]), phi, 1e-7);
        EXPECT_NEAR(parse(c[1]), h.Calc_s(0, phi), 1e-5);
    }
    const std::pair<const char*, const char*> fields[] = {{"s''", "s''"},
                                                          {"a,b", "\"a,b\""},
                                                          {"x \"y\"", "\"x \"\"y\"\"\""},
                                                          {"a\r\nb", "\"a\r\nb\""}};
    for (const auto& [in, out] : fields) EXPECT_EQ(csvField(in), out);
}
