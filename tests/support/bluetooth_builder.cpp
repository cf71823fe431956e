#include "support/bluetooth_builder.h"

#include <bit>
#include <cmath>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include "common/datetime.h"
#include "common/geodesy.h"

namespace vel::test {

namespace {

constexpr double PiD = 3.14159265358979323846;
constexpr double DegToRad = PiD / 180.0;
constexpr double EarthM = static_cast<double>(EarthR);

void PutU16(QByteArray& b, uint16_t v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

void PutI32(QByteArray& b, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutDouble(QByteArray& b, double v) {
    const auto u = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) b.append(static_cast<char>((u >> (8 * i)) & 0xFF));
}

double WrapDeg(double h) {
    h = std::fmod(h, 360.0);
    return h < 0 ? h + 360.0 : h;
}

// Moves a point dist metres along a heading by the program's rule.
void Move(double& ido, double& kdo, double headingDeg, double dist) {
    const double theta = (270.0 - headingDeg) * DegToRad;
    ido += dist * std::sin(theta) / EarthM / DegToRad;
    kdo += dist * std::cos(theta) / (EarthM * std::cos(ido * DegToRad)) / DegToRad;
}

} // namespace

void SetBtUtc(BtSampleSpec& s, double utcDtTm, BtKind kind) {
    int y, mo, d, h, mi, sec, ms;
    DecodeDateTime(utcDtTm, y, mo, d, h, mi, sec, ms);
    s.Year = static_cast<uint16_t>(y);
    s.Month = static_cast<uint8_t>(mo);
    s.Day = static_cast<uint8_t>(d);
    s.Hour = static_cast<uint8_t>(h);
    s.Minute = static_cast<uint8_t>(mi);
    s.Second = static_cast<uint8_t>(sec);
    s.Fraction = static_cast<uint8_t>(BtHundredths(kind) ? ms / 10 : ms / 100);
}

void SetBtPosition(BtSampleSpec& s, double ido, double kdo) {
    s.IdoRaw = static_cast<int32_t>(std::lround(ido * 1e7));
    s.KdoRaw = static_cast<int32_t>(std::lround(kdo * 1e7));
}

void SetBtSpeed(BtSampleSpec& s, double kmh) {
    s.SpdRaw = static_cast<uint16_t>(std::lround(kmh / 0.036));
}

double YawForCompass(double compassDeg) {
    double yawDeg = 180.0 - WrapDeg(compassDeg);
    if (yawDeg <= -180.0) yawDeg += 360.0;
    return yawDeg * DegToRad;
}

QByteArray BuildBtLog(BtKind kind, const QVector<BtSampleSpec>& samples) {
    QByteArray b("VELBT\0\1\0", BtHeaderSize);
    b.reserve(BtHeaderSize + samples.size() * BtRecordSize(kind));
    for (const BtSampleSpec& s : samples) {
        PutU16(b, 0x5AA5);
        PutU16(b, s.SpdRaw);
        PutI32(b, s.IdoRaw);
        PutI32(b, s.KdoRaw);
        PutI32(b, s.ElvRaw);
        PutU16(b, 0);
        PutU16(b, s.Year);
        for (const uint8_t v : {s.Month, s.Day, s.Hour, s.Minute, s.Second, s.Fraction})
            b.append(static_cast<char>(v));
        if (BtHasMotion(kind)) {
            const TMotionSens& m = s.Motion;
            for (const double v : {m.yawX, m.yawY, m.yawZ, m.vX, m.vY, m.vZ, m.gX, m.gY, m.gZ, m.Pitch,
                                   m.Roll, m.Yaw})
                PutDouble(b, v);
        }
    }
    return b;
}

bool WriteBtLog(const QString& path, BtKind kind, const QVector<BtSampleSpec>& samples) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = BuildBtLog(kind, samples);
    if (f.write(bytes) != bytes.size()) return false;
    return f.commit();
}

QVector<BtSampleSpec> StraightRun(const StraightRunSpec& drive, BtKind kind) {
    QVector<BtSampleSpec> out;
    double ido = drive.ido, kdo = drive.kdo;
    const double step = drive.kmh / 3.6 * drive.intervalSec;
    for (int i = 0; i < drive.n; ++i) {
        BtSampleSpec s;
        SetBtUtc(s, drive.utcStart + i * drive.intervalSec / 86400.0, kind);
        SetBtPosition(s, ido, kdo);
        SetBtSpeed(s, drive.kmh);
        s.ElvRaw = 123;
        s.Motion.Yaw = YawForCompass(drive.courseDeg + drive.compassOffsetDeg);
        out.append(s);
        Move(ido, kdo, drive.courseDeg, step);
    }
    return out;
}

QVector<BtSampleSpec> OvalRun(int n, BtKind kind) {
    constexpr double Straight = 600.0, Radius = 120.0, Interval = 0.1;
    constexpr double FastKmh = 140.0, BendKmh = 80.0, CompassOffset = 15.0;
    const double lap = 2 * Straight + 2 * PiD * Radius;
    QVector<BtSampleSpec> out;
    out.reserve(n);
    double ido = 35.3, kdo = 138.9, along = 0;
    for (int i = 0; i < n; ++i) {
        const double s = std::fmod(along, lap);
        // Straight east, bend left, straight west, bend left.
        double heading = 270.0;
        bool bend = false;
        if (s < Straight) {
            heading = 270.0;
        } else if (s < Straight + PiD * Radius) {
            heading = 270.0 - (s - Straight) / Radius / DegToRad;
            bend = true;
        } else if (s < 2 * Straight + PiD * Radius) {
            heading = 90.0;
        } else {
            heading = WrapDeg(90.0 - (s - 2 * Straight - PiD * Radius) / Radius / DegToRad);
            bend = true;
        }
        const double kmh = bend ? BendKmh : FastKmh;
        BtSampleSpec rec;
        SetBtUtc(rec, 44319.0 + i * Interval / 86400.0, kind);
        SetBtPosition(rec, ido, kdo);
        SetBtSpeed(rec, kmh);
        rec.ElvRaw = 450 + i % 50;
        rec.Motion.gX = bend ? 0.6 : 0.02;
        rec.Motion.gY = bend ? 0.9 : 0.05;
        rec.Motion.Yaw = YawForCompass(heading + CompassOffset);
        out.append(rec);
        const double dist = kmh / 3.6 * Interval;
        Move(ido, kdo, heading, dist);
        along += dist;
    }
    return out;
}

} // namespace vel::test
