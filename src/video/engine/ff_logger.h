#pragma once
// One logger for the engine's components and for FFmpeg's own messages:
// filters by level, makes whole lines of FFmpeg's pieces (per thread), drops
// immediate repeats, and raises one event per line.
#include <QString>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include "video/engine/base_component.h"

namespace vel::video {

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

int LevelToAVLog(TLogLevel level);
TLogLevel AVLogToLevel(int avLevel);

// Sender, the logging thread's id, level, line. Every call carries its own
// values, also when several threads log at once.
using TLogEvent = std::function<void(QObject* sender, uint32_t threadId, TLogLevel level, const QString& msg)>;

class TFFLogger : public TFFBaseComponent {
public:
    // Takes the place of an auto-created logger; a second explicit logger
    // is refused with std::logic_error.
    explicit TFFLogger(QObject* parent = nullptr);
    ~TFFLogger() override;

    TLogLevel LogLevel() const { return logLevel_.load(); }
    void SetLogLevel(TLogLevel level);
    // "quiet" ... "debug" in any case, or a decimal FFmpeg level; false for
    // any other text.
    bool OptLogLevel(const QString& text);

    std::atomic<bool> TriggerEventInMainThread{true};
    void SetOnLog(TLogEvent handler);

    void Log(QObject* sender, TLogLevel level, const QString& msg);
    void Log(QObject* sender, TLogLevel level, const char* format, ...) __attribute__((format(printf, 4, 5)));

    // Installs AVLogCallback and applies LogLevel to FFmpeg (needs avutil).
    void InstallAVLogCallback();

    // Raises the event for a line (the level test already made).
    void Report(QObject* sender, uint32_t threadId, TLogLevel level, const QString& msg);

private:
    friend TFFLogger& FFLogger();
    struct AutoTag {};
    TFFLogger(AutoTag);
    void ApplyLevel();

    std::atomic<TLogLevel> logLevel_;
    bool autoCreated_ = false;
    std::mutex handlerMutex_;
    TLogEvent onLog_;
};

// The global logger, created on first use.
TFFLogger& FFLogger();

// FFmpeg's log callback. Installed into avutil by InstallAVLogCallback.
void AVLogCallback(void* avcl, int level, const char* fmt, va_list vl);

// FFmpeg's threshold of the callback (av level, starts at 32).
int AVLogThreshold();

} // namespace vel::video
