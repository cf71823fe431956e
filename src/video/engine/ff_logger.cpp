#include "video/engine/ff_logger.h"
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>
#include "video/engine/ff_loader.h"
#include "video/engine/thread_helpers.h"

namespace vel::video {

namespace {

std::atomic<TFFLogger*> g_logger{nullptr};
std::mutex g_createMutex;
std::atomic<int> g_threshold{32};

// What the callback shares between threads: the last piece passed and its
// repeat count, and each thread's unfinished line.
struct CallbackState {
    std::mutex mutex;
    std::string last;
    int repeats = 0;
    std::unordered_map<uint32_t, std::string> pending;
};

CallbackState& State() {
    static CallbackState state;
    return state;
}

int Format(char* buf, size_t size, const char* fmt, va_list vl) {
    return ff::vsnprintf ? ff::vsnprintf(buf, size, fmt, vl) : std::vsnprintf(buf, size, fmt, vl);
}

int FormatArgs(char* buf, size_t size, const char* fmt, ...) {
    va_list vl;
    va_start(vl, fmt);
    const int n = Format(buf, size, fmt, vl);
    va_end(vl);
    return n;
}

const char* ItemName(void* ctx) {
    const AVClass* cls = *static_cast<const AVClass**>(ctx);
    if (!cls) return "";
    if (cls->item_name) return cls->item_name(ctx);
    return cls->class_name ? cls->class_name : "";
}

} // namespace

int LevelToAVLog(TLogLevel level) { return int(level) * 8 - 8; }

TLogLevel AVLogToLevel(int v) {
    if (v <= -8) return TLogLevel::llQuiet;
    if (v < 8) return TLogLevel::llPanic;
    if (v >= 48) return TLogLevel::llDebug;
    return TLogLevel(v / 8 + 1);
}

int AVLogThreshold() { return g_threshold.load(); }

TFFLogger::TFFLogger(QObject* parent) : TFFBaseComponent(parent), logLevel_(AVLogToLevel(g_threshold.load())) {
    std::lock_guard<std::mutex> lock(g_createMutex);
    TFFLogger* old = g_logger.load();
    if (old && !old->autoCreated_) throw std::logic_error("Allow creating only one instance of TFFLogger.");
    delete old;
    g_logger.store(this);
}

TFFLogger::TFFLogger(AutoTag) : logLevel_(AVLogToLevel(g_threshold.load())), autoCreated_(true) {}

TFFLogger::~TFFLogger() {
    TFFLogger* self = this;
    g_logger.compare_exchange_strong(self, nullptr);
}

TFFLogger& FFLogger() {
    std::lock_guard<std::mutex> lock(g_createMutex);
    TFFLogger* lg = g_logger.load();
    if (!lg) {
        lg = new TFFLogger(TFFLogger::AutoTag{});
        g_logger.store(lg);
    }
    return *lg;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
    if (logLevel_.exchange(level) != level) ApplyLevel();
}

void TFFLogger::ApplyLevel() {
    if (!ff::av_log_set_level) return;  // InstallAVLogCallback applies it later
    g_threshold.store(LevelToAVLog(logLevel_.load()));
    ff::av_log_set_level(g_threshold.load());
}

bool TFFLogger::OptLogLevel(const QString& text) {
    static const char* const names[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};
    int value = 0;
    bool found = false;
    for (int i = 0; i < 8; ++i) {
        if (text.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
            value = i * 8 - 8;
            found = true;
        }
    }
    if (!found) {
        bool ok = false;
        value = text.trimmed().toInt(&ok);
        if (!ok) return false;
    }
    SetLogLevel(AVLogToLevel(value));
    return true;
}

void TFFLogger::SetOnLog(TLogEvent handler) {
    std::lock_guard<std::mutex> lock(handlerMutex_);
    onLog_ = std::move(handler);
}

void TFFLogger::InstallAVLogCallback() {
    if (!ff::av_log_set_callback || !ff::av_log_set_level) return;
    ff::av_log_set_callback(&AVLogCallback);
    ApplyLevel();
}

void TFFLogger::Report(QObject* sender, uint32_t threadId, TLogLevel level, const QString& msg) {
    TLogEvent handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex_);
        handler = onLog_;
    }
    if (!handler) return;
    // Queued, not waited for: a thread inside FFmpeg may hold a lock that
    // the main thread is waiting for.
    if (TriggerEventInMainThread.load())
        PostToMainThread([handler, sender, threadId, level, msg] { handler(sender, threadId, level, msg); });
    else
        handler(sender, threadId, level, msg);
}

void TFFLogger::Log(QObject* sender, TLogLevel level, const QString& msg) {
    const TLogLevel limit = logLevel_.load();
    if (level <= limit || (level == TLogLevel::llVerbose && limit > TLogLevel::llQuiet))
        Report(sender, CurrentThreadID(), level, msg);
}

void TFFLogger::Log(QObject* sender, TLogLevel level, const char* format, ...) {
    va_list vl;
    va_start(vl, format);
    const QString msg = QString::vasprintf(format, vl);
    va_end(vl);
    Log(sender, level, msg);
}

void AVLogCallback(void* avcl, int level, const char* fmt, va_list vl) {
    if (level >= 0) level &= 0xff;  // FFmpeg's colour flags sit above the level
    if (level > g_threshold.load()) return;
    const uint32_t tid = CurrentThreadID();
    std::vector<std::pair<int, std::string>> lines;
    {
        CallbackState& st = State();
        std::lock_guard<std::mutex> lock(st.mutex);
        std::string& pending = st.pending[tid];

        char buf[2048] = {};
        int used = 0;
        if (avcl && pending.empty()) {
            const AVClass* cls = *static_cast<const AVClass**>(avcl);
            if (cls && cls->parent_log_context_offset) {
                void* parent = *reinterpret_cast<void**>(static_cast<char*>(avcl) + cls->parent_log_context_offset);
                if (parent && *static_cast<const AVClass**>(parent))
                    used += FormatArgs(buf + used, sizeof buf - used, "[%s @ %p] ", ItemName(parent), parent);
            }
            if (used < int(sizeof buf))
                used += FormatArgs(buf + used, sizeof buf - used, "[%s @ %p]", ItemName(avcl), avcl);
            if (used >= int(sizeof buf)) used = int(sizeof buf) - 1;
        }
        std::string piece(buf, size_t(used));
        va_list copy;
        va_copy(copy, vl);
        const int n = Format(buf + used, sizeof buf - used, fmt, copy);
        va_end(copy);
        if (n >= 0 && n < int(sizeof buf) - used) {
            piece.append(buf + used, size_t(n));
        } else if (n >= 0) {
            std::vector<char> big(size_t(n) + 1);
            va_copy(copy, vl);
            Format(big.data(), big.size(), fmt, copy);
            va_end(copy);
            piece.append(big.data(), size_t(n));
        }

        if (!piece.empty() && piece.back() == '\n' && piece == st.last) {
            ++st.repeats;
            return;
        }
        if (st.repeats > 1) {
            char rep[64];
            std::snprintf(rep, sizeof rep, "    Last message repeated %d times", st.repeats);
            lines.emplace_back(level, rep);
        }
        st.repeats = 0;
        st.last = piece;

        pending += piece;
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            lines.emplace_back(level, pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
    }
    // Reported after the lock is let go: the handler may run anywhere.
    TFFLogger* lg = g_logger.load();
    if (!lg) return;
    for (const auto& [lvl, text] : lines) lg->Report(lg, tid, AVLogToLevel(lvl), QString::fromLatin1(text));
}

} // namespace vel::video
