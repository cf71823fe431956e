// When pictures are shown: a player slower than its clip drops pictures to
// stay with the sound but keeps showing some when it cannot, a seek wakes a
// player waiting for a far picture, and a picture the scaler cannot make is
// shown black, never as an older one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>
#include "support/pump_until.h"
#include "video/engine/frame_skip.h"
#include "video/engine/player.h"
#include "video_fixtures.h"
#include "video_support.h"

using namespace vel::video;
using vel::TPlayState;

namespace {

// An environment variable set for one scope, as it was afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
        if (had_) old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

struct Shown {
    int frame;
    int64_t pts;     // µs
    double soundS;   // the sound handed to the output by then, s
};

// The seconds of 44.1 kHz stereo sound SDL's file output holds so far.
double SoundWritten(const QString& file) {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_size / 176400.0 : 0;
}

// Opens clip with its sound going to SDL's file output `sound`, paced at one
// 1024-sample buffer's time per buffer: what it has written is the sound
// played so far.
bool OpenWithSoundInFile(TFFPlayer& player, const QString& clip, const QString& sound, const TPictureSink& sink) {
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(sound));
    ScopedEnv pace("SDL_DISKAUDIODELAY", "23");
    player.AudioDriver = TAudioDriver::adDefault;
    return player.Open(clip, sink);
}

class PlayerTiming : public vel::test::ClipFolderSuite<PlayerTiming> {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        struct {
            QStringList args;
        } jobs[] = {
            // 4 s at 25 pictures a second with 44.1 kHz stereo sound.
            {{"-f", "lavfi", "-i", vel::test::BlockNumberedSource(64, 48, 25, 4), "-f", "lavfi", "-i",
              "sine=frequency=440:sample_rate=44100:duration=4", "-ac", "2", "-c:v", "ffv1", "-c:a", "pcm_s16le",
              "starve.mkv"}},
            // Three pictures, the last 9.54 s after the second (a gap in the
            // recording, waited out), no sound.
            {{"-f", "lavfi", "-i", vel::test::BlockNumberedSource(64, 48, 25, 0.12), "-vf",
              "setpts='PTS+if(gte(N,2),9.5/TB,0)'", "-fps_mode", "passthrough", "-c:v", "ffv1", "far.mkv"}},
            {{"-f", "lavfi", "-i", "color=c=white:s=64x16:r=25:d=0.2", "-c:v", "ffv1", "white.mkv"}},
        };
        for (const auto& j : jobs) {
            const QString err = vel::test::RunFfmpeg(dir_->path(), j.args);
            ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        }
    }
    static bool Load(TFFPlayer& p) { return p.LoadAVLib(vel::test::LibAVFolder()); }
};

int FrameOf(const TVideoPicture& pic) {
    return vel::test::FrameNumberOfBlocks(pic.Bits.data(), pic.Width, pic.Height, pic.Stride);
}

} // namespace

TEST(FrameSkip, DeliversOneInItsRatioAndAllWhileTheQueueIsFull) {
    struct Case {
        int late, full;
        int delivered;  // of 100 decoded
    } cases[] = {
        {0, 0, 100},
        {14, 0, 50},   // 1.05^14 = 1.98
        {28, 0, 25},   // 3.92
        {28, 14, 52},  // back down to 1.91
        {0, 5, 100},   // below 1: every picture, however full the queue was
    };
    for (const Case& c : cases) {
        TFrameSkip skip;
        for (int i = 0; i < c.late; ++i) skip.Late();
        for (int i = 0; i < c.full; ++i) skip.QueueFull();
        int n = 0;
        for (int i = 0; i < 100; ++i) n += skip.Deliver();
        EXPECT_NEAR(n, c.delivered, 1) << c.late << " late, " << c.full << " full";
    }
    TFrameSkip skip;
    for (int i = 0; i < 200; ++i) skip.QueueFull();
    EXPECT_DOUBLE_EQ(skip.Ratio(), 0.95);
    skip.Late();
    EXPECT_DOUBLE_EQ(skip.Ratio(), 0.95 * 1.05);  // from the floor, not from far below it
    for (int i = 0; i < 30; ++i) skip.Late();
    skip.Deliver();
    skip.Reset();  // a seek: the next picture and every one after it
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(skip.Deliver());
}

