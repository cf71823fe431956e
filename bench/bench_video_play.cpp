// The video path of a 1080p30 H.264 clip: decode, convert to the surface's
// 32-bit pixels, and draw into a 1280 x 720 window-sized picture, frame by
// frame as fast as it goes. Prints frames per second and CPU per frame (the
// decoder's own threads included).
#include <benchmark/benchmark.h>
#include <ctime>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include "video/engine/decoder.h"
#include "video/engine/ff_loader.h"

using namespace vel::video;

namespace {

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// A 4 s clip, made once by the ffmpeg command.
const QString& Clip() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath("clip1080.mp4");
        QProcess::execute("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=1920x1080:r=30:d=4", "-c:v", "libx264", "-preset", "veryfast",
                                     "-pix_fmt", "yuv420p", p});
        return p;
    }();
    return path;
}

void DecodeConvertDisplay(benchmark::State& state) {
    FFLoader().SetLibraryPath(QString());
    if (!FFLoader().Load(PlayerLibraries)) {
        state.SkipWithError(FFLoader().LastErrMsg().toUtf8().constData());
        return;
    }
    QImage window(1280, 720, QImage::Format_RGB32);
    std::vector<uint8_t> bgra;
    SwsContext* sws = nullptr;
    int64_t frames = 0;
    double cpu = 0;
    for (auto _ : state) {
        TFFDecoder dec;
        if (!dec.LoadFile(Clip())) {
            state.SkipWithError("clip did not open");
            break;
        }
        const double c0 = CpuSeconds();
        while (dec.Decode()) {
            const TFrameInfo& fi = dec.FrameInfo();
            const int w = fi.Width & ~1, h = fi.Height & ~1;
            bgra.resize(size_t(w) * size_t(h) * 4);
            sws = ff::sws_getCachedContext(sws, w, h, AVPixelFormat(fi.PixFmt), w, h, AV_PIX_FMT_BGRA, SWS_BICUBIC,
                                           nullptr, nullptr, nullptr);
            uint8_t* dst[4] = {bgra.data(), nullptr, nullptr, nullptr};
            int stride[4] = {w * 4, 0, 0, 0};
            ff::sws_scale(sws, fi.Picture->data, fi.Picture->linesize, 0, h, dst, stride);
            QPainter p(&window);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRect(0, 0, 1280, 720), QImage(bgra.data(), w, h, w * 4, QImage::Format_RGB32));
            ++frames;
        }
        cpu += CpuSeconds() - c0;
    }
    ff::sws_freeContext(sws);
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000 / double(frames) : 0;
    state.counters["frames"] = double(frames);
}
BENCHMARK(DecodeConvertDisplay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
