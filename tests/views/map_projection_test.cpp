#include <cmath>
#include <limits>
#include <random>
#include <gtest/gtest.h>
#include "views/map_projection.h"

using namespace vel;

namespace {

// Metres of one degree of latitude on the program's Earth (6367444.5 m):
// 6367444.5 x pi / 180 = 111132.87.
constexpr double MPerDegLat = 111132.87;

Comparison Frame(double idoMin, double kdoMin, double span) {
    Comparison c;
    c.DispIdoMin = idoMin;
    c.DispIdoMax = idoMin + span;
    c.DispKdoMin = kdoMin;
    c.DispKdoMax = kdoMin + span;
    c.RefIdo = idoMin;
    return c;
}

} // namespace

// A 445 x 395 pane: grid frame 384 x 336 at (30, 29). A frame of 0.01 x
// 0.01 degrees is taller than wide in metres at both latitudes, so the
// height is the limit and the tracks are centred across:
//   35.0 deg: Lx/Ly = cos 35 = 0.81915, pw = Trunc(0.81915 x 336) = 275,
//             left = 30 + (384 - 275) div 2 = 84;
//   59.5 deg: Lx/Ly = cos 59.5 = 0.50754, pw = Trunc(170.53) = 170,
//             left = 30 + (384 - 170) div 2 = 137.
// The point at 0.75 of the width and 0.3 of the height maps to
// x = left + Trunc(0.75 pw), y = 29 + 336 - Trunc(0.3 x 336) = 265.
TEST(MapProjection, CourseFitAtTwoLatitudes) {
    const struct Case {
        double lat;
        int pw, left, x;
    } cases[] = {{35.0, 275, 84, 84 + 206}, {59.5, 170, 137, 137 + 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lat);
        const CourseFit f = CourseFitOf(QSize(445, 395), Frame(c.lat, 139.0, 0.01));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.aw, 384);
        EXPECT_EQ(f.ah, 336);
        EXPECT_EQ(f.gridLeft, 30);
        EXPECT_EQ(f.gridTop, 29);
        EXPECT_EQ(f.pw, c.pw);
        EXPECT_EQ(f.ph, 336);
        EXPECT_EQ(f.left, c.left);
        EXPECT_EQ(f.top, 29);
        EXPECT_EQ(f.Map(c.lat + 0.003, 139.0075), QPoint(c.x, 265));
        // And back: the click lands within a pixel's worth of the point.
        double ido = 0, kdo = 0;
        f.Unmap(c.x, 265, ido, kdo);
        EXPECT_NEAR(ido, c.lat + 0.003, 0.01 / 336);
        EXPECT_NEAR(kdo, 139.0075, 0.01 / c.pw);
    }
    // Wider than tall: the width is the limit and the tracks are centred
    // down: Ly/Lx = 0.002 / (0.01 cos 35) = 0.24415, ph = Trunc(93.75) = 93.
    Comparison wide = Frame(35.0, 139.0, 0.01);
    wide.DispIdoMax = 35.002;
    const CourseFit f = CourseFitOf(QSize(445, 395), wide);
    EXPECT_EQ(f.pw, 384);
    EXPECT_EQ(f.ph, 93);
    EXPECT_EQ(f.left, 30);
    EXPECT_EQ(f.top, 29 + (336 - 93) / 2);
}