// Every picture takes twice its time to show: a player that showed them all
// would fall behind its sound by half the clip. It drops pictures instead
// and stays with the sound, and still plays to the end.
TEST_F(PlayerTiming, APlayerSlowerThanItsClipDropsPicturesAndKeepsUpWithTheSound) {
    const QString sound = File("starve.raw");
    TFFPlayer player;
    ASSERT_TRUE(Load(player));
    std::mutex m;
    std::vector<Shown> shown;
    int ends = 0;
    player.OnState = [&](QObject*, TPlayState s) { ends += s == TPlayState::psEnd; };
    const auto sink = [&](std::shared_ptr<const TVideoPicture> pic) {
        const double handed = SoundWritten(sound);
        {
            std::lock_guard<std::mutex> lock(m);
            shown.push_back({FrameOf(*pic), pic->PTS, handed});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
    };
    ASSERT_TRUE(OpenWithSoundInFile(player, File("starve.mkv"), sound, sink)) << player.LastErrMsg().toStdString();
    ASSERT_TRUE(player.HasAudioOutput());
    EXPECT_TRUE(vel::test::PumpUntil([&] { return ends > 0; }, 60000));
    player.Stop(true);
    std::lock_guard<std::mutex> lock(m);
    ASSERT_FALSE(shown.empty());
    for (size_t i = 1; i < shown.size(); ++i) ASSERT_GT(shown[i].frame, shown[i - 1].frame) << "at " << i;
    EXPECT_LT(shown.size(), 75u) << "of 100 pictures";
    EXPECT_GE(shown.back().frame, 95);
    // Once the sound has played for a second, while it lasts.
    double worst = 0;
    for (const Shown& s : shown)
        if (s.soundS > 1.0 && s.soundS < 4.0) worst = std::max(worst, std::fabs(s.pts / 1e6 - s.soundS));
    EXPECT_LT(worst, 0.5) << "picture minus sound, s";
}

// Pictures come at half their pace (FFmpeg's realtime filter holds each
// back), as from a decoder that cannot keep up: the picture cannot stay with
// the sound, but pictures keep being shown while it plays rather than every
// one being dropped for being far behind.
TEST_F(PlayerTiming, PicturesFromADecoderThatCannotKeepUpAreStillShown) {
    const QString sound = File("slow.raw");
    TFFPlayer player;
    player.VideoFilters = "realtime=speed=0.5";
    ASSERT_TRUE(Load(player));
    std::mutex m;
    std::vector<Shown> shown;
    int ends = 0;
    player.OnState = [&](QObject*, TPlayState s) { ends += s == TPlayState::psEnd; };
    const auto sink = [&](std::shared_ptr<const TVideoPicture> pic) {
        const double handed = SoundWritten(sound);
        std::lock_guard<std::mutex> lock(m);
        shown.push_back({FrameOf(*pic), pic->PTS, handed});
    };
    ASSERT_TRUE(OpenWithSoundInFile(player, File("starve.mkv"), sound, sink)) << player.LastErrMsg().toStdString();
    EXPECT_TRUE(vel::test::PumpUntil([&] { return ends > 0; }, 60000));
    player.Stop(true);
    std::lock_guard<std::mutex> lock(m);
    const auto whileSounding = std::count_if(shown.begin(), shown.end(), [](const Shown& s) {
        return s.soundS > 1.0 && s.soundS < 4.0;
    });
    EXPECT_GE(whileSounding, 5) << "of " << shown.size() << " shown";
}

// Whether SDL's file output holds any sound yet (silence is zeros).
bool SoundIn(const QString& file) {
    QFile f(file);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != 0; });
}

