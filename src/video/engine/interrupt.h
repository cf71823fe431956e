#pragma once
// The threads whose blocking reads inside the format library may be broken
// off: each registers a test that says "stop now".
#include <cstdint>
#include <mutex>
#include <vector>

namespace vel::video {

using TInterruptProc = bool (*)(void* sender);

class TInterruptCB {
public:
    struct Entry {
        uint32_t ThreadID;
        void* Sender;
        TInterruptProc Interrupt;
    };

    // Appends unless the same thread, sender and test are listed already.
    void Add(uint32_t threadId, void* sender, TInterruptProc interrupt);
    // Removes the first entry matching all three.
    void Remove(uint32_t threadId, void* sender, TInterruptProc interrupt);
    // The test of the first entry of the thread, false when it has none.
    bool Interrupt(uint32_t threadId);
    void Clear();
    // The list under its lock, for inspection.
    std::vector<Entry>& LockList();
    void UnlockList();

private:
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The process-wide list.
TInterruptCB& InterruptCB();

// FFmpeg's interrupt callback (AVIOInterruptCB): 1 when the calling thread's
// listed test says stop.
int InterruptCallback(void* opaque);

} // namespace vel::video
