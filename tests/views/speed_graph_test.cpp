#include <gtest/gtest.h>
#include <QPainter>
#include <QTest>
#include "model/colors.h"
#include "views/g_traces.h"
#include "views/refresh_chain.h"
#include "views/speed_bars.h"
#include "views/speed_graph.h"
#include "views/speed_graph_pane.h"
#include "views/sub_graph.h"
#include "speed_graph_support.h"
#include "view_fixture.h"

using namespace vel;
using vel::test::MakeLap;
using vel::test::ShowLaps;
using vel::test::SynthLap;

namespace {

QFont TestFont() {
    QFont f;
    f.setPixelSize(12);
    return f;
}

QImage Blank(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

QImage RenderGraph(const Session& s, QSize size, bool picture = false) {
    QImage img = Blank(size);
    QPainter p(&img);
    p.setFont(TestFont());
    if (picture) DrawSpdPicture(p, img.rect(), PaneInputOf(s));
    else DrawSpeedGraph(p, img.rect(), PaneInputOf(s));
    return img;
}

SpeedGeometry GeometryFor(QSize size) {
    QImage probe = Blank(QSize(1, 1));
    return SpeedGeometryOf(QFontMetrics(TestFont(), &probe), size);
}

bool AllWhite(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != Qt::white) return false;
    return true;
}

// Two laps of 0.6 km: the reference at 90 km/h (110 at its first sample)
// with too few satellites from 0.4 to 0.5 km, the compared lap at 70 (50
// at its first sample).
void ShowTwoLaps(Session& s) {
        SynthLap a;
        a.spd = [](int i) { return i == 0 ? 110.0 : 90.0; };
        a.sats = [](int i) { return i > 400 && i <= 500 ? 2 : 10; };
        SynthLap b;
        b.spd = [](int i) { return i == 0 ? 50.0 : 70.0; };
        ShowLaps(s, {MakeLap(a, "0000"), MakeLap(b, "0001")});
        s.graphView.DriftOn = false;
}

struct SpeedGraphImage : ::testing::Test {
    Session s;
    SpeedGraphImage() { ShowTwoLaps(s); }
    int RowOf(const SpeedGeometry& g, double kmh) const {
        return g.T + g.H - Tr(g.H * (kmh - 50) / 60);
    }
};

} // namespace

TEST(SpeedGraphGeometry, PlotRectangleFromTheFontMeasures) {
    struct Case { int tw, th, tw9, w, h, L, T, W, H; };
    const Case cases[] = {
        {30, 12, 24, 600, 225, 38, 14, 530, 197},
        {27, 15, 22, 1600, 400, 35, 17, 1535, 366},
        {30, 12, 24, 70, 28, 38, 14, 0, 0},      // nothing left to draw in
        {30, 12, 24, 40, 20, 38, 14, -30, -8},
    };
    for (const Case& c : cases) {
        const SpeedGeometry g = SpeedGeometryOf(c.tw, c.th, c.tw9, QSize(c.w, c.h));
        EXPECT_EQ(g.L, c.L);
        EXPECT_EQ(g.T, c.T);
        EXPECT_EQ(g.W, c.W) << c.w;
        EXPECT_EQ(g.H, c.H) << c.h;
        EXPECT_EQ(g.drawable(), c.W > 0 && c.H > 0);
    }
}

TEST(SpeedGraphGeometry, DisplayWindowFollowsTheCursorWithinTheAxis) {
    struct Case { double A, p, z, s, w; };
    const Case cases[] = {
        {10, 5, 1, 0, 10},          // no zoom: the whole axis
        {10, 9.9, 0.5, 0, 10},
        {10, 0, 4, 0, 2.5},         // start
        {10, 1, 4, 0, 2.5},         // 10 %: [0, A/4]
        {10, 1.25, 4, 0, 2.5},      // exactly half a window in
        {10, 5, 4, 3.75, 2.5},      // middle: centred
        {10, 9.5, 4, 7.5, 2.5},     // 95 %: [3A/4, A]
        {10, 10, 16, 9.375, 0.625}, // end
        {90, 45, 2, 22.5, 45},
    };
    for (const Case& c : cases) {
        const AxisWindow win = AxisWindowOf(c.A, c.p, c.z);
        EXPECT_DOUBLE_EQ(win.s, c.s) << c.p << " z" << c.z;
        EXPECT_DOUBLE_EQ(win.w, c.w) << c.p << " z" << c.z;
    }
    // An empty axis shows nothing; no window to divide by.
    EXPECT_FALSE(AxisWindowOf(0, 0, 4).valid());
    EXPECT_FALSE(AxisWindowOf(0, 0, 1).valid());
    // x of an axis value: 38 + Trunc(530 * (5 - 3.75) / 2.5).
    EXPECT_EQ(AxisX(AxisWindowOf(10, 5, 4), 38, 530, 5), 303);
    EXPECT_EQ(AxisX(AxisWindowOf(10, 5, 4), 38, 530, 3.75), 38);
    // Far beyond the window stays a finite, clamped pixel.
    EXPECT_LT(AxisX(AxisWindowOf(10, 5, 4), 38, 530, 1e300), 1 << 21);
    EXPECT_EQ(Tr(std::nan("")), 0);
}