// The sound of a file with video starts with its first picture, even one
// that is slow to come (each picture scaled up to 4096 x 4096 and back):
// started before it, the picture would begin behind the sound and drop its
// next pictures to catch up. A video that gives no picture at all (every
// one filtered out) does not keep the sound back.
TEST_F(PlayerTiming, TheSoundStartsWithTheFirstPicture) {
    struct Case {
        const char* filters;
        bool pictures;
    } cases[] = {{"scale=4096:4096,scale=64:48", true}, {"select=0", false}};
    for (const Case& c : cases) {
        const char* filters = c.filters;
        SCOPED_TRACE(filters);
        const QString sound = File("start.raw");
        TFFPlayer player;
        player.VideoFilters = filters;
        ASSERT_TRUE(Load(player));
        std::mutex m;
        std::vector<bool> heardBefore;  // per picture: sound in the output before it
        const auto sink = [&](std::shared_ptr<const TVideoPicture>) {
            const bool heard = SoundIn(sound);
            std::lock_guard<std::mutex> lock(m);
            heardBefore.push_back(heard);
        };
        ASSERT_TRUE(OpenWithSoundInFile(player, File("starve.mkv"), sound, sink)) << player.LastErrMsg().toStdString();
        EXPECT_TRUE(vel::test::PumpUntil([&] { return SoundIn(sound); }));
        if (c.pictures) {
            EXPECT_TRUE(vel::test::PumpUntil([&] {
                std::lock_guard<std::mutex> lock(m);
                return !heardBefore.empty();
            }));
        }
        player.Stop(true);
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(heardBefore.empty(), !c.pictures);
        if (!heardBefore.empty()) {
            EXPECT_FALSE(heardBefore[0]);
        }
    }
}

// Waiting 9.5 s for its next picture, the player is woken by a seek to it
// and shows it long before it would have been due (it does not wake every
// 0.1 s to look).
TEST_F(PlayerTiming, ASeekWakesAPlayerWaitingForAFarPicture) {
    TFFPlayer player;
    player.AudioDriver = TAudioDriver::adDummy;
    ASSERT_TRUE(Load(player));
    std::mutex m;
    std::vector<int> frames;
    const auto sink = [&](std::shared_ptr<const TVideoPicture> pic) {
        std::lock_guard<std::mutex> lock(m);
        frames.push_back(FrameOf(*pic));
    };
    const auto count = [&] {
        std::lock_guard<std::mutex> lock(m);
        return frames.size();
    };
    ASSERT_TRUE(player.Open(File("far.mkv"), sink)) << player.LastErrMsg().toStdString();
    // Once the second is shown the third has been timed (two are queued):
    // the player goes from showing the second straight to waiting.
    ASSERT_TRUE(vel::test::PumpUntil([&] { return count() >= 2; }));
    player.Seek(9'580'000, 0, false);
    EXPECT_TRUE(vel::test::PumpUntil([&] { return count() >= 3; }, 8000)) << "not before it was due";
    player.Stop(true);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2}));
}

// A picture the scaler refuses to make comes black, not holding the pixels
// of the picture shown before it in the same buffer.
TEST_F(PlayerTiming, APictureThatCannotBeConvertedIsBlack) {
    TFFPlayer player;
    player.AudioDriver = TAudioDriver::adDummy;
    ASSERT_TRUE(Load(player));
    std::mutex m;
    std::vector<std::vector<uint8_t>> shown;  // each picture's rows, without the row ends
    const auto sink = [&](std::shared_ptr<const TVideoPicture> pic) {
        std::vector<uint8_t> rows;
        for (int y = 0; y < pic->Height; ++y) {
            const uint8_t* row = pic->Bits.data() + size_t(y) * size_t(pic->Stride);
            rows.insert(rows.end(), row, row + size_t(pic->Width) * 4);
        }
        std::lock_guard<std::mutex> lock(m);
        shown.push_back(std::move(rows));
    };
    const auto count = [&] {
        std::lock_guard<std::mutex> lock(m);
        return shown.size();
    };
    ASSERT_TRUE(player.Open(File("white.mkv"), sink, true)) << player.LastErrMsg().toStdString();
    ASSERT_TRUE(vel::test::PumpUntil([&] { return count() >= 1; }));
    // Two scaling methods at once: the scaler makes no context for them.
    // Read by the player only for the picture the step asks for.
    player.SwsFlags = SWS_BICUBIC | SWS_BILINEAR;
    player.StepToNextFrame();
    ASSERT_TRUE(vel::test::PumpUntil([&] { return count() >= 2; }));
    player.Stop(true);
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(shown[0].size(), size_t(64) * 16 * 4);
    EXPECT_GT(*std::min_element(shown[0].begin(), shown[0].end()), 200);  // white
    EXPECT_EQ(shown[1], std::vector<uint8_t>(shown[0].size(), 0));
}
