#include "video/engine/player.h"
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <thread>
#include "video/engine/av_errors.h"
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"
#include "video/engine/file_protocol.h"
#include "video/engine/interrupt.h"
#include "video/engine/packet_queue.h"
#include "video/engine/thread_helpers.h"

namespace vel::video {

namespace {

constexpr int64_t kMaxQueueBytes = 15 * 1024 * 1024;
constexpr int kMinFrames = 25;
constexpr double kSyncMin = 0.04, kSyncMax = 0.1, kNoSyncAbove = 10.0;
// Row alignment and tail of a picture the scaler writes, as av_frame_get_buffer makes them.
constexpr int kPictureAlign = 64, kPicturePadding = 16 + kPictureAlign - 1;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

// Everything of one open file, shared by the player's threads. Flags and
// clocks are atomics or live under one of the mutexes.
struct TVideoState {
    TFFPlayer* player = nullptr;
    TSDLLoader* sdl = nullptr;
    QString fileName;
    TPictureSink sink;
    std::atomic<bool> abort{false};

    AVFormatContext* ic = nullptr;
    int videoStream = -1;
    int audioStream = -1;
    AVCodecContext* vdec = nullptr;
    AVCodecContext* adec = nullptr;
    TPacketQueue videoq, audioq;
    AVFilterGraph* graph = nullptr;
    AVFilterContext* bufferSrc = nullptr;
    AVFilterContext* bufferSink = nullptr;
    std::unique_ptr<TEqualizerFilter> eq, hue;
    double frameDelay = 0.04;
    int64_t startTime = 0;  // µs
    int64_t duration = 0;   // µs
    int width = 0, height = 0;

    // Open hand-shake: 1 open, -2 failed.
    std::mutex openMutex;
    std::condition_variable_any openCond;
    int opened = 0;
    QString openError;
    bool timedOut = false;

    // Picture queue.
    struct Picture {
        AVFrame* frame;
        double pts;  // s, stream time
        int serial;
    };
    std::mutex pictMutex;
    std::condition_variable_any pictCond;
    std::deque<Picture> pictq;

    // Play state, seek request and end of input, under stateMutex.
    std::mutex stateMutex;
    std::condition_variable_any stateCond;
    bool paused = false;
    bool step = false;
    bool showPending = false;  // show the next picture even while paused
    // Bumped on each request above, so that showing a picture clears only
    // the requests it served: one made while it was being shown stays.
    unsigned stepGen = 0, showGen = 0;
    bool openPaused = false;
    bool seekReq = false;
    int64_t seekTarget = 0;
    int seekFlags = 0;
    std::atomic<double> seekMinPts{-1e300};  // also read by the audio callback
    // The first picture after a seek tells whether the demuxer landed after
    // the target; it is then sought again this much further back (µs).
    bool seekLandCheck = false;
    bool seekRetry = false;
    int64_t seekBack = 0;
    bool seekDone = true;
    bool eof = false;
    bool readError = false;
    bool videoDrained = false;
    bool endReported = false;
    std::atomic<int> serial{0};

    // Clocks.
    TClock audclk, vidclk;

    // Audio output (SDL's callback thread).
    bool sdlInited = false;
    bool audioOpen = false;
    SwrContext* swr = nullptr;
    AVChannelLayout swrInLayout{};
    int swrInFmt = -1, swrInRate = 0;
    int outChannels = 2, outRate = 44100, bytesPerSec = 0, hwBufSize = 0;
    AVFrame* aframe = nullptr;
    AVPacket* apkt = nullptr;
    std::vector<uint8_t> abuf;
    size_t abufIndex = 0;
    double audioClock = NAN;
    int audioSerial = 0;

