#include <cmath>
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

const QStringList TickOrder = {"PaintBoxZoomPaint", "PaintBoxSpdBarPaint", "PaintBoxSpdPaint", "SetPosMarker",
                               "SetDataStr",        "DrawCurG",            "DrawCurDrift"};
const QStringList StepOrder = {"PaintBoxZoomPaint", "PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetPosMarker",
                               "SetDataStr",        "DrawCurG",         "DrawCurDrift"};

struct Factor {
    SpeedFactor f;
    double perSecond;
    double step;
};
const Factor Factors[] = {{SpeedFactor::X05, 0.5, 0.05}, {SpeedFactor::X1, 1, 0.1}, {SpeedFactor::X2, 2, 0.2},
                          {SpeedFactor::X4, 4, 0.4},     {SpeedFactor::X8, 8, 0.8}};

using PlayClockTest = ViewFixture;

} // namespace

// One second of 66 ms ticks moves the cursor by the speed factor.
TEST_F(PlayClockTest, OneSecondOfPlayMovesBySpeedFactor) {
    Show({60});
    for (const Factor& f : Factors) {
        SCOPED_TRACE(TickMultiplier(f.f));
        s.graphView.Speed = f.f;
        playTm() = 0;
        play.SpeedButtonPlayClick();
        ASSERT_TRUE(play.Playing());
        for (int i = 0; i < 15; ++i) {
            clock.Advance(0.066);
            play.Timer1Timer();
        }
        clock.Advance(0.010);
        play.Timer1Timer();
        EXPECT_NEAR(double(playTm()), f.perSecond, 1e-9);
        play.SpeedButtonPlayClick();
        EXPECT_FALSE(play.Playing());
        EXPECT_FALSE(s.graphView.Playing);
    }
}

// The whole stall counts (no minutes dropped), a clock that seems to run
// back counts as no time, and the cursor never passes the end.
TEST_F(PlayClockTest, ElapsedTimeIsMonotonicAndWhole) {
    Show({100});
    play.SpeedButtonPlayClick();
    clock.Advance(61.5);
    play.Timer1Timer();
    EXPECT_NEAR(double(playTm()), 61.5, 1e-9);
    clock.now -= 3'600'000'000'000;   // an hour back: nothing moves
    play.Timer1Timer();
    EXPECT_NEAR(double(playTm()), 61.5, 1e-9);
    EXPECT_TRUE(play.Playing());
}

// Playback stops exactly at the end and a new start begins at 0.
TEST_F(PlayClockTest, StopsAtTheEndAndRestartsFromZero) {
    Show({10, 12});
    ASSERT_NEAR(double(s.comparison.DispLapSec), 12, 1e-9);
    play.SpeedButtonPlayClick();
    log.calls.clear();
    clock.Advance(12.5);
    play.Timer1Timer();
    EXPECT_EQ(playTm(), s.comparison.DispLapSec);
    EXPECT_FALSE(play.Playing());
    EXPECT_EQ(glyphs, QStringList({"running", "stopped"}));
    EXPECT_EQ(log.calls, QStringList{"VideoFollowPlay"} + TickOrder);

    log.calls.clear();
    play.SpeedButtonPlayClick();
    EXPECT_EQ(playTm(), 0);
    EXPECT_TRUE(play.Playing());
    // Starting repaints nothing; the next tick does.
    EXPECT_EQ(log.calls, QStringList{"VideoFollowPlay"});
}

TEST_F(PlayClockTest, FrameStepsAtEachFactor) {
    Show({30});
    for (const Factor& f : Factors) {
        SCOPED_TRACE(f.step);
        s.graphView.Speed = f.f;
        playTm() = 10;
        log.calls.clear();
        play.SpeedButtonFWDClick();
        EXPECT_NEAR(double(playTm()), 10 + f.step, 1e-9);
        EXPECT_EQ(log.calls, StepOrder);
        play.SpeedButtonBWDClick();
        play.SpeedButtonBWDClick();
        EXPECT_NEAR(double(playTm()), 10 - f.step, 1e-9);
    }
    s.graphView.Speed = SpeedFactor::X05;
    playTm() = 0.03;
    play.SpeedButtonBWDClick();
    EXPECT_EQ(playTm(), 0);

    // Past the end while playing: playback stops at the end.
    s.graphView.Speed = SpeedFactor::X8;
    play.SpeedButtonPlayClick();
    playTm() = 29.5;
    play.SpeedButtonFWDClick();
    EXPECT_EQ(playTm(), s.comparison.DispLapSec);
    EXPECT_FALSE(play.Playing());
}

