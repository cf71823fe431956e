#include <gtest/gtest.h>
#include "map_fixture.h"
#include "views/drift_view.h"
#include "views/map_panes.h"

using namespace vel;
using namespace vel::test;

namespace {

// A 400 x 400 dial with th = 16: V = 352 - 16 = 336, Ro = 168, Ri = 152,
// car radius Ra = 136, centre (200, 200).
DriftGeom Dial() { return DriftGeomOf(QSize(400, 400), 16); }

struct DriftViewTest : MapFixture {
    // Shows n laps that drift.
    void ShowDrifting(int n) {
        for (int k = 0; k < n; ++k) {
            Show(StraightRun(Drive{}, 180, 20));
            s.loadedLaps.LapDt[k].driftAct = true;
        }
    }
    // Slot k's cursor values, set by hand.
    void Drifting(int k, double spd, double dir, double gpsDir, double dAngle) {
        TCurValRec& c = s.comparison.CurVal[k];
        c.Spd = c.DistSpd = spd;
        c.Dir = c.DistDir = dir;
        c.GpsDir = c.DistGpsDir = gpsDir;
        c.DAngle = c.DistDAngle = dAngle;
    }
};

} // namespace

// The car's nose (third outline point) and the heading line's far end turn
// with the drift angle: 0 up, 90 right, -90 left, 180 down; the shoulders
// lie 24 degrees to either side of the nose.
TEST(DriftView, CarTurnsByItsDriftAngle) {
    const DriftGeom g = Dial();
    EXPECT_EQ(g.Ro, 168);
    EXPECT_EQ(g.Ri, 152);
    EXPECT_EQ(g.Rm, 160);
    EXPECT_EQ(g.Ra, 136);
    EXPECT_EQ(g.Rl, 168 + 16 + 12);
    const struct Case {
        double a;
        QPoint nose, ahead;
    } cases[] = {
        {0, {200, 64}, {200, 32}},
        {90, {336, 200}, {368, 200}},
        {-90, {64, 200}, {32, 200}},
        {180, {200, 336}, {200, 368}},
        {30, {200 + 68, 200 - 117}, {200 + 84, 200 - 145}},   // 136 sin 30, Trunc(136 cos 30); 168 ...
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a);
        const QPolygon car = DriftCarOutline(g, c.a);
        ASSERT_EQ(car.size(), 6);
        EXPECT_LE((car[2] - c.nose).manhattanLength(), 1);
        EXPECT_EQ(car.front(), car.back());   // closed
        const QLine line = DriftHeadingLine(g, c.a);
        EXPECT_LE((line.p2() - c.ahead).manhattanLength(), 1);
        // Behind the centre, on the inner circle.
        const QPoint behind = QPoint(200, 200) - (c.ahead - QPoint(200, 200)) * 152 / 168;
        EXPECT_LE((line.p1() - behind).manhattanLength(), 2);
    }
    // Straight ahead: shoulders at +-24 degrees: (200 -+ Trunc(136 sin 24), 200 - Trunc(136 cos 24)).
    const QPolygon up = DriftCarOutline(g, 0);
    EXPECT_EQ(up[1], QPoint(200 - 55, 200 - 124));
    EXPECT_EQ(up[3], QPoint(200 + 55, 200 - 124));
}

// At 7 km/h or less the car points up and the number reads 0, while the
// speed still shows; the axis picks the value set.
TEST_F(DriftViewTest, SlowCarPointsUpAndAxisChoosesTheValues) {
    ShowDrifting(1);
    Drifting(0, 40, 120, 95, 24.7);
    DriftValues v = DriftValuesOf(In(), 0);
    EXPECT_EQ(v.angle, 25);
    EXPECT_EQ(v.number, 24);
    EXPECT_EQ(v.speed, 40);
    s.comparison.CurVal[0].DistSpd = 7;
    v = DriftValuesOf(In(), 0);
    EXPECT_EQ(v.angle, 0);
    EXPECT_EQ(v.number, 0);
    EXPECT_EQ(v.speed, 7);
    s.graphView.Axis = AxisMode::Time;
    EXPECT_EQ(DriftValuesOf(In(), 0).angle, 25);
}

// Cars only for laps that drift and while the drift switch is on; each
// row of numbers in its slot's colour; the dial is cached and rebuilt
// only when marked dirty or resized.
TEST_F(DriftViewTest, CursorLayerAndCache) {
    ShowDrifting(2);
    Drifting(0, 60, 270, 180, 90);   // 90 degrees: nose to the right
    Drifting(1, 60, 180, 180, 0);
    s.loadedLaps.LapDt[1].driftAct = false;
    DriftViewPane pane;
    pane.resize(400, 400);
    pane.SetHost(Host());
    QImage img = pane.Render();
    const QRgb red = QColor(255, 0, 0).rgb(), blue = QColor(0, 0, 255).rgb();
    int reds = 0, blues = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            reds += img.pixel(x, y) == red;
            blues += img.pixel(x, y) == blue;
        }
    EXPECT_GT(reds, 100);
    EXPECT_EQ(blues, 0);
    // The heading line crosses the dial horizontally for 90 degrees.
    const int th = QFontMetrics(pane.font()).height();
    const DriftGeom g = DriftGeomOf(pane.size(), th);
    EXPECT_TRUE(ColourNear(img, QPoint(g.cx + g.Ro - 4, g.cy), red, 1));
    // The car turns with the heading too: shoulders right of the centre, none up.
    const QPolygon car = DriftCarOutline(g, 90);
    EXPECT_TRUE(ColourNear(img, car[1], red, 1));
    EXPECT_TRUE(ColourNear(img, car[3], red, 1));
    EXPECT_FALSE(ColourNear(img, DriftCarOutline(g, 0)[1], red, 2));
    // Slot 0's numbers on the bottom row, th + 4 high; nothing red in the row above.
    const auto redIn = [&](int top, int bottom) {
        int n = 0;
        for (int y = std::max(top, 0); y < bottom; ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == red;
        return n;
    };
    EXPECT_GT(redIn(g.h - (th + 4), g.h), 0);
    EXPECT_EQ(redIn(g.h - 2 * (th + 4), g.h - (th + 4)), 0);
    EXPECT_EQ(pane.rebuilds(), 1);

    s.graphView.DriftOn = false;
    img = pane.Render();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ASSERT_NE(img.pixel(x, y), red);
    EXPECT_EQ(pane.rebuilds(), 1);
    pane.SetDirty();
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 2);
    pane.resize(300, 320);
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 3);
    // A pane too small for a dial draws white only.
    const QImage tiny = Draw(DrawCurDriftPicture, QSize(30, 30));
    EXPECT_EQ(tiny.pixel(15, 15), QColor(Qt::white).rgb());
}
