#include <vector>
#include "model/heading_drift.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include "common/geodesy.h"

namespace vel {

namespace {

constexpr double SlowKmh = 1.5;       // at or below: no course from this step
constexpr double StillKmh = 7.0;      // at or below: no drift angle
constexpr double RunKmh = 15.0;       // at or below: no drift run
constexpr double RunAngle = 10.0;
constexpr int RunLength = 5;                // a run is longer than this
constexpr double WindowDays = 210.0 / 86400000.0;

inline double StepCourseOf(double ido1, double kdo1, double ido2, double kdo2,
                                double prev, double idoBase = 0) {
    const double dx = (kdo2 - kdo1) * std::cos((idoBase + ido2) * (3.14159265358979323846 / 180.0));
    const double dy = ido2 - ido1;
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0) || !std::isfinite(len2)) return prev;
    // The angle of the step from east, 0 to 180 above and below the axis;
    // atan2 rather than arccos of dx / length, which rounding can push past 1.
    double theta = std::atan2(std::fabs(dy), dx) * (180.0 / 3.14159265358979323846);
    if (dy < 0) theta = 360.0 - theta;
    double h = 360.0 - (theta + 90.0);
    if (h < 0) h += 360.0;
    return h;
}

inline double MeanCourseOf(double a, double b) {
    double m = std::fabs(a - b) > 180.0 ? (a + b + 360.0) / 2 : (a + b) / 2;
    if (m > 360.0) m -= 360.0;
    return m;
}

// pos(i) gives the latitude and longitude of sample i, dir(i) and spd(i)
// its heading and speed.
template <class Pos, class Dir, class Spd>
void CoursePass(qsizetype n, Pos pos, Dir dir, Spd spd, double* course, double idoBase = 0) {
    for (qsizetype i = 0; i < n; ++i) course[i] = dir(i);
    double prev = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (!(spd(i) > SlowKmh)) continue;
        const auto [ido0, kdo0] = pos(i - 1);
        const auto [ido1, kdo1] = pos(i);
        const double h = StepCourseOf(ido0, kdo0, ido1, kdo1, prev, idoBase);
        if (i == 1) prev = h;
        course[i - 1] = MeanCourseOf(prev, h);
        if (i == n - 1) course[i] = h;
        prev = h;
    }
}

template <class Pos>
QVector<double> CoursePass(const QVector<TLapElmRec>& elm, Pos pos) {
    const TLapElmRec* e = elm.constData();
    QVector<double> out(elm.size());
    CoursePass(elm.size(), pos, [e](qsizetype i) { return e[i].Dir; }, [e](qsizetype i) { return e[i].Spd; },
               out.data());
    return out;
}

} // namespace

bool LacksRealHeading(const QVector<TLapElmRec>& elm) {
    if (elm.isEmpty()) return false;
    const double d = elm.front().Dir;
    return d == 0 || d == 180 || d == 360;
}

double StepCourse(double ido1, double kdo1, double ido2, double kdo2,
                       double prev) {
    return StepCourseOf(ido1, kdo1, ido2, kdo2, prev);
}

double MeanCourse(double a, double b) { return MeanCourseOf(a, b); }

QVector<double> CourseFromPositions(const QVector<TLapElmRec>& elm) {
    const TLapElmRec* e = elm.constData();
    return CoursePass(elm, [e](qsizetype i) { return std::pair(e[i].Ido, e[i].Kdo); });
}

QVector<double> CourseFromPositions(const QVector<TLapElmRec>& elm,
                                         const QVector<double>& ido,
                                         const QVector<double>& kdo) {
    // Positions that do not match the samples one to one are not used.
    if (ido.size() != elm.size() || kdo.size() != elm.size()) return CourseFromPositions(elm);
    const double* y = ido.constData();
    const double* x = kdo.constData();
    return CoursePass(elm, [y, x](qsizetype i) { return std::pair(y[i], x[i]); });
}

double DriftAngle(double dir, double course, double spd) {
    double a = dir - course;
    if (spd <= StillKmh) a = 0;
    if (a > 180.0) a -= 360.0;
    else if (a < -180.0) a += 360.0;
    return a;
}

bool HasDriftRun(const QVector<TLapElmRec>& elm, const QVector<double>& angle) {
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

void NeighbourWindows(const TLapElmRec* e, qsizetype n, uint8_t* flags) {
    for (qsizetype i = 0; i < n; ++i) {
        uint8_t f = 0;
        for (int b = 0; b < 6; ++b) {
            const int j = NeighbourOffsets[b];
            const qsizetype k = i + j;
            if (k < 0 || k >= n) continue;
            const double gap = j > 0 ? e[k].DtTm - e[i].DtTm : e[i].DtTm - e[k].DtTm;
            if (gap < WindowDays) f |= uint8_t(1u << b);
        }
        flags[i] = f;
    }
}

void SmoothInWindows(const double* values, const uint8_t* flags, qsizetype n,
                     const std::array<double, 3>& weights, double* out) {
    for (qsizetype i = 0; i < n; ++i) {
        double s = values[i];
        double w = 1;
        const uint8_t f = flags[i];
        for (int b = 0; b < 6; ++b) {
            if (!(f & (1u << b))) continue;
            const int j = NeighbourOffsets[b];
            const double wj = weights[std::abs(j) - 1];
            s += wj * values[i + j];
            w += wj;
        }
        out[i] = s / w;
    }
}

void CourseOfPositions(const double* dir, const double* spd, const double* ido, const double* kdo,
                       qsizetype n, double* course, double idoBase) {
    CoursePass(
        n, [ido, kdo](qsizetype i) { return std::pair(ido[i], kdo[i]); }, [dir](qsizetype i) { return dir[i]; },
        [spd](qsizetype i) { return spd[i]; }, course, idoBase);
}

QVector<double> SmoothOverNeighbours(const QVector<TLapElmRec>& elm,
                                          const QVector<double>& values,
                                          const std::array<double, 3>& weights) {
    const qsizetype n = std::min(elm.size(), values.size());
    QVector<double> out(n);
    std::vector<uint8_t> flags(static_cast<size_t>(n));
    NeighbourWindows(elm.constData(), n, flags.data());
    SmoothInWindows(values.constData(), flags.data(), n, weights, out.data());
    return out;
}

QVector<double> SmoothDriftAngles(const QVector<TLapElmRec>& elm,
                                       const QVector<double>& angle) {
    return SmoothOverNeighbours(elm, angle, {0.3, 0.2, 0.1});
}

} // namespace vel
