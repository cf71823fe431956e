#pragma once
// Bluetooth log files for tests and benchmarks, built from raw record fields.
#include <cstdint>
#include <QByteArray>
#include <QString>
#include <QVector>
#include "common/records.h"
#include "import/bluetooth_records.h"

namespace vel::test {

// The stored fields of one record, as the logger writes them.
struct BtSampleSpec {
    uint16_t SpdRaw = 0;      // 0.01 m/s
    int32_t IdoRaw = 0;       // 1e-7 degree
    int32_t KdoRaw = 0;       // 1e-7 degree
    int32_t ElvRaw = 0;       // 0.1 m
    uint16_t Year = 2021;     // UTC
    uint8_t Month = 5, Day = 3, Hour = 1, Minute = 2, Second = 3;
    uint8_t Fraction = 4;     // tenths or hundredths by the kind
    TMotionSens Motion;       // written for the motion kinds only
};

// Sets the stamp from a UTC date-time in days, the fraction in the kind's unit.
void SetBtUtc(BtSampleSpec& s, double utcDtTm, BtKind kind);
// Raw position and speed from degrees and km/h (rounded to the stored units).
void SetBtPosition(BtSampleSpec& s, double ido, double kdo);
void SetBtSpeed(BtSampleSpec& s, double kmh);
// The yaw in radians that reads as this compass heading (degrees).
double YawForCompass(double compassDeg);

// Header and records of a log of the kind.
QByteArray BuildBtLog(BtKind kind, const QVector<BtSampleSpec>& samples);
// Writes it to path (folder made); false when the write fails.
bool WriteBtLog(const QString& path, BtKind kind, const QVector<BtSampleSpec>& samples);

// A straight run: n samples every intervalSec from utcStart along courseDeg
// (north 180, east 270) at kmh, gX 0, the compass reading the course plus
// compassOffsetDeg.
struct StraightRunSpec {
    int n = 20;
    double ido = 35.0, kdo = 139.0;
    double courseDeg = 270.0;
    double kmh = 60.0;
    double intervalSec = 0.2;
    double utcStart = 44319.0;   // 2021-05-03 00:00 UTC
    double compassOffsetDeg = 0.0;
};
QVector<BtSampleSpec> StraightRun(const StraightRunSpec& drive, BtKind kind);

// A lap of an oval circuit driven again and again: n samples at 10 Hz with
// straights and bends, gX high in the bends, the compass 15 degrees off.
QVector<BtSampleSpec> OvalRun(int n, BtKind kind);

} // namespace vel::test
