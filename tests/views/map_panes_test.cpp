#include <cmath>
#include <tuple>
#include <gtest/gtest.h>
#include <QTest>
#include "common/geodesy.h"
#include "import/course_commands.h"
#include "map_fixture.h"
#include "support/fake_prompts.h"
#include "views/course_view.h"
#include "views/map_panes.h"
#include "views/zoom_map.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double MPerDeg = 111132.871463;   // EarthR x pi / 180

const QStringList ClickRepaints = {"PaintBoxZoomPaint", "PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetPosMarker",
                                   "SetDataStr",        "DrawCurG",         "DrawCurDrift"};

// Position `east` and `north` metres from (ido, kdo).
std::pair<double, double> Offset(double ido, double kdo, double east, double north) {
    return {ido + north / MPerDeg, kdo + east / (MPerDeg * std::cos(ido * 3.14159265358979323846 / 180))};
}

struct CourseViewTest : MapFixture {
    CourseViewPane pane;
    QSize size{445, 395};
    CourseViewTest() {
        pane.resize(size);
        pane.SetHost(Host());
    }
    QPoint PixelOf(const TLapElmRec& e) const {
        return CourseFitOf(size, s.comparison).Map(double(e.Ido), double(e.Kdo));
    }
};

struct ZoomMapTest : MapFixture {
    ZoomMapPane pane;
    QSize size{540, 400};
    ZoomMapTest() {
        pane.resize(size);
        pane.SetHost(Host());
    }
    ZoomView View() const { return ZoomViewOfPane(size, In()); }
    QPoint PixelOf(double ido, double kdo) const { return View().Map(ido, kdo); }
    QPoint PixelOf(const TLapElmRec& e) const { return PixelOf(double(e.Ido), double(e.Kdo)); }
};

} // namespace

