#include "analysis/lap_derive.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include "common/geodesy.h"
#include "model/heading_drift.h"

namespace vel {

namespace {

constexpr double OneG = 9.80665;      // m/s^2
constexpr double KmhPerMs = 3.6;

// Shortest sample interval, s, that chooses the radius filter.
constexpr double NoFilterSec = 0.2;   // above: raw radius as it is
constexpr double DipSec = 0.1;        // above (and up to NoFilterSec): dip-keeping median

// A drift run, as HasDriftRun judges it: more than RunLength samples in a row
// above RunAngle at above RunKmh.
constexpr double RunAngle = 10.0;
constexpr double RunKmh = 15.0;
constexpr int RunLength = 5;

inline void Exchange(std::array<double, 5>& a, int n) {
    n = std::clamp(n, 0, 5);
    for (int pass = 0; pass + 1 < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (a[i] > a[i + 1]) std::swap(a[i], a[i + 1]);
}

inline bool CentreDips(const std::array<double, 5>& a) {
    return a[2] < a[0] && a[2] < a[1] && a[2] < a[3] && a[2] < a[4];
}

// Turn sign from the course of the previous sample to this one: a falling
// course is a left-hand turn under the heading rule; passing 0 counts by
// the way it went.
int32_t TurnSign(double prev, double cur) {
    if (cur > 270 && prev < 90) return 1;
    if (prev > 270 && cur < 90) return -1;
    return cur <= prev ? 1 : -1;
}

// Median and mean filters of the raw radii r into r1 and r2, samples 1 to
// n - 2; a lap of fewer than four samples never gets here.
void FilterRadius(const double* r, double* r1, double* r2, qsizetype n, bool keepDip) {
    // Medians as the exchange sort leaves them, without its branches: radii
    // are never NaN, so any sort gives the same order.
    auto median3 = [r](qsizetype k) {
        const double a = r[k], b = r[k + 1], c = r[k + 2];
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    };
    auto median5 = [r, keepDip](qsizetype k) {
        const std::array<double, 5> a = {r[k - 2], r[k - 1], r[k], r[k + 1], r[k + 2]};
        if (keepDip && CentreDips(a)) return a[2];
        const double lo1 = std::min(a[0], a[1]), hi1 = std::max(a[0], a[1]);
        const double lo2 = std::min(a[3], a[4]), hi2 = std::max(a[3], a[4]);
        // Dropping the smaller of the two lows and the larger of the two
        // highs leaves three values whose median is the median of five.
        const double lo = std::max(lo1, lo2), hi = std::min(hi1, hi2);
        return std::max(std::min(lo, hi), std::min(std::max(lo, hi), a[2]));
    };

    r1[1] = (r[1] + r[2]) / 2;
    r1[2] = median3(1);
    for (qsizetype k = 3; k <= n - 4; ++k) r1[k] = median5(k);
    r1[n - 3] = median3(n - 4);
    r1[n - 2] = (r[n - 3] + r[n - 2]) / 2;

    r2[1] = (r1[1] + r1[2]) / 2;
    if (keepDip) {
        for (qsizetype k = 2; k <= n - 3; ++k) {
            const double a = r1[k - 1], b = r1[k], c = r1[k + 1];
            r2[k] = (b < a && b < c) ? (a + 2 * b + c) / 4 : (a + b + c) / 3;
        }
    } else {
        r2[2] = (r1[1] + r1[2] + r1[3]) / 3;
        for (qsizetype k = 3; k <= n - 4; ++k)
            r2[k] = (0.5 * r1[k - 2] + r1[k - 1] + r1[k] + r1[k + 1] + 0.5 * r1[k + 2]) / 4;
        r2[n - 3] = (r1[n - 4] + r1[n - 3] + r1[n - 2]) / 3;
    }
    r2[n - 2] = (r1[n - 3] + r1[n - 2]) / 2;
}

// Packed arrays of one derive, grown as laps grow and kept for the next.
struct Scratch {
    std::vector<double> dir, spd, ido, kdo, sIdo, sKdo, course, angle, smooth, X, Y, r, r1, r2, lat, lon;
    std::vector<int32_t> rl;
    std::vector<uint8_t> win;

    void Fill(const TLapElmRec* e, qsizetype n) {
        const auto m = static_cast<size_t>(n);
        for (auto* v : {&dir, &spd, &ido, &kdo, &sIdo, &sKdo, &course, &angle, &smooth, &X, &Y, &r, &r1, &r2, &lat,
                        &lon})
            if (v->size() < m) v->resize(m);
        if (rl.size() < m) rl.resize(m);
        if (win.size() < m) win.resize(m);
        // One pass over the records: the fields the derive reads, side by side.
        for (qsizetype i = 0; i < n; ++i) {
            dir[i] = e[i].Dir;
            spd[i] = e[i].Spd;
            ido[i] = e[i].Ido;
            kdo[i] = e[i].Kdo;
        }
        NeighbourWindows(e, n, win.data());
    }
};

Scratch& TheScratch() {
    thread_local Scratch s;
    return s;
}

} // namespace

void SortFloatsAsc(std::array<double, 5>& a, int n) { Exchange(a, n); }

void SortFloatsKeepDip(std::array<double, 5>& a, int n) {
    if (n == 5 && CentreDips(a)) return;
    Exchange(a, n);
}

double TurnRadius(double px, double py, double qx, double qy,
                       double sx, double sy) {
    const double d1x = qx - px, d1y = qy - py;
    const double d2x = sx - qx, d2y = sy - qy;
    const double d3x = sx - px, d3y = sy - py;
    const double cross = d1x * d2y - d1y * d2x;
    const double a2 = d1x * d1x + d1y * d1y;
    const double b2 = d2x * d2x + d2y * d2y;
    if (a2 == 0 || b2 == 0 || cross == 0) return MaxRadius;
    // |PQ| |QS| |PS| / (2 |cross|), under one root.
    const double r = std::sqrt(a2 * b2 * (d3x * d3x + d3y * d3y)) / (2 * std::fabs(cross));
    return r <= MaxRadius ? r : MaxRadius;   // also catches a value that is not finite
}

void SetDElm(TLapDtRec& lap) {
    const qsizetype n = lap.Elm.size();
    lap.DElm.resize(n);
    if (n == 0) return;
    Scratch& s = TheScratch();
    s.Fill(lap.Elm.constData(), n);
    double* course = s.course.data();
    double* angle = s.angle.data();
    CourseOfPositions(s.dir.data(), s.spd.data(), s.ido.data(), s.kdo.data(), n, course);
    // Drift angles and the drift run in one pass.
    int count = 0;
    bool run = false;
    for (qsizetype i = 0; i < n; ++i) {
        angle[i] = DriftAngle(s.dir[i], course[i], s.spd[i]);
        if (i == 0 || i + 1 >= n) continue;
        if (std::fabs(angle[i]) > RunAngle && s.spd[i] > RunKmh) {
            if (++count > RunLength) run = true;
        } else {
            count = 0;
        }
    }
    if (run) lap.driftAct = true;
    SmoothInWindows(angle, s.win.data(), n, {0.3, 0.2, 0.1}, s.smooth.data());
    TDriftRec* d = lap.DElm.data();
    for (qsizetype i = 0; i < n; ++i) {
        d[i].GpsDir = course[i];
        d[i].DAngle = s.smooth[i];
    }
}

void SetGElm(TLapDtRec& lap) {
    const qsizetype n = lap.Elm.size();
    const TLapElmRec* e = lap.Elm.constData();
    Scratch& s = TheScratch();
    s.Fill(e, n);

    // Positions smoothed over the neighbours within 210 ms, the raw values
    // only. They are smoothed as offsets from the first sample (exact
    // differences), so that double keeps the millimetres a radius of a few
    // hundred metres over steps of a few decimetres depends on.
    const double ido0 = n > 0 ? s.ido[0] : 0;
    const double kdo0 = n > 0 ? s.kdo[0] : 0;
    for (qsizetype i = 0; i < n; ++i) {
        s.ido[i] -= ido0;
        s.kdo[i] -= kdo0;
    }
    const double* sIdo = s.sIdo.data();
    const double* sKdo = s.sKdo.data();
    SmoothInWindows(s.ido.data(), s.win.data(), n, {0.75, 0.5, 0.25}, s.sIdo.data());
    SmoothInWindows(s.kdo.data(), s.win.data(), n, {0.75, 0.5, 0.25}, s.sKdo.data());
    const double* c = s.course.data();
    CourseOfPositions(s.dir.data(), s.spd.data(), sIdo, sKdo, n, s.course.data(), ido0);

    // A value no step writes stays 0.
    const double* spd = s.spd.data();
    double* X = s.X.data();
    double* Y = s.Y.data();
    double* r = s.r.data();
    double* r1 = s.r1.data();
    double* r2 = s.r2.data();
    double* lat = s.lat.data();
    double* lon = s.lon.data();
    int32_t* rl = s.rl.data();
    if (n > 0) {
        X[0] = Y[0] = r[0] = r1[0] = r2[0] = lat[0] = lon[0] = 0;
        rl[0] = 0;
        const qsizetype l = n - 1;
        r[l] = r1[l] = r2[l] = lat[l] = lon[l] = 0;
        rl[l] = 0;
    }

    constexpr double Rad = static_cast<double>(Pi) / 180.0;
    constexpr double R = static_cast<double>(EarthR);
    const double dIdo0 = n > 0 ? sIdo[0] : 0;
    const double dKdo0 = n > 0 ? sKdo[0] : 0;
    // Plane positions, turn signs and the shortest interval (the intervals at
    // the two ends of the lap do not count) in one pass; the radius at k - 1
    // once k is placed.
    double dt = 9.9;
    for (qsizetype k = 1; k < n; ++k) {
        X[k] = R * std::cos((ido0 + sIdo[k]) * Rad) * ((sKdo[k] - dKdo0) * Rad);
        Y[k] = R * ((sIdo[k] - dIdo0) * Rad);
        if (k < n - 1) rl[k] = TurnSign(c[k - 1], c[k]);
        if (k + 1 < n && k >= 2) r[k - 1] = TurnRadius(X[k - 2], Y[k - 2], X[k - 1], Y[k - 1], X[k], Y[k]);
        if (k + 2 < n) dt = std::min(dt, e[k + 1].Sec - e[k].Sec);
    }
    if (n >= 3) r[n - 2] = TurnRadius(X[n - 3], Y[n - 3], X[n - 2], Y[n - 2], X[n - 1], Y[n - 1]);

    const bool filtered = !(dt > NoFilterSec);
    if (filtered) {
        FilterRadius(r, r1, r2, n, dt > DipSec);
    } else {
        std::copy(r, r + n, r1);
        std::copy(r, r + n, r2);
    }

    for (qsizetype k = 1; k + 1 < n; ++k) {
        if (r2[k] > MaxRadius) r2[k] = MaxRadius;
        const double v = spd[k] / KmhPerMs;
        lat[k] = r2[k] <= 0 ? 0 : (v * v / r2[k]) / OneG * rl[k];
        const double step = e[k].Sec - e[k - 1].Sec;
        lon[k] = step > 0 ? ((v - spd[k - 1] / KmhPerMs) / step) / OneG : 0;
    }

    // In the loader's array when it has one entry per sample, else a new one.
    if (lap.GElm.size() != n) lap.GElm = QVector<TGCalRec>(n);
    TGCalRec* out = lap.GElm.data();
    for (qsizetype k = 0; k < n; ++k) {
        TGCalRec& g = out[k];
        g.spd2 = spd[k];
        g.rl = rl[k];
        g.X = X[k];
        g.Y = Y[k];
        g.r = r[k];
        g.r1 = r1[k];
        g.r2 = r2[k];
        g.lateG = lat[k];
        g.logiG = lon[k];
        g.r2_3 = g.lateG3 = g.logiG3 = g.XYG = 0;
        if (k < 1 || k + 1 >= n) continue;
        if (!filtered) {
            g.r2_3 = r2[k];
            g.lateG3 = lat[k];
            g.logiG3 = lon[k];
        } else if (k == 1 || k == n - 2) {
            // Two samples at either end of the interior.
            const qsizetype j = k == 1 ? 2 : n - 3;
            g.r2_3 = (r2[k] + r2[j]) / 2;
            g.lateG3 = (lat[k] + lat[j]) / 2;
            g.logiG3 = (lon[k] + lon[j]) / 2;
        } else {
            g.r2_3 = (r2[k - 1] + r2[k] + r2[k + 1]) / 3;
            g.lateG3 = (lat[k - 1] + lat[k] + lat[k + 1]) / 3;
            g.logiG3 = (lon[k - 1] + lon[k] + lon[k + 1]) / 3;
        }
        g.XYG = std::sqrt(g.lateG3 * g.lateG3 + g.logiG3 * g.logiG3);
    }
}

} // namespace vel
