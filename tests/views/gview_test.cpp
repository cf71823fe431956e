#include <cmath>
#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include "map_fixture.h"
#include "views/g_view.h"
#include "views/map_panes.h"
#include "views/map_projection.h"
#include "views/pen_rules.h"
#include "views/zoom_map.h"

using namespace vel;
using namespace vel::test;

namespace {

// A 408 x 408 pane: d = 400, centre (204, 204), outer radius 200.
const QSize Pane(408, 408);

struct GViewTest : MapFixture {
    // A 50 m circle at 36 km/h: lateral G (10 m/s)^2 / 50 m / g = 0.2039.
    const TLapDtRec& ShowCircle(Turn turn, int hz = 10) {
        Drive d;
        d.spd = 36;
        d.hz = hz;
        return Show(CircleLap(d, 50, turn));
    }
};

} // namespace

// One G to the right lands F-dependent pixels from the centre: 200 / F,
// to the nearest pixel; braking (negative longitudinal G) plots upwards.
TEST(GView, PixelOfAGByRange) {
    const struct Case {
        int32_t idx;
        double F;
        int oneG;   // Nearest(200 / F)
    } cases[] = {{0, 0.5, 400}, {1, 1.5, 133}, {2, 2.0, 100}, {3, 2.5, 80},
                 {4, 2.75, 73}, {5, 3.5, 57},  {6, 5.0, 40},  {9, 2.0, 100}, {-1, 2.0, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.idx);
        const GGeom g = GGeomOf(Pane, c.idx);
        EXPECT_EQ(g.d, 400);
        EXPECT_EQ(g.F, c.F);
        EXPECT_EQ(g.Pixel(1.0, 0), QPoint(204 + c.oneG, 204));
        EXPECT_EQ(g.Pixel(-1.0, 0), QPoint(204 - c.oneG, 204));
        EXPECT_EQ(g.Pixel(0, -c.F), QPoint(204, 4));   // full braking at the top of the outer circle
        EXPECT_EQ(g.Pixel(0, c.F / 2), QPoint(204, 304));
    }
    // Turning radius: 300 m at the outer circle, halves to even.
    const GGeom g = GGeomOf(Pane, 2);
    EXPECT_EQ(g.RadiusY(300), 404);
    EXPECT_EQ(g.RadiusY(50), 204 + 33);
    EXPECT_EQ(g.RadiusY(0.75), 204 + 0);   // 0.5 pixel: to even
    EXPECT_EQ(g.RadiusY(2.25), 204 + 2);   // 1.5 pixels: to even
}

// The scatter of a lap on a 50 m circle at 36 km/h lies on the circle of
// 0.2039 G: to the right for a left-hand turn, to the left for a right-hand one.
TEST_F(GViewTest, CircleLapScattersOnItsG) {
    ShowCircle(Turn::Left);
    ShowCircle(Turn::Right);
    s.graphView.GRangeIdx = 0;   // 0.5 G at the outer circle: 0.2039 G is 81.6 px out
    const QImage img = Draw(DrawGView, Pane);
    const QRgb light[2] = {QColor(0xFF, 0x90, 0x90).rgb(), QColor(0x70, 0x70, 0xFF).rgb()};
    // Every sample away from the lap's ends sits at one point; the ends,
    // where the filters see one side only, fall inside the circle.
    const GGeom g = GGeomOf(Pane, 0);
    EXPECT_EQ(g.Pixel(0.2039, 0), QPoint(204 + 82, 204));
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(ColourNear(img, g.Pixel(k == 0 ? 0.2039 : -0.2039, 0), light[k], 3));
        int side = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                if (img.pixel(x, y) != light[k]) continue;
                EXPECT_LE(std::hypot(x + 0.5 - 204, y + 0.5 - 204), 81.6 + 3);
                side += x > 204 ? 1 : -1;
            }
        EXPECT_EQ(side > 0, k == 0);
    }
}

