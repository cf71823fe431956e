#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <mutex>
#include <thread>
#include <vector>
#include "support/pump_until.h"
#include "video/engine/ff_logger.h"
#include "video/engine/player.h"
#include "video_fixtures.h"
#include "video_support.h"

using namespace vel::video;
using vel::TPlayState;

namespace {

int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

// A player with its shown frame numbers, positions and states recorded.
struct Recorder {
    std::mutex m;
    std::vector<int> frames;    // in the player's thread
    std::vector<int64_t> shownPts;
    std::vector<int64_t> positions;  // on the main thread
    std::vector<TPlayState> states;
    int64_t openDuration = -1;
    int openW = 0, openH = 0;
    std::function<void(size_t)> onShown;  // in the player's thread, with the count shown
    bool blocks = false;  // frames numbered in blocks, not in grey
    TFFPlayer player;  // last: it goes first

    Recorder() {
        player.AudioDriver = TAudioDriver::adDummy;
        player.OnState = [this](QObject*, TPlayState s) { states.push_back(s); };
        player.OnPosition = [this](QObject*, int64_t p) { positions.push_back(p); };
        player.OnFileOpen = [this](QObject*, int64_t d, int w, int h, int&, int&) {
            openDuration = d;
            openW = w;
            openH = h;
        };
    }
    TPictureSink Sink() {
        return [this](std::shared_ptr<const TVideoPicture> pic) {
            const uint8_t* px = pic->Bits.data() + size_t(pic->Height / 2) * pic->Stride + size_t(pic->Width / 2) * 4;
            const int frame = blocks ? vel::test::FrameNumberOfBlocks(pic->Bits.data(), pic->Width, pic->Height,
                                                                      pic->Stride)
                                     : vel::test::FrameNumberOfGrey(px[1]);
            size_t n;
            {
                std::lock_guard<std::mutex> lock(m);
                frames.push_back(frame);
                shownPts.push_back(pic->PTS);
                n = frames.size();
            }
            if (onShown) onShown(n);
        };
    }
    std::vector<int> Frames() {
        std::lock_guard<std::mutex> lock(m);
        return frames;
    }
    int Count(TPlayState s) const { return int(std::count(states.begin(), states.end(), s)); }
    // Pumps the main thread until cond holds (false after the watchdog).
    template <class F>
    bool WaitFor(F cond, int ms = 15000) { return vel::test::PumpUntil(cond, ms); }
};

class Player : public vel::test::ClipFolderSuite<Player> {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString d = dir_->path();
        const auto src = [](double secs) { return vel::test::FlatNumberedSource(128, 96, 25, secs); };
        struct {
            QStringList args;
        } jobs[] = {
            {{"-f", "lavfi", "-i", src(2), "-c:v", "mpeg4", "-g", "12", "-q:v", "2", "gop.mkv"}},
            {{"-f", "lavfi", "-i", src(1), "-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "2", "mjpeg.avi"}},
            {{"-f", "lavfi", "-i", src(1), "-c:v", "mpeg4", "-q:v", "2", "-output_ts_offset", "10", "offset.ts"}},
            {{"-f", "lavfi", "-i", src(1), "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1",
              "-c:v", "mpeg4", "-q:v", "2", "-c:a", "pcm_s16le", "-ac", "6", "av.mkv"}},
            {{"-f", "lavfi", "-i", vel::test::FlatNumberedSource(64, 48, 25, 0.4), "-c:v", "ffv1", "short.mkv"}},
            {{"-f", "lavfi", "-i", vel::test::FlatNumberedSource(64, 48, 25, 7), "-c:v", "ffv1", "long.mkv"}},
        };
        for (const auto& j : jobs) {
            const QString err = vel::test::RunFfmpeg(d, j.args);
            ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        }
    }
};

bool LoadPlayerLibs(TFFPlayer& p) { return p.LoadAVLib(vel::test::LibAVFolder()); }

void ExpectRising(const std::vector<int>& f) {
    for (size_t i = 1; i < f.size(); ++i) ASSERT_GT(f[i], f[i - 1]) << "at " << i;
}

} // namespace

TEST_F(Player, NeedsItsLibraries) {
    TFFPlayer p;
    EXPECT_FALSE(p.Open(File("gop.mkv"), nullptr));
    EXPECT_EQ(p.LastErrMsg(), "sdl not loaded.");
    EXPECT_EQ(p.PlayState(), TPlayState::psStop);
    EXPECT_TRUE(p.Paused());
}

TEST_F(Player, PlaysToTheEndWithRisingFramesAndReportsTheEndOnce) {
    for (const char* name : {"mjpeg.avi", "av.mkv"}) {
        Recorder r;
        ASSERT_TRUE(LoadPlayerLibs(r.player)) << r.player.LastErrMsg().toStdString();
        ASSERT_TRUE(r.player.Open(File(name), r.Sink())) << r.player.LastErrMsg().toStdString();
        EXPECT_NEAR(double(r.openDuration), 1e6, 50000) << name;
        EXPECT_EQ(r.openW, 128);
        EXPECT_EQ(r.openH, 96);
        ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; })) << name;
        r.WaitFor([] { return false; }, 150);  // nothing more comes
        EXPECT_EQ(r.Count(TPlayState::psEnd), 1);
        const auto f = r.Frames();
        ASSERT_FALSE(f.empty());
        ExpectRising(f);
        EXPECT_EQ(f.back(), 24) << name;
        EXPECT_GE(f.size(), 20u) << name;  // few or no drops
        EXPECT_EQ(r.positions.back(), r.player.Duration());
        EXPECT_EQ(r.states.front(), TPlayState::psPlay);
        r.player.Stop(true);
        r.WaitFor([&] { return r.Count(TPlayState::psStop) > 0; }, 2000);
        EXPECT_EQ(r.Count(TPlayState::psStop), 1);
        EXPECT_FALSE(r.player.IsOpen());
    }
}

