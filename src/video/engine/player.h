#pragma once
// The video player: opens a file, plays it in step with its audio (SDL 1.2)
// or the wall clock, hands each due picture to the host's surface, pauses,
// steps and seeks, and reports position and play state on the main thread.
#include <QString>
#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>
#include "video/engine/base_component.h"
#include "video/engine/decoder.h"
#include "video/engine/ff_options.h"
#include "video/engine/frame_filters.h"
#include "video/engine/play_types.h"
#include "video/engine/sdl_loader.h"

namespace vel::video {

// A picture ready to draw: 32-bit BGRA rows (QImage::Format_RGB32 layout).
struct TVideoPicture {
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    std::vector<uint8_t> Bits;
    int64_t PTS = 0;  // microseconds from the container's start
    double AspectRatio = 1.0;  // display width / height
};
using TPictureSink = std::function<void(std::shared_ptr<const TVideoPicture>)>;

// The size a picture of display ratio `ratio` takes in a box, whole and
// centred: even sides, at least 1.
inline void FitPicture(double ratio, int boxW, int boxH, int& w, int& h) {
    h = boxH;
    w = int(std::lround(h * ratio)) & ~1;
    if (w > boxW) {
        w = boxW;
        h = int(std::lround(w / ratio)) & ~1;
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
}

// The size of the box the pictures are shown in, written by the surface and
// read by the player for each picture it converts. 0 x 0: not known yet, the
// pictures keep the video's own size.
class TShownSize {
public:
    void Set(int w, int h) { packed_.store(uint64_t(uint32_t(std::max(w, 0))) << 32 | uint32_t(std::max(h, 0))); }
    void Get(int& w, int& h) const {
        const uint64_t v = packed_.load();
        w = int(v >> 32);
        h = int(v & 0xffffffffu);
    }

private:
    std::atomic<uint64_t> packed_{0};
};

enum class TAudioDriver { adDefault, adDummy, adAlsa, adPulse };

struct TVideoState;

class TFFPlayer : public TFFBaseComponent {
public:
    TFFPlayer();
    ~TFFPlayer() override;

    bool LoadAVLib(const QString& path, bool autoLoadSDL = true);
    bool AVLibLoaded() const;

    // The surface gets every shown picture, in the player's own thread.
    bool Open(const QString& fileName, TPictureSink surface, bool paused = false);
    void Stop(bool waitForStop);
    void Pause();
    void Resume();
    void TogglePause();
    void StepToNextFrame();
    void Seek(int64_t pts, TSeekFlags flags, bool waitForSeekEnd);
    bool Paused() const;

    int64_t CurrentPTS() const { return currentPTS_.load(); }
    TPlayState PlayState() const { return state_.load(); }
    const QString& LastErrMsg() const { return lastErr_; }
    bool IsOpen() const;

    // FFmpeg filter text between the decoder and the picture queue (empty:
    // none); the engine's own filters run after it with the host's values.
    QString VideoFilters;
    TPictureParams* EqParams = nullptr;   // brightness, contrast
    TPictureParams* HueParams = nullptr;  // hue, saturation
    TAudioDriver AudioDriver = TAudioDriver::adDefault;
    std::atomic<bool> Mute{false};
    std::atomic<int> AudioVolume{128};  // 0..128
    int SwsFlags = SWS_BICUBIC;
    int ReadTimeout = 10000;  // ms an open may take
    // What a file with sound and no pictures shows: 1 its waveform, 2 (or
    // -1) its spectrum, 0 nothing.
    int ShowMode = -1;
    // Where the pictures are shown: each is converted to the size it takes
    // there (null: the video's own size).
    std::shared_ptr<const TShownSize> ShownSize;

    // Raised on the main thread.
    std::function<void(QObject* sender, int64_t duration, int width, int height, int& screenW, int& screenH)> OnFileOpen;
    std::function<void(QObject* sender, int64_t pos)> OnPosition;
    std::function<void(QObject* sender, TPlayState state)> OnState;

    TFFDecoder& Decoder() { return decoder_; }
    int64_t Duration() const;  // microseconds, 0 when unknown
    int FrameWidth() const;
    int FrameHeight() const;
    bool HasAudioOutput() const;

    // Internal, for the player's threads.
    void PostState(TPlayState s);
    void PushPosition(int64_t pos);
    void SetCurrentPTS(int64_t pts) { currentPTS_.store(pts); }
    void SetLastErrMsg(const QString& msg);
    TSDLLoader& SDL() { return sdl_; }

private:
    struct EventRing;
    void DoExit();
    void DrainEvents();
    void SetPaused(bool paused);

    TSDLLoader sdl_;
    TFFOptions options_;
    TFFDecoder decoder_;
    std::unique_ptr<TVideoState> vs_;
    std::atomic<TPlayState> state_{TPlayState::psStop};
    std::atomic<int64_t> currentPTS_{-1};
    bool stepping_ = false;  // the host's thread only
    QString lastErr_;
    std::shared_ptr<EventRing> events_;
};

} // namespace vel::video
