#pragma once
// Bluetooth log files (".bon", ".bon4", ".bonz", ".bnz4"): an 8-byte header,
// then fixed-size little-endian records. Record decoding, the compass heading
// from the motion sensor's yaw and the heading correction pass.
#include <QIODevice>
#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <QString>
#include "common/records.h"

namespace vel {

enum class BtKind {
    Bon,    // ".bon": 26-byte records, tenths of a second
    Bon4,   // ".bon4": 26-byte records, hundredths
    BonZ,   // ".bonz": 122-byte records with motion data, tenths
    Bnz4,   // ".bnz4": 122-byte records with motion data, hundredths
};

constexpr int BtHeaderSize = 8;
constexpr int BtRecordSizePlain = 26;
constexpr int BtRecordSizeMotion = 122;
// The speed above which a record is dropped, km/h.
constexpr double BtMaxSpdKmh = 2000.0;

// The kind named by the file's extension (case-insensitive); none for others.
std::optional<BtKind> BtKindOfFile(const QString& fileName);
int BtRecordSize(BtKind kind);
bool BtHasMotion(BtKind kind);
bool BtHundredths(BtKind kind);
// Records in a file of this size, or -1 when the size less the header is no
// whole multiple of the record size (shorter than the header included).
int64_t BtRecordCount(int64_t fileSize, BtKind kind);

// Why a record gives no sample, in the order the rules are tested.
enum class BtSkip {
    None,       // decoded
    Short,      // fewer bytes than a record
    Year,       // year before 1970
    Fraction,   // fraction byte 99 of the fourth-generation kinds
    Speed,      // above 2000 km/h (SpdKmh holds the speed)
    BadDate,    // date or time fields that form no date-time
};

// One decoded record.
struct BtRecord {
    int Year = 0, Month = 0, Day = 0;         // UTC
    int Hour = 0, Minute = 0, Second = 0;     // UTC
    int Ms = 0;                               // tenths x 100 or hundredths x 10
    double DtTm = 0;       // local date-time, days
    double Ido = 0;        // latitude, degrees
    double Kdo = 0;        // longitude, degrees
    float Elv = 0;         // elevation, m
    float Spd = 0;         // speed, km/h
    double SpdKmh = 0;     // the same before narrowing; set for BtSkip::Speed too
    TMotionSens Motion;    // zero for the 26-byte kinds; Yaw in radians as read
};

// Local date-time from a UTC one; bias in minutes, UTC minus local time.
double BtLocalDateTime(double utcDtTm, int biasMinutes);

// Decodes the record at rec (avail bytes from there on). bias: the current
// time-zone bias in minutes, read by the caller once per file. A skipped
// record still has its stored values in out, but DtTm 0.
BtSkip DecodeBtRecord(const uint8_t* rec, int64_t avail, BtKind kind, int biasMinutes, BtRecord& out);

// Compass heading in degrees (north 180, east 270) from the sensor's yaw in
// radians; always finite, above 0 and at most 360.
double CompassHeading(double yawRad);

// One sample as the heading correction sees it. Dir: the compass heading on
// entry, the corrected heading on return.
struct HeadingSample {
    double DtTm = 0;   // days
    double Ido = 0;    // degrees
    double Kdo = 0;    // degrees
    double Spd = 0;    // km/h
    double gX = 0;
    double Dir = 0;    // degrees
};

// Aligns the compass headings of one BLE-Z log, in stored order, with the
// GPS course on fast, steady stretches; only Dir changes.
void CorrectHeadings(std::span<HeadingSample> samples);

// Records read from the file at a time.
constexpr int64_t BtBlockRecords = 8192;

// Reads the header and then count records of an open Bluetooth log in blocks,
// handing each record's decoding to onRecord(skip, record), which returns
// false to stop early. false when a read came short: a read error, or the
// file shrank since its size was taken.
template <class OnRecord>
bool ReadBtRecords(QIODevice& f, BtKind kind, int64_t count, int biasMinutes, OnRecord onRecord) {
    char header[BtHeaderSize];
    if (f.read(header, BtHeaderSize) != BtHeaderSize) return false;
    const int recSize = BtRecordSize(kind);
    QByteArray block(static_cast<qsizetype>(std::min(count, BtBlockRecords) * recSize), Qt::Uninitialized);
    const auto* data = reinterpret_cast<const uint8_t*>(block.constData());
    BtRecord rec;
    for (int64_t left = count; left > 0;) {
        const int64_t n = std::min(left, BtBlockRecords);
        const int64_t bytes = n * recSize;
        if (f.read(block.data(), bytes) != bytes) return false;
        left -= n;
        for (int64_t i = 0; i < n; ++i) {
            const int64_t at = i * recSize;
            const BtSkip skip = DecodeBtRecord(data + at, bytes - at, kind, biasMinutes, rec);
            if (!onRecord(skip, static_cast<const BtRecord&>(rec))) return true;
        }
    }
    return true;
}

} // namespace vel