// The cursor dot of a sample at its G, the radius arrow at its radius:
// 0.2039 G at F = 2 is Nearest(20.39) = 20 px right; 50 m is 33 px down.
TEST_F(GViewTest, CursorDotAndRadiusArrowOfASample) {
    const TLapDtRec& lap = ShowCircle(Turn::Left);
    s.graphView.Axis = AxisMode::Time;
    MoveTo(lap.Elm[150].Sec);
    const QImage cache = Draw(DrawGView, Pane);
    QImage img = cache;
    {
        QPainter p(&img);
        DrawGViewCursor(p, img.rect(), In());
    }
    const QRgb red = QColor(255, 0, 0).rgb();
    EXPECT_EQ(img.pixel(224, 204), red);
    EXPECT_EQ(img.pixel(224 + 3, 204 - 2), red);
    EXPECT_NE(img.pixel(224 + 7, 204), red);
    EXPECT_EQ(img.pixel(204 - 13, 237), red);   // the arrow's back
    EXPECT_EQ(img.pixel(204 - 1, 237), red);    // its tip at the axis
    // The bars at the right edge: an outline for slot 0, the scale left of it.
    bool bar = false;
    for (int y = 2; y < 30; ++y) bar |= img.pixel(Pane.width() - 3 - 1, y) == red;
    EXPECT_TRUE(bar);
    // The distance axis reads the values at the reference car's distance: the same here.
    s.graphView.Axis = AxisMode::Dist;
    QImage dist = cache;
    {
        QPainter p(&dist);
        DrawGViewCursor(p, dist.rect(), In());
    }
    EXPECT_EQ(dist.pixel(224, 204), red);
}

// The radius scale's labels and its caption end two pixels left of the
// vertical axis, in every G range: three texts (two labels, the caption)
// whose ink reaches the columns just left of cx - 2, none past it.
TEST_F(GViewTest, RadiusLabelsEndTwoPixelsLeftOfTheAxis) {
    for (int32_t idx = 0; idx <= 6; ++idx) {
        SCOPED_TRACE(idx);
        s.graphView.GRangeIdx = idx;
        const QImage img = Draw(DrawGView, Pane);
        const GGeom g = GGeomOf(Pane, idx);
        const auto dark = [&](int x, int y) {
            const QColor c = img.pixelColor(x, y);
            return c.red() < 100 && c.green() < 100 && c.blue() < 100;
        };
        int texts = 0;
        bool inText = false;
        for (int y = g.cy + 2; y < g.h; ++y) {
            int right = -1;
            for (int x = g.cx - 80; x < g.cx; ++x)
                if (dark(x, y)) right = x;
            EXPECT_LT(right, g.cx - 2) << "row " << y;
            const bool atEdge = right >= g.cx - 5;
            if (atEdge && !inText) ++texts;
            inText = atEdge;
        }
        EXPECT_EQ(texts, 3);
    }
}

// A lap's G bar: filled light while accelerating (gy > 0), in the slot's
// colour while braking, as long as the combined G on the bar's scale
// (range 2: 2.0 G over L = 134 pixels in this pane), limited to the scale.
TEST_F(GViewTest, GBarFillAndLength) {
    ShowCircle(Turn::Left);
    s.graphView.Axis = AxisMode::Dist;
    struct Case { double gx, gy; QRgb fill; int u; };
    const Case cases[] = {
        {0, 1, Rgb(0x9090FF), 67},
        {0, -1, QColor(255, 0, 0).rgb(), 67},
        {0, -3, QColor(255, 0, 0).rgb(), 134},
        {1.5, 0, 0, 100},   // all lateral: no fill
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gx << "," << c.gy);
        s.comparison.CurVal[0].DistLateG3 = c.gx;
        s.comparison.CurVal[0].DistLogiG3 = c.gy;
        QImage img(Pane, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            DrawZoomGBar(p, Pane, In(), 0, 0);
        }
        const int W = Pane.width();
        const QRgb red = QColor(255, 0, 0).rgb();
        EXPECT_EQ(img.pixel(W - 3, 2 + c.u), red);       // the outline's right side down to the bottom
        EXPECT_EQ(img.pixel(W - 10, 2 + c.u), red);      // its bottom
        EXPECT_NE(img.pixel(W - 10, 2 + c.u + 1), red);
        if (c.fill) EXPECT_EQ(img.pixel(W - 10, 2 + c.u / 2), c.fill);
        else EXPECT_EQ(img.pixel(W - 10, 2 + c.u / 2), QColor(Qt::white).rgb());
    }
}

