// The picture drawn into a bitmap on the offscreen platform: a known curve where it belongs,
// the restriction brackets in their colours, and the automatic ranges.
#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QXmlStreamReader>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "graphics/motion_curves.h"
#include "graphics/picture.h"
#include "graphics/trace.h"
#include "model/series.h"

namespace {

using namespace model;

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_graphics_picture";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] testing::Environment* const qtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

// s = sin phi with current results, and a lower bound -1.25 over 100 .. 200 degrees whose
// absent upper bound holds garbage.
struct PictureTest : testing::Test {
    Node motion{std::make_unique<THSHeader>()};
    THSHeader& h = *motion.as<THSHeader>();
    TRestr* restr = nullptr;
    graphics::Picture pic;
    QImage image{600, 400, QImage::Format_RGB32};

    void SetUp() override {
        h.sSC.ReSize(4);
        h.sSC.set(2, 1.0);
        h.qSC = h.sSC;
        h.HasResults = h.ResultsCurrent = true;
        auto r = std::make_unique<TRestr>();
        r->IPar[3] = 10;
        r->IPar[6] = 0;
        r->IPar[7] = -1;
        r->GlobalPar[2] = 100;
        r->GlobalPar[4] = 200;
        r->GlobalPar[6] = -1.25;
        r->GlobalPar[7] = 9;
        r->GlobalPar[8] = 7;
        restr = r.get();
        motion.children.push_back(std::make_unique<Node>(std::move(r)));
        pic.choose({true, false, false, false, false});
        pic.members = {&motion};
    }
    const graphics::TDiagram& draw() {
        image.fill(Qt::black);
        QPainter p(&image);
        QFont f;
        f.setPixelSize(12);
        p.setFont(f);
        graphics::drawPicture(p, image.width(), image.height(), pic, 1);
        return pic.diagrams[0];
    }
    QColor at(const graphics::TDiagram& d, double phi, double v, int dy = 0) const {
        return image.pixelColor(d.xAxis.Scale(phi), d.yAxis.Scale(v) + dy);
    }
    // Whether a pixel of the colour lies within one pixel of (phi, v).
    bool near(const graphics::TDiagram& d, double phi, double v, QColor c) const {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (image.pixelColor(d.xAxis.Scale(phi) + dx, d.yAxis.Scale(v) + dy) == c)
                    return true;
        return false;
    }
};

double sinDeg(double phi) {
    return std::sin(phi * std::numbers::pi / 180);
}

TEST_F(PictureTest, SineCurveLiesWhereItMapsOnWhite) {
    const auto& d = draw();
    EXPECT_DOUBLE_EQ(d.xAxis.min, 0.0);
    EXPECT_DOUBLE_EQ(d.xAxis.max, 360.0);
    for (double phi : {30.0, 90.0, 150.0, 230.0, 270.0, 330.0}) {
        SCOPED_TRACE(phi);
        EXPECT_TRUE(near(d, phi, sinDeg(phi), graphics::motionColours(h, 0).s));
        EXPECT_EQ(at(d, phi, 0.5 * -sinDeg(phi)), QColor(Qt::white));
    }
}

TEST_F(PictureTest, StaleResultsAreGrey) {
    h.ResultsCurrent = false;
    const auto& d = draw();
    EXPECT_TRUE(near(d, 90, 1.0, QColor(0x80, 0x80, 0x80)));
    EXPECT_FALSE(near(d, 90, 1.0, graphics::motionColours(h, 0).s));
}

// The restriction used to widen the range with its upper values though it has no upper bound.
TEST_F(PictureTest, RestrictionRangeTakesOnlyTheBoundsItHas) {
    const auto& d = draw();
    EXPECT_LE(d.yAxis.min, -1.25);
    EXPECT_LT(d.yAxis.max, 2.0);
    const QColor minColor = graphics::motionColours(h, 0).bound;
    EXPECT_EQ(at(d, 150, -1.25), minColor);
    EXPECT_EQ(at(d, 100, -1.25, 3), minColor); // the end stroke points downward
    EXPECT_EQ(at(d, 150, -1.25, 3), QColor(Qt::white));
    EXPECT_EQ(at(d, 150, -1.25, -1), QColor(Qt::white)); // a fixed bound: no fill band
}

TEST_F(PictureTest, HighlightedAndBindingRestrictionsTakeTheHighlightColour) {
    restr->Highlighted = true;
    auto d = draw();
    EXPECT_EQ(at(d, 150, -1.25), pic.highlight);
    EXPECT_NE(at(d, 150, -1.25, 1), pic.highlight);
    restr->Highlighted = false;
    pic.binding = {motion.children[0].get()};
    d = draw();
    EXPECT_EQ(at(d, 150, -1.25), pic.highlight);
    EXPECT_EQ(at(d, 150, -1.25, 1), pic.highlight); // the wider pen
}

TEST_F(PictureTest, NoResultsAndNoMembersDrawMinusOneToOne) {
    pic.members.clear();
    const auto& d = draw();
    EXPECT_DOUBLE_EQ(d.yAxis.min, -1.0);
    EXPECT_DOUBLE_EQ(d.yAxis.max, 1.0);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
}

// Every motion was drawn black (q red) however many a diagram showed, every bracket blue. Each
// motion (s = 6i + sin phi, bound 6i - 1.5) now has a colour of its own, its q another, its
// bracket its colour; a colour the user picked (black too) or an older file's own stays.
TEST_F(PictureTest, MotionsAreToldApartByColourUnlessTheUserPickedOne) {
    const struct {
        std::int32_t sColor;
        QColor expected; // invalid: a colour of the diagram's own
    } cases[] = {{PaintStyle{}.sColor, {}},
                 {PaintStyle{}.sColor, {}},
                 {kPickedColour, QColor(Qt::black)},
                 {0x123456, QColor(0x56, 0x34, 0x12)}};
    std::vector<std::unique_ptr<Node>> nodes;
    pic.members.clear();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        nodes.push_back(std::make_unique<Node>(std::make_unique<THSHeader>()));
        auto& m = *nodes.back()->as<THSHeader>();
        (void)h.CopyTo(m);
        m.sSC.set(0, i == 0 ? 0.5 : 0.0); // eta: the first draws q = s + 2
        m.sSC.set(1, 6.0 * double(i));
        m.qSC = m.sSC;
        m.qSC.set(1, 6.0 * double(i) + 2.0);
        m.HasResults = m.ResultsCurrent = true;
        m.PaintStyle.sColor = cases[i].sColor;
        auto r = std::make_unique<TRestr>();
        (void)restr->CopyTo(*r);
        r->GlobalPar = restr->GlobalPar;
        r->GlobalPar[6] = 6.0 * double(i) - 1.5;
        nodes.back()->children.push_back(std::make_unique<Node>(std::move(r)));
        pic.members.push_back(nodes.back().get());
    }
    image = QImage(500, 900, QImage::Format_RGB32);
    const auto& d = draw();
    const auto drawn = [&](double phi, double v) { // the colour within a pixel, not white
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (const QColor c = at(d, phi + dx / d.xAxis.scale, v, dy); c != Qt::white)
                    return c;
        return QColor();
    };
    std::vector<QColor> seen;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const QColor s = drawn(90, 6.0 * double(i) + 1.0);
        if (cases[i].expected.isValid())
            EXPECT_EQ(s, cases[i].expected);
        else
            EXPECT_TRUE(s.isValid() && s != Qt::black && s != QColor(0x80, 0x80, 0x80) &&
                        std::count(seen.begin(), seen.end(), s) == 0);
        seen.push_back(s);
        EXPECT_EQ(drawn(150, 6.0 * double(i) - 1.5), s); // the bracket
    }
    const QColor q = drawn(90, 3.0);
    EXPECT_TRUE(q.isValid() && std::count(seen.begin(), seen.end(), q) == 0);
}

