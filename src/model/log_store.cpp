#include "model/log_store.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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
    Live = LivePreselect();
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
    LogAppender append(*this);
    TLogItem* place = append.Next();
    if (!place) {
        // Keeping what is stored whole beats overwriting the last sample.
        if (!LogFull)
            status.Add(QStringLiteral("log full %1 records, later records dropped").arg(LogItemNum));
        LogFull = true;
        return false;
    }
    *place = item;
    append.Keep();
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

// Sums of the samples at it[0 .. m - 1] (speeds s[4 ..], their neighbours
// around them) with their weight rows, in the order i-4 .. i-1, i+1 .. i+4.
// Plain: no speed is no number, infinite or -0, so a neighbour weighing 0
// may be added as well: its +0 or -0 leaves a sum that is not -0 as it is.
template <bool Plain>
void SmoothSums(TLogItem* it, int32_t m, const double* s, const uint8_t* rowL, const uint8_t* rowR) {
    const double(*W)[5] = &SmoothSides.w[0][0];
    for (int32_t j = 0; j < m; ++j) {
        const double* wl = W[rowL[j]];
        const double* wr = W[rowR[j]];
        const double* v = s + j;
        double sum = 1.8 * v[4];
        auto add = [&sum](double w, double x) {
            if (Plain || w != 0.0) sum += w * x;
        };
        add(wl[3], v[0]);
        add(wl[2], v[1]);
        add(wl[1], v[2]);
        add(wl[0], v[3]);
        add(wr[0], v[5]);
        add(wr[1], v[6]);
        add(wr[2], v[7]);
        add(wr[3], v[8]);
        double weight = wl[4];
        weight += wr[0];
        weight += wr[1];
        weight += wr[2];
        weight += wr[3];
        it[j].Spd = static_cast<float>(sum / weight);
    }
}

using V2 = double __attribute__((vector_size(16)));

V2 Load2(const double* p) {
    V2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// flags[k] for k < m: bit d - 1 set where |t[k + d] - t[k]| < the window
// (t[0 .. m + 3] readable).
void WindowFlags(const double* t, int32_t m, uint8_t* flags) {
    // Times that never fall (the usual log): no difference is negative, and
    // one within the window puts the nearer ones within it too (a
    // difference from a larger number never rounds smaller). The flags are
    // then 0, 1, 3, 7 or 15, at a steady rate found by one or two tests.
    using M2 = int64_t __attribute__((vector_size(16)));
    M2 falls = {0, 0};   // a lane set where a time is not at least its forerunner (or no number)
    int32_t j = 0;
    for (; j + 2 <= m + 3; j += 2) falls |= ~(Load2(t + j + 1) >= Load2(t + j));
    bool rising = !(falls[0] | falls[1]);
    for (; j < m + 3; ++j) rising = rising && t[j + 1] >= t[j];
    if (rising) {
        for (int32_t k = 0; k < m; ++k) {
            const double* u = t + k;
            uint8_t f;
            if (u[4] - u[0] < SmoothWindow)
                f = 15;
            else if (u[2] - u[0] < SmoothWindow)
                f = u[3] - u[0] < SmoothWindow ? 7 : 3;
            else
                f = u[1] - u[0] < SmoothWindow ? 1 : 0;
            flags[k] = f;
        }
        return;
    }
    int32_t k = 0;
#if defined(__SSE2__)
    // Two samples a vector; the four compare masks' bit pairs are then
    // split into the two samples' flags.
    static constexpr struct Split {
        uint8_t lane[2][256];
        constexpr Split() : lane{} {
            for (int c = 0; c < 256; ++c)
                for (int d = 0; d < 4; ++d) {
                    lane[0][c] = static_cast<uint8_t>(lane[0][c] | ((c >> (2 * d)) & 1) << d);
                    lane[1][c] = static_cast<uint8_t>(lane[1][c] | ((c >> (2 * d + 1)) & 1) << d);
                }
        }
    } split;
    const __m128d hi = _mm_set1_pd(SmoothWindow), lo = _mm_set1_pd(-SmoothWindow);
    for (; k + 2 <= m; k += 2) {
        const __m128d tk = _mm_loadu_pd(t + k);
        unsigned c = 0;
        for (int d = 1; d <= 4; ++d) {
            const __m128d x = _mm_sub_pd(_mm_loadu_pd(t + k + d), tk);
            // Both comparisons false for no number, as |x| < window is.
            const __m128d near = _mm_and_pd(_mm_cmplt_pd(x, hi), _mm_cmpgt_pd(x, lo));
            c |= static_cast<unsigned>(_mm_movemask_pd(near)) << (2 * (d - 1));
        }
        flags[k] = split.lane[0][c];
        flags[k + 1] = split.lane[1][c];
    }
#endif
    for (; k < m; ++k) {
        unsigned mine = 0;
        for (int d = 1; d <= 4; ++d) mine |= unsigned(std::fabs(t[k + d] - t[k]) < SmoothWindow) << (d - 1);
        flags[k] = static_cast<uint8_t>(mine);
    }
}

// SmoothSums<true> two samples at a time, one in each lane of a vector:
// per sample the same operations in the same order.
void SmoothSumsPaired(TLogItem* it, int32_t m, const double* s, const uint8_t* rowL, const uint8_t* rowR) {
    const double(*W)[5] = &SmoothSides.w[0][0];
    int32_t j = 0;
    for (; j + 2 <= m; j += 2) {
        const double* la = W[rowL[j]];
        const double* lb = W[rowL[j + 1]];
        const double* ra = W[rowR[j]];
        const double* rb = W[rowR[j + 1]];
        const double* v = s + j;
        auto spd = [v](int k) { return Load2(v + k); };
        V2 sum = V2{1.8, 1.8} * spd(4);
        sum += V2{la[3], lb[3]} * spd(0);
        sum += V2{la[2], lb[2]} * spd(1);
        sum += V2{la[1], lb[1]} * spd(2);
        sum += V2{la[0], lb[0]} * spd(3);
        sum += V2{ra[0], rb[0]} * spd(5);
        sum += V2{ra[1], rb[1]} * spd(6);
        sum += V2{ra[2], rb[2]} * spd(7);
        sum += V2{ra[3], rb[3]} * spd(8);
        V2 weight = V2{la[4], lb[4]};
        weight += V2{ra[0], rb[0]};
        weight += V2{ra[1], rb[1]};
        weight += V2{ra[2], rb[2]};
        weight += V2{ra[3], rb[3]};
        const V2 q = sum / weight;
        it[j].Spd = static_cast<float>(q[0]);
        it[j + 1].Spd = static_cast<float>(q[1]);
    }
    if (j < m) SmoothSums<true>(it + j, m - j, s + j, rowL + j, rowR + j);
}

} // namespace