// A step inside a synchronised video moves the video; the cursor follows it
// later through DrawCurSec.
TEST_F(PlayClockTest, StepsInsideTheVideoMoveTheVideo) {
    Show({30});
    video.inRange = true;
    playTm() = 5;
    log.calls.clear();
    play.SpeedButtonFWDClick();
    play.SpeedButtonBWDClick();
    EXPECT_EQ(log.calls, QStringList({"VideoStepFwd", "VideoStepBack"}));
    // A video-driven move past the lap's end stops playback at the end.
    play.SpeedButtonPlayClick();
    ASSERT_TRUE(play.Playing());
    playTm() = 40;
    log.calls.clear();
    play.DrawCurSec();
    EXPECT_EQ(playTm(), 30);
    EXPECT_FALSE(play.Playing());
    EXPECT_EQ(log.calls, TickOrder);
}

// On the video page a playing synchronised video sets the play time.
TEST_F(PlayClockTest, TickTakesThePlayTimeFromAPlayingVideo) {
    Show({30});
    video.duration = 100'000'000;
    video.synced = true;
    video.ofs = 2'000'000;
    video.end = 32'000'000;
    video.pts = 9'500'000;
    video.paused = false;
    play.SpeedButtonPlayClick();
    clock.Advance(0.066);
    play.Timer1Timer();
    EXPECT_NEAR(double(playTm()), 0.066, 1e-9);   // course page: the clock drives
    s.graphView.Page = InnerPage::Video;
    clock.Advance(0.066);
    play.Timer1Timer();
    EXPECT_NEAR(double(playTm()), 7.5, 1e-9);
    // Up to the video's end inclusive; past it the clock drives again.
    video.end = 22'000'000;
    struct Case { long long pts; double playTm; };
    for (const Case& c : {Case{22'000'000, 20}, Case{22'000'001, 19.6}}) {
        playTm() = 19.5;
        video.pts = c.pts;
        clock.Advance(0.1);
        play.Timer1Timer();
        EXPECT_NEAR(double(playTm()), c.playTm, 1e-9) << c.pts;
    }
}

// Repeated presses alternate between the lap start and the alignment line.
TEST_F(PlayClockTest, JumpAlternatesBetweenStartAndAlignmentLine) {
    Show({30});
    s.sectorLines.SectNum = 2;
    s.comparison.DispSlot[0].SectStaSec[0] = 9.5L;
    s.comparison.DispSlot[0].SectStaSec[1] = 17.25L;
    struct Line { int sel; long double at; };
    for (const Line& l : {Line{2, 17.25L}, Line{1, 9.5L}}) {
        SCOPED_TRACE(l.sel);
        s.comparison.SelSect = l.sel;
        playTm() = 12.3;
        play.SpeedButtonPlayClick();
        log.calls.clear();
        play.SpeedButtonToStartClick();
        EXPECT_EQ(playTm(), 0);
        EXPECT_FALSE(play.Playing());
        EXPECT_EQ(log.calls, StepOrder);
        play.SpeedButtonToStartClick();
        EXPECT_EQ(playTm(), l.at);
        play.SpeedButtonToStartClick();
        EXPECT_EQ(playTm(), 0);
    }

    // With a synchronised video: paused when it plays, and sought to the new play time.
    video.duration = 60'000'000;
    video.synced = true;
    video.ofs = 1'000'000;
    struct State { TPlayState st; QStringList calls; };
    const State states[] = {
        {TPlayState::psPlay, {"Pause", "Seek(10500000,1,0)"}},
        {TPlayState::psResume, {"Pause", "Seek(1000000,1,0)"}},
        {TPlayState::psPause, {"Seek(10500000,1,0)"}},
    };
    for (const State& c : states) {
        SCOPED_TRACE(int(c.st));
        video.state = c.st;
        log.calls.clear();
        play.SpeedButtonToStartClick();
        EXPECT_EQ(log.calls, StepOrder + c.calls);
    }
}

// Without a reference lap only the jump acts: to 0, with a repaint.
TEST_F(PlayClockTest, WithoutReferenceLapOnlyTheJumpActs) {
    playTm() = 5;
    prompts.answers.push_back(Answer::Yes);
    play.SpeedButtonPlayClick();
    play.SpeedButtonFWDClick();
    play.SpeedButtonBWDClick();
    play.SpeedButtonResetClick();
    EXPECT_EQ(playTm(), 5);
    EXPECT_FALSE(play.Playing());
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_TRUE(prompts.calls.empty());
    play.SpeedButtonToStartClick();
    EXPECT_EQ(playTm(), 0);
    EXPECT_EQ(log.calls, StepOrder);
}