TEST(SpeedGraphTicks, StepsLabelsAndGrid) {
    struct Step { double w, km, feetW, feet, timeW, time; };
    const Step steps[] = {
        {1, 0.1, 1000, 100, 60, 10},         {1.01, 0.5, 1000.5, 500, 60.5, 30},
        {5, 0.5, 5000, 500, 300, 30},        {10, 1, 10000, 1000, 600, 60},
        {20, 2, 20000, 2000, 1800, 300},     {50, 5, 50000, 5000, 1801, 600},
        {100, 10, 100000, 10000, 7200, 600}, {200, 20, 200000, 20000, 7201, 3600},
        {500, 50, 500000, 50000, 7200, 600}, {501, 100, 1000001, 200000, 90000, 3600},
    };
    for (const Step& c : steps) {
        EXPECT_DOUBLE_EQ(DistTickStepKm(c.w), c.km) << c.w;
        EXPECT_DOUBLE_EQ(FeetTickStepFt(c.feetW), c.feet) << c.feetW;
        EXPECT_DOUBLE_EQ(TimeTickStep(c.timeW), c.time) << c.timeW;
    }
    // The first tick lies above the start; a tick at s + w is not drawn.
    EXPECT_EQ(AxisTicks(0, 1.2, 0.5), (QVector<double>{0.5, 1.0}));
    EXPECT_EQ(AxisTicks(0, 1.0, 0.5), (QVector<double>{0.5}));
    EXPECT_EQ(AxisTicks(30, 60, 10), (QVector<double>{40, 50, 60, 70, 80}));
    EXPECT_TRUE(AxisTicks(0, 0, 10).isEmpty());
    EXPECT_EQ(TimeTickLabel(10, 10), "0:10");
    EXPECT_EQ(TimeTickLabel(130, 60), "2:10");
    EXPECT_EQ(TimeTickLabel(600, 600), "0:10");
    EXPECT_EQ(TimeTickLabel(4200, 600), "1:10");

    struct Grid { double R; bool kmh; int step; };
    const Grid grids[] = {{250, true, 20}, {155.3, false, 10}, {10, true, 1}, {10.5, true, 10},
                          {200, true, 10}, {500, true, 20},    {501, true, 100}, {300, false, 10}};
    for (const Grid& g : grids) EXPECT_EQ(SpeedGridStep(g.R, g.kmh), g.step) << g.R << " " << g.kmh;
    // 40 to 120 km/h: lines at 50, 60 ... 120.
    const QVector<int> rows = SpeedGridRows(40, 120, true, 10, 160);
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows.front(), 10 + 160 - 20);
    EXPECT_EQ(rows.back(), 10);
    EXPECT_TRUE(SpeedGridRows(60, 60, true, 10, 160).isEmpty());
}

TEST_F(SpeedGraphImage, SlotColoursGreySegmentAndSectorLineAtTheirPixels) {
    s.sectorLines.SectNum = 1;
    s.comparison.DispSlot[0].SectStaDist[0] = 0.3L;
    const QSize size(700, 225);
    const QImage img = RenderGraph(s, size);
    const SpeedGeometry g = GeometryFor(size);
    const auto xAt = [&](double km) { return g.L + Tr(g.W * km / 0.6); };

    // Along the vertical line at 0.25 km: red at 90 km/h, blue at 70.
    const int x = xAt(0.25);
    EXPECT_EQ(img.pixelColor(x, RowOf(g, 90)), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(x, RowOf(g, 70)), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(x, RowOf(g, 80)), QColor(224, 224, 224));   // speed grid
    // Too few satellites: grey where the reference runs, the compared lap unchanged.
    EXPECT_EQ(img.pixelColor(xAt(0.45), RowOf(g, 90)), QColor(192, 192, 192));
    EXPECT_EQ(img.pixelColor(xAt(0.45), RowOf(g, 70)), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(xAt(0.55), RowOf(g, 90)), QColor(255, 0, 0));

    // The sector line, dotted black, in its column only.
    const int xs = xAt(0.3);
    int black = 0, besideBlack = 0;
    for (int y = g.T + 1; y < g.T + g.H; ++y) {
        black += img.pixelColor(xs, y) == Qt::black;
        besideBlack += img.pixelColor(xs + 1, y) == Qt::black || img.pixelColor(xs - 1, y) == Qt::black;
    }
    EXPECT_GT(black, g.H / 3);
    EXPECT_EQ(besideBlack, 0);
    // The frame and the alignment mark at the left edge while the window starts at 0.
    EXPECT_EQ(img.pixelColor(g.L + g.W, g.T + 20), QColor(192, 192, 192));
    EXPECT_EQ(img.pixelColor(g.L, g.T - 4), Qt::black);
}

