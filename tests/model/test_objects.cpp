// Tree objects: captions, sort keys, consistency, copying, containers.
#include <gtest/gtest.h>

#include "model/check.h"
#include "tests/model/model_test_support.h"

using namespace model;
using namespace model::test;

namespace {

void point(TRestr& r, int kind, double phi, int lowCode, double lo, int highCode, double hi) {
    r.IPar[1] = 1;
    r.IPar[3] = kind;
    r.RPar[2] = phi;
    r.IPar[6] = lowCode;
    r.RPar[6] = lo;
    r.IPar[7] = highCode;
    r.RPar[8] = hi;
}

} // namespace

TEST(Captions, Project) {
    TProject p;
    p.UpdateCaption();
    EXPECT_EQ(p.Caption, "neues Projekt");
    p.FileName = "/home/u/Nocken/antrieb.k4p";
    p.UpdateCaption();
    EXPECT_EQ(p.Caption, "antrieb.k4p");
    p.FileName = "C:\\proj\\alt.kq4";
    p.UpdateCaption();
    EXPECT_EQ(p.Caption, "alt.kq4");
}

TEST(Captions, Restrictions) {
    TRestr r;
    point(r, 0, 90.0, 0, -1.0, 0, 2.5);
    r.UpdateCaption();
    EXPECT_EQ(r.Caption, "[s0]:  90.0 -> (-1.0 ...  2.5)");
    EXPECT_EQ(r.SortKey, 2500);
    r.IPar[6] = -1;
    r.UpdateCaption();
    EXPECT_EQ(r.Caption, "[s0]:  90.0 -> ( ...  2.5)");

    TRestr iv;
    point(iv, 12, 30.0, 0, -100.0, -1, 0.0);
    iv.RPar[4] = 60.0;
    iv.UpdateCaption();
    EXPECT_EQ(iv.Caption, "[s2]: ( 30.0 ...  60.0) -> (-100.0 ... )");
    EXPECT_EQ(iv.SortKey, 12 * 100000 + 833); // 30/360*10000 = 833.3
    iv.IPar[4] = -1; // a slot the editor never sets negative: the angle is left out
    iv.IPar[4] = 0;

    TRestr sp;
    sp.IPar[1] = 1;
    sp.IPar[3] = 22;
    sp.RPar[6] = 1500.0;
    sp.UpdateCaption();
    EXPECT_EQ(sp.Caption, "[S2]: Sum -> ...  1500.0");
    EXPECT_EQ(sp.SortKey, 22 * 100000 + 10000);
    sp.IPar[3] = 24;
    sp.IPar[2] = 3;
    sp.RPar[6] = 0.5;
    sp.UpdateCaption();
    EXPECT_EQ(sp.Caption, "[h3]: nrm -> ...  0.5");

    TRestr odd;
    odd.IPar[3] = 30;
    odd.UpdateCaption();
    EXPECT_EQ(odd.Caption, "");
}

TEST(Captions, SwitchedOffAndInconsistentMarks) {
    // Inconsistent (upper below lower) and switched off: "K " wins.
    TRestr r;
    point(r, 0, 10.0, 0, 2.0, 0, 1.0);
    r.IPar[1] = -1;
    r.UpdateCaption();
    EXPECT_EQ(r.Caption.substr(0, 2), "K ");
    EXPECT_FALSE(r.Valid);
    r.IPar[1] = 1;
    r.UpdateCaption();
    EXPECT_EQ(r.Caption.substr(0, 2), "! ");
    r.RPar[8] = 3.0;
    r.UpdateCaption();
    EXPECT_EQ(r.Caption.substr(0, 2), "[s");
}

TEST(Consistency, PointAndIntervalBounds) {
    TRestr p;
    point(p, 1, 10.0, 0, 1.0, 0, 1.0);
    EXPECT_TRUE(p.CheckValid()); // equal bounds are fine for a point
    TRestr iv;
    point(iv, 11, 10.0, 0, 1.0, 0, 1.0);
    iv.RPar[4] = 20.0;
    EXPECT_FALSE(iv.CheckValid()); // but not for an interval
    iv.RPar[8] = 1.5;
    EXPECT_TRUE(iv.CheckValid());
    iv.RPar[4] = 10.0; // phi2 must exceed phi1
    EXPECT_FALSE(iv.CheckValid());
    iv.RPar[4] = 20.0;
    // Variable lower angle: its beta-1 limit lies below phi1 and not beyond phi2.
    iv.IPar[4] = 1;
    iv.RPar[1] = 5.0;
    EXPECT_TRUE(iv.CheckValid());
    iv.RPar[1] = 12.0;
    EXPECT_FALSE(iv.CheckValid());
    iv.IPar[4] = 0;
    // Variable lower value bound: stricter at beta 1 and not above the upper bound.
    iv.IPar[6] = 1;
    iv.RPar[5] = 1.2;
    EXPECT_TRUE(iv.CheckValid());
    iv.RPar[5] = 1.6;
    EXPECT_FALSE(iv.CheckValid());
    iv.RPar[5] = 0.5;
    EXPECT_FALSE(iv.CheckValid());
}

