#include <cmath>
#include <numbers>
#include <gtest/gtest.h>
#include <QDate>
#include "common/datetime.h"
#include "import/bluetooth_records.h"
#include "support/bluetooth_builder.h"

using namespace vel;
using vel::test::BtSampleSpec;

namespace {

const char* KindName(BtKind k) {
    switch (k) {
    case BtKind::Bon: return "bon";
    case BtKind::Bon4: return "bon4";
    case BtKind::BonZ: return "bonz";
    case BtKind::Bnz4: return "bnz4";
    }
    return "?";
}

BtSkip DecodeOne(const BtSampleSpec& drive, BtKind kind, BtRecord& out, int bias = 0) {
    const QByteArray log = test::BuildBtLog(kind, {drive});
    const auto* p = reinterpret_cast<const uint8_t*>(log.constData()) + BtHeaderSize;
    return DecodeBtRecord(p, log.size() - BtHeaderSize, kind, bias, out);
}

std::string Civil(double dt) {
    return FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss.zzz"), dt).toStdString();
}

} // namespace

TEST(BtLayout, SizeAndExtensionDecideTheRecords) {
    struct Case {
        int64_t size;
        BtKind kind;
        int64_t records;
    };
    const Case cases[] = {
        {0, BtKind::Bon, -1},
        {7, BtKind::Bon, -1},
        {8, BtKind::Bon, 0},
        {8, BtKind::BonZ, 0},
        {33, BtKind::Bon, -1},
        {34, BtKind::Bon, 1},
        {8 + 26 * 10 + 1, BtKind::Bon, -1},
        {8 + 13 * 122, BtKind::Bon, 61},   // the extension alone decides
        {8 + 13 * 122, BtKind::BonZ, 13},
        {8 + 13 * 122, BtKind::Bnz4, 13},
        {8 + 26 * 3, BtKind::Bnz4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << ' ' << KindName(c.kind));
        EXPECT_EQ(BtRecordCount(c.size, c.kind), c.records);
    }
    EXPECT_EQ(BtKindOfFile("/x/a.b.BON"), BtKind::Bon);
    EXPECT_EQ(BtKindOfFile("a.bon4"), BtKind::Bon4);
    EXPECT_EQ(BtKindOfFile("a.Bonz"), BtKind::BonZ);
    EXPECT_EQ(BtKindOfFile("a.bnz4"), BtKind::Bnz4);
    EXPECT_EQ(BtKindOfFile("a.bond"), std::nullopt);
    EXPECT_EQ(BtKindOfFile("bon"), std::nullopt);
}

TEST(BtRecord, DecodesValuesAndLocalTime) {
    BtSampleSpec s;   // 2021-05-03 01:02:03.4 UTC
    s.SpdRaw = 2778;
    s.IdoRaw = -353612345;
    s.KdoRaw = 1396543210;
    s.ElvRaw = -125;
    s.Motion = {1, 2, 3, 4, 5, 6, 0.05, 8, 9, 10, 11, 1.5};
    BtRecord r;
    ASSERT_EQ(DecodeOne(s, BtKind::BonZ, r, -540), BtSkip::None);
    EXPECT_EQ(Civil(r.DtTm), "2021/05/03 10:02:03.400");
    EXPECT_EQ(r.Ms, 400);
    EXPECT_DOUBLE_EQ(r.Ido, -35.3612345);
    EXPECT_DOUBLE_EQ(r.Kdo, 139.654321);
    EXPECT_FLOAT_EQ(r.Elv, -12.5f);
    EXPECT_FLOAT_EQ(r.Spd, 100.008f);
    EXPECT_EQ(r.Motion.yawX, 1);
    EXPECT_EQ(r.Motion.gX, 0.05);
    EXPECT_EQ(r.Motion.Roll, 11);
    EXPECT_EQ(r.Motion.Yaw, 1.5);

    // A bias west of UTC moves the other way and across the date.
    s.Hour = 23;
    ASSERT_EQ(DecodeOne(s, BtKind::Bon, r, 300), BtSkip::None);
    EXPECT_EQ(Civil(r.DtTm), "2021/05/03 18:02:03.400");
    EXPECT_EQ(r.Motion.Yaw, 0);   // plain kinds carry no motion data
    ASSERT_EQ(DecodeOne(s, BtKind::Bon, r, -120), BtSkip::None);
    EXPECT_EQ(Civil(r.DtTm), "2021/05/04 01:02:03.400");
}