// Samples base .. base + m - 1 (each with four samples after it): their
// speeds (widened to double, exactly) and times are copied out, each
// sample's weight rows worked out from its window flags and the steps
// between its neighbours, then the sums taken over the copied, unsmoothed
// speeds. Every pass but the copy runs over plain arrays, in vectors.
// carry holds the four samples before base, unsmoothed, and is left holding
// those before base + m.
void SpeedSmoother::SmoothChunk(int32_t base, int32_t m) {
    TLogItem* it = store_.LogItem.data();
    // s[k], sd[k], t[k] and flags[k] belong to sample base - 4 + k.
    float s[Chunk + 8];
    double sd[Chunk + 8];
    double t[Chunk + 8];
    uint8_t flags[Chunk + 4];
    uint8_t rises[Chunk + 8], falls[Chunk + 8];   // from s[k] to s[k + 1]
    uint8_t rowL[Chunk], rowR[Chunk];
    std::memcpy(s, carrySpd_, sizeof carrySpd_);
    std::memcpy(flags, carryFlags_, sizeof carryFlags_);
    for (int32_t k = 0; k < 4; ++k) sd[k] = s[k];
    for (int32_t k = 4; k < m + 8; ++k) {
        s[k] = it[base + k - 4].Spd;
        sd[k] = s[k];
        t[k] = it[base + k - 4].DtTm;
    }
    WindowFlags(t + 4, m, flags + 4);
    for (int32_t k = 0; k < m + 7; ++k) {
        rises[k] = s[k] < s[k + 1];
        falls[k] = s[k] > s[k + 1];
    }
    for (int32_t j = 0; j < m; ++j) {
        // Runs of steps the same way, outwards from the sample at j + 4.
        const uint8_t* r = rises + j;
        const uint8_t* f = falls + j;
        const uint8_t lr1 = r[3], lr2 = lr1 & r[2], lr3 = lr2 & r[1], lr4 = lr3 & r[0];
        const uint8_t lf1 = f[3], lf2 = lf1 & f[2], lf3 = lf2 & f[1], lf4 = lf3 & f[0];
        const uint8_t rr1 = r[4], rr2 = rr1 & r[5], rr3 = rr2 & r[6], rr4 = rr3 & r[7];
        const uint8_t rf1 = f[4], rf2 = rf1 & f[5], rf3 = rf2 & f[6], rf4 = rf3 & f[7];
        const uint8_t runL = std::max<uint8_t>(lr1 + lr2 + lr3 + lr4, lf1 + lf2 + lf3 + lf4);
        const uint8_t runR = std::max<uint8_t>(rr1 + rr2 + rr3 + rr4, rf1 + rf2 + rf3 + rf4);
        const uint8_t nearLeft = (flags[j + 3] & 1u) | (flags[j + 2] & 2u) | (flags[j + 1] & 4u) |
                                 (flags[j] & 8u);
        rowL[j] = static_cast<uint8_t>(nearLeft * 5 + runL);
        rowR[j] = static_cast<uint8_t>(flags[j + 4] * 5 + runR);
    }
    uint32_t odd = 0;
    for (int32_t k = 0; k < m + 8; ++k) {
        const uint32_t bits = std::bit_cast<uint32_t>(s[k]);
        odd |= uint32_t((bits & 0x7F800000u) == 0x7F800000u) | uint32_t(bits == 0x80000000u);
    }
    if (!odd)
        SmoothSumsPaired(it + base, m, sd, rowL, rowR);
    else
        SmoothSums<false>(it + base, m, sd, rowL, rowR);
    std::memcpy(carrySpd_, s + m, sizeof carrySpd_);
    std::memcpy(carryFlags_, flags + m, sizeof carryFlags_);
}

