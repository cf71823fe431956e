#include <gtest/gtest.h>
#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <QElapsedTimer>
#include "video/engine/ff_logger.h"
#include "video/engine/thread_helpers.h"
#include "video_support.h"

using namespace vel::video;

namespace {

struct Line {
    uint32_t tid;
    TLogLevel level;
    std::string text;
};

// Collects the logger's lines, in the logging thread.
class LogRecorder {
public:
    LogRecorder() {
        FFLogger().TriggerEventInMainThread = false;
        FFLogger().SetLogLevel(TLogLevel::llInfo);
        FFLogger().SetOnLog([this](QObject*, uint32_t tid, TLogLevel level, const QString& msg) {
            std::lock_guard<std::mutex> lock(m_);
            lines_.push_back({tid, level, msg.toStdString()});
        });
        // A line of its own, so no earlier test's last line counts as a repeat.
        static int serial = 0;
        Cb(nullptr, AV_LOG_ERROR, "--- start %d ---\n", ++serial);
        Clear();
    }
    ~LogRecorder() {
        FFLogger().SetOnLog(nullptr);
        FFLogger().TriggerEventInMainThread = true;
    }
    static void Cb(void* ctx, int level, const char* fmt, ...) {
        va_list vl;
        va_start(vl, fmt);
        AVLogCallback(ctx, level, fmt, vl);
        va_end(vl);
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<std::string> out;
        for (const Line& l : lines_) out.push_back(l.text);
        return out;
    }
    std::vector<Line> Lines() {
        std::lock_guard<std::mutex> lock(m_);
        return lines_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_);
        lines_.clear();
    }

private:
    std::mutex m_;
    std::vector<Line> lines_;
};

using Texts = std::vector<std::string>;

} // namespace

TEST(EngineLogger, LevelConversions) {
    const struct {
        int av;
        TLogLevel level;
    } cases[] = {{-100, TLogLevel::llQuiet}, {-8, TLogLevel::llQuiet}, {-7, TLogLevel::llPanic},
                 {7, TLogLevel::llPanic},    {8, TLogLevel::llFatal},  {16, TLogLevel::llError},
                 {31, TLogLevel::llWarning}, {32, TLogLevel::llInfo},  {47, TLogLevel::llVerbose},
                 {48, TLogLevel::llDebug},   {56, TLogLevel::llDebug}};
    for (const auto& c : cases) EXPECT_EQ(AVLogToLevel(c.av), c.level) << c.av;
    for (int i = 0; i <= 7; ++i) EXPECT_EQ(AVLogToLevel(LevelToAVLog(TLogLevel(i))), TLogLevel(i));
    EXPECT_EQ(LevelToAVLog(TLogLevel::llQuiet), -8);
    EXPECT_EQ(LevelToAVLog(TLogLevel::llDebug), 48);
}

TEST(EngineLogger, RepeatsAreCountedNotRepeated) {
    LogRecorder rec;
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "same\n");
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "same\n");
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "same\n");
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "other\n");
    EXPECT_EQ(rec.Texts(), (Texts{"same", "    Last message repeated 2 times", "other"}));
    EXPECT_EQ(rec.Lines()[1].level, TLogLevel::llWarning);

    rec.Clear();
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "twice\n");
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "twice\n");
    LogRecorder::Cb(nullptr, AV_LOG_WARNING, "next\n");
    EXPECT_EQ(rec.Texts(), (Texts{"twice", "next"}));
}

TEST(EngineLogger, PiecesMakeLinesPerThread) {
    LogRecorder rec;
    LogRecorder::Cb(nullptr, AV_LOG_INFO, "abc");
    std::thread other([] { LogRecorder::Cb(nullptr, AV_LOG_INFO, "x%dz\nrest", 1); });
    other.join();
    LogRecorder::Cb(nullptr, AV_LOG_INFO, "def\nghi\n");
    EXPECT_EQ(rec.Texts(), (Texts{"x1z", "abcdef", "ghi"}));
    const auto lines = rec.Lines();
    EXPECT_NE(lines[0].tid, lines[1].tid);
    EXPECT_EQ(lines[1].tid, CurrentThreadID());
}

TEST(EngineLogger, LongMessageArrivesWhole) {
    LogRecorder rec;
    const std::string big(5000, 'q');
    LogRecorder::Cb(nullptr, AV_LOG_ERROR, "%s|end\n", big.c_str());
    EXPECT_EQ(rec.Texts(), (Texts{big + "|end"}));
}

