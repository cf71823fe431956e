#pragma once
// How many decoded pictures the video thread lets go for each one it
// delivers while the player is late: a late picture at the display raises
// the ratio by 5 %, a picture finding the queue full lowers it by 5 % (never
// below 0.95, where every picture is delivered). A skipped picture is
// neither filtered nor converted, which is most of a late player's work
// beside decoding.
#include <algorithm>
#include <atomic>

namespace vel::video {

class TFrameSkip {
public:
    // The video thread, after a seek's flush: every picture again.
    void Reset() {
        ratio_.store(1.0);
        index_ = 0;
    }
    // The display: a picture came later than the next one was due.
    void Late() { Scale(1.05); }
    // The video thread: a picture found both queue places taken.
    void QueueFull() { Scale(0.95); }
    // The video thread, once per decoded picture: whether it goes on.
    bool Deliver() {
        const double ratio = ratio_.load();
        index_ += 1;
        if (index_ < ratio) return false;
        index_ -= std::max(ratio, 1.0);
        return true;
    }
    double Ratio() const { return ratio_.load(); }

private:
    void Scale(double f) {
        double r = ratio_.load();
        while (!ratio_.compare_exchange_weak(r, std::max(kMin, r * f))) {
        }
    }
    static constexpr double kMin = 0.95;
    std::atomic<double> ratio_{1.0};  // written by the display and the video thread
    double index_ = 0;                // the video thread's own
};

} // namespace vel::video
