#pragma once
// Waiting on the main thread for what the player's threads post to it: the
// posted calls run only while the main thread pumps its messages.
#include <QElapsedTimer>
#include <chrono>
#include <thread>
#include "video/engine/thread_helpers.h"

namespace vel::test {

// Pumps the main thread's messages until cond holds, resting `rest` between
// rounds; false when ms pass first.
template <class F>
bool PumpUntil(F cond, int ms = 20000, std::chrono::milliseconds rest = std::chrono::milliseconds(2)) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        video::ProcessPendingMessages();
        std::this_thread::sleep_for(rest);
    }
    return true;
}

} // namespace vel::test
