// The control-line dialog's map as functions: projection, the drag modes,
// the wheel and what the back buffer and the overlay draw.
#include <cmath>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include "import/course_map_view.h"
#include "model/session.h"

using namespace vel;

namespace {

TLogRect Rect(long double i0, long double i1, long double k0, long double k1) {
    TLogRect r;
    r.IdoMin = i0;
    r.IdoMax = i1;
    r.KdoMin = k0;
    r.KdoMax = k1;
    return r;
}

TEST(MapProjection, FitsTheViewIntoTheUsableBox) {
    struct Case {
        const char* name;
        TLogRect view;
        int W, H;
        bool valid;
        int x0, y0, Dw, Dh;
    };
    // 449 x 449: a box of 400 x 400 at (24, 24). At 35 degrees a square of
    // degrees is 0.819 as wide as high.
    const std::vector<Case> cases = {
        {"fitted to the height", Rect(35, 35.01L, 139, 139.01L), 449, 449, true, 60, 24, 327, 400},
        {"fitted to the width", Rect(35, 35.001L, 139, 139.01L), 449, 449, true, 24, 200, 400, 48},
        {"odd sizes", Rect(35, 35.01L, 139, 139.01L), 500, 300, true, 152, 30, 196, 240},
        {"too small", Rect(35, 35.01L, 139, 139.01L), 64, 200, false, 0, 0, 0, 0},
        {"no rows left", Rect(35, 35.01L, 139, 139.01L), 200, 40, false, 0, 0, 0, 0},
        {"inverted (no sample)", TLogRect{}, 449, 449, true, 24, 24, 400, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MapProjection m = MakeProjection(c.view, c.W, c.H);
        ASSERT_EQ(m.valid, c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(m.x0, c.x0);
        EXPECT_EQ(m.y0, c.y0);
        EXPECT_EQ(m.Dw, c.Dw);
        EXPECT_EQ(m.Dh, c.Dh);
        // The view's corners are the drawn area's corners.
        EXPECT_EQ(m.ToPixel(m.view.IdoMin, m.view.KdoMin), QPoint(m.x0, m.y0 + m.Dh));
        EXPECT_EQ(m.ToPixel(m.view.IdoMax, m.view.KdoMax), QPoint(m.x0 + m.Dw, m.y0));
        // And back, to the pixel.
        long double ido = 0, kdo = 0;
        m.ToPos(m.x0 + 10, m.y0 + 20, ido, kdo);
        EXPECT_NEAR(static_cast<double>(kdo - m.view.KdoMin), 10.0 / m.Dw * static_cast<double>(m.dLon), 1e-12);
        EXPECT_NEAR(static_cast<double>(m.view.IdoMax - ido), 20.0 / m.Dh * static_cast<double>(m.dLat), 1e-12);
    }
}

TEST(MapProjection, AViewWithoutExtentIsWidenedAndFarPointsClamped) {
    // Every selected sample at one place, or on one meridian.
    for (const TLogRect& r : {Rect(35.5L, 35.5L, 139.25L, 139.25L), Rect(35.5L, 35.6L, 139.25L, 139.25L)}) {
        const MapProjection m = MakeProjection(r, 600, 500);
        ASSERT_TRUE(m.valid);
        EXPECT_NEAR(static_cast<double>(m.dLon), static_cast<double>(MinViewSpanDeg), 1e-12);
        const QPoint p = m.ToPixel(35.5L, 139.25L);
        EXPECT_NEAR(p.x(), m.x0 + m.Dw / 2, 1);
    }
    const MapProjection m = MakeProjection(Rect(35, 35.0001L, 139, 139.0001L), 600, 500);
    for (const QPoint p : {m.ToPixel(-89, -179), m.ToPixel(89, 179), m.ToPixel(NAN, INFINITY)}) {
        EXPECT_LE(std::abs(p.x()), MaxPixelCoord);
        EXPECT_LE(std::abs(p.y()), MaxPixelCoord);
    }
    EXPECT_FALSE(MakeProjection(Rect(NAN, 1, 2, 3), 600, 500).valid);
}

// A 449 x 449 map of a small view and lines given in pixels.
struct DragFixture : ::testing::Test {
    MapProjection proj = MakeProjection(Rect(35, 35.01L, 139, 139.01L), 449, 449);
    LineChoice lines;
    MapDrag d;
    TLogRect view = Rect(35, 35.01L, 139, 139.01L);

    LineEnds At(QPoint a, QPoint b) const {
        LineEnds e;
        proj.ToPos(a.x(), a.y(), e.Ido1, e.Kdo1);
        proj.ToPos(b.x(), b.y(), e.Ido2, e.Kdo2);
        return e;
    }
    void Drag(MapTool tool, QPoint from, QPoint to) {
        MapPress(d, tool, from, lines, proj);
        MapMove(d, (from + to) / 2, lines, proj);
        MapMove(d, to, lines, proj);
        MapRelease(d, to, lines, proj, view);
    }
};

TEST_F(DragFixture, PressPicksTheModeByToolAndPointer) {
    // The control or start line from (100,100) to (100,200); the finish line
    // from (300,100) to (300,200).
    struct Case {
        const char* name;
        MapTool tool;
        bool ctrl, sta, fin;   // set before
        QPoint press;
        int mode;
        bool ctrlAfter, staAfter, finAfter;
    };
    const std::vector<Case> cases = {
        {"zoom box", MapTool::Rect, true, false, true, QPoint(100, 100), 0, true, false, true},
        {"control end 1", MapTool::Ctrl, true, false, false, QPoint(103, 97), 4, true, false, false},
        {"control end 2", MapTool::Ctrl, true, false, false, QPoint(100, 200), 5, true, false, false},
        {"4 pixels off is a new line", MapTool::Ctrl, true, false, false, QPoint(104, 100), 1, false, false,
         false},
        {"new control line", MapTool::Ctrl, false, true, true, QPoint(200, 150), 1, false, false, false},
        {"control tool at a start line's end", MapTool::Ctrl, false, true, false, QPoint(100, 100), 1, false,
         false, false},
        {"start end 1", MapTool::Sta, false, true, true, QPoint(100, 100), 6, false, true, true},
        {"start end 2", MapTool::Sta, false, true, true, QPoint(98, 202), 7, false, true, true},
        {"start tool at a control line's end", MapTool::Sta, true, false, false, QPoint(100, 100), 2, false,
         false, false},
        {"new start line", MapTool::Sta, false, true, true, QPoint(200, 150), 2, false, false, true},
        {"finish end 1", MapTool::Fin, false, true, true, QPoint(300, 100), 8, false, true, true},
        {"finish end 2", MapTool::Fin, false, true, true, QPoint(300, 203), 9, false, true, true},
        {"new finish line", MapTool::Fin, true, false, true, QPoint(200, 150), 3, false, false, false},
        {"finish tool at the start line", MapTool::Fin, false, true, true, QPoint(100, 100), 3, false, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines = LineChoice{};
        lines.CtrlLine = At({100, 100}, {100, 200});
        lines.FinLine = At({300, 100}, {300, 200});
        lines.CtrlLineSet = c.ctrl;
        lines.StaLineSet = c.sta;
        lines.FinLineSet = c.fin;
        d = MapDrag{};
        MapPress(d, c.tool, c.press, lines, proj);
        EXPECT_TRUE(d.MbDragging);
        EXPECT_EQ(d.MbDragMode, c.mode);
        EXPECT_EQ(lines.CtrlLineSet, c.ctrlAfter);
        EXPECT_EQ(lines.StaLineSet, c.staAfter);
        EXPECT_EQ(lines.FinLineSet, c.finAfter);
    }
}

TEST_F(DragFixture, NewLinesAreMirroredAboutThePress) {
    Drag(MapTool::Ctrl, {200, 150}, {210, 120});
    ASSERT_TRUE(lines.CtrlLineSet);
    EXPECT_FALSE(d.MbDragging);
    EXPECT_EQ(proj.ToPixel(lines.CtrlLine.Ido1, lines.CtrlLine.Kdo1), QPoint(210, 120));
    EXPECT_EQ(proj.ToPixel(lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2), QPoint(190, 180));

    // Start and finish: both kept, the control line gone.
    Drag(MapTool::Sta, {100, 150}, {100, 130});
    Drag(MapTool::Fin, {300, 150}, {300, 170});
    EXPECT_FALSE(lines.CtrlLineSet);
    EXPECT_TRUE(lines.StaLineSet && lines.FinLineSet);
    EXPECT_EQ(proj.ToPixel(lines.FinLine.Ido1, lines.FinLine.Kdo1), QPoint(300, 170));
    EXPECT_EQ(proj.ToPixel(lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2), QPoint(100, 170));

    // A plain click with the finish tool clears only the finish line.
    Drag(MapTool::Fin, {250, 250}, {250, 250});
    EXPECT_TRUE(lines.StaLineSet);
    EXPECT_FALSE(lines.FinLineSet);
    // Released at the press point: nothing set, everything cleared.
    Drag(MapTool::Ctrl, {250, 250}, {250, 250});
    EXPECT_FALSE(lines.CtrlLineSet || lines.StaLineSet || lines.FinLineSet);
}

TEST_F(DragFixture, MovingAnEndOntoTheOtherClearsTheLine) {
    Drag(MapTool::Sta, {100, 150}, {100, 130});   // ends (100,130) and (100,170)
    ASSERT_TRUE(lines.StaLineSet);
    Drag(MapTool::Sta, {101, 171}, {120, 160});   // end 2 moved
    EXPECT_EQ(d.MbDragMode, 7);
    EXPECT_TRUE(lines.StaLineSet);
    EXPECT_EQ(proj.ToPixel(lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2), QPoint(120, 160));
    EXPECT_EQ(proj.ToPixel(lines.CtrlLine.Ido1, lines.CtrlLine.Kdo1), QPoint(100, 130));
    Drag(MapTool::Sta, {120, 160}, {100, 130});   // onto end 1
    EXPECT_FALSE(lines.StaLineSet);

    Drag(MapTool::Fin, {300, 150}, {300, 170});
    const LineEnds before = lines.FinLine;
    MapPress(d, MapTool::Fin, {300, 170}, lines, proj);
    MapMove(d, {320, 170}, lines, proj);
    // The end follows the pointer while the drag goes on.
    EXPECT_EQ(proj.ToPixel(lines.FinLine.Ido1, lines.FinLine.Kdo1), QPoint(320, 170));
    EXPECT_EQ(lines.FinLine.Ido2, before.Ido2);
    MapRelease(d, {330, 170}, lines, proj, view);
    EXPECT_EQ(proj.ToPixel(lines.FinLine.Ido1, lines.FinLine.Kdo1), QPoint(330, 170));
    EXPECT_TRUE(lines.FinLineSet);
}

TEST_F(DragFixture, ZoomBoxBecomesTheView) {
    const TLogRect was = view;
    Drag(MapTool::Rect, {200, 100}, {200, 300});   // no width
    EXPECT_EQ(view.KdoMin, was.KdoMin);
    EXPECT_EQ(view.IdoMax, was.IdoMax);
    Drag(MapTool::Rect, {300, 300}, {100, 100});
    long double i1 = 0, k1 = 0, i2 = 0, k2 = 0;
    proj.ToPos(100, 100, i1, k1);
    proj.ToPos(300, 300, i2, k2);
    EXPECT_EQ(view.IdoMin, i2);
    EXPECT_EQ(view.IdoMax, i1);
    EXPECT_EQ(view.KdoMin, k1);
    EXPECT_EQ(view.KdoMax, k2);
}

TEST(MapWheel, ZoomsAboutThePointerWithinTheLog) {
    const TLogRect full = Rect(35, 35.01L, 139, 139.01L);
    TLogRect view = full;
    const int W = 449, H = 449;
    auto span = [&] { return static_cast<double>(view.KdoMax - view.KdoMin); };

    // In at the centre: 0.9 of the span, still centred.
    MapProjection m = MakeProjection(view, W, H);
    const QPoint centre(m.x0 + m.Dw / 2, m.y0 + m.Dh / 2);
    ASSERT_TRUE(WheelZoom(view, full, m, centre, 120, W, H));
    EXPECT_NEAR(span(), 0.009, 1e-5);
    EXPECT_NEAR(static_cast<double>(view.KdoMin + view.KdoMax) / 2, 139.005, 2e-5);

    // In near the south-west corner: shifted back inside the log.
    for (int i = 0; i < 5; ++i) {
        m = MakeProjection(view, W, H);
        ASSERT_TRUE(WheelZoom(view, full, m, QPoint(0, H), 120, W, H));
        EXPECT_GE(view.KdoMin, full.KdoMin);
        EXPECT_GE(view.IdoMin, full.IdoMin);
    }
    EXPECT_EQ(view.KdoMin, full.KdoMin);
    EXPECT_EQ(view.IdoMin, full.IdoMin);

    // Out, again and again: ends at the log's extent, then does nothing.
    int steps = 0;
    while (steps < 100) {
        m = MakeProjection(view, W, H);
        if (!WheelZoom(view, full, m, centre, -120, W, H)) break;
        ++steps;
        EXPECT_GE(view.KdoMin, full.KdoMin);
        EXPECT_LE(view.KdoMax, full.KdoMax);
    }
    EXPECT_LT(steps, 100);
    EXPECT_EQ(view.KdoMin, full.KdoMin);
    EXPECT_EQ(view.KdoMax, full.KdoMax);
    EXPECT_EQ(view.IdoMin, full.IdoMin);
    EXPECT_EQ(view.IdoMax, full.IdoMax);

    // Outside the map, or no turn: nothing.
    m = MakeProjection(view, W, H);
    EXPECT_FALSE(WheelZoom(view, full, m, QPoint(W + 1, 10), 120, W, H));
    EXPECT_FALSE(WheelZoom(view, full, m, centre, 0, W, H));
}

// The back buffer of a few samples on a small view.
struct DrawFixture : ::testing::Test {
    LogStore st;
    StatusList status;
    CoursePaths paths;
    QImage img{449, 449, QImage::Format_RGB32};
    MapProjection proj;

    void SetUp() override { ASSERT_TRUE(st.Allocate()); }

    void Add(double ido, double kdo, float spd, uint16_t ms) {
        TLogItem it;
        it.DtTm = 45000 + st.LogItemNum / 86400.0;
        it.Ido = ido;
        it.Kdo = kdo;
        it.Spd = spd;
        it.ms = ms;
        st.AppendLogItem(it, status);
        st.LogBlock.last().Act = true;
    }
    void Draw(bool viewStop) {
        st.SetMbActAndRect();
        proj = MakeProjection(st.LogRect, img.width(), img.height());
        DrawMapBitmap(img, proj, st, paths, viewStop);
    }
    QRgb At(double ido, double kdo) const { return img.pixel(proj.ToPixel(ido, kdo)); }
    // The colour within a pixel of the position.
    bool Near(double ido, double kdo, QRgb c) const {
        const QPoint p = proj.ToPixel(ido, kdo);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (img.pixel(p + QPoint(dx, dy)) == c) return true;
        return false;
    }
    int Count(QRgb c) const {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == c;
        return n;
    }
};

TEST_F(DrawFixture, SlowSamplesOffTheWholeSecondAreSkipped) {
    // West to east along 35.005, with a slow sample off the line at 200 ms.
    Add(35.005, 139.000, 50, 0);
    Add(35.005, 139.004, 50, 100);
    Add(35.010, 139.005, 1.5f, 200);   // a spike north
    Add(35.005, 139.006, 50, 300);
    Add(35.000, 139.010, 50, 400);
    Draw(false);
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(At(35.005, 139.003), red);
    EXPECT_FALSE(Near(35.0075, 139.0045, red));
    EXPECT_GT(Count(red), 100);

    // At a whole second it is drawn: red, or blue with stop positions shown.
    st.LogItem[2].ms = 0;
    Draw(false);
    EXPECT_TRUE(Near(35.0075, 139.0045, red));
    Draw(true);
    EXPECT_EQ(At(35.005, 139.003), red);
    EXPECT_TRUE(Near(35.0075, 139.0045, qRgb(0, 0, 255)));
}

TEST_F(DrawFixture, StopsGetAMarkAndTheCourseMapIsClipped) {
    Add(35.000, 139.000, 50, 0);
    Add(35.004, 139.004, 0.2f, 0);   // standing
    Add(35.004, 139.004, 0.0f, 0);
    Add(35.010, 139.010, 50, 0);
    TPathRec path;
    // In the view, out of it, in again: two strokes, none across the gap.
    for (const auto& p : {std::pair{35.0, 139.008}, {35.002, 139.008}, {36.0, 139.008}, {35.008, 139.008},
                          {35.010, 139.008}})
        path.Elm.push_back(TPathElmRec{p.first, p.second});
    path.ElmNum = static_cast<int32_t>(path.Elm.size());
    paths.CoursePath = {path};
    paths.CoursePathNum = 1;
    Draw(true);
    EXPECT_GT(Count(qRgb(192, 192, 192)), 10) << "the stop mark's fill";
    const QRgb grey = qRgb(222, 222, 222);
    EXPECT_EQ(At(35.001, 139.008), grey);
    EXPECT_EQ(At(35.009, 139.008), grey);
    EXPECT_NE(At(35.005, 139.008), grey);
}

TEST_F(DrawFixture, OneSpotStillDraws) {
    for (int i = 0; i < 20; ++i) Add(35.5, 139.5, 0, 0);
    Draw(true);
    ASSERT_TRUE(proj.valid);
    EXPECT_LT(Count(qRgb(255, 255, 255)), img.width() * img.height()) << "mark and texts drawn";
}

TEST(MapOverlay, DrawsSetLinesWithTheirEndSquaresAndTheMark) {
    const MapProjection proj = MakeProjection(Rect(35, 35.01L, 139, 139.01L), 449, 449);
    LineChoice lines;
    proj.ToPos(100, 100, lines.CtrlLine.Ido1, lines.CtrlLine.Kdo1);
    proj.ToPos(100, 200, lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2);
    proj.ToPos(300, 100, lines.FinLine.Ido1, lines.FinLine.Kdo1);
    proj.ToPos(300, 200, lines.FinLine.Ido2, lines.FinLine.Kdo2);
    lines.StaLineSet = lines.FinLineSet = true;
    MbViewState st;
    st.MarkSet = 1;
    proj.ToPos(200, 300, st.MarkIdo, st.MarkKdo);
    QImage img(449, 449, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        DrawMapOverlay(p, proj, MapDrag{}, lines, st);
    }
    EXPECT_EQ(img.pixel(102, 202), qRgb(0, 0, 255)) << "start line end square";
    EXPECT_EQ(img.pixel(100, 150), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(298, 98), qRgb(0, 128, 0)) << "finish line end square";
    EXPECT_EQ(img.pixel(200, 300), qRgb(0, 0, 255)) << "mark";

    // A new line being drawn: the line and its grey cross-stroke.
    MapDrag d;
    d.MbDragging = true;
    d.MbDragMode = 1;
    d.MbPressPt = QPoint(200, 150);
    d.MbEndPt1 = QPoint(200, 120);
    d.MbEndPt2 = QPoint(200, 180);
    img.fill(Qt::white);
    lines = LineChoice{};
    {
        QPainter p(&img);
        DrawMapOverlay(p, proj, d, lines, MbViewState{});
    }
    EXPECT_EQ(img.pixel(200, 175), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(215, 150), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(185, 150), qRgb(128, 128, 128));
}

} // namespace