// The read-out line's radius: "R= 300m" up to 300 m, dashes above.
TEST_F(GViewTest, RadiusReadOutDashesAbove300) {
    ShowCircle(Turn::Left);
    s.graphView.Axis = AxisMode::Dist;
    const auto line = [&](double R) {
        s.comparison.CurVal[0].DistR2_3 = R;
        QImage img(Pane, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            DrawGViewCursor(p, img.rect(), In());
        }
        return img.copy(0, Pane.height() - 30, 60, 30);
    };
    EXPECT_NE(line(300), line(301));
    EXPECT_EQ(line(300.9), line(300));
    EXPECT_EQ(line(301), line(450));
}

// The hover row is read up to exactly 20 m from the nearest sample's pixel
// (40 pixels at zoom 2) and not beyond.
TEST_F(GViewTest, HoverReachesExactly20Metres) {
    const QSize zoom(540, 400);
    const TLapDtRec& lap = ShowCircle(Turn::Left);
    s.graphView.MapZoom = 2;
    MoveTo(lap.Elm[100].Sec);
    const ZoomView v = ZoomViewOfPane(zoom, In());
    ASSERT_TRUE(v.ok);
    // A mouse position whose nearest sample lies exactly `px` pixels away.
    const auto at = [&](int px, std::initializer_list<QPoint> offsets) -> std::optional<QPoint> {
        for (int i = 80; i <= 120; ++i)
            for (const QPoint& o : offsets) {
                const QPoint m = v.Map(double(lap.Elm[i].Ido), double(lap.Elm[i].Kdo)) + o;
                if (m.x() <= 16 || m.y() <= 16 || m.x() >= zoom.width() - 16 || m.y() >= zoom.height() - 16) continue;
                double ido = 0, kdo = 0;
                v.Unmap(m.x(), m.y(), ido, kdo);
                const int j = NearestSample(lap, ido, kdo);
                const QPoint pj = v.Map(double(lap.Elm[j].Ido), double(lap.Elm[j].Kdo));
                if (std::hypot(double(pj.x() - m.x()), double(pj.y() - m.y())) == px) return m;
            }
        return std::nullopt;
    };
    struct Case { int px; std::initializer_list<QPoint> offsets; bool row; };
    const Case cases[] = {
        {40, {{40, 0}, {0, 40}, {-40, 0}, {0, -40}, {24, 32}, {32, 24}, {-24, 32}, {24, -32}}, true},
        {41, {{41, 0}, {0, 41}, {-41, 0}, {0, -41}, {9, 40}, {40, 9}, {-9, 40}, {9, -40}}, false},
    };
    for (const Case& c : cases) {
        const std::optional<QPoint> m = at(c.px, c.offsets);
        ASSERT_TRUE(m) << c.px;
        EXPECT_EQ(GHoverAt(zoom, *m, In(), true).rows.size(), c.row ? 1 : 0) << c.px;
    }
}

// Without a lap: no bars, no dots; a pane of no size or a lap without G
// values draws without dividing by zero.
TEST_F(GViewTest, EmptyViewAndBrokenLaps) {
    const QImage cache = Draw(DrawGView, Pane);
    QImage img = cache;
    {
        QPainter p(&img);
        DrawGViewCursor(p, img.rect(), In(), QPoint(300, 300));
    }
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ASSERT_NE(img.pixel(x, y), QColor(255, 0, 0).rgb());
    QImage tiny(4, 4, QImage::Format_RGB32);
    tiny.fill(Qt::white);
    {
        QPainter p(&tiny);
        DrawGView(p, tiny.rect(), In());
        DrawGViewCursor(p, tiny.rect(), In(), QPoint(1, 1));
    }
    ShowCircle(Turn::Left);
    s.loadedLaps.LapDt[0].GElm.clear();
    Draw(DrawGView, Pane);
    const GHover h = GHoverAt(QSize(540, 400), QPoint(270, 200), In(), true);
    EXPECT_TRUE(h.rows.isEmpty());
}

