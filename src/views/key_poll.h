#pragma once
// The play keys: Space plays or stops, F and B step, whatever widget of the
// main window has the focus. The keys are watched application-wide while the
// main window is active and no dialog is open, and polled by Timer2.
#include <functional>
#include <memory>
#include <QObject>
#include <QPoint>

class QTimer;

namespace vel {

class MonotonicClock;

constexpr int Timer2IntervalMs = 100;
// After Space toggled playback, further Space presses are ignored this long.
constexpr qint64 SpaceQuietNs = 300'000'000;

class KeyPoll : public QObject {
    Q_OBJECT
public:
    // window: the main window whose keys count. clock: null for the steady clock.
    explicit KeyPoll(QWidget* window, MonotonicClock* clock = nullptr);
    ~KeyPoll() override;

    void Timer2Timer();
    QTimer* Timer2;

    // The poll acts only while this says yes (the "グラフ" tab shown, no
    // file dialog of a command open).
    std::function<bool()> canAct;
    std::function<bool()> playing;
    std::function<void()> onSpace;
    std::function<void()> onForward;
    std::function<void()> onBack;
    // The mouse wheel over the main window: in = turned away from the user.
    // Returns true when a pane took it.
    std::function<bool(bool in, QPoint globalPos)> onWheel;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool WindowActive() const;
    void Forget();

    QWidget* window_;
    std::unique_ptr<MonotonicClock> ownClock_;
    MonotonicClock* clock_;
    // Held now, and pressed since the last poll (a tap between two polls counts).
    bool heldSpace_ = false, heldF_ = false, heldB_ = false;
    bool tapSpace_ = false, tapF_ = false, tapB_ = false;
    qint64 lastSpace_ = 0;
    bool spaceSeen_ = false;
};

} // namespace vel
