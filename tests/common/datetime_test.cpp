#include <cmath>
#include <limits>
#include <gtest/gtest.h>
#include "common/datetime.h"

namespace vel {
namespace {

struct Civil {
    int y, mo, d, h, mi, s, ms;
};

bool operator==(const Civil& a, const Civil& b) {
    return a.y == b.y && a.mo == b.mo && a.d == b.d && a.h == b.h && a.mi == b.mi &&
           a.s == b.s && a.ms == b.ms;
}

void PrintTo(const Civil& c, std::ostream* os) {
    *os << c.y << '-' << c.mo << '-' << c.d << ' ' << c.h << ':' << c.mi << ':' << c.s << '.' << c.ms;
}

Civil Decode(double dt) {
    Civil c{};
    DecodeDateTime(dt, c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    return c;
}

TEST(DateTime, EncodesDayCountsAndDecodesThemBack) {
    struct Case {
        Civil civil;
        double days;
    };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{1970, 1, 1, 0, 0, 0, 0}, UnixEpochDays},
        {{2024, 2, 29, 12, 0, 0, 0}, 45351.5},
        {{2024, 2, 29, 6, 0, 0, 0}, 45351.25},
        {{2000, 12, 31, 23, 59, 59, 999}, 36891 + 86399999.0 / 86400000},
        {{9999, 12, 31, 0, 0, 0, 1}, 2958465 + 1.0 / 86400000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        const Civil& v = c.civil;
        EXPECT_DOUBLE_EQ(EncodeDateTime(v.y, v.mo, v.d, v.h, v.mi, v.s, v.ms), c.days);
        EXPECT_EQ(Decode(c.days), v);
    }
}

TEST(DateTime, DecodeRoundsToTheMillisecond) {
    struct Case {
        double days;
        Civil civil;
    };
    const Case cases[] = {
        {45351.999999999, {2024, 3, 1, 0, 0, 0, 0}},                     // 0.09 ms short: next day
        {45351.9999999, {2024, 2, 29, 23, 59, 59, 991}},                 // 8.64 ms short
        {45351.0 + 0.0004 / 86400, {2024, 2, 29, 0, 0, 0, 0}},
        {45351.0 + 0.0006 / 86400, {2024, 2, 29, 0, 0, 0, 1}},
        {45351.0 + 59.9996 / 86400, {2024, 2, 29, 0, 1, 0, 0}},
        {36891.0 + 86399.9996 / 86400, {2001, 1, 1, 0, 0, 0, 0}},       // into a new year
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        EXPECT_EQ(Decode(c.days), c.civil);
    }
}

TEST(DateTime, InvalidDateEncodesAsZero) {
    EXPECT_EQ(EncodeDateTime(2023, 2, 29, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(2024, 13, 1, 0, 0, 0, 0), 0.0);
}

TEST(DateTime, DurationTexts) {
    struct Case {
        long double seconds;
        const char* lap;
        const char* sect;
    };
    const Case cases[] = {
        {0.0L, "0:00.000", "00.000"},
        {5.123L, "0:05.123", "05.123"},
        {5.1234L, "0:05.123", "05.123"},
        {5.1235L, "0:05.124", "05.124"},
        {59.999L, "0:59.999", "59.999"},
        {59.9996L, "1:00.000", "1:00.000"},           // a minute once rounded
        {65.5L, "1:05.500", "1:05.500"},
        {3599.999L, "59:59.999", "59:59.999"},
        {3599.9995L, "1:00:00.000", "1:00:00.000"},
        {3600.0L, "1:00:00.000", "1:00:00.000"},
        {36061.001L, "10:01:01.001", "10:01:01.001"},
        {-5.123L, "-0:05.123", "-05.123"},
        {-0.0004L, "0:00.000", "00.000"},             // rounds to no time at all
        {std::numeric_limits<long double>::quiet_NaN(), "0:00.000", "00.000"},
        {std::numeric_limits<long double>::infinity(), "0:00.000", "00.000"},
        {-std::numeric_limits<long double>::infinity(), "0:00.000", "00.000"},
        {1e300L, "0:00.000", "00.000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.seconds));
        EXPECT_EQ(LapTimeText(c.seconds), QString::fromLatin1(c.lap));
        EXPECT_EQ(SectTimeText(c.seconds), QString::fromLatin1(c.sect));
    }
}

TEST(DateTime, FormatsWithTokens) {
    const double dt = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
    const double lastMoment = EncodeDateTime(2024, 12, 31, 23, 59, 59, 0) + 0.9996 / 86400;
    struct Case {
        const char* fmt;
        double dt;
        const char* text;
    };
    const Case cases[] = {
        {"yyyy/mm/dd hh:nn:ss.zzz", dt, "2024/03/05 07:08:09.045"},
        {"yyyymmddhhnn", dt, "202403050708"},
        {"yyyymmdd_hhnn", dt, "20240305_0708"},
        {"Lap at hh.nn", dt, "Lap at 07.08"},                        // other text kept
        {"", dt, ""},
        {"yyyy/mm/dd hh:nn:ss.zzz", lastMoment, "2025/01/01 00:00:00.000"},
        {"yyyy/mm/dd hh:nn:ss.zzz", std::nan(""), "1899/12/30 00:00:00.000"},
        {"yyyy/mm/dd", std::numeric_limits<double>::infinity(), "1899/12/30"},
        {"yyyy/mm/dd", 1e300, "1899/12/30"},
        {"yyyy/mm/dd", -1e300, "1899/12/30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fmt);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(c.fmt), c.dt), QString::fromLatin1(c.text));
    }
    EXPECT_EQ(DateText(dt), QStringLiteral("2024/03/05"));
    EXPECT_EQ(ClockText(dt), QStringLiteral("07:08:09"));
    EXPECT_EQ(ClockText(EncodeDateTime(2024, 3, 5, 19, 0, 0, 0)), QStringLiteral("19:00:00"));
    EXPECT_EQ(ClockText(lastMoment), QStringLiteral("00:00:00"));
}

} // namespace
} // namespace vel
