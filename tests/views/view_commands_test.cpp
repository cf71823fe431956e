#include <algorithm>
#include <vector>
#include <gtest/gtest.h>
#include "model/graph_view.h"
#include "support/recording_services.h"
#include "views/graph_refresh.h"
#include "views/view_commands.h"

using namespace vel;
using namespace vel::test;

namespace {

struct ViewCommandsTest : ::testing::Test {
    GraphView view;
    Comparison cmp;
    CallLog log;
    RecordingPanes panes{log};
    ViewCommands cmd{view, cmp, panes};
    ViewCommandsTest() { cmp.DispSlot[0].Active = true; }
};

std::vector<double> Steps(long double start, bool (*step)(long double&), int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i) {
        step(start);
        out.push_back(double(start));
    }
    return out;
}

void ExpectSteps(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "step " << i;
}

} // namespace

TEST(ZoomSteps, RunThroughTheirRangesAndStopAtTheLimits) {
    ExpectSteps(Steps(1.0L, SpdZoomIn, 7), {1.25, 1.5, 1.75, 2, 3, 4, 5});
    ExpectSteps(Steps(15.0L, SpdZoomIn, 2), {16, 16});
    ExpectSteps(Steps(2.0L, SpdZoomOut, 5), {1.75, 1.5, 1.25, 1, 1});
    ExpectSteps(Steps(3.0L, SpdZoomOut, 1), {2});
    ExpectSteps(Steps(1.0L, MapZoomOut, 3), {0.9, 0.8, 0.7});
    ExpectSteps(Steps(0.55L, MapZoomOut, 2), {0.5, 0.5});
    ExpectSteps(Steps(1.0L, MapZoomIn, 2), {1.25, 1.5});
    ExpectSteps(Steps(0.5L, MapZoomIn, 1), {0.6});
    ExpectSteps(Steps(15.9L, MapZoomIn, 2), {16, 16});
    long double at = 16;
    EXPECT_FALSE(SpdZoomIn(at));
    EXPECT_FALSE(MapZoomIn(at));
    int32_t g = 6;
    EXPECT_FALSE(GRangeOut(g));
    g = 0;
    EXPECT_FALSE(GRangeIn(g));
    EXPECT_EQ(GFullScale(0), 0.5L);
    EXPECT_EQ(GFullScale(4), 2.75L);
    EXPECT_EQ(GFullScale(6), 5.0L);
    EXPECT_EQ(GFullScale(9), 2.0L);
}

// Any walk of steps in and out lands on the same values as the straight
// runs above, exactly: five steps out and five in from 1.0 give 1.0 again,
// and the next step out 0.9.
TEST(ZoomSteps, EveryWalkLandsOnTheRunsValues) {
    const struct Case {
        const char* what;
        bool (*in)(long double&);
        bool (*out)(long double&);
        std::vector<long double> fine;   // then tail, tail + step, ... 16
        long double tail, step;
    } cases[] = {
        {"map", MapZoomIn, MapZoomOut, {0.5L, 0.6L, 0.7L, 0.8L, 0.9L}, 1.0L, 0.25L},
        {"speed graph", SpdZoomIn, SpdZoomOut, {1.0L, 1.25L, 1.5L, 1.75L}, 2.0L, 1.0L},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<long double> allowed = c.fine;
        for (long double v = c.tail; v <= 16; v += c.step) allowed.push_back(v);   // exact in binary
        const auto known = [&](long double z) { return std::find(allowed.begin(), allowed.end(), z) != allowed.end(); };
        uint32_t seed = 36;
        long double z = 1.0L;
        int strays = 0;
        for (int i = 0; i < 20000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            (seed >> 16) % 2 ? c.in(z) : c.out(z);
            strays += !known(z);
        }
        EXPECT_EQ(strays, 0);
    }
    long double z = 1.0L;
    for (int i = 0; i < 5; ++i) MapZoomOut(z);
    for (int i = 0; i < 5; ++i) MapZoomIn(z);
    EXPECT_EQ(z, 1.0L);
    MapZoomOut(z);
    EXPECT_EQ(z, 0.9L);
}

TEST_F(ViewCommandsTest, ZoomButtonsRepaintTheirPane) {
    cmd.SpeedButtonSpdZinClick();
    cmd.SpeedButtonZoutClick();
    EXPECT_EQ(log.calls, QStringList({"PaintBoxSpdPaint", "PaintBoxZoomPaint"}));
    EXPECT_EQ(view.SpdZoom, 1.25L);

    // The G range repaints the speed graph only while its G traces show.
    log.calls.clear();
    cmd.SpeedButtonGZinClick();
    view.XYGOn = true;
    cmd.SpeedButtonGZoutClick();
    EXPECT_EQ(view.GRangeIdx, 2);
    EXPECT_EQ(log.calls, QStringList({"GraphGDirty", "PaintBoxGraphGPaint", "GraphGDirty", "PaintBoxGraphGPaint",
                                      "PaintBoxSpdPaint"}));
    view.GRangeIdx = 6;
    log.calls.clear();
    cmd.SpeedButtonGZoutClick();
    EXPECT_TRUE(log.calls.isEmpty());

    // Without a reference lap only the G range zooms.
    cmp.DispSlot[0].Active = false;
    view.GRangeIdx = 2;
    cmd.SpeedButtonSpdZinClick();
    cmd.SpeedButtonZinClick();
    cmd.SpeedButtonGZinClick();
    EXPECT_EQ(view.SpdZoom, 1.25L);
    EXPECT_EQ(view.MapZoom, 0.9L);
    EXPECT_EQ(view.GRangeIdx, 1);
}