TEST_F(SpeedGraphImage, ZoomedWindowShowsOnlyItsStretchAndTheMarkLeaves) {
    s.graphView.SpdZoom = 4;
    s.comparison.CurVal[0].Dist = 0.3L;   // window [0.225, 0.375]
    const QSize size(700, 225);
    const QImage img = RenderGraph(s, size);
    const SpeedGeometry g = GeometryFor(size);
    const AxisWindow win = AxisWindowOf(PaneInputOf(s));
    ASSERT_DOUBLE_EQ(win.s, 0.225);
    EXPECT_EQ(img.pixelColor(AxisX(win, g.L, g.W, 0.3), RowOf(g, 90)), QColor(255, 0, 0));
    EXPECT_NE(img.pixelColor(g.L, g.T - 4), Qt::black);
}

// Sector lines and labels against the window's edge, the tick labels and
// the compared laps.
TEST_F(SpeedGraphImage, SectorLabelsStandAtTheirLinesAndTickLabelsGiveWay) {
    const QSize size(700, 225);
    const SpeedGeometry g = GeometryFor(size);
    QImage probe = Blank(QSize(1, 1));
    const QFontMetrics fm(TestFont(), &probe);
    const int band = g.T + g.H + 2;
    s.sectorLines.SectNum = 1;
    // The columns of "km" right of a sector label centred on the 0.4 km tick:
    // white when the tick label gives way, written when the sector is elsewhere.
    struct Case { double sector; bool kmWritten; };
    const Case cases[] = {{0.4, false}, {0.35, true}};
    for (const Case& c : cases) {
        s.comparison.DispSlot[0].SectStaDist[0] = c.sector;
        const QImage img = RenderGraph(s, size);
        const int x = g.L + Tr(g.W * 0.4 / 0.6);
        const int from = x - fm.horizontalAdvance("0.4") / 2 + fm.horizontalAdvance("0.4k");
        const int to = x - fm.horizontalAdvance("0.4") / 2 + fm.horizontalAdvance("0.4km");
        ASSERT_GT(from, x + fm.horizontalAdvance("[S1] ") / 2) << "the case needs a tick label wider than the sector label";
        bool written = false;
        for (int y = band; y < band + fm.height(); ++y)
            for (int xx = from; xx < to; ++xx) written |= img.pixelColor(xx, y) != Qt::white;
        EXPECT_EQ(written, c.kmWritten) << c.sector;
    }

    // A sector line exactly at the zoomed window's start is drawn, over the frame.
    s.graphView.SpdZoom = 4;
    s.comparison.CurVal[0].Dist = 0.3L;   // window [0.225, 0.375]
    s.comparison.DispSlot[0].SectStaDist[0] = AxisWindowOf(PaneInputOf(s)).s;
    {
        const QImage img = RenderGraph(s, size);
        int black = 0;
        for (int y = g.T + 1; y < g.T + g.H; ++y) black += img.pixelColor(g.L, y) == Qt::black;
        EXPECT_GT(black, g.H / 3);
    }

    // On the time axis only the reference lap's sector ends are labelled.
    s.graphView.SpdZoom = 1;
    s.graphView.Axis = AxisMode::Time;
    s.comparison.DispSlot[0].SectTm[0] = 20;
    s.comparison.DispSlot[1].SectTm[0] = 40;
    const QImage img = RenderGraph(s, size);
    const AxisWindow win = AxisWindowOf(PaneInputOf(s));
    const auto bluish = [](QColor c) { return c.blue() > c.red() + 60 && c.blue() > c.green() + 60; };
    const auto reddish = [](QColor c) { return c.red() > c.blue() + 60 && c.red() > c.green() + 60; };
    int blue = 0, red = 0;
    for (int y = band; y < band + fm.height(); ++y)
        for (int dx = -15; dx <= 15; ++dx) {
            blue += bluish(img.pixelColor(AxisX(win, g.L, g.W, 40) + dx, y));
            red += reddish(img.pixelColor(AxisX(win, g.L, g.W, 20) + dx, y));
        }
    EXPECT_GT(red, 0);
    EXPECT_EQ(blue, 0);
}

// The position bar runs from the plot's top row to its bottom frame row
// inclusive: red on the distance axis, black on time.
TEST_F(SpeedGraphImage, PositionBarCoversThePlotHeight) {
    const QSize size(700, 225);
    const SpeedGeometry g = GeometryFor(size);
    s.comparison.CurVal[0].Dist = 0.3L;
    s.comparison.PlayTm = 30;
    struct Case { AxisMode axis; QColor colour; };
    const Case cases[] = {{AxisMode::Dist, Qt::red}, {AxisMode::Time, Qt::black}};
    for (const Case& c : cases) {
        s.graphView.Axis = c.axis;
        QImage img = Blank(size);
        {
            QPainter p(&img);
            p.setFont(TestFont());
            DrawPosBar(p, img.rect(), PaneInputOf(s));
        }
        const AxisWindow win = AxisWindowOf(PaneInputOf(s));
        const int x = AxisX(win, g.L, g.W, win.p);
        EXPECT_EQ(img.pixelColor(x, g.T - 1), Qt::white);
        EXPECT_EQ(img.pixelColor(x, g.T), c.colour);
        EXPECT_EQ(img.pixelColor(x, g.T + g.H), c.colour);
        EXPECT_EQ(img.pixelColor(x, g.T + g.H + 1), Qt::white);
    }
}