// The frame's east and north edges land on the plot's right and top edges
// and its west and south edges on the left and bottom, whatever the frame:
// the share of the frame is taken before it is scaled to pixels.
TEST(MapProjection, CourseFitPutsTheFrameEdgesOnThePlotEdges) {
    std::mt19937 rng(36);
    std::uniform_real_distribution<double> lat(-60, 60), lon(-179, 179), span(0.0005, 0.05);
    std::uniform_int_distribution<int> side(120, 1900);
    int wrong = 0;
    for (int i = 0; i < 2000; ++i) {
        Comparison c;
        c.DispIdoMin = lat(rng);
        c.DispIdoMax = c.DispIdoMin + span(rng);
        c.DispKdoMin = lon(rng);
        c.DispKdoMax = c.DispKdoMin + span(rng);
        c.RefIdo = c.DispIdoMin;
        const CourseFit f = CourseFitOf(QSize(side(rng), side(rng)), c);
        ASSERT_TRUE(f.ok);
        const double n = double(c.DispIdoMax), e = double(c.DispKdoMax);
        const double s = double(c.DispIdoMin), w = double(c.DispKdoMin);
        wrong += f.Map(n, e) != QPoint(f.left + f.pw, f.top);
        wrong += f.Map(s, w) != QPoint(f.left, f.top + f.ph);
        // Points inside, and those on whole pixels, as the share rule puts them.
        std::uniform_real_distribution<double> share(0, 1);
        for (int k = 0; k < 20; ++k) {
            const double a = k < 10 ? share(rng) : double(k) / f.pw, b = k < 10 ? share(rng) : double(k) / f.ph;
            const double ido = s + b * (n - s), kdo = w + a * (e - w);
            const QPoint want(f.left + int((kdo - w) / (e - w) * f.pw), f.top + f.ph - int((ido - s) / (n - s) * f.ph));
            wrong += f.Map(ido, kdo) != want;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// No extent in one direction, no lap, or a pane too small: the grid keeps
// its frame where there is room, and nothing is fitted (no division by 0).
TEST(MapProjection, CourseFitWithoutExtentFitsNothing) {
    Comparison flat = Frame(35.0, 139.0, 0.01);
    flat.DispIdoMax = flat.DispIdoMin;
    EXPECT_FALSE(CourseFitOf(QSize(445, 395), flat).ok);
    EXPECT_EQ(CourseFitOf(QSize(445, 395), flat).aw, 384);
    Comparison point = Frame(35.0, 139.0, 0.0);
    EXPECT_FALSE(CourseFitOf(QSize(445, 395), point).ok);
    EXPECT_FALSE(CourseFitOf(QSize(445, 395), Comparison{}).ok);   // reset frame: min above max
    const CourseFit none = CourseFitOf(QSize(0, 0), Frame(35.0, 139.0, 0.01));
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.aw, 0);
    Comparison pole = Frame(35.0, 139.0, 0.01);
    pole.RefIdo = 90;
    EXPECT_FALSE(CourseFitOf(QSize(445, 395), pole).ok);
}

// The zoom map at 1 pixel per metre (and 2): a point 100.3 m east and
// 50.3 m south of the centre of a 540 x 400 pane: x = Trunc(270 + 100.3 z),
// y = 400 - Trunc(200 - 50.3 z). East-west degrees shrink with
// cos(latitude) at the centre: 91035 m a degree at 35, 55566 m at 60.
TEST(MapProjection, ZoomViewAtTwoLatitudes) {
    const struct Case {
        double lat, zoom;
        double mPerDegLon;
        QPoint want;
    } cases[] = {
        {35.0, 1, 91034.72, {370, 251}},
        {60.0, 1, 55566.44, {370, 251}},
        {35.0, 2, 91034.72, {470, 301}},
        {59.9, 2, 55734.33, {470, 301}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << " deg, zoom " << c.zoom);
        const ZoomView v = ZoomViewOf(QSize(540, 400), c.lat, 139.0, c.zoom);
        ASSERT_TRUE(v.ok);
        EXPECT_NEAR(v.wdeg, 540 / c.zoom / c.mPerDegLon, 1e-4 * v.wdeg);
        EXPECT_NEAR(v.hdeg, 400 / c.zoom / MPerDegLat, 1e-6 * v.hdeg);
        const QPoint at = v.Map(c.lat - 50.3 / MPerDegLat, 139.0 + 100.3 / c.mPerDegLon);
        EXPECT_EQ(at, c.want);
        // The centre: (270, 200) give or take truncating a hair below it.
        EXPECT_LE((v.Map(c.lat, 139.0) - QPoint(270, 200)).manhattanLength(), 2);
        double ido = 0, kdo = 0;
        v.Unmap(270, 200, ido, kdo);
        EXPECT_NEAR(ido, c.lat, 1e-12);
        EXPECT_NEAR(kdo, 139.0, 1e-12);
    }
    EXPECT_FALSE(ZoomViewOf(QSize(0, 400), 35, 139, 1).ok);
    EXPECT_FALSE(ZoomViewOf(QSize(540, 400), 90, 139, 1).ok);
    EXPECT_FALSE(ZoomViewOf(QSize(540, 400), 35, 139, 0).ok);
}

TEST(MapProjection, ScaleBarByZoom) {
    const struct Case {
        int width;
        double zoom;
        bool km;
        int length;
        const char* unit;
        int pixels;
    } cases[] = {
        {540, 1, true, 100, "m", 100},     // spans 540 m: s = 108
        {540, 16, true, 10, "m", 160},     // 33.75 m: s = 6
        {540, 0.5, true, 100, "m", 50},    // 1080 m
        {540, 4, true, 50, "m", 200},      // 135 m: s = 27
        {540, 8, true, 20, "m", 160},      // 67.5 m: s = 13
        {540, 10, true, 20, "m", 200},     // 54 m: s = 10, the bar must be longer
        {540, 1, false, 500, "feet", 152}, // s = 108 m = 354.3 feet
        {540, 16, false, 20, "feet", 97},  // s = 6 m = 19.7 feet: 6.096 m
        {20, 16, true, 1, "m", 16},        // narrower than 5 m: s = 0
        {20, 16, false, 5, "feet", 24},
        {0, 1, true, 1, "m", 1},           // a pane of no width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " px, zoom " << c.zoom << (c.km ? " m" : " feet"));
        const ScaleBar b = ScaleBarOf(c.width, c.zoom, c.km);
        EXPECT_EQ(b.length, c.length);
        EXPECT_STREQ(b.unit, c.unit);
        EXPECT_EQ(b.pixels, c.pixels);
    }
}

// Pixels of far-off or broken values stay within int.
TEST(MapProjection, PixelsAreClampedBeforeTruncation) {
    EXPECT_EQ(TruncPx(1e300), static_cast<int>(PxLimit));
    EXPECT_EQ(TruncPx(-1e300), -static_cast<int>(PxLimit));
    EXPECT_EQ(TruncPx(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(TruncPx(-2.7), -2);
    EXPECT_EQ(NearestPx(2.5), 2);
    EXPECT_EQ(NearestPx(3.5), 4);
    const ZoomView v = ZoomViewOf(QSize(540, 400), 35, 139, 16);
    EXPECT_EQ(v.Map(-35, -139).x(), -static_cast<int>(PxLimit));
}

// Nearest sample in plain degrees: at 35 deg a sample 0.00009 deg north
// beats one 0.0001 deg east (9.1 m against 10.0 m the other way round);
// of equal distances the first wins.
TEST(MapProjection, NearestSampleInPlainDegrees) {
    TLapDtRec lap;
    auto add = [&](double ido, double kdo) {
        TLapElmRec e;
        e.Ido = ido;
        e.Kdo = kdo;
        lap.Elm << e;
        lap.ElmNum = lap.Elm.size();
    };
    EXPECT_EQ(NearestSample(lap, 35, 139), -1);
    add(35.0, 139.0001);
    add(35.00009, 139.0);
    EXPECT_EQ(NearestSample(lap, 35, 139), 1);
    add(35.0, 138.99991);   // as near as sample 1
    EXPECT_EQ(NearestSample(lap, 35, 139), 1);
}