TEST(Picture, ChosenCurvesRoundTrip) {
    graphics::Picture pic;
    EXPECT_EQ(pic.chosen(), (std::array<bool, 5>{true, true, true, false, false}));
    pic.choose({false, true, false, false, true});
    EXPECT_EQ(pic.shown, 2);
    EXPECT_EQ(pic.diagrams[1].curve, graphics::kTorque);
    EXPECT_EQ(pic.chosen(), (std::array<bool, 5>{false, true, false, false, true}));
}

// The q curve of a relative motion: element 0 of its series is the difference of the two
// ratios and may be 0 or negative while one of the motions has a dynamic model.
TEST(Picture, RelativeMotionDrawsQWhenEitherMotionHasARatio) {
    Node project(std::make_unique<TProject>());
    auto addAbs = [&](int n, double eta) -> THSHeader& {
        auto h = std::make_unique<THSHeader>();
        h->IPar[2] = n;
        h->sSC.ReSize(4);
        h->sSC.set(0, eta);
        project.children.push_back(std::make_unique<Node>(std::move(h)));
        project.children.back()->parent = &project;
        return *project.children.back()->as<THSHeader>();
    };
    THSHeader& a = addAbs(1, 0.0);
    THSHeader& b = addAbs(2, 0.5);
    auto r = std::make_unique<TRelHeader>();
    r->IPar[1] = -1; // switched off: the number is taken by absolute value
    r->IPar[2] = 2;
    r->sSC.ReSize(4);
    r->sSC.set(0, a.sSC.at(0) - b.sSC.at(0));
    project.children.push_back(std::make_unique<Node>(std::move(r)));
    Node& rel = *project.children.back();
    rel.parent = &project;
    EXPECT_TRUE(graphics::drawsQ(rel));
    b.sSC.set(0, 0.0);
    EXPECT_FALSE(graphics::drawsQ(rel));
    a.sSC.set(0, 0.25);
    EXPECT_TRUE(graphics::drawsQ(rel));
}