TEST_F(Player, AudioWithMoreThanTwoChannelsPlays) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("av.mkv"), r.Sink()));
    EXPECT_TRUE(r.player.HasAudioOutput());
    // A stop without waiting ends the threads too and reports the stop once.
    r.player.Stop(false);
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psStop) > 0; }, 5000));
    EXPECT_FALSE(r.player.IsOpen());
    r.player.Stop(true);
    r.WaitFor([] { return false; }, 100);
    EXPECT_EQ(r.Count(TPlayState::psStop), 1);
}

TEST_F(Player, WithoutASoundOutputThePicturesStillPlay) {
    Recorder r;
    r.player.AudioDriver = TAudioDriver::adDefault;  // leaves the environment's choice
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    const bool opened = r.player.Open(File("av.mkv"), r.Sink());
    qputenv("SDL_AUDIODRIVER", "dummy");
    ASSERT_TRUE(opened) << r.player.LastErrMsg().toStdString();
    EXPECT_FALSE(r.player.HasAudioOutput());
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; }));
    const auto f = r.Frames();
    ExpectRising(f);
    EXPECT_EQ(f.back(), 24);
}

TEST_F(Player, PausedOpenStepsAndSeeksToExactFrames) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("gop.mkv"), r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    EXPECT_EQ(r.states, (std::vector<TPlayState>{TPlayState::psPlay, TPlayState::psPause}));
    EXPECT_TRUE(r.player.Paused());
    EXPECT_EQ(r.Frames(), (std::vector<int>{0}));
    EXPECT_EQ(r.player.CurrentPTS(), 0);

    auto shown = [&](size_t n) { return r.WaitFor([&] { return r.Frames().size() >= n; }); };
    r.player.StepToNextFrame();
    ASSERT_TRUE(shown(2));
    r.player.StepToNextFrame();
    ASSERT_TRUE(shown(3));
    EXPECT_EQ(r.Frames().back(), 2);
    EXPECT_EQ(r.player.CurrentPTS(), 80000);
    // One back: from the key frame before it, shown exactly.
    r.player.Seek(r.player.CurrentPTS() - 40000, sfBackward, true);
    EXPECT_EQ(r.Frames().back(), 1);
    EXPECT_TRUE(r.player.Paused());
    // Into the middle of a group of pictures, and back to the start.
    for (int k : {30, 17, 0, 45}) {
        r.player.Seek(int64_t(k) * 40000, sfBackward, true);
        EXPECT_EQ(r.Frames().back(), k);
        EXPECT_EQ(r.player.CurrentPTS(), int64_t(k) * 40000);
    }
    // Playing on from there, frames only rise.
    const size_t from = r.Frames().size();
    r.player.Resume();
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; }));
    const auto f = r.Frames();
    ExpectRising(std::vector<int>(f.begin() + long(from) - 1, f.end()));
    EXPECT_EQ(f.back(), 49);
    // After the end, a seek back plays to the end again and reports it again.
    r.player.Seek(40 * 40000, sfBackward, true);
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 1; }));
    EXPECT_EQ(r.Count(TPlayState::psEnd), 2);
}