    std::thread readThread, videoThread, playThread;
    std::once_flag exitOnce;
};

namespace {

bool AbortRequested(void* sender) { return static_cast<TVideoState*>(sender)->abort.load(); }

void Log(TVideoState* vs, TLogLevel level, const QString& msg) { FFLogger().Log(vs->player, level, msg); }

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

// source -> [the player's filter text] -> sink (YUV 4:2:0 only).
int BuildFilterGraph(TVideoState* vs, const QString& text) {
    AVStream* st = vs->ic->streams[vs->videoStream];
    vs->graph = ff::avfilter_graph_alloc();
    if (!vs->graph) return AVERROR(ENOMEM);
    char opts[64];
    std::snprintf(opts, sizeof opts, "flags=%d", vs->player->SwsFlags);
    vs->graph->scale_sws_opts = ff::av_strdup(opts);
    const AVRational sar = st->codecpar->sample_aspect_ratio.num ? st->codecpar->sample_aspect_ratio : AVRational{0, 1};
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                  vs->vdec->width, vs->vdec->height, int(vs->vdec->pix_fmt), st->time_base.num, st->time_base.den,
                  sar.num, sar.den ? sar.den : 1);
    int r = ff::avfilter_graph_create_filter(&vs->bufferSrc, ff::avfilter_get_by_name("buffer"), "src", args, nullptr,
                                             vs->graph);
    if (r < 0) return r;
    r = ff::avfilter_graph_create_filter(&vs->bufferSink, ff::avfilter_get_by_name("buffersink"), "out", nullptr,
                                         nullptr, vs->graph);
    if (r < 0) return r;
    const AVPixelFormat fmts[] = {AV_PIX_FMT_YUV420P};
    r = ff::av_opt_set_bin(vs->bufferSink, "pix_fmts", reinterpret_cast<const uint8_t*>(fmts), sizeof fmts,
                           AV_OPT_SEARCH_CHILDREN);
    if (r < 0) return r;
    if (text.trimmed().isEmpty()) {
        r = ff::avfilter_link(vs->bufferSrc, 0, vs->bufferSink, 0);
    } else {
        AVFilterInOut* outputs = ff::avfilter_inout_alloc();
        AVFilterInOut* inputs = ff::avfilter_inout_alloc();
        if (!outputs || !inputs) {
            ff::avfilter_inout_free(&outputs);
            ff::avfilter_inout_free(&inputs);
            return AVERROR(ENOMEM);
        }
        outputs->name = ff::av_strdup("in");
        outputs->filter_ctx = vs->bufferSrc;
        inputs->name = ff::av_strdup("out");
        inputs->filter_ctx = vs->bufferSink;
        r = ff::avfilter_graph_parse_ptr(vs->graph, text.toUtf8().constData(), &inputs, &outputs, nullptr);
        ff::avfilter_inout_free(&outputs);
        ff::avfilter_inout_free(&inputs);
    }
    if (r < 0) return r;
    return ff::avfilter_graph_config(vs->graph, nullptr);
}

// ---- audio ----

// Decodes the next audio frame into abuf as signed 16-bit samples; false
// when no data is waiting.
bool AudioDecodeFrame(TVideoState* vs) {
    for (;;) {
        if (vs->abort) return false;
        int r = ff::avcodec_receive_frame(vs->adec, vs->aframe);
        if (r == 0) {
            AVFrame* f = vs->aframe;
            const AVRational tb = vs->ic->streams[vs->audioStream]->time_base;
            const double pts = f->pts == AV_NOPTS_VALUE ? vs->audioClock : f->pts * av_q2d(tb);
            if (!vs->swr || f->format != vs->swrInFmt || f->sample_rate != vs->swrInRate ||
                ff::av_channel_layout_compare(&f->ch_layout, &vs->swrInLayout) != 0) {
                ff::swr_free(&vs->swr);
                AVChannelLayout outLayout{};
                ff::av_channel_layout_default(&outLayout, vs->outChannels);
                // More than two channels are mixed down by the resampler.
                if (ff::swr_alloc_set_opts2(&vs->swr, &outLayout, AV_SAMPLE_FMT_S16, vs->outRate, &f->ch_layout,
                                            AVSampleFormat(f->format), f->sample_rate, 0, nullptr) < 0 ||
                    ff::swr_init(vs->swr) < 0) {
                    ff::swr_free(&vs->swr);
                    ff::av_frame_unref(f);
                    Log(vs, TLogLevel::llError, QStringLiteral("Cannot create sample rate converter"));
                    return false;
                }
                ff::av_channel_layout_uninit(&vs->swrInLayout);
                ff::av_channel_layout_copy(&vs->swrInLayout, &f->ch_layout);
                vs->swrInFmt = f->format;
                vs->swrInRate = f->sample_rate;
            }
            // Room for a rate correction of up to 10 %.
            const int outSamples =
                int(int64_t(f->nb_samples) * vs->outRate / std::max(1, f->sample_rate) * 110 / 100) + 256;
            vs->abuf.resize(size_t(outSamples) * size_t(vs->outChannels) * 2);
            uint8_t* out[1] = {vs->abuf.data()};
            const int n = ff::swr_convert(vs->swr, out, outSamples, const_cast<const uint8_t**>(f->extended_data),
                                          f->nb_samples);
            const int rate = f->sample_rate, samples = f->nb_samples;
            ff::av_frame_unref(f);
            if (n < 0) continue;
            vs->abuf.resize(size_t(n) * size_t(vs->outChannels) * 2);
            vs->abufIndex = 0;
            vs->audioClock = pts + double(samples) / std::max(1, rate);
            if (pts < vs->seekMinPts - 0.02) continue;  // before the seek's target
            return true;
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) return false;
        if (r == AVERROR_EOF) ff::avcodec_flush_buffers(vs->adec);
        bool flush = false;
        if (vs->audioq.Get(vs->apkt, &flush, false) <= 0) return false;
        if (flush) {
            ff::avcodec_flush_buffers(vs->adec);
            vs->audioClock = NAN;
            continue;
        }
        if (!vs->apkt->data && vs->apkt->size == 0) {
            ff::av_packet_unref(vs->apkt);
            continue;
        }
        ff::avcodec_send_packet(vs->adec, vs->apkt);
        ff::av_packet_unref(vs->apkt);
    }
}

void AudioCallback(void* opaque, Uint8* stream, int len) {
    auto* vs = static_cast<TVideoState*>(opaque);
    const double now = WallTime();
    const int volume = vs->player->Mute.load() ? 0 : std::clamp(vs->player->AudioVolume.load(), 0, 128);
    while (len > 0) {
        if (vs->abufIndex >= vs->abuf.size()) {
            if (!AudioDecodeFrame(vs)) {
                std::memset(stream, 0, size_t(len));
                break;
            }
        }
        const int n = std::min(len, int(vs->abuf.size() - vs->abufIndex));
        if (volume == 128) {
            std::memcpy(stream, vs->abuf.data() + vs->abufIndex, size_t(n));
        } else {
            std::memset(stream, 0, size_t(n));
            if (volume > 0) vs->sdl->SDL_MixAudio(stream, vs->abuf.data() + vs->abufIndex, Uint32(n), volume);
        }
        len -= n;
        stream += n;
        vs->abufIndex += size_t(n);
    }
    if (!std::isnan(vs->audioClock) && vs->bytesPerSec > 0) {
        const double buffered = double(2 * vs->hwBufSize + int(vs->abuf.size() - vs->abufIndex)) / vs->bytesPerSec;
        vs->audclk.Set(vs->audioClock - buffered, now);
    }
}

bool OpenAudio(TVideoState* vs) {
    AVCodecContext* a = vs->adec;
    SDL_AudioSpec wanted{}, got{};
    wanted.freq = a->sample_rate > 0 ? a->sample_rate : 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(std::clamp(a->ch_layout.nb_channels, 1, 2));
    wanted.samples = 1024;
    wanted.callback = &AudioCallback;
    wanted.userdata = vs;
    // Everything the callback touches exists before SDL starts its thread.
    vs->aframe = ff::av_frame_alloc();
    vs->apkt = ff::av_packet_alloc();
    if (!vs->aframe || !vs->apkt || !vs->sdlInited || vs->sdl->SDL_OpenAudio(&wanted, &got) < 0) {
        Log(vs, TLogLevel::llWarning,
            QStringLiteral("SDL_OpenAudio: %1").arg(vs->sdlInited ? QString::fromLocal8Bit(vs->sdl->SDL_GetError())
                                                                  : QStringLiteral("no audio")));
        return false;
    }
    if (got.format != AUDIO_S16SYS || got.channels < 1 || got.channels > 2) {
        vs->sdl->SDL_CloseAudio();
        return false;
    }
    vs->outChannels = got.channels;
    vs->outRate = got.freq;
    vs->bytesPerSec = got.freq * got.channels * 2;
    vs->hwBufSize = int(got.size);
    vs->audioOpen = true;
    return true;
}

// ---- video thread ----

void QueuePicture(TVideoState* vs, AVFrame* frame, double pts, int serial) {
    std::unique_lock<std::mutex> lock(vs->pictMutex);
    vs->pictCond.wait(lock, [&] { return vs->abort || vs->pictq.size() < 2 || vs->serial.load() != serial; });
    if (vs->abort || vs->serial.load() != serial) {
        ff::av_frame_free(&frame);
        return;
    }
    vs->pictq.push_back({frame, pts, serial});
}

// Some demuxers (MPEG-TS) land after the target, on the first key frame
// past the place their search found: the first picture after a seek that is
// later than the picture at the target asks for a seek further back.
// So does the end of the input with no picture since the seek (landed past
// the last key frame). Gives true when the picture is to be dropped for it.
bool LandedAfterTarget(TVideoState* vs, double pts) {
    std::lock_guard<std::mutex> lock(vs->stateMutex);
    if (!vs->seekLandCheck) return false;
    vs->seekLandCheck = false;
    if (vs->seekReq || pts <= vs->seekMinPts + vs->frameDelay + 1e-6) return false;
    const int64_t target = int64_t(std::llround(vs->seekMinPts * 1e6 + vs->frameDelay * 1e6 / 2));
    const int64_t back = vs->seekBack == 0 ? 1'000'000 : vs->seekBack * 2;
    // Not before the file's start: from there on what comes is all there is.
    if (target <= vs->startTime || (vs->seekBack != 0 && vs->seekTarget <= vs->startTime)) return false;
    vs->seekBack = back;
    vs->seekTarget = std::max(target - back, vs->startTime);
    vs->seekRetry = true;
    vs->seekReq = true;
    vs->seekDone = false;
    vs->serial.fetch_add(1);  // what is decoded until the seek is never shown
    vs->stateCond.notify_all();
    return true;
}

void DeliverFiltered(TVideoState* vs, int serial, double& lastPts, bool& firstAfterSeek) {
    const AVRational tb = ff::av_buffersink_get_time_base(vs->bufferSink);
    for (;;) {
        AVFrame* out = ff::av_frame_alloc();
        if (!out) return;
        if (ff::av_buffersink_get_frame_flags(vs->bufferSink, out, 0) < 0) {
            ff::av_frame_free(&out);
            return;
        }
        // A picture without a time continues the last by one frame.
        const double pts = out->pts == AV_NOPTS_VALUE ? lastPts + vs->frameDelay : out->pts * av_q2d(tb);
        lastPts = pts;
        if (firstAfterSeek) {
            firstAfterSeek = false;
            if (LandedAfterTarget(vs, pts)) {
                ff::av_frame_free(&out);
                continue;
            }
        }
        double minPts;
        {
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            minPts = vs->seekMinPts;
        }
        if (pts < minPts) {  // decoded on the way to the seek's target (its tolerance is in minPts)
            ff::av_frame_free(&out);
            continue;
        }
        QueuePicture(vs, out, pts, serial);
    }
}

void VideoThread(TVideoState* vs) {
    AVPacket* pkt = ff::av_packet_alloc();
    AVFrame* frame = ff::av_frame_alloc();
    int serial = vs->serial.load();
    double lastPts = -vs->frameDelay;
    bool firstAfterSeek = false;
    auto drain = [&] {
        while (ff::avcodec_receive_frame(vs->vdec, frame) == 0) {
            frame->pts = frame->best_effort_timestamp;
            if (ff::av_buffersrc_add_frame_flags(vs->bufferSrc, frame, 0) < 0) ff::av_frame_unref(frame);
            DeliverFiltered(vs, serial, lastPts, firstAfterSeek);
        }
    };
    while (pkt && frame && !vs->abort) {
        bool flush = false;
        if (vs->videoq.Get(pkt, &flush, true) < 0) break;
        if (flush) {
            ff::avcodec_flush_buffers(vs->vdec);
            serial = vs->serial.load();
            firstAfterSeek = true;
            continue;
        }
        if (!pkt->data && pkt->size == 0) {
            // The end of the input: what the decoder holds comes out.
            ff::avcodec_send_packet(vs->vdec, nullptr);
            drain();
            ff::avcodec_flush_buffers(vs->vdec);
            if (firstAfterSeek) {
                firstAfterSeek = false;
                if (LandedAfterTarget(vs, INFINITY)) continue;
            }
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            vs->videoDrained = true;
            continue;
        }
        ff::avcodec_send_packet(vs->vdec, pkt);
        ff::av_packet_unref(pkt);
        drain();
    }
    ff::av_packet_free(&pkt);
    ff::av_frame_free(&frame);
}

// ---- read thread ----

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
        vs->adec = OpenCodec(vs->ic->streams[vs->audioStream]);
        if (!vs->adec || !OpenAudio(vs)) {
            // Without a sound output the pictures still play.
            if (vs->adec) ff::avcodec_free_context(&vs->adec);
            vs->audioStream = -1;
        }
    }
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
            std::unique_lock<std::mutex> lock(vs->stateMutex);
            vs->stateCond.wait_for(lock, std::chrono::milliseconds(10));
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
        ff::av_packet_unref(pkt);
    }
    ff::av_packet_free(&pkt);
    InterruptCB().Remove(tid, vs, &AbortRequested);
}

