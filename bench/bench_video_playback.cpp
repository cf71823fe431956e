// The player playing clips in real time into a shown video surface, as the
// video page does (offscreen, a 1280 x 720 panel). 1080p30 H.264 with AAC:
// the process's CPU per second with each picture converted to the size it is
// shown at, against the peer measured in the same run, round after round
// (the machine is shared): each picture converted at the video's full size
// and scaled down by Qt as it is painted (goal: a third less, ratio <= 0.67).
// The peer is today's player and surface with only the conversion done the
// old way (its buffers reused, its wake-ups as few), so it is no dearer than
// the old way was.
// 2160p30 H.264 with AAC: whether it keeps up (goal: 0 dropped, lag near 0).
// The clips are made by ffmpeg first.
#include <benchmark/benchmark.h>
#include <ctime>
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <string>
#include "video/engine/player.h"
#include "video/engine/thread_helpers.h"
#include "video/video_surface.h"
#include "qt_main.h"

using namespace vel;
using namespace vel::video;

namespace {

constexpr int kSeconds = 8, kFps = 30;
constexpr int kRounds = 2;  // of each way, taken in turn

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

QTemporaryDir& Dir() {
    static QTemporaryDir dir;
    return dir;
}

QString MakeClip(const char* name, const char* size) {
    const QString p = Dir().filePath(name);
    if (!QFile::exists(p))
        QProcess::execute("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                     QStringLiteral("testsrc2=s=%1:r=%2:d=%3").arg(size).arg(kFps).arg(kSeconds),
                                     "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(kSeconds),
                                     "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                     "-shortest", p});
    return p;
}

struct TRun {
    double cpu = 0, wall = 0;  // s
    int shown = 0;
    long wakeups = 0;  // the process's threads going to sleep and waking again
};

long Wakeups() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
}

// Plays the clip once to its end, as the host's event loop would (no polling).
bool PlayOnce(TFFPlayer& player, VideoSurface& surface, const QString& clip, bool atShownSize, TRun& run,
              QString& err) {
    player.ShownSize = atShownSize ? surface.ShownSize() : nullptr;
    std::atomic<int> shown{0};
    bool ended = false;
    QEventLoop loop;
    player.OnState = [&](QObject*, TPlayState s) {
        if (s != TPlayState::psEnd) return;
        ended = true;
        loop.quit();
    };
    const TPictureSink toSurface = surface.Sink();
    if (!player.Open(clip, [&](std::shared_ptr<const TVideoPicture> pic) {
            ++shown;
            toSurface(std::move(pic));
        })) {
        err = player.LastErrMsg();
        return false;
    }
    const double c0 = CpuSeconds();
    const long w0 = Wakeups();
    QElapsedTimer t;
    t.start();
    QTimer::singleShot((kSeconds + 60) * 1000, &loop, &QEventLoop::quit);
    if (!ended) loop.exec();
    run.cpu += CpuSeconds() - c0;
    run.wakeups += Wakeups() - w0;
    run.wall += t.elapsed() / 1000.0;
    player.Stop(true);
    ProcessPendingMessages();
    player.OnState = nullptr;
    run.shown += shown;
    return true;
}

struct TPlayer {
    VideoSurface surface;
    TFFPlayer player;
    bool Load(benchmark::State& state) {
        surface.resize(1280, 720);
        surface.show();
        ProcessPendingMessages();
        player.AudioDriver = TAudioDriver::adDummy;
        if (player.LoadAVLib(QString())) return true;
        state.SkipWithError("no FFmpeg or SDL");
        return false;
    }
};

void Counters(benchmark::State& state, const TRun& r, int runs, const char* suffix) {
    state.counters[std::string("cpu_pct_of_core") + suffix] = 100 * r.cpu / r.wall;
    state.counters[std::string("dropped") + suffix] = double(runs * kSeconds * kFps - r.shown) / runs;
    state.counters[std::string("lag_s") + suffix] = r.wall / runs - kSeconds;
    state.counters[std::string("wakeups_per_s") + suffix] = r.wakeups / r.wall;
}

void PlayCpu1080p30(benchmark::State& state) {
    const QString clip = MakeClip("clip1080.mp4", "1920x1080");
    TPlayer p;
    if (!p.Load(state)) return;
    TRun now, full;
    int runs = 0;
    QString err;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            if (!PlayOnce(p.player, p.surface, clip, true, now, err) ||
                !PlayOnce(p.player, p.surface, clip, false, full, err)) {
                state.SkipWithError(err.toUtf8().constData());
                return;
            }
            ++runs;
        }
    }
    if (runs == 0) return;
    Counters(state, now, runs, "");
    Counters(state, full, runs, "_full_size");
    state.counters["cpu_ratio"] = (now.cpu / now.wall) / (full.cpu / full.wall);
}

void PlayRealTime2160p30(benchmark::State& state) {
    const QString clip = MakeClip("clip2160.mp4", "3840x2160");
    TPlayer p;
    if (!p.Load(state)) return;
    TRun now;
    int runs = 0;
    QString err;
    for (auto _ : state) {
        if (!PlayOnce(p.player, p.surface, clip, true, now, err)) {
            state.SkipWithError(err.toUtf8().constData());
            return;
        }
        ++runs;
    }
    if (runs == 0) return;
    Counters(state, now, runs, "");
}

BENCHMARK(PlayCpu1080p30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(PlayRealTime2160p30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
