#include "support/lap_builder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <QDir>
#include <QFileInfo>
#include "common/geodesy.h"
#include "model/lap_file.h"

namespace vel::test {

namespace {

constexpr long double DegPerRad = 180.0L / Pi;

// Where a path is after s metres: offsets from the first position and the
// compass bearing of travel (0 north, 90 east), degrees.
struct PathPoint {
    long double north = 0, east = 0, bearing = 0;
};
using Path = std::function<PathPoint(long double s)>;

long double ProgramHeading(long double bearing) {
    long double h = std::fmod(bearing + 180.0L, 360.0L);
    if (h < 0) h += 360.0L;
    return h;
}

QVector<TLapElmRec> Sample(const Drive& d, int samples, const Path& path) {
    const long double step = d.spd / 3.6L / d.hz;   // metres between fixes
    const long double mPerDegIdo = EarthR / DegPerRad;
    const long double mPerDegKdo = mPerDegIdo * std::cos(d.ido / DegPerRad);
    QVector<TLapElmRec> recs(samples);
    for (int k = 0; k < samples; ++k) {
        const PathPoint p = path(k * step);
        TLapElmRec& r = recs[k];
        r.Tm = k / (d.hz * 86400.0);
        r.DtTm = d.start + r.Tm;
        r.Sec = static_cast<long double>(k) / d.hz;
        r.Ido = d.ido + p.north / mPerDegIdo;
        r.Kdo = d.kdo + p.east / mPerDegKdo;
        r.Elv = d.elv;
        r.Spd = d.spd;
        r.Dir = ProgramHeading(p.bearing);
        r.Dist = k == 0 ? 0 : recs[k - 1].Dist + DistKm(recs[k - 1].Ido, recs[k - 1].Kdo, r.Ido, r.Kdo);
        r.UseSat = d.sats;
    }
    return recs;
}

int SamplesFor(const Drive& d, long double lengthM) {
    const long double step = d.spd / 3.6L / d.hz;
    return static_cast<int>(std::llround(lengthM / step)) + 1;
}

} // namespace

QVector<TLapElmRec> StraightRun(const Drive& d, long double heading, int samples) {
    const long double bearing = heading - 180.0L;
    const long double n = std::cos(bearing / DegPerRad);
    const long double e = std::sin(bearing / DegPerRad);
    return Sample(d, samples, [&](long double s) { return PathPoint{s * n, s * e, bearing}; });
}

QVector<TLapElmRec> CircleLap(const Drive& d, long double radiusM, Turn turn, int laps) {
    const long double side = turn == Turn::Right ? 1 : -1;   // centre east or west of the start
    const int samples = SamplesFor(d, 2 * Pi * radiusM * laps);
    return Sample(d, samples, [&](long double s) {
        const long double a = s / radiusM;
        return PathPoint{radiusM * std::sin(a), side * radiusM * (1 - std::cos(a)), side * a * DegPerRad};
    });
}

QVector<TLapElmRec> SquareLap(const Drive& d, long double sideM, Turn turn, int laps) {
    const long double side = turn == Turn::Right ? 1 : -1;
    // Unit steps of the four sides and the corners they leave from.
    const long double dn[4] = {1, 0, -1, 0};
    const long double de[4] = {0, side, 0, -side};
    const int samples = SamplesFor(d, 4 * sideM * laps);
    return Sample(d, samples, [&](long double s) {
        const long double round = std::fmod(s, 4 * sideM);
        const int q = std::min(3, static_cast<int>(round / sideM));
        long double north = 0, east = 0;
        for (int i = 0; i < q; ++i) {
            north += dn[i] * sideM;
            east += de[i] * sideM;
        }
        const long double t = round - q * sideM;
        return PathPoint{north + dn[q] * t, east + de[q] * t, side * 90.0L * q};
    });
}

bool WriteWorkingFile(const QString& path, const QVector<TLapElmRec>& recs) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteLapFile(path, recs);
}

} // namespace vel::test