// ---- display (the play thread) ----

void Show(TVideoState* vs, TVideoState::Picture& pic, SwsContext*& sws) {
    AVFrame* f = pic.frame;
    // The host's picture values as they are now, for the picture shown now.
    if (vs->eq) vs->eq->Filter(f);
    if (vs->hue) vs->hue->Filter(f);
    auto out = std::make_shared<TVideoPicture>();
    out->Width = f->width & ~1;
    out->Height = f->height & ~1;
    // Laid out as FFmpeg lays out its own pictures: the scaler writes whole
    // vector blocks, past the end of a row and of the last one.
    out->Stride = FFALIGN(out->Width * 4, kPictureAlign);
    out->Bits.resize(size_t(out->Stride) * size_t(out->Height) + kPicturePadding);
    out->PTS = int64_t(std::llround(pic.pts * 1e6)) - vs->startTime;
    const AVRational sar = f->sample_aspect_ratio;
    out->AspectRatio = (sar.num > 0 && sar.den > 0 ? double(sar.num) / sar.den : 1.0) * out->Width / std::max(1, out->Height);
    sws = ff::sws_getCachedContext(sws, out->Width, out->Height, AVPixelFormat(f->format), out->Width, out->Height,
                                   AV_PIX_FMT_BGRA, vs->player->SwsFlags, nullptr, nullptr, nullptr);
    if (sws && out->Width > 0 && out->Height > 0) {
        uint8_t* dst[4] = {out->Bits.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {out->Stride, 0, 0, 0};
        ff::sws_scale(sws, f->data, f->linesize, 0, out->Height, dst, dstStride);
    }
    vs->vidclk.Set(pic.pts, WallTime());
    if (vs->sink) vs->sink(out);
}

void PlayLoop(TVideoState* vs) {
    TFFPlayer* p = vs->player;
    SwsContext* sws = nullptr;
    double frameTimer = 0, lastPts = NAN, lastDelay = vs->frameDelay;
    int64_t lastPos = NoTime;
    bool wasPaused = false;
    while (!vs->abort) {
        bool showNow = false, paused, step, showPending, seeking;
        unsigned stepGen, showGen;
        TVideoState::Picture pic{};
        const double now = WallTime();
        {
            std::lock_guard<std::mutex> slock(vs->stateMutex);
            seeking = vs->seekReq;
            paused = vs->paused;
            step = vs->step;
            showPending = vs->showPending;
            stepGen = vs->stepGen;
            showGen = vs->showGen;
        }
        if (paused && !wasPaused) wasPaused = true;
        if (!paused && wasPaused) {
            wasPaused = false;
            frameTimer = now;  // carry on from here after a pause
        }
        {
            std::lock_guard<std::mutex> lock(vs->pictMutex);
            while (!vs->pictq.empty() && vs->pictq.front().serial != vs->serial.load()) {
                ff::av_frame_free(&vs->pictq.front().frame);
                vs->pictq.pop_front();
                vs->pictCond.notify_all();
            }
            // Pictures from before a seek asked for wait for it to drop them
            // (a seek and a resume at once showed one from before).
            if (!vs->pictq.empty() && !seeking) {
                const TVideoState::Picture& front = vs->pictq.front();
                if (showPending || step) {
                    showNow = true;
                    frameTimer = now;
                } else if (!paused) {
                    double delay = std::isnan(lastPts) ? 0 : front.pts - lastPts;
                    // A step back or of 10 s and more is a break in the time
                    // stamps, not a delay; a shorter gap is waited out.
                    if (delay <= 0 || delay >= kNoSyncAbove) delay = lastDelay;
                    lastDelay = delay;
                    const double master = vs->audioOpen ? vs->audclk.Get() : NAN;
                    if (!std::isnan(master)) {
                        const double diff = front.pts - master;
                        const double thr = std::clamp(delay, kSyncMin, kSyncMax);
                        if (std::fabs(diff) < kNoSyncAbove) {
                            if (diff <= -thr) delay = std::max(0.0, delay + diff);
                            else if (diff >= thr) delay = delay + diff;
                        }
                    }
                    if (frameTimer == 0) frameTimer = now;
                    if (now >= frameTimer + delay) {
                        frameTimer += delay;
                        if (now - frameTimer > kSyncMax) frameTimer = now;
                        showNow = true;
                        // Late with another picture waiting (and sound to keep up with): drop this one.
                        if (vs->audioOpen && vs->pictq.size() > 1 && now > frameTimer + (vs->pictq[1].pts - front.pts) + 0.1) {
                            ff::av_frame_free(&vs->pictq.front().frame);
                            vs->pictq.pop_front();
                            vs->pictCond.notify_all();
                            lastPts = front.pts;
                            showNow = false;
                            continue;
                        }
                    }
                }
                if (showNow) {
                    pic = vs->pictq.front();
                    vs->pictq.pop_front();
                    vs->pictCond.notify_all();
                }
            }
        }
        if (showNow) {
            lastPts = pic.pts;
            int64_t pos = int64_t(std::llround(pic.pts * 1e6)) - vs->startTime;
            // Before the picture goes out: whoever sees it reads its position.
            p->SetCurrentPTS(pos);
            Show(vs, pic, sws);
            ff::av_frame_free(&pic.frame);
            bool pauseAfter = false;
            {
                std::lock_guard<std::mutex> slock(vs->stateMutex);
                if (vs->showGen == showGen) vs->showPending = false;
                if (vs->stepGen == stepGen) vs->step = false;
                if (vs->openPaused) {
                    vs->openPaused = false;
                    pauseAfter = true;
                }
                vs->stateCond.notify_all();
            }
            if (vs->duration > 0 && pos > vs->duration) pos = vs->duration;
            if (lastPos == NoTime || std::llabs(pos - lastPos) > 10000) {
                lastPos = pos;
                p->PushPosition(pos);
            }
            if (pauseAfter) p->PostState(TPlayState::psPause);
            continue;
        }
        if (vs->videoStream < 0 && vs->audioOpen) {
            const double a = vs->audclk.Get();
            if (!std::isnan(a)) {
                const int64_t pos = int64_t(std::llround(a * 1e6)) - vs->startTime;
                p->SetCurrentPTS(pos);
                if (lastPos == NoTime || std::llabs(pos - lastPos) > 10000) {
                    lastPos = pos;
                    p->PushPosition(pos);
                }
            }
        }
        // The end, once, when everything read has been shown.
        bool end = false;
        {
            std::lock_guard<std::mutex> slock(vs->stateMutex);
            bool noPicture = false;
            if ((vs->eof || vs->readError) && vs->videoDrained && vs->videoq.Count() == 0) {
                std::lock_guard<std::mutex> plock(vs->pictMutex);
                noPicture = vs->pictq.empty();
            }
            // A seek past the last picture shows none, also while paused
            // sound holds back the end.
            if (noPicture && vs->showPending) {
                vs->showPending = false;
                vs->stateCond.notify_all();
            }
            if (noPicture && !vs->endReported && (vs->audioStream < 0 || vs->audioq.Count() == 0)) {
                end = vs->endReported = true;
                vs->stateCond.notify_all();
            }
        }
        if (end) {
            if (vs->duration > 0) p->PushPosition(vs->duration);
            p->PostState(TPlayState::psEnd);
        }
        Sleep(5);
    }
    if (sws) ff::sws_freeContext(sws);
    p->PostState(TPlayState::psStop);  // once per open, however it was stopped
}

} // namespace