TEST_F(SpeedGraphImage, NothingButWhiteWithoutRangeRoomOrTime) {
    struct Case { const char* what; std::function<void(Session&)> change; QSize size; };
    const Case cases[] = {
        {"flat speed", [](Session& t) { t.comparison.DispMinSpd = t.comparison.DispMaxSpd; }, {600, 225}},
        {"no distance", [](Session& t) { t.comparison.DispLapDist = 0; }, {600, 225}},
        {"no time", [](Session& t) { t.comparison.DispLapSec = 0; }, {600, 225}},
        {"no width", [](Session&) {}, {60, 225}},
        {"no height", [](Session&) {}, {600, 30}},
    };
    for (const Case& c : cases) {
        Session t;
        ShowTwoLaps(t);
        c.change(t);
        EXPECT_TRUE(AllWhite(RenderGraph(t, c.size))) << c.what;
        EXPECT_TRUE(AllWhite(RenderGraph(t, c.size, true))) << c.what;
    }
    // Without a reference lap: only the frame and the unit label.
    Session t;
    ShowTwoLaps(t);
    t.comparison.DispSlot[0].Active = false;
    t.comparison.DispSlot[1].Active = false;
    const QImage img = RenderGraph(t, {600, 225});
    const SpeedGeometry g = GeometryFor({600, 225});
    EXPECT_EQ(img.pixelColor(g.L, g.T + 30), QColor(192, 192, 192));
    EXPECT_EQ(img.pixelColor(g.L + 100, RowOf(g, 90)), Qt::white);
}

// The pane as the program shows it: the bar over the picture, the picture
// redrawn only when what it shows changed, and the clicks.
struct SpeedGraphPaneTest : vel::test::ViewFixture {
    SpeedGraphPane pane;
    SpeedGraphPaneTest() {
        SynthLap a;
        a.spd = [](int i) { return 60 + (i % 50); };
        SynthLap b;
        b.samples = 501;
        ShowLaps(s, {MakeLap(a, "0000"), MakeLap(b, "0001")});
        pane.setFont(TestFont());
        pane.resize(700, 225);
        pane.show();
        pane.SetHost({&s, &graphs, &video});
        CalCursorValues(s.loadedLaps, s.comparison);
    }
    SpeedGeometry g() const { return pane.Geometry(); }
    int BarX() const {
        const AxisWindow win = AxisWindowOf(PaneInputOf(s));
        return AxisX(win, pane.Geometry().L, pane.Geometry().W, win.p);
    }
    void Click(QPoint at, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(&pane, b, {}, at); }
};

TEST_F(SpeedGraphPaneTest, CursorMovesRedrawOnlyTheBar) {
    playTm() = 15;
    CalCursorValues(s.loadedLaps, s.comparison);
    QImage first = pane.Render();
    const int draws = pane.plotDraws();
    const int bar1 = BarX();
    EXPECT_EQ(first.pixelColor(bar1, g().T + 1), QColor(Qt::red));
    playTm() = 40;
    CalCursorValues(s.loadedLaps, s.comparison);
    QImage second = pane.Render();
    EXPECT_EQ(pane.plotDraws(), draws);
    EXPECT_EQ(second.pixelColor(BarX(), g().T + 1), QColor(Qt::red));
    EXPECT_NE(second.pixelColor(bar1, g().T + 1), QColor(Qt::red));
    // Black on the time axis, and the axis change draws the plot again.
    s.graphView.Axis = AxisMode::Time;
    QImage third = pane.Render();
    EXPECT_EQ(pane.plotDraws(), draws + 1);
    EXPECT_EQ(third.pixelColor(BarX(), g().T + 1), QColor(Qt::black));
    // Zoomed, the window follows the cursor: the plot is drawn again.
    s.graphView.SpdZoom = 4;
    pane.Render();
    playTm() = 30;
    CalCursorValues(s.loadedLaps, s.comparison);
    pane.Render();
    EXPECT_EQ(pane.plotDraws(), draws + 3);
    // The export picture never carries the bar.
    const QImage pic = RenderGraph(s, pane.size(), true);
    EXPECT_NE(pic.pixelColor(BarX(), g().T + 1), QColor(Qt::black));
}

