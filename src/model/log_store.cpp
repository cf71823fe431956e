#include "model/log_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>
#include <QDateTime>
#include "common/datetime.h"
#include "model/status_list.h"

namespace vel {

// calloc'ed memory is used as objects directly: the records must be plain.
static_assert(std::is_trivially_copyable_v<TMotionSens>);

bool LogStore::Allocate() {
    Clear();
    // TLogItem holds only numbers and a bool, all zero-valid.
    return LogItem.Allocate(LogItemMax) && MotionSens.Allocate(LogItemMax) &&
           LogDump.Allocate(LogDumpSize);
}

int32_t LogStore::Capacity() const {
    return static_cast<int32_t>(std::min<int64_t>({LogItem.size, MotionSens.size, LogItemMax}));
}

void LogStore::Clear() {
    // Motion data of an earlier log must not survive into one without.
    if (MotionUsed > 0 && MotionSens.data())
        std::memset(static_cast<void*>(MotionSens.data()), 0, static_cast<size_t>(MotionUsed) * sizeof(TMotionSens));
    MotionUsed = 0;
    LogItemNum = 0;
    LogBlock.clear();
    LogRect = TLogRect();
    LogFull = false;
}

int64_t LogStore::PutLogImage(const uint8_t* image, int64_t size) {
    if (!LogDump.data()) return 0;
    std::memset(LogDump.data(), 0xFF, static_cast<size_t>(LogDump.size));
    const int64_t n = std::clamp<int64_t>(size, 0, LogDump.size);
    if (n > 0) std::memcpy(LogDump.data(), image, static_cast<size_t>(n));
    return n;
}

void LogStore::SplitLogBlock(double dtTm) {
    // Whole minutes between the samples, truncated, either way.
    if (LogBlock.isEmpty() || std::fabs(dtTm - LastLogTm) * 1440.0 >= 1.0) {
        TLogBlock blk;
        blk.DtTm = dtTm;
        blk.Title = FormatDateTime(QStringLiteral("yyyymmdd_hhnn"), dtTm);
        blk.Act = false;
        blk.RecNum = 0;
        LogBlock.append(blk);
    }
    LastLogTm = dtTm;
}

bool LogStore::AppendLogItem(const TLogItem& item, StatusList& status, const TMotionSens& motion) {
    if (!AppendLogItem(item, status)) return false;
    MotionSens[LogItemNum - 1] = motion;
    MotionUsed = std::max(MotionUsed, LogItemNum);
    return true;
}

bool LogStore::AppendLogItem(const TLogItem& item, StatusList& status) {
    if (LogItemNum >= Capacity()) {
        // Keeping what is stored whole beats overwriting the last sample.
        if (!LogFull)
            status.Add(QStringLiteral("log full %1 records, later records dropped").arg(LogItemNum));
        LogFull = true;
        return false;
    }
    SplitLogBlock(item.DtTm);
    TLogItem& dst = LogItem[LogItemNum];
    dst = item;
    dst.Act = false;
    dst.BlkIdx = LogBlockNum() - 1;
    ++LogBlock[LogBlock.size() - 1].RecNum;
    if (LogItemNum < MotionUsed) MotionSens[LogItemNum] = TMotionSens();
    ++LogItemNum;
    return true;
}

void LogStore::SmoothLogSpd() {
    const int32_t n = LogItemNum;
    if (n <= 0) return;
    TLogItem* it = LogItem.data();
    // Neighbour weights by distance, for speeds from the neighbour to the
    // sample that are not / are strictly monotonic.
    static constexpr double Weight[5][2] = {{0, 0}, {0.5, 0.5}, {0.35, 0.4}, {0.2, 0.3}, {0.1, 0.3}};
    constexpr double Window = 210.0 / 86400000.0;
    // Smoothed in place, every sample from the unsmoothed speeds: those of the
    // four samples before i are kept aside, as are their window flags (bit
    // d - 1: sample j + d lies within 210 ms of sample j, either way).
    float before[4] = {};
    uint8_t nearBefore[4] = {};
    // With four samples after i: no bounds to check, and a neighbour left
    // out weighs 0 instead of taking a branch (adding +0.0 leaves the sums
    // as they are). Samples before 0 have no window flags, so they drop out.
    const int32_t inner = std::max(0, n - 4);
    for (int32_t i = 0; i < inner; ++i) {
        const float own = it[i].Spd;
        const double t = it[i].DtTm;
        float L[5], R[5];
        L[0] = R[0] = own;
        uint8_t mine = 0;
        for (int d = 1; d <= 4; ++d) {
            L[d] = before[(i - d) & 3];
            R[d] = it[i + d].Spd;
            mine |= uint8_t((std::fabs(it[i + d].DtTm - t) < Window ? 1u : 0u) << (d - 1));
        }
        double wl[5], wr[5];
        bool up = true, down = true;
        for (int d = 1; d <= 4; ++d) {
            up = up && L[d] < L[d - 1];
            down = down && L[d] > L[d - 1];
            const bool near = (nearBefore[(i - d) & 3] >> (d - 1)) & 1u;
            wl[d] = near ? Weight[d][up || down] : 0.0;
        }
        up = down = true;
        for (int d = 1; d <= 4; ++d) {
            up = up && R[d] < R[d - 1];
            down = down && R[d] > R[d - 1];
            const bool near = (mine >> (d - 1)) & 1u;
            wr[d] = near ? Weight[d][up || down] : 0.0;
        }
        // Summed in the order i-4 .. i-1, i+1 .. i+4.
        double sum = 1.8 * own;
        double weight = 1.8;
        for (int d = 4; d >= 1; --d) {
            sum += wl[d] != 0.0 ? wl[d] * L[d] : 0.0;
            weight += wl[d];
        }
        for (int d = 1; d <= 4; ++d) {
            sum += wr[d] != 0.0 ? wr[d] * R[d] : 0.0;
            weight += wr[d];
        }
        before[i & 3] = own;
        nearBefore[i & 3] = mine;
        it[i].Spd = static_cast<float>(sum / weight);
    }
    for (int32_t i = inner; i < n; ++i) {
        auto spd = [&](int32_t j) { return j < i ? before[j & 3] : it[j].Spd; };
        uint8_t mine = 0;
        for (int d = 1; d <= 4 && i + d < n; ++d)
            if (std::fabs(it[i + d].DtTm - it[i].DtTm) < Window) mine |= uint8_t(1u << (d - 1));
        // Going outwards from i, the speeds from j to i stay strictly
        // monotonic while every further step keeps the direction.
        int8_t left[5] = {}, right[5] = {};   // -1 left out, else monotonic
        bool up = true, down = true;
        for (int d = 1; d <= 4; ++d) {
            const int32_t j = i - d;
            if (j < 0) {
                left[d] = -1;
                continue;
            }
            up = up && spd(j) < spd(j + 1);
            down = down && spd(j) > spd(j + 1);
            left[d] = (nearBefore[j & 3] >> (d - 1)) & 1u ? (up || down) : -1;
        }
        up = down = true;
        for (int d = 1; d <= 4; ++d) {
            const int32_t j = i + d;
            if (j >= n) {
                right[d] = -1;
                continue;
            }
            up = up && it[j].Spd < spd(j - 1);
            down = down && it[j].Spd > spd(j - 1);
            right[d] = (mine >> (d - 1)) & 1u ? (up || down) : -1;
        }
        // Summed in the order i-4 .. i-1, i+1 .. i+4.
        const float own = it[i].Spd;
        double sum = 1.8 * own;
        double weight = 1.8;
        for (int d = 4; d >= 1; --d) {
            if (left[d] < 0) continue;
            const double w = Weight[d][left[d]];
            sum += w * spd(i - d);
            weight += w;
        }
        for (int d = 1; d <= 4; ++d) {
            if (right[d] < 0) continue;
            const double w = Weight[d][right[d]];
            sum += w * it[i + d].Spd;
            weight += w;
        }
        before[i & 3] = own;
        nearBefore[i & 3] = mine;
        it[i].Spd = static_cast<float>(sum / weight);
    }
}

void LogStore::PriSelectLog(double nowLocal) {
    const double from = EncodeDateTime(2000, 1, 1, 0, 0, 0, 0);
    for (qsizetype b = 0; b < LogBlock.size(); ++b) {
        TLogBlock& blk = LogBlock[b];
        if (blk.DtTm > from && blk.DtTm <= nowLocal && (b == 0 || blk.DtTm >= LogBlock[b - 1].DtTm))
            blk.Act = true;
    }
}

void LogStore::SetMbActAndRect() {
    // Bounds taken in double and widened at the end: the same values.
    double idoMin = 90, idoMax = -90, kdoMin = 180, kdoMax = -180;
    auto widen = [&](const TLogItem& s) {
        idoMin = std::min(idoMin, s.Ido);
        idoMax = std::max(idoMax, s.Ido);
        kdoMin = std::min(kdoMin, s.Kdo);
        kdoMax = std::max(kdoMax, s.Kdo);
    };
    const QVector<TLogBlock>& blocks = LogBlock;
    const int32_t blockNum = LogBlockNum();
    for (int32_t i = 0; i < LogItemNum; ++i) {
        TLogItem& s = LogItem[i];
        s.Act = s.BlkIdx >= 0 && s.BlkIdx < blockNum && blocks[s.BlkIdx].Act;
        if (s.Act) widen(s);
    }
    if (idoMin == 90 || idoMax == -90) {
        for (int32_t i = 0; i < LogItemNum; ++i) widen(LogItem[i]);
    }
    LogRect.IdoMin = idoMin;
    LogRect.IdoMax = idoMax;
    LogRect.KdoMin = kdoMin;
    LogRect.KdoMax = kdoMax;
}

double LocalNow(double localEpoch) {
    return localEpoch + static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 86400000.0;
}

} // namespace vel