// A left click on a drawn sample of the reference lap puts the play time at
// that sample's time and runs the refresh chain; it also works while
// playing. A right click opens the picture menu only while stopped.
TEST_F(CourseViewTest, ClickMovesPlayTimeToTheNearestSample) {
    Drive d;
    d.spd = 36;
    Show(CircleLap(d, 50, Turn::Left));
    Show(CircleLap(d, 45, Turn::Left));
    const TLapDtRec& lap = s.loadedLaps.LapDt[0];
    for (int i : {37, 120, 251}) {
        SCOPED_TRACE(i);
        log.calls.clear();
        QTest::mouseClick(&pane, Qt::LeftButton, {}, PixelOf(lap.Elm[i]));
        EXPECT_EQ(s.comparison.PlayTm, lap.Elm[i].Sec);
        EXPECT_EQ(log.calls, ClickRepaints);
        EXPECT_NEAR(double(s.comparison.CurIdo), double(lap.Elm[i].Ido), 1e-12);
    }
    s.graphView.Playing = true;
    QTest::mouseClick(&pane, Qt::LeftButton, {}, PixelOf(lap.Elm[80]));
    EXPECT_EQ(s.comparison.PlayTm, lap.Elm[80].Sec);

    int menus = 0;
    pane.pictureMenu = [&](QPoint) { ++menus; };
    QTest::mouseClick(&pane, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(menus, 0);
    EXPECT_EQ(s.graphView.PopupSrc, 0);
    s.graphView.Playing = false;
    QTest::mouseClick(&pane, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(s.graphView.PopupSrc, 1);
}

// The cached picture: grid, the tracks in their slot colours, the reference
// lap on top; the cursor dots in the layer above.
TEST_F(CourseViewTest, DrawsGridTracksAndDots) {
    Drive d;
    Show(SquareLap(d, 200, Turn::Right));
    d.kdo += 0.0003;   // about 27 m east
    Show(SquareLap(d, 150, Turn::Right));
    const TLapDtRec& ref = s.loadedLaps.LapDt[0];
    const TLapDtRec& cmp = s.loadedLaps.LapDt[1];
    MoveTo(12.3);
    const QImage img = Draw(DrawCourseView, size);
    // 445 x 395: a grid frame of 384 x 336 from (30, 29), lines every 16 px.
    EXPECT_EQ(img.pixel(30, 100) & 0xFFFFFF, Rgb(0xE0E0E0) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(30 + 16 * 5, 35) & 0xFFFFFF, Rgb(0xE0E0E0) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu);
    for (int i : {15, 100, 250}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(ColourNear(img, PixelOf(ref.Elm[i]), Rgb(SlotColor[0])));
        EXPECT_TRUE(ColourNear(img, PixelOf(cmp.Elm[i]), Rgb(SlotColor[1])));
    }
    // The dots are not in the cache; the layer puts them at the cursor.
    QImage layered = img;
    {
        QPainter p(&layered);
        DrawCourseCursor(p, layered.rect(), In());
    }
    const QPoint dot0 = CourseFitOf(size, s.comparison).Map(double(s.comparison.CurVal[0].Ido),
                                                            double(s.comparison.CurVal[0].Kdo));
    for (QPoint at : {dot0, dot0 + QPoint(3, 0), dot0 + QPoint(0, -3)})
        EXPECT_EQ(layered.pixel(at) & 0xFFFFFF, Rgb(SlotColor[0]) & 0xFFFFFF);
    EXPECT_NE(layered, img);

    // The export picture carries the title, the tracks and the dots.
    const QImage picture = Draw(DrawGeneralPicture, size);
    EXPECT_EQ(picture.pixel(dot0) & 0xFFFFFF, Rgb(SlotColor[0]) & 0xFFFFFF);
    bool title = false;
    for (int y = 8; y < 24 && !title; ++y)
        for (int x = 8; x < 60 && !title; ++x) title = (picture.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_TRUE(title);
}

// A sector line running south-west to north-east (in metres) is drawn in
// that direction: the reference latitude's cosine is taken in radians.
// A line shorter than 16 px is drawn 16 px long.
TEST_F(CourseViewTest, SectorLinesFollowTheirDirection) {
    Drive d;
    d.ido = 35.0;
    const TLapDtRec& lap = Show(SquareLap(d, 200, Turn::Right));
    const double ido0 = double(lap.Elm[0].Ido), kdo0 = double(lap.Elm[0].Kdo);
    // Middle of the square (it lies north-east of the start for a right turn).
    const auto [cIdo, cKdo] = Offset(ido0, kdo0, 100, 100);
    const auto [aIdo, aKdo] = Offset(cIdo, cKdo, -21, -21);
    const auto [bIdo, bKdo] = Offset(cIdo, cKdo, 21, 21);
    s.sectorLines.SectNum = 2;
    s.sectorLines.Sect[0] = {aKdo, bKdo, aIdo, bIdo, 1};
    // A 2 m east-west line far from the first.
    const auto [eIdo, eKdo] = Offset(ido0, kdo0, 50, 150);
    s.sectorLines.Sect[1] = {eKdo - 1 / (MPerDeg * 0.819), eKdo + 1 / (MPerDeg * 0.819), eIdo, eIdo, 1};
    const QImage img = Draw(DrawCourseView, size);
    const QRgb grey = Rgb(0x808080);
    const CourseFit fit = CourseFitOf(size, s.comparison);
    const auto at = [&](double east, double north, double ido, double kdo) {
        const auto [i, k] = Offset(ido, kdo, east, north);
        return fit.Map(i, k);
    };
    EXPECT_TRUE(ColourNear(img, at(12, 12, cIdo, cKdo), grey, 1));
    EXPECT_TRUE(ColourNear(img, at(-12, -12, cIdo, cKdo), grey, 1));
    EXPECT_FALSE(ColourNear(img, at(-12, 12, cIdo, cKdo), grey, 2));
    EXPECT_FALSE(ColourNear(img, at(12, -12, cIdo, cKdo), grey, 2));
    // The short line: 8 px to each side of its midpoint, horizontal.
    const QPoint e = fit.Map(eIdo, eKdo);
    EXPECT_TRUE(ColourNear(img, e + QPoint(6, 0), grey));
    EXPECT_TRUE(ColourNear(img, e + QPoint(-6, 0), grey));
    EXPECT_FALSE(ColourNear(img, e + QPoint(0, 5), grey));
}

// A lap of one point or with all points equal has no extent: the grid is
// drawn, the tracks and the clicks are skipped; a tiny pane draws nothing
// but white.
TEST_F(CourseViewTest, NoExtentDrawsTheGridOnly) {
    Drive d;
    QVector<TLapElmRec> still = StraightRun(d, 180, 1);
    still << still[0] << still[0];
    still[1].Sec = 0.1;
    still[2].Sec = 0.2;
    Show(still);
    const QImage img = Draw(DrawCourseView, size);
    EXPECT_EQ(img.pixel(30, 100) & 0xFFFFFF, Rgb(0xE0E0E0) & 0xFFFFFF);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ASSERT_NE(img.pixel(x, y) & 0xFFFFFF, Rgb(SlotColor[0]) & 0xFFFFFF);
    EXPECT_FALSE(CourseClickTime(size, QPoint(200, 200), In()));
    s.comparison.PlayTm = 0.2L;
    QTest::mouseClick(&pane, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(s.comparison.PlayTm, 0.2L);
    const QImage tiny = Draw(DrawCourseView, QSize(20, 20));
    EXPECT_EQ(tiny.pixel(10, 10) & 0xFFFFFF, 0xFFFFFFu);
}

// The map is centred on the reference car at the cursor, wherever the
// cursor goes, with the car marker on the centre pixel.
TEST_F(ZoomMapTest, CentreFollowsTheCursor) {
    Drive d;
    const TLapDtRec& lap = Show(CircleLap(d, 50, Turn::Left));
    s.graphView.MapZoom = 4;
    for (long double tm : {0.0L, 3.3L, 17.25L}) {
        SCOPED_TRACE(double(tm));
        MoveTo(tm);
        const ZoomView v = View();
        // The centre pixel, give or take the truncation of a value a hair off it.
        const QPoint c = v.Map(double(s.comparison.CurIdo), double(s.comparison.CurKdo));
        EXPECT_LE((c - QPoint(270, 200)).manhattanLength(), 2);
        EXPECT_NEAR((v.latB + v.latT) / 2, double(s.comparison.CurIdo), 1e-12);
        EXPECT_NEAR((v.lonL + v.lonR) / 2, double(s.comparison.CurKdo), 1e-12);
        const QImage img = Draw(DrawZoomMap, size);
        EXPECT_EQ(img.pixel(270, 200) & 0xFFFFFF, Rgb(SlotColor[0]) & 0xFFFFFF);
    }
    // The track near the car is drawn where its samples project.
    MoveTo(10);
    const QImage img = Draw(DrawZoomMap, size);
    const int i = 100 + 15;   // 1.5 s after the cursor
    EXPECT_TRUE(ColourNear(img, PixelOf(lap.Elm[i]), Rgb(SlotColor[0])));
}

// Long laps are drawn through a grid of their samples: the pictures are
// those of the walk over every sample, for views inside the laps, on their
// edge, far out and wider than them, with slowing and weak-satellite pens,
// a sample of no position and one far off that stretches the grid.
TEST_F(ZoomMapTest, GridDrawsWhatTheFullWalkDraws) {
    Drive d;
    d.spd = 140;
    QVector<TLapElmRec> a = CircuitLap(d, 1500, 6, 10);
    for (int i = 0; i < a.size(); i += 97) a[i].UseSat = 3;
    a[2500].Ido = std::nan("");
    Drive far = d;
    far.kdo += 0.02L;   // 1.8 km east: the second lap lies partly outside most views
    QVector<TLapElmRec> b = CircuitLap(far, 2500, 4, 0);
    b[1800].Ido += 0.05L;
    Show(a);
    Show(b);
    // The shown lap alone holds its samples, so that moving them below
    // keeps them where they are (a shared vector would be copied).
    a = {};
    b = {};
    QVector<TLapElmRec>& moved = s.loadedLaps.LapDt[1].Elm;
    const TLapElmRec* const at = moved.constData();
    s.graphView.ViewRduOn = true;

    struct View { long double tm; long double zoom; QSize size; };
    const View views[] = {
        {0, 2, {540, 400}},   {37.3L, 4, {540, 400}}, {95, 1, {540, 400}}, {140.5L, 16, {300, 200}},
        {200, 0.5L, {900, 700}}, {61, 8, {540, 400}},  {300, 3, {1, 1}},
    };
    for (const View& v : views) {
        SCOPED_TRACE(double(v.tm));
        s.graphView.MapZoom = v.zoom;
        MoveTo(v.tm);
        const auto tracks = [&](bool every) {
            return Draw([&](QPainter& p, const QRect& r, const PaneInput& in) {
                const ZoomView zv = ZoomViewOfPane(r.size(), in);
                for (int k = 1; k >= 0; --k) DrawZoom(p, zv, in, k, ColorOf(SlotColor[k]), every);
            }, v.size);
        };
        EXPECT_EQ(tracks(false), tracks(true));
        // Samples moved in place are seen: the grid is made again. The
        // second lap moves onto the first one's ground, then back.
        const long double shift = (&v - views) % 2 == 0 ? -0.02L : 0.02L;
        for (TLapElmRec& e : moved) e.Kdo += shift;
        ASSERT_EQ(moved.constData(), at);
        EXPECT_EQ(tracks(false), tracks(true));
    }
}

// A track is cut where it leaves the view: a run east out of the view and
// back west 40 m further north shows two lines and nothing between them,
// and a single sample thrown far off leaves a hole in the line, not a
// segment past it. Both walks, the grid's and the one over every sample.
TEST_F(ZoomMapTest, TrackLeavingTheViewIsNotJoinedAcrossTheGap) {
    Drive d;
    d.spd = 36;   // 1 m a sample
    QVector<TLapElmRec> lap = StraightRun(d, 270, 1200);
    Drive back = d;
    std::tie(back.ido, back.kdo) = Offset(double(d.ido), double(d.kdo), 1199, 40);
    const TLapElmRec end = lap.back();
    for (TLapElmRec e : StraightRun(back, 90, 1200)) {
        e.Sec += end.Sec + 0.1L;
        e.Tm += end.Tm + 0.1 / 86400;
        e.DtTm += end.Tm + 0.1 / 86400;
        lap.append(e);
    }
    const TLapElmRec spike = lap[1020];   // 20 m east of the cursor
    lap[1020].Ido += 0.05L;
    Show(lap);
    MoveTo(100);   // sample 1000: 1000 m east, the turn 199 m further on
    const QRgb red = Rgb(SlotColor[0]);
    for (bool every : {false, true}) {
        SCOPED_TRACE(every);
        // 540 x 400 at 2 px/m: 135 m to the right edge, the return 80 px up.
        s.graphView.MapZoom = 2;
        QImage img = Draw([&](QPainter& p, const QRect& r, const PaneInput& in) {
            DrawZoom(p, ZoomViewOfPane(r.size(), in), in, 0, ColorOf(SlotColor[0]), every);
        }, size);
        EXPECT_TRUE(ColourNear(img, QPoint(size.width() - 8, 200), red, 2));
        EXPECT_TRUE(ColourNear(img, QPoint(size.width() - 8, 120), red, 2));
        for (int y = 124; y <= 196; ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_NE(img.pixel(x, y) & 0xFFFFFF, red & 0xFFFFFF) << x << "," << y;
        // 8 px/m: the samples either side of the thrown one end their lines
        // 8 px before and after its place.
        s.graphView.MapZoom = 8;
        img = Draw([&](QPainter& p, const QRect& r, const PaneInput& in) {
            DrawZoom(p, ZoomViewOfPane(r.size(), in), in, 0, ColorOf(SlotColor[0]), every);
        }, size);
        const QPoint hole = PixelOf(spike);
        EXPECT_TRUE(ColourNear(img, hole - QPoint(12, 0), red, 1));
        EXPECT_TRUE(ColourNear(img, hole + QPoint(12, 0), red, 1));
        EXPECT_FALSE(ColourNear(img, hole, red, 2));
    }
}

// A click on sample 0 or the last sample takes its time; one on the middle
// of a segment the time halfway; nothing while playing or without a lap.
TEST_F(ZoomMapTest, ClickProjectsOntoTheNearestSegment) {
    EXPECT_FALSE(ZoomClickTime(size, QPoint(270, 200), In()));
    Drive d;
    const TLapDtRec& lap = Show(StraightRun(d, 270, 40));   // east, 1.39 m a sample
    s.graphView.MapZoom = 16;
    MoveTo(1.0);
    QTest::mouseClick(&pane, Qt::LeftButton, {}, PixelOf(lap.Elm[0]));
    EXPECT_EQ(s.comparison.PlayTm, 0.0L);
    EXPECT_EQ(log.calls, ClickRepaints);

    const auto mid = [&](int i) {
        return PixelOf((double(lap.Elm[i].Ido) + double(lap.Elm[i + 1].Ido)) / 2,
                       (double(lap.Elm[i].Kdo) + double(lap.Elm[i + 1].Kdo)) / 2);
    };
    QTest::mouseClick(&pane, Qt::LeftButton, {}, mid(5));
    EXPECT_NEAR(double(s.comparison.PlayTm), 0.55, 0.01);
    // Off the track to the side: the foot point still decides.
    QTest::mouseClick(&pane, Qt::LeftButton, {}, mid(8) + QPoint(0, 30));
    EXPECT_NEAR(double(s.comparison.PlayTm), 0.85, 0.01);

    MoveTo(3.5);
    QTest::mouseClick(&pane, Qt::LeftButton, {}, PixelOf(lap.Elm[39]));
    EXPECT_EQ(s.comparison.PlayTm, lap.Elm[39].Sec);

    s.graphView.Playing = true;
    log.calls.clear();
    int menus = 0;
    pane.pictureMenu = [&](QPoint) { ++menus; };
    QTest::mouseClick(&pane, Qt::LeftButton, {}, mid(5));
    QTest::mouseClick(&pane, Qt::RightButton, {}, mid(5));
    EXPECT_EQ(s.comparison.PlayTm, lap.Elm[39].Sec);
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_EQ(menus, 0);
    s.graphView.Playing = false;
    QTest::mouseClick(&pane, Qt::RightButton, {}, mid(5));
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(s.graphView.PopupSrc, 2);
}

// A click as far from the sample before the nearest one as from the one
// after takes the earlier segment. The samples sit at whole multiples of
// 2^-14 degrees from the clicked position so the distances tie exactly:
// (-2, -2), (1, 0), (2, 2) around it, the corner at the nearest sample.
TEST_F(ZoomMapTest, ClickOnATieTakesTheEarlierSegment) {
    Drive d;
    Show(StraightRun(d, 270, 40));
    s.graphView.MapZoom = 1;
    MoveTo(1.0);
    const QPoint click(270, 200);
    double ci = 0, ck = 0;
    View().Unmap(click.x(), click.y(), ci, ck);
    TLapDtRec& lap = s.loadedLaps.LapDt[0];
    const double u = std::ldexp(1.0, -14);
    const QPointF at[5] = {{-10, -10}, {-2, -2}, {1, 0}, {2, 2}, {10, 10}};   // (east, north) in u
    lap.Elm.resize(5);
    for (int i = 0; i < 5; ++i) {
        lap.Elm[i].Kdo = ck + at[i].x() * u;
        lap.Elm[i].Ido = ci + at[i].y() * u;
        lap.Elm[i].Sec = i;
    }
    lap.ElmNum = 5;
    // On the segment from (-2, -2) to (1, 0) the foot lies 10/13 of the way.
    const std::optional<long double> t = ZoomClickTime(size, click, In());
    ASSERT_TRUE(t);
    EXPECT_NEAR(double(*t), 1 + 10.0 / 13, 1e-9);
}

// Segments into a sample with too few satellites are silver; the markers
// keep their pixel size and point along the heading.
TEST_F(ZoomMapTest, TrackColoursAndCarMarkers) {
    Drive d;
    QVector<TLapElmRec> recs = StraightRun(d, 270, 40);
    recs[12].UseSat = 3;
    const TLapDtRec& lap = Show(recs);
    s.graphView.MapZoom = 16;
    MoveTo(1.0);
    const QImage img = Draw(DrawZoomMap, size);
    const QPoint a = PixelOf(lap.Elm[11]), b = PixelOf(lap.Elm[12]), c = PixelOf(lap.Elm[13]);
    EXPECT_EQ(img.pixel((a + b) / 2) & 0xFFFFFF, Rgb(0xC0C0C0) & 0xFFFFFF);
    EXPECT_EQ(img.pixel((b + c) / 2) & 0xFFFFFF, Rgb(SlotColor[0]) & 0xFFFFFF);

    // Heading 180 (north, up): the wedge's far corners lie 16 px behind, 30
    // degrees to each side: (-8, 13) and (8, 13) after truncation.
    const double th = CarTheta(180);
    constexpr double deg = 3.14159265358979323846 / 180;
    const QPoint left = CarPoint(QPoint(100, 100), th + 150 * deg, 16);
    const QPoint right = CarPoint(QPoint(100, 100), th + 210 * deg, 16);
    EXPECT_NEAR(left.x(), 92, 1);
    EXPECT_NEAR(right.x(), 108, 1);
    EXPECT_EQ(left.y(), 113);
    EXPECT_EQ(right.y(), 113);
    // Heading 270 (east): the nose of the drift body 17 px to the right.
    EXPECT_EQ(CarPoint(QPoint(100, 100), CarTheta(270), 17), QPoint(117, 100));
    QImage car(60, 60, QImage::Format_RGB32);
    car.fill(Qt::white);
    {
        QPainter p(&car);
        DrawZoomCarDrift(p, QPoint(30, 30), 270, Qt::blue);
    }
    EXPECT_EQ(car.pixel(30 + 20, 30), QColor(Qt::blue).rgb());   // the axis ahead of the nose
    EXPECT_EQ(car.pixel(30, 30), QColor(Qt::blue).rgb());
}

// The east nudge moves the course map 0.5 m a click at the map centre's
// latitude and repaints the zoom map, where the map moves 8 px at 16 px/m.
TEST_F(ZoomMapTest, EastNudgeMovesTheCourseMapHalfAMetre) {
    FakePrompts prompts;
    bool dlg = false;
    CourseCommands cmd(s, s.coursePaths, prompts, graphs, dlg, {});
    cmd.SpeedButtonEClick();
    EXPECT_TRUE(log.calls.isEmpty());   // no course map: nothing

    for (double lat : {35.0, 59.9}) {
        SCOPED_TRACE(lat);
        s.loadedLaps = LoadedLaps{};
        s.comparison = Comparison{};
        log.calls.clear();
        Drive d;
        d.ido = lat;
        Show(StraightRun(d, 270, 40));
        s.graphView.MapZoom = 16;
        MoveTo(1.0);
        const double ido = double(s.comparison.CurIdo), kdo = double(s.comparison.CurKdo);
        s.coursePaths = ParseCoursePath({"<path>", QString::asprintf("%.9f,%.9f", kdo, ido + 0.00005),
                                         QString::asprintf("%.9f,%.9f", kdo + 0.0001, ido + 0.00005), "</path>"});
        const CoursePaths before = s.coursePaths;
        const int x0 = PixelOf(before.CoursePath[0].Elm[0].Ido, before.CoursePath[0].Elm[0].Kdo).x();
        for (int i = 0; i < 5; ++i) cmd.SpeedButtonEClick();
        EXPECT_EQ(log.calls, QStringList(5, "PaintBoxZoomPaint"));
        for (int i = 0; i < 2; ++i) {
            const TPathElmRec& a = before.CoursePath[0].Elm[i];
            const TPathElmRec& b = s.coursePaths.CoursePath[0].Elm[i];
            EXPECT_NEAR(double(DistM(a.Ido, a.Kdo, b.Ido, b.Kdo)), 2.5, 1e-3);
            EXPECT_EQ(a.Ido, b.Ido);
        }
        const TPathElmRec& moved = s.coursePaths.CoursePath[0].Elm[0];
        EXPECT_NEAR(PixelOf(moved.Ido, moved.Kdo).x() - x0, 40, 1);
    }
}