void SpeedSmoother::Feed() {
    while (done_ + Chunk + 4 <= store_.LogItemNum) {
        SmoothChunk(done_, Chunk);
        done_ += Chunk;
    }
}

void SpeedSmoother::Finish() {
    const int32_t n = store_.LogItemNum;
    if (n <= 0) return;
    TLogItem* it = store_.LogItem.data();
    const auto& Weight = SmoothWeight;
    constexpr double Window = SmoothWindow;
    const int32_t inner = std::max(0, n - 4);
    Feed();
    if (done_ < inner) SmoothChunk(done_, inner - done_);
    // The last four samples, with the bounds checked: the unsmoothed speeds
    // of the four samples before i are kept aside, as are their window flags
    // (bit d - 1: sample j + d lies within 210 ms of sample j, either way).
    float before[4] = {};
    uint8_t nearBefore[4] = {};
    for (int32_t q = 0; q < 4; ++q) {
        const int32_t j = inner - 4 + q;
        if (j < 0) continue;
        before[j & 3] = carrySpd_[q];
        nearBefore[j & 3] = carryFlags_[q];
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

void LogStore::SmoothLogSpd() { SpeedSmoother(*this).Finish(); }

namespace {

// LogRect from the bounds of the active samples, or of all samples when none
// is active.
void SetRect(LogStore& st, const LogBounds& active) {
    // Taken in double and widened at the end: the same values.
    LogBounds b = active;
    if (b.Empty()) {
        b = LogBounds();
        for (int32_t i = 0; i < st.LogItemNum; ++i) b.Widen(st.LogItem[i].Ido, st.LogItem[i].Kdo);
    }
    st.LogRect.IdoMin = b.lo[0];
    st.LogRect.IdoMax = b.hi[0];
    st.LogRect.KdoMin = b.lo[1];
    st.LogRect.KdoMax = b.hi[1];
}

} // namespace

bool LogStore::SelectsBlock(int32_t b, double nowLocal) const {
    static const double from = EncodeDateTime(2000, 1, 1, 0, 0, 0, 0);
    const double t = LogBlock[b].DtTm;
    return t > from && t <= nowLocal && (b == 0 || t >= LogBlock[b - 1].DtTm);
}

void LogStore::PriSelectLog(double nowLocal) {
    for (int32_t b = 0; b < LogBlockNum(); ++b)
        if (SelectsBlock(b, nowLocal)) LogBlock[b].Act = true;
}

void LogStore::SetMbActAndRect() {
    LogBounds active;
    const QVector<TLogBlock>& blocks = LogBlock;
    const int32_t blockNum = LogBlockNum();
    for (int32_t i = 0; i < LogItemNum; ++i) {
        TLogItem& s = LogItem[i];
        s.Act = s.BlkIdx >= 0 && s.BlkIdx < blockNum && blocks[s.BlkIdx].Act;
        if (s.Act) active.Widen(s.Ido, s.Kdo);
    }
    SetRect(*this, active);
}

void LogStore::StartPreselect(double nowLocal) {
    Live = LivePreselect();
    Live.on = true;
    Live.nowLocal = nowLocal;
}

void LogStore::FinishPreselect() {
    if (!Live.on) return;
    SetRect(*this, Live.active);
    Live = LivePreselect();
}

double LocalNow(double localEpoch) {
    return localEpoch + static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 86400000.0;
}

} // namespace vel
