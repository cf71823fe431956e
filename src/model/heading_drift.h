#pragma once
// Course over ground from consecutive positions and the drift angle against
// the logger's heading: the rules shared by the loaded laps, the drift work
// load and the lap analysis.
#include <array>
#include <QVector>
#include "common/records.h"

namespace vel {

// A lap carries no real heading when its first heading is exactly 0, 180 or
// 360 (Bluetooth runs without motion data, MoTeC laps). An empty lap has one.
bool LacksRealHeading(const QVector<TLapElmRec>& elm);

// Heading of the step from position 1 to position 2 by the program-wide rule
// (north 180, east 270, south 0, west 90), the longitude scaled by the cos of
// the later latitude; prev when the step has no length or no finite value.
long double StepCourse(long double ido1, long double kdo1, long double ido2, long double kdo2,
                       long double prev);
// Mean of two headings along the shorter arc; 350 and 10 give 360, kept.
long double MeanCourse(long double a, long double b);

// Course of each sample. A sample keeps its own Dir when its successor is at
// 1.5 km/h or slower; otherwise it gets the shorter-arc mean of the last fast
// step up to it and the step leaving it (the first sample the first step, the
// last sample, when fast, the last step). ido and kdo, when given, replace
// the samples' positions (the G computation runs over smoothed positions).
QVector<long double> CourseFromPositions(const QVector<TLapElmRec>& elm);
QVector<long double> CourseFromPositions(const QVector<TLapElmRec>& elm,
                                         const QVector<long double>& ido,
                                         const QVector<long double>& kdo);

// Drift angle Dir - course wrapped to [-180, 180]; 0 at 7 km/h or slower.
long double DriftAngle(long double dir, long double course, long double spd);
// True when more than five consecutive samples, the first and last of the
// lap aside, have |angle| above 10 degrees at above 15 km/h.
bool HasDriftRun(const QVector<TLapElmRec>& elm, const QVector<long double>& angle);

// Weighted mean of each value with its neighbours at +-1, +-2, +-3 that lie
// less than 210 ms away in DtTm (later sample minus earlier); weights[j - 1]
// is the weight at +-j and the sample itself weighs 1. Only unsmoothed values
// enter the sums.
QVector<long double> SmoothOverNeighbours(const QVector<TLapElmRec>& elm,
                                          const QVector<long double>& values,
                                          const std::array<long double, 3>& weights);
// The drift angle smoothing: weights 0.3, 0.2 and 0.1.
QVector<long double> SmoothDriftAngles(const QVector<TLapElmRec>& elm,
                                       const QVector<long double>& angle);

} // namespace vel