TEST(BtRecord, SkipRulesInTheirOrder) {
    struct Case {
        const char* what;
        BtKind kind;
        uint16_t year;
        uint8_t month, day, hour, minute, second, fraction;
        uint16_t spdRaw;
        BtSkip skip;
        int ms;
    };
    const Case cases[] = {
        {"plain", BtKind::Bon, 2021, 5, 3, 1, 2, 3, 4, 1000, BtSkip::None, 400},
        {"tenths 9", BtKind::Bon, 2021, 5, 3, 1, 2, 3, 9, 1000, BtSkip::None, 900},
        {"hundredths 98", BtKind::Bon4, 2021, 5, 3, 1, 2, 3, 98, 1000, BtSkip::None, 980},
        {"hundredths 98 z", BtKind::Bnz4, 2021, 5, 3, 1, 2, 3, 98, 1000, BtSkip::None, 980},
        {"fraction 99 skipped", BtKind::Bon4, 2021, 5, 3, 1, 2, 3, 99, 1000, BtSkip::Fraction, 0},
        {"fraction 99 skipped z", BtKind::Bnz4, 2021, 5, 3, 1, 2, 3, 99, 1000, BtSkip::Fraction, 0},
        {"tenths 10 is no time", BtKind::Bon, 2021, 5, 3, 1, 2, 3, 10, 1000, BtSkip::BadDate, 0},
        {"hundredths 100 is no time", BtKind::Bon4, 2021, 5, 3, 1, 2, 3, 100, 1000, BtSkip::BadDate, 0},
        {"1969", BtKind::Bon, 1969, 12, 31, 23, 59, 59, 9, 1000, BtSkip::Year, 0},
        {"1970", BtKind::Bon, 1970, 1, 1, 0, 0, 0, 0, 1000, BtSkip::None, 0},
        {"1999.98 km/h kept", BtKind::Bon, 2021, 5, 3, 1, 2, 3, 4, 55555, BtSkip::None, 400},
        {"2000.016 km/h", BtKind::Bon, 2021, 5, 3, 1, 2, 3, 4, 55556, BtSkip::Speed, 0},
        {"year before speed", BtKind::Bon, 1969, 5, 3, 1, 2, 3, 4, 55556, BtSkip::Year, 0},
        {"fraction before speed", BtKind::Bon4, 2021, 5, 3, 1, 2, 3, 99, 55556, BtSkip::Fraction, 0},
        {"rules before the date", BtKind::Bon, 1969, 13, 0, 25, 61, 61, 10, 0, BtSkip::Year, 0},
        {"speed before the date", BtKind::Bon, 2021, 13, 3, 1, 2, 3, 4, 60000, BtSkip::Speed, 0},
        {"month 13", BtKind::Bon, 2021, 13, 3, 1, 2, 3, 4, 1000, BtSkip::BadDate, 0},
        {"month 0", BtKind::Bon, 2021, 0, 3, 1, 2, 3, 4, 1000, BtSkip::BadDate, 0},
        {"day 0", BtKind::Bon, 2021, 5, 0, 1, 2, 3, 4, 1000, BtSkip::BadDate, 0},
        {"29 Feb 2021", BtKind::Bon, 2021, 2, 29, 1, 2, 3, 4, 1000, BtSkip::BadDate, 0},
        {"29 Feb 2024", BtKind::Bon, 2024, 2, 29, 1, 2, 3, 4, 1000, BtSkip::None, 400},
        {"hour 24", BtKind::Bon, 2021, 5, 3, 24, 2, 3, 4, 1000, BtSkip::BadDate, 0},
        {"minute 60", BtKind::BonZ, 2021, 5, 3, 1, 60, 3, 4, 1000, BtSkip::BadDate, 0},
        {"second 60", BtKind::Bon, 2021, 5, 3, 1, 2, 60, 4, 1000, BtSkip::BadDate, 0},
        {"year 65535", BtKind::Bon, 65535, 5, 3, 1, 2, 3, 4, 1000, BtSkip::BadDate, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BtSampleSpec s;
        s.Year = c.year;
        s.Month = c.month;
        s.Day = c.day;
        s.Hour = c.hour;
        s.Minute = c.minute;
        s.Second = c.second;
        s.Fraction = c.fraction;
        s.SpdRaw = c.spdRaw;
        BtRecord r;
        EXPECT_EQ(DecodeOne(s, c.kind, r), c.skip);
        if (c.skip == BtSkip::None) {
            EXPECT_EQ(r.Ms, c.ms);
            EXPECT_DOUBLE_EQ(r.DtTm, EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.ms));
        }
        if (c.skip == BtSkip::Speed) {
            EXPECT_NEAR(r.SpdKmh, c.spdRaw * 0.036, 1e-9);
        }
    }
}

