#include "support/derive_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace vel::test {

namespace {

using LD = long double;
constexpr LD Pi = 3.14159265358979323846264338327950288L;
constexpr LD EarthR = 6367444.5L;
constexpr LD SlowKmh = 1.5L, StillKmh = 7.0L, RunKmh = 15.0L, RunAngle = 10.0L;
constexpr int RunLength = 5;
constexpr double WindowDays = 210.0 / 86400000.0;
constexpr LD MaxRadius = 9999.9L, OneG = 9.80665L, KmhPerMs = 3.6L, NoFilterSec = 0.2L, DipSec = 0.1L;

LD StepCourseOf(LD ido1, LD kdo1, LD ido2, LD kdo2, LD prev) {
    const LD dx = (kdo2 - kdo1) * std::cos(static_cast<double>(ido2) * (3.14159265358979323846 / 180.0));
    const LD dy = ido2 - ido1;
    const LD len2 = dx * dx + dy * dy;
    if (!(len2 > 0) || !std::isfinite(len2)) return prev;
    LD theta = std::atan2(std::fabs(static_cast<double>(dy)), static_cast<double>(dx)) * (180.0 / 3.14159265358979323846);
    if (dy < 0) theta = 360.0L - theta;
    LD h = 360.0L - (theta + 90.0L);
    if (h < 0) h += 360.0L;
    return h;
}

LD MeanCourseOf(LD a, LD b) {
    LD m = std::fabs(a - b) > 180.0L ? (a + b + 360.0L) / 2 : (a + b) / 2;
    if (m > 360.0L) m -= 360.0L;
    return m;
}

std::vector<LD> Course(const std::vector<RefSample>& e, const std::vector<LD>& ido, const std::vector<LD>& kdo) {
    const size_t n = e.size();
    std::vector<LD> course(n);
    for (size_t i = 0; i < n; ++i) course[i] = e[i].Dir;
    LD prev = 0;
    for (size_t i = 1; i < n; ++i) {
        if (!(e[i].Spd > SlowKmh)) continue;
        const LD h = StepCourseOf(ido[i - 1], kdo[i - 1], ido[i], kdo[i], prev);
        if (i == 1) prev = h;
        course[i - 1] = MeanCourseOf(prev, h);
        if (i == n - 1) course[i] = h;
        prev = h;
    }
    return course;
}

std::vector<LD> Smooth(const std::vector<RefSample>& e, const std::vector<LD>& values, std::array<LD, 3> weights) {
    const long n = static_cast<long>(e.size());
    std::vector<LD> out(n);
    static constexpr int Offsets[] = {-3, -2, -1, 1, 2, 3};
    for (long i = 0; i < n; ++i) {
        LD s = values[i], w = 1;
        for (const int j : Offsets) {
            const long k = i + j;
            if (k < 0 || k >= n) continue;
            const double gap = j > 0 ? e[k].DtTm - e[i].DtTm : e[i].DtTm - e[k].DtTm;
            if (!(gap < WindowDays)) continue;
            const LD wj = weights[std::abs(j) - 1];
            s += wj * values[k];
            w += wj;
        }
        out[i] = s / w;
    }
    return out;
}

int TurnSign(LD prev, LD cur) {
    if (cur > 270 && prev < 90) return 1;
    if (prev > 270 && cur < 90) return -1;
    return cur <= prev ? 1 : -1;
}

LD TurnRadius(LD px, LD py, LD qx, LD qy, LD sx, LD sy) {
    const LD d1x = qx - px, d1y = qy - py, d2x = sx - qx, d2y = sy - qy, d3x = sx - px, d3y = sy - py;
    const LD cross = d1x * d2y - d1y * d2x;
    const LD a2 = d1x * d1x + d1y * d1y, b2 = d2x * d2x + d2y * d2y;
    if (a2 == 0 || b2 == 0 || cross == 0) return MaxRadius;
    const LD r = std::sqrt(a2 * b2 * (d3x * d3x + d3y * d3y)) / (2 * std::fabs(cross));
    return r <= MaxRadius ? r : MaxRadius;
}

void Exchange(std::array<LD, 5>& a, int n) {
    for (int pass = 0; pass + 1 < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (a[i] > a[i + 1]) std::swap(a[i], a[i + 1]);
}

bool CentreDips(const std::array<LD, 5>& a) { return a[2] < a[0] && a[2] < a[1] && a[2] < a[3] && a[2] < a[4]; }

void FilterRadius(const std::vector<LD>& r, std::vector<LD>& r1, std::vector<LD>& r2, long n, bool keepDip) {
    auto median3 = [&](long k) {
        std::array<LD, 5> a = {r[k], r[k + 1], r[k + 2], 0, 0};
        Exchange(a, 3);
        return a[1];
    };
    auto median5 = [&](long k) {
        std::array<LD, 5> a = {r[k - 2], r[k - 1], r[k], r[k + 1], r[k + 2]};
        if (keepDip && CentreDips(a)) return a[2];
        Exchange(a, 5);
        return a[2];
    };
    r1[1] = (r[1] + r[2]) / 2;
    r1[2] = median3(1);
    for (long k = 3; k <= n - 4; ++k) r1[k] = median5(k);
    r1[n - 3] = median3(n - 4);
    r1[n - 2] = (r[n - 3] + r[n - 2]) / 2;
    r2[1] = (r1[1] + r1[2]) / 2;
    if (keepDip) {
        for (long k = 2; k <= n - 3; ++k) {
            const LD a = r1[k - 1], b = r1[k], c = r1[k + 1];
            r2[k] = (b < a && b < c) ? (a + 2 * b + c) / 4 : (a + b + c) / 3;
        }
    } else {
        r2[2] = (r1[1] + r1[2] + r1[3]) / 3;
        for (long k = 3; k <= n - 4; ++k)
            r2[k] = (0.5L * r1[k - 2] + r1[k - 1] + r1[k] + r1[k + 1] + 0.5L * r1[k + 2]) / 4;
        r2[n - 3] = (r1[n - 4] + r1[n - 3] + r1[n - 2]) / 3;
    }
    r2[n - 2] = (r1[n - 3] + r1[n - 2]) / 2;
}

} // namespace

std::vector<RefSample> RefSamplesOf(const QVector<TLapElmRec>& elm) {
    std::vector<RefSample> s;
    s.reserve(elm.size());
    for (const TLapElmRec& e : elm) s.push_back({e.DtTm, e.Sec, e.Ido, e.Kdo, e.Spd, e.Dir});
    return s;
}

RefDerived ReferenceDerive(const std::vector<RefSample>& e) {
    RefDerived out;
    const long n = static_cast<long>(e.size());
    std::vector<LD> ido(n), kdo(n);
    for (long i = 0; i < n; ++i) {
        ido[i] = e[i].Ido;
        kdo[i] = e[i].Kdo;
    }
    // Course and drift.
    out.GpsDir = Course(e, ido, kdo);
    std::vector<LD> angle(n);
    for (long i = 0; i < n; ++i) {
        LD a = e[i].Dir - out.GpsDir[i];
        if (e[i].Spd <= StillKmh) a = 0;
        if (a > 180.0L) a -= 360.0L;
        else if (a < -180.0L) a += 360.0L;
        angle[i] = a;
    }
    int count = 0;
    for (long i = 1; i + 1 < n && !out.driftAct; ++i) {
        if (std::fabs(angle[i]) > RunAngle && e[i].Spd > RunKmh) {
            if (++count > RunLength) out.driftAct = true;
        } else {
            count = 0;
        }
    }
    out.DAngle = Smooth(e, angle, {0.3L, 0.2L, 0.1L});

    // Radius and G.
    const std::vector<LD> sIdo = Smooth(e, ido, {0.75L, 0.5L, 0.25L});
    const std::vector<LD> sKdo = Smooth(e, kdo, {0.75L, 0.5L, 0.25L});
    const std::vector<LD> c = Course(e, sIdo, sKdo);
    std::vector<LD> spd(n), X(n), Y(n), r(n), r1(n), r2(n), lat(n), lon(n);
    std::vector<int> rl(n);
    constexpr LD Rad = Pi / 180.0L;
    const LD phi0 = n > 0 ? sIdo[0] * Rad : 0, lam0 = n > 0 ? sKdo[0] * Rad : 0;
    for (long k = 0; k < n; ++k) {
        spd[k] = e[k].Spd;
        if (k == 0) continue;
        const LD phi = sIdo[k] * Rad;
        X[k] = EarthR * std::cos(static_cast<double>(phi)) * (sKdo[k] * Rad - lam0);
        Y[k] = EarthR * (phi - phi0);
        if (k < n - 1) rl[k] = TurnSign(c[k - 1], c[k]);
    }
    for (long k = 1; k + 1 < n; ++k) r[k] = TurnRadius(X[k - 1], Y[k - 1], X[k], Y[k], X[k + 1], Y[k + 1]);
    LD dt = 9.9L;
    for (long k = 1; k + 2 < n; ++k) dt = std::min(dt, e[k + 1].Sec - e[k].Sec);
    const bool filtered = !(dt > NoFilterSec);
    if (filtered) {
        FilterRadius(r, r1, r2, n, dt > DipSec);
    } else {
        r1 = r;
        r2 = r;
    }
    for (long k = 1; k + 1 < n; ++k) {
        if (r2[k] > MaxRadius) r2[k] = MaxRadius;
        const LD v = spd[k] / KmhPerMs;
        lat[k] = r2[k] <= 0 ? 0 : (v * v / r2[k]) / OneG * rl[k];
        const LD step = e[k].Sec - e[k - 1].Sec;
        lon[k] = step > 0 ? ((v - spd[k - 1] / KmhPerMs) / step) / OneG : 0;
    }
    out.G.resize(n);
    for (long k = 0; k < n; ++k) {
        RefG& g = out.G[k];
        g = {spd[k], rl[k], X[k], Y[k], r[k], r1[k], r2[k], lat[k], lon[k]};
        if (k < 1 || k + 1 >= n) continue;
        if (!filtered) {
            g.r2_3 = r2[k];
            g.lateG3 = lat[k];
            g.logiG3 = lon[k];
        } else if (k == 1 || k == n - 2) {
            const long j = k == 1 ? 2 : n - 3;
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
    return out;
}

} // namespace vel::test