// A step asked for while the picture of the one before is still being shown
// (a key held down) is a step of its own, not lost when that picture is done;
// and the player's position is already that picture's.
TEST_F(Player, AStepAskedForDuringAStepIsKept) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("gop.mkv"), r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    std::vector<int64_t> positionAsShown;  // in the player's thread, read after the run
    r.onShown = [&](size_t n) {
        positionAsShown.push_back(r.player.CurrentPTS());
        if (n == 2) r.player.StepToNextFrame();
    };
    r.player.StepToNextFrame();
    ASSERT_TRUE(r.WaitFor([&] { return r.Frames().size() >= 3; }, 5000));
    r.WaitFor([] { return false; }, 200);
    EXPECT_EQ(r.Frames(), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(r.player.Paused());
    r.player.Stop(true);
    // The position is the shown picture's by the time anyone sees the picture.
    EXPECT_EQ(positionAsShown, (std::vector<int64_t>{40000, 80000}));
}

// Steps following each other post one step state; a resume ends the
// stepping, so the next step is posted again.
TEST_F(Player, StepsInARowPostTheStepStateOnce) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("gop.mkv"), r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    const auto step = [&](size_t shown) {
        r.player.StepToNextFrame();
        ASSERT_TRUE(r.WaitFor([&] { return r.Frames().size() >= shown; }));
        r.WaitFor([] { return false; }, 100);  // every state posted is raised
    };
    step(2);
    ASSERT_EQ(r.Count(TPlayState::psStep), 1);
    step(3);
    step(4);
    EXPECT_EQ(r.Count(TPlayState::psStep), 1);
    EXPECT_EQ(r.player.PlayState(), TPlayState::psStep);
    EXPECT_EQ(r.Frames(), (std::vector<int>{0, 1, 2, 3}));
    r.player.Resume();
    r.player.Pause();
    step(r.Frames().size() + 1);
    EXPECT_EQ(r.Count(TPlayState::psStep), 2);
    EXPECT_EQ(r.states.back(), TPlayState::psStep);
    r.player.Stop(true);
}

TEST_F(Player, HostPictureValuesApplyWhilePlaying) {
    TPictureParams eq;
    Recorder r;
    r.player.EqParams = &eq;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("gop.mkv"), r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    EXPECT_EQ(r.Frames().back(), 0);
    eq.First = 100;  // full brightness from the next picture on
    r.player.StepToNextFrame();
    ASSERT_TRUE(r.WaitFor([&] { return r.Frames().size() >= 2; }));
    std::lock_guard<std::mutex> lock(r.m);
    EXPECT_EQ(r.frames.back(), vel::test::FrameNumberOfGrey(255));
}

TEST_F(Player, PositionsCountFromTheContainersStart) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(File("offset.ts"), r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    EXPECT_NEAR(double(r.player.Duration()), 1e6, 50000);
    EXPECT_EQ(r.player.CurrentPTS(), 0);
    r.player.Seek(12 * 40000, sfBackward, true);
    EXPECT_EQ(r.Frames().back(), 12);
    EXPECT_EQ(r.player.CurrentPTS(), 12 * 40000);
}