// ---- the event ring: positions and states, coalesced, raised on the main thread ----

struct TFFPlayer::EventRing {
    struct Event {
        int kind;  // 1 position, 2 state
        int64_t value;
    };
    std::mutex mutex;
    Event events[10]{};
    int header = 0, tailer = 0;
    bool drainPosted = false;
    TFFPlayer* owner = nullptr;  // cleared when the player goes

    void Push(Event e, const std::shared_ptr<EventRing>& self) {
        bool post = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const int newest = (tailer + 9) % 10;
            if (header == tailer || events[newest].kind != e.kind) {
                events[tailer] = e;
                tailer = (tailer + 1) % 10;
                if (tailer == header) header = (header + 1) % 10;  // the oldest is dropped
            } else {
                events[newest] = e;  // the same kind as the newest: coalesced
            }
            if (!drainPosted) post = drainPosted = true;
        }
        if (post) PostToMainThread([self] { self->Drain(); });
    }

    void Drain() {
        for (;;) {
            Event e;
            TFFPlayer* p;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (header == tailer || !owner) {
                    drainPosted = false;
                    return;
                }
                e = events[header];
                header = (header + 1) % 10;
                p = owner;
            }
            if (e.kind == 1 && p->OnPosition) p->OnPosition(p, e.value);
            if (e.kind == 2 && p->OnState) p->OnState(p, TPlayState(e.value));
        }
    }
};

