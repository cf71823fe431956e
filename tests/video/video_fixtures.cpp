#include "video_fixtures.h"
#include <QFile>
#include <algorithm>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <cmath>
#include "video/engine/ff_loader.h"

namespace vel::test {

QString RunFfmpeg(const QString& folder, const QStringList& args) {
    // posix_spawn rather than QProcess: Qt starts children in a way that
    // leaves ThreadSanitizer blind to the parent's later locking.
    QStringList all = QStringList{"ffmpeg", "-nostdin", "-v", "error", "-y"} + args;
    std::vector<QByteArray> bytes;
    for (const QString& a : all) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray errFile = QFile::encodeName(folder + "/ffmpeg-errors.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(folder).constData());
    posix_spawn_file_actions_addopen(&actions, 2, errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) return QStringLiteral("ffmpeg did not start");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return QString();
    QFile f(QFile::decodeName(errFile));
    const QString out = f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    return out.isEmpty() ? QStringLiteral("ffmpeg failed") : out;
}

QString NumberedSource(int width, int height, int fps, double seconds) {
    return QStringLiteral("nullsrc=s=%1x%2:r=%3:d=%4,format=yuv420p,geq=lum='16+8*N+X/8':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(fps)
        .arg(seconds);
}

QString FlatNumberedSource(int width, int height, int fps, double seconds) {
    return QStringLiteral("nullsrc=s=%1x%2:r=%3:d=%4,format=yuv420p,geq=lum='16+4*N':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(fps)
        .arg(seconds);
}

QString BlockNumberedSource(int width, int height, int fps, double seconds) {
    return QStringLiteral("nullsrc=s=%1x%2:r=%3:d=%4,format=yuv420p,"
                          "geq=lum='if(mod(floor(N/pow(2\\,floor(X*8/W)))\\,2)\\,235\\,16)':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(fps)
        .arg(seconds);
}

int FrameNumberOfBlocks(const unsigned char* bgra, int width, int height, int stride) {
    if (!bgra || width < 16 || height < 1) return -1;
    const unsigned char* row = bgra + size_t(height / 2) * size_t(stride);
    int n = 0;
    for (int b = 0; b < 8; ++b) {
        const int x = (2 * b + 1) * width / 16;
        if (row[size_t(x) * 4 + 1] >= 128) n |= 1 << b;
    }
    return n;
}

std::vector<SeekClip> SeekClips() {
    const QString src = BlockNumberedSource(160, 96, SeekClipFps, 4);
    const QStringList in = {"-f", "lavfi", "-i", src};
    const QStringList x264 = {"-c:v", "libx264", "-preset", "ultrafast", "-g", "30", "-keyint_min", "30",
                              "-sc_threshold", "0"};
    return {
        {"h264.mp4", in + x264 + QStringList{"-bf", "2", "h264.mp4"}},
        {"hevc.mkv", in + QStringList{"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                                      "log-level=error:keyint=30:min-keyint=30:scenecut=0", "hevc.mkv"}},
        {"vp9.webm", in + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-g", "30",
                                      "vp9.webm"}},
        {"offset.ts", in + QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=4"} + x264 +
                          QStringList{"-c:a", "mp2", "-output_ts_offset", "10", "offset.ts"}},
        {"h264-10bit.mp4", in + QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p10le",
                                            "-g", "1000", "h264-10bit.mp4"}},
    };
}

QString MakeClip(const QString& folder, const SeekClip& clip) {
    const QString err = RunFfmpeg(folder, clip.args);
    if (err.contains(QStringLiteral("Unknown encoder")) || err.contains(QStringLiteral("not found for output")))
        return QStringLiteral("skip: the system's ffmpeg cannot make ") + clip.file + QStringLiteral(": ") +
               err.trimmed();
    return err;
}

size_t ScalerReach(int srcFmt, int dstFmt, int w, int h, int dstStride, int flags, int srcW, int srcH) {
    using namespace vel::video;
    if (srcW <= 0 || srcH <= 0) {
        srcW = w;
        srcH = h;
    }
    AVFrame* src = ff::av_frame_alloc();
    src->format = srcFmt;
    src->width = srcW;
    src->height = srcH;
    if (ff::av_frame_get_buffer(src, 0) < 0) {
        ff::av_frame_free(&src);
        return 0;
    }
    for (int p = 0; p < 4 && src->buf[p]; ++p) std::memset(src->buf[p]->data, 0x80, src->buf[p]->size);
    SwsContext* sws = ff::sws_getContext(srcW, srcH, AVPixelFormat(srcFmt), w, h, AVPixelFormat(dstFmt), flags,
                                         nullptr, nullptr, nullptr);
    const size_t size = size_t(dstStride) * size_t(h) + 4096;
    auto* out = static_cast<uint8_t*>(ff::av_malloc(size));
    size_t reach = 0;
    for (const uint8_t canary : {uint8_t(0x00), uint8_t(0xff)}) {
        std::memset(out, canary, size);
        uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
        int dstLines[4] = {dstStride, 0, 0, 0};
        ff::sws_scale(sws, src->data, src->linesize, 0, srcH, dst, dstLines);
        size_t last = size;
        while (last > 0 && out[last - 1] == canary) --last;
        reach = std::max(reach, last);
    }
    ff::av_free(out);
    ff::sws_freeContext(sws);
    ff::av_frame_free(&src);
    return reach;
}

int FrameNumberOfGrey(int grey) {
    const double y = 16 + grey * 219.0 / 255.0;
    return int(std::lround((y - 16) / 4));
}

} // namespace vel::test