// The fast evaluation of the drawn curves and of the automatic ranges against the motion's own
// series, on random motions of up to 60 harmonics.
TEST(Picture, FastSeriesAgreesWithTheMotionsOwnEvaluation) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int K : {1, 16, 60}) {
        THSHeader h;
        h.sSC.ReSize(2 * K + 2);
        for (int i = 1; i < 2 * K + 2; ++i) h.sSC.set(i, u(rng) / (i > 1 ? i / 2 : 1));
        deriveSeries(h, 0.013, 0.1);
        h.HasResults = true;
        graphics::TAxis x;
        x.SetBorder(0, 997);
        x.SetMinMax(10, -30, 400);
        const graphics::AngleGrid grid(graphics::traceAngles(x, 0.37));
        for (int curve = -1; curve <= 3; ++curve) {
            for (bool q : {false, true}) {
                SCOPED_TRACE(testing::Message() << K << " harmonics, curve " << curve << q);
                const graphics::FastSeries f =
                    curve < 0 ? graphics::FastSeries(h) : graphics::FastSeries(h, curve, q);
                auto exact = [&](double phi) {
                    return curve < 0 ? h.Calc_M(phi)
                           : q       ? h.Calc_q(curve, phi)
                                     : h.Calc_s(curve, phi);
                };
                double lo = 0, hi = 360;
                curve < 0 ? h.GetMinMax_M(lo, hi) : h.GetMinMax_s(curve, lo, hi);
                const double tol = 1e-11 * std::max(std::fabs(lo), std::fabs(hi)) * K;
                std::vector<double> v;
                f.evaluate(grid, v);
                ASSERT_EQ(v.size(), grid.phi.size());
                for (std::size_t i = 0; i < v.size(); i += 7) {
                    ASSERT_NEAR(v[i], exact(grid.phi[i]), tol) << grid.phi[i];
                    ASSERT_NEAR(f(grid.phi[i]), exact(grid.phi[i]), tol) << grid.phi[i];
                }
                if (q) continue;
                double flo, fhi;
                ASSERT_TRUE(graphics::curveExtremes(h, curve, 0, 360, flo, fhi));
                if (curve >= 0) { // the range of s and q together
                    double qlo = 0, qhi = 360;
                    h.GetMinMax_q(curve, qlo, qhi);
                    lo = std::min(lo, qlo);
                    hi = std::max(hi, qhi);
                }
                EXPECT_NEAR(flo, lo, tol);
                EXPECT_NEAR(fhi, hi, tol);
            }
        }
    }
}

} // namespace
