#pragma once
// Course over ground from consecutive positions and the drift angle against
// the logger's heading: the rules shared by the loaded laps, the drift work
// load and the lap analysis.
#include <array>
#include <cstdint>
#include <QVector>
#include "common/records.h"

namespace vel {

// A lap carries no real heading when its first heading is exactly 0, 180 or
// 360 (Bluetooth runs without motion data, MoTeC laps). An empty lap has one.
bool LacksRealHeading(const QVector<TLapElmRec>& elm);

// Heading of the step from position 1 to position 2 by the program-wide rule
// (north 180, east 270, south 0, west 90), the longitude scaled by the cos of
// the later latitude; prev when the step has no length or no finite value.
double StepCourse(double ido1, double kdo1, double ido2, double kdo2,
                       double prev);
// Mean of two headings along the shorter arc; 350 and 10 give 360, kept.
double MeanCourse(double a, double b);

// Course of each sample. A sample keeps its own Dir when its successor is at
// 1.5 km/h or slower; otherwise it gets the shorter-arc mean of the last fast
// step up to it and the step leaving it (the first sample the first step, the
// last sample, when fast, the last step). ido and kdo, when given, replace
// the samples' positions (the G computation runs over smoothed positions).
QVector<double> CourseFromPositions(const QVector<TLapElmRec>& elm);
QVector<double> CourseFromPositions(const QVector<TLapElmRec>& elm,
                                         const QVector<double>& ido,
                                         const QVector<double>& kdo);

// Drift angle Dir - course wrapped to [-180, 180]; 0 at 7 km/h or slower.
double DriftAngle(double dir, double course, double spd);
// True when more than five consecutive samples, the first and last of the
// lap aside, have |angle| above 10 degrees at above 15 km/h.
bool HasDriftRun(const QVector<TLapElmRec>& elm, const QVector<double>& angle);

// Weighted mean of each value with its neighbours at +-1, +-2, +-3 that lie
// less than 210 ms away in DtTm (later sample minus earlier); weights[j - 1]
// is the weight at +-j and the sample itself weighs 1. Only unsmoothed values
// enter the sums.
QVector<double> SmoothOverNeighbours(const QVector<TLapElmRec>& elm,
                                          const QVector<double>& values,
                                          const std::array<double, 3>& weights);
// Bit b of flags[i] set when the neighbour at Offsets[b] (-3, -2, -1, 1, 2,
// 3) of sample i lies in the 210 ms window of SmoothOverNeighbours; worked
// out once per lap for every smoothing over it.
constexpr int NeighbourOffsets[6] = {-3, -2, -1, 1, 2, 3};
void NeighbourWindows(const TLapElmRec* elm, qsizetype n, uint8_t* flags);
// SmoothOverNeighbours over packed arrays with the windows given.
void SmoothInWindows(const double* values, const uint8_t* flags, qsizetype n,
                     const std::array<double, 3>& weights, double* out);
// CourseFromPositions over packed arrays: dir and spd of the samples, their
// positions ido and kdo, the latitudes given as offsets from idoBase.
void CourseOfPositions(const double* dir, const double* spd, const double* ido, const double* kdo,
                       qsizetype n, double* course, double idoBase = 0);

// The drift angle smoothing: weights 0.3, 0.2 and 0.1.
QVector<double> SmoothDriftAngles(const QVector<TLapElmRec>& elm,
                                       const QVector<double>& angle);

} // namespace vel