TEST_F(Player, BadInputFailsTheOpenWithItsMessage) {
    const QString garbage = File("garbage.mkv");
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, '\x5a'));
    }
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    EXPECT_FALSE(r.player.Open(garbage, r.Sink()));
    EXPECT_EQ(r.player.LastErrMsg(), garbage + ": Invalid data found when processing input");
    EXPECT_FALSE(r.player.Open(File("none.mkv"), r.Sink()));
    EXPECT_EQ(r.player.LastErrMsg(), File("none.mkv") + ": No such file or directory");
    r.player.VideoFilters = "nosuchfilter";
    EXPECT_FALSE(r.player.Open(File("gop.mkv"), r.Sink()));
    EXPECT_TRUE(r.player.LastErrMsg().startsWith("nosuchfilter: ")) << r.player.LastErrMsg().toStdString();
    r.player.VideoFilters = "hflip,vflip";  // FFmpeg's own filters are fine
    EXPECT_TRUE(r.player.Open(File("gop.mkv"), r.Sink(), true));
    // Opened paused: whether the play thread has taken its first state yet
    // depends on timing (slow under ThreadSanitizer); it is not stopped.
    EXPECT_NE(r.player.PlayState(), TPlayState::psStop);
}

namespace {

// A pipe holding a file's bytes, whose writer stays open: reading past them blocks.
struct LivePipe {
    QString path;
    int wfd = -1;
    LivePipe(const QString& p, const QString& source) : path(p) {
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0) return;
        wfd = ::open(QFile::encodeName(path).constData(), O_RDWR);
        QFile src(source);
        if (wfd < 0 || !src.open(QIODevice::ReadOnly)) return;
        const QByteArray bytes = src.readAll();
        if (bytes.size() >= 60000 || ::write(wfd, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
            ::close(wfd);
            wfd = -1;
        }
    }
    ~LivePipe() {
        if (wfd >= 0) ::close(wfd);
        ::unlink(QFile::encodeName(path).constData());
    }
};

} // namespace

TEST_F(Player, StopBreaksABlockingRead) {
    // Long enough for the open's probing to end before the bytes do.
    LivePipe pipe(File("live.fifo"), File("long.mkv"));
    ASSERT_GE(pipe.wfd, 0);
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(pipe.path, r.Sink())) << r.player.LastErrMsg().toStdString();
    ASSERT_TRUE(r.WaitFor([&] { return !r.Frames().empty(); }, 5000));
    QElapsedTimer t;
    t.start();
    r.player.Stop(true);  // the read thread waits for bytes that never come
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_FALSE(r.player.IsOpen());
}

TEST_F(Player, StopCancelsAnOpenThatBlocks) {
    // Too short: the open's probing waits for more bytes.
    LivePipe pipe(File("short.fifo"), File("short.mkv"));
    ASSERT_GE(pipe.wfd, 0);
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    QTimer::singleShot(200, [&] { r.player.Stop(false); });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(r.player.Open(pipe.path, r.Sink()));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(r.player.LastErrMsg(), "connecting/reading canceled");
    EXPECT_FALSE(r.player.IsOpen());

    r.player.ReadTimeout = 300;
    EXPECT_FALSE(r.player.Open(pipe.path, r.Sink()));
    EXPECT_EQ(r.player.LastErrMsg(), "connecting/reading timeout");
}

TEST_F(Player, OpenAndStopManyTimesLeavesNothingBehind) {
    Recorder r;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    // Warm up once, so lazily made things (SDL, FFmpeg tables) are there.
    ASSERT_TRUE(r.player.Open(File("gop.mkv"), r.Sink()));
    r.player.Stop(true);
    const int threads = CountEntries("/proc/self/task");
    const int fds = CountEntries("/proc/self/fd");
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(r.player.Open(File(i % 2 ? "av.mkv" : "gop.mkv"), r.Sink(), i % 3 == 0)) << i;
        if (i % 5 == 0) r.WaitFor([&] { return !r.Frames().empty(); }, 2000);
        r.player.Stop(true);
    }
    // A thread that was told to end may still be on its way out (slowly so
    // under ThreadSanitizer on a loaded machine): wait for it, not for ever.
    r.WaitFor([&] { return CountEntries("/proc/self/task") <= threads; });
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
}

