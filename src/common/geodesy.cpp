#include "common/geodesy.h"

#include <cmath>

namespace vel {

namespace {

constexpr long double DegToRad = Pi / 180.0L;

} // namespace

long double DistM(long double ido1, long double kdo1, long double ido2, long double kdo2) {
    const long double x = EarthR * std::cos(ido1 * DegToRad) * ((kdo2 - kdo1) * DegToRad);
    const long double y = EarthR * ((ido2 - ido1) * DegToRad);
    return std::sqrt(x * x + y * y);
}

long double DistKm(long double ido1, long double kdo1, long double ido2, long double kdo2) {
    return DistM(ido1, kdo1, ido2, kdo2) / 1000.0L;
}

long double HeadingDeg(long double ido1, long double kdo1, long double ido2, long double kdo2) {
    const long double dLat = ido2 - ido1;
    const long double dLon = kdo2 - kdo1;
    // A step of no length has no direction; 0 keeps the heading defined.
    if (dLat == 0 && dLon == 0) return 0;
    const long double theta = std::atan2(dLat, dLon * std::cos(ido1 * DegToRad)) / DegToRad;
    long double h = 360.0L - (theta + 90.0L);
    if (h < 0) h += 360.0L;
    if (h >= 360.0L) h -= 360.0L;
    if (!std::isfinite(h)) return 0;
    return h;
}

} // namespace vel
