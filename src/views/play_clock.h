#pragma once
// The play time's movers: the playback clock (Timer1), play and stop, frame
// steps, the jump to the start or the alignment line, the choice of the
// alignment line, clearing the display and the video-driven move. Each move
// ends in the refresh chain with its own repaint order.
#include <functional>
#include <memory>
#include <QElapsedTimer>
#include <QObject>
#include "model/services.h"
#include "model/session.h"

class QTimer;

namespace vel {

class Prompts;

// A clock that only runs forward: a change of the wall clock or a
// daylight-saving step can't move the cursor.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 NowNs() const = 0;
};

class SteadyClock : public MonotonicClock {
public:
    SteadyClock() { timer_.start(); }
    qint64 NowNs() const override { return timer_.nsecsElapsed(); }
private:
    QElapsedTimer timer_;
};

constexpr int Timer1IntervalMs = 66;
inline const QString ClearDisplayQuestion = QStringLiteral("すべての表示データをクリアしますか？");

class PlayClock : public QObject {
    Q_OBJECT
public:
    // clock: null for the steady clock.
    PlayClock(Session& session, GraphsService& graphs, VideoService& video, Prompts& prompts,
              MonotonicClock* clock = nullptr);
    ~PlayClock() override;

    void Timer1Timer();
    void SpeedButtonPlayClick();
    void SpeedButtonFWDClick();
    void SpeedButtonBWDClick();
    void SpeedButtonToStartClick();
    void SpeedButtonDistOfsClick();
    void SpeedButtonResetClick();
    void DrawCurSec();
    // Timer1 off and the stopped glyph (the video is not told).
    void Stop();
    bool Playing() const;

    QTimer* Timer1;
    // The play button's glyph: running or stopped.
    std::function<void(bool running)> setGlyph;
    // The sector table after the display was cleared.
    std::function<void()> setSectGrid;

private:
    void Start();
    bool RefActive() const;
    void SeekVideoToPlayTime();

    Session& s_;
    GraphsService& graphs_;
    VideoService& video_;
    Prompts& prompts_;
    std::unique_ptr<MonotonicClock> ownClock_;
    MonotonicClock* clock_;
    qint64 lastTick_ = 0;
};

} // namespace vel
