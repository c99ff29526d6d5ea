// Validation of the calculation input: each check, its order, and the record it names.
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "calc/msctrl.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

namespace {

struct Outcome {
    bool valid;
    std::string listing;
};

Outcome check(const Records& rs) {
    std::ostringstream out;
    OutputStream listing(out);
    const bool valid = MSCTRL(rs, listing);
    return {valid, out.str()};
}

// The first line of a failure report names the record by its number among the stored ones.
std::string reported(int n) {
    return " Fehlerhafter Datensatz:  " + std::to_string(n) + "\n";
}

// A project of two objects with one valid restriction of every kind.
Records validProject() {
    Records rs{makeRecord({0, 0, 2, 8, 20, 10, 0, 2})};
    rs.push_back(makeRecord({0, 1, 6, 1, 1, 1}, {2.0, 1.0, 0.1, 0.4, 0.5, 1.0}));
    rs.push_back(makeRecord({0, 2, 4, 0, 0, 0}, {0, 0, 0, 0, 0, 2.0}));
    rs.push_back(makeRecord({1, 0, 0, 0, 0, 1, 1, 1}, {0, 30, 0, 0, -0.5, -1, 0.5, 1, 20, 40}));
    rs.push_back(
        makeRecord({1, 0, 12, 1, 1, 1, 1, 2}, {5, 10, 95, 90, -1, -2, 1, 2, 0, 20, 80, 100}));
    rs.push_back(makeRecord({2, 0, 22, 0, 0, 1}, {0, 0, 0, 0, 0.5, 1.0}));
    rs.push_back(makeRecord({2, 1, 41, 0, 0, 0, 0}, {0, 180, 0, 0, 0, -1, 0, 1}));
    rs.push_back(makeRecord({1, 2, 50, 0, 0, -1, 0}, {0, 0, 0, 360, 0, 0, 0, 0.2}));
    rs.push_back(makeRecord({2, 2, 24, 0, 0, 0}, {0, 0, 0, 0, 0, 0.01}));
    return rs;
}

} // namespace

TEST(Validation, ValidProjectPasses) {
    const auto o = check(validProject());
    EXPECT_TRUE(o.valid) << o.listing;
    EXPECT_EQ(o.listing, "");
}

TEST(Validation, EachCheckFailsOnItsRecord) {
    struct Case {
        const char* what;
        int index; // 0-based record to change
        void (*change)(Record&);
    };
    const Case cases[] = {
        {"six random variables", 0, [](Record& r) { r.IPar[8] = 6; }},
        {"passes times trials negative", 0, [](Record& r) { r.IPar[4] = -1; }},
        {"no objects", 0, [](Record& r) { r.IPar[3] = 0; }},
        {"eleven objects", 0, [](Record& r) { r.IPar[3] = 11; }},
        {"negative harmonics", 1, [](Record& r) { r.IPar[3] = -1; }},
        {"header beyond n_obj", 2, [](Record& r) { r.IPar[2] = 3; }},
        {"negative eta max", 2, [](Record& r) { r.RPar[2] = -0.1; }},
        {"negative damping", 2, [](Record& r) { r.RPar[3] = -0.1; }},
        {"variable eta max below constant", 1, [](Record& r) { r.RPar[1] = 0.5; }},
        {"negative eta min", 2, [](Record& r) { r.RPar[5] = -1.0; }},
        {"variable eta min above constant", 1, [](Record& r) { r.RPar[4] = 0.6; }},
        {"three polynomial terms", 2, [](Record& r) { r.IPar[6] = 3; }},
        {"restriction beyond n_obj", 3, [](Record& r) { r.IPar[1] = 3; }},
        {"point upper below lower", 3, [](Record& r) { r.RPar[8] = -1.5; }},
        {"variable lower loosens", 3, [](Record& r) { r.RPar[5] = -2.0; }},
        {"variable upper loosens", 3, [](Record& r) { r.RPar[7] = 1.5; }},
        {"point range reversed", 3, [](Record& r) { r.RPar[10] = 10; }},
        {"relative point on itself", 6, [](Record& r) { r.IPar[2] = 2; }},
        {"relative point beyond n_obj", 6, [](Record& r) { r.IPar[2] = 3; }},
        {"interval reversed", 4, [](Record& r) { r.RPar[4] = 5; }},
        {"interval upper below lower", 4, [](Record& r) { r.RPar[8] = -3; }},
        {"variable start behind", 4, [](Record& r) { r.RPar[1] = 11; }},
        {"variable end before", 4, [](Record& r) { r.RPar[3] = 85; }},
        {"variable interval lower loosens", 4, [](Record& r) { r.RPar[5] = -3; }},
        {"variable interval upper loosens", 4, [](Record& r) { r.RPar[7] = 3; }},
        {"interval ranges", 4, [](Record& r) { r.RPar[11] = -1; }},
        {"interval range end", 4, [](Record& r) { r.RPar[12] = 50; }},
        {"relative interval on itself", 7, [](Record& r) { r.IPar[2] = 1; }},
        {"spectrum bound zero", 5, [](Record& r) { r.RPar[6] = 0.0; }},
        {"variable spectrum loosens", 5, [](Record& r) { r.RPar[5] = 2.0; }},
        {"single harmonic bound negative", 8, [](Record& r) { r.RPar[6] = -0.01; }},
        {"not a number", 8, [](Record& r) { r.RPar[11] = std::nan(""); }},
        {"infinite", 3, [](Record& r) { r.RPar[12] = std::numeric_limits<double>::infinity(); }},
        {"second start record", 8,
         [](Record& r) {
             r = makeRecord({0, 0, 2});
         }},
        {"second header of object 2", 8,
         [](Record& r) {
             r = makeRecord({0, 2, 1});
         }},
        {"unknown record type", 8,
         [](Record& r) {
             r = makeRecord({0, -2, 1});
         }},
        {"relative without second object", 6, [](Record& r) { r.IPar[2] = 0; }},
        {"group beyond random variables", 3, [](Record& r) { r.IPar[8] = 3; }},
        {"single harmonic beyond nh", 8, [](Record& r) { r.IPar[2] = 5; }},
        {"single harmonic zero", 8, [](Record& r) { r.IPar[2] = 0; }},
    };
    for (const auto& c : cases) {
        Records rs = validProject();
        c.change(rs[static_cast<std::size_t>(c.index)]);
        const auto o = check(rs);
        EXPECT_FALSE(o.valid) << c.what;
        EXPECT_EQ(o.listing.rfind(reported(c.index + 1), 0), 0u) << c.what << "\n" << o.listing;
    }
}

