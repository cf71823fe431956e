#include "video/engine/decoder.h"
#include <QFileInfo>
#include "video/engine/av_errors.h"
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"
#include "video/engine/file_protocol.h"
#include "video/engine/thread_helpers.h"

namespace vel::video {

QString PictureTypeName(int type) {
    static const char* const names[] = {"Intra", "Predicted", "Bi-dir predicted", "S(GMC)-VOP MPEG4",
                                        "Switching Intra", "Switching Predicted", "BI type"};
    return type >= 1 && type <= 7 ? QString::fromLatin1(names[type - 1]) : QStringLiteral("Unknown");
}

// ---- TCustomDecoder ----

TCustomDecoder::TCustomDecoder() { AfterOpen(); }

TCustomDecoder::~TCustomDecoder() { TCustomDecoder::CloseFile(); }

void TCustomDecoder::DecoderLog(int avLevel, const QString& msg) {
    FFLogger().Log(this, AVLogToLevel(avLevel), msg);
    lastErr_ = msg;
}

bool TCustomDecoder::CheckAVLibs() {
    const struct {
        TLibrary lib;
        const char* msg;
    } libs[] = {{TLibrary::avCodec, "LibAVCodec not loaded."},
                {TLibrary::avFormat, "LibAVFormat not loaded."},
                {TLibrary::avUtil, "LibAVUtil not loaded."},
                {TLibrary::swScale, "LibSwScale not loaded."}};
    for (const auto& l : libs) {
        if (!FFLoader().Loaded(l.lib)) {
            lastErr_ = QString::fromLatin1(l.msg);
            return false;
        }
    }
    return true;
}

void TCustomDecoder::SetFileHandle(AVFormatContext* ctx) {
    if (ctx == ctx_) return;
    if (ctx && !CheckAVLibs()) return;
    CloseFile();
    ctx_ = ctx;
    ownHandle_ = false;
    AfterOpen();
}

void TCustomDecoder::CloseFile() {
    forceFormat_.clear();
    if (ctx_ && ownHandle_) CloseInputFile(&ctx_);
    ctx_ = nullptr;
    ownHandle_ = false;
    AfterOpen();
}

void TCustomDecoder::AfterOpen() {
    FileSize = -1;
    StreamCount = ProgramCount = AudioStreamCount = VideoStreamCount = SubtitleStreamCount = -1;
    FirstAudioStreamIndex = FirstVideoStreamIndex = FirstSubtitleStreamIndex = -1;
    if (!ctx_) return;
    const int64_t ioSize = ctx_->pb && ff::avio_size ? ff::avio_size(ctx_->pb) : -1;
    if (ioSize > 0) {
        FileSize = ioSize;
    } else {
        const QFileInfo fi(FromUTF8(ctx_->url));
        FileSize = (ctx_->url && fi.isFile()) ? fi.size() : ioSize;
    }
    StreamCount = int(ctx_->nb_streams);
    ProgramCount = int(ctx_->nb_programs);
    AudioStreamCount = VideoStreamCount = SubtitleStreamCount = 0;
    for (unsigned i = 0; i < ctx_->nb_streams; ++i) {
        switch (ctx_->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (VideoStreamCount++ == 0) FirstVideoStreamIndex = int(i);
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (AudioStreamCount++ == 0) FirstAudioStreamIndex = int(i);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (SubtitleStreamCount++ == 0) FirstSubtitleStreamIndex = int(i);
            break;
        default: break;
        }
    }
}

QString TCustomDecoder::FileName() const { return ctx_ ? FromUTF8(ctx_->url) : QString(); }

QString TCustomDecoder::FormatName() const {
    return ctx_ && ctx_->iformat ? QString::fromLatin1(ctx_->iformat->name) : QString();
}

QString TCustomDecoder::FormatLongName() const {
    return ctx_ && ctx_->iformat && ctx_->iformat->long_name ? QString::fromLatin1(ctx_->iformat->long_name)
                                                             : QString();
}

bool TCustomDecoder::IsStreamOfType(int index, AVMediaType type) {
    if (!ctx_) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("file not loaded."));
        return false;
    }
    if (index < 0 || index >= int(ctx_->nb_streams)) {
        DecoderLog(AV_LOG_ERROR, QString::asprintf("stream index #%d is invalid.", index));
        return false;
    }
    return ctx_->streams[index]->codecpar->codec_type == type;
}

