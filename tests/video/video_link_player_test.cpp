#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>
#include <mutex>
#include "support/pump_until.h"
#include "video/engine/ff_logger.h"
#include "video/video_link.h"
#include "video_fixtures.h"
#include "video_support.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

// One straight lap shown, on the video page.
struct OneLapSession : Session {
    explicit OneLapSession(const QString& dir) {
        folders.AppDir = dir + "/";   // no LibAV folder there: the system's libraries
        graphView.Page = InnerPage::Video;
        loadedLaps.LapDt = {StraightLap("0000", 3)};
        loadedLaps.LapDtNum = 1;
        SetDispSlot(loadedLaps, comparison, 0, 0);
    }
};

// The real player under the link and the play clock; the player's pictures
// go to sink.
struct PlayerRig {
    OneLapSession s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    FakePrompts prompts;
    VideoLink link;
    PlayClock play{s, graphs, link, prompts};

    PlayerRig(const QString& dir, video::TPictureSink sink)
        : s(dir), link{s, prompts, std::make_unique<FFVideoPlayer>(std::move(sink), video::TAudioDriver::adDummy)} {
        link.drawCurSec = [this] { play.DrawCurSec(); };
        link.playClick = [this] { play.SpeedButtonPlayClick(); };
    }
};

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

    PlayerRig rig(dir.path(), [](std::shared_ptr<const video::TVideoPicture>) {});
    Session& s = rig.s;
    FakePrompts& prompts = rig.prompts;
    VideoLink& link = rig.link;
    PlayClock& play = rig.play;

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

namespace {

// The shown pictures' frame numbers, from the player's thread.
struct ShownFrames {
    std::mutex m;
    std::vector<int> frames;
    void Add(const video::TVideoPicture& pic) {
        const int n = FrameNumberOfBlocks(pic.Bits.data(), pic.Width, pic.Height, pic.Stride);
        std::lock_guard<std::mutex> lock(m);
        frames.push_back(n);
    }
    std::vector<int> Since(size_t from) {
        std::lock_guard<std::mutex> lock(m);
        return std::vector<int>(frames.begin() + long(std::min(from, frames.size())), frames.end());
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(m);
        return frames.size();
    }
};

} // namespace