TEST_F(ViewCommandsTest, WheelZoomsThePanesUnderTheMouse) {
    cmd.MouseWheel(true, {true, true, true});   // the G view's page is not shown
    EXPECT_EQ(view.SpdZoom, 1.25L);
    EXPECT_EQ(view.MapZoom, 1.25L);
    EXPECT_EQ(view.GRangeIdx, 2);
    view.Page = InnerPage::GView;
    cmd.MouseWheel(false, {false, false, true});
    EXPECT_EQ(view.GRangeIdx, 3);
    cmp.DispSlot[0].Active = false;
    log.calls.clear();
    cmd.MouseWheel(true, {true, false, false});
    EXPECT_EQ(view.SpdZoom, 1.25L);
    EXPECT_TRUE(log.calls.isEmpty());
}

// Each switch flips its state and repaints what shows it, in its order.
TEST_F(ViewCommandsTest, SwitchesRepaintWhatTheyShow) {
    struct Case {
        void (ViewCommands::*click)();
        bool GraphView::*state;
        QStringList repaints;
    };
    const Case cases[] = {
        {&ViewCommands::PanelDiffTmClick, &GraphView::DiffTmOn,
         {"PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetDataStr", "SetPosMarker", "DrawCurG", "DrawCurDrift"}},
        {&ViewCommands::PanelAltitudeClick, &GraphView::AltitudeOn,
         {"PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetPosMarker", "DrawCurG", "DrawCurDrift"}},
        {&ViewCommands::PanelXYGClick, &GraphView::XYGOn, {"PaintBoxSpdPaint", "PaintBoxSpdBarPaint"}},
        {&ViewCommands::PanelDriftClick, &GraphView::DriftOn,
         {"PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "PaintBoxGraphDriftPaint", "PaintBoxZoomPaint"}},
        {&ViewCommands::PanelViewRduClick, &GraphView::ViewRduOn, {"PaintBoxZoomPaint"}},
    };
    for (const Case& c : cases) {
        const bool before = view.*c.state;
        log.calls.clear();
        (cmd.*c.click)();
        EXPECT_NE(view.*c.state, before);
        EXPECT_EQ(log.calls, c.repaints);
        (cmd.*c.click)();
        EXPECT_EQ(view.*c.state, before);
    }
    // The deceleration switch repaints the map only while playback is stopped.
    view.Playing = true;
    log.calls.clear();
    cmd.PanelViewRduClick();
    EXPECT_FALSE(view.ViewRduOn);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(ViewCommandsTest, AxisPairSwitchesOnlyToTheOtherAxis) {
    cmd.PanelDistClick();
    EXPECT_TRUE(log.calls.isEmpty());
    cmd.PanelTimeClick();
    EXPECT_EQ(view.Axis, AxisMode::Time);
    EXPECT_EQ(log.calls,
              QStringList({"PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetPosMarker", "DrawCurG", "DrawCurDrift"}));
    log.calls.clear();
    cmd.PanelTimeClick();
    EXPECT_TRUE(log.calls.isEmpty());
    cmd.PanelDistClick();
    EXPECT_EQ(view.Axis, AxisMode::Dist);

    // The G choice repaints only while the G traces show.
    log.calls.clear();
    cmd.ComboBoxGChange(GChoice::X);
    EXPECT_TRUE(log.calls.isEmpty());
    view.XYGOn = true;
    cmd.ComboBoxGChange(GChoice::Y);
    EXPECT_EQ(view.GSel, GChoice::Y);
    EXPECT_EQ(log.calls, QStringList({"PaintBoxSpdPaint", "PaintBoxSpdBarPaint"}));
}

TEST(Splitters, RefuseSizesOutsideTheirLimits) {
    struct Case {
        int size, extent;
        bool ok1, ok2;
    };
    const Case cases[] = {
        {131, 600, false, true}, {132, 600, true, true},  {440, 600, true, false}, {441, 600, false, false},
        {150, 279, false, false}, {119, 800, false, false}, {120, 800, false, true}, {400, 519, false, false},
        {400, 800, true, true},  {401, 800, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " in " << c.extent);
        EXPECT_EQ(Splitter1CanResize(c.size, c.extent), c.ok1);
        EXPECT_EQ(Splitter2CanResize(c.size, c.extent), c.ok2);
    }
}
