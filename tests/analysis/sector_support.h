#pragma once
// Laps and sector lines laid out in metres from a drive's first position.
#include <cmath>
#include "common/geodesy.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"
#include "support/lap_builder.h"

namespace vel::test {

inline long double MPerDegIdo() { return EarthR * Pi / 180; }
inline long double MPerDegKdo(const Drive& d) { return MPerDegIdo() * std::cos(d.ido * Pi / 180); }

// A line from (north, east1) to (north, east2), metres from the drive's start.
inline TSectRec LineAt(const Drive& d, long double north1, long double east1, long double north2,
                       long double east2, int32_t passNo = 1) {
    TSectRec s;
    s.Ido1 = d.ido + north1 / MPerDegIdo();
    s.Kdo1 = d.kdo + east1 / MPerDegKdo(d);
    s.Ido2 = d.ido + north2 / MPerDegIdo();
    s.Kdo2 = d.kdo + east2 / MPerDegKdo(d);
    s.PassNo = passNo;
    return s;
}
// An east-west line northM metres north of the start, 20 m to each side.
inline TSectRec LineAcross(const Drive& d, long double northM, int32_t passNo = 1) {
    return LineAt(d, northM, -20, northM, 20, passNo);
}

inline SectorLines Lines(std::initializer_list<TSectRec> list) {
    SectorLines s;
    for (const TSectRec& r : list) s.Sect[s.SectNum++] = r;
    return s;
}

// 10 m/s northwards at 10 Hz: one metre and 0.1 s per sample.
inline Drive MetreDrive() {
    Drive d;
    d.spd = 36;
    d.hz = 10;
    return d;
}

// A lap as the loaders leave it, statistics left alone.
inline TLapDtRec LapOf(const QVector<TLapElmRec>& recs, const QString& name = "0000") {
    TLapDtRec lap;
    lap.DtName = name;
    lap.Elm = recs;
    lap.ElmNum = static_cast<int32_t>(recs.size());
    lap.DElm.resize(recs.size());
    lap.GElm.resize(recs.size());
    if (!recs.isEmpty()) {
        lap.LapTim = recs.back().Tm;
        lap.LapDist = recs.back().Dist;
    }
    return lap;
}

} // namespace vel::test
