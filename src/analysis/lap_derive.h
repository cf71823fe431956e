#pragma once
// Per-sample values derived from a loaded lap's positions, speeds and times:
// course from positions and drift angle, turning radius and G.
#include <array>
#include "model/loaded_laps.h"

namespace vel {

constexpr long double MaxRadius = 9999.9L;   // m; also "no turn"

// Course from positions (GpsDir) and smoothed drift angle (DAngle) of every
// sample; sets driftAct when the lap holds a drift run (never clears it).
void SetDElm(TLapDtRec& lap);

// Turning radius, lateral, longitudinal and combined G of every sample.
void SetGElm(TLapDtRec& lap);

// Raw turning radius at q through its neighbours p and s (plane points in
// metres): the circumradius, MaxRadius at most and MaxRadius for a chord of
// no length or three points on one line.
long double TurnRadius(long double px, long double py, long double qx, long double qy,
                       long double sx, long double sy);

// Sorts the first n (3 or 5) entries ascending; the median is entry (n-1)/2.
void SortFloatsAsc(std::array<long double, 5>& a, int n);
// As SortFloatsAsc, but five values whose centre is strictly below the other
// four stay as they are, so the centre dip is taken as the median.
void SortFloatsKeepDip(std::array<long double, 5>& a, int n);

} // namespace vel
