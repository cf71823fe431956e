#include "video/engine/file_protocol.h"
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include "video/engine/ff_loader.h"
#include "video/engine/interrupt.h"

namespace vel::video {

namespace {

constexpr int kIOBufferSize = 64 * 1024;

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* file = static_cast<TUnicodeFile*>(opaque);
    const int n = file->Read(buf, size);
    if (n == 0) return AVERROR_EOF;
    if (n < 0 && file->Interrupted()) return AVERROR_EXIT;
    return n < 0 ? AVERROR(EIO) : n;
}

int64_t SeekPacket(void* opaque, int64_t pos, int whence) {
    const int64_t r = static_cast<TUnicodeFile*>(opaque)->Seek(pos, whence & ~AVSEEK_FORCE);
    return r < 0 ? AVERROR(EIO) : r;
}

} // namespace

QByteArray ToUTF8(const QString& text) { return text.toUtf8(); }

QString FromUTF8(const char* utf8) { return utf8 ? QString::fromUtf8(utf8) : QString(); }

QString UnicodeFileName(const QString& url) {
    static const QString prefix = QStringLiteral("unicode:");
    return url.startsWith(prefix) ? url.mid(prefix.size()) : url;
}

int TUnicodeFile::Open(const QString& url, int flags) {
    Close();
    int oflags = O_RDONLY;
    if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
        oflags = O_RDWR | O_CREAT | O_TRUNC;
    else if (flags & AVIO_FLAG_WRITE)
        oflags = O_WRONLY | O_CREAT | O_TRUNC;
    const QByteArray name = QFile::encodeName(UnicodeFileName(url));
    // Not blocking in open itself (a pipe without a writer yet).
    fd_ = ::open(name.constData(), oflags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) return -2;
    struct stat st;
    if (fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {  // a folder is no file to read
        Close();
        return -2;
    }
    pipe_ = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
    if (!pipe_) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return 0;
}

int TUnicodeFile::Read(uint8_t* buf, int size) {
    interrupted_ = false;
    if (fd_ < 0 || size < 0) return -1;
    for (;;) {
        if (pipe_) {
            // A pipe may block for ever: wait in slices and ask the calling
            // thread's interrupt test in between, so a stop gets through.
            if (InterruptCallback(nullptr)) {
                interrupted_ = true;
                return -1;
            }
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, 50);
            if (r == 0 || (r < 0 && errno == EINTR)) continue;
        }
        const ssize_t n = ::read(fd_, buf, size_t(size));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (errno == EAGAIN) ::poll(nullptr, 0, 10);
            continue;
        }
        return n < 0 ? -1 : int(n);
    }
}

int TUnicodeFile::Write(const uint8_t* buf, int size) {
    if (fd_ < 0 || size < 0) return -1;
    ssize_t n;
    do n = ::write(fd_, buf, size_t(size));
    while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : int(n);
}

int64_t TUnicodeFile::Seek(int64_t pos, int whence) {
    if (fd_ < 0) return -1;
    if (whence == AVSEEK_SIZE) {
        struct stat st;
        return fstat(fd_, &st) == 0 ? int64_t(st.st_size) : -1;
    }
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    const off_t r = ::lseek(fd_, off_t(pos), whence);
    return r < 0 ? -1 : int64_t(r);
}

int TUnicodeFile::Close() {
    if (fd_ < 0) return 0;
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 1 : 0;
}

int OpenInputFile(AVFormatContext** ctx, const QString& fileName, const AVInputFormat* fmt,
                  AVDictionary** options) {
    *ctx = nullptr;
    auto* file = new TUnicodeFile;
    if (file->Open(fileName, AVIO_FLAG_READ) != 0) {
        delete file;
        return AVERROR(ENOENT);
    }
    auto* buffer = static_cast<uint8_t*>(ff::av_malloc(kIOBufferSize));
    AVIOContext* pb = buffer ? ff::avio_alloc_context(buffer, kIOBufferSize, 0, file, &ReadPacket, nullptr,
                                                      &SeekPacket)
                             : nullptr;
    AVFormatContext* fc = pb ? ff::avformat_alloc_context() : nullptr;
    if (!fc) {
        if (pb) {
            ff::av_freep(&pb->buffer);
            ff::avio_context_free(&pb);
        } else if (buffer) {
            ff::av_free(buffer);
        }
        delete file;
        return AVERROR(ENOMEM);
    }
    fc->pb = pb;
    fc->flags |= AVFMT_FLAG_CUSTOM_IO;
    fc->interrupt_callback.callback = &InterruptCallback;
    fc->interrupt_callback.opaque = nullptr;
    // The name FFmpeg keeps (and shows) is the UTF-8 one.
    const int r = ff::avformat_open_input(&fc, ToUTF8(fileName).constData(), fmt, options);
    if (r < 0) {
        // avformat_open_input freed the context, not our I/O.
        ff::av_freep(&pb->buffer);
        ff::avio_context_free(&pb);
        delete file;
        return r;
    }
    *ctx = fc;
    return 0;
}

void CloseInputFile(AVFormatContext** ctx) {
    if (!ctx || !*ctx) return;
    AVIOContext* pb = ((*ctx)->flags & AVFMT_FLAG_CUSTOM_IO) ? (*ctx)->pb : nullptr;
    ff::avformat_close_input(ctx);
    if (pb) {
        delete static_cast<TUnicodeFile*>(pb->opaque);
        ff::av_freep(&pb->buffer);
        ff::avio_context_free(&pb);
    }
}

} // namespace vel::video
