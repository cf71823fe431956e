#include "video/engine/packet_queue.h"
#include <chrono>
#include <cmath>
#include "video/engine/ff_loader.h"

namespace vel::video {

double WallTime() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

TPacketQueue::~TPacketQueue() { Flush(); }

bool TPacketQueue::Put(AVPacket* pkt) {
    AVPacket* own = ff::av_packet_alloc();
    if (!own) return false;
    ff::av_packet_move_ref(own, pkt);
    std::lock_guard<std::mutex> lock(mutex_);
    if (abort_) {
        ff::av_packet_free(&own);
        return false;
    }
    size_ += own->size + int64_t(sizeof(Item));
    items_.push_back({own});
    cond_.notify_one();
    return true;
}

bool TPacketQueue::PutFlush() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abort_) return false;
    items_.push_back({nullptr});
    cond_.notify_one();
    return true;
}

bool TPacketQueue::PutEmpty(int streamIndex) {
    AVPacket* pkt = ff::av_packet_alloc();
    if (!pkt) return false;
    pkt->stream_index = streamIndex;
    const bool ok = Put(pkt);
    ff::av_packet_free(&pkt);
    return ok;
}

int TPacketQueue::Get(AVPacket* out, bool* flush, bool block) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (abort_) return -1;
        if (!items_.empty()) {
            Item it = items_.front();
            items_.pop_front();
            *flush = it.pkt == nullptr;
            if (it.pkt) {
                size_ -= it.pkt->size + int64_t(sizeof(Item));
                ff::av_packet_move_ref(out, it.pkt);
                ff::av_packet_free(&it.pkt);
            }
            return 1;
        }
        if (!block) return 0;
        cond_.wait(lock);
    }
}

void TPacketQueue::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Item& it : items_)
        if (it.pkt) ff::av_packet_free(&it.pkt);
    items_.clear();
    size_ = 0;
}

void TPacketQueue::Abort() {
    std::lock_guard<std::mutex> lock(mutex_);
    abort_ = true;
    cond_.notify_all();
}

void TPacketQueue::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    abort_ = false;
}

int TPacketQueue::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(items_.size());
}

int64_t TPacketQueue::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
}

double TClock::Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!set_) return NAN;
    if (paused_) return pts_;
    return drift_ + WallTime();
}

void TClock::Set(double pts, double now) {
    std::lock_guard<std::mutex> lock(mutex_);
    pts_ = pts;
    lastUpdated_ = now;
    drift_ = pts - now;
    set_ = true;
}

void TClock::SetPaused(bool paused, double now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (paused == paused_) return;
    if (paused) {
        if (set_) pts_ = drift_ + now;
    } else {
        drift_ = pts_ - now;
        lastUpdated_ = now;
    }
    paused_ = paused;
}

} // namespace vel::video