TEST(BtRecord, EveryCalendarDayEncodesAsTheCommonDateTime) {
    BtSampleSpec s;
    s.Hour = 23;
    s.Minute = 59;
    s.Second = 59;
    s.Fraction = 9;
    for (int y : {1970, 1999, 2000, 2024, 2100, 2400, 9999}) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                s.Year = static_cast<uint16_t>(y);
                s.Month = static_cast<uint8_t>(m);
                s.Day = static_cast<uint8_t>(d);
                BtRecord r;
                const BtSkip skip = DecodeOne(s, BtKind::Bon, r);
                const bool valid = QDate::isValid(y, m, d);
                ASSERT_EQ(skip, valid ? BtSkip::None : BtSkip::BadDate) << y << '-' << m << '-' << d;
                if (valid) {
                    ASSERT_EQ(r.DtTm, EncodeDateTime(y, m, d, 23, 59, 59, 900)) << y << '-' << m << '-' << d;
                }
            }
        }
    }
}

TEST(BtRecord, RefusesTooFewBytes) {
    const QByteArray log = test::BuildBtLog(BtKind::BonZ, {BtSampleSpec{}});
    const auto* p = reinterpret_cast<const uint8_t*>(log.constData()) + BtHeaderSize;
    BtRecord r;
    EXPECT_EQ(DecodeBtRecord(p, 121, BtKind::BonZ, 0, r), BtSkip::Short);
    EXPECT_EQ(DecodeBtRecord(p, 26, BtKind::Bon, 0, r), BtSkip::None);
    EXPECT_EQ(DecodeBtRecord(p, 25, BtKind::Bon, 0, r), BtSkip::Short);
    EXPECT_EQ(DecodeBtRecord(nullptr, 1000, BtKind::Bon, 0, r), BtSkip::Short);
}

TEST(CompassHeading, FromYawInRadians) {
    const double pi = std::numbers::pi;
    struct Case {
        double yaw;
        double heading;
    };
    const Case cases[] = {
        {0, 180}, {pi / 2, 90}, {-pi / 2, 270}, {pi, 360}, {-pi, 180 + 180},
        {pi / 4, 135}, {-3 * pi / 4, 315},
        // Beyond one turn or not a number the heading stays on the scale
        // (-1: only the range is checked).
        {3 * pi / 2, 270}, {-5 * pi / 2, 270}, {NAN, 180}, {INFINITY, 180}, {1e300, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.yaw);
        const double h = CompassHeading(c.yaw);
        EXPECT_GT(h, 0.0);
        EXPECT_LE(h, 360.0);
        if (c.heading >= 0) {
            EXPECT_NEAR(h, c.heading, 1e-9);
        }
    }
    for (const double compass : {1.0, 45.0, 180.0, 269.5, 360.0})
        EXPECT_NEAR(CompassHeading(test::YawForCompass(compass)), compass, 1e-9) << compass;
}

namespace {

// Heading-correction input of a built run, as a loader gives it.
std::vector<HeadingSample> HeadingInput(const QVector<BtSampleSpec>& specs, BtKind kind = BtKind::BonZ) {
    std::vector<HeadingSample> out;
    for (const BtSampleSpec& s : specs) {
        BtRecord r;
        if (DecodeOne(s, kind, r) != BtSkip::None) continue;
        out.push_back({r.DtTm, r.Ido, r.Kdo, r.Spd, r.Motion.gX, CompassHeading(r.Motion.Yaw)});
    }
    return out;
}

std::vector<double> Dirs(const std::vector<HeadingSample>& s) {
    std::vector<double> d;
    for (const HeadingSample& h : s) d.push_back(h.Dir);
    return d;
}

} // namespace

