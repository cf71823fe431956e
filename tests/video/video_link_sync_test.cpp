#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include "common/datetime.h"
#include <QImage>
#include <QPainter>
#include "video/video_link.h"
#include "video/video_page.h"
#include "video_link_fakes.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

// The play clock and the real link over a scripted player.
struct VideoLinkSync : ::testing::Test {
    Session s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    FakePrompts prompts;
    FakeClock clock;
    FakePlayer* player = new FakePlayer;
    VideoLink link{s, prompts, std::unique_ptr<VideoPlayer>(player)};
    PlayClock play{s, graphs, link, prompts, &clock};
    int drawn = 0;
    QTemporaryDir dir;

    VideoLinkSync() {
        link.drawCurSec = [this] {
            ++drawn;
            play.DrawCurSec();
        };
        link.playClick = [this] { play.SpeedButtonPlayClick(); };
        s.graphView.Page = InnerPage::Video;
    }
    ~VideoLinkSync() override { play.Stop(); }
    void Show(double seconds, double startShift = 0) {
        TLapDtRec lap = StraightLap("0000", seconds);
        for (auto& e : lap.Elm) e.DtTm += startShift / 86400.0;
        s.loadedLaps.LapDt = {lap};
        s.loadedLaps.LapDtNum = 1;
        SetDispSlot(s.loadedLaps, s.comparison, 0, 0);
    }
    double LapStart() const { return s.loadedLaps.LapDt[0].Elm[0].DtTm; }
    // A video open and paused at pts, synchronised at play time t.
    void OpenAndSync(long double t, int64_t pts) {
        const QString video = dir.filePath("v.mp4");
        QFile f(video);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        prompts.openResults.push_back({video});
        link.SpeedButtonOpenVideoClick();
        ASSERT_EQ(link.VideoDuration(), player->duration);
        player->pts = pts;
        s.comparison.PlayTm = t;
        link.SpeedButtonSetStaClick();
        ASSERT_TRUE(link.VideoSynced());
    }
};

} // namespace

TEST_F(VideoLinkSync, SyncAtAPausedPictureTiesPlayTimeToVideoTime) {
    Show(60);
    OpenAndSync(12.5L, 20'000'000);
    EXPECT_EQ(link.VideoOfsPts(), 7'500'000);
    EXPECT_EQ(link.VideoEndPts(), 67'500'000);
    const auto& st = link.state();
    EXPECT_NEAR(st.VideoStaDtTm, LapStart() - 7.5 / 86400.0, 1e-9);
    // Every play time maps back to the picture it was tied to.
    EXPECT_EQ(VideoPtsOf(st, 12.5L), 20'000'000);
    EXPECT_TRUE(link.VideoInRange());
    // Free again by the same button; the offsets stay.
    link.SpeedButtonSetStaClick();
    EXPECT_FALSE(link.VideoSynced());
    EXPECT_EQ(link.VideoOfsPts(), 7'500'000);
}

TEST_F(VideoLinkSync, SyncIsRefusedPastTheLapOrWhilePlayingAndEndIsCappedByTheVideo) {
    Show(60);
    player->duration = 30'000'000;
    prompts.openResults.push_back({dir.filePath("none.mp4")});
    link.SpeedButtonOpenVideoClick();
    player->pts = 1'000'000;
    s.comparison.PlayTm = 60.001L;   // beyond the last sample by a millisecond
    link.SpeedButtonSetStaClick();
    EXPECT_FALSE(link.VideoSynced());
    player->paused = false;
    s.comparison.PlayTm = 5;
    link.SpeedButtonSetStaClick();
    EXPECT_FALSE(link.VideoSynced());
    player->paused = true;
    link.SpeedButtonSetStaClick();
    ASSERT_TRUE(link.VideoSynced());
    EXPECT_EQ(link.VideoOfsPts(), -4'000'000);
    EXPECT_EQ(link.VideoEndPts(), 30'000'000);   // the lap outlasts the video
}

TEST_F(VideoLinkSync, NewReferenceLapMovesTheRangeByItsStart) {
    Show(60);
    OpenAndSync(10, 30'000'000);
    ASSERT_EQ(link.VideoOfsPts(), 20'000'000);
    Show(40, 15.25);   // a lap that started 15.25 s later
    link.CalVideoRange();
    EXPECT_EQ(link.VideoOfsPts(), 35'250'000);   // later in the video
    EXPECT_EQ(link.VideoEndPts(), 75'250'000);
}

