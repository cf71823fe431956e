#include <cmath>
#include <gtest/gtest.h>
#include "common/geodesy.h"

namespace vel {
namespace {

constexpr double OneDegreeM = 111132.871463;   // EarthR * pi / 180

TEST(Geodesy, Distances) {
    struct Case {
        const char* name;
        long double ido1, kdo1, ido2, kdo2;
        double metres;
    };
    const Case cases[] = {
        {"no step", 35.0L, 139.0L, 35.0L, 139.0L, 0.0},
        {"one degree north", 0.0L, 0.0L, 1.0L, 0.0L, OneDegreeM},
        {"one degree south", 1.0L, 0.0L, 0.0L, 0.0L, OneDegreeM},
        {"one degree east on the equator", 0.0L, 10.0L, 0.0L, 11.0L, OneDegreeM},
        {"one degree east at 60 N", 60.0L, 10.0L, 60.0L, 11.0L, OneDegreeM / 2},
        // The first point's latitude sets the scale of the longitude.
        {"diagonal from 60 N", 60.0L, 0.0L, 59.0L, 1.0L, OneDegreeM * std::sqrt(1.25)},
        {"diagonal from 59 N", 59.0L, 0.0L, 60.0L, 1.0L,
         OneDegreeM * std::hypot(1.0, std::cos(59.0 * M_PI / 180))},
        {"3-4-5 on the equator", 0.0L, 0.0L, 0.003L, 0.004L, OneDegreeM * 0.005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const long double m = DistM(c.ido1, c.kdo1, c.ido2, c.kdo2);
        EXPECT_NEAR(static_cast<double>(m), c.metres, 1e-3);
        EXPECT_NEAR(static_cast<double>(DistKm(c.ido1, c.kdo1, c.ido2, c.kdo2)), c.metres / 1000, 1e-6);
    }
}

TEST(Geodesy, Headings) {
    struct Case {
        const char* name;
        long double ido1, kdo1, ido2, kdo2;
        double heading;
    };
    const Case cases[] = {
        {"north", 0.0L, 0.0L, 1.0L, 0.0L, 180.0},
        {"east", 0.0L, 0.0L, 0.0L, 1.0L, 270.0},
        {"south", 0.0L, 0.0L, -1.0L, 0.0L, 0.0},
        {"west", 0.0L, 0.0L, 0.0L, -1.0L, 90.0},
        {"west with a minus zero step", 0.0L, 0.0L, -0.0L, -1.0L, 90.0},
        {"north-east on the equator", 0.0L, 0.0L, 1.0L, 1.0L, 225.0},
        {"south-west on the equator", 0.0L, 0.0L, -1.0L, -1.0L, 45.0},
        // cos(60) halves the east step: atan2(1, 0.5) = 63.43 degrees.
        {"north-east at 60 N", 60.0L, 0.0L, 61.0L, 1.0L, 270.0 - std::atan2(1.0, 0.5) * 180 / M_PI},
        {"just east of south", 0.0L, 0.0L, -1.0L, 1e-9L, 360.0 - 1e-9 * 180 / M_PI},
        {"just west of south", 0.0L, 0.0L, -1.0L, -1e-9L, 1e-9 * 180 / M_PI},
        {"no step", 35.0L, 139.0L, 35.0L, 139.0L, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const long double h = HeadingDeg(c.ido1, c.kdo1, c.ido2, c.kdo2);
        EXPECT_GE(h, 0.0L);
        EXPECT_LT(h, 360.0L);
        EXPECT_NEAR(static_cast<double>(h), c.heading, 1e-9);
    }
}

} // namespace
} // namespace vel
