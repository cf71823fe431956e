#pragma once
// File access for FFmpeg by the program's own (Unicode) file names: FFmpeg
// reads through an AVIOContext over a file that the engine opened itself.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include "video/engine/ff_headers.h"

namespace vel::video {

// UTF-8 bytes of a name, and back.
QByteArray ToUTF8(const QString& text);
QString FromUTF8(const char* utf8);

// The file name of a "unicode:" URL (the prefix removed; other names are
// taken as they are).
QString UnicodeFileName(const QString& url);

// A file opened by its Unicode name, with the protocol's results: open 0 or
// -2, read the count (0 at the end) or -1, seek the new position (with
// AVSEEK_SIZE the size, the position unmoved) or -1.
class TUnicodeFile {
public:
    TUnicodeFile() = default;
    ~TUnicodeFile() { Close(); }
    TUnicodeFile(const TUnicodeFile&) = delete;
    TUnicodeFile& operator=(const TUnicodeFile&) = delete;

    // flags: AVIO_FLAG_READ, AVIO_FLAG_WRITE or both (then created or
    // truncated); reading needs an existing file.
    int Open(const QString& url, int flags);
    int Read(uint8_t* buf, int size);
    int Write(const uint8_t* buf, int size);
    int64_t Seek(int64_t pos, int whence);
    int Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The last read was broken off by the calling thread's interrupt test.
    bool Interrupted() const { return interrupted_; }

private:
    int fd_ = -1;
    bool pipe_ = false;
    bool interrupted_ = false;
};

// Opens a media file for reading by its Unicode name through our own file
// access, with the engine's interrupt callback. On failure the FFmpeg error
// code (the context stays null).
int OpenInputFile(AVFormatContext** ctx, const QString& fileName, const AVInputFormat* fmt,
                  AVDictionary** options);
// Closes a context opened by OpenInputFile (and its file), null afterwards.
void CloseInputFile(AVFormatContext** ctx);

} // namespace vel::video
