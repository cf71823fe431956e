#include "video/engine/subtitle_path.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include "video/engine/ff_loader.h"

namespace vel::video {

namespace {

// The rect srcW x srcH at (x0, y0) of the video, scaled by sx, sy onto the
// picture (nearest source pixel).
void BlendRect(const uint8_t* src, int srcW, int srcH, int x0, int y0, const uint32_t* palette, uint8_t* bits,
               int width, int height, int stride, double sx, double sy) {
    const int dx0 = int(std::lround(x0 * sx)), dy0 = int(std::lround(y0 * sy));
    const int dw = std::max(1, int(std::lround(srcW * sx))), dh = std::max(1, int(std::lround(srcH * sy)));
    if (srcW <= 0 || srcH <= 0) return;
    // Clipped to the picture.
    const int xa = std::max(0, dx0), ya = std::max(0, dy0);
    const int xb = std::min(width, dx0 + dw), yb = std::min(height, dy0 + dh);
    for (int y = ya; y < yb; ++y) {
        const int sy0 = std::min(srcH - 1, int(int64_t(y - dy0) * srcH / dh));
        const uint8_t* row = src + size_t(sy0) * size_t(srcW);
        uint8_t* d = bits + size_t(y) * size_t(stride) + size_t(xa) * 4;
        for (int x = xa; x < xb; ++x, d += 4) {
            const uint32_t c = palette[row[std::min(srcW - 1, int(int64_t(x - dx0) * srcW / dw))]];
            const int a = int(c >> 24);
            if (a == 0) continue;
            const int rgb[3] = {int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff)};  // B, G, R
            for (int k = 0; k < 3; ++k) d[k] = uint8_t(d[k] + (rgb[k] - d[k]) * a / 255);
        }
    }
}

} // namespace

TSubtitlePath::~TSubtitlePath() {
    Abort();
    if (thread_.joinable()) thread_.join();
    for (AVPacket*& p : packets_) ff::av_packet_free(&p);
    if (dec_) ff::avcodec_free_context(&dec_);
}

bool TSubtitlePath::Open(AVFormatContext* ic, int index) {
    if (!ic || index < 0 || index >= int(ic->nb_streams)) return false;
    AVStream* st = ic->streams[index];
    const AVCodec* codec = ff::avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return false;
    dec_ = ff::avcodec_alloc_context3(codec);
    if (!dec_) return false;
    dec_->pkt_timebase = st->time_base;
    if (ff::avcodec_parameters_to_context(dec_, st->codecpar) < 0 || ff::avcodec_open2(dec_, codec, nullptr) < 0) {
        ff::avcodec_free_context(&dec_);
        return false;
    }
    index_ = index;
    timeBase_ = st->time_base;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TSubtitlePath::Put(AVPacket* pkt) {
    AVPacket* own = ff::av_packet_alloc();
    if (!own) return;
    ff::av_packet_move_ref(own, pkt);
    std::lock_guard<std::mutex> lock(mutex_);
    if (abort_) {
        ff::av_packet_free(&own);
        return;
    }
    packets_.push_back(own);
    cond_.notify_all();
}

void TSubtitlePath::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (AVPacket*& p : packets_) ff::av_packet_free(&p);
    packets_.clear();
    subtitles_.clear();
    flushDecoder_ = true;
    ++gen_;
    cond_.notify_all();
}

void TSubtitlePath::Abort() {
    std::lock_guard<std::mutex> lock(mutex_);
    abort_ = true;
    cond_.notify_all();
}

void TSubtitlePath::Run() {
    for (;;) {
        AVPacket* pkt = nullptr;
        bool flush;
        unsigned gen;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cond_.wait(lock, [&] { return abort_ || !packets_.empty() || flushDecoder_; });
            if (abort_) return;
            flush = flushDecoder_;
            flushDecoder_ = false;
            if (!packets_.empty()) {
                pkt = packets_.front();
                packets_.pop_front();
                busy_ = true;
            }
            gen = gen_;
        }
        if (flush) ff::avcodec_flush_buffers(dec_);
        if (pkt) {
            Decode(pkt, gen);
            ff::av_packet_free(&pkt);
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
            cond_.notify_all();
        }
    }
}

