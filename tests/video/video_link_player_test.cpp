#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <thread>
#include "video/engine/ff_logger.h"
#include "video/engine/thread_helpers.h"
#include "video/video_link.h"
#include "video_fixtures.h"
#include "video_support.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

template <class F>
bool PumpUntil(F cond, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        video::ProcessPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

struct Tick {
    long double playTm;
    int64_t pts;
    bool videoPlaying;
};

} // namespace

// The real player under the link and the play clock: synced at the first
// picture, the clock's play time follows the picture time while the video
// plays, in order, up to the video's last picture.
TEST(VideoLinkPlayer, CursorFollowsThePlayingVideoToItsEnd) {
    QTemporaryDir dir;
    const QString err = RunFfmpeg(dir.path(), {"-f", "lavfi", "-i", FlatNumberedSource(64, 48, 25, 2), "-c:v",
                                               "mpeg4", "-g", "12", "-q:v", "2", "v.mkv"});
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    ASSERT_TRUE(LoadSystemCodecs());
    video::FFLogger().SetLogLevel(video::TLogLevel::llError);

    Session s;
    s.folders.AppDir = dir.path() + "/";   // no LibAV folder there: the system's libraries
    s.graphView.Page = InnerPage::Video;
    s.loadedLaps.LapDt = {StraightLap("0000", 3)};
    s.loadedLaps.LapDtNum = 1;
    SetDispSlot(s.loadedLaps, s.comparison, 0, 0);
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    FakePrompts prompts;
    auto player = std::make_unique<FFVideoPlayer>([](std::shared_ptr<const video::TVideoPicture>) {},
                                                  video::TAudioDriver::adDummy);
    VideoLink link{s, prompts, std::move(player)};
    PlayClock play{s, graphs, link, prompts};
    link.drawCurSec = [&] { play.DrawCurSec(); };
    link.playClick = [&] { play.SpeedButtonPlayClick(); };

    prompts.openResults.push_back({dir.filePath("v.mkv")});
    link.SpeedButtonOpenVideoClick();
    ASSERT_EQ(link.VideoDuration(), 2'000'000);
    // The first seek and the key-step measure settle on their own timers.
    ASSERT_TRUE(PumpUntil([&] { return !link.state().VideoKeyStepReq && link.state().VideoKeyStep >= 330'000; }));
    ASSERT_TRUE(PumpUntil([&] { return link.State() == TPlayState::psPause; }));
    link.Seek(0, video::sfAny, true);
    ASSERT_TRUE(PumpUntil([&] { return link.CurrentPts() == 0; }));
    s.comparison.PlayTm = 0;
    link.SpeedButtonSetStaClick();
    ASSERT_TRUE(link.VideoSynced());
    ASSERT_EQ(link.VideoOfsPts(), 0);
    ASSERT_EQ(link.VideoEndPts(), 2'000'000);

    std::vector<Tick> ticks;
    QObject::connect(play.Timer1, &QTimer::timeout, [&] {
        ticks.push_back({s.comparison.PlayTm, link.CurrentPts(), !link.Paused()});
    });
    play.SpeedButtonPlayClick();
    ASSERT_TRUE(PumpUntil([&] { return !s.graphView.Playing; }, 30000));
    const int64_t endPts = link.CurrentPts();
    link.Stop(true);

    std::vector<Tick> driven;
    for (const Tick& t : ticks)
        if (t.videoPlaying && t.pts >= 0 && t.pts <= 2'000'000) driven.push_back(t);
    ASSERT_GE(driven.size(), 5u);
    // How close the cursor keeps to the picture is bench_video_follow's
    // figure; here the order and the end.
    for (size_t i = 1; i < driven.size(); ++i) EXPECT_GE(driven[i].playTm, driven[i - 1].playTm) << i;
    EXPECT_GE(driven.back().playTm, 1.0L);
    // The video ended on its last picture; the clock then ran on to the lap's end.
    EXPECT_EQ(endPts, 1'960'000);
    EXPECT_LE(driven.back().playTm, 1.96L);
    EXPECT_EQ(s.comparison.PlayTm, s.loadedLaps.LapDt[0].Elm.back().Sec);
}