TEST_F(SpeedGraphPaneTest, LeftClickMovesThePlayTimeToTheColumnClicked) {
    struct Case { AxisMode axis; double zoom; double cursorSec; };
    const Case cases[] = {{AxisMode::Dist, 1, 0},  {AxisMode::Time, 1, 0},  {AxisMode::Dist, 4, 30},
                          {AxisMode::Time, 4, 58}, {AxisMode::Dist, 16, 1}, {AxisMode::Time, 2, 59}};
    for (const Case& c : cases) {
        s.graphView.Axis = c.axis;
        s.graphView.SpdZoom = c.zoom;
        for (double frac : {0.0, 0.5, 1.0}) {
            playTm() = c.cursorSec;
            CalCursorValues(s.loadedLaps, s.comparison);
            const AxisWindow before = AxisWindowOf(PaneInputOf(s));
            const int x = g().L + Tr(g().W * frac);
            log.calls.clear();
            Click(QPoint(x, g().T + g().H / 2));
            const double a = c.axis == AxisMode::Time ? static_cast<double>(playTm())
                                                      : static_cast<double>(s.comparison.CurVal[0].Dist);
            EXPECT_LE(std::abs(AxisX(before, g().L, g().W, a) - x), 1)
                << int(c.axis) << " z" << c.zoom << " frac " << frac;
            EXPECT_TRUE(log.calls.contains("PaintBoxSpdPaint"));
        }
    }
    // Time axis: PlayTm = s + (X - L) * w / W exactly.
    s.graphView.Axis = AxisMode::Time;
    s.graphView.SpdZoom = 1;
    Click(QPoint(g().L + 100, g().T));
    EXPECT_NEAR(static_cast<double>(playTm()), 100.0 * 60 / g().W, 1e-9);
}

TEST_F(SpeedGraphPaneTest, ClicksOutsideThePlotOrWithoutAReferenceDoNothing) {
    playTm() = 7;
    CalCursorValues(s.loadedLaps, s.comparison);
    const QPoint outside[] = {{g().L - 1, g().T + 5}, {g().L + 5, g().T + g().H + 1}, {g().L + g().W + 1, g().T},
                              {g().L + 5, g().T - 1}};
    for (QPoint at : outside) {
        Click(at);
        EXPECT_EQ(playTm(), 7) << at.x() << "," << at.y();
    }
    // The frame itself counts.
    s.graphView.Axis = AxisMode::Time;
    Click(QPoint(g().L + g().W, g().T + g().H));
    EXPECT_NEAR(static_cast<double>(playTm()), 60, 1e-9);

    // Right click: only while stopped, anywhere in the pane.
    QPoint asked(-1, -1);
    pane.onPopup = [&](QPoint at) { asked = at; };
    s.graphView.PopupSrc = 3;
    s.graphView.Playing = true;
    Click(QPoint(2, 2), Qt::RightButton);
    EXPECT_EQ(s.graphView.PopupSrc, 3);
    s.graphView.Playing = false;
    Click(QPoint(2, 2), Qt::RightButton);
    EXPECT_EQ(s.graphView.PopupSrc, 0);
    EXPECT_NE(asked, QPoint(-1, -1));

    // An empty time axis or no room: clicks are ignored, nothing divides by zero.
    playTm() = 7;
    s.comparison.DispLapSec = 0;
    Click(QPoint(g().L + 10, g().T + 10));
    EXPECT_EQ(playTm(), 7);
    s.comparison.DispLapSec = 60;
    pane.resize(60, 225);
    Click(QPoint(g().L, g().T + 10));
    EXPECT_EQ(playTm(), 7);
    pane.resize(700, 225);
    s.comparison.DispSlot[0].Active = false;
    Click(QPoint(g().L + 10, g().T + 10));
    EXPECT_EQ(playTm(), 7);
}

TEST(SpeedGraphClick, DistanceToTimeOnTheReferenceLap) {
    TLapDtRec lap;
    const double d[] = {0.01, 0.02, 0.04, 0.04, 0.07};
    for (int i = 0; i < 5; ++i) {
        TLapElmRec e;
        e.Sec = i;
        e.Dist = d[i];
        lap.Elm << e;
    }
    lap.ElmNum = 5;
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 0.0), 0);    // before the first sample
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 0.02), 1);   // exact: no interpolation
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 0.03), 1.5);
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 0.04), 2);   // first of two equal distances
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 0.05), 3 + 1.0 / 3);
    EXPECT_DOUBLE_EQ(LapSecAtDist(lap, 9.0), 4);    // beyond the last
    EXPECT_DOUBLE_EQ(LapSecAtDist(TLapDtRec{}, 1), 0);
}