TEST(Consistency, GlobalShiftRangesAndRelative) {
    TRestr iv;
    point(iv, 10, 30.0, 0, 0.0, 0, 1.0);
    iv.RPar[4] = 60.0;
    iv.Global = true;
    iv.IPar[8] = 1;
    iv.RPar[9] = 20.0;
    iv.RPar[10] = 40.0;
    iv.RPar[11] = 50.0;
    iv.RPar[12] = 70.0;
    EXPECT_TRUE(iv.CheckValid());
    iv.RPar[11] = 35.0; // the two shift ranges overlap
    EXPECT_FALSE(iv.CheckValid());
    TRestr rel;
    point(rel, 40, 30.0, 0, 0.0, 0, 1.0);
    rel.IPar[2] = 1;
    EXPECT_FALSE(rel.CheckValid());
    rel.IPar[2] = 2;
    EXPECT_TRUE(rel.CheckValid());
    TRestr sp;
    sp.IPar[3] = 20;
    sp.IPar[6] = 1;
    sp.RPar[5] = 3.0;
    sp.RPar[6] = 2.0;
    EXPECT_FALSE(sp.CheckValid());
    sp.RPar[6] = 4.0;
    EXPECT_TRUE(sp.CheckValid());
}

TEST(Consistency, ReasonAgreesWithTheCheck) {
    // Random restrictions: the reason finder and the check must agree on every one.
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> kinds(0, 9), code(-1, 1), coin(0, 1);
    std::uniform_int_distribution<int> v(-3, 3);
    const int kindTable[] = {0, 2, 10, 13, 20, 24, 40, 43, 50, 53};
    for (int i = 0; i < 20000; ++i) {
        TRestr r;
        r.IPar[1] = 1 + coin(rng);
        r.IPar[2] = 1 + coin(rng);
        r.IPar[3] = kindTable[kinds(rng)];
        r.IPar[4] = coin(rng);
        r.IPar[5] = coin(rng);
        r.IPar[6] = code(rng);
        r.IPar[7] = code(rng);
        for (int k = 1; k <= 12; ++k) r.RPar[static_cast<std::size_t>(k)] = v(rng);
        r.Global = coin(rng) == 1;
        const bool valid = r.CheckValid();
        const auto reason = inconsistencyReason(r, ',');
        EXPECT_EQ(!reason.has_value(), valid) << "case " << i;
        // In the words of the editor's fields, not of the record's slots, and numbers with the
        // separator asked for.
        if (reason) {
            EXPECT_EQ(reason->find("Par["), std::string::npos) << *reason;
            EXPECT_EQ(reason->find('.'), std::string::npos) << *reason;
        }
    }
}

TEST(Consistency, AbsoluteSpecification) {
    THSHeader h;
    EXPECT_EQ(h.IPar[3], 1);
    EXPECT_TRUE(h.CheckValid());
    h.IPar[4] = 1;
    h.RPar[1] = 1.0;
    h.RPar[2] = 2.0;
    EXPECT_FALSE(h.CheckValid());
    h.RPar[1] = 2.0;
    EXPECT_TRUE(h.CheckValid());
}

TEST(Copying, GroupsRefuseWithTheirMessages) {
    TGroupHeader g, g2;
    g.IPar[1] = 3;
    auto m = g.CopyTo(g2);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->text, kCopyGroupRefused);
    EXPECT_EQ(m->kind, MessageKind::Error);
    EXPECT_EQ(g2.IPar[1], 0);
    TGroupMember gm, gm2;
    auto m2 = gm.CopyTo(gm2);
    ASSERT_TRUE(m2.has_value());
    EXPECT_EQ(m2->text, kCopyMemberRefused);
}

TEST(Copying, BaseBlockWithoutIPar9AndDuplicate) {
    THSHeader a;
    for (int i = 1; i <= 9; ++i) a.IPar[static_cast<std::size_t>(i)] = i * 10;
    for (int i = 1; i <= 12; ++i) a.RPar[static_cast<std::size_t>(i)] = i * 0.5;
    a.ShortName = "Nocke";
    a.sSC.ReSize(4);
    a.sSC.set(3, 7.0);
    a.HasResults = true;
    THSHeader b;
    a.Duplicate(b);
    EXPECT_EQ(b.ShortName, "Nocke (Kopie)");
    EXPECT_EQ(b.IPar[8], 80);
    EXPECT_EQ(b.IPar[9], 0);
    EXPECT_EQ(b.RPar, a.RPar);
    EXPECT_EQ(b.sSC.Count(), 4);
    EXPECT_EQ(b.sSC.at(3), 7.0);
    EXPECT_FALSE(b.HasResults); // flags are not copied

    TProject p, q;
    p.FileName = "x.k4p";
    p.Description = "Beschreibung";
    p.ResultsStored = true;
    q.FileName = "keep.k4p";
    (void)p.CopyTo(q);
    EXPECT_EQ(q.FileName, "");
    EXPECT_EQ(q.Description, "");
    EXPECT_TRUE(q.ResultsStored);
}

TEST(Containers, VectorAndFields) {
    TVector v(0);
    EXPECT_EQ(v.Count(), 0);
    EXPECT_EQ(v.at(0), 0.0); // nothing held: reads give 0
    v.set(5, 1.0);
    EXPECT_EQ(v.at(5), 0.0);
    ASSERT_TRUE(v.ReSize(3));
    v.set(2, 4.0);
    ASSERT_TRUE(v.ReSize(5));
    EXPECT_EQ(v.at(2), 4.0);
    EXPECT_EQ(v.Count(), 5);

    TDoubField f(2, 1);
    f.setValue(-1, 3.0);
    EXPECT_TRUE(f.success());
    EXPECT_EQ(f.value(-1), 3.0);
    f.setValue(-2, 1.0);
    EXPECT_FALSE(f.success());
    TDoubField g(0);
    g.setValue(9, 2.0);
    EXPECT_EQ(g.capacity(), 10);
    EXPECT_EQ(g.value(9), 2.0);
    TFTField s(42);
    EXPECT_EQ(s.capacity(), 86);
    s.setSin(3, 1.5);
    s.setCos(3, -1.5);
    EXPECT_EQ(s.value(6), 1.5);
    EXPECT_EQ(s.value(7), -1.5);
}
