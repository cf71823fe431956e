#include "import/bluetooth_records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <QFileInfo>

namespace vel {

namespace {

constexpr double DegToRad = 3.14159265358979323846 / 180.0;
constexpr double TwoPi = 2.0 * 3.14159265358979323846;

// Heading correction constants.
constexpr double StartMinIntervalSec = 9.9;
constexpr double FastRateSec = 0.1;
// Record times are whole milliseconds, but as day counts their differences
// carry rounding of well under half a millisecond.
constexpr double HalfMsSec = 0.0005;
constexpr double StartSpdKmh = 7.5;
constexpr double EndSpdKmh = 6.0;
constexpr double RenewSpdKmh = 40.0;
constexpr double SteadyGx = 0.1;

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int32_t GetI32(const uint8_t* p) {
    const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(u);
}

double GetDouble(const uint8_t* p) {
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(p[i]) << (8 * i);
    return std::bit_cast<double>(u);
}

// Days from 1899-12-30 of a valid proleptic Gregorian date; cheaper than
// QDate for the hundreds of thousands of records of one log.
int64_t DayCount(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 693899;   // 0 on 1899-12-30
}

bool ValidDate(int y, int m, int d) {
    static constexpr int MonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= MonthDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

double Wrap(double x) {
    if (x > 360.0) return x - 360.0;
    if (x < 0.0) return x + 360.0;
    return x;
}

// a - b the short way round, for two headings within one turn.
double TurnDiff(double a, double b) {
    if (std::fabs(a - b) <= 180.0) return a - b;
    if (a > b) return a - 360.0 - b;
    return 360.0 - b + a;
}

// Course of the step a -> b by the program-wide heading rule; false when
// the step has no length.
bool StepCourse(const HeadingSample& a, const HeadingSample& b, double& course) {
    const double dx = (b.Kdo - a.Kdo) * std::cos(b.Ido * DegToRad);
    const double dy = b.Ido - a.Ido;
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0.0) || !std::isfinite(len2)) return false;
    // Clamped: rounding can carry the ratio just past 1.
    double theta = std::acos(std::clamp(dx / std::sqrt(len2), -1.0, 1.0)) / DegToRad;
    if (dy < 0.0) theta = 360.0 - theta;
    course = 360.0 - (theta + 90.0);
    if (course < 0.0) course += 360.0;
    return true;
}

// Courses of the steps a -> a + 1; consecutive candidates share a step,
// so the last two are kept.
class StepCourses {
public:
    explicit StepCourses(std::span<const HeadingSample> s) : s_(s) {}
    bool Get(size_t a, double& course) {
        Slot& slot = slots_[a % 2];
        if (slot.step != a) {
            slot.step = a;
            slot.has = StepCourse(s_[a], s_[a + 1], slot.course);
        }
        course = slot.course;
        return slot.has;
    }

private:
    struct Slot {
        size_t step = SIZE_MAX;
        bool has = false;
        double course = 0;
    };
    std::span<const HeadingSample> s_;
    Slot slots_[2];
};

// Offset that turns the compass heading at i into the GPS course there;
// false when either neighbouring step has no length.
bool HeadingOffsetAt(std::span<const HeadingSample> s, StepCourses& courses, size_t i, double& offset) {
    double c1 = 0, c2 = 0;
    if (!courses.Get(i - 1, c1) || !courses.Get(i, c2)) return false;
    double m = (c1 + c2) / 2.0;
    if (std::fabs(c1 - c2) > 180.0) m += 180.0;
    offset = TurnDiff(m, s[i].Dir);
    return true;
}

// Every sample from..to is faster than spd and steady.
bool FastAndSteady(std::span<const HeadingSample> s, size_t from, size_t to, double spd) {
    for (size_t k = from; k <= to; ++k)
        if (!(s[k].Spd > spd && std::fabs(s[k].gX) < SteadyGx)) return false;
    return true;
}

} // namespace

std::optional<BtKind> BtKindOfFile(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"bon") return BtKind::Bon;
    if (ext == u"bon4") return BtKind::Bon4;
    if (ext == u"bonz") return BtKind::BonZ;
    if (ext == u"bnz4") return BtKind::Bnz4;
    return std::nullopt;
}

int BtRecordSize(BtKind kind) {
    return BtHasMotion(kind) ? BtRecordSizeMotion : BtRecordSizePlain;
}

bool BtHasMotion(BtKind kind) {
    return kind == BtKind::BonZ || kind == BtKind::Bnz4;
}

bool BtHundredths(BtKind kind) {
    return kind == BtKind::Bon4 || kind == BtKind::Bnz4;
}

int64_t BtRecordCount(int64_t fileSize, BtKind kind) {
    if (fileSize < BtHeaderSize) return -1;
    const int64_t body = fileSize - BtHeaderSize;
    const int size = BtRecordSize(kind);
    if (body % size != 0) return -1;
    return body / size;
}

double BtLocalDateTime(double utcDtTm, int biasMinutes) {
    return utcDtTm - biasMinutes / 1440.0;
}