TEST(HeadingCorrection, StraightRunsComeOutOnTheirCourse) {
    struct Case {
        double course;
        double compassOffset;
        bool weave;   // every other sample 30e-7 degree east
    };
    const Case cases[] = {
        {270, -20, false},   // eastward, compass 20 degrees short
        {270, 35, false},
        {180, -20, false},
        {10, -20, false},    // compass at 350: the offset crosses north
        {350, 20, false},    // compass at 10
        {90, 179, false},
        {0, -20, true},      // the courses either side of a sample straddle 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.course << " offset " << c.compassOffset);
        test::StraightRunSpec drive;
        drive.courseDeg = c.course;
        drive.compassOffsetDeg = c.compassOffset;
        drive.kmh = 100;
        drive.intervalSec = 1.0;
        auto specs = test::StraightRun(drive, BtKind::BonZ);
        if (c.weave)
            for (qsizetype i = 1; i < specs.size(); i += 2) specs[i].KdoRaw += 30;
        auto s = HeadingInput(specs);
        ASSERT_EQ(s.size(), 20u);
        CorrectHeadings(s);
        for (size_t i = 0; i < s.size(); ++i) {
            const double diff = std::remainder(s[i].Dir - c.course, 360.0);
            EXPECT_NEAR(diff, 0.0, 0.1) << "sample " << i << " dir " << s[i].Dir;
            EXPECT_GE(s[i].Dir, 0.0);
            EXPECT_LE(s[i].Dir, 360.0);
        }
    }
    // The case the run loader meets, exactly.
    test::StraightRunSpec drive;
    drive.compassOffsetDeg = -20;
    auto s = HeadingInput(test::StraightRun(drive, BtKind::BonZ));
    CorrectHeadings(s);
    for (const HeadingSample& h : s) EXPECT_NEAR(h.Dir, 270.0, 1e-9);
}

TEST(HeadingCorrection, ShortLogsAndTheFastRate) {
    // 5 Hz visits samples 1 to N-3, 10 Hz (fast rate) 1 to N-4: below
    // that nothing is calibrated and the compass stays as it is.
    struct Case {
        int n;
        double interval;
        BtKind kind;
        bool corrected;
    };
    const Case cases[] = {
        {3, 0.2, BtKind::BonZ, false}, {4, 0.2, BtKind::BonZ, true},
        {4, 0.1, BtKind::BonZ, false}, {5, 0.1, BtKind::BonZ, true},
        {4, 0.1, BtKind::Bnz4, false}, {5, 0.1, BtKind::Bnz4, true},
        {4, 0.11, BtKind::Bnz4, true},
        {1, 0.2, BtKind::BonZ, false}, {0, 0.2, BtKind::BonZ, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " samples every " << c.interval << " s, " << KindName(c.kind));
        test::StraightRunSpec drive;
        drive.n = c.n;
        drive.intervalSec = c.interval;
        drive.compassOffsetDeg = -20;
        auto s = HeadingInput(test::StraightRun(drive, c.kind), c.kind);
        ASSERT_EQ(s.size(), static_cast<size_t>(c.n));
        CorrectHeadings(s);
        for (const HeadingSample& h : s) EXPECT_NEAR(h.Dir, c.corrected ? 270.0 : 250.0, 1e-9);
    }
}

