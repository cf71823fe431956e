#include <cmath>
#include <limits>
#include <gtest/gtest.h>
#include "analysis/sector_adjust.h"
#include "common/geodesy.h"
#include "sector_support.h"

using namespace vel;
using namespace vel::test;

namespace {

// A view of 8 pixels showing 8 degrees each way, so every term is exact.
EdSectProjection UnitView() {
    EdSectProjection p;
    p.valid = true;
    p.W = p.H = 8;
    p.dLon = p.dLat = 8;
    p.left = p.bottom = 0;
    p.right = p.top = 8;
    return p;
}

} // namespace

TEST(EdSectProjection, ViewAboutTheCentre) {
    const Drive d = MetreDrive();
    struct Case { long double zoom; long double northM, eastM; QPoint px; };
    const Case cases[] = {
        {1, 0, 0, {230, 230}},
        {1, 100, -50, {180, 130}},
        {4, 10, 20, {310, 190}},
        {16, -14, 14, {454, 454}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << double(c.zoom) << " n " << double(c.northM));
        const EdSectProjection p = MakeEdSectProjection(d.kdo, d.ido, c.zoom, EdSectBoxSize, EdSectBoxSize);
        ASSERT_TRUE(p.valid);
        // The view is W / zoom metres wide and H / zoom metres high.
        EXPECT_NEAR(double(p.dLat * MPerDegIdo()), 460 / double(c.zoom), 1e-6);
        EXPECT_NEAR(double(p.dLon * MPerDegKdo(d)), 460 / double(c.zoom), 1e-6);
        EXPECT_NEAR(double(p.right - p.left), double(p.dLon), 1e-15);
        const long double lat = d.ido + c.northM / MPerDegIdo();
        const long double lon = d.kdo + c.eastM / MPerDegKdo(d);
        EXPECT_EQ(p.ToPixel(lon, lat), c.px);
        long double lon2 = 0, lat2 = 0;
        p.ToPos(c.px.x(), c.px.y(), lon2, lat2);
        EXPECT_NEAR(double((lon2 - lon) * MPerDegKdo(d)), 0, 1e-6);
        EXPECT_NEAR(double((lat2 - lat) * MPerDegIdo()), 0, 1e-6);
        EXPECT_TRUE(p.Inside(lon, lat));
    }
}

TEST(EdSectProjection, RoundsHalvesToEven) {
    const EdSectProjection p = UnitView();
    struct Case { long double lon, lat; QPoint px; };
    const Case cases[] = {
        {2.5L, 2.5L, {2, 6}},     // 8 - 2
        {3.5L, 3.5L, {4, 4}},     // 8 - 4
        {2.6L, 5.4L, {3, 3}},
        {0, 8, {0, 0}},
        {8, 0, {8, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << double(c.lon) << "," << double(c.lat));
        EXPECT_EQ(p.ToPixel(c.lon, c.lat), c.px);
    }
    long double lon = -1, lat = -1;
    p.ToPos(8, 0, lon, lat);
    EXPECT_EQ(lon, 8);
    EXPECT_EQ(lat, 8);
    p.ToPos(0, 8, lon, lat);
    EXPECT_EQ(lon, 0);
    EXPECT_EQ(lat, 0);
}

// A damaged line or box gives no view, and positions far off or not numbers
// never overflow a pixel.
TEST(EdSectProjection, NoViewAndFarPositions) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct Case { const char* name; long double lon, lat, zoom; int W; };
    const Case cases[] = {
        {"pole", 0, 90, 1, 460}, {"zoom 0", 138, 35, 0, 460}, {"no box", 138, 35, 1, 0},
        {"centre not a number", nan, 35, 1, 460}, {"zoom not a number", 138, 35, nan, 460},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EdSectProjection p = MakeEdSectProjection(c.lon, c.lat, c.zoom, c.W, 460);
        EXPECT_FALSE(p.valid);
        EXPECT_FALSE(p.Inside(c.lon, c.lat));
        EdSectState st;
        st.line = LineAcross(MetreDrive(), 10);
        EXPECT_FALSE(EdSectPress(st, p, p.ToPixel(st.line.Kdo1, st.line.Ido1)));
    }
    const EdSectProjection p = MakeEdSectProjection(138.9L, 35.37L, 16, 460, 460);
    for (long double v : {nan, inf, -inf, 1e300L}) {
        const QPoint px = p.ToPixel(v, v);
        EXPECT_LE(std::abs(px.x()), EdSectPixelLimit);
        EXPECT_LE(std::abs(px.y()), EdSectPixelLimit + 460);
    }
}