TEST(SpeedGraphSubGraph, ScaleFollowsItsPrecedence) {
    struct Case {
        AxisMode axis;
        bool diffOn, diffCurve, xyg, drift, driftData, alt;
        bool diff, g, driftScale, deg, altLabels, altCurve;
    };
    const auto D = AxisMode::Dist;
    const auto T = AxisMode::Time;
    const Case cases[] = {
        {D, true, true, false, true, true, false, /**/ true, false, false, false, false, false},
        {T, true, true, false, true, true, false, /**/ false, false, true, true, false, false},
        {D, true, false, false, true, true, false, /**/ false, false, true, true, false, false},
        {D, true, true, true, false, false, true, /**/ true, false, false, false, false, true},
        {D, false, true, true, true, true, false, /**/ false, true, false, false, false, false},
        {D, false, true, false, true, false, true, /**/ false, false, false, false, true, true},
        {D, false, true, false, true, true, true, /**/ false, false, true, false, true, true},
        {T, true, true, true, false, false, true, /**/ false, true, false, false, false, true},
        {D, false, false, false, false, false, false, /**/ false, false, false, false, false, false},
        {D, false, false, false, false, true, true, /**/ false, false, false, false, true, true},
    };
    int row = 0;
    for (const Case& c : cases) {
        Session s;
        SynthLap a;
        a.spd = [](int i) { return 60.0 + i % 10; };
        SynthLap b = a;
        ShowLaps(s, {MakeLap(a), MakeLap(b, "0001")});
        s.loadedLaps.LapDt[1].driftAct = c.driftData;
        s.comparison.DeltaTm = decltype(s.comparison.DeltaTm)(601, 0);
        if (c.diffCurve) {
            s.comparison.DeltaTm[300] = 1.5L;
            s.comparison.DeltaTmMax = 1.5L;
        }
        s.graphView.Axis = c.axis;
        s.graphView.DiffTmOn = c.diffOn;
        s.graphView.XYGOn = c.xyg;
        s.graphView.DriftOn = c.drift;
        s.graphView.AltitudeOn = c.alt;
        const SubGraphChoice ch = ChooseSubGraph(PaneInputOf(s));
        EXPECT_EQ(ch.diffTm, c.diff) << row;
        EXPECT_EQ(ch.gScale, c.g) << row;
        EXPECT_EQ(ch.driftScale, c.driftScale) << row;
        EXPECT_EQ(ch.driftDegLabels, c.deg) << row;
        EXPECT_EQ(ch.altLabels, c.altLabels) << row;
        EXPECT_EQ(ch.altCurve, c.altCurve) << row;
        if (c.driftData) {
            EXPECT_EQ(ch.driftSlot, 1) << row;
        }
        ++row;
    }
    // A single lap never shows the time difference.
    Session one;
    ShowLaps(one, {MakeLap(SynthLap{})});
    one.comparison.DeltaTmMax = 1;
    EXPECT_FALSE(DiffTmDrawable(PaneInputOf(one)));
}

TEST(SpeedGraphSubGraph, TimeDifferenceCurveAndZeroLineInBlack) {
    Session s;
    SynthLap a;
    a.spd = [](int i) { return i == 0 ? 100.0 : 60.0; };   // along the bottom edge
    ShowLaps(s, {MakeLap(a), MakeLap(a, "0001")});
    s.graphView.DriftOn = false;
    s.comparison.DeltaTm = decltype(s.comparison.DeltaTm)(601, 0);
    for (int i = 300; i < 601; ++i) s.comparison.DeltaTm[i] = 2;
    s.comparison.DeltaTmMin = -2;
    s.comparison.DeltaTm[0] = -2;
    s.comparison.DeltaTmMax = 2;
    const QSize size(700, 225);
    const QImage img = RenderGraph(s, size);
    const SpeedGeometry g = GeometryFor(size);
    // Zero at mid-height until 0.3 km, +2 on the top edge after it.
    const int y0 = g.T + g.H - Tr(g.H * 2.0 / 4);
    EXPECT_EQ(img.pixelColor(g.L + g.W / 4, y0), Qt::black);
    EXPECT_EQ(img.pixelColor(g.L + (3 * g.W) / 4, g.T), Qt::black);
    // The step at 0.3 km joins the two levels.
    const int xStep = g.L + Tr(g.W * 0.3 / 0.6), yMid = (y0 + g.T) / 2;
    EXPECT_TRUE(img.pixelColor(xStep, yMid) == Qt::black || img.pixelColor(xStep - 1, yMid) == Qt::black);
}

TEST(SpeedGraphGTraces, RowsOfTheFullScale) {
    const int gT = 10, gH = 200;
    EXPECT_EQ(GTraceY(1.0, 2.0, true, gT, gH), gT + 150 - 50);
    EXPECT_EQ(GTraceY(0.0, 2.0, true, gT, gH), gT + 150);
    EXPECT_EQ(GTraceY(-2.0, 2.0, false, gT, gH), gT + 150);
    EXPECT_EQ(GTraceY(2.0, 2.0, false, gT, gH), gT + 50);
    EXPECT_EQ(GTraceY(0.0, 2.0, false, gT, gH), gT + 100);
    EXPECT_DOUBLE_EQ(static_cast<double>(GFullScale(9)), 2.0);
}

TEST(SpeedGraphGTraces, ThreeSampleLapDrawsOneLevelLine) {
    Session s;
    SynthLap a;
    a.samples = 3;
    a.spd = [](int i) { return 50.0 + i; };
    a.lateG = [](int i) { return i == 1 ? 1.0 : 0.0; };
    ShowLaps(s, {MakeLap(a)});
    s.graphView.XYGOn = true;
    s.graphView.GSel = GChoice::X;
    QImage img = Blank({400, 200});
    QPainter p(&img);
    const QRect plot(20, 10, 300, 160);
    DrawXG(p, plot, PaneInputOf(s), 0, TraceColor(0));
    p.end();
    const int y = GTraceY(1.0, 2.0, false, plot.top(), plot.height());
    const int xEnd = 20 + Tr(300 * 0.001 / 0.002);   // sample 1 halfway along the axis
    EXPECT_EQ(img.pixelColor(20, y), TraceColor(0));
    EXPECT_EQ(img.pixelColor(20 + 100, y), TraceColor(0));
    EXPECT_EQ(img.pixelColor(xEnd + 2, y), Qt::white);
    // One or two samples: no trace.
    Session two;
    a.samples = 2;
    ShowLaps(two, {MakeLap(a)});
    QImage none = Blank({400, 200});
    QPainter q(&none);
    DrawXYG2(q, plot, PaneInputOf(two), 0, TraceColor(0));
    q.end();
    EXPECT_TRUE(AllWhite(none));
}