TFFPlayer::TFFPlayer() : events_(std::make_shared<EventRing>()) { events_->owner = this; }

TFFPlayer::~TFFPlayer() {
    {
        // No event reaches the host from a player being destroyed.
        std::lock_guard<std::mutex> lock(events_->mutex);
        events_->owner = nullptr;
    }
    Stop(true);
    if (FFLoader().Loaded(PlayerLibraries)) FreeOptions(options_);
}

void TFFPlayer::SetLastErrMsg(const QString& msg) {
    lastErr_ = msg;
    FFLogger().Log(this, TLogLevel::llError, msg);
}

void TFFPlayer::PostState(TPlayState s) {
    state_.store(s);
    events_->Push({2, int64_t(s)}, events_);
}

void TFFPlayer::PushPosition(int64_t pos) { events_->Push({1, pos}, events_); }

void TFFPlayer::DrainEvents() { events_->Drain(); }

bool TFFPlayer::LoadAVLib(const QString& path, bool autoLoadSDL) {
    FFLoader().SetLibraryPath(path);
    if (!FFLoader().Load(PlayerLibraries)) {
        lastErr_ = FFLoader().LastErrMsg();
        return false;
    }
    InitOptions(options_, SwsFlags);
    if (autoLoadSDL && !sdl_.Load(path, QStringLiteral("libSDL-1.2.so.0"))) {
        lastErr_ = sdl_.LastErrMsg();
        return false;
    }
    return true;
}