TEST_F(VideoLinkSync, TickTakesPlayTimeFromTheVideoOnlyWhileItCoversIt) {
    Show(60);
    OpenAndSync(10, 30'000'000);   // ofs 20 s, end 80 s
    s.comparison.PlayTm = 5;
    play.SpeedButtonPlayClick();   // follows: seeks and resumes at x1
    EXPECT_TRUE(player->calls.contains("Resume"));
    EXPECT_FALSE(player->paused);
    player->pts = 27'250'000;
    clock.Advance(0.066);
    play.Timer1Timer();
    EXPECT_NEAR(double(s.comparison.PlayTm), 7.25, 1e-9);
    // Before the video's range the clock drives.
    player->pts = 10'000'000;
    clock.Advance(0.5);
    play.Timer1Timer();
    EXPECT_NEAR(double(s.comparison.PlayTm), 7.75, 1e-9);
    // On another page the video does not drive either.
    s.graphView.Page = InnerPage::Course;
    player->pts = 40'000'000;
    clock.Advance(0.5);
    play.Timer1Timer();
    EXPECT_NEAR(double(s.comparison.PlayTm), 8.25, 1e-9);
}

TEST_F(VideoLinkSync, FrameStepsMoveTheVideoInsideItsRangeAndTheCursorOutside) {
    Show(60);
    OpenAndSync(10, 30'000'000);   // ofs 20 s
    player->calls.clear();
    player->pts = 30'000'000;
    play.SpeedButtonFWDClick();
    EXPECT_EQ(player->calls, QStringList{"Step"});
    EXPECT_TRUE(link.state().VideoSeekPending);
    // The picture arrives; the link's timer brings the cursor after it.
    player->pts = 30'040'000;
    link.TimerVideoTimer();
    EXPECT_NEAR(double(s.comparison.PlayTm), 10.04, 1e-9);
    EXPECT_EQ(drawn, 1);
    // Back by the key step (1 s until measured).
    player->calls.clear();
    play.SpeedButtonBWDClick();
    EXPECT_EQ(player->calls, QStringList{"Seek 29040000 0"});
    // Outside the video (an unsynced one): the cursor moves, the video not.
    link.SpeedButtonSetStaClick();
    player->calls.clear();
    s.comparison.PlayTm = 10;
    play.SpeedButtonFWDClick();
    EXPECT_TRUE(player->calls.isEmpty());
    EXPECT_NEAR(double(s.comparison.PlayTm), 10.1, 1e-9);
}

TEST_F(VideoLinkSync, OutOfRangePausesAPlayingVideo) {
    Show(60);
    OpenAndSync(0, 0);   // ofs 0
    player->state = TPlayState::psPlay;
    player->paused = false;
    s.graphView.Page = InnerPage::Course;
    EXPECT_FALSE(link.VideoInRange());
    EXPECT_TRUE(player->calls.contains("Pause"));
}

TEST_F(VideoLinkSync, BarClicksSeekWithinTheTrackOnlyInFreeMode) {
    Show(60);
    prompts.openResults.push_back({dir.filePath("x.mp4")});
    link.SpeedButtonOpenVideoClick();
    struct Case {
        bool left;
        int x, width;
        QString call;   // empty: no seek
    } cases[] = {
        {true, 4, 108, "Seek 0 0"},          {true, 104, 108, "Seek 100000000 0"},
        {true, 54, 108, "Seek 50000000 0"}, {true, 3, 108, ""},
        {true, 105, 108, ""},               {false, 54, 108, ""},
        {true, 4, 8, ""},                   {true, 4, 0, ""},   // no track: no division by 0
    };
    for (const Case& c : cases) {
        player->calls.clear();
        link.PaintBoxVideoBarMouseDown(c.left, c.x, c.width);
        EXPECT_EQ(player->calls, c.call.isEmpty() ? QStringList{} : QStringList{c.call}) << c.x << " " << c.width;
    }
}

TEST_F(VideoLinkSync, KeyFrameStepBelowTheStepSeeksToZeroWithAnyFrame) {
    Show(60);
    prompts.openResults.push_back({dir.filePath("x.mp4")});
    link.SpeedButtonOpenVideoClick();
    player->pts = 400'000;
    player->calls.clear();
    link.SpeedButtonPTSbClick();
    EXPECT_EQ(player->calls, QStringList{"Seek 0 4"});
}

