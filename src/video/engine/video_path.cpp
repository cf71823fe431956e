// The video path: the video thread decodes and filters pictures into the
// picture queue; the play thread shows each when it is due, following the
// audio clock when there is sound, and reports position and end.
#include <algorithm>
#include <chrono>
#include "video/engine/player_state.h"
#include "video/engine/thread_helpers.h"

namespace vel::video::play {

namespace {

// Pictures follow the sound within one frame's time (at least this, s);
// beyond 10 s apart they are not synced at all.
constexpr double kSyncThreshold = 0.01, kNoSyncAbove = 10.0;
// A picture this far past the next one's time is dropped even with nothing
// queued behind it.
constexpr double kLateDrop = 0.5;
// The sound of a file with video waits for the first picture (s, at most):
// started before it, it leads the picture by the time the first picture
// takes, which the picture then makes up by dropping the next ones.
constexpr double kSoundHeldAtMost = 1.0;
// Row alignment and tail of a picture the scaler writes, as av_frame_get_buffer makes them.
constexpr int kPictureAlign = 64, kPicturePadding = 16 + kPictureAlign - 1;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void QueuePicture(TVideoState* vs, AVFrame* frame, double pts, int serial) {
    std::unique_lock<std::mutex> lock(vs->pictMutex);
    if (vs->pictq.size() >= 2) vs->skip.QueueFull();  // the display keeps up: skip less
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
// What was decoded before a later seek (`serial` old) tells nothing of it.
bool LandedAfterTarget(TVideoState* vs, int serial, double pts) {
    std::lock_guard<std::mutex> lock(vs->stateMutex);
    if (!vs->seekLandCheck || vs->serial.load() != serial) return false;
    vs->seekLandCheck = false;
    if (vs->seekReq || pts <= vs->seekMinPts + vs->frameDelay + 1e-6) return false;
    const int64_t target = int64_t(std::llround(vs->seekMinPts * 1e6 + vs->frameDelay * 1e6 / 2));
    const int64_t back = vs->seekBack == 0 ? 1'000'000 : vs->seekBack * 2;
    if (target - back <= vs->startTime || (vs->seekBack != 0 && vs->seekTarget <= vs->startTime)) {
        // Back to the start. A transport stream whose time stamps wrap soon
        // after its start lands on its next key frame even when asked for
        // its start time: it is read from its first byte instead, and
        // decoded from its first picture on.
        if (vs->seekFlags & sfByte) return false;  // read from the first byte: all there is
        if (vs->ic->iformat->flags & AVFMT_NO_BYTE_SEEK) {
            if (target <= vs->startTime || vs->seekTarget <= vs->startTime) return false;
            vs->seekTarget = vs->startTime;
        } else {
            vs->seekFlags = sfByte;
            vs->seekTarget = 0;
        }
    } else {
        vs->seekTarget = target - back;
    }
    vs->seekBack = back;
    vs->seekRetry = true;
    vs->seekReq = true;
    vs->seekDone = false;
    vs->serial.fetch_add(1);  // what is decoded until the seek is never shown
    vs->stateCond.notify_all();
    return true;
}

// The last picture before a seek's target, shown when the input ends
// before the target (a seek at or past the end shows the last picture).
struct THeldPicture {
    AVFrame* frame = nullptr;
    double pts = 0;
    void Keep(AVFrame* f, double at) {
        ff::av_frame_free(&frame);
        frame = f;
        pts = at;
    }
    void Drop() { ff::av_frame_free(&frame); }
    ~THeldPicture() { Drop(); }
};

void DeliverFiltered(TVideoState* vs, int serial, double& lastPts, bool& firstAfterSeek, THeldPicture& held) {
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
            if (LandedAfterTarget(vs, serial, pts)) {
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
            held.Keep(out, pts);
            continue;
        }
        held.Drop();
        QueuePicture(vs, out, pts, serial);
    }
}

// The scalers of the play thread. A picture shrunk to the size it is shown
// at is scaled in YUV first, then converted to BGRA at its new size, which
// FFmpeg does with its fast unscaled code: far less work than scaling and
// converting in one go. The shrink filters as Qt's smooth drawing of the full-size
// picture did (two-tap bilinear); the player's own flags serve the rest.
constexpr int kShrinkFlags = SWS_FAST_BILINEAR;

struct TScaler {
    SwsContext* convert = nullptr;
    SwsContext* shrink = nullptr;
    AVFrame* small = nullptr;  // the shrunk picture, in the decoder's format
    ~TScaler() {
        ff::sws_freeContext(convert);
        ff::sws_freeContext(shrink);
        ff::av_frame_free(&small);
    }
};

// Converts `f` (srcW x srcH) into the BGRA rows of `dst`; false when FFmpeg cannot.
bool Scale(TScaler& sc, const AVFrame* f, int srcW, int srcH, TVideoPicture& dst, int flags) {
    const uint8_t* const* data = f->data;
    const int* lines = f->linesize;
    int w = srcW, h = srcH;
    if (dst.Width <= srcW && dst.Height <= srcH && (dst.Width < srcW || dst.Height < srcH)) {
        AVFrame*& m = sc.small;
        if (!m || m->width != dst.Width || m->height != dst.Height || m->format != f->format) {
            ff::av_frame_free(&m);
            m = ff::av_frame_alloc();
            if (!m) return false;
            m->format = f->format;
            m->width = dst.Width;
            m->height = dst.Height;
            if (ff::av_frame_get_buffer(m, 0) < 0) {
                ff::av_frame_free(&m);
                return false;
            }
        }
        sc.shrink = ff::sws_getCachedContext(sc.shrink, srcW, srcH, AVPixelFormat(f->format), m->width, m->height,
                                             AVPixelFormat(m->format), kShrinkFlags, nullptr, nullptr, nullptr);
        if (!sc.shrink) return false;
        ff::sws_scale(sc.shrink, data, lines, 0, srcH, m->data, m->linesize);
        data = m->data;
        lines = m->linesize;
        w = m->width;
        h = m->height;
    }
    sc.convert = ff::sws_getCachedContext(sc.convert, w, h, AVPixelFormat(f->format), dst.Width, dst.Height,
                                          AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr);
    if (!sc.convert) return false;
    uint8_t* out[4] = {dst.Bits.data(), nullptr, nullptr, nullptr};
    int outLines[4] = {dst.Stride, 0, 0, 0};
    ff::sws_scale(sc.convert, data, lines, 0, h, out, outLines);
    return true;
}

void Show(TVideoState* vs, TVideoState::Picture& pic, TScaler& sc) {
    AVFrame* f = pic.frame;
    // The host's picture values as they are now, for the picture shown now.
    if (vs->eq) vs->eq->Filter(f);
    if (vs->hue) vs->hue->Filter(f);
    const int srcW = f->width & ~1, srcH = f->height & ~1;
    auto out = vs->pictPool->Take();
    const AVRational sar = f->sample_aspect_ratio;
    out->AspectRatio = (sar.num > 0 && sar.den > 0 ? double(sar.num) / sar.den : 1.0) * srcW / std::max(1, srcH);
    // Converted once, at the size it is shown at.
    int boxW = 0, boxH = 0;
    if (vs->player->ShownSize) vs->player->ShownSize->Get(boxW, boxH);
    if (boxW > 0 && boxH > 0 && srcW > 0 && srcH > 0) {
        FitPicture(out->AspectRatio, boxW, boxH, out->Width, out->Height);
    } else {
        out->Width = srcW;
        out->Height = srcH;
    }
    // Laid out as FFmpeg lays out its own pictures: the scaler writes whole
    // vector blocks, past the end of a row and of the last one. A pooled
    // buffer keeps what it held: every row is written again.
    out->Stride = FFALIGN(out->Width * 4, kPictureAlign);
    out->Bits.resize(size_t(out->Stride) * size_t(out->Height) + kPicturePadding);
    out->PTS = int64_t(std::llround(pic.pts * 1e6)) - vs->startTime;
    if (srcW > 0 && srcH > 0 && Scale(sc, f, srcW, srcH, *out, vs->player->SwsFlags)) {
        if (vs->subs) vs->subs->Blend(pic.pts, out->Bits.data(), out->Width, out->Height, out->Stride, srcW, srcH);
    } else {
        std::fill(out->Bits.begin(), out->Bits.end(), uint8_t(0));  // not an older picture's pixels
    }
    if (vs->sink) vs->sink(out);
}

bool Paused(TVideoState* vs) {
    std::lock_guard<std::mutex> lock(vs->stateMutex);
    return vs->paused;
}

// When each picture is due. Pictures keep the pace of their time stamps and
// follow the sound: one behind it by a frame's time or more is due at once,
// one ahead of it waits twice its time.
struct TFrameTimer {
    double timer = NAN;     // wall time the last timed picture is due
    double lastPts = NAN;   // the last timed picture's
    double lastDelay = 0;   // its time after the one before

