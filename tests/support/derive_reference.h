#pragma once
// The lap derive as it was computed in 80-bit long double, kept as the
// reference the double derive is measured against. Test-only.
#include <vector>
#include "model/loaded_laps.h"

namespace vel::test {

struct RefSample {
    double DtTm = 0;
    long double Sec = 0, Ido = 0, Kdo = 0, Spd = 0, Dir = 0;
};

struct RefG {
    long double spd2 = 0;
    int rl = 0;
    long double X = 0, Y = 0, r = 0, r1 = 0, r2 = 0, lateG = 0, logiG = 0, r2_3 = 0, lateG3 = 0,
                logiG3 = 0, XYG = 0;
};

struct RefDerived {
    std::vector<long double> GpsDir, DAngle;
    bool driftAct = false;
    std::vector<RefG> G;
};

std::vector<RefSample> RefSamplesOf(const QVector<TLapElmRec>& elm);
RefDerived ReferenceDerive(const std::vector<RefSample>& s);

} // namespace vel::test
