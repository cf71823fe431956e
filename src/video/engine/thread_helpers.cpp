#include "video/engine/thread_helpers.h"
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QObject>
#include <QThread>

namespace vel::video {

namespace {

// The calls wait in a queue under a std::mutex, so the hand-off from the
// worker to the main thread is visible to the thread sanitizer; Qt only
// carries the wake-up (a queued call by name, made inside Qt).
class MainThreadQueue : public QObject {
    Q_OBJECT
public:
    void Push(std::function<void()> fn) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back(std::move(fn));
        }
        QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
    }

    Q_INVOKABLE void Drain() {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (calls_.empty()) return;
                fn = std::move(calls_.front());
                calls_.pop_front();
            }
            fn();
        }
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};

MainThreadQueue* Queue() {
    static MainThreadQueue* queue = [] {
        auto* q = new MainThreadQueue;
        q->moveToThread(QCoreApplication::instance()->thread());
        return q;
    }();
    return queue;
}

// Made on the main thread as the application starts, so no worker is the
// first to touch it.
void MakeQueue() { Queue(); }
Q_COREAPP_STARTUP_FUNCTION(MakeQueue)

} // namespace

uint32_t CurrentThreadID() { return uint32_t(syscall(SYS_gettid)); }

bool IsMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void ProcessPendingMessages() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CallInMainThread(const std::function<void()>& fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    struct Done {
        std::mutex m;
        std::condition_variable_any cv;
        std::atomic<bool> done{false};  // also orders what fn wrote before the caller reads it
    };
    auto done = std::make_shared<Done>();
    Queue()->Push([fn, done] {
        fn();
        std::lock_guard<std::mutex> lock(done->m);
        done->done.store(true, std::memory_order_release);
        done->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(done->m);
    done->cv.wait(lock, [&] { return done->done.load(std::memory_order_acquire); });
}

void PostToMainThread(std::function<void()> fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    Queue()->Push(std::move(fn));
}

} // namespace vel::video

#include "thread_helpers.moc"
