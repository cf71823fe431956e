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

QVector<TLapElmRec> CircuitLap(const Drive& d, long double lengthM, int laps, long double driftDeg) {
    // Straight before each corner, then the corner's radius and turn (right
    // positive); the turns add up to one round.
    struct Bend { long double straight, radius, turn; };
    static const Bend bends[] = {
        {600, 40, 90}, {250, 120, 60}, {150, 25, -80}, {200, 60, 120},
        {300, 200, 45}, {120, 35, 100}, {250, 80, 25},
    };
    long double design = 0;
    for (const Bend& b : bends) design += b.straight + b.radius * std::fabs(b.turn) / DegPerRad;
    const long double scale = lengthM / design;

    // The centre line metre by metre: curvature, bearing and position.
    QVector<long double> curv;
    for (const Bend& b : bends) {
        for (int i = 0, n = static_cast<int>(b.straight * scale); i < n; ++i) curv.append(0);
        const long double r = b.radius * scale;
        const long double k = (b.turn > 0 ? 1 : -1) / r;
        for (int i = 0, n = static_cast<int>(r * std::fabs(b.turn) / DegPerRad); i < n; ++i) curv.append(k);
    }
    const int m = static_cast<int>(curv.size());
    // The metres of the arcs are whole: spread what the turns miss of 360 degrees.
    long double turned = 0;
    for (long double k : curv) turned += k * DegPerRad;
    // The start straight runs east-north-east: a first heading of due north
    // or south would read as a log without real headings.
    QVector<long double> bearing(m + 1), north(m + 1), east(m + 1);
    bearing[0] = 75;
    for (int i = 0; i < m; ++i) {
        const long double b = bearing[i] + curv[i] * DegPerRad * 360.0L / turned;
        const long double mid = (bearing[i] + b) / 2 / DegPerRad;
        bearing[i + 1] = b;
        north[i + 1] = north[i] + std::cos(mid);
        east[i + 1] = east[i] + std::sin(mid);
    }
    // Closed: what the end misses of the start is taken out along the way.
    for (int i = 0; i <= m; ++i) {
        north[i] -= north[m] * i / m;
        east[i] -= east[m] * i / m;
    }

    // Speeds: the corner's grip limit, reached by braking at 10 m/s2 and
    // left by accelerating at 4 m/s2, round the closed loop.
    const long double top = d.spd / 3.6L;
    QVector<long double> v(m);
    for (int i = 0; i < m; ++i)
        v[i] = curv[i] == 0 ? top : std::min(top, std::sqrt(12.0L / std::fabs(curv[i])));
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m; ++i) {
            const long double prev = v[(i + m - 1) % m];
            v[i] = std::min(v[i], std::sqrt(prev * prev + 2 * 4.0L));
        }
        for (int i = m - 1; i >= 0; --i) {
            const long double next = v[(i + 1) % m];
            v[i] = std::min(v[i], std::sqrt(next * next + 2 * 10.0L));
        }
    }

    const long double mPerDegIdo = EarthR / DegPerRad;
    const long double mPerDegKdo = mPerDegIdo * std::cos(d.ido / DegPerRad);
    const long double dt = 1.0L / d.hz;
    QVector<TLapElmRec> recs;
    long double s = 0;
    for (int k = 0; s <= static_cast<long double>(m) * laps; ++k) {
        const long double round = std::fmod(s, static_cast<long double>(m));
        const int i = std::min(m - 1, static_cast<int>(round));
        const long double f = round - i;
        TLapElmRec& r = recs.emplace_back();
        r.Tm = k / (d.hz * 86400.0);
        r.DtTm = d.start + r.Tm;
        r.Sec = static_cast<long double>(k) / d.hz;
        r.Ido = d.ido + (north[i] + (north[i + 1] - north[i]) * f) / mPerDegIdo;
        r.Kdo = d.kdo + (east[i] + (east[i + 1] - east[i]) * f) / mPerDegKdo;
        r.Elv = d.elv;
        r.Spd = v[i] * 3.6L;
        long double b = bearing[i] + (bearing[i + 1] - bearing[i]) * f;
        if (curv[i] != 0 && std::fabs(curv[i]) > 1 / 50.0L) b += (curv[i] > 0 ? 1 : -1) * driftDeg;
        r.Dir = ProgramHeading(b);
        const qsizetype n = recs.size();
        r.Dist = n == 1 ? 0 : recs[n - 2].Dist + DistKm(recs[n - 2].Ido, recs[n - 2].Kdo, r.Ido, r.Kdo);
        r.UseSat = d.sats;
        s += v[i] * dt;
    }
    return recs;
}

bool WriteWorkingFile(const QString& path, const QVector<TLapElmRec>& recs) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteLapFile(path, recs);
}

} // namespace vel::test