bool TCustomDecoder::IsAudioStream(int index) { return IsStreamOfType(index, AVMEDIA_TYPE_AUDIO); }
bool TCustomDecoder::IsVideoStream(int index) { return IsStreamOfType(index, AVMEDIA_TYPE_VIDEO); }
bool TCustomDecoder::IsSubtitleStream(int index) { return IsStreamOfType(index, AVMEDIA_TYPE_SUBTITLE); }

// ---- TFFDecoder ----

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() { TFFDecoder::CloseFile(); }

bool TFFDecoder::LoadAVLib(const QString& folder) {
    FFLoader().SetLibraryPath(folder);
    if (FFLoader().Load(DecoderLibraries)) return true;
    lastErr_ = FFLoader().LastErrMsg();
    return false;
}

bool TFFDecoder::AVLibLoaded() const { return FFLoader().Loaded(DecoderLibraries); }

void TFFDecoder::UnloadAVLib() {
    CloseFile();
    FFLoader().Unload(DecoderLibraries);
}

void TFFDecoder::ResetDecoding() {
    if (frame_.Picture) ff::av_frame_free(&frame_.Picture);
    if (frame_.Ready) {
        lastPTS_ = frame_.PTS;
        lastPos_ = frame_.Position;
    }
    frame_ = TFrameInfo();
    eofSent_ = false;
    readError_ = 0;
}

void TFFDecoder::CloseFile() {
    if (ctx_ || videoCodec_ || frame_.Picture || packet_) {
        ResetDecoding();
        lastPTS_ = NoTime;
        lastPos_ = -1;
        videoStream_ = -1;
        frameRate_ = AVRational{0, 0};
        if (videoCodec_) ff::avcodec_free_context(&videoCodec_);
        if (packet_) ff::av_packet_free(&packet_);
    }
    TCustomDecoder::CloseFile();
}

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName) {
    if (!CheckAVLibs()) return false;
    CloseFile();
    const AVInputFormat* fmt = nullptr;
    if (!formatName.isEmpty()) {
        fmt = ff::av_find_input_format(formatName.toLatin1().constData());
        if (!fmt) {
            DecoderLog(AV_LOG_ERROR, QStringLiteral("Unknown input format: %1").arg(formatName));
            return false;
        }
    }
    AVFormatContext* ctx = nullptr;
    const int r = OpenInputFile(&ctx, fileName, fmt, nullptr);
    if (r < 0) {
        DecoderLog(AV_LOG_ERROR, AVErrorToText(fileName, r));
        return false;
    }
    if (OnBeforeFindStreamInfo) {
        if (TriggerEventInMainThread)
            CallInMainThread([&] { OnBeforeFindStreamInfo(this, ctx); });
        else
            OnBeforeFindStreamInfo(this, ctx);
    }
    if (ff::avformat_find_stream_info(ctx, nullptr) < 0) {
        CloseInputFile(&ctx);
        DecoderLog(AV_LOG_ERROR, QStringLiteral("%1: could not find codec parameters").arg(fileName));
        return false;
    }
    ctx_ = ctx;
    ownHandle_ = true;
    AfterOpen();
    forceFormat_ = formatName;
    return true;
}