namespace {

// The clips cameras write, made once for the suite.
class PlayerClips : public vel::test::ClipFolderSuite<PlayerClips> {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        made_ = new std::map<QString, QString>;
        for (const auto& clip : vel::test::SeekClips()) (*made_)[clip.file] = vel::test::MakeClip(dir_->path(), clip);
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete made_;
    }
    // The clip's path; empty when it could not be made (the why in why).
    static QString Clip(const QString& name, QString* why) {
        *why = made_->at(name);
        return why->isEmpty() ? dir_->filePath(name) : QString();
    }
    static std::map<QString, QString>* made_;
};

std::map<QString, QString>* PlayerClips::made_ = nullptr;

constexpr int64_t FrameUs(int frame) { return (int64_t(frame) * 1'000'000 + 15) / vel::test::SeekClipFps; }

} // namespace

// Every seek shows the picture at its target, however the demuxer lands:
// off key frames, on exact frame times, at 0, at and past the end (the last
// picture), with the link's flags (none, any frame) and the backward one,
// forward and back.
TEST_F(PlayerClips, SeeksShowThePictureAtTheirTarget) {
    struct Case {
        int64_t target;
        TSeekFlags flags;
        int frame;
        bool fromEnd = false;  // the target counts from the container's duration
    };
    const Case cases[] = {
        {2'100'000, 0, 63},       // between key frames, an exact frame time
        {FrameUs(90), 0, 90},     // a key frame's exact time
        {FrameUs(42), 0, 42},     // back, between key frames
        {2'345'000, 0, 70},       // between two frames: the nearer
        {0, sfAny, 0},            // the link's "to start"
        {3'700'000, sfAny, 111},  // the link's seek while the clock runs
        {0, 0, 119, true},        // the bar's right edge: the last picture
        {1'000'000, sfAny, 119, true},
        {FrameUs(31), sfAny, 31},
        {1'000'000, sfBackward, 30},
        {FrameUs(29), 0, 29},     // the frame before a key frame
        {0, 0, 0},
    };
    for (const auto& clip : vel::test::SeekClips()) {
        SCOPED_TRACE(clip.file.toStdString());
        QString why;
        const QString path = Clip(clip.file, &why);
        if (vel::test::Skipped(why)) {
            std::cout << "[ SKIPPED  ] " << why.toStdString() << "\n";
            continue;
        }
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        Recorder r;
        r.blocks = true;
        ASSERT_TRUE(LoadPlayerLibs(r.player));
        ASSERT_TRUE(r.player.Open(path, r.Sink(), true)) << r.player.LastErrMsg().toStdString();
        ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
        EXPECT_EQ(r.Frames(), (std::vector<int>{0}));
        // Positions count from the container's start; the sound may start
        // before the first picture.
        const int64_t first = r.player.CurrentPTS();
        EXPECT_GE(first, 0);
        EXPECT_LT(first, 40'000);
        for (const Case& c : cases) {
            const size_t before = r.Frames().size();
            r.player.Seek(c.fromEnd ? r.player.Duration() + c.target : c.target == 0 ? 0 : first + c.target, c.flags,
                          true);
            const auto f = r.Frames();
            ASSERT_GT(f.size(), before) << "no picture for " << c.target << (c.fromEnd ? " past the end" : "");
            // Only the picture at the target is shown.
            EXPECT_EQ(std::vector<int>(f.begin() + long(before), f.end()), std::vector<int>{c.frame})
                << "seek to " << c.target << " flags " << c.flags;
            EXPECT_NEAR(double(r.player.CurrentPTS()), double(first + FrameUs(c.frame)), 1000) << "seek to " << c.target;
        }
        // Steps go on from the picture sought.
        r.player.StepToNextFrame();
        ASSERT_TRUE(r.WaitFor([&] { return r.Frames().back() == 1; }, 5000)) << r.Frames().back();
        // A seek and a resume at once (the link's "to start"): the pictures
        // queued before the seek are not shown.
        const size_t before = r.Frames().size();
        r.player.Seek(first + FrameUs(60), 0, false);
        r.player.Resume();
        ASSERT_TRUE(r.WaitFor([&] { return r.Frames().size() > before; }));
        r.player.Pause();
        EXPECT_EQ(r.Frames()[before], 60);
        r.player.Stop(true);
    }
}

// Pictures of widths the scaler writes past (330, 332, 334 and more) play to
// their end: every shown picture holds all the scaler writes into it, at the
// video's own size and converted to the size a surface shows them at (the
// video's shape kept, the numbered blocks still readable).
TEST_F(PlayerClips, OddPictureSizesPlayToTheEnd) {
    const QString src = vel::test::BlockNumberedSource(333, 199, 25, 1);
    struct {
        const char* file;
        QStringList codec;
    } clips[] = {
        {"odd.mkv", {"-c:v", "ffv1"}},
        {"odd.avi", {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "2"}},
    };
    struct {
        int boxW, boxH;  // 0 x 0: none known
        int w, h;        // the pictures' size
    } shownAt[] = {
        {0, 0, 332, 198},
        {200, 200, 200, 118},   // as wide as the box
        {1000, 301, 504, 301},  // as high as the box
        {333, 199, 333, 198},   // an odd width again
    };
    for (const auto& c : clips) {
        SCOPED_TRACE(c.file);
        const QString err = vel::test::RunFfmpeg(dir_->path(), QStringList{"-f", "lavfi", "-i", src} + c.codec +
                                                                 QStringList{c.file});
        ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        for (const auto& at : shownAt) {
            SCOPED_TRACE(std::to_string(at.boxW) + "x" + std::to_string(at.boxH));
            Recorder r;
            r.blocks = true;
            auto shown = std::make_shared<TShownSize>();
            shown->Set(at.boxW, at.boxH);
            r.player.ShownSize = shown;
            std::mutex m;
            std::vector<std::pair<size_t, size_t>> shortOnes;  // held, written
            std::set<std::pair<int, int>> sizes;
            std::set<double> ratios;
            ASSERT_TRUE(LoadPlayerLibs(r.player));
            const TPictureSink frames = r.Sink();
            const TPictureSink sink = [&](std::shared_ptr<const TVideoPicture> pic) {
                // Converted from the video's size, or at its own once shrunk.
                size_t reach = 0;
                for (const auto& from : {std::make_pair(332, 198), std::make_pair(pic->Width, pic->Height)})
                    reach = std::max(reach, vel::test::ScalerReach(AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGRA, pic->Width,
                                                                   pic->Height, pic->Stride, r.player.SwsFlags,
                                                                   from.first, from.second));
                {
                    std::lock_guard<std::mutex> lock(m);
                    sizes.insert({pic->Width, pic->Height});
                    ratios.insert(pic->AspectRatio);
                    if (pic->Bits.size() < reach) shortOnes.emplace_back(pic->Bits.size(), reach);
                }
                frames(pic);
            };
            ASSERT_TRUE(r.player.Open(dir_->filePath(c.file), sink)) << r.player.LastErrMsg().toStdString();
            EXPECT_EQ(r.openW, 332);
            EXPECT_EQ(r.openH, 198);
            ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; }));
            r.player.Stop(true);
            ExpectRising(r.Frames());
            EXPECT_EQ(r.Frames().back(), 24);
            std::lock_guard<std::mutex> lock(m);
            EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{at.w, at.h}}));
            EXPECT_EQ(ratios, std::set<double>{332.0 / 198});  // the video's shape, whatever the size
            ASSERT_TRUE(shortOnes.empty()) << shortOnes.size() << " pictures hold " << shortOnes[0].first
                                           << " bytes, the scaler writes " << shortOnes[0].second;
        }
    }
}