void TSubtitlePath::Decode(AVPacket* pkt, unsigned gen) {
    AVSubtitle sub{};
    int got = 0;
    if (ff::avcodec_decode_subtitle2(dec_, &sub, &got, pkt) < 0 || !got) return;
    Subtitle out;
    const double pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts * av_q2d(timeBase_) : 0.0;
    out.start = pts + sub.start_display_time / 1000.0;
    out.end = pts + sub.end_display_time / 1000.0;
    const bool bitmap = sub.format == 0;
    for (unsigned i = 0; bitmap && i < sub.num_rects; ++i) {
        const AVSubtitleRect* r = sub.rects[i];
        if (r->type != SUBTITLE_BITMAP || !r->data[0] || !r->data[1] || r->w <= 0 || r->h <= 0 ||
            r->linesize[0] < r->w || r->nb_colors <= 0)
            continue;
        Rect rect;
        rect.x = r->x;
        rect.y = r->y;
        rect.w = r->w;
        rect.h = r->h;
        rect.pixels.resize(size_t(r->w) * size_t(r->h));
        for (int y = 0; y < r->h; ++y)
            std::memcpy(rect.pixels.data() + size_t(y) * size_t(r->w), r->data[0] + size_t(y) * size_t(r->linesize[0]),
                        size_t(r->w));
        std::memcpy(rect.palette, r->data[1], size_t(std::min(r->nb_colors, 256)) * sizeof(uint32_t));
        out.rects.push_back(std::move(rect));
    }
    ff::avsubtitle_free(&sub);
    // Text subtitles are not drawn; a bitmap one (even an empty one, which
    // clears the one before) waits for its time.
    if (!bitmap) return;
    std::unique_lock<std::mutex> lock(mutex_);
    cond_.wait(lock, [&] { return abort_ || gen_ != gen || subtitles_.size() < kMaxWaiting; });
    if (abort_ || gen_ != gen) return;
    subtitles_.push_back(std::move(out));
    cond_.notify_all();
}

void TSubtitlePath::Blend(double pts, uint8_t* bits, int width, int height, int stride, int videoW, int videoH) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The subtitle packets read before this picture's are decoded first, so
    // a subtitle is never late for its first picture (bounded, in case the
    // decoder stalls).
    cond_.wait_for(lock, std::chrono::milliseconds(200),
                   [&] { return abort_ || subtitles_.size() >= kMaxWaiting || (packets_.empty() && !busy_); });
    bool retired = false;
    while (!subtitles_.empty()) {
        const Subtitle& s = subtitles_.front();
        const bool over = (s.end > s.start && pts >= s.end) || (subtitles_.size() > 1 && pts >= subtitles_[1].start);
        if (!over) break;
        subtitles_.pop_front();
        retired = true;
    }
    if (retired) cond_.notify_all();
    if (subtitles_.empty() || pts < subtitles_.front().start) return;
    const double sx = videoW > 0 ? double(width) / videoW : 1.0, sy = videoH > 0 ? double(height) / videoH : 1.0;
    for (const Rect& r : subtitles_.front().rects)
        BlendRect(r.pixels.data(), r.w, r.h, r.x, r.y, r.palette, bits, width, height, stride, sx, sy);
}

std::unique_ptr<TSubtitlePath> OpenBestSubtitle(AVFormatContext* ic, int related) {
    const int index = ff::av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, -1, related, nullptr, 0);
    if (index < 0) return nullptr;
    auto path = std::make_unique<TSubtitlePath>();
    if (!path->Open(ic, index)) return nullptr;
    return path;
}

} // namespace vel::video