bool TFFDecoder::ChooseVideoStream(int index) {
    if (!ctx_) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("file not loaded."));
        return false;
    }
    if (index < 0) {
        if (videoStream_ >= 0) return true;
        if (FirstVideoStreamIndex < 0) {
            DecoderLog(AV_LOG_ERROR, QStringLiteral("no video stream."));
            return false;
        }
        index = FirstVideoStreamIndex;
    }
    if (index == videoStream_) return true;
    if (!IsVideoStream(index)) {
        if (index >= 0 && index < int(ctx_->nb_streams))
            DecoderLog(AV_LOG_ERROR, QString::asprintf("stream #%d is not video stream.", index));
        return false;
    }
    if (videoCodec_) ff::avcodec_free_context(&videoCodec_);
    ResetDecoding();
    videoStream_ = index;
    const AVStream* st = ctx_->streams[index];
    frameRate_ = (st->avg_frame_rate.num && st->avg_frame_rate.den) ? st->avg_frame_rate : st->r_frame_rate;
    return true;
}

bool TFFDecoder::OpenVideoCodec() {
    if (videoCodec_) return true;
    const AVStream* st = ctx_->streams[videoStream_];
    const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
        DecoderLog(AV_LOG_ERROR, QString::asprintf("Unsupported codec (id=%d) for input file stream #%d",
                                                   int(st->codecpar->codec_id), videoStream_));
        return false;
    }
    videoCodec_ = ff::avcodec_alloc_context3(codec);
    if (!videoCodec_ || ff::avcodec_parameters_to_context(videoCodec_, st->codecpar) < 0 ||
        ff::avcodec_open2(videoCodec_, codec, nullptr) < 0) {
        if (videoCodec_) ff::avcodec_free_context(&videoCodec_);
        DecoderLog(AV_LOG_ERROR,
                   QString::asprintf("Error while opening codec for input file stream #%d", videoStream_));
        return false;
    }
    if (videoCodec_->width <= 0 || videoCodec_->height <= 0) {
        ff::avcodec_free_context(&videoCodec_);
        DecoderLog(AV_LOG_ERROR, QStringLiteral("frame size of codec is invalid."));
        return false;
    }
    return true;
}

bool TFFDecoder::Decode(int streamIndex) {
    if (!CheckAVLibs() || !ChooseVideoStream(streamIndex) || !OpenVideoCodec()) return false;
    if (!packet_) packet_ = ff::av_packet_alloc();
    AVFrame* picture = ff::av_frame_alloc();
    if (!packet_ || !picture) {
        ff::av_frame_free(&picture);
        DecoderLog(AV_LOG_ERROR, QStringLiteral("Out of memory"));
        return false;
    }
    const AVStream* st = ctx_->streams[videoStream_];
    for (;;) {
        const int r = ff::avcodec_receive_frame(videoCodec_, picture);
        if (r == 0) break;
        if (r == AVERROR_EOF) {
            ff::av_frame_free(&picture);
            if (readError_ == 0 || readError_ == AVERROR_EOF)
                DecoderLog(AV_LOG_INFO, QStringLiteral("stream eof reached."));
            else
                DecoderLog(AV_LOG_ERROR, QString::asprintf("unknown error #%d.", readError_));
            return false;
        }
        if (r != AVERROR(EAGAIN)) {
            DecoderLog(AV_LOG_WARNING, AVErrorToText(QStringLiteral("decode"), r));
            if (eofSent_) continue;
        }
        if (eofSent_) {
            // Flushed and still asking for input: nothing more will come.
            ff::av_frame_free(&picture);
            DecoderLog(AV_LOG_INFO, QStringLiteral("stream eof reached."));
            return false;
        }
        const int rr = ff::av_read_frame(ctx_, packet_);
        if (rr < 0) {
            // The end, or a damaged file: what the decoder holds still comes out.
            readError_ = rr;
            eofSent_ = true;
            ff::avcodec_send_packet(videoCodec_, nullptr);
            continue;
        }
        if (packet_->stream_index == videoStream_) {
            const int sr = ff::avcodec_send_packet(videoCodec_, packet_);
            if (sr < 0 && sr != AVERROR(EAGAIN))
                DecoderLog(AV_LOG_WARNING, AVErrorToText(QStringLiteral("decode"), sr));
        }
        ff::av_packet_unref(packet_);
    }

    int64_t pts = picture->best_effort_timestamp;
    int64_t us;
    if (pts == AV_NOPTS_VALUE) {
        // Continue from the last picture by one frame interval.
        const int64_t step = (frameRate_.num && frameRate_.den) ? 1000000LL * frameRate_.den / frameRate_.num : 40000;
        const int64_t prev = frame_.Ready ? frame_.PTS : lastPTS_;
        us = prev == NoTime ? 0 : prev + step;
    } else {
        if (st->start_time != AV_NOPTS_VALUE) pts -= st->start_time;
        us = ff::av_rescale_q(pts, st->time_base, AVRational{1, AV_TIME_BASE});
    }
    FFLogger().Log(this, TLogLevel::llDebug, "decode PTS: %0.3f", double(us) / 1e6);
    if (frame_.Picture) ff::av_frame_free(&frame_.Picture);
    frame_.Picture = picture;
    frame_.PixFmt = picture->format;
    frame_.Width = picture->width;
    frame_.Height = picture->height;
    frame_.IsKeyFrame = picture->key_frame != 0;
    frame_.PictureType = int(picture->pict_type);
    frame_.PTS = us;
    frame_.OriginalDTS = picture->pkt_dts;
    frame_.OriginalPTS = picture->pts;
    frame_.StreamIndex = videoStream_;
    frame_.Position = picture->pkt_pos;
    frame_.Ready = true;
    return true;
}