// A gap in the recording (here 3 s after the 10th picture) is waited out,
// not played at the last picture's pace.
TEST_F(PlayerClips, AGapInTheRecordingIsWaitedOut) {
    const QString err = vel::test::RunFfmpeg(
        dir_->path(), {"-f", "lavfi", "-i", vel::test::BlockNumberedSource(64, 48, 25, 0.8), "-vf",
                       "setpts='PTS+if(gte(N,10),3/TB,0)'", "-fps_mode", "passthrough", "-c:v", "ffv1", "gap.mkv"});
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    Recorder r;
    r.blocks = true;
    std::vector<std::pair<int, int64_t>> shownAt;  // frame, ms since the open; in the player's thread
    QElapsedTimer clock;
    const TPictureSink frames = r.Sink();
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    clock.start();
    ASSERT_TRUE(r.player.Open(dir_->filePath("gap.mkv"),
                              [&](std::shared_ptr<const TVideoPicture> pic) {
                                  frames(pic);
                                  shownAt.emplace_back(r.Frames().back(), clock.elapsed());
                              }))
        << r.player.LastErrMsg().toStdString();
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; }));
    r.player.Stop(true);
    const auto at = [&](int frame) {
        for (const auto& s : shownAt)
            if (s.first == frame) return s.second;
        return int64_t(-1);
    };
    ASSERT_GE(at(9), 0);
    ASSERT_GE(at(10), 0);
    // Shown no earlier than due: a slow machine only makes the wait longer.
    EXPECT_GE(at(10) - at(9), 2500);
}