TEST_F(VideoLinkSync, AVideoAtItsEndIsNotResumedUntilMoved) {
    Show(60);
    OpenAndSync(0, 0);
    s.comparison.PlayTm = 5;
    play.SpeedButtonPlayClick();
    player->calls.clear();
    link.FFPlayerState(TPlayState::psEnd);
    EXPECT_EQ(player->calls, QStringList{"Pause"});
    // The check timer would resume it and the picture would hold the cursor.
    link.TimerVideoChkTimer();
    EXPECT_FALSE(player->calls.contains("Resume"));
    // Moved again (a jump back), it follows the clock as before.
    link.Seek(0, 4, false);
    link.TimerVideoChkTimer();
    EXPECT_TRUE(player->calls.contains("Resume"));
}

// The bar's fill for any duration, also below 0.1 s, stays in its frame.
TEST(VideoBar, FillCoversThePlayedPartForAnyDuration) {
    struct Case {
        int64_t cur, dur;
        int filledTo;   // last red column inside the frame's sides, -1 none
    } cases[] = {
        {0, 0, -1}, {50'000'000, 100'000'000, 53}, {100'000'000, 100'000'000, 102},
        {40'000, 80'000, 53}, {-1, 80'000, -1}, {900'000, 80'000, 102},
    };
    for (const Case& c : cases) {
        QImage img(108, 20, QImage::Format_RGB32);
        QPainter p(&img);
        DrawVideoBar(p, img.size(), c.cur, c.dur);
        p.end();
        int last = -1;
        for (int x = 5; x < 103; ++x)
            if (img.pixel(x, 10) == qRgb(255, 0, 0)) last = x;
        EXPECT_EQ(last, c.filledTo) << c.cur << " / " << c.dur;
    }
}

// The edges of the link's rules, each on both sides.
TEST_F(VideoLinkSync, SyncIsTakenUpToTheLapsLastSampleToTheMillisecond) {
    const struct {
        long double playTm;
        bool synced;
    } cases[] = {{60.0L, true}, {60.0004L, true}, {60.0006L, false}};
    for (const auto& c : cases) {
        Show(60);
        player->duration = 100'000'000;
        prompts.openResults.push_back({dir.filePath("none.mp4")});
        link.SpeedButtonOpenVideoClick();
        link.ClrVideoSync();
        player->pts = 1'000'000;
        s.comparison.PlayTm = c.playTm;
        link.SpeedButtonSetStaClick();
        EXPECT_EQ(link.VideoSynced(), c.synced) << double(c.playTm);
    }
}

TEST_F(VideoLinkSync, InRangeUpToTheVideosFirstAndLastMicrosecond) {
    Show(60);
    player->duration = 30'000'000;
    OpenAndSync(10, 15'000'000);  // ofs 5 s: play time 25 s is the video's end
    ASSERT_EQ(link.VideoOfsPts(), 5'000'000);
    const struct {
        long double playTm;
        bool inRange;
    } cases[] = {{25.0L, true}, {25.00001L, false}, {-5.0L, true}, {-5.00001L, false}, {0, true}};
    for (const auto& c : cases) {
        player->state = TPlayState::psPlay;
        player->paused = false;
        player->calls.clear();
        s.comparison.PlayTm = c.playTm;
        EXPECT_EQ(link.VideoInRange(), c.inRange) << double(c.playTm);
        // Out of range a playing video is paused.
        EXPECT_EQ(player->calls.contains("Pause"), !c.inRange) << double(c.playTm);
    }
}

TEST_F(VideoLinkSync, KeyStepIsMeasuredAfterTheFirstSeekAndNeverBelow330ms) {
    const struct {
        int64_t pts;  // where the first seek landed
        int64_t step;
    } cases[] = {{66'000, 330'000}, {229'999, 330'000}, {240'000, 330'000}, {299'999, 330'000},
                 {300'000, 400'000}, {1'000'000, 1'100'000}};
    Show(60);
    for (const auto& c : cases) {
        prompts.openResults.push_back({dir.filePath("x.mp4")});
        link.SpeedButtonOpenVideoClick();
        ASSERT_EQ(link.state().VideoKeyStep, 1'000'000);
        player->pts = 0;
        player->calls.clear();
        link.FFPlayerPosition(0);  // the first picture: the first seek follows
        QElapsedTimer t;
        t.start();
        while (!player->calls.contains("Seek 66000 0") && t.elapsed() < 5000) QCoreApplication::processEvents();
        ASSERT_TRUE(player->calls.contains("Seek 66000 0"));
        player->pts = c.pts;
        link.FFPlayerPosition(c.pts);  // its picture: the step is measured
        while (link.state().VideoKeyStep == 1'000'000 && t.elapsed() < 5000) QCoreApplication::processEvents();
        EXPECT_EQ(link.state().VideoKeyStep, c.step) << c.pts;
    }
}

// A video played or moved after the open, before the first seek's picture
// was reported, keeps the default key step: measured from wherever it then
// stopped, the step would be that far (a pause at 34 s made it 34 s).
TEST_F(VideoLinkSync, KeyStepIsNotMeasuredFromAVideoMovedBeforeTheFirstSeeksPicture) {
    enum When { BeforeFirstReport, BeforeFirstSeeksPicture };
    const struct {
        const char* what;
        When when;
        std::function<void()> move;
    } cases[] = {
        {"played and paused", BeforeFirstReport, [&] {
             link.SpeedButtonPauseVideoClick();
             link.FFPlayerPosition(0);  // the open's picture, reported while playing
             link.SpeedButtonPauseVideoClick();
         }},
        {"played and paused", BeforeFirstSeeksPicture, [&] {
             link.SpeedButtonPauseVideoClick();
             link.SpeedButtonPauseVideoClick();
         }},
        {"bar click", BeforeFirstSeeksPicture, [&] { link.PaintBoxVideoBarMouseDown(true, 4 + 34, 108); }},
        {"step", BeforeFirstReport, [&] { link.SpeedButtonStepVideoClick(); }},
        {"to start", BeforeFirstSeeksPicture, [&] { link.SpeedButtonVideoToStaClick(); }},
    };
    const auto pump = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.when == BeforeFirstReport ? " before the first report"
                                                                         : " before the first seek's picture"));
        prompts.openResults.push_back({dir.filePath("x.mp4")});
        link.SpeedButtonOpenVideoClick();
        player->pts = 0;
        player->calls.clear();
        if (c.when == BeforeFirstReport) c.move();
        link.FFPlayerPosition(0);
        pump(200);  // the first seek, when it is due
        if (c.when == BeforeFirstSeeksPicture) {
            ASSERT_TRUE(player->calls.contains("Seek 66000 0")) << player->calls.join(", ").toStdString();
            c.move();
        }
        // Stopped at 34 s; every later report and seek is answered there.
        pump(100);
        player->Pause();
        player->pts = 34'000'000;
        link.FFPlayerPosition(player->pts);
        pump(200);
        player->pts = 34'066'000;
        link.FFPlayerPosition(player->pts);
        pump(400);
        EXPECT_EQ(link.state().VideoKeyStep, 1'000'000) << player->calls.join(", ").toStdString();
    }
}