TEST(SpeedGraphBars, SpeedAndGAtTheCursorInEachSlotsColumn) {
    EXPECT_DOUBLE_EQ(CutG(-0.567), -0.56);
    EXPECT_DOUBLE_EQ(CutG(0.29), 0.29);
    EXPECT_DOUBLE_EQ(CutG(1.999), 1.99);
    EXPECT_EQ(QString::asprintf("%6.2f", 85.4), " 85.40");

    Session s;
    SynthLap a;
    a.spd = [](int i) { return 40.0 + i % 81; };   // 40 to 120 km/h
    ShowLaps(s, {MakeLap(a), MakeLap(a, "0001"), MakeLap(a, "0002")});
    s.comparison.DispSlot[1].Active = false;
    s.comparison.CurVal[0].DistSpd = 120;
    s.comparison.CurVal[2].DistSpd = 80;
    s.comparison.CurVal[2].Spd = 40;
    QImage img = Blank({68, 225});
    QPainter p(&img);
    p.setFont(TestFont());
    DrawSpeedBars(p, img.rect(), PaneInputOf(s));
    p.end();
    const int h = QFontMetrics(TestFont(), &img).height();
    const int top = h + 2, bottom = 225 - h - 2;
    const int mid = (top + bottom) / 2;
    EXPECT_EQ(img.pixelColor(SpeedBarX0(0) + 13, top + 1), QColor(255, 0, 0));      // full height
    EXPECT_EQ(img.pixelColor(SpeedBarX0(2) + 13, mid + 2), QColor(0, 128, 128));    // half height
    EXPECT_EQ(img.pixelColor(SpeedBarX0(2) + 13, mid - 4), Qt::white);
    for (int y = 0; y < 225; ++y) EXPECT_EQ(img.pixelColor(SpeedBarX0(1) + 7, y), Qt::white) << y;
    // On the time axis the time-matched speed counts: a bar of no height.
    s.graphView.Axis = AxisMode::Time;
    QImage t = Blank({68, 225});
    QPainter q(&t);
    q.setFont(TestFont());
    DrawSpeedBars(q, t.rect(), PaneInputOf(s));
    q.end();
    EXPECT_NE(t.pixelColor(SpeedBarX0(2) + 13, bottom - 1), QColor(0, 128, 128));
    // A flat speed range: plain white.
    s.comparison.DispMaxSpd = s.comparison.DispMinSpd;
    QImage w = Blank({68, 225});
    QPainter r(&w);
    DrawSpeedBars(r, w.rect(), PaneInputOf(s));
    r.end();
    EXPECT_TRUE(AllWhite(w));
}

