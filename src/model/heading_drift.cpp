#include <vector>
#include "model/heading_drift.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include "common/geodesy.h"

namespace vel {

namespace {

constexpr long double SlowKmh = 1.5L;       // at or below: no course from this step
constexpr long double StillKmh = 7.0L;      // at or below: no drift angle
constexpr long double RunKmh = 15.0L;       // at or below: no drift run
constexpr long double RunAngle = 10.0L;
constexpr int RunLength = 5;                // a run is longer than this
constexpr double WindowDays = 210.0 / 86400000.0;

inline long double StepCourseOf(long double ido1, long double kdo1, long double ido2, long double kdo2,
                                long double prev) {
    // The trigonometry runs in double: extended precision changes a course
    // by about 1e-14 degrees and costs a third of a lap's load time.
    const long double dx = (kdo2 - kdo1) * std::cos(static_cast<double>(ido2) * (3.14159265358979323846 / 180.0));
    const long double dy = ido2 - ido1;
    const long double len2 = dx * dx + dy * dy;
    if (!(len2 > 0) || !std::isfinite(len2)) return prev;
    // The angle of the step from east, 0 to 180 above and below the axis;
    // atan2 rather than arccos of dx / length, which rounding can push past 1.
    long double theta = std::atan2(std::fabs(static_cast<double>(dy)), static_cast<double>(dx)) * (180.0 / 3.14159265358979323846);
    if (dy < 0) theta = 360.0L - theta;
    long double h = 360.0L - (theta + 90.0L);
    if (h < 0) h += 360.0L;
    return h;
}

inline long double MeanCourseOf(long double a, long double b) {
    long double m = std::fabs(a - b) > 180.0L ? (a + b + 360.0L) / 2 : (a + b) / 2;
    if (m > 360.0L) m -= 360.0L;
    return m;
}

// pos(i) gives the latitude and longitude of sample i.
template <class Pos>
QVector<long double> CoursePass(const QVector<TLapElmRec>& elm, Pos pos) {
    const qsizetype n = elm.size();
    const TLapElmRec* e = elm.constData();
    QVector<long double> out(n);
    long double* course = out.data();
    for (qsizetype i = 0; i < n; ++i) course[i] = e[i].Dir;
    long double prev = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (!(e[i].Spd > SlowKmh)) continue;
        const auto [ido0, kdo0] = pos(i - 1);
        const auto [ido1, kdo1] = pos(i);
        const long double h = StepCourseOf(ido0, kdo0, ido1, kdo1, prev);
        if (i == 1) prev = h;
        course[i - 1] = MeanCourseOf(prev, h);
        if (i == n - 1) course[i] = h;
        prev = h;
    }
    return out;
}

} // namespace

bool LacksRealHeading(const QVector<TLapElmRec>& elm) {
    if (elm.isEmpty()) return false;
    const long double d = elm.front().Dir;
    return d == 0 || d == 180 || d == 360;
}

long double StepCourse(long double ido1, long double kdo1, long double ido2, long double kdo2,
                       long double prev) {
    return StepCourseOf(ido1, kdo1, ido2, kdo2, prev);
}

long double MeanCourse(long double a, long double b) { return MeanCourseOf(a, b); }

QVector<long double> CourseFromPositions(const QVector<TLapElmRec>& elm) {
    const TLapElmRec* e = elm.constData();
    return CoursePass(elm, [e](qsizetype i) { return std::pair(e[i].Ido, e[i].Kdo); });
}

QVector<long double> CourseFromPositions(const QVector<TLapElmRec>& elm,
                                         const QVector<long double>& ido,
                                         const QVector<long double>& kdo) {
    // Positions that do not match the samples one to one are not used.
    if (ido.size() != elm.size() || kdo.size() != elm.size()) return CourseFromPositions(elm);
    const long double* y = ido.constData();
    const long double* x = kdo.constData();
    return CoursePass(elm, [y, x](qsizetype i) { return std::pair(y[i], x[i]); });
}

long double DriftAngle(long double dir, long double course, long double spd) {
    long double a = dir - course;
    if (spd <= StillKmh) a = 0;
    if (a > 180.0L) a -= 360.0L;
    else if (a < -180.0L) a += 360.0L;
    return a;
}

bool HasDriftRun(const QVector<TLapElmRec>& elm, const QVector<long double>& angle) {
    const qsizetype n = std::min(elm.size(), angle.size());
    int count = 0;
    for (qsizetype i = 1; i + 1 < n; ++i) {
        if (std::fabs(angle[i]) > RunAngle && elm[i].Spd > RunKmh) {
            if (++count > RunLength) return true;
        } else {
            count = 0;
        }
    }
    return false;
}

QVector<long double> SmoothOverNeighbours(const QVector<TLapElmRec>& elm,
                                          const QVector<long double>& values,
                                          const std::array<long double, 3>& weights) {
    const qsizetype n = std::min(elm.size(), values.size());
    QVector<long double> out(n);
    // The times side by side: the records are large and each is read 7 times.
    std::vector<double> t(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) t[i] = elm[i].DtTm;
    static constexpr int Offsets[] = {-3, -2, -1, 1, 2, 3};
    for (qsizetype i = 0; i < n; ++i) {
        long double s = values[i];
        long double w = 1;
        for (const int j : Offsets) {
            const qsizetype k = i + j;
            if (k < 0 || k >= n) continue;
            const double gap = j > 0 ? t[k] - t[i] : t[i] - t[k];
            if (!(gap < WindowDays)) continue;
            const long double wj = weights[std::abs(j) - 1];
            s += wj * values[k];
            w += wj;
        }
        out[i] = s / w;
    }
    return out;
}

QVector<long double> SmoothDriftAngles(const QVector<TLapElmRec>& elm,
                                       const QVector<long double>& angle) {
    return SmoothOverNeighbours(elm, angle, {0.3L, 0.2L, 0.1L});
}

} // namespace vel