TEST_F(VideoLinkSync, FollowingTheClockReseeksOnlyWhenTheVideoIsOffByMoreThanATenth) {
    const struct {
        int64_t pts;
        bool seeks;
    } cases[] = {{25'099'000, false}, {25'101'000, true}, {24'901'000, false}, {24'899'000, true}};
    for (const auto& c : cases) {
        Show(60);
        link.ClrVideoSync();
        OpenAndSync(10, 30'000'000);  // ofs 20 s
        s.comparison.PlayTm = 5;
        player->pts = c.pts;
        player->calls.clear();
        play.SpeedButtonPlayClick();
        EXPECT_EQ(player->calls.contains("Seek 25000000 0"), c.seeks) << c.pts << ": " << player->calls.join(", ").toStdString();
        play.SpeedButtonPlayClick();
    }
}

TEST_F(VideoLinkSync, StepBackSeeksToTheRangesStartOnceTheKeyStepPassesIt) {
    Show(60);
    OpenAndSync(10, 30'000'000);  // ofs 20 s, key step 1 s
    const struct {
        int64_t pts;
        QString call;  // empty: no seek
    } cases[] = {{21'000'000, "Seek 20000000 0"},
                 {20'999'999, "Seek 20000000 4"},
                 {20'000'000, "Seek 20000000 4"},
                 {19'999'999, ""}};
    for (const auto& c : cases) {
        player->pts = c.pts;
        player->calls.clear();
        link.VideoStepBack();
        EXPECT_EQ(player->calls, c.call.isEmpty() ? QStringList{} : QStringList{c.call}) << c.pts;
    }
}
