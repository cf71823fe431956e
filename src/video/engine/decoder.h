#pragma once
// Random access to the pictures of a media file: the file and its streams
// (TCustomDecoder), decoding and seeking (TFFDecoder). The player hands its
// own opened context through SetFileHandle; LoadFile opens one of its own.
#include <QString>
#include <functional>
#include "video/engine/base_component.h"
#include "video/engine/ff_headers.h"
#include "video/engine/format_converter.h"
#include "video/engine/play_types.h"

namespace vel::video {

struct TFrameInfo {
    int PixFmt = -1;
    int Width = 0;
    int Height = 0;
    bool IsKeyFrame = false;
    int PictureType = 0;
    int64_t PTS = NoTime;  // microseconds from the stream's start
    int64_t OriginalDTS = NoTime;
    int64_t OriginalPTS = NoTime;
    int StreamIndex = -1;
    int64_t Position = -1;
    bool Ready = false;
    AVFrame* Picture = nullptr;  // owned by the decoder
};

// "Intra", "Predicted", ... for picture types 1 to 7, else "Unknown".
QString PictureTypeName(int type);

class TCustomDecoder : public TFFBaseComponent {
public:
    TCustomDecoder();
    ~TCustomDecoder() override;

    AVFormatContext* FileHandle() const { return ctx_; }
    // Takes the player's context (not owned); the same one again changes
    // nothing; null forgets it.
    void SetFileHandle(AVFormatContext* ctx);
    virtual void CloseFile();

    const QString& LastErrMsg() const { return lastErr_; }
    const QString& ForceFormat() const { return forceFormat_; }
    QString FileName() const;
    QString FormatName() const;
    QString FormatLongName() const;

    int64_t FileSize = -1;
    int StreamCount = -1;
    int ProgramCount = -1;
    int AudioStreamCount = -1;
    int VideoStreamCount = -1;
    int SubtitleStreamCount = -1;
    int FirstAudioStreamIndex = -1;
    int FirstVideoStreamIndex = -1;
    int FirstSubtitleStreamIndex = -1;

    bool TriggerEventInMainThread = true;
    std::function<void(QObject* sender, AVFormatContext* ctx)> OnBeforeFindStreamInfo;

    // The first of avcodec, avformat, avutil, swscale not loaded gives
    // false and its message.
    bool CheckAVLibs();

    bool IsAudioStream(int index);
    bool IsVideoStream(int index);
    bool IsSubtitleStream(int index);

protected:
    virtual void AfterOpen();
    bool IsStreamOfType(int index, AVMediaType type);
    // Logs at an FFmpeg level and keeps the text as the last error.
    void DecoderLog(int avLevel, const QString& msg);

    AVFormatContext* ctx_ = nullptr;
    bool ownHandle_ = false;
    QString lastErr_;
    QString forceFormat_;
};

class TFFDecoder : public TCustomDecoder {
public:
    TFFDecoder();
    ~TFFDecoder() override;

    // The decoder's library set from a folder (empty: the system's).
    bool LoadAVLib(const QString& folder);
    bool AVLibLoaded() const;
    void UnloadAVLib();

    bool LoadFile(const QString& fileName, const QString& formatName = QString());
    void CloseFile() override;

    // Decodes the next picture of the video stream (negative: the one
    // chosen before, else the first) into FrameInfo.
    bool Decode(int streamIndex = -1);
    // Moves to a time (microseconds from the start) or, with sfByte, a
    // byte position; needs a file the decoder opened itself.
    bool Seek(int64_t target, TSeekFlags flags);

    const TFrameInfo& FrameInfo() const { return frame_; }
    AVRational FrameRate() const { return frameRate_; }

    // The current picture as a bottom-up bitmap, null when there is none.
    const TBitmap* GetBitmapPtr();
    int BitmapBitsPixel() const { return converter_.BitsPixel(); }
    bool SetBitmapBitsPixel(int bits) { return converter_.SetBitsPixel(bits); }

private:
    bool ChooseVideoStream(int index);
    bool OpenVideoCodec();
    void ResetDecoding();

    TFormatConverter converter_;
    AVCodecContext* videoCodec_ = nullptr;
    int videoStream_ = -1;
    AVRational frameRate_{0, 0};
    AVPacket* packet_ = nullptr;
    bool eofSent_ = false;
    int readError_ = 0;
    TFrameInfo frame_;
    int64_t lastPTS_ = NoTime;
    int64_t lastPos_ = -1;
};

} // namespace vel::video