// A waiting seek past the end of a paused file with sound (the sound never
// played out) returns.
TEST_F(PlayerClips, AWaitingSeekPastTheLastPictureReturns) {
    QString why;
    const QString path = Clip("offset.ts", &why);
    if (vel::test::Skipped(why)) GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    Recorder r;
    r.blocks = true;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(path, r.Sink(), true));
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    std::atomic<bool> returned{false};
    std::thread seeker([&] {
        r.player.Seek(r.player.Duration() + 1'000'000, 0, true);
        returned = true;
    });
    const bool ok = r.WaitFor([&] { return returned.load(); }, 20000);
    if (!ok) r.player.Stop(false);  // releases the waiter
    seeker.join();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(r.player.Paused());
    // Played on from there, the end comes once.
    r.player.Resume();
    EXPECT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psEnd) > 0; }));
    r.player.Stop(true);
}

// A transport stream whose 33-bit time stamps wrap a few pictures after its
// start (as a camera's clock leaves them): seeks into its first group of
// pictures show the picture at their target, not the next key frame, from
// the open on and from later in the file.
TEST_F(PlayerClips, SeeksNearTheStartOfAWrappingTransportStream) {
    const QString err = vel::test::RunFfmpeg(
        dir_->path(), {"-f", "lavfi", "-i", vel::test::BlockNumberedSource(720, 576, 25, 2), "-c:v", "mpeg2video",
                       "-g", "12", "-sc_threshold", "1000000000",  // a key frame every 12 pictures, no more
                       "-output_ts_offset", "95442", "wrap.ts"});
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    Recorder r;
    r.blocks = true;
    ASSERT_TRUE(LoadPlayerLibs(r.player));
    ASSERT_TRUE(r.player.Open(dir_->filePath("wrap.ts"), r.Sink(), true)) << r.player.LastErrMsg().toStdString();
    ASSERT_TRUE(r.WaitFor([&] { return r.Count(TPlayState::psPause) > 0; }));
    EXPECT_EQ(r.Frames(), (std::vector<int>{0}));
    EXPECT_EQ(r.player.CurrentPTS(), 0);
    const struct {
        int64_t target;
        TSeekFlags flags;
        int frame;
    } cases[] = {
        {200'000, 0, 5},      // the first seek after the open
        {0, sfAny, 0},        // "to start"
        {1'200'000, 0, 30},
        {500'000, 0, 12},
        {0, 0, 0},
        {600'000, 0, 15},
        {200'000, sfAny, 5},
        {80'000, sfBackward, 2},
    };
    for (const auto& c : cases) {
        const size_t before = r.Frames().size();
        r.player.Seek(c.target, c.flags, true);
        const auto f = r.Frames();
        ASSERT_GT(f.size(), before) << "no picture for " << c.target;
        EXPECT_EQ(std::vector<int>(f.begin() + long(before), f.end()), std::vector<int>{c.frame})
            << "seek to " << c.target << " flags " << c.flags;
        EXPECT_EQ(r.player.CurrentPTS(), int64_t(c.frame) * 40'000) << "seek to " << c.target;
    }
    r.player.Stop(true);
}
