#include "video/engine/interrupt.h"
#include "video/engine/thread_helpers.h"

namespace vel::video {

void TInterruptCB::Add(uint32_t threadId, void* sender, TInterruptProc interrupt) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& e : entries_)
        if (e.ThreadID == threadId && e.Sender == sender && e.Interrupt == interrupt) return;
    entries_.push_back({threadId, sender, interrupt});
}

void TInterruptCB::Remove(uint32_t threadId, void* sender, TInterruptProc interrupt) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->ThreadID == threadId && it->Sender == sender && it->Interrupt == interrupt) {
            entries_.erase(it);
            return;
        }
    }
}

bool TInterruptCB::Interrupt(uint32_t threadId) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& e : entries_)
        if (e.ThreadID == threadId) return e.Interrupt && e.Interrupt(e.Sender);
    return false;
}

void TInterruptCB::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

std::vector<TInterruptCB::Entry>& TInterruptCB::LockList() {
    mutex_.lock();
    return entries_;
}

void TInterruptCB::UnlockList() { mutex_.unlock(); }

TInterruptCB& InterruptCB() {
    static TInterruptCB list;
    return list;
}

int InterruptCallback(void*) { return InterruptCB().Interrupt(CurrentThreadID()) ? 1 : 0; }

} // namespace vel::video
