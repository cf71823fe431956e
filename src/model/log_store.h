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

// A sample's latitude and longitude in the lanes of one vector.
using LatLon = double __attribute__((vector_size(16)));

// Bounds being gathered, latitude and longitude side by side: a sample
// widens them where it lies strictly outside, so of equal extremes (0 and
// -0) the first one stays.
struct LogBounds {
    LatLon lo = {90, 180}, hi = {-90, -180};
    void Widen(LatLon v) {
        lo = v < lo ? v : lo;
        hi = hi < v ? v : hi;
    }
    void Widen(double ido, double kdo) { Widen(LatLon{ido, kdo}); }
    // Nothing widened them (or only samples on a pole's latitude).
    bool Empty() const { return lo[0] == 90 || hi[0] == -90; }
};

// The block preselection kept up while a fresh log is appended.
struct LivePreselect {
    bool on = false;
    double nowLocal = 0;
    bool act = false;       // the last block opened is selected
    LogBounds active;       // of the samples stored in selected blocks
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
    LivePreselect Live;
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
    // (LogAppender::Keep's block split rule first; Act false unless
    // preselecting, BlkIdx and RecNum set) with its motion data. A full store drops the sample,
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
    // PriSelectLog's rule for block b.
    bool SelectsBlock(int32_t b, double nowLocal) const;

    // Copies each block's selection to its samples and recomputes LogRect from
    // the active samples, or from all samples when none is active.
    void SetMbActAndRect();

    // For a decoder that preselects a fresh log: from StartPreselect on, each
    // block is selected as it opens (PriSelectLog's rule) and its samples
    // are activated as they are stored, their bounds gathered on the way;
    // FinishPreselect then sets LogRect. The result is PriSelectLog(nowLocal)
    // then SetMbActAndRect, without two more passes over the samples.
    void StartPreselect(double nowLocal);
    void FinishPreselect();
};

// Appends samples under the append rule (without motion) for a decoder that
// writes each record into the next place before it knows whether it keeps
// it. The store's counters (and a preselection's state) stay in the
// appender until Sync() or its end: nothing else may change the store in
// between.
class LogAppender {
public:
    explicit LogAppender(LogStore& store)
        : store_(store), items_(store.LogItem.data()), next_(items_ + store.LogItemNum),
          end_(items_ + store.Capacity()), motionEnd_(items_ + store.MotionUsed), counted_(next_),
          lastTm_(store.LastLogTm), blkIdx_(store.LogBlockNum() - 1), preselect_(store.Live.on),
          act_(store.Live.act), active_(store.Live.active) {}
    [[gnu::always_inline]] ~LogAppender() { Sync(); }
    LogAppender(const LogAppender&) = delete;
    LogAppender& operator=(const LogAppender&) = delete;

    // The place the next sample goes to; nullptr when the store is full.
    TLogItem* Next() { return next_ < end_ ? next_ : nullptr; }
    // Keeps the sample written at Next(). Block split rule: a new block
    // opens for the first sample or when a whole minute or more lies
    // between the last sample and this one (either way, truncated).
    void Keep() { Keep(next_->DtTm, LatLon{next_->Ido, next_->Kdo}); }
    // The same, given the sample's time and position as written (a decoder
    // has them in registers; read back they would wait on the stores).
    void Keep(double dtTm, LatLon pos) {
        if (OpensBlock(dtTm)) [[unlikely]]
            OpenBlock(dtTm);
        Place(dtTm, pos);
    }
    // Writes the counters back to the store.
    [[gnu::always_inline]] void Sync() {
        store_.LogItemNum = static_cast<int32_t>(next_ - items_);
        store_.LastLogTm = lastTm_;
        if (next_ > counted_) store_.LogBlock[blkIdx_].RecNum += static_cast<int32_t>(next_ - counted_);
        counted_ = next_;
        store_.Live.act = act_;
        store_.Live.active = active_;
    }

private:
    bool OpensBlock(double dtTm) const { return blkIdx_ < 0 || std::fabs(dtTm - lastTm_) * 1440.0 >= 1.0; }
    void Place(double dtTm, LatLon pos) {
        TLogItem& dst = *next_;
        lastTm_ = dtTm;
        dst.Act = act_;
        if (act_) active_.Widen(pos);
        dst.BlkIdx = blkIdx_;
        if (next_ < motionEnd_) store_.MotionSens[next_ - items_] = TMotionSens();
        ++next_;
    }
    // Always inline, as is Sync: no address of the appender may leave the
    // decoder's walk, so that its counters live in registers there.
    [[gnu::always_inline]] void OpenBlock(double dtTm) {
        Sync();
        store_.OpenLogBlock(dtTm);
        blkIdx_ = store_.LogBlockNum() - 1;
        if (preselect_) act_ = store_.LogBlock[blkIdx_].Act = store_.SelectsBlock(blkIdx_, store_.Live.nowLocal);
    }
    LogStore& store_;
    TLogItem* items_;
    TLogItem* next_;        // place of the next sample
    TLogItem* end_;         // of the places that can be written
    TLogItem* motionEnd_;   // motion data may lie below this
    TLogItem* counted_;     // samples below this are counted in their block
    double lastTm_;
    int32_t blkIdx_;
    bool preselect_;
    bool act_;              // block blkIdx_ is selected: its samples are active
    LogBounds active_;
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
    static constexpr int32_t Chunk = 1024;
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
