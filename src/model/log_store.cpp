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

void LogStore::OpenLogBlock(double dtTm) {
    TLogBlock blk;
    blk.DtTm = dtTm;
    blk.Title = FormatDateTime(QStringLiteral("yyyymmdd_hhnn"), dtTm);
    blk.Act = false;
    blk.RecNum = 0;
    LogBlock.append(blk);
}

bool LogStore::AppendLogItem(const TLogItem& item, StatusList& status, const TMotionSens& motion) {
    if (!AppendLogItem(item, status)) return false;
    MotionSens[LogItemNum - 1] = motion;
    MotionUsed = std::max(MotionUsed, LogItemNum);
    return true;
}

bool LogStore::AppendLogItem(const TLogItem& item, StatusList& status) {
    TLogItem* place = NextPlace();
    if (!place) {
        // Keeping what is stored whole beats overwriting the last sample.
        if (!LogFull)
            status.Add(QStringLiteral("log full %1 records, later records dropped").arg(LogItemNum));
        LogFull = true;
        return false;
    }
    *place = item;
    KeepNextPlace();
    return true;
}

namespace {

// Neighbour weights by distance, for speeds from the neighbour to the sample
// that are not / are strictly monotonic.
constexpr double SmoothWeight[5][2] = {{0, 0}, {0.5, 0.5}, {0.35, 0.4}, {0.2, 0.3}, {0.1, 0.3}};
constexpr double SmoothWindow = 210.0 / 86400000.0;

// One side's weights for each pattern of neighbours within the window (bit
// d - 1: distance d) and each length of the run of strictly monotonic steps
// from the sample outwards: [d - 1] for distance d, [4] = 1.8 plus the four
// from distance 4 down to 1, the order the left side is summed in.
struct SideWeights {
    double w[16][5][5];
    SideWeights() {
        for (int near = 0; near < 16; ++near)
            for (int run = 0; run <= 4; ++run) {
                double* v = w[near][run];
                for (int d = 1; d <= 4; ++d)
                    v[d - 1] = (near >> (d - 1)) & 1 ? SmoothWeight[d][d <= run] : 0.0;
                v[4] = 1.8;
                for (int d = 4; d >= 1; --d) v[4] += v[d - 1];
            }
    }
};
const SideWeights SmoothSides;

// Length of the longer run of set bits in two 4-bit step patterns (rising
// steps in bits 0-3, falling in 4-7), counted from bit 3 down (Left) or from
// bit 0 up (Right).
struct RunLengths {
    uint8_t left[256], right[256];
    RunLengths() {
        for (int k = 0; k < 256; ++k) {
            auto fromTop = [](int bits) { int n = 0; while (n < 4 && ((bits >> (3 - n)) & 1)) ++n; return n; };
            auto fromBottom = [](int bits) { int n = 0; while (n < 4 && ((bits >> n) & 1)) ++n; return n; };
            left[k] = static_cast<uint8_t>(std::max(fromTop(k & 15), fromTop(k >> 4)));
            right[k] = static_cast<uint8_t>(std::max(fromBottom(k & 15), fromBottom(k >> 4)));
        }
    }
};
const RunLengths SmoothRuns;

} // namespace

void LogStore::SmoothLogSpd() {
    const int32_t n = LogItemNum;
    if (n <= 0) return;
    TLogItem* it = LogItem.data();
    const auto& Weight = SmoothWeight;
    constexpr double Window = SmoothWindow;
    // Smoothed in place, every sample from the unsmoothed speeds: those of the
    // four samples before i are kept aside, as are their window flags (bit
    // d - 1: sample j + d lies within 210 ms of sample j, either way).
    float before[4] = {};
    uint8_t nearBefore[4] = {};
    // With four samples after i: no bounds to check, and a neighbour left
    // out weighs 0 instead of taking a branch (adding +0.0 leaves the sums
    // as they are). Samples before 0 have no window flags, so they drop out.
    // The steps between neighbours are kept as bits, pair (j, j + 1) at bit
    // j - i + 4 for j = i - 4 .. i + 3: rising ones in up, falling in down.
    const int32_t inner = std::max(0, n - 4);
    uint32_t up = 0, down = 0;
    for (int32_t j = 0; j < 3 && j + 1 < n; ++j) {
        up |= uint32_t(it[j].Spd < it[j + 1].Spd) << (j + 4);
        down |= uint32_t(it[j].Spd > it[j + 1].Spd) << (j + 4);
    }
    for (int32_t i = 0; i < inner; ++i) {
        const float own = it[i].Spd;
        const double t = it[i].DtTm;
        const float r1 = it[i + 1].Spd, r2 = it[i + 2].Spd, r3 = it[i + 3].Spd, r4 = it[i + 4].Spd;
        up |= uint32_t(r3 < r4) << 7;
        down |= uint32_t(r3 > r4) << 7;
        uint32_t mine = 0;
        for (int d = 1; d <= 4; ++d)
            mine |= uint32_t(std::fabs(it[i + d].DtTm - t) < Window) << (d - 1);
        const uint32_t nearLeft = (nearBefore[(i - 1) & 3] & 1u) | (nearBefore[(i - 2) & 3] & 2u) |
                                  (nearBefore[(i - 3) & 3] & 4u) | (nearBefore[(i - 4) & 3] & 8u);
        // Leftwards a rising step is one down from the sample, rightwards a falling one.
        const double* wl = SmoothSides.w[nearLeft][SmoothRuns.left[(up & 15) | ((down & 15) << 4)]];
        const double* wr = SmoothSides.w[mine][SmoothRuns.right[((down >> 4) & 15) | (up & 0xF0)]];
        up >>= 1;
        down >>= 1;
        // Summed in the order i-4 .. i-1, i+1 .. i+4.
        double sum = 1.8 * own;
        sum += wl[3] != 0.0 ? wl[3] * before[(i - 4) & 3] : 0.0;
        sum += wl[2] != 0.0 ? wl[2] * before[(i - 3) & 3] : 0.0;
        sum += wl[1] != 0.0 ? wl[1] * before[(i - 2) & 3] : 0.0;
        sum += wl[0] != 0.0 ? wl[0] * before[(i - 1) & 3] : 0.0;
        sum += wr[0] != 0.0 ? wr[0] * r1 : 0.0;
        sum += wr[1] != 0.0 ? wr[1] * r2 : 0.0;
        sum += wr[2] != 0.0 ? wr[2] * r3 : 0.0;
        sum += wr[3] != 0.0 ? wr[3] * r4 : 0.0;
        double weight = wl[4];
        weight += wr[0];
        weight += wr[1];
        weight += wr[2];
        weight += wr[3];
        before[i & 3] = own;
        nearBefore[i & 3] = static_cast<uint8_t>(mine);
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
