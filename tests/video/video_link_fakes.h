#pragma once
// A scripted player behind the link's player interface.
#include <QStringList>
#include "video/video_player.h"

namespace vel::test {

class FakePlayer : public vel::VideoPlayer {
public:
    QStringList calls;
    bool libs = true, openOk = true;
    int64_t duration = 100'000'000, pts = 0;
    TPlayState state = TPlayState::psStop;
    bool paused = true;
    bool AVLibLoaded() const override { return libs; }
    bool LoadAVLib(const QString&) override { return libs; }
    bool Open(const QString& f, bool) override {
        calls << "Open " + f;
        if (!openOk) return false;
        if (onFileOpen) onFileOpen(duration);
        state = TPlayState::psPause;
        paused = true;
        return true;
    }
    void Stop(bool) override { calls << "Stop"; state = TPlayState::psStop; }
    void Pause() override { calls << "Pause"; paused = true; state = TPlayState::psPause; }
    void Resume() override { calls << "Resume"; paused = false; state = TPlayState::psResume; }
    void TogglePause() override { paused ? Resume() : Pause(); }
    void StepToNextFrame() override { calls << "Step"; }
    void Seek(int64_t p, int flags, bool) override { calls << QString("Seek %1 %2").arg(p).arg(flags); }
    bool Paused() const override { return paused; }
    int64_t CurrentPTS() const override { return pts; }
    TPlayState PlayState() const override { return state; }
};

} // namespace vel::test
