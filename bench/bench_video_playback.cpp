// The player playing clips in real time into a shown video surface, as the
// video page does (offscreen, a 1280 x 720 panel): the process's CPU per
// second of 1080p30 H.264 with AAC (goal: a third below the conversion at
// full size), and whether 2160p30 H.264 with AAC keeps up with no picture
// dropped (goal: 0 dropped, lag near 0). The clips are made by ffmpeg first.
#include <benchmark/benchmark.h>
#include <ctime>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include "video/engine/player.h"
#include "video/engine/thread_helpers.h"
#include "video/video_surface.h"

using namespace vel;
using namespace vel::video;

namespace {

constexpr int kSeconds = 8, kFps = 30;

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

void Play(benchmark::State& state, const char* name, const char* size) {
    const QString clip = MakeClip(name, size);
    VideoSurface surface;
    surface.resize(1280, 720);
    surface.show();
    ProcessPendingMessages();
    TFFPlayer player;
    player.AudioDriver = TAudioDriver::adDummy;
    player.ShownSize = surface.ShownSize();
    if (!player.LoadAVLib(QString())) {
        state.SkipWithError("no FFmpeg or SDL");
        return;
    }
    std::atomic<int> shown{0};
    std::atomic<bool> ended{false};
    player.OnState = [&](QObject*, TPlayState s) {
        if (s == TPlayState::psEnd) ended = true;
    };
    const TPictureSink toSurface = surface.Sink();
    double cpu = 0, wall = 0;
    int pictures = 0, runs = 0;
    for (auto _ : state) {
        shown = 0;
        ended = false;
        if (!player.Open(clip, [&](std::shared_ptr<const TVideoPicture> pic) {
                ++shown;
                toSurface(std::move(pic));
            })) {
            state.SkipWithError(player.LastErrMsg().toUtf8().constData());
            break;
        }
        const double c0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < (kSeconds + 60) * 1000) {
            ProcessPendingMessages();
            QApplication::processEvents();  // the surface paints each picture
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        cpu += CpuSeconds() - c0;
        wall += t.elapsed() / 1000.0;
        player.Stop(true);
        ProcessPendingMessages();
        pictures += shown;
        ++runs;
    }
    if (runs == 0) return;
    state.counters["cpu_pct_of_core"] = 100 * cpu / wall;
    state.counters["cpu_s_per_media_s"] = cpu / (runs * double(kSeconds));
    state.counters["dropped"] = double(runs * kSeconds * kFps - pictures) / runs;
    state.counters["lag_s"] = wall / runs - kSeconds;
}

void PlayCpu1080p30(benchmark::State& state) { Play(state, "clip1080.mp4", "1920x1080"); }
void PlayRealTime2160p30(benchmark::State& state) { Play(state, "clip2160.mp4", "3840x2160"); }
BENCHMARK(PlayCpu1080p30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(PlayRealTime2160p30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