// A curve with more samples than columns drawn column by column: every
// sample's pixel painted, each column's extent that of joining every sample
// to within the pixel where a join is split, and the picture written straight
// into the image the one the painter gives. With fewer samples than columns
// nothing is merged.
TEST(SpeedGraphDecimation, ColumnsCoverEverySampleAsJoiningThemAll) {
    struct Case {
        const char* what;
        int samples;
        std::function<double(int)> spd;
        std::function<int(int)> sats;
        bool zoom;
        int width;
    };
    const Case cases[] = {
        {"noise", 36000, [](int i) { return 80 + 30 * std::sin(i * 0.37) + (i * 7919 % 13); },
         [](int) { return 10; }, false, 300},
        {"single-sample peaks", 20000, [](int i) { return i % 997 == 0 ? 190.0 : 60.0 + (i % 5); },
         [](int) { return 10; }, false, 400},
        {"few satellites in runs", 30000, [](int i) { return 100 + 50 * std::sin(i * 0.01); },
         [](int i) { return (i / 700) % 3 == 0 ? 2 : 10; }, false, 250},
        {"zoomed", 36000, [](int i) { return 60 + (i * 31 % 97); }, [](int) { return 10; }, true, 500},
        {"fewer samples than columns", 200, [](int i) { return 60 + (i * 13 % 50); }, [](int) { return 10; },
         false, 600},
    };
    for (const Case& c : cases) {
        Session s;
        SynthLap a;
        a.samples = c.samples;
        a.spd = c.spd;
        a.sats = c.sats;
        ShowLaps(s, {MakeLap(a)});
        if (c.zoom) {
            s.graphView.SpdZoom = 8;
            s.comparison.CurVal[0].Dist = s.comparison.DispLapDist / 2;
        }
        const PaneInput in = PaneInputOf(s);
        const QRect plot(10, 10, c.width, 180);
        const TLapElmRec* e = s.loadedLaps.LapDt[0].Elm.constData();
        const auto posOf = [=](int i) { return static_cast<double>(e[i].Dist); };
        const auto rowOf = [=](int i) { return 190 - Tr(180 * (static_cast<double>(e[i].Spd) - 40) / 160); };
        const auto draw = [&](bool decimate, QImage::Format format) {
            QImage img = Blank({c.width + 20, 200}).convertToFormat(format);
            QPainter p(&img);
            CurveFrame f = CurveFrameOf(plot, in);
            f.decimate = decimate;
            auto curve = MakeCurve(0, c.samples - 1, posOf, rowOf, [=](int i) { return e[i].UseSat >= 4 ? 0 : 1; });
            curve.keepLastColour = true;
            PlotCurve(p, f, curve, {QColor(255, 0, 0), QColor(192, 192, 192)}, 1);
            p.end();
            return img.convertToFormat(QImage::Format_RGB32);
        };
        const QImage all = draw(false, QImage::Format_RGB32), merged = draw(true, QImage::Format_RGB32);
        // 24-bit pixels go through the painter's own rectangle fill.
        EXPECT_EQ(merged, draw(true, QImage::Format_RGB888)) << c.what;
        if (c.samples <= c.width) {
            EXPECT_EQ(all, merged) << c.what;
            continue;
        }
        const AxisWindow win = CurveFrameOf(plot, in).win;
        int missed = 0;
        for (int i = 0; i + 1 < c.samples; ++i) {   // a line's end pixel is left out
            const double a = posOf(i);
            if (a < win.s || a > win.s + win.w) continue;
            missed += merged.pixelColor(AxisX(win, plot.left(), plot.width(), a), rowOf(i)) == Qt::white;
        }
        EXPECT_EQ(missed, 0) << c.what;
        for (int x = 0; x < all.width(); ++x) {
            int lo1 = -1, hi1 = -1, lo2 = -1, hi2 = -1;
            for (int y = 0; y < all.height(); ++y) {
                if (all.pixelColor(x, y) != Qt::white) { if (lo1 < 0) lo1 = y; hi1 = y; }
                if (merged.pixelColor(x, y) != Qt::white) { if (lo2 < 0) lo2 = y; hi2 = y; }
            }
            EXPECT_EQ(lo1 < 0, lo2 < 0) << c.what << " column " << x;
            EXPECT_NEAR(lo1, lo2, 1) << c.what << " column " << x;
            EXPECT_NEAR(hi1, hi2, 1) << c.what << " column " << x;
        }
    }
}

// A 2-pixel trace (G traces, drift angle) is a band two pixels across in
// every direction: no row and no column holds a lone pixel of it, steep
// rises and falls included, drawn sample by sample or column by column.
TEST(SpeedGraphDecimation, TwoPixelTracesAreTwoPixelsWideEveryWay) {
    struct Case {
        const char* what;
        int samples;
        std::function<double(int)> row;
        int width;
    };
    const Case cases[] = {
        {"steep zigzag, sample by sample", 40, [](int i) { return i % 2 ? 20.0 : 170.0; }, 400},
        {"steep rise then flat", 30, [](int i) { return i < 10 ? 170.0 - 15 * i : 25.0 + (i % 3); }, 400},
        {"gentle waves", 60, [](int i) { return 100 + 30 * std::sin(i * 0.3); }, 500},
        {"slopes near the diagonal", 20, [](int i) { return 20.0 + i * (i % 2 ? 8.5 : 9.5); }, 180},
        {"steep waves, column by column", 4000, [](int i) { return 100 + 80 * std::sin(i * 0.01); }, 300},
        {"noise, column by column", 20000, [](int i) { return 100 + 60 * std::sin(i * 0.37) + (i * 7919 % 13); },
         250},
    };
    const QColor red(255, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage img = Blank({c.width + 20, 200});
        {
            QPainter p(&img);
            const QRect plot(10, 5, c.width, 190);
            const CurveFrame f{plot, AxisWindowOf(c.samples - 1, 0, 1), true};
            auto curve = MakeCurve(0, c.samples - 1, [](int i) { return double(i); },
                                   [&](int i) { return Tr(c.row(i)); });
            PlotCurve(p, f, curve, {red}, 2);
        }
        // Drawn sample by sample, a bend may end in a point of one pixel,
        // as any pen's does: pixels next to a sample are not counted there.
        const auto nearSample = [&](int x, int y) {
            if (c.samples > c.width) return false;
            for (int i = 0; i < c.samples; ++i) {
                const int sx = 10 + Tr(double(c.width) * i / (c.samples - 1));
                if (std::abs(sx - x) <= 2 && std::abs(Tr(c.row(i)) - y) <= 2) return true;
            }
            return false;
        };
        int loneInRow = 0, loneInColumn = 0, painted = 0;
        const auto on = [&](int x, int y) { return img.valid(x, y) && img.pixelColor(x, y) == red; };
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                if (!on(x, y)) continue;
                ++painted;
                if (nearSample(x, y)) continue;
                loneInRow += !on(x - 1, y) && !on(x + 1, y);
                loneInColumn += !on(x, y - 1) && !on(x, y + 1);
            }
        EXPECT_GT(painted, c.width);
        EXPECT_EQ(loneInRow, 0);
        EXPECT_EQ(loneInColumn, 0);
    }
}
