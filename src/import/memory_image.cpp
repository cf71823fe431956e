#include "import/memory_image.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include "common/datetime.h"
#include "common/parsing.h"
#include "model/log_store.h"
#include "model/status_list.h"

namespace vel {

static_assert(std::endian::native == std::endian::little, "images are little-endian");

namespace {

constexpr double SecPerDay = 86400.0;
constexpr double MsPerDay = 86400000.0;

template <typename T>
T Rd(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr bool Bit(uint32_t word, int n) { return (word >> n) & 1u; }

bool AllBytes(const uint8_t* p, int n, uint8_t v) {
    for (int i = 0; i < n; ++i)
        if (p[i] != v) return false;
    return true;
}

// 16 bytes: seven 0xAA, the type, a 32-bit value, four 0xBB.
bool IsSeparator(const uint8_t* p) {
    return (Rd<uint64_t>(p) & 0x00FFFFFFFFFFFFFFu) == 0x00AAAAAAAAAAAAAAu && Rd<uint32_t>(p + 12) == 0xBBBBBBBBu;
}

// A 4 KiB-block record's first six bytes erased (0xFF); reads eight.
bool IsErased(const uint8_t* p) { return (Rd<uint64_t>(p) & 0xFFFFFFFFFFFFu) == 0xFFFFFFFFFFFFu; }

bool InRange(double v, double lo, double hi) { return v >= lo && v <= hi; }   // false for NaN

// A speed of the report line; a value that is no number says so, rather
// than reading as an accepted 0.
QString SpeedText(float v) {
    if (std::isnan(v)) return QStringLiteral("nan");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return FormatFixed(v, 2);
}

// ms / MsPerDay for every millisecond a valid fix can carry, worked out once
// by the same division.
struct MsFractions {
    double v[1000];
    MsFractions() {
        for (int ms = 0; ms < 1000; ++ms) v[ms] = ms / MsPerDay;
    }
};
const MsFractions MsOfDay;

// Local date-time of a record with a time (secs not 0); daySecs and dayPart
// hold the day part of the last whole second worked out, as consecutive
// records mostly share it (daySecs 0 at first: nothing worked out yet).
[[gnu::always_inline]] inline double RecordDateTime(int32_t secs, uint16_t ms, int32_t& daySecs, double& dayPart,
                                                double localEpoch) {
    if (secs != daySecs) {
        daySecs = secs;
        dayPart = static_cast<double>(secs) / SecPerDay + localEpoch;
    }
    // Identical to secs / SecPerDay + localEpoch + ms / MsPerDay, in that order.
    return dayPart + (ms < 1000 ? MsOfDay.v[ms] : ms / MsPerDay);
}

// |latitude| and |longitude|: the sign bits cleared.
LatLon Magnitude(LatLon v) {
    using Bits = uint64_t __attribute__((vector_size(16)));
    constexpr uint64_t NoSign = ~(uint64_t{1} << 63);
    return std::bit_cast<LatLon>(std::bit_cast<Bits>(v) & Bits{NoSign, NoSign});
}

// Bit patterns of the range tests: a positive float orders as its bits do,
// and no number lies above infinity. Speed bits less 1 lie below SpdBitsMax
// for 0 < speed <= 2000 only: 0, -0 and negative speeds wrap round above it.
constexpr uint32_t SpdBitsMax = std::bit_cast<uint32_t>(2000.0f);
constexpr uint32_t ExpBits32 = 0x7F800000u;

} // namespace

double LogImageDecoder::RecordTime(int32_t secs, uint16_t ms) {
    return RecordDateTime(secs, ms, daySecs_, dayPart_, localEpoch_);
}

int32_t LogRecSize(uint32_t word) {
    struct Field { int bit, size; };
    static constexpr Field Fields[] = {{0, 4}, {1, 2}, {2, 8}, {3, 8}, {4, 4}, {5, 4},
                                       {12, 2}, {17, 2}, {18, 2}, {21, 52}};
    int32_t n = 2;
    for (const Field& f : Fields)
        if (Bit(word, f.bit)) n += f.size;
    return n;
}

LogImageDecoder::LogImageDecoder(LogStore& store, double localEpoch, StatusList& status)
    : store_(store), localEpoch_(localEpoch), from_(EncodeDateTime(2021, 1, 1, 0, 0, 0, 0)), status_(status) {}

LogImageDecoder::SectorLayout LogImageDecoder::MakeSectorLayout(uint32_t word) {
    // Field sizes of bits 0 to 12, in the MTK logger's order.
    static constexpr int32_t HeadSizes[13] = {4, 2, 8, 8, 4, 4, 4, 2, 4, 2, 2, 2, 2};
    SectorLayout l;
    l.word = word;
    int32_t off = 0;
    for (int bit = 0; bit < 13; ++bit) {
        if (!Bit(word, bit)) continue;
        switch (bit) {
        case 0: l.offTime = off; break;
        case 2: l.offIdo = off; break;
        case 3: l.offKdo = off; break;
        case 4: l.offElv = off; break;
        case 5: l.offSpd = off; break;
        case 12: l.offSat = off; break;
        default: break;
        }
        off += HeadSizes[bit];
    }
    l.head = off;
    if (Bit(word, 13))
        l.perSat = 4 + (Bit(word, 14) ? 2 : 0) + (Bit(word, 15) ? 2 : 0) + (Bit(word, 16) ? 2 : 0);
    off = 0;
    if (Bit(word, 17)) off += 2;
    if (Bit(word, 18)) {
        l.offMs = off;
        off += 2;
    }
    if (Bit(word, 19)) off += 8;
    l.tail = off;
    return l;
}

constexpr LogImageDecoder::BlockLayout LogImageDecoder::MakeBlockLayout(uint32_t word) {
    BlockLayout l;
    l.word = word;
    int32_t off = 0;
    auto field = [&](int bit, int32_t size, int32_t* offset) {
        if (!Bit(word, bit)) return;
        if (offset) *offset = off;
        off += size;
    };
    field(0, 4, &l.offTime);
    field(1, 2, &l.offValid);
    field(2, 8, &l.offIdo);
    field(3, 8, &l.offKdo);
    field(4, 4, &l.offElv);
    field(5, 4, &l.offSpd);
    field(12, 2, &l.offSat);
    field(17, 2, nullptr);
    field(18, 2, &l.offMs);
    field(21, 52, nullptr);
    l.size = off + 2;   // "*" and checksum, not read
    return l;
}

int64_t LogImageDecoder::DecLogRec(const uint8_t* rec, int64_t room, const SectorLayout& l,
                                   TLogItem& item, bool& rejected) {
    rejected = true;
    item = TLogItem();
    // The length depends on the satellite count inside the record.
    if (l.head > room) return l.head + l.tail + 2;
    if (l.offSat >= 0) {
        item.sat_view = rec[l.offSat];
        item.sat_used = rec[l.offSat + 1];
    }
    const int64_t satEnd = l.head + static_cast<int64_t>(l.perSat) * item.sat_view;
    const int64_t fields = satEnd + l.tail;
    const int64_t len = fields + 2;
    if (len > room) return len;

    const int32_t secs = l.offTime >= 0 ? Rd<int32_t>(rec + l.offTime) : 0;
    if (l.offIdo >= 0) item.Ido = Rd<double>(rec + l.offIdo);
    if (l.offKdo >= 0) item.Kdo = Rd<double>(rec + l.offKdo);
    if (l.offElv >= 0) item.Elv = Rd<float>(rec + l.offElv);
    if (l.offSpd >= 0) item.Spd = Rd<float>(rec + l.offSpd);
    if (l.offMs >= 0) item.ms = Rd<uint16_t>(rec + satEnd + l.offMs);

    if (rec[fields] != '*') return len;
    uint8_t sum = 0;
    for (int64_t i = 0; i < fields; ++i) sum ^= rec[i];
    bool bad = rec[fields + 1] != sum;
    if (!InRange(item.Ido, -90, 90) || !InRange(item.Kdo, -180, 180)) {
        bad = true;
    } else if (!InRange(item.Spd, 0, 2000)) {
        bad = true;
        status_.Add(QStringLiteral("spd abnormal %1 km/h").arg(SpeedText(item.Spd)) +
                    FormatDateTime(QStringLiteral(" yyyymmdd_hhnnss"), secs / SecPerDay + localEpoch_));
    }
    // A stored sample is always a number.
    if (!std::isfinite(item.Elv)) bad = true;
    if (item.ms > 999) bad = true;
    if (l.word != LogFmtStd && l.word != LogFmtNoDir && l.word != LogFmtSat) {
        store_.LogFmtErr = true;
        bad = true;
    }
    if (l.word == LogFmtSat) store_.SatDataLog = true;
    if (bad || secs == 0) return len;

    item.DtTm = RecordTime(secs, item.ms);
    rejected = false;
    return len;
}

void LogImageDecoder::DecLogSector(int32_t k) {
    if (k < 0 || (static_cast<int64_t>(k) + 1) * LogSectorSize > store_.LogDump.size) return;
    const uint8_t* s = store_.LogDump.data() + static_cast<int64_t>(k) * LogSectorSize;
    SectorLayout layout = MakeSectorLayout(Rd<uint32_t>(s + 2));
    int64_t p = LogHeaderSize;
    while (p < LogSectorSize) {
        const int64_t room = LogSectorSize - p;
        const uint8_t* at = s + p;
        if (room >= 16 && IsSeparator(at)) {
            if (at[7] == 2) layout = MakeSectorLayout(Rd<uint32_t>(at + 8));
            p += 16;
            continue;
        }
        // Four bytes, or what is left of the sector.
        const int n = static_cast<int>(std::min<int64_t>(room, 4));
        if (AllBytes(at, n, 0xAA)) {
            p += 16;
            continue;
        }
        if (AllBytes(at, n, 0xFF)) {   // erased memory
            p = (p / 16 + 1) * 16;
            continue;
        }
        TLogItem item;
        bool rejected = true;
        const int64_t len = DecLogRec(at, room, layout, item, rejected);
        if (!rejected && len <= room) {
            store_.AppendLogItem(item, status_);
            p += len;
            continue;
        }
        ++rejected_;
        // Resynchronise behind the next "*" and its checksum byte. A length
        // running past the sector's end (a corrupt count) is searched only
        // up to that end, so the good records behind it are still found.
        const void* star = std::memchr(at, '*', static_cast<size_t>(std::min(len, room)));
        p = star ? (static_cast<const uint8_t*>(star) - s) + 2 : p + len;
    }
}

template <bool Fixed>
int32_t LogImageDecoder::WalkBlock(const uint8_t* b, int32_t p, BlockLayout& layout) {
    static constexpr BlockLayout Std = MakeBlockLayout(LogFmt4KStd);
    const BlockLayout& l = Fixed ? Std : layout;
    // The walk's state in locals: the stores of a record's byte fields may
    // alias anything reached through a pointer, so members would be read
    // back after every record.
    int32_t settle = store_.SettleCnt;
    int64_t rejected = rejected_;
    int32_t daySecs = daySecs_;
    double dayPart = dayPart_;
    const double epoch = localEpoch_, from = from_;
    LogAppender append(store_);
    while (p + 16 <= LogBlockSize && p + l.size <= LogBlockSize) {
        const uint8_t* at = b + p;
        if (IsSeparator(at)) {
            p += 16;
            if (at[7] != 2) continue;
            const uint32_t word = Rd<uint32_t>(at + 8);
            if (Fixed && word == LogFmt4KStd) continue;
            layout = MakeBlockLayout(word);
            if (Fixed) break;
            continue;
        }
        p += l.size;
        // The image is read ahead: its lines otherwise arrive late (never
        // faults, even past the buffer).
        __builtin_prefetch(at + 1024);
        if (IsErased(at)) continue;
        // After a fix that is not valid the next five records still settle.
        const uint16_t valid = l.offValid >= 0 ? Rd<uint16_t>(at + l.offValid) : 0;
        if (valid != 3) {
            settle = 5;
            ++rejected;
            continue;
        }
        if (settle > 0) {
            --settle;
            ++rejected;
            continue;
        }
        // A format without every needed field keeps nothing.
        if ((l.word & LogFmt4KNeeded) != LogFmt4KNeeded) {
            ++rejected;
            continue;
        }
        const int32_t secs = Rd<int32_t>(at + l.offTime);
        const LatLon pos = {Rd<double>(at + l.offIdo), Rd<double>(at + l.offKdo)};
        const uint32_t elvBits = Rd<uint32_t>(at + l.offElv);
        const uint32_t spdBits = Rd<uint32_t>(at + l.offSpd);
        const uint16_t ms = Rd<uint16_t>(at + l.offMs);
        // The range tests: |latitude| <= 90 and |longitude| <= 180 side by
        // side, then on the bits 0 < speed <= 2000 and a finite elevation
        // (each false for no number), whole milliseconds below 999, a time.
        const auto inside = Magnitude(pos) <= LatLon{90, 180};
        if (!(inside[0] && inside[1] && spdBits - 1u < SpdBitsMax && (elvBits & ExpBits32) != ExpBits32 &&
              ms <= 998 && secs != 0)) {
            ++rejected;
            continue;
        }
        const double dtTm = RecordDateTime(secs, ms, daySecs, dayPart, epoch);
        if (!(dtTm >= from)) {
            ++rejected;
            continue;
        }
        auto fill = [&](TLogItem& item) {
            item.DtTm = dtTm;
            item.Ido = pos[0];
            item.Kdo = pos[1];
            item.Elv = std::bit_cast<float>(elvBits);
            item.Spd = std::bit_cast<float>(spdBits);
            item.Dir = 0;
            item.valid = valid;
            item.ms = ms;
            item.sat_used = at[l.offSat + 1];
            item.sat_view = at[l.offSat];
        };
        // Written straight into the store's next place; once the store is
        // full, aside, to be reported.
        if (TLogItem* place = append.Next()) {
            fill(*place);
            append.Keep(dtTm, pos);
        } else {
            TLogItem aside;
            fill(aside);
            append.Sync();
            store_.AppendLogItem(aside, status_);
        }
    }
    store_.SettleCnt = settle;
    rejected_ = rejected;
    daySecs_ = daySecs;
    dayPart_ = dayPart;
    return p;
}

void LogImageDecoder::DecLogBlock(int32_t k) {
    if (k < 0 || (static_cast<int64_t>(k) + 1) * LogBlockSize > store_.LogDump.size) return;
    const uint8_t* b = store_.LogDump.data() + static_cast<int64_t>(k) * LogBlockSize;
    BlockLayout layout = MakeBlockLayout(Rd<uint32_t>(b + 2));
    int32_t p = LogHeaderSize;
    // Records in the format the program sets on the logger are walked with
    // its offsets known; any other format from where it begins.
    if (layout.word == LogFmt4KStd) p = WalkBlock<true>(b, p, layout);
    WalkBlock<false>(b, p, layout);
}

void DecodeLogImage(LogStore& store, LogImageLayout layout, int32_t count, double localEpoch,
                    StatusList& status) {
    store.Clear();
    store.LogFmtErr = false;
    store.SatDataLog = false;
    store.SettleCnt = 0;
    LogImageDecoder dec(store, localEpoch, status);
    store.StartPreselect(LocalNow(localEpoch));
    if (layout == LogImageLayout::Sectors64K) {
        const int64_t n = std::min<int64_t>(count, store.LogDump.size / LogSectorSize);
        for (int32_t k = 0; k < n; ++k) dec.DecLogSector(k);
    } else {
        // The speeds are smoothed right behind the walk, while the samples
        // are still in the cache.
        SpeedSmoother smoother(store);
        const int64_t n = std::min<int64_t>(count, store.LogDump.size / LogBlockSize);
        for (int32_t k = 0; k < n; ++k) {
            dec.DecLogBlock(k);
            smoother.Feed();
        }
        smoother.Finish();
    }
    if (dec.Rejected() > 0) status.Add(QStringLiteral("%1 records rejected").arg(dec.Rejected()));
    store.FinishPreselect();
}

} // namespace vel