bool TFFPlayer::AVLibLoaded() const { return FFLoader().Loaded(PlayerLibraries) && sdl_.Loaded(); }

bool TFFPlayer::IsOpen() const { return vs_ != nullptr && !vs_->abort; }

int64_t TFFPlayer::Duration() const { return vs_ ? vs_->duration : 0; }
int TFFPlayer::FrameWidth() const { return vs_ && vs_->videoStream >= 0 ? vs_->width : -1; }
int TFFPlayer::FrameHeight() const { return vs_ && vs_->videoStream >= 0 ? vs_->height : -1; }
bool TFFPlayer::HasAudioOutput() const { return vs_ && vs_->audioOpen; }

bool TFFPlayer::Open(const QString& fileName, TPictureSink surface, bool paused) {
    if (!FFLoader().Loaded(PlayerLibraries)) {
        SetLastErrMsg(QStringLiteral("libav not loaded."));
        return false;
    }
    if (!sdl_.Loaded()) {
        SetLastErrMsg(QStringLiteral("sdl not loaded."));
        return false;
    }
    Stop(true);
    vs_ = std::make_unique<TVideoState>();
    TVideoState* vs = vs_.get();
    vs->player = this;
    vs->sdl = &sdl_;
    vs->fileName = fileName;
    vs->sink = std::move(surface);
    vs->paused = paused;
    vs->openPaused = paused;
    vs->showPending = paused;

    // Pictures go to the host's surface, never to an SDL window.
    sdl_.Putenv("SDL_VIDEODRIVER=dummy");
    static const char* const drivers[] = {nullptr, "SDL_AUDIODRIVER=dummy", "SDL_AUDIODRIVER=alsa",
                                          "SDL_AUDIODRIVER=pulse"};
    if (drivers[int(AudioDriver)]) sdl_.Putenv(drivers[int(AudioDriver)]);
    vs->sdlInited = sdl_.SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == 0;
    if (vs->sdlInited)
        FFLogger().Log(this, TLogLevel::llDebug, "using audio driver: %s", sdl_.SDL_AudioDriverName(nullptr, 0) ?: "");
    else
        FFLogger().Log(this, TLogLevel::llWarning, "Could not initialize SDL audio: %s", sdl_.SDL_GetError());

    vs->readThread = std::thread(ReadThread, vs);
    // Waits for the read thread's answer; the main thread keeps handling its
    // events meanwhile, so a Stop can cancel an open that blocks.
    const bool main = IsMainThread();
    const double started = WallTime();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(vs->openMutex);
            if (vs->openCond.wait_for(lock, std::chrono::milliseconds(main ? 20 : 100),
                                      [&] { return vs->opened != 0; }))
                break;
        }
        if (main) ProcessPendingMessages();
        if (!vs->abort && (WallTime() - started) * 1000 > ReadTimeout) {
            vs->timedOut = true;
            vs->abort = true;
        }
    }
    if (vs->opened < 0 && vs->abort) {
        vs->openError = vs->timedOut ? QStringLiteral("connecting/reading timeout")
                                     : QStringLiteral("connecting/reading canceled");
        FFLogger().Log(this, TLogLevel::llInfo, vs->openError);
    }
    if (vs->opened < 0) {
        SetLastErrMsg(vs->openError);
        DoExit();
        state_.store(TPlayState::psStop);
        return false;
    }
    decoder_.SetFileHandle(vs->ic);
    if (OnFileOpen) {
        int sw = 0, sh = 0;
        OnFileOpen(this, vs->duration, FrameWidth(), FrameHeight(), sw, sh);
    }
    if (vs->videoStream >= 0) vs->videoThread = std::thread(VideoThread, vs);
    if (vs->audioOpen) sdl_.SDL_PauseAudio(paused ? 1 : 0);
    if (paused) vs->audclk.SetPaused(true, WallTime());
    PostState(TPlayState::psPlay);
    vs->playThread = std::thread([vs] { PlayLoop(vs); });
    return true;
}

