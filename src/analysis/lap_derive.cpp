#include "analysis/lap_derive.h"

#include <algorithm>
#include <cmath>
#include "common/geodesy.h"
#include "model/course.h"

namespace vel {

namespace {

constexpr long double OneG = 9.80665L;      // m/s^2
constexpr long double KmhPerMs = 3.6L;

// Shortest sample interval, s, that chooses the radius filter.
constexpr long double NoFilterSec = 0.2L;   // above: raw radius as it is
constexpr long double DipSec = 0.1L;        // above (and up to NoFilterSec): dip-keeping median

void Exchange(std::array<long double, 5>& a, int n) {
    n = std::clamp(n, 0, 5);
    for (int pass = 0; pass + 1 < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (a[i] > a[i + 1]) std::swap(a[i], a[i + 1]);
}

// Turn sign from the course of the previous sample to this one: a falling
// course is a left-hand turn under the heading rule; passing 0 counts by
// the way it went.
int32_t TurnSign(long double prev, long double cur) {
    if (cur > 270 && prev < 90) return 1;
    if (prev > 270 && cur < 90) return -1;
    return cur <= prev ? 1 : -1;
}

// Median and mean filters of the raw radius r into r1 and r2, samples 1 to
// n - 2; a lap of fewer than four samples never gets here.
void FilterRadius(TGCalRec* g, qsizetype n, bool keepDip) {
    auto sorted = [keepDip](std::array<long double, 5> a, int cnt) {
        if (keepDip) SortFloatsKeepDip(a, cnt);
        else SortFloatsAsc(a, cnt);
        return a;
    };
    auto median3 = [&](qsizetype k) { return sorted({g[k].r, g[k + 1].r, g[k + 2].r, 0, 0}, 3)[1]; };

    g[1].r1 = (g[1].r + g[2].r) / 2;
    g[2].r1 = median3(1);
    for (qsizetype k = 3; k <= n - 4; ++k)
        g[k].r1 = sorted({g[k - 2].r, g[k - 1].r, g[k].r, g[k + 1].r, g[k + 2].r}, 5)[2];
    g[n - 3].r1 = median3(n - 4);
    g[n - 2].r1 = (g[n - 3].r + g[n - 2].r) / 2;

    g[1].r2 = (g[1].r1 + g[2].r1) / 2;
    if (keepDip) {
        for (qsizetype k = 2; k <= n - 3; ++k) {
            const long double a = g[k - 1].r1, b = g[k].r1, c = g[k + 1].r1;
            g[k].r2 = (b < a && b < c) ? (a + 2 * b + c) / 4 : (a + b + c) / 3;
        }
    } else {
        g[2].r2 = (g[1].r1 + g[2].r1 + g[3].r1) / 3;
        for (qsizetype k = 3; k <= n - 4; ++k)
            g[k].r2 = (0.5L * g[k - 2].r1 + g[k - 1].r1 + g[k].r1 + g[k + 1].r1 + 0.5L * g[k + 2].r1) / 4;
        g[n - 3].r2 = (g[n - 4].r1 + g[n - 3].r1 + g[n - 2].r1) / 3;
    }
    g[n - 2].r2 = (g[n - 3].r1 + g[n - 2].r1) / 2;
}

} // namespace

void SortFloatsAsc(std::array<long double, 5>& a, int n) { Exchange(a, n); }

void SortFloatsKeepDip(std::array<long double, 5>& a, int n) {
    if (n == 5 && a[2] < a[0] && a[2] < a[1] && a[2] < a[3] && a[2] < a[4]) return;
    Exchange(a, n);
}

long double TurnRadius(long double px, long double py, long double qx, long double qy,
                       long double sx, long double sy) {
    const long double d1x = qx - px, d1y = qy - py;
    const long double d2x = sx - qx, d2y = sy - qy;
    const long double cross = d1x * d2y - d1y * d2x;
    const long double a = std::sqrt(d1x * d1x + d1y * d1y);
    const long double b = std::sqrt(d2x * d2x + d2y * d2y);
    if (a == 0 || b == 0 || cross == 0) return MaxRadius;
    const long double c = std::sqrt((sx - px) * (sx - px) + (sy - py) * (sy - py));
    const long double r = a * b * c / (2 * std::fabs(cross));
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
    // Every field no step writes stays 0, also when the lap is derived again.
    lap.GElm = QVector<TGCalRec>(n);
    if (n == 0) return;
    const TLapElmRec* e = elm.constData();
    TGCalRec* g = lap.GElm.data();

    // Positions smoothed over the neighbours within 210 ms, the raw values only.
    QVector<long double> ido(n), kdo(n);
    for (qsizetype i = 0; i < n; ++i) {
        ido[i] = e[i].Ido;
        kdo[i] = e[i].Kdo;
    }
    const QVector<long double> sIdo = SmoothOverNeighbours(elm, ido, {0.75L, 0.5L, 0.25L});
    const QVector<long double> sKdo = SmoothOverNeighbours(elm, kdo, {0.75L, 0.5L, 0.25L});
    const QVector<long double> c = CourseFromPositions(elm, sIdo, sKdo);

    constexpr long double Rad = Pi / 180.0L;
    const long double phi0 = sIdo[0] * Rad;
    const long double lam0 = sKdo[0] * Rad;
    for (qsizetype k = 0; k < n; ++k) {
        g[k].spd2 = e[k].Spd;
        if (k == 0) continue;
        const long double phi = sIdo[k] * Rad;
        g[k].X = EarthR * std::cos(phi) * (sKdo[k] * Rad - lam0);
        g[k].Y = EarthR * (phi - phi0);
        if (k < n - 1) g[k].rl = TurnSign(c[k - 1], c[k]);
    }

    for (qsizetype k = 1; k + 1 < n; ++k)
        g[k].r = TurnRadius(g[k - 1].X, g[k - 1].Y, g[k].X, g[k].Y, g[k + 1].X, g[k + 1].Y);

    // The intervals at the two ends of the lap do not count.
    long double dt = 9.9L;
    for (qsizetype k = 1; k + 2 < n; ++k) {
        const long double step = e[k + 1].Sec - e[k].Sec;
        if (step < dt) dt = step;
    }
    const bool filtered = !(dt > NoFilterSec);
    if (filtered) {
        FilterRadius(g, n, dt > DipSec);
    } else {
        for (qsizetype k = 0; k < n; ++k) g[k].r1 = g[k].r2 = g[k].r;
    }

    for (qsizetype k = 1; k + 1 < n; ++k) {
        if (g[k].r2 > MaxRadius) g[k].r2 = MaxRadius;
        const long double v = g[k].spd2 / KmhPerMs;
        g[k].lateG = g[k].r2 <= 0 ? 0 : (v * v / g[k].r2) / OneG * g[k].rl;
        const long double step = e[k].Sec - e[k - 1].Sec;
        g[k].logiG = step > 0 ? ((v - g[k - 1].spd2 / KmhPerMs) / step) / OneG : 0;
    }

    for (qsizetype k = 1; k + 1 < n; ++k) {
        TGCalRec& x = g[k];
        if (!filtered) {
            x.r2_3 = x.r2;
            x.lateG3 = x.lateG;
            x.logiG3 = x.logiG;
        } else {
            // Three samples, two at either end of the interior.
            qsizetype from = k - 1, to = k + 1;
            if (k == 1) {
                from = 1;
                to = 2;
            } else if (k == n - 2) {
                from = n - 3;
                to = n - 2;
            }
            long double r = 0, lat = 0, lon = 0;
            for (qsizetype j = from; j <= to; ++j) {
                r += g[j].r2;
                lat += g[j].lateG;
                lon += g[j].logiG;
            }
            const long double cnt = static_cast<long double>(to - from + 1);
            x.r2_3 = r / cnt;
            x.lateG3 = lat / cnt;
            x.logiG3 = lon / cnt;
        }
        x.XYG = std::sqrt(x.lateG3 * x.lateG3 + x.logiG3 * x.logiG3);
    }
}

} // namespace vel