TEST(EdSectZoom, Steps) {
    struct Case { long double from; long double in, out; };
    const Case cases[] = {
        {0.5L, 0.75L, 1}, {1, 1.25L, 1}, {1.75L, 2, 1.5L}, {2, 3, 1.75L}, {2.5L, 3.5L, 1.5L},
        {15, 16, 14}, {15.5L, 16, 14.5L}, {16, 16, 15}, {1.1L, 1.35L, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(double(c.from));
        EXPECT_EQ(EdSectZoomIn(c.from), c.in);
        EXPECT_EQ(EdSectZoomOut(c.from), c.out);
    }
    // The steps either way: 1, 1.25, 1.5, 1.75, 2, 3, 4 ... 16.
    std::vector<long double> up{1}, down{16};
    while (up.back() != 16) up.push_back(EdSectZoomIn(up.back()));
    while (down.back() != 1) down.push_back(EdSectZoomOut(down.back()));
    std::vector<long double> steps{1, 1.25L, 1.5L, 1.75L};
    for (int z = 2; z <= 16; ++z) steps.push_back(z);
    EXPECT_EQ(up, steps);
    std::reverse(down.begin(), down.end());
    EXPECT_EQ(down, steps);
}

TEST(EdSectOpen, CentreZoomAndPassNumber) {
    const Drive d = MetreDrive();
    SectorLines lines = Lines({LineAcross(d, 10), LineAt(d, 30, -10, 40, 10, 2)});
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    struct Case { long double mapZoom, zoom; };
    for (const Case& c : {Case{0.5L, 0.5L}, Case{4, 4}, Case{20, 16}, Case{0, 0.5L}, Case{nan, 1}}) {
        SCOPED_TRACE(double(c.mapZoom));
        const EdSectState st = OpenEdSect(lines, 1, c.mapZoom);
        EXPECT_EQ(st.zoom, c.zoom);
        EXPECT_EQ(st.sel, 1);
        EXPECT_EQ(st.passNo, 2);
        EXPECT_EQ(st.lonC, (lines.Sect[1].Kdo1 + lines.Sect[1].Kdo2) / 2);
        EXPECT_EQ(st.latC, (lines.Sect[1].Ido1 + lines.Sect[1].Ido2) / 2);
        EXPECT_EQ(st.drag, EdSectDrag::None);
    }
}

TEST(EdSectPick, EndsWithinThreePixels) {
    const QPoint e1(100, 100), e2(200, 100);
    struct Case { const char* name; QPoint p; EdSectDrag end; };
    const Case cases[] = {
        {"on end 1", {100, 100}, EdSectDrag::End1},
        {"3 px diagonally from end 1", {103, 97}, EdSectDrag::End1},
        {"4 px across from end 1", {104, 100}, EdSectDrag::None},
        {"4 px down from end 2", {200, 104}, EdSectDrag::None},
        {"3 px diagonally from end 2", {197, 103}, EdSectDrag::End2},
        {"between", {150, 100}, EdSectDrag::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PickEnd(c.p, e1, e2), c.end);
    }
    EXPECT_EQ(PickEnd({101, 100}, {100, 100}, {102, 100}), EdSectDrag::End1) << "end 1 wins";
}

TEST(EdSectDragging, PressMoveRelease) {
    const Drive d = MetreDrive();
    const SectorLines lines = Lines({LineAcross(d, 10)});
    EdSectState st = OpenEdSect(lines, 0, 4);
    const EdSectProjection p = MakeEdSectProjection(st.lonC, st.latC, st.zoom, 460, 460);
    const TSectRec before = st.line;
    // 20 m each side at 4 px/m.
    ASSERT_EQ(p.ToPixel(before.Kdo1, before.Ido1), QPoint(150, 230));
    ASSERT_EQ(p.ToPixel(before.Kdo2, before.Ido2), QPoint(310, 230));

    EXPECT_FALSE(EdSectPress(st, p, {230, 230}));
    EXPECT_FALSE(EdSectMove(st, p, {10, 10}));
    EXPECT_EQ(st.line.Kdo2, before.Kdo2);

    ASSERT_TRUE(EdSectPress(st, p, {312, 228}));
    EXPECT_EQ(st.drag, EdSectDrag::End2);
    EXPECT_EQ(st.px1, QPoint(150, 230));
    EXPECT_EQ(st.px2, QPoint(310, 230));
    EXPECT_TRUE(EdSectMove(st, p, {300, 200}));
    EXPECT_EQ(p.ToPixel(st.line.Kdo2, st.line.Ido2), QPoint(300, 200));
    // Beyond the box the end still follows.
    EXPECT_TRUE(EdSectRelease(st, p, {310, -40}));
    EXPECT_EQ(st.drag, EdSectDrag::None);
    EXPECT_NEAR(double((st.line.Ido2 - before.Ido2) * MPerDegIdo()), 67.5, 1e-6);
    EXPECT_NEAR(double((st.line.Kdo2 - before.Kdo2) * MPerDegKdo(d)), 0, 1e-3);
    EXPECT_EQ(st.line.Kdo1, before.Kdo1);
    EXPECT_EQ(st.line.Ido1, before.Ido1);
    EXPECT_EQ(st.lonC, (before.Kdo1 + before.Kdo2) / 2) << "the centre stays";
}

TEST(EdSectDragging, CrossCursorStrictlyInsideTheBox) {
    const QRect box(1, 1, 460, 460);
    struct Case { QPoint p; bool cross; };
    for (const Case& c : {Case{{2, 2}, true}, Case{{1, 100}, false}, Case{{459, 459}, true},
                          Case{{460, 100}, false}, Case{{100, 460}, false}}) {
        SCOPED_TRACE(testing::Message() << c.p.x() << "," << c.p.y());
        EXPECT_EQ(EdSectCrossCursor(c.p, box), c.cross);
    }
}

namespace {

// Two lines across a northward lap, at 10 m and 20 m.
class EdSectOkTest : public ::testing::Test {
protected:
    Drive d = MetreDrive();
    TLapDtRec ref = LapOf(StraightRun(d, 180, 31));
    SectorLines lines = Lines({LineAcross(d, 10.5L), LineAcross(d, 20.5L)});
    int32_t selSect = 1;
    int refreshes = 0;
    std::function<void()> refresh = [this] { ++refreshes; };
};

} // namespace

TEST_F(EdSectOkTest, EndsAtOnePointStoreNothing) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    struct Case { const char* name; std::function<void(TSectRec&)> change; };
    const Case cases[] = {
        {"same point", [](TSectRec& l) { l.Kdo2 = l.Kdo1; l.Ido2 = l.Ido1; }},
        {"closer than the crossing tolerance", [](TSectRec& l) { l.Kdo2 = l.Kdo1 + 1e-16L; l.Ido2 = l.Ido1; }},
        {"not a number", [nan](TSectRec& l) { l.Ido2 = nan; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SectorLines old = lines;
        EdSectState st = OpenEdSect(lines, 0, 1);
        st.line = LineAt(d, 5, -10, 15, 10);
        c.change(st.line);
        st.passNo = 3;
        EXPECT_FALSE(EdSectOk(lines, st, ref, selSect, refresh));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(lines.Sect[i].Ido1, old.Sect[i].Ido1);
            EXPECT_EQ(lines.Sect[i].Ido2, old.Sect[i].Ido2);
            EXPECT_EQ(lines.Sect[i].Kdo2, old.Sect[i].Kdo2);
            EXPECT_EQ(lines.Sect[i].PassNo, 1);
        }
        EXPECT_EQ(refreshes, 0);
    }
}

// An exactly east-west or north-south line is stored: a user draws one.
TEST_F(EdSectOkTest, EndsSharingOneCoordinateAreALine) {
    const TSectRec eastWest = LineAt(d, 15, -10, 15, 10);
    const TSectRec northSouth = LineAt(d, 5, 3, 25, 3);
    ASSERT_EQ(eastWest.Ido1, eastWest.Ido2);
    ASSERT_EQ(northSouth.Kdo1, northSouth.Kdo2);
    for (const TSectRec& line : {eastWest, northSouth}) {
        EdSectState st = OpenEdSect(lines, 1, 1);
        st.line = line;
        st.passNo = 2;
        EXPECT_TRUE(EdSectOk(lines, st, ref, selSect, refresh));
    }
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(lines.Sect[1].Kdo1, northSouth.Kdo1);
    EXPECT_EQ(lines.Sect[1].Kdo2, northSouth.Kdo2);
    EXPECT_EQ(lines.Sect[1].PassNo, 2);
}

// Moving line 1 past line 2 swaps them; the alignment line follows its line.
TEST_F(EdSectOkTest, StoresResortsAndRefreshes) {
    EdSectState st = OpenEdSect(lines, 0, 1);
    st.line = LineAt(d, 24.5L, -10, 26.5L, 10);
    st.passNo = 1;
    ASSERT_TRUE(EdSectOk(lines, st, ref, selSect, refresh));
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(lines.SectNum, 2);
    EXPECT_EQ(lines.Sect[0].Ido1, LineAcross(d, 20.5L).Ido1);
    EXPECT_EQ(lines.Sect[1].Ido1, st.line.Ido1);
    EXPECT_EQ(lines.Sect[1].Kdo2, st.line.Kdo2);
    EXPECT_EQ(selSect, 2);

    // Moved before the 20.5 m line with a pass number the lap never
    // reaches: stored, but it gets no rank and stays behind.
    EdSectState again = OpenEdSect(lines, 1, 1);
    again.line = LineAt(d, 4.5L, -10, 6.5L, 10);   // crossed once, at 5.5 m
    again.passNo = 2;
    ASSERT_TRUE(EdSectOk(lines, again, ref, selSect, refresh));
    EXPECT_EQ(lines.Sect[0].Ido1, LineAcross(d, 20.5L).Ido1);
    EXPECT_EQ(lines.Sect[1].Ido1, again.line.Ido1);
    EXPECT_EQ(lines.Sect[1].PassNo, 2);
    EXPECT_EQ(selSect, 2);
    EXPECT_EQ(refreshes, 2);
}

TEST(EdSectPreselect, LastAdjustedWhileItExists) {
    SectorLines lines;
    lines.SectNum = 3;
    struct Case { int32_t edSectSel; int pre; };
    for (const Case& c : {Case{-1, 2}, Case{0, 0}, Case{1, 1}, Case{3, 2}, Case{-5, 2}}) {
        SCOPED_TRACE(c.edSectSel);
        lines.EdSectSel = c.edSectSel;
        EXPECT_EQ(EdSectPreselect(lines), c.pre);
    }
}
