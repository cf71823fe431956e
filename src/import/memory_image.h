#pragma once
// Decoders of the logger's memory images (LogDump) into the log store: the
// 64 KiB sectors of the QK3 and older loggers (".bin", ".binx") and the
// 4 KiB blocks of the QK4 (".bnx4").
#include <cstdint>
#include "common/records.h"

namespace vel {

struct LogStore;
class StatusList;

constexpr int32_t LogSectorSize = 65536;
constexpr int32_t LogBlockSize = 4096;
constexpr int32_t LogHeaderSize = 512;    // records start here; format word at +2

// Format words of sector records that are accepted.
constexpr uint32_t LogFmtStd = 0x8004107D;
constexpr uint32_t LogFmtNoDir = 0x8004103D;
constexpr uint32_t LogFmtSat = 0x8005F07D;   // with per-satellite data
// Fields a 4 KiB-block record must carry: time, validity, position,
// elevation, speed, satellites, milliseconds.
constexpr uint32_t LogFmt4KNeeded = 0x4103F;
// The format word the program sets on a QK4: those fields and no others.
constexpr uint32_t LogFmt4KStd = 0x4103F;

// Length of a 4 KiB-block record of the given format word.
int32_t LogRecSize(uint32_t word);

// One pass over an image in the store's LogDump. Every read stays inside the
// sector or block being walked: a record that would run past its end is
// rejected unread and ends the walk of that sector or block.
class LogImageDecoder {
public:
    LogImageDecoder(LogStore& store, double localEpoch, StatusList& status);

    // Decodes sector k (bytes k * 65536 on); nothing when it lies beyond LogDump.
    void DecLogSector(int32_t k);
    // Decodes block k (bytes k * 4096 on); nothing when it lies beyond LogDump.
    void DecLogBlock(int32_t k);

    // Records refused or dropped so far.
    int64_t Rejected() const { return rejected_; }

private:
    struct SectorLayout {
        uint32_t word = 0;
        int32_t offTime = -1, offIdo = -1, offKdo = -1, offElv = -1, offSpd = -1, offSat = -1;
        int32_t head = 0;        // field bytes before the per-satellite block
        int32_t perSat = 0;      // per-satellite bytes, 0 without that block
        int32_t offMs = -1;      // from the end of the per-satellite block
        int32_t tail = 0;        // field bytes after it
    };
    struct BlockLayout {
        uint32_t word = 0;
        int32_t offTime = -1, offValid = -1, offIdo = -1, offKdo = -1, offElv = -1, offSpd = -1,
                offSat = -1, offMs = -1;
        int32_t size = 2;
    };
    static SectorLayout MakeSectorLayout(uint32_t word);
    static constexpr BlockLayout MakeBlockLayout(uint32_t word);

    // Decodes the sector record at rec with room readable bytes into item;
    // returns its length, more than room when it does not fit.
    int64_t DecLogRec(const uint8_t* rec, int64_t room, const SectorLayout& layout,
                      TLogItem& item, bool& rejected);
    // Walks block b's records from offset p on, keeping those that pass.
    // Fixed: layout is the standard format's, and the walk stops behind a
    // separator that switches to another (layout then holds it). Returns
    // where it stopped.
    template <bool Fixed>
    int32_t WalkBlock(const uint8_t* b, int32_t p, BlockLayout& layout);

    LogStore& store_;
    double localEpoch_;
    double from_;            // 4 KiB-block records dated before 2021 are refused
    // The record time's day part of the last whole second seen: consecutive
    // records mostly share it, and the division is then not done again.
    int32_t daySecs_ = 0;
    double dayPart_ = 0;
    double RecordTime(int32_t secs, uint16_t ms);
    StatusList& status_;
    int64_t rejected_ = 0;
};

enum class LogImageLayout { Sectors64K, Blocks4K };

// Decodes the image in LogDump: empties the store and its flags, decodes
// sectors or blocks 0 to count - 1 (those inside LogDump), smooths the speeds
// of a 4 KiB-block image, reports the rejected records, pre-selects the
// blocks and activates their samples.
void DecodeLogImage(LogStore& store, LogImageLayout layout, int32_t count, double localEpoch,
                    StatusList& status);

} // namespace vel
