// The read thread: opens the file and its streams, demultiplexes packets
// into the queues of the audio, video and subtitle paths, seeks, and marks
// the end of the input.
#include <chrono>
#include "video/engine/av_errors.h"
#include "video/engine/file_protocol.h"
#include "video/engine/interrupt.h"
#include "video/engine/player_state.h"
#include "video/engine/thread_helpers.h"

namespace vel::video::play {

namespace {

constexpr int64_t kMaxQueueBytes = 15 * 1024 * 1024;
constexpr int kMinFrames = 25;

bool AbortRequested(void* sender) { return static_cast<TVideoState*>(sender)->abort.load(); }

AVCodecContext* OpenCodec(AVStream* st) {
    const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return nullptr;
    AVCodecContext* c = ff::avcodec_alloc_context3(codec);
    if (!c) return nullptr;
#ifdef __SANITIZE_THREAD__
    // FFmpeg's own decoding threads hand frames over through C11 atomics in
    // uninstrumented code, which ThreadSanitizer cannot follow.
    c->thread_count = 1;
#else
    c->thread_count = 0;
#endif
    if (ff::avcodec_parameters_to_context(c, st->codecpar) < 0 || ff::avcodec_open2(c, codec, nullptr) < 0) {
        ff::avcodec_free_context(&c);
        return nullptr;
    }
    c->pkt_timebase = st->time_base;
    return c;
}

bool OpenStreams(TVideoState* vs) {
    TFFPlayer* p = vs->player;
    const int r = OpenInputFile(&vs->ic, vs->fileName, nullptr, nullptr);
    if (r < 0) {
        vs->openError = AVErrorToText(vs->fileName, r);
        return false;
    }
    if (ff::avformat_find_stream_info(vs->ic, nullptr) < 0) {
        vs->openError = QStringLiteral("%1: could not find codec parameters").arg(vs->fileName);
        return false;
    }
    vs->startTime = vs->ic->start_time != AV_NOPTS_VALUE ? vs->ic->start_time : 0;
    vs->duration = vs->ic->duration != AV_NOPTS_VALUE ? vs->ic->duration : 0;
    vs->videoStream = ff::av_find_best_stream(vs->ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    vs->audioStream = ff::av_find_best_stream(vs->ic, AVMEDIA_TYPE_AUDIO, -1, vs->videoStream, nullptr, 0);
    if (vs->videoStream >= 0) {
        AVStream* st = vs->ic->streams[vs->videoStream];
        vs->vdec = OpenCodec(st);
        if (!vs->vdec || vs->vdec->width <= 0 || vs->vdec->height <= 0) {
            if (vs->vdec) ff::avcodec_free_context(&vs->vdec);
            vs->videoStream = -1;
        } else {
            // 0/0 from the container: FFmpeg's guess, else 25 frames a second.
            const AVRational fr = ff::av_guess_frame_rate(vs->ic, st, nullptr);
            vs->frameDelay = (fr.num > 0 && fr.den > 0) ? double(fr.den) / fr.num : 0.04;
            const int gr = BuildFilterGraph(vs, p->VideoFilters);
            if (gr < 0) {
                vs->openError = AVErrorToText(p->VideoFilters.isEmpty() ? QStringLiteral("filter graph") : p->VideoFilters, gr);
                return false;
            }
            vs->width = ff::av_buffersink_get_w(vs->bufferSink) & ~1;
            vs->height = ff::av_buffersink_get_h(vs->bufferSink) & ~1;
        }
    }
    if (vs->audioStream >= 0) {
        // Before the sound starts: the audio thread hands it samples.
        if (vs->videoStream < 0)
            vs->audioDisplay = std::make_unique<TAudioDisplay>(
                p->ShowMode == 0 ? TAudioDisplay::None
                                 : p->ShowMode == 1 ? TAudioDisplay::Waveform : TAudioDisplay::Spectrum,
                480, 270);
        vs->adec = OpenCodec(vs->ic->streams[vs->audioStream]);
        if (!vs->adec || !OpenAudio(vs)) {
            // Without a sound output the pictures still play.
            if (vs->adec) ff::avcodec_free_context(&vs->adec);
            vs->audioStream = -1;
        }
    }
    if (vs->videoStream >= 0) vs->subs = OpenBestSubtitle(vs->ic, vs->audioStream >= 0 ? vs->audioStream : vs->videoStream);
    if (vs->videoStream < 0 && vs->audioStream < 0) {
        vs->openError = QStringLiteral("%1: could not open codecs, no stream to play.").arg(vs->fileName);
        return false;
    }
    if (p->EqParams) {
        vs->eq = std::make_unique<TEqualizerFilter>(TEqualizerFilter::Kind::Eq, p->EqParams);
        vs->eq->Init(QString());
    }
    if (p->HueParams) {
        vs->hue = std::make_unique<TEqualizerFilter>(TEqualizerFilter::Kind::Hue, p->HueParams);
        vs->hue->Init(QString());
    }
    return true;
}

void DoSeek(TVideoState* vs) {
    int64_t target;
    int flags;
    bool retry;
    {
        std::lock_guard<std::mutex> lock(vs->stateMutex);
        target = vs->seekTarget;
        flags = vs->seekFlags;
        retry = vs->seekRetry;
    }
    // Anywhere the demuxer likes, preferably the key frame at or before the
    // target; never "any frame": a picture between key frames does not
    // decode on its own. The video thread decodes forward to the target.
    const int demux = flags & ~sfAny;
    int r = ff::avformat_seek_file(vs->ic, -1, INT64_MIN, target, INT64_MAX, demux);
    if (r < 0) r = ff::av_seek_frame(vs->ic, -1, target, demux);
    if (r < 0) r = ff::av_seek_frame(vs->ic, -1, target, demux ^ sfBackward);
    std::lock_guard<std::mutex> lock(vs->stateMutex);
    vs->seekRetry = false;
    if (r < 0) {
        Log(vs, TLogLevel::llError, QStringLiteral("%1: error while seeking").arg(vs->fileName));
        vs->showPending = false;
    } else {
        vs->videoq.Flush();
        vs->audioq.Flush();
        {
            std::lock_guard<std::mutex> plock(vs->pictMutex);
            vs->serial.fetch_add(1);
            for (auto& pic : vs->pictq) ff::av_frame_free(&pic.frame);
            vs->pictq.clear();
            vs->pictCond.notify_all();
        }
        if (vs->videoStream >= 0) vs->videoq.PutFlush();
        if (vs->audioStream >= 0) vs->audioq.PutFlush();
        if (vs->subs) vs->subs->Flush();
        if (!retry) {
            vs->seekMinPts = (flags & sfByte) ? -1e300 : (double(target) - vs->frameDelay * 1e6 / 2) / 1e6;
            vs->seekBack = 0;
        }
        vs->seekLandCheck = vs->videoStream >= 0 && !(flags & sfByte);
        vs->eof = vs->readError = vs->videoDrained = vs->endReported = false;
        vs->showPending = vs->videoStream >= 0;
        ++vs->showGen;
    }
    vs->seekReq = false;
    vs->seekDone = true;
    vs->stateCond.notify_all();
}

} // namespace

void ReadThread(TVideoState* vs) {
    const uint32_t tid = CurrentThreadID();
    InterruptCB().Add(tid, vs, &AbortRequested);
    const bool ok = OpenStreams(vs);
    {
        std::lock_guard<std::mutex> lock(vs->openMutex);
        vs->opened = ok ? 1 : -2;
        vs->openCond.notify_all();
    }
    AVPacket* pkt = ok ? ff::av_packet_alloc() : nullptr;
    while (pkt && !vs->abort) {
        bool seek, idle;
        {
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            seek = vs->seekReq;
            idle = vs->eof || vs->readError;
        }
        if (seek) {
            DoSeek(vs);
            continue;
        }
        const bool full = vs->videoq.Size() + vs->audioq.Size() > kMaxQueueBytes ||
                          ((vs->videoStream < 0 || vs->videoq.Count() > kMinFrames) &&
                           (vs->audioStream < 0 || vs->audioq.Count() > kMinFrames));
        if (idle || full) {
            // A seek or a stop wakes it, and so does each shown picture; the
            // queues hold over half a second, so it need not poll often.
            std::unique_lock<std::mutex> lock(vs->stateMutex);
            vs->stateCond.wait_for(lock, std::chrono::milliseconds(idle ? 100 : 30));
            continue;
        }
        const int r = ff::av_read_frame(vs->ic, pkt);
        if (r < 0) {
            if (vs->abort || r == AVERROR_EXIT) continue;
            const bool end = r == AVERROR_EOF || (vs->ic->pb && vs->ic->pb->eof_reached);
            if (!end) Log(vs, TLogLevel::llError, AVErrorToText(vs->fileName, r));
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            (end ? vs->eof : vs->readError) = true;
            if (vs->videoStream >= 0) vs->videoq.PutEmpty(vs->videoStream);
            else vs->videoDrained = true;
            continue;
        }
        if (pkt->stream_index == vs->videoStream)
            vs->videoq.Put(pkt);
        else if (pkt->stream_index == vs->audioStream)
            vs->audioq.Put(pkt);
        else if (vs->subs && pkt->stream_index == vs->subs->StreamIndex())
            vs->subs->Put(pkt);
        ff::av_packet_unref(pkt);
    }
    ff::av_packet_free(&pkt);
    InterruptCB().Remove(tid, vs, &AbortRequested);
}

} // namespace vel::video::play