TEST(Validation, ChecksRunInOrderOverAllRecords) {
    // Record 5 fails check 4, record 6 check 3: check 3 runs over all records first.
    Records rs = validProject();
    rs[4].RPar[4] = 5; // interval reversed (check 4)
    rs[6].IPar[2] = 2; // relative point on itself (check 3)
    EXPECT_EQ(check(rs).listing.rfind(reported(7), 0), 0u);
    // Within one check the first record in file order is reported.
    rs = validProject();
    rs[7].IPar[2] = 1;
    rs[4].RPar[4] = 5;
    EXPECT_EQ(check(rs).listing.rfind(reported(5), 0), 0u);
}

TEST(Validation, HeadersAreNotCheckedAsRestrictionKinds) {
    // A header with 2 harmonics and a table step above its RPar[8] is no point restriction.
    Records rs = validProject();
    rs[2] = makeRecord({0, 2, 2, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 5.0});
    EXPECT_TRUE(check(rs).valid) << check(rs).listing;
}

TEST(Validation, UnknownKindsPassAndGroupsNeedRandomVariables) {
    Records rs = validProject();
    rs.push_back(makeRecord({1, 0, 33, 0, 0, 5, 5, 0}, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, -1, -2}));
    EXPECT_TRUE(check(rs).valid);
    rs[0].IPar[8] = 0; // groups 1 and 2 are in use
    const auto o = check(rs);
    EXPECT_FALSE(o.valid);
    EXPECT_NE(o.listing.find(" Gruppe 1 ohne Zufallsvariable im Startdatensatz\n"),
              std::string::npos)
        << o.listing;
}

TEST(Validation, EveryObjectNeedsItsHeader) {
    Records rs = validProject();
    rs.erase(rs.begin() + 2); // header of object 2
    const auto o = check(rs);
    EXPECT_FALSE(o.valid);
    EXPECT_EQ(o.listing, " Kein Kopfdatensatz fuer Objekt 2\n");
}

TEST(Validation, ReportLinesOfAFailedRecord) {
    Records rs = validProject();
    rs[2].IPar[6] = 3;
    rs[2].RPar[7] = -1234.567;
    rs[2].RPar[8] = 123456.5;
    const auto o = check(rs);
    EXPECT_EQ(o.listing, " Fehlerhafter Datensatz:  3\n"
                         " 0 2 4 0 0 3 0 0 0\n"
                         "    0.000     0.000     0.000     0.000     0.000     2.000 "
                         "-1234.567 ********* "
                         "    0.000     0.000     0.000     0.000 \n"
                         " Anzahl der Polynomglieder nicht 0, 1 oder 2\n");
}
