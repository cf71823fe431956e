#pragma once
// The subtitle path of the player: the chosen subtitle stream's packets,
// decoded on a thread of their own into at most four waiting subtitles, and
// the bitmap ones blended into each picture while they are due. Text
// subtitles are decoded (and so checked) but not drawn.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include "video/engine/ff_headers.h"

namespace vel::video {

class TSubtitlePath {
public:
    TSubtitlePath() = default;
    ~TSubtitlePath();
    TSubtitlePath(const TSubtitlePath&) = delete;
    TSubtitlePath& operator=(const TSubtitlePath&) = delete;

    // Opens the decoder of stream `index` and starts the thread; false (and
    // nothing started) when the stream cannot be decoded.
    bool Open(AVFormatContext* ic, int index);
    int StreamIndex() const { return index_; }

    // From the read thread: queues the packet (its reference is taken).
    void Put(AVPacket* pkt);
    // After a seek: what is queued, decoding or waiting is dropped.
    void Flush();
    // Ends the thread's waits; the path takes nothing more.
    void Abort();

    // Blends the bitmap subtitles due at pts (seconds, container time) into
    // a 32-bit BGRA picture, retiring the ones that are over. The subtitles
    // are placed on a video of videoW x videoH (0: the picture's size) and
    // scaled with it to the picture's size.
    void Blend(double pts, uint8_t* bits, int width, int height, int stride, int videoW = 0, int videoH = 0);

private:
    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
        std::vector<uint8_t> pixels;  // palette indices, w per row
        uint32_t palette[256]{};      // 0xAARRGGBB
    };
    struct Subtitle {
        double start = 0, end = 0;  // seconds; end <= start: until the next one
        std::vector<Rect> rects;
    };
    static constexpr size_t kMaxWaiting = 4;

    void Run();
    void Decode(AVPacket* pkt, unsigned gen);

    int index_ = -1;
    AVRational timeBase_{1, 1000};
    AVCodecContext* dec_ = nullptr;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable cond_;
    std::deque<AVPacket*> packets_;
    std::deque<Subtitle> subtitles_;
    bool abort_ = false;
    bool busy_ = false;          // a packet is being decoded
    bool flushDecoder_ = false;  // the decoder forgets what it holds before the next packet
    unsigned gen_ = 0;           // bumped by each flush: older decodes are dropped
};

// The best subtitle stream of ic (related to stream `related`), opened; null
// when there is none that decodes.
std::unique_ptr<TSubtitlePath> OpenBestSubtitle(AVFormatContext* ic, int related);

} // namespace vel::video