bool TFFDecoder::Seek(int64_t target, TSeekFlags flags) {
    if (!ctx_) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("file not loaded."));
        return false;
    }
    if (!ownHandle_) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("file cannot be seeked, handle is readonly."));
        return false;
    }
    if (FormatName() == QLatin1String("image2")) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("\"image2\" format cannot to be seeked."));
        return false;
    }
    if (videoStream_ < 0 && FirstVideoStreamIndex >= 0) ChooseVideoStream(-1);
    const int idx = videoStream_;
    int64_t ts = target;
    if (!(flags & sfByte)) {
        if (target == 0 && idx >= 0) {
            // Half a frame back, so the first picture is reached.
            const int64_t interval =
                (frameRate_.num && frameRate_.den) ? 1000000LL * frameRate_.den / frameRate_.num : 40000;
            ts -= interval / 2;
        }
        if (idx >= 0) {
            const AVStream* st = ctx_->streams[idx];
            ts = ff::av_rescale_q(ts, AVRational{1, AV_TIME_BASE}, st->time_base);
            if (st->start_time != AV_NOPTS_VALUE) ts += st->start_time;
        } else if (ctx_->start_time != AV_NOPTS_VALUE) {
            ts += ctx_->start_time;
        }
    }
    if (videoCodec_) ff::avcodec_flush_buffers(videoCodec_);
    ResetDecoding();
    const bool backward = flags & sfBackward;
    int r = ff::avformat_seek_file(ctx_, idx, backward ? INT64_MIN : ts, ts, backward ? ts : INT64_MAX, flags);
    if (r < 0) r = ff::av_seek_frame(ctx_, idx, ts, flags);
    if (r < 0) r = ff::av_seek_frame(ctx_, idx, ts, flags ^ sfBackward);
    if (r < 0) {
        if (flags & sfByte)
            DecoderLog(AV_LOG_ERROR, QString::asprintf("could not seek to position %lld bytes", (long long)target));
        else
            DecoderLog(AV_LOG_ERROR, QString::asprintf("could not seek to position %0.3f seconds", double(target) / 1e6));
        return false;
    }
    return true;
}

const TBitmap* TFFDecoder::GetBitmapPtr() {
    if (!frame_.Ready || !frame_.Picture) {
        DecoderLog(AV_LOG_ERROR, QStringLiteral("picture not ready, please decode first"));
        return nullptr;
    }
    if (!converter_.PictureToRGB(frame_.Picture->data, frame_.Picture->linesize, AVPixelFormat(frame_.PixFmt), true,
                                 frame_.Height, frame_.Width)) {
        DecoderLog(AV_LOG_ERROR, converter_.LastErrMsg());
        return nullptr;
    }
    return &converter_.Bitmap();
}

} // namespace vel::video
