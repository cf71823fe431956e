#pragma once
// Synthetic laps for tests and benchmarks: samples as a logger would record
// them on a straight, a circle or a square, and a writer of working files.
// No GoogleTest here: the benchmarks link this too.
#include <cstdint>
#include <QString>
#include <QVector>
#include "common/datetime.h"
#include "common/records.h"

namespace vel::test {

// How a built lap is driven. Every sample gets the same speed, elevation and
// satellite count; tests change single samples afterwards.
struct Drive {
    double start = EncodeDateTime(2024, 4, 14, 10, 0, 0, 0);   // DtTm of the first sample
    int hz = 10;                          // fixes a second (5, 10 or 20)
    long double spd = 50;                 // km/h
    long double ido = 35.37L;             // first position, degrees
    long double kdo = 138.927L;
    long double elv = 600;                // m
    int32_t sats = 10;                    // UseSat
};

enum class Turn { Left, Right };

// samples samples in a straight line at heading (program-wide rule: north
// 180, east 270, south 0, west 90).
QVector<TLapElmRec> StraightRun(const Drive& d, long double heading, int samples);
// laps turns of a circle of radius radiusM, leaving the first position
// northwards; the last sample is back at (or next to) the first position.
QVector<TLapElmRec> CircleLap(const Drive& d, long double radiusM, Turn turn, int laps = 1);
// laps rounds of a square of side sideM, first side northwards.
QVector<TLapElmRec> SquareLap(const Drive& d, long double sideM, Turn turn, int laps = 1);

// laps rounds of a closed circuit of about lengthM metres: straights and
// corners of radii from 25 to 200 m turning both ways, driven with braking
// into the corners and acceleration out of them, d.spd the top speed. In the
// corners tighter than 50 m the nose points driftDeg further into the turn.
// The lap starts on a straight heading east-north-east.
QVector<TLapElmRec> CircuitLap(const Drive& d, long double lengthM, int laps = 1, long double driftDeg = 0);

// Writes recs as a working file, making its folder.
bool WriteWorkingFile(const QString& path, const QVector<TLapElmRec>& recs);

} // namespace vel::test
