#pragma once
// Laps for the speed-graph tests: samples at a fixed rate with a speed,
// altitude, satellites and G given per sample, shown in the display slots
// with the ranges the slots widen to.
#include <cmath>
#include <functional>
#include "analysis/display_slots.h"
#include "model/session.h"

namespace vel::test {

struct SynthLap {
    int samples = 601;
    double hz = 10;
    double kmh = 36;   // distance grows at this pace whatever the shown speed
    std::function<double(int)> spd = [](int) { return 80.0; };
    std::function<int(int)> sats = [](int) { return 10; };
    std::function<double(int)> elv = [](int i) { return 100.0 + i % 7; };
    std::function<double(int)> lateG = [](int) { return 0.0; };
    std::function<double(int)> drift = [](int) { return 0.0; };
};

inline TLapDtRec MakeLap(const SynthLap& d, const QString& name = "0000") {
    TLapDtRec lap;
    lap.DtName = name;
    for (int i = 0; i < d.samples; ++i) {
        TLapElmRec e;
        e.Sec = i / d.hz;
        e.Tm = static_cast<double>(e.Sec) / 86400.0;
        e.Dist = e.Sec * d.kmh / 3600.0;
        e.Spd = d.spd(i);
        e.Elv = d.elv(i);
        e.UseSat = d.sats(i);
        lap.Elm << e;
        TGCalRec g;
        g.lateG3 = d.lateG(i);
        g.logiG3 = 0;
        g.XYG = std::abs(d.lateG(i));
        lap.GElm << g;
        TDriftRec dr;
        dr.DAngle = d.drift(i);
        lap.DElm << dr;
        lap.MaxSpd = std::max<long double>(lap.MaxSpd, e.Spd);
        lap.MinSpd = std::min<long double>(lap.MinSpd, e.Spd);
        lap.ElvLo = std::min<long double>(lap.ElvLo, e.Elv);
        lap.ElvHi = std::max<long double>(lap.ElvHi, e.Elv);
    }
    lap.ElmNum = lap.Elm.size();
    lap.LapTim = lap.Elm.back().Tm;
    lap.LapDist = lap.Elm.back().Dist;
    return lap;
}

// Shows the laps in slots 0, 1, ... of s.
inline void ShowLaps(Session& s, const QVector<TLapDtRec>& laps) {
    for (const TLapDtRec& l : laps) {
        s.loadedLaps.LapDt.push_back(l);
        s.loadedLaps.LapDtNum = s.loadedLaps.LapDt.size();
        SetDispSlot(s.loadedLaps, s.comparison, s.loadedLaps.LapDtNum - 1, s.loadedLaps.LapDtNum - 1);
    }
}

} // namespace vel::test