// A 1-hour-style long lap logged at 10 Hz and longer than 7.5 km plots
// every second sample (and the last plotted one); shorter or slower laps
// plot all but the first and last.
TEST(GView, ScatterThinning) {
    const auto lapOf = [](int samples, double step, long double km) {
        TLapDtRec lap;
        for (int i = 0; i < samples; ++i) {
            TLapElmRec e;
            e.Sec = i * step;
            lap.Elm << e;
        }
        lap.ElmNum = samples;
        lap.LapDist = km;
        return lap;
    };
    EXPECT_EQ(ScatterIndices(lapOf(7, 0.05, 8)), QVector<int>({1, 3, 5}));
    EXPECT_EQ(ScatterIndices(lapOf(8, 0.05, 8)), QVector<int>({1, 3, 5, 6}));
    EXPECT_EQ(ScatterIndices(lapOf(8, 0.05, 7.5)), QVector<int>({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ScatterIndices(lapOf(8, 0.2, 8)), QVector<int>({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ScatterIndices(lapOf(5, 0.1, 8)), QVector<int>({1, 3}));   // shortest step exactly 0.1 s
    EXPECT_EQ(ScatterIndices(lapOf(3, 0.05, 9)), QVector<int>({1}));   // fewer than four: 9.9 s, never thinned
    EXPECT_TRUE(ScatterIndices(lapOf(2, 0.1, 9)).isEmpty());
}

// The cache is drawn again only when marked dirty or resized; cursor moves
// repaint the layer only.
TEST_F(GViewTest, CacheRebuiltOnlyWhenDirtyOrResized) {
    GViewPane pane;
    pane.resize(Pane);
    pane.SetHost(Host());
    const TLapDtRec& lap = ShowCircle(Turn::Left);
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 1);
    MoveTo(lap.Elm[40].Sec);
    pane.Render();
    MoveTo(lap.Elm[90].Sec);
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 1);
    pane.SetDirty();
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 2);
    pane.resize(300, 300);
    pane.Render();
    pane.Render();
    EXPECT_EQ(pane.rebuilds(), 3);
}

// The zoom map's hover: the distance from the reference car, and per lap
// within 20 m its G and speed at the nearest sample, cut to one decimal.
TEST_F(GViewTest, ZoomMapHoverReadsDistanceAndG) {
    const QSize zoom(540, 400);
    EXPECT_EQ(GHoverAt(zoom, QPoint(270, 200), In(), true).distText, ".");
    ShowCircle(Turn::Left);
    Drive far;
    far.ido += 0.003;   // about 333 m north
    Show(CircleLap(far, 50, Turn::Left));
    const TLapDtRec& lap = s.loadedLaps.LapDt[0];
    s.graphView.MapZoom = 2;
    MoveTo(lap.Elm[100].Sec);
    EXPECT_EQ(GHoverAt(zoom, QPoint(270, 200), In(), true).distText, "0.0m");
    GHover h = GHoverAt(zoom, QPoint(370, 200), In(), true);
    EXPECT_EQ(h.distText, "50.0m");
    s.settings.DistKm = false;
    EXPECT_EQ(GHoverAt(zoom, QPoint(370, 200), In(), true).distText, "164.0feet");
    s.settings.DistKm = true;

    // Over the reference car: a row for it only, the far lap out of reach.
    h = GHoverAt(zoom, QPoint(270, 200), In(), true);
    ASSERT_TRUE(h.drawRows);
    ASSERT_EQ(h.rows.size(), 1);
    EXPECT_EQ(h.rows[0].slot, 0);
    EXPECT_NEAR(h.rows[0].sample, 100, 1);
    EXPECT_EQ(h.rows[0].gx, 0.2);
    EXPECT_EQ(h.rows[0].gy, 0.0);
    EXPECT_EQ(h.rows[0].v, 36.0);

    // Playing, or another page in front: the label only.
    EXPECT_FALSE(GHoverAt(zoom, QPoint(270, 200), In(), false).drawRows);
    s.graphView.Playing = true;
    EXPECT_FALSE(GHoverAt(zoom, QPoint(270, 200), In(), true).drawRows);
    s.graphView.Playing = false;
    // Near the border: the cursor layer only.
    EXPECT_TRUE(GHoverAt(zoom, QPoint(16, 200), In(), true).rows.isEmpty());

    // The rows, the point and its trail land on the G view.
    QImage img = Draw(DrawGView, Pane);
    {
        QPainter p(&img);
        DrawGHover(p, img.rect(), In(), h);
    }
    const GGeom g = GGeomOf(Pane, s.graphView.GRangeIdx);
    const QPoint at = g.Pixel(double(lap.GElm[h.rows[0].sample].lateG3), double(lap.GElm[h.rows[0].sample].logiG3));
    EXPECT_TRUE(ColourNear(img, at + QPoint(5, 0), QColor(255, 0, 0).rgb(), 1));
    int reddish = 0;   // the row's text, smoothed at its edges
    for (int y = 4; y < 24; ++y)
        for (int x = 4; x < 60; ++x) {
            const QColor c = img.pixelColor(x, y);
            reddish += c.red() > 200 && c.green() < 120 && c.blue() < 120;
        }
    EXPECT_GT(reddish, 5);
}

TEST(GView, HoverTrailLengthByFirstInterval) {
    for (const auto& [hz, n] : std::initializer_list<std::pair<int, int>>{{20, 20}, {10, 20}, {5, 10}, {1, 5}}) {
        SCOPED_TRACE(hz);
        Drive d;
        d.hz = hz;
        TLapDtRec lap;
        lap.Elm = StraightRun(d, 180, 3);
        lap.ElmNum = 3;
        EXPECT_EQ(HoverTrailLength(lap), n);
    }
    TLapDtRec one;
    one.Elm = StraightRun(Drive{}, 180, 1);
    one.ElmNum = 1;
    EXPECT_EQ(HoverTrailLength(one), 0);
}

// A mouse move over the view writes the G under it with "%4.1f" (a blank
// before a positive figure below 10) and the radius below the centre, or
// blanks the radius line above it; the next cursor move takes it away.
TEST_F(GViewTest, MouseMoveReadsTheGUnderThePointer) {
    GViewPane pane;
    pane.resize(Pane);
    pane.SetHost(Host());
    const TLapDtRec& lap = ShowCircle(Turn::Left);
    MoveTo(lap.Elm[40].Sec);
    pane.Render();
    // d = 400, F = 2: 55 pixels right of the centre are 0.55 G, cut to 0.5;
    // 35 below are 0.35 G and 52.5 m, cut to 0.3 and 52.
    const struct Case {
        QPoint at;
        const char* xy;
        const char* r;
    } cases[] = {
        {{259, 239}, "X=  0.5 , Y=  0.3   ", "R= 52m   "},
        {{149, 169}, "X= -0.5 , Y= -0.3   ", "                         "},
        {{204, 404}, "X=  0.0 , Y=  2.0   ", "R= 300m   "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xy);
        QMouseEvent move(QEvent::MouseMove, QPointF(c.at), pane.mapToGlobal(QPointF(c.at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&pane, &move);
        const QImage shown = pane.Render();
        // The same texts written where the view writes them.
        QImage want(Pane, QImage::Format_RGB32);
        want.fill(Qt::white);
        QRect xy, r;
        {
            QPainter p(&want);
            FontSize fs(p, 11);
            const int y2 = TextHeight(p) + 8;
            xy = QRect(4, 4, TextWidth(p, c.xy), TextHeight(p));
            r = QRect(4, y2, TextWidth(p, c.r), TextHeight(p));
            p.setPen(Qt::black);
            TextAt(p, 4, 4, c.xy);
            TextAt(p, 4, y2, c.r);
        }
        EXPECT_EQ(shown.copy(xy), want.copy(xy));
        EXPECT_EQ(shown.copy(r), want.copy(r));
    }
    MoveTo(lap.Elm[60].Sec);
    const QImage after = pane.Render();
    QImage blank(QSize(60, 12), QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_EQ(after.copy(QRect(4, 4, 60, 12)), blank);
}
