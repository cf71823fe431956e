#pragma once
// The player as the video link sees it, so the link's rules can be tested
// with a scripted player; FFVideoPlayer is the real one.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include "video/engine/player.h"

namespace vel {

class VideoPlayer {
public:
    virtual ~VideoPlayer() = default;
    virtual bool AVLibLoaded() const = 0;
    virtual bool LoadAVLib(const QString& dir) = 0;
    // Reports the file through onFileOpen before it returns true.
    virtual bool Open(const QString& file, bool paused) = 0;
    virtual void Stop(bool waitForStop) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void TogglePause() = 0;
    virtual void StepToNextFrame() = 0;
    virtual void Seek(int64_t pts, int flags, bool waitForSeekEnd) = 0;
    virtual bool Paused() const = 0;
    virtual int64_t CurrentPTS() const = 0;
    virtual TPlayState PlayState() const = 0;
    // Picture corrections the filters read on every picture.
    virtual void SetPictureParams(int bright, int contrast, int hue, int sat) {}

    // Raised on the main thread.
    std::function<void(int64_t duration)> onFileOpen;
    std::function<void(int64_t pos)> onPosition;
    std::function<void(TPlayState state)> onState;
};

// The engine's player drawing into a sink, with the picture corrections
// handed over as shared atomics (never as filter text).
class FFVideoPlayer : public VideoPlayer {
public:
    explicit FFVideoPlayer(video::TPictureSink sink, video::TAudioDriver audio = video::TAudioDriver::adDefault);
    ~FFVideoPlayer() override;
    bool AVLibLoaded() const override { return player_.AVLibLoaded(); }
    bool LoadAVLib(const QString& dir) override { return player_.LoadAVLib(dir); }
    bool Open(const QString& file, bool paused) override;
    void Stop(bool waitForStop) override { player_.Stop(waitForStop); }
    void Pause() override { player_.Pause(); }
    void Resume() override { player_.Resume(); }
    void TogglePause() override { player_.TogglePause(); }
    void StepToNextFrame() override { player_.StepToNextFrame(); }
    void Seek(int64_t pts, int flags, bool wait) override { player_.Seek(pts, flags, wait); }
    bool Paused() const override { return player_.Paused(); }
    int64_t CurrentPTS() const override { return player_.CurrentPTS(); }
    TPlayState PlayState() const override { return player_.PlayState(); }
    void SetPictureParams(int bright, int contrast, int hue, int sat) override {
        Eq.First = bright;
        Eq.Second = contrast;
        Hue.First = hue;
        Hue.Second = sat;
    }

    // Brightness, contrast (First, Second) and hue, saturation, -100..100.
    video::TPictureParams Eq;
    video::TPictureParams Hue;
    video::TFFPlayer& Engine() { return player_; }

private:
    video::TPictureSink sink_;
    video::TFFPlayer player_;
};

} // namespace vel