void TFFPlayer::DoExit() {
    TVideoState* vs = vs_.get();
    if (!vs) return;
    std::call_once(vs->exitOnce, [&] {
        vs->abort = true;
        vs->videoq.Abort();
        vs->audioq.Abort();
        {
            std::lock_guard<std::mutex> lock(vs->pictMutex);
            vs->pictCond.notify_all();
        }
        {
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            vs->stateCond.notify_all();
        }
        for (std::thread* t : {&vs->playThread, &vs->readThread, &vs->videoThread})
            if (t->joinable()) t->join();
        if (vs->audioOpen) sdl_.SDL_CloseAudio();
        if (vs->sdlInited) sdl_.SDL_Quit();
        decoder_.SetFileHandle(nullptr);
        for (auto& pic : vs->pictq) ff::av_frame_free(&pic.frame);
        vs->pictq.clear();
        vs->videoq.Flush();
        vs->audioq.Flush();
        if (vs->graph) ff::avfilter_graph_free(&vs->graph);
        if (vs->vdec) ff::avcodec_free_context(&vs->vdec);
        if (vs->adec) ff::avcodec_free_context(&vs->adec);
        if (vs->swr) ff::swr_free(&vs->swr);
        ff::av_channel_layout_uninit(&vs->swrInLayout);
        if (vs->aframe) ff::av_frame_free(&vs->aframe);
        if (vs->apkt) ff::av_packet_free(&vs->apkt);
        CloseInputFile(&vs->ic);
    });
}

