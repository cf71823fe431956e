#pragma once
// What the player's threads share: the state of one open file, and the
// entry points of its parts. The read thread (read_thread.cpp) opens the
// file, demultiplexes it, seeks and marks the end of the input; the audio
// path (audio_path.cpp) decodes the sound in SDL's callback and keeps the
// audio clock; the video path (video_path.cpp) decodes pictures into the
// picture queue and shows them in time on the play thread. The subtitle
// path and the audio display have their own files.
#include <QString>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include "video/engine/audio_display.h"
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"
#include "video/engine/frame_skip.h"
#include "video/engine/packet_queue.h"
#include "video/engine/player.h"
#include "video/engine/subtitle_path.h"

namespace vel::video {

// Everything of one open file, shared by the player's threads. Flags and
// clocks are atomics or live under one of the mutexes.
// Pictures the surface is done with come back here, so that their buffers
// are reused rather than allocated and cleared again for each picture. The
// pictures may outlive the pool.
class TPicturePool : public std::enable_shared_from_this<TPicturePool> {
public:
    std::shared_ptr<TVideoPicture> Take() {
        TVideoPicture* pic = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                pic = free_.back().release();
                free_.pop_back();
            }
        }
        if (!pic) pic = new TVideoPicture;
        std::weak_ptr<TPicturePool> home = weak_from_this();
        return std::shared_ptr<TVideoPicture>(pic, [home](TVideoPicture* p) {
            if (auto pool = home.lock()) pool->Give(p);
            else delete p;
        });
    }

private:
    static constexpr size_t kKeep = 4;
    void Give(TVideoPicture* p) {
        std::unique_ptr<TVideoPicture> owned(p);
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.size() < kKeep) free_.push_back(std::move(owned));
    }
    std::mutex mutex_;
    std::vector<std::unique_ptr<TVideoPicture>> free_;
};

struct TVideoState {
    TFFPlayer* player = nullptr;
    TSDLLoader* sdl = nullptr;
    QString fileName;
    TPictureSink sink;
    std::shared_ptr<TPicturePool> pictPool = std::make_shared<TPicturePool>();
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
    std::unique_ptr<TSubtitlePath> subs;
    std::unique_ptr<TAudioDisplay> audioDisplay;  // sound-only files

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
        double target = NAN;  // wall time (s) it is due; worked out by the play thread
    };
    std::mutex pictMutex;
    std::condition_variable_any pictCond;
    std::deque<Picture> pictq;
    TFrameSkip skip;  // pictures the video thread lets go while the player is late

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
    std::atomic<bool> soundHeld{false};  // silent until the first picture has been shown
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

namespace play {

inline void Log(TVideoState* vs, TLogLevel level, const QString& msg) { FFLogger().Log(vs->player, level, msg); }

// read_thread.cpp: the read thread, from opening the file to its end.
void ReadThread(TVideoState* vs);

// audio_path.cpp: opens the sound output; its callback then decodes the
// audio stream and sets the audio clock.
bool OpenAudio(TVideoState* vs);

// video_path.cpp: the video stream's filter graph, the decoding thread and
// the play thread that shows the pictures.
int BuildFilterGraph(TVideoState* vs, const QString& text);
void VideoThread(TVideoState* vs);
void PlayLoop(TVideoState* vs);

} // namespace play

} // namespace vel::video
