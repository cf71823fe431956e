#include "analysis/lap_derive.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include "common/geodesy.h"
#include "model/heading_drift.h"

namespace vel {

namespace {

constexpr long double OneG = 9.80665L;      // m/s^2
constexpr long double KmhPerMs = 3.6L;

// Shortest sample interval, s, that chooses the radius filter.
constexpr long double NoFilterSec = 0.2L;   // above: raw radius as it is
constexpr long double DipSec = 0.1L;        // above (and up to NoFilterSec): dip-keeping median

inline void Exchange(std::array<long double, 5>& a, int n) {
    n = std::clamp(n, 0, 5);
    for (int pass = 0; pass + 1 < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (a[i] > a[i + 1]) std::swap(a[i], a[i + 1]);
}

inline bool CentreDips(const std::array<long double, 5>& a) {
    return a[2] < a[0] && a[2] < a[1] && a[2] < a[3] && a[2] < a[4];
}

// Turn sign from the course of the previous sample to this one: a falling
// course is a left-hand turn under the heading rule; passing 0 counts by
// the way it went.
int32_t TurnSign(long double prev, long double cur) {
    if (cur > 270 && prev < 90) return 1;
    if (prev > 270 && cur < 90) return -1;
    return cur <= prev ? 1 : -1;
}

// Median and mean filters of the raw radii r into r1 and r2, samples 1 to
// n - 2; a lap of fewer than four samples never gets here.
void FilterRadius(const long double* r, long double* r1, long double* r2, qsizetype n, bool keepDip) {
    // Medians as the exchange sort leaves them, without its branches: radii
    // are never NaN, so any sort gives the same order.
    auto median3 = [r](qsizetype k) {
        const long double a = r[k], b = r[k + 1], c = r[k + 2];
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    };
    auto median5 = [r, keepDip](qsizetype k) {
        const std::array<long double, 5> a = {r[k - 2], r[k - 1], r[k], r[k + 1], r[k + 2]};
        if (keepDip && CentreDips(a)) return a[2];
        const long double lo1 = std::min(a[0], a[1]), hi1 = std::max(a[0], a[1]);
        const long double lo2 = std::min(a[3], a[4]), hi2 = std::max(a[3], a[4]);
        // Dropping the smaller of the two lows and the larger of the two
        // highs leaves three values whose median is the median of five.
        const long double lo = std::max(lo1, lo2), hi = std::min(hi1, hi2);
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
            const long double a = r1[k - 1], b = r1[k], c = r1[k + 1];
            r2[k] = (b < a && b < c) ? (a + 2 * b + c) / 4 : (a + b + c) / 3;
        }
    } else {
        r2[2] = (r1[1] + r1[2] + r1[3]) / 3;
        for (qsizetype k = 3; k <= n - 4; ++k)
            r2[k] = (0.5L * r1[k - 2] + r1[k - 1] + r1[k] + r1[k + 1] + 0.5L * r1[k + 2]) / 4;
        r2[n - 3] = (r1[n - 4] + r1[n - 3] + r1[n - 2]) / 3;
    }
    r2[n - 2] = (r1[n - 3] + r1[n - 2]) / 2;
}

} // namespace

void SortFloatsAsc(std::array<long double, 5>& a, int n) { Exchange(a, n); }

void SortFloatsKeepDip(std::array<long double, 5>& a, int n) {
    if (n == 5 && CentreDips(a)) return;
    Exchange(a, n);
}

long double TurnRadius(long double px, long double py, long double qx, long double qy,
                       long double sx, long double sy) {
    const long double d1x = qx - px, d1y = qy - py;
    const long double d2x = sx - qx, d2y = sy - qy;
    const long double d3x = sx - px, d3y = sy - py;
    const long double cross = d1x * d2y - d1y * d2x;
    const long double a2 = d1x * d1x + d1y * d1y;
    const long double b2 = d2x * d2x + d2y * d2y;
    if (a2 == 0 || b2 == 0 || cross == 0) return MaxRadius;
    // |PQ| |QS| |PS| / (2 |cross|), under one root.
    const long double r = std::sqrt(a2 * b2 * (d3x * d3x + d3y * d3y)) / (2 * std::fabs(cross));
    return r <= MaxRadius ? r : MaxRadius;   // also catches a value that is not finite
}

void SetDElm(TLapDtRec& lap) {
    const QVector<TLapElmRec>& elm = lap.Elm;
    const qsizetype n = elm.size();
    lap.DElm.resize(n);
    if (n == 0) return;
    const QVector<long double> course = CourseFromPositions(elm);
    QVector<long double> angle(n);
    for (qsizetype i = 0; i < n; ++i) angle[i] = DriftAngle(elm[i].Dir, course[i], elm[i].Spd);
    if (HasDriftRun(elm, angle)) lap.driftAct = true;
    const QVector<long double> smooth = SmoothDriftAngles(elm, angle);
    TDriftRec* d = lap.DElm.data();
    for (qsizetype i = 0; i < n; ++i) {
        d[i].GpsDir = course[i];
        d[i].DAngle = smooth[i];
    }
}

void SetGElm(TLapDtRec& lap) {
    const QVector<TLapElmRec>& elm = lap.Elm;
    const qsizetype n = elm.size();
    const TLapElmRec* e = elm.constData();

    // Positions smoothed over the neighbours within 210 ms, the raw values only.
    QVector<long double> ido(n), kdo(n);
    for (qsizetype i = 0; i < n; ++i) {
        ido[i] = e[i].Ido;
        kdo[i] = e[i].Kdo;
    }
    const QVector<long double> sIdo = SmoothOverNeighbours(elm, ido, {0.75L, 0.5L, 0.25L});
    const QVector<long double> sKdo = SmoothOverNeighbours(elm, kdo, {0.75L, 0.5L, 0.25L});
    const QVector<long double> c = CourseFromPositions(elm, sIdo, sKdo);

    // The passes run over packed arrays and the records are written once at
    // the end, which keeps the work in cache. A value no step writes stays 0.
    std::vector<long double> spd(n), X(n), Y(n), r(n), r1(n), r2(n), lat(n), lon(n);
    std::vector<int32_t> rl(n);

    constexpr long double Rad = Pi / 180.0L;
    const long double phi0 = n > 0 ? sIdo[0] * Rad : 0;
    const long double lam0 = n > 0 ? sKdo[0] * Rad : 0;
    for (qsizetype k = 0; k < n; ++k) {
        spd[k] = e[k].Spd;
        if (k == 0) continue;
        const long double phi = sIdo[k] * Rad;
        // The cos in double: its rounding is far below a millimetre here,
        // and the extended one would cost a third of the pass.
        X[k] = EarthR * std::cos(static_cast<double>(phi)) * (sKdo[k] * Rad - lam0);
        Y[k] = EarthR * (phi - phi0);
        if (k < n - 1) rl[k] = TurnSign(c[k - 1], c[k]);
    }

    for (qsizetype k = 1; k + 1 < n; ++k) r[k] = TurnRadius(X[k - 1], Y[k - 1], X[k], Y[k], X[k + 1], Y[k + 1]);

    // The intervals at the two ends of the lap do not count.
    long double dt = 9.9L;
    for (qsizetype k = 1; k + 2 < n; ++k) {
        const long double step = e[k + 1].Sec - e[k].Sec;
        if (step < dt) dt = step;
    }
    const bool filtered = !(dt > NoFilterSec);
    if (filtered) {
        FilterRadius(r.data(), r1.data(), r2.data(), n, dt > DipSec);
    } else {
        r1 = r;
        r2 = r;
    }

    for (qsizetype k = 1; k + 1 < n; ++k) {
        if (r2[k] > MaxRadius) r2[k] = MaxRadius;
        const long double v = spd[k] / KmhPerMs;
        lat[k] = r2[k] <= 0 ? 0 : (v * v / r2[k]) / OneG * rl[k];
        const long double step = e[k].Sec - e[k - 1].Sec;
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
