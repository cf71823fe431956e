#pragma once
// Small thread helpers of the engine: the calling thread's id, running code
// on the main thread, and draining the main thread's queue while it waits.
#include <cstdint>
#include <functional>

namespace vel::video {

// The kernel's id of the calling thread.
uint32_t CurrentThreadID();

// True on the thread of the QCoreApplication (or when there is none).
bool IsMainThread();

// Dispatches every event waiting for the calling thread, then returns.
void ProcessPendingMessages();

// Runs fn on the main thread and waits for it; at once when the caller is
// the main thread or no application exists.
void CallInMainThread(const std::function<void()>& fn);

// Queues fn to run on the main thread and returns at once; runs it at once
// when the caller is the main thread or no application exists.
void PostToMainThread(std::function<void()> fn);

} // namespace vel::video