// The page's buttons and the cursor move the real player to the picture at
// their time, on the clips cameras write: the first seek after the open and
// the key-step it measures, a click on the bar between key frames, a step,
// the previous-key-frame button, "to start", and in synced mode a cursor
// click and the cursor's steps, which bring the play time to the picture's.
TEST(VideoLinkPlayer, ButtonsAndCursorShowThePictureAtTheirTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(LoadSystemCodecs());
    video::FFLogger().SetLogLevel(video::TLogLevel::llError);
    constexpr int fps = SeekClipFps;
    for (const SeekClip& clip : SeekClips()) {
        SCOPED_TRACE(clip.file.toStdString());
        const QString why = MakeClip(dir.path(), clip);
        if (Skipped(why)) {
            std::cout << "[ SKIPPED  ] " << why.toStdString() << "\n";
            continue;
        }
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();

        ShownFrames shown;  // outlives the player's thread
        PlayerRig rig(dir.path(), [&](std::shared_ptr<const video::TVideoPicture> pic) { shown.Add(*pic); });
        Session& s = rig.s;
        FakePrompts& prompts = rig.prompts;
        VideoLink& link = rig.link;

        prompts.openResults.push_back({dir.filePath(clip.file)});
        link.SpeedButtonOpenVideoClick();
        ASSERT_GT(link.VideoDuration(), 3'900'000);
        // The key step is measured 300 ms after the first seek's picture.
        ASSERT_TRUE(PumpUntil([&] { return link.state().VideoKeyStep != 1'000'000; }));
        ASSERT_TRUE(PumpUntil([&] { return link.State() == TPlayState::psPause; }));
        // The first picture's position: the sound may start before it.
        const int64_t first = link.CurrentPts() - 2 * 1'000'000 / fps;
        const auto posOf = [&](int frame) { return first + (int64_t(frame) * 1'000'000 + fps / 2) / fps; };
        // The first seek went 66 ms on from the first picture, to frame 2,
        // and measured the smallest key step.
        EXPECT_EQ(shown.Since(0).back(), 2);
        EXPECT_NEAR(double(link.CurrentPts()), double(posOf(2)), 1000);
        EXPECT_EQ(link.state().VideoKeyStep, 330'000);

        // Waits for the move to show its one picture, then checks it and the position.
        const auto expectShown = [&](const char* what, size_t from, int frame) {
            ASSERT_TRUE(PumpUntil([&] {
                return shown.Count() > from && std::abs(link.CurrentPts() - posOf(frame)) <= 1000;
            }, 10000)) << what << ": shown " << ::testing::PrintToString(shown.Since(from));
            PumpUntil([] { return false; }, 100);
            EXPECT_EQ(shown.Since(from), std::vector<int>{frame}) << what;
        };
        size_t from = shown.Count();
        const int width = 408;  // 400 pixels of track
        link.PaintBoxVideoBarMouseDown(true, 4 + 210, width);
        const int64_t barTarget = link.VideoDuration() * 210 / 400;
        const int barFrame = int(std::llround(double(barTarget - first) * fps / 1e6));
        expectShown("bar", from, barFrame);
        from = shown.Count();
        link.SpeedButtonStepVideoClick();
        expectShown("step", from, barFrame + 1);
        from = shown.Count();
        link.SpeedButtonPTSbClick();  // 330 ms back: 9.9 frames
        expectShown("previous key frame", from, barFrame + 1 - 10);

        from = shown.Count();
        link.SpeedButtonVideoToStaClick();  // the first picture, then 66 ms of play
        ASSERT_TRUE(PumpUntil([&] { return shown.Count() > from && link.Paused(); }));
        PumpUntil([] { return false; }, 200);
        const auto fromStart = shown.Since(from);
        ASSERT_FALSE(fromStart.empty());
        EXPECT_EQ(fromStart.front(), 0) << "to start: shown " << ::testing::PrintToString(fromStart);

        // Synced at this picture, play time 0.
        const int at = shown.Since(0).back();
        s.comparison.PlayTm = 0;
        link.SpeedButtonSetStaClick();
        ASSERT_TRUE(link.VideoSynced());
        const auto expectCursor = [&](const char* what, size_t from, int frame) {
            expectShown(what, from, frame);
            ASSERT_TRUE(PumpUntil([&] { return !link.state().VideoSeekPending; })) << what;
            EXPECT_NEAR(double(s.comparison.PlayTm), double(posOf(frame) - posOf(at)) / 1e6, 0.0011) << what;
        };
        from = shown.Count();
        s.comparison.PlayTm = 1.5L;
        link.VideoSeekToPlayTime();
        expectCursor("cursor click", from, at + 45);
        from = shown.Count();
        link.VideoStepFwd();
        expectCursor("cursor step forward", from, at + 46);
        from = shown.Count();
        link.VideoStepBack();
        expectCursor("cursor step back", from, at + 36);
        link.Stop(true);
    }
}

// A transport stream whose time stamps wrap a few pictures after its start:
// the first seek after the open and "to start" show the pictures at their
// time, not the next key frame, and the key step is measured from the first.
TEST(VideoLinkPlayer, FirstSeekAndToStartOfAWrappingTransportStream) {
    QTemporaryDir dir;
    const QString err =
        RunFfmpeg(dir.path(), {"-f", "lavfi", "-i", BlockNumberedSource(720, 576, 25, 2), "-c:v", "mpeg2video", "-g",
                               "12", "-sc_threshold", "1000000000", "-output_ts_offset", "95442", "wrap.ts"});
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    ASSERT_TRUE(LoadSystemCodecs());
    video::FFLogger().SetLogLevel(video::TLogLevel::llError);
    ShownFrames shown;  // outlives the player's thread
    PlayerRig rig(dir.path(), [&](std::shared_ptr<const video::TVideoPicture> pic) { shown.Add(*pic); });
    VideoLink& link = rig.link;
    rig.prompts.openResults.push_back({dir.filePath("wrap.ts")});
    link.SpeedButtonOpenVideoClick();
    ASSERT_EQ(link.VideoDuration(), 2'000'000);
    ASSERT_TRUE(PumpUntil([&] { return link.state().VideoKeyStep != 1'000'000; }));
    ASSERT_TRUE(PumpUntil([&] { return link.State() == TPlayState::psPause; }));
    // 66 ms on from the first picture: the nearer picture is the third.
    EXPECT_EQ(shown.Since(0), (std::vector<int>{0, 2}));
    EXPECT_EQ(link.CurrentPts(), 80'000);
    EXPECT_EQ(link.state().VideoKeyStep, 330'000);

    const size_t from = shown.Count();
    link.SpeedButtonVideoToStaClick();  // the first picture, then 66 ms of play
    ASSERT_TRUE(PumpUntil([&] { return shown.Count() > from && link.Paused(); }));
    PumpUntil([] { return false; }, 200);
    const auto fromStart = shown.Since(from);
    ASSERT_FALSE(fromStart.empty());
    EXPECT_EQ(fromStart.front(), 0) << "to start: shown " << ::testing::PrintToString(fromStart);
    link.Stop(true);
}
