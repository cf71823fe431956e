#include "support/sample_builder.h"

#include <algorithm>
#include <cmath>
#include <QDir>
#include <QFileInfo>
#include "common/geodesy.h"
#include "common/parsing.h"
#include "common/textfile.h"

namespace vel::test {

namespace {

// A stadium: two straights of StraightM joined by half circles.
constexpr double StraightM = 240;
constexpr double BendR = 60;            // centre line
constexpr double HalfWidthM = 6;        // the track is 12 m wide
constexpr double CentreLat = 34.905, CentreLon = 137.485;
constexpr int32_t StartUtc = 1713056400;   // 2024-04-14 01:00:00 UTC
constexpr int Hz = 10;
constexpr double TopKmh = 110;
// Bend speed of each lap, so that the laps differ a little.
constexpr double BendKmh[SampleLaps] = {58, 61, 59.5, 62};
constexpr double RampM = 90;            // braking and acceleration zones
constexpr double AccelMs2 = 4.0, StopMs2 = 4.5;
constexpr double GridM = -80;           // standing place before the line
constexpr int StandSamples = 30;        // 3 s at rest at either end

double Len(double r) { return 2 * StraightM + 2 * static_cast<double>(Pi) * r; }

// Point at s metres along a stadium of bend radius r, x east and y north
// of the centre; s = 0 is the middle of the south straight, driven east.
void StadiumPoint(double s, double r, double& x, double& y) {
    const double pi = static_cast<double>(Pi);
    const double half = StraightM / 2, bend = pi * r;
    s = std::fmod(s, Len(r));
    if (s < 0) s += Len(r);
    if (s < half) { x = s; y = -r; return; }
    s -= half;
    if (s < bend) { const double a = -pi / 2 + s / r; x = half + r * std::cos(a); y = r * std::sin(a); return; }
    s -= bend;
    if (s < StraightM) { x = half - s; y = r; return; }
    s -= StraightM;
    if (s < bend) { const double a = pi / 2 + s / r; x = -half + r * std::cos(a); y = r * std::sin(a); return; }
    s -= bend;
    x = -half + s;
    y = -r;
}

// Metres to the nearest bend along the centre line, 0 inside one.
double ToBend(double s) {
    const double half = StraightM / 2, bend = static_cast<double>(Pi) * BendR, lap = Len(BendR);
    s = std::fmod(s, lap);
    if (s < 0) s += lap;
    if (s < half) return half - s;                              // south straight, second half
    if (s < half + bend) return 0;
    if (s < half + bend + StraightM) {
        const double in = s - half - bend;
        return std::min(in, StraightM - in);
    }
    if (s < half + 2 * bend + StraightM) return 0;
    return s - (half + 2 * bend + StraightM);                   // south straight, first half
}

// Speed the driver aims at, m/s: slow in the bends, fast mid-straight
// (where a lap begins, so the bend speed may change there).
double TargetSpeed(double s) {
    const int lap = std::clamp(static_cast<int>(std::floor(s / Len(BendR))), 0, SampleLaps - 1);
    const double t = std::min(ToBend(s) / RampM, 1.0);
    const double smooth = t * t * (3 - 2 * t);
    return (BendKmh[lap] + (TopKmh - BendKmh[lap]) * smooth) / 3.6;
}

double Lat(double y) {
    return CentreLat + y / static_cast<double>(EarthR) * (180.0 / static_cast<double>(Pi));
}
double Lon(double x) {
    const double degPerRad = 180.0 / static_cast<double>(Pi);
    return CentreLon + x / (static_cast<double>(EarthR) * std::cos(CentreLat / degPerRad)) * degPerRad;
}

ImageSample SampleAt(int index, double s, double v) {
    double x = 0, y = 0;
    StadiumPoint(s, BendR, x, y);
    const int64_t tMs = static_cast<int64_t>(index) * (1000 / Hz);
    ImageSample p;
    p.utcSec = StartUtc + static_cast<int32_t>(tMs / 1000);
    p.ms = static_cast<uint16_t>(tMs % 1000);
    p.lat = Lat(y);
    p.lon = Lon(x);
    p.elv = static_cast<float>(40.0 + 2.5 * std::sin(2 * static_cast<double>(Pi) * s / Len(BendR)));
    p.spd = static_cast<float>(v * 3.6);
    p.satUsed = 10;
    p.satView = 13;
    return p;
}

TPathRec Edge(double r) {
    const double len = Len(r);
    const int n = static_cast<int>(std::ceil(len / 4.0));
    TPathRec path;
    for (int i = 0; i <= n; ++i) {   // the last point closes the loop
        double x = 0, y = 0;
        StadiumPoint(len * (i % n) / n, r, x, y);
        path.Elm.push_back(TPathElmRec{Lat(y), Lon(x)});
    }
    path.ElmNum = static_cast<int32_t>(path.Elm.size());
    return path;
}

} // namespace

double SampleLapLength() { return Len(BendR); }

std::vector<ImageSample> SampleSession() {
    const double dt = 1.0 / Hz;
    const double finish = SampleLaps * Len(BendR);
    std::vector<ImageSample> out;
    double s = GridM, v = 0;
    for (int i = 0; i < StandSamples; ++i) out.push_back(SampleAt(static_cast<int>(out.size()), s, 0));
    // Off the grid and round until the line is crossed for the last time.
    while (s < finish) {
        const double next = std::min(v + AccelMs2 * dt, TargetSpeed(s));
        s += (v + next) / 2 * dt;
        v = next;
        out.push_back(SampleAt(static_cast<int>(out.size()), s, v));
    }
    // Slowing down to a stop on the straight.
    while (v > 0) {
        const double next = std::max(v - StopMs2 * dt, 0.0);
        s += (v + next) / 2 * dt;
        v = next;
        out.push_back(SampleAt(static_cast<int>(out.size()), s, v));
    }
    for (int i = 0; i < StandSamples; ++i) out.push_back(SampleAt(static_cast<int>(out.size()), s, 0));
    return out;
}

LineEnds SampleControlLine() {
    const double reach = HalfWidthM + 9;
    LineEnds line;
    line.Ido1 = Lat(-BendR - reach);
    line.Kdo1 = Lon(0);
    line.Ido2 = Lat(-BendR + reach);
    line.Kdo2 = Lon(0);
    return line;
}

SectorLines SampleSectorLines() {
    // Across the back straight, then across the main straight just after
    // the bend's exit: three sectors.
    const double reach = HalfWidthM + 9;
    SectorLines lines;
    lines.SectNum = 2;
    lines.Sect[0] = {Lon(0), Lon(0), Lat(BendR - reach), Lat(BendR + reach), 1};
    lines.Sect[1] = {Lon(-StraightM / 2 + 10), Lon(-StraightM / 2 + 10), Lat(-BendR - reach), Lat(-BendR + reach), 1};
    return lines;
}

CoursePaths SampleCoursePaths() {
    CoursePaths paths;
    paths.CoursePath = {Edge(BendR + HalfWidthM), Edge(BendR - HalfWidthM)};
    paths.CoursePathNum = static_cast<int32_t>(paths.CoursePath.size());
    return paths;
}

QStringList ControlLineFileLines(const LineEnds& line) {
    return {QStringLiteral("1"), FormatFixed(line.Ido1, 6), FormatFixed(line.Kdo1, 6),
            FormatFixed(line.Ido2, 6), FormatFixed(line.Kdo2, 6)};
}

bool WriteSampleData(const QString& root, QString* error) {
    const QString base = root.endsWith('/') ? root : root + '/';
    for (const QString& rel : {SampleRawFile, SampleClnFile, SamplePthFile, SampleSciFile}) {
        const QString dir = QFileInfo(base + rel).absolutePath();
        if (!QDir().mkpath(dir)) {
            if (error) *error = QStringLiteral("Cannot make %1").arg(dir);
            return false;
        }
    }
    return WriteFileAtomic(base + SampleRawFile, BlockImage(SampleSession()), error) &&
           WriteTextLines(base + SampleClnFile, ControlLineFileLines(SampleControlLine()), error) &&
           WriteCoursePathFile(base + SamplePthFile, SampleCoursePaths(), error) &&
           WriteSectFile(base + SampleSciFile, SampleSectorLines(), error);
}

} // namespace vel::test
