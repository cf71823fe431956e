#pragma once
// The imported log: samples, motion-sensor samples, blocks and the image buffer.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <QString>
#include <QVector>
#include "common/huge_pages.h"
#include "common/records.h"

namespace vel {

class StatusList;

constexpr int32_t LogItemMax = 630000;
constexpr int64_t LogDumpSize = 16 * 1024 * 1024;

// calloc'ed storage: no page is touched before a log is read into it.
template <typename T>
struct CallocArray {
    struct Free { void operator()(T* p) const { std::free(p); } };
    std::unique_ptr<T, Free> ptr;
    int64_t size = 0;

    bool Allocate(int64_t n) {
        ptr.reset(static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T))));
        size = ptr ? n : 0;
        if (ptr) PreferHugePages(ptr.get(), static_cast<size_t>(n) * sizeof(T));
        return ptr != nullptr;
    }
    T* data() { return ptr.get(); }
    const T* data() const { return ptr.get(); }
    T& operator[](int64_t i) { return ptr.get()[i]; }
    const T& operator[](int64_t i) const { return ptr.get()[i]; }
};

// Bounds of the active samples, degrees.
struct TLogRect {
    long double IdoMin = 90, IdoMax = -90, KdoMin = 180, KdoMax = -180;
};

struct LogStore {
    CallocArray<TLogItem> LogItem;        // LogItemMax places once at start-up
    CallocArray<TMotionSens> MotionSens;  // parallel to LogItem
    int32_t MotionUsed = 0;               // MotionSens places below this may hold motion data
    int32_t LogItemNum = 0;
    QVector<TLogBlock> LogBlock;
    double LastLogTm = 0;                 // DtTm of the last stored sample
    TLogRect LogRect;
    QString LogName;                      // file name without folder and extension
    bool LogFmtErr = false;               // a sector record had an unknown format word
    bool SatDataLog = false;              // a sector record carried satellite data
    int32_t SettleCnt = 0;                // 4 KiB records still to drop after a bad fix
    bool LogFull = false;                 // a sample was dropped for want of room
    CallocArray<uint8_t> LogDump;         // 16 MiB logger memory image

    // Gives the arrays their fixed capacity; false when memory is short.
    bool Allocate();

    int32_t LogBlockNum() const { return static_cast<int32_t>(LogBlock.size()); }
    // Places that can be written: LogItemMax once allocated.
    int32_t Capacity() const {
        return static_cast<int32_t>(std::min({LogItem.size, MotionSens.size, int64_t{LogItemMax}}));
    }

    // Empties the store for a new import: no samples, no blocks, LogRect
    // cleared. The arrays' pages are left alone.
    void Clear();

    // Starts a block at dtTm (DtTm, Title; not selected, no samples).
    void OpenLogBlock(double dtTm);

    // Fills LogDump with erased memory (0xFF), then copies the image to
    // address 0; an image beyond the buffer is cut off. Returns the bytes copied.
    int64_t PutLogImage(const uint8_t* image, int64_t size);

    // Append rule: stores the sample at place LogItemNum in the current block
    // (LogAppender::Keep's block split rule first; Act false, BlkIdx and
    // RecNum set) with its motion data. A full store drops the sample,
    // touches no block and reports once per import; returns false then.
    // Without motion (sources that have none: memory images, run files) a
    // motion place is written only where motion data may lie (below
    // MotionUsed); the others are zero already.
    bool AppendLogItem(const TLogItem& item, StatusList& status, const TMotionSens& motion);
    bool AppendLogItem(const TLogItem& item, StatusList& status);

    // Speeds of generation-4 sources: weighted mean of up to four neighbours
    // either side that lie within 210 ms.
    void SmoothLogSpd();

    // Selects the blocks dated after 2000-01-01, not after nowLocal and not
    // before the block ahead of them; other blocks keep their flag.
    void PriSelectLog(double nowLocal);

    // Copies each block's selection to its samples and recomputes LogRect from
    // the active samples, or from all samples when none is active.
    void SetMbActAndRect();
};

// Appends samples under the append rule (without motion) for a decoder that
// writes each record into the next place before it knows whether it keeps
// it. The store's counters stay in the appender until Sync() or its end:
// nothing else may change the store in between.
class LogAppender {
public:
    explicit LogAppender(LogStore& store)
        : store_(store), items_(store.LogItem.data()), num_(store.LogItemNum), cap_(store.Capacity()),
          motionUsed_(store.MotionUsed), lastTm_(store.LastLogTm), blkIdx_(store.LogBlockNum() - 1) {}
    ~LogAppender() { Sync(); }
    LogAppender(const LogAppender&) = delete;
    LogAppender& operator=(const LogAppender&) = delete;

    // The place the next sample goes to; nullptr when the store is full.
    TLogItem* Next() { return num_ < cap_ ? items_ + num_ : nullptr; }
    // Keeps the sample written at Next(). Block split rule: a new block
    // opens for the first sample or when a whole minute or more lies
    // between the last sample and this one (either way, truncated).
    void Keep() {
        TLogItem& dst = items_[num_];
        if (blkIdx_ < 0 || std::fabs(dst.DtTm - lastTm_) * 1440.0 >= 1.0) OpenBlock(dst.DtTm);
        lastTm_ = dst.DtTm;
        dst.Act = false;
        dst.BlkIdx = blkIdx_;
        ++inBlock_;
        if (num_ < motionUsed_) store_.MotionSens[num_] = TMotionSens();
        ++num_;
    }
    // Writes the counters back to the store.
    void Sync();

private:
    void OpenBlock(double dtTm);
    LogStore& store_;
    TLogItem* items_;
    int32_t num_, cap_, motionUsed_;
    double lastTm_;
    int32_t blkIdx_;
    int32_t inBlock_ = 0;   // samples kept into block blkIdx_ not yet counted there
};

// The speed smoothing of SmoothLogSpd, run while samples are still being
// appended: Feed smooths the samples whose four followers are stored, in
// chunks, while they are still in the cache; Finish smooths the rest. The
// samples must not change otherwise in between.
class SpeedSmoother {
public:
    explicit SpeedSmoother(LogStore& store) : store_(store) {}
    void Feed();
    void Finish();

private:
    static constexpr int32_t Chunk = 512;
    void SmoothChunk(int32_t base, int32_t m);
    LogStore& store_;
    int32_t done_ = 0;              // samples smoothed
    // The four samples before done_: unsmoothed speeds and window flags
    // (0 before the log, so those neighbours weigh 0).
    float carrySpd_[4] = {};
    uint8_t carryFlags_[4] = {};
};

// Local date-time now, on the same base as the decoded samples.
double LocalNow(double localEpoch);

} // namespace vel