void TFFPlayer::Stop(bool waitForStop) {
    if (!vs_) return;
    bool opening;
    {
        std::lock_guard<std::mutex> lock(vs_->openMutex);
        opening = vs_->opened == 0;
    }
    if (opening) {
        // An Open further up this stack is waiting: it gives up and cleans up.
        vs_->abort = true;
        return;
    }
    vs_->abort = true;
    vs_->videoq.Abort();
    vs_->audioq.Abort();
    {
        std::lock_guard<std::mutex> lock(vs_->pictMutex);
        vs_->pictCond.notify_all();
    }
    if (!waitForStop) return;
    // Every thread is the player's own and none waits on the main thread,
    // so joining them here cannot dead-lock.
    DoExit();
    vs_.reset();
    currentPTS_.store(-1);
}

void TFFPlayer::SetPaused(bool paused) {
    TVideoState* vs = vs_.get();
    const double now = WallTime();
    {
        std::lock_guard<std::mutex> lock(vs->stateMutex);
        vs->paused = paused;
        vs->step = false;
    }
    vs->audclk.SetPaused(paused, now);
    vs->vidclk.SetPaused(paused, now);
    if (vs->audioOpen) sdl_.SDL_PauseAudio(paused ? 1 : 0);
}

bool TFFPlayer::Paused() const {
    if (!vs_) return true;
    std::lock_guard<std::mutex> lock(vs_->stateMutex);
    return vs_->paused;
}

void TFFPlayer::Pause() {
    if (!IsOpen() || Paused()) return;
    SetPaused(true);
    PostState(TPlayState::psPause);
}

void TFFPlayer::Resume() {
    if (!IsOpen() || !Paused()) return;
    SetPaused(false);
    PostState(TPlayState::psResume);
}

void TFFPlayer::TogglePause() {
    if (!IsOpen()) return;
    const bool now = !Paused();
    SetPaused(now);
    PostState(now ? TPlayState::psPause : TPlayState::psResume);
}

void TFFPlayer::StepToNextFrame() {
    if (!IsOpen()) return;
    bool already;
    {
        std::lock_guard<std::mutex> lock(vs_->stateMutex);
        already = vs_->step;
    }
    if (!Paused()) SetPaused(true);
    {
        std::lock_guard<std::mutex> lock(vs_->stateMutex);
        vs_->step = true;
        ++vs_->stepGen;
    }
    if (!already) PostState(TPlayState::psStep);
}

void TFFPlayer::Seek(int64_t pts, TSeekFlags flags, bool waitForSeekEnd) {
    if (!IsOpen()) return;
    TVideoState* vs = vs_.get();
    int64_t target = pts;
    if (!(flags & sfByte)) {
        if (vs->duration > 0 && target > vs->duration) target = vs->duration;
        target += vs->startTime;
        if (pts == 0) target -= int64_t(vs->frameDelay * 1e6 / 2);
    }
    {
        std::lock_guard<std::mutex> lock(vs->stateMutex);
        if (vs->seekReq) return;  // one at a time
        vs->seekReq = true;
        vs->seekDone = false;
        vs->seekTarget = target;
        vs->seekFlags = flags;
        vs->stateCond.notify_all();
    }
    if (!waitForSeekEnd) return;
    const bool main = IsMainThread();
    std::unique_lock<std::mutex> lock(vs->stateMutex);
    while (!vs->abort && !(vs->seekDone && !vs->showPending)) {
        vs->stateCond.wait_for(lock, std::chrono::milliseconds(100));
        if (main) {
            lock.unlock();
            ProcessPendingMessages();
            lock.lock();
        }
    }
}

} // namespace vel::video