    // From `now` on, the next picture (after one of time stamp pts) due
    // one frame after the last.
    void Restart(double now, double pts) {
        timer = now;
        lastPts = pts;
    }
    // The wall time the picture of time stamp pts is due; video and master
    // are the picture and sound clocks now (master NaN: none to follow).
    double Target(double pts, double video, double master, double now) {
        double delay = pts - lastPts;
        // A step back or of 10 s and more is a break in the time stamps:
        // the last picture's time serves.
        if (std::isnan(delay) || delay <= 0 || delay >= kNoSyncAbove) delay = lastDelay;
        else lastDelay = delay;
        lastPts = pts;
        if (!std::isnan(master)) {
            const double diff = video - master;
            const double threshold = delay > kSyncThreshold ? delay : kSyncThreshold;
            if (std::fabs(diff) < kNoSyncAbove) {
                if (diff <= -threshold) delay = 0;
                else if (diff >= threshold) delay = 2 * delay;
            }
        }
        if (std::isnan(timer)) timer = now;
        timer += delay;
        return timer;
    }
};

} // namespace

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

void VideoThread(TVideoState* vs) {
    AVPacket* pkt = ff::av_packet_alloc();
    AVFrame* frame = ff::av_frame_alloc();
    int serial = vs->serial.load();
    double lastPts = -vs->frameDelay;
    bool firstAfterSeek = false;
    THeldPicture held;
    auto drain = [&] {
        while (ff::avcodec_receive_frame(vs->vdec, frame) == 0) {
            // Behind the sound: let pictures go before they cost a filter
            // and a conversion. Never while paused: a step shows the next one.
            if (!Paused(vs) && !vs->skip.Deliver()) {
                ff::av_frame_unref(frame);
                continue;
            }
            frame->pts = frame->best_effort_timestamp;
            if (ff::av_buffersrc_add_frame_flags(vs->bufferSrc, frame, 0) < 0) ff::av_frame_unref(frame);
            DeliverFiltered(vs, serial, lastPts, firstAfterSeek, held);
        }
    };
    while (pkt && frame && !vs->abort) {
        bool flush = false;
        if (vs->videoq.Get(pkt, &flush, true) < 0) break;
        if (flush) {
            ff::avcodec_flush_buffers(vs->vdec);
            vs->skip.Reset();
            serial = vs->serial.load();
            firstAfterSeek = true;
            held.Drop();
            continue;
        }
        if (!pkt->data && pkt->size == 0) {
            // The end of the input: what the decoder holds comes out.
            ff::avcodec_send_packet(vs->vdec, nullptr);
            drain();
            ff::avcodec_flush_buffers(vs->vdec);
            if (firstAfterSeek) {
                firstAfterSeek = false;
                if (LandedAfterTarget(vs, serial, INFINITY)) continue;
            }
            if (held.frame) {
                QueuePicture(vs, held.frame, held.pts, serial);
                held.frame = nullptr;
            }
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            // Not when a seek came meanwhile: its own end is still to come.
            if (vs->serial.load() == serial) vs->videoDrained = true;
            continue;
        }
        // Far enough behind to let pictures go: the decoder leaves out the
        // pictures no other picture refers to, the cheapest to lose.
        vs->vdec->skip_frame = !Paused(vs) && vs->skip.Ratio() > 1.0 ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        ff::avcodec_send_packet(vs->vdec, pkt);
        ff::av_packet_unref(pkt);
        drain();
    }
    ff::av_packet_free(&pkt);
    ff::av_frame_free(&frame);
}

void PlayLoop(TVideoState* vs) {
    TFFPlayer* p = vs->player;
    TScaler scaler;
    TFrameTimer timer;
    double shownPts = NAN;  // the last picture shown
    int64_t lastPos = NoTime;
    bool wasPaused = false;
    // Pictures are timed again from now on, one frame after the last shown.
    auto retime = [&](double now) {
        timer.Restart(now, shownPts);
        for (auto& queued : vs->pictq) queued.target = NAN;
    };
    const double started = WallTime();
    while (!vs->abort) {
        bool showNow = false, paused, step, showPending, seeking;
        unsigned stepGen, showGen;
        double untilDue = 0;  // s until the next picture is due
        TVideoState::Picture pic{};
        const double now = WallTime();
        // A video that gives no picture soon does not keep its sound back.
        if (now - started > kSoundHeldAtMost) vs->soundHeld = false;
        {
            std::lock_guard<std::mutex> slock(vs->stateMutex);
            seeking = vs->seekReq;
            paused = vs->paused;
            step = vs->step;
            showPending = vs->showPending;
            stepGen = vs->stepGen;
            showGen = vs->showGen;
        }
        {
            std::lock_guard<std::mutex> lock(vs->pictMutex);
            if (paused && !wasPaused) wasPaused = true;
            if (!paused && wasPaused) {
                wasPaused = false;
                retime(now);  // carry on from here after a pause
            }
            while (!vs->pictq.empty() && vs->pictq.front().serial != vs->serial.load()) {
                ff::av_frame_free(&vs->pictq.front().frame);
                vs->pictq.pop_front();
                vs->pictCond.notify_all();
            }
            // Pictures from before a seek asked for wait for it to drop them
            // (a seek and a resume at once showed one from before).
            if (!vs->pictq.empty() && !seeking) {
                if (showPending || step) {
                    showNow = true;
                } else if (!paused) {
                    // Each picture is timed once, in turn, against the clocks
                    // as they are when it comes.
                    const double master = vs->audioOpen ? vs->audclk.Get() : NAN;
                    double video = vs->vidclk.Get();
                    if (std::isnan(video)) video = double(vs->startTime) / 1e6;  // none shown yet
                    for (auto& queued : vs->pictq)
                        if (std::isnan(queued.target)) queued.target = timer.Target(queued.pts, video, master, now);
                    const TVideoState::Picture& front = vs->pictq.front();
                    if (now < front.target) {
                        untilDue = front.target - now;
                    } else {
                        vs->vidclk.Set(front.pts, now);
                        // Late while the sound plays: the next picture is due
                        // already. It is dropped, before it costs a conversion,
                        // when the next one is here or it is far behind; and
                        // the video thread lets more pictures go.
                        const double next =
                            vs->pictq.size() > 1 ? vs->pictq[1].target : front.target + vs->frameDelay;
                        if (vs->audioOpen && now > next) {
                            vs->skip.Late();
                            if (vs->pictq.size() > 1 || now > next + kLateDrop) {
                                // Far behind with none after it: those to come are
                                // timed from now. Timed from as far back, every one
                                // of them would be dropped while the decoder cannot
                                // keep up, and the picture would stand still.
                                if (vs->pictq.size() == 1) timer.Restart(now, front.pts);
                                ff::av_frame_free(&vs->pictq.front().frame);
                                vs->pictq.pop_front();
                                vs->pictCond.notify_all();
                                continue;
                            }
                        }
                        showNow = true;
                    }
                }
                if (showNow) {
                    pic = vs->pictq.front();
                    vs->pictq.pop_front();
                    vs->pictCond.notify_all();
                    if (showPending || step) {  // shown out of time: the rest follow it
                        shownPts = pic.pts;
                        vs->vidclk.Set(pic.pts, now);
                        retime(now);
                    }
                }
            }
        }
        if (showNow) {
            shownPts = pic.pts;
            int64_t pos = int64_t(std::llround(pic.pts * 1e6)) - vs->startTime;
            // Before the picture goes out: whoever sees it reads its position.
            p->SetCurrentPTS(pos);
            Show(vs, pic, scaler);
            ff::av_frame_free(&pic.frame);
            vs->soundHeld = false;  // the sound starts with the first picture
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
            const double a = vs->audioDisplay ? vs->audioDisplay->Heard(WallTime()) : vs->audclk.Get();
            if (!std::isnan(a)) {
                int64_t pos = int64_t(std::llround(a * 1e6)) - vs->startTime;
                if (vs->duration > 0 && pos > vs->duration) pos = vs->duration;
                p->SetCurrentPTS(pos);
                if (lastPos == NoTime || std::llabs(pos - lastPos) > 10000) {
                    lastPos = pos;
                    p->PushPosition(pos);
                }
                if (vs->audioDisplay && vs->sink) {
                    if (auto pic = vs->audioDisplay->Draw(a, WallTime())) {
                        pic->PTS = pos;
                        vs->sink(pic);
                    }
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
            // A seek that yields no picture at all (an empty or unreadable
            // stream) still ends its wait, also while paused sound holds back
            // the end.
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
            if (vs->audioDisplay && vs->duration > 0) vs->audioDisplay->HeardAtLeast(double(vs->duration + vs->startTime) / 1e6);
            p->PostState(TPlayState::psEnd);
        }
        if (untilDue > 0) {
            // Asleep until the picture is due rather than polling: woken
            // early by a pause, step, seek or stop. A seek may be asked for
            // and made before this thread looks again, so a seek made since
            // (a new show request) wakes it as well as one asked for.
            std::unique_lock<std::mutex> slock(vs->stateMutex);
            vs->stateCond.wait_for(slock, std::chrono::duration<double>(untilDue), [&] {
                return vs->abort || vs->seekReq || vs->showGen != showGen || vs->paused || vs->step;
            });
            continue;
        }
        Sleep(5);
    }
    p->PostState(TPlayState::psStop);  // once per open, however it was stopped
}

} // namespace vel::video::play
