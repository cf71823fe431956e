#pragma once
// Shared record types of the log store and the lap files.
#include <array>
#include <cstdint>
#include <QByteArray>
#include <QVector>
#include <QString>

namespace vel {

// One decoded GPS sample.
struct TLogItem {
    // Widest fields first, so a sample takes 48 bytes: every pass over a
    // log moves its samples through memory.
    double DtTm = 0;        // local date-time, days since 1899-12-30
    double Ido = 0;         // latitude, degrees
    double Kdo = 0;         // longitude, degrees
    float Elv = 0;          // elevation, m
    float Spd = 0;          // speed, km/h
    float Dir = 0;          // heading, degrees (program-wide rule)
    int32_t BlkIdx = 0;     // index of its log block
    uint16_t valid = 0;     // fix-validity word of the source record
    uint16_t ms = 0;        // milliseconds of the fix
    uint8_t sat_used = 0;   // satellites used
    uint8_t sat_view = 0;   // satellites in view
    bool Act = false;       // the sample's log block is selected
};
static_assert(sizeof(TLogItem) == 48);

// Motion-sensor sample parallel to TLogItem.
struct TMotionSens {
    double yawX = 0, yawY = 0, yawZ = 0;
    double vX = 0, vY = 0, vZ = 0;
    double gX = 0, gY = 0, gZ = 0;
    double Pitch = 0, Roll = 0, Yaw = 0;
};

// One block of the log: a new block begins at a gap of one minute or more.
struct TLogBlock {
    double DtTm = 0;        // date-time of its first sample
    QString Title;          // "YYYYMMDD_HHNN" of its first sample
    bool Act = false;       // selected
    int32_t RecNum = 0;     // number of samples
};

// One sample of a lap; the 128-byte record of run files and working files.
// In memory every real is a double: the files' 80-bit reals are decoded at
// the file boundary and nothing the program shows needs more. The bytes a
// record was read from are not kept here but in a side table beside the
// records (LapRawTable, see ReadLapFile), so that an unedited record goes
// back to a file byte for byte; RawIdx is its place there. Only records that
// field-by-field encoding would not give back (reserved bytes set, 80-bit
// reals beyond double) need a place: those this program writes never do.
struct TLapElmRec {
    static constexpr int Size = 128;

    double DtTm = 0;        // local date-time, days
    double Tm = 0;          // time since the lap's first sample, days
    double Sec = 0;         // the same, seconds
    double Ido = 0;         // latitude, degrees
    double Kdo = 0;         // longitude, degrees
    double Elv = 0;         // elevation, m
    double Spd = 0;         // speed, km/h
    double Dir = 0;         // heading, degrees
    double Dist = 0;        // cumulative distance, km
    int32_t UseSat = 0;     // satellites used
    int32_t RawIdx = -1;    // place in the side table of the bytes read; -1 none needed
};

// The side table: the bytes of the records that need them.
using LapElmBytes = std::array<uint8_t, TLapElmRec::Size>;
using LapRawTable = QVector<LapElmBytes>;

// Lap-list row figures used for ranking.
struct TLapStrLstRec {
    long double Sec = 0;    // run duration, seconds
    long double MaxSpd = 0; // highest speed, km/h
};

// x87 80-bit extended codec (8-byte significand with explicit integer bit,
// then 15-bit exponent with bias 16383 and the sign bit), little-endian.
void EncodeExtended(long double v, uint8_t out[10]);
long double DecodeExtended(const uint8_t in[10]);

// Decodes one record from 128 bytes (80-bit reals rounded to double).
TLapElmRec ReadLapElm(const uint8_t* bytes);
// Decodes one record when field-by-field encoding gives its bytes back
// (reserved bytes zero, every real a double or zero); false, out unchanged,
// when the record needs its bytes kept. Cheaper than ReadLapElm.
bool ReadPlainLapElm(const uint8_t* bytes, TLapElmRec& out);
// Encodes one record into 128 bytes. Given the 128 bytes it was read from
// (raw), those are kept: reserved bytes and every field whose value is
// unchanged, so an unedited record goes back byte for byte. Without raw the
// record is encoded field by field with zero reserved bytes.
void WriteLapElm(const TLapElmRec& rec, const uint8_t* raw, uint8_t* bytes);
// Field-by-field encoding, ignoring any raw copy.
void EncodeLapElm(const TLapElmRec& rec, uint8_t* bytes);

} // namespace vel
