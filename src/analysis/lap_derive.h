#pragma once
// Per-sample values derived from a loaded lap's positions, speeds and times:
// course from positions and drift angle, turning radius and G.
#include <array>
#include "model/loaded_laps.h"

namespace vel {

constexpr double MaxRadius = 9999.9;   // m; also "no turn"

// Both run in double over packed arrays kept between calls (one lap after
// the other on the GUI thread), so a derive allocates nothing of its own.

// Course from positions (GpsDir) and smoothed drift angle (DAngle) of every
// sample; sets driftAct when the lap holds a drift run (never clears it).
void SetDElm(TLapDtRec& lap);

// Turning radius, lateral, longitudinal and combined G of every sample.
void SetGElm(TLapDtRec& lap);

// Raw turning radius at q through its neighbours p and s (plane points in
// metres): the circumradius, MaxRadius at most and MaxRadius for a chord of
// no length or three points on one line.
double TurnRadius(double px, double py, double qx, double qy, double sx, double sy);

// Sorts the first n (3 or 5) entries ascending; the median is entry (n-1)/2.
void SortFloatsAsc(std::array<double, 5>& a, int n);
// As SortFloatsAsc, but five values whose centre is strictly below the other
// four stay as they are, so the centre dip is taken as the median.
void SortFloatsKeepDip(std::array<double, 5>& a, int n);

} // namespace vel
