#pragma once
// Packet queues and clocks shared by the player's threads.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include "video/engine/ff_headers.h"

namespace vel::video {

// A queue of packets; a null entry marks a flush (after a seek), an empty
// packet the end of the input.
class TPacketQueue {
public:
    ~TPacketQueue();
    // Takes the packet's reference (the caller's packet becomes blank).
    bool Put(AVPacket* pkt);
    bool PutFlush();
    bool PutEmpty(int streamIndex);
    // 1 with a packet (or *flush set), 0 when empty and not blocking, -1
    // when aborted.
    int Get(AVPacket* out, bool* flush, bool block);
    void Flush();
    void Abort();
    void Start();
    int Count() const;
    int64_t Size() const;

private:
    struct Item {
        AVPacket* pkt;  // null: flush marker
    };
    mutable std::mutex mutex_;
    std::condition_variable_any cond_;
    std::deque<Item> items_;
    int64_t size_ = 0;
    bool abort_ = false;
};

// A clock that runs from a time stamp at a wall time, paused or not.
class TClock {
public:
    // Seconds, NaN when never set.
    double Get() const;
    void Set(double pts, double now);
    void SetPaused(bool paused, double now);

private:
    mutable std::mutex mutex_;
    double pts_ = 0;
    double drift_ = 0;
    double lastUpdated_ = 0;
    bool set_ = false;
    bool paused_ = false;
};

// Wall time in seconds, monotonic.
double WallTime();

} // namespace vel::video