BtSkip DecodeBtRecord(const uint8_t* rec, int64_t avail, BtKind kind, int biasMinutes, BtRecord& out) {
    if (rec == nullptr || avail < BtRecordSize(kind)) return BtSkip::Short;
    out.DtTm = 0;
    const bool hundredths = BtHundredths(kind);
    out.Ido = GetI32(rec + 4) / 10000000.0;
    out.Kdo = GetI32(rec + 8) / 10000000.0;
    out.Elv = static_cast<float>(GetI32(rec + 12) / 10.0);
    out.SpdKmh = GetU16(rec + 2) / 100.0 * 3600.0 / 1000.0;
    out.Spd = static_cast<float>(out.SpdKmh);
    out.Year = GetU16(rec + 18);
    out.Month = rec[20];
    out.Day = rec[21];
    out.Hour = rec[22];
    out.Minute = rec[23];
    out.Second = rec[24];
    const int fraction = rec[25];
    out.Ms = hundredths ? fraction * 10 : fraction * 100;
    if (!BtHasMotion(kind)) {
        out.Motion = {};
    } else {
        double* const fields[] = {
            &out.Motion.yawX, &out.Motion.yawY, &out.Motion.yawZ, &out.Motion.vX,
            &out.Motion.vY,   &out.Motion.vZ,   &out.Motion.gX,   &out.Motion.gY,
            &out.Motion.gZ,   &out.Motion.Pitch, &out.Motion.Roll, &out.Motion.Yaw,
        };
        for (int k = 0; k < 12; ++k) *fields[k] = GetDouble(rec + 26 + 8 * k);
    }

    if (out.Year < 1970) return BtSkip::Year;
    if (hundredths && fraction == 99) return BtSkip::Fraction;
    if (out.SpdKmh > BtMaxSpdKmh) return BtSkip::Speed;
    // A corrupt stamp costs this record only, not the rest of the file.
    if (!ValidDate(out.Year, out.Month, out.Day) || out.Hour > 23 || out.Minute > 59 || out.Second > 59 ||
        fraction >= (hundredths ? 100 : 10))
        return BtSkip::BadDate;
    // As EncodeDateTime does it.
    const int64_t timeMs = ((int64_t{out.Hour} * 60 + out.Minute) * 60 + out.Second) * 1000 + out.Ms;
    const double utc = static_cast<double>(DayCount(out.Year, out.Month, out.Day)) +
                       static_cast<double>(timeMs) / 86400000.0;
    out.DtTm = BtLocalDateTime(utc, biasMinutes);

    return BtSkip::None;
}

double CompassHeading(double yawRad) {
    // A yaw beyond one turn or not a number would put the heading off the
    // scale and spoil the correction of every later sample.
    if (!std::isfinite(yawRad)) yawRad = 0.0;
    if (std::fabs(yawRad) > TwoPi / 2.0) yawRad = std::remainder(yawRad, TwoPi);
    double d = -yawRad * 180.0 / (TwoPi / 2.0);
    if (d < 0.0) d += 360.0;
    d += 180.0;
    if (d > 360.0) d -= 360.0;
    return d;
}

void CorrectHeadings(std::span<HeadingSample> s) {
    const size_t n = s.size();

    // The first and last pairs don't count: loggers stamp them oddly.
    double minSec = StartMinIntervalSec;
    for (size_t i = 1; i + 3 <= n; ++i) {
        const double sec = (s[i + 1].DtTm - s[i].DtTm) * 86400.0;
        if (sec < minSec) minSec = sec;
    }
    const bool fast = minSec <= FastRateSec + HalfMsSec;

    StepCourses courses(s);
    double offset = 0;
    bool on = false;
    size_t next = 0;     // first sample whose heading is not written yet
    size_t anchor = 0;   // last calibration point
    const size_t tail = fast ? 4 : 3;
    for (size_t i = 1; i + tail <= n; ++i) {
        if (!on) {
            double off = 0;
            if (FastAndSteady(s, i - 1, i + 2, StartSpdKmh) && HeadingOffsetAt(s, courses, i, off)) {
                offset = off;
                for (size_t j = next; j <= i; ++j) s[j].Dir = Wrap(s[j].Dir + offset);
                next = i + 1;
                anchor = i;
                on = true;
            }
            continue;
        }
        if (s[i].Spd < EndSpdKmh) {
            on = false;
            continue;
        }
        double off = 0;
        if (FastAndSteady(s, i - 1, fast ? i + 3 : i + 1, RenewSpdKmh) && HeadingOffsetAt(s, courses, i, off)) {
            const double d = TurnDiff(off, offset);
            offset = off;
            // Ramp the change over the samples since the last calibration point.
            const double span = static_cast<double>(i - anchor);
            for (size_t j = anchor + 1; j < i; ++j)
                s[j].Dir = Wrap(s[j].Dir + d * static_cast<double>(j - anchor) / span);
            anchor = i;
        }
        s[i].Dir = Wrap(s[i].Dir + offset);
        next = i + 1;
    }
    for (size_t j = next; j < n; ++j) s[j].Dir = Wrap(s[j].Dir + offset);
}

} // namespace vel