TEST(HeadingCorrection, CalibrationNeedsSpeedSteadinessAndMovement) {
    struct Case {
        const char* what;
        double kmh;
        double gX;
        bool samePlaceAt2;
        bool corrected;
    };
    const Case cases[] = {
        {"7.5 km/h is not above 7.5", 7.5, 0, false, false},
        {"7.51 km/h", 7.51, 0, false, true},
        {"gX 0.1 is not steady", 60, 0.1, false, false},
        {"gX -0.09", 60, -0.09, false, true},
        {"a step of no length", 60, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::StraightRunSpec drive;
        drive.n = 4;   // one candidate only: sample 1
        drive.compassOffsetDeg = -20;
        auto specs = test::StraightRun(drive, BtKind::BonZ);
        if (c.samePlaceAt2) {
            specs[2].IdoRaw = specs[1].IdoRaw;
            specs[2].KdoRaw = specs[1].KdoRaw;
        }
        auto s = HeadingInput(specs);
        for (HeadingSample& h : s) {
            h.Spd = c.kmh;   // exact speeds the stored units can't give
            h.gX = c.gX;
        }
        CorrectHeadings(s);
        for (const HeadingSample& h : s) EXPECT_NEAR(h.Dir, c.corrected ? 270.0 : 250.0, 1e-9);
    }
}

namespace {

// Eastward at 60 km/h, 5 Hz: the compass reads 250 (true 270) for samples
// 0 to 14 and 240 from 15 on.
struct TwoStretches {
    QVector<BtSampleSpec> specs;
    TwoStretches() {
        test::StraightRunSpec drive;
        drive.n = 30;
        drive.compassOffsetDeg = -20;
        specs = test::StraightRun(drive, BtKind::BonZ);
        for (int i = 15; i < 30; ++i) specs[i].Motion.Yaw = test::YawForCompass(240);
    }
};

} // namespace

TEST(HeadingCorrection, RampsANewOffsetSinceTheLastCalibrationPoint) {
    TwoStretches run;
    // Samples 10 to 14 swerve: no calibration until 16 (15 to 17 steady).
    for (int i = 10; i < 15; ++i) run.specs[i].Motion.gX = 0.5;
    auto s = HeadingInput(run.specs);
    CorrectHeadings(s);
    const auto d = Dirs(s);
    for (int i = 0; i <= 8; ++i) EXPECT_NEAR(d[i], 270.0, 1e-9) << i;
    // The last calibration point was 8; the offset grows from 20 to 30
    // over 8 samples.
    for (int i = 9; i <= 14; ++i) EXPECT_NEAR(d[i], 270.0 + 10.0 * (i - 8) / 8, 1e-9) << i;
    EXPECT_NEAR(d[15], 240.0 + 20.0 + 10.0 * 7 / 8, 1e-9);
    for (int i = 16; i < 30; ++i) EXPECT_NEAR(d[i], 270.0, 1e-9) << i;
}

TEST(HeadingCorrection, RenewalNeedsMoreThan40) {
    // Only a renewal can take the second stretch's offset.
    for (const double kmh : {40.0, 40.01}) {
        SCOPED_TRACE(kmh);
        TwoStretches run;
        auto s = HeadingInput(run.specs);
        for (HeadingSample& h : s) h.Spd = kmh;
        CorrectHeadings(s);
        EXPECT_NEAR(s[5].Dir, 270.0, 1e-9);
        EXPECT_NEAR(s[25].Dir, kmh > 40 ? 270.0 : 260.0, 1e-9);
    }
}

TEST(HeadingCorrection, AStopTakesTheOffsetOfTheCalibrationAfterIt) {
    TwoStretches run;
    // Samples 10 to 14 stand still with the compass at 100; 6 km/h at
    // sample 9 keeps the correction on.
    for (int i = 10; i < 15; ++i) {
        run.specs[i].SpdRaw = 0;
        run.specs[i].IdoRaw = run.specs[9].IdoRaw;
        run.specs[i].KdoRaw = run.specs[9].KdoRaw;
        run.specs[i].Motion.Yaw = test::YawForCompass(100);
    }
    auto s = HeadingInput(run.specs);
    s[9].Spd = 6.0;
    CorrectHeadings(s);
    const auto d = Dirs(s);
    for (int i = 0; i <= 9; ++i) EXPECT_NEAR(d[i], 270.0, 1e-9) << i;
    for (int i = 10; i <= 14; ++i) EXPECT_NEAR(d[i], 130.0, 1e-9) << i;
    for (int i = 15; i < 30; ++i) EXPECT_NEAR(d[i], 270.0, 1e-9) << i;
}

TEST(HeadingCorrection, GarbageInputGivesNoNaNForLaterSamples) {
    test::StraightRunSpec drive;
    drive.compassOffsetDeg = -20;
    auto specs = test::StraightRun(drive, BtKind::BonZ);
    specs[3].Motion.Yaw = NAN;
    specs[4].Motion.gX = NAN;
    specs[5].Motion.Yaw = 1e308;
    auto s = HeadingInput(specs);
    CorrectHeadings(s);
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_TRUE(std::isfinite(s[i].Dir)) << i;
        if (i >= 8) {
            EXPECT_NEAR(s[i].Dir, 270.0, 1e-9) << i;
        }
    }
}