TEST(EngineLogger, ThresholdAndContextPrefix) {
    LogRecorder rec;
    LogRecorder::Cb(nullptr, AV_LOG_DEBUG, "hidden\n");  // above the threshold 32
    struct Ctx {
        const AVClass* cls;
    };
    static const AVClass cls = [] {
        AVClass c{};
        c.class_name = "tst";
        c.item_name = [](void*) -> const char* { return "item"; };
        return c;
    }();
    Ctx ctx{&cls};
    LogRecorder::Cb(&ctx, AV_LOG_ERROR, "bad %s\n", "thing");
    char want[64];
    std::snprintf(want, sizeof want, "[item @ %p]bad thing", static_cast<void*>(&ctx));
    EXPECT_EQ(rec.Texts(), (Texts{want}));
    EXPECT_EQ(rec.Lines()[0].level, TLogLevel::llError);
}

TEST(EngineLogger, LogFiltersByLevelVerboseAlwaysUnlessQuiet) {
    LogRecorder rec;
    FFLogger().SetLogLevel(TLogLevel::llError);
    FFLogger().Log(nullptr, TLogLevel::llVerbose, "v %d", 1);
    FFLogger().Log(nullptr, TLogLevel::llWarning, QStringLiteral("w"));
    FFLogger().Log(nullptr, TLogLevel::llFatal, QStringLiteral("f"));
    FFLogger().SetLogLevel(TLogLevel::llQuiet);
    FFLogger().Log(nullptr, TLogLevel::llVerbose, QStringLiteral("v2"));
    FFLogger().SetLogLevel(TLogLevel::llInfo);
    EXPECT_EQ(rec.Texts(), (Texts{"v 1", "f"}));

    EXPECT_TRUE(FFLogger().OptLogLevel("DEBUG"));
    EXPECT_EQ(FFLogger().LogLevel(), TLogLevel::llDebug);
    EXPECT_TRUE(FFLogger().OptLogLevel("20"));
    EXPECT_EQ(FFLogger().LogLevel(), TLogLevel::llError);
    EXPECT_FALSE(FFLogger().OptLogLevel("loud"));
    EXPECT_EQ(FFLogger().LogLevel(), TLogLevel::llError);
    FFLogger().SetLogLevel(TLogLevel::llInfo);
}

TEST(EngineLogger, CodecLibraryMessagesReachTheLogger) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs());
    LogRecorder rec;
    ff::av_log(nullptr, AV_LOG_ERROR, "from %s\n", "ffmpeg");
    ff::av_log(nullptr, AV_LOG_DEBUG, "too fine\n");
    EXPECT_EQ(rec.Texts(), (Texts{"from ffmpeg"}));
    // The level set on the logger reaches FFmpeg.
    FFLogger().SetLogLevel(TLogLevel::llDebug);
    EXPECT_EQ(ff::av_log_get_level(), AV_LOG_DEBUG);
    FFLogger().SetLogLevel(TLogLevel::llInfo);
    EXPECT_EQ(ff::av_log_get_level(), AV_LOG_INFO);
}

TEST(EngineLogger, EventsRunOnTheMainThreadWithTheirOwnValues) {
    LogRecorder rec;
    FFLogger().TriggerEventInMainThread = true;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                LogRecorder::Cb(nullptr, AV_LOG_INFO, "t%d ", t);
                // Pieces differ between threads: the repeat test is shared by all.
                LogRecorder::Cb(nullptr, AV_LOG_INFO, "n%d.%d\n", i, t);
                FFLogger().Log(nullptr, TLogLevel::llError, "log t%d n%d", t, i);
            }
        });
    for (auto& th : threads) th.join();
    QElapsedTimer guard;
    guard.start();
    while (rec.Lines().size() < 400 && guard.elapsed() < 10000) ProcessPendingMessages();
    const auto lines = rec.Lines();
    ASSERT_EQ(lines.size(), 400u);
    int perThread[4] = {};
    for (const Line& l : lines) {
        int t = -1, n = -1;
        ASSERT_TRUE(std::sscanf(l.text.c_str(), "t%d n%d", &t, &n) == 2 ||
                    std::sscanf(l.text.c_str(), "log t%d n%d", &t, &n) == 2)
            << l.text;
        ASSERT_TRUE(t >= 0 && t < 4);
        ++perThread[t];
    }
    for (int c : perThread) EXPECT_EQ(c, 100);
}