TEST_F(PlayClockTest, ClearingAsksThenEmptiesTheDisplay) {
    Show({30, 25});
    playTm() = 8;
    prompts.answers.push_back(Answer::No);
    play.SpeedButtonResetClick();
    EXPECT_EQ(s.loadedLaps.LapDtNum, 2);
    EXPECT_TRUE(log.calls.isEmpty());

    prompts.answers.push_back(Answer::Yes);
    play.SpeedButtonPlayClick();
    video.duration = 1;
    video.state = TPlayState::psResume;
    log.calls.clear();
    play.SpeedButtonResetClick();
    EXPECT_EQ(prompts.texts("yescancel").back(), ClearDisplayQuestion);
    EXPECT_FALSE(play.Playing());
    EXPECT_EQ(playTm(), 0);
    EXPECT_EQ(s.loadedLaps.LapDtNum, 0);
    EXPECT_TRUE(s.loadedLaps.LapDt.isEmpty());
    for (const TDispSlotRec& slot : s.comparison.DispSlot) EXPECT_FALSE(slot.Active);
    EXPECT_EQ(s.comparison.DispLapSec, 0);
    EXPECT_EQ(s.comparison.DispIdoMin, 90);
    EXPECT_EQ(s.comparison.RefIdo, 0);
    EXPECT_EQ(log.calls, QStringList({"GraphDirty", "PaintBoxGraphPaint", "PaintBoxZoomPaint", "PaintBoxSpdPaint",
                                      "PaintBoxSpdBarPaint", "GraphGDirty", "PaintBoxGraphGPaint", "GraphDriftDirty",
                                      "PaintBoxGraphDriftPaint", "SetDataStr", "SetSectGrid", "Pause"}));
}

// The alignment line cycles through the lines every lap passes; a lap that
// misses one puts it back to none.
TEST_F(PlayClockTest, AlignmentLineCyclesAndMovesTheCursor) {
    Show({30, 28});
    s.sectorLines.SectNum = 2;
    for (int k = 0; k < 2; ++k) {
        TDispSlotRec& slot = s.comparison.DispSlot[k];
        slot.SectStaDist[0] = 0.1L + k * 0.01L;
        slot.SectStaDist[1] = 0.3L + k * 0.01L;
        slot.SectStaSec[0] = 5 + k;
        slot.SectStaSec[1] = 15 + k;
    }
    QList<int> seen;
    QList<double> cursor;
    for (int i = 0; i < 4; ++i) {
        log.calls.clear();
        play.SpeedButtonDistOfsClick();
        seen << s.comparison.SelSect;
        cursor << double(playTm());
        EXPECT_EQ(log.calls, QStringList({"PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "DrawCurG", "DrawCurDrift"}) +
                                 StepOrder);
    }
    EXPECT_EQ(seen, QList<int>({1, 2, 0, 1}));
    EXPECT_EQ(cursor, QList<double>({5, 15, 0, 5}));
    EXPECT_NEAR(double(s.comparison.TmOfs[1]), 1, 1e-9);

    // Refused while playing.
    play.SpeedButtonPlayClick();
    play.SpeedButtonDistOfsClick();
    EXPECT_EQ(s.comparison.SelSect, 1);
    play.Stop();

    s.comparison.DispSlot[1].SectStaDist[1] = 0;
    play.SpeedButtonDistOfsClick();
    EXPECT_EQ(s.comparison.SelSect, 0);

    // Refused without lines too: the reference's values at the cursor are read again.
    s.sectorLines.SectNum = 0;
    s.comparison.CurVal[0].DistSpd = -1;
    play.SpeedButtonDistOfsClick();
    EXPECT_EQ(s.comparison.SelSect, 0);
    EXPECT_NE(s.comparison.CurVal[0].Spd, -1);
    EXPECT_EQ(s.comparison.CurVal[0].DistSpd, s.comparison.CurVal[0].Spd);
}

// The refresh chain reads each shown lap at the play time plus its offset
// and puts the zoom map's centre on the reference lap.
TEST_F(PlayClockTest, RefreshChainComputesCursorValues) {
    Show({30, 30});
    s.comparison.TmOfs[1] = 2;
    playTm() = 10;
    play.DrawCurSec();
    const Comparison& c = s.comparison;
    EXPECT_NEAR(double(c.CurVal[0].Dist), double(s.loadedLaps.LapDt[0].Elm[100].Dist), 1e-9);
    EXPECT_NEAR(double(c.CurVal[1].Dist), double(s.loadedLaps.LapDt[1].Elm[120].Dist), 1e-9);
    EXPECT_EQ(c.CurIdo, c.CurVal[0].Ido);
    EXPECT_EQ(c.CurKdo, c.CurVal[0].Kdo);
}
