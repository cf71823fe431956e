#pragma once
// Earth model and the program-wide distance and heading rules.

namespace vel {

constexpr long double EarthR = 6367444.5L;   // metres
constexpr long double Pi = 3.14159265358979323846264338327950288L;

// Equirectangular distance in metres between two points in degrees; the
// latitude of the first point sets the cos factor.
long double DistM(long double ido1, long double kdo1, long double ido2, long double kdo2);
// Same in kilometres.
long double DistKm(long double ido1, long double kdo1, long double ido2, long double kdo2);
// Heading of the step from point 1 to point 2, degrees 0 to 360:
// north 180, east 270, south 0, west 90. A step of no length gives 0.
long double HeadingDeg(long double ido1, long double kdo1, long double ido2, long double kdo2);

} // namespace vel
