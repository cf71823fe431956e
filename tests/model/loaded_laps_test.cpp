#include <cmath>
#include <functional>
#include <limits>
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "model/heading_drift.h"
#include "model/lap_file.h"
#include "model/loaded_laps.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

namespace vel {
namespace {

using test::Drive;
using test::Turn;

// Difference of two headings on the circle, in degrees (0 to 180).
double HeadingGap(long double a, long double b) {
    const double d = std::fmod(std::fabs(static_cast<double>(a - b)), 360.0);
    return std::min(d, 360.0 - d);
}

QVector<TLapElmRec> EastRun(long double spd, int samples, int hz = 10) {
    Drive d;
    d.spd = spd;
    d.hz = hz;
    return test::StraightRun(d, 270, samples);
}

class LoadedLapsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TLapDtRec loaded;

    QString Write(int number, const QVector<TLapElmRec>& recs) {
        const QString fn = WorkingFileName(dir.path() + "/", number);
        EXPECT_TRUE(test::WriteWorkingFile(fn, recs));
        return fn;
    }
    // Reads recs as a lap to show and gives it back.
    const TLapDtRec& LoadOnly(const QVector<TLapElmRec>& recs) {
        loaded = TLapDtRec();
        QString error;
        EXPECT_TRUE(ReadLapFileBin(Write(3, recs), loaded, &error)) << error.toStdString();
        return loaded;
    }
};

TEST(WorkingFileNumber, DigitsBetweenTempAndDtbWhateverTheirCount) {
    struct Case { const char* name; const char* number; };
    const Case cases[] = {
        {"/t/temp0003.dtb", "0003"}, {"Temp0003.DTB", "0003"}, {"temp10000.dtb", "10000"},
        {"temp123456.dtb", "123456"}, {"temp.dtb", ""}, {"tempabcd.dtb", ""}, {"temp0003.dtb.bak", ""},
        {"x0003.dtb", ""}, {"temp0003.dtx", ""}, {"temp00-3.dtb", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(WorkingFileNumber(c.name), c.number) << c.name;
}

TEST_F(LoadedLapsTest, StatisticsCoverEverySample) {
    Drive d;
    d.spd = 72;
    QVector<TLapElmRec> recs = test::CircleLap(d, 100, Turn::Right);
    recs[10].Spd = 0;                      // standing sample
    recs[20].Spd = 81.5L;
    recs[30].Elv = 650;
    recs[40].Elv = 550;
    recs[50].UseSat = 0;                   // bounds ignore the satellite count
    recs[50].Kdo += 0.01L;
    const TLapDtRec& lap = LoadOnly(recs);

    EXPECT_EQ(lap.DtName, "0003");
    EXPECT_EQ(lap.ElmNum, recs.size());
    EXPECT_EQ(lap.Elm.size(), recs.size());
    EXPECT_EQ(lap.GElm.size(), recs.size());
    EXPECT_EQ(lap.DElm.size(), recs.size());
    EXPECT_FALSE(lap.driftAct);
    EXPECT_EQ(lap.MinSpd, 0.0L);
    EXPECT_EQ(lap.MaxSpd, 81.5L);
    EXPECT_EQ(lap.ElvLo, 550.0L);
    EXPECT_EQ(lap.ElvHi, 650.0L);
    EXPECT_EQ(lap.KdoMax, recs[50].Kdo);
    for (const TLapElmRec& r : recs) {
        EXPECT_TRUE(lap.IdoMin <= r.Ido && r.Ido <= lap.IdoMax);
        EXPECT_TRUE(lap.KdoMin <= r.Kdo && r.Kdo <= lap.KdoMax);
    }
    // The circle's 200 m diameter spans the latitude bounds.
    EXPECT_NEAR(static_cast<double>((lap.IdoMax - lap.IdoMin) * EarthR * Pi / 180), 200.0, 0.05);
    EXPECT_EQ(lap.LapTim, recs.back().Tm);
    EXPECT_EQ(lap.LapDist, recs.back().Dist);
    EXPECT_NEAR(static_cast<double>(lap.AveSpd), 72.0, 0.05);
}

TEST_F(LoadedLapsTest, HeadingsFromPositionsOnlyWithoutARealHeading) {
    struct Case {
        const char* name;
        long double firstDir;
        bool recomputed;
    };
    const Case cases[] = {
        {"180 of a Bluetooth run", 180, true},
        {"0 of a MoTeC lap", 0, true},
        {"360", 360, true},
        {"a real heading", 123.4L, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVector<TLapElmRec> recs = EastRun(50, 30);
        recs[0].Dir = c.firstDir;
        for (int i = 1; i < recs.size(); ++i) recs[i].Dir = 100 + i;
        const TLapDtRec& lap = LoadOnly(recs);
        for (int i = 0; i < recs.size(); ++i)
            EXPECT_EQ(lap.Elm[i].Dir, c.recomputed ? 270.0L : recs[i].Dir) << "sample " << i;
    }
}

TEST_F(LoadedLapsTest, HeadingsFromPositionsFollowTheCourse) {
    struct Case {
        const char* name;
        int hz;
        std::function<QVector<TLapElmRec>(const Drive&)> build;
    };
    const Case cases[] = {
        {"right-hand circle", 20, [](const Drive& d) { return test::CircleLap(d, 60, Turn::Right); }},
        {"left-hand circle", 10, [](const Drive& d) { return test::CircleLap(d, 60, Turn::Left); }},
        {"right-hand square", 5, [](const Drive& d) { return test::SquareLap(d, 100, Turn::Right); }},
        {"left-hand square", 10, [](const Drive& d) { return test::SquareLap(d, 100, Turn::Left); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive d;
        d.hz = c.hz;
        QVector<TLapElmRec> recs = c.build(d);
        QVector<long double> built;
        for (TLapElmRec& r : recs) {
            built << r.Dir;
            r.Dir = 180;
        }
        const TLapDtRec& lap = LoadOnly(recs);
        // The mean of the steps in and out of a sample is the course there
        // (a square's corners aside), across the wrap at 0/360 too.
        int checked = 0;
        for (int i = 1; i + 1 < recs.size(); ++i) {
            if (HeadingGap(built[i - 1], built[i]) > 5 || HeadingGap(built[i], built[i + 1]) > 5) continue;
            EXPECT_LT(HeadingGap(lap.Elm[i].Dir, built[i]), 0.01) << "sample " << i;
            EXPECT_TRUE(lap.Elm[i].Dir >= 0 && lap.Elm[i].Dir <= 360);
            ++checked;
        }
        EXPECT_GT(checked, recs.size() * 9 / 10);
    }
}

TEST(CourseRules, MeansAndDriftAngles) {
    struct Mean {
        long double a, b, mean;
    };
    const Mean means[] = {
        {350, 10, 360}, {10, 350, 360},   // 360 stays 360
        {340, 30, 5}, {90, 270, 180}, {270, 90, 180}, {100, 120, 110},
    };
    for (const Mean& m : means) {
        SCOPED_TRACE(testing::Message() << m.a << " and " << m.b);
        EXPECT_EQ(MeanCourse(m.a, m.b), m.mean);
    }
    struct Drift {
        long double dir, course, spd, angle;
    };
    const Drift drifts[] = {
        {190, 10, 50, 180}, {10, 190, 50, -180},   // exactly 180 either way stays
        {350, 10, 50, -20}, {10, 350, 50, 20},
        {30, 10, 7, 0}, {30, 10, 7.1L, 20},        // 7 km/h and slower: none
    };
    for (const Drift& d : drifts) {
        SCOPED_TRACE(testing::Message() << d.dir << " on " << d.course << " at " << d.spd);
        EXPECT_EQ(DriftAngle(d.dir, d.course, d.spd), d.angle);
    }
}

TEST_F(LoadedLapsTest, SlowSamplesKeepTheirStoredHeading) {
    // An eastward run whose samples from 5 on lie 100 m further north, so
    // the step from 4 to 5 heads almost north.
    const auto run = [] {
        QVector<TLapElmRec> recs = EastRun(50, 12);
        for (int i = 5; i < recs.size(); ++i) recs[i].Ido += 100 / (EarthR * Pi / 180);
        for (TLapElmRec& r : recs) r.Dir = 180;
        return recs;
    };
    struct Case {
        const char* name;
        int slow;                              // the sample at 1 km/h
        QVector<QPair<int, long double>> dirs; // expected headings
    };
    const Case cases[] = {
        // Sample 4 keeps 180; the step into the slow sample 5 is never
        // computed, so 5 averages the step 3-4 with the step 5-6.
        {"slow sample after the last fast step", 5, {{3, 270}, {4, 180}, {5, 270}, {6, 270}}},
        // The first fast step comes after sample 1, averaged with the start value 0.
        {"standing first step", 1, {{0, 180}, {1, 315}, {2, 270}}},
        {"slow last sample", 11, {{10, 180}, {11, 180}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVector<TLapElmRec> recs = run();
        recs[c.slow].Spd = 1;
        const TLapDtRec& lap = LoadOnly(recs);
        for (const auto& [i, dir] : c.dirs) EXPECT_NEAR(static_cast<double>(lap.Elm[i].Dir), static_cast<double>(dir), 1e-9) << "sample " << i;
    }
}

TEST_F(LoadedLapsTest, HeadingsFromBrokenPositionsStayNumbers) {
    QVector<TLapElmRec> recs = EastRun(50, 12);
    for (TLapElmRec& r : recs) r.Dir = 180;
    recs[3].Kdo = std::numeric_limits<long double>::infinity();
    recs[6].Ido = std::numeric_limits<long double>::quiet_NaN();
    recs[9].Kdo = 1e4000L;
    const TLapDtRec& lap = LoadOnly(recs);
    for (int i = 0; i < recs.size(); ++i) EXPECT_TRUE(std::isfinite(lap.Elm[i].Dir)) << "sample " << i;
}

TEST_F(LoadedLapsTest, OneSampleLapHasNoAverageSpeed) {
    const QVector<TLapElmRec> recs = EastRun(50, 1);
    const TLapDtRec& lap = LoadOnly(recs);
    EXPECT_EQ(lap.ElmNum, 1);
    EXPECT_EQ(lap.LapTim, 0.0);
    EXPECT_EQ(lap.AveSpd, 0.0L);
    EXPECT_EQ(lap.MaxSpd, 50.0L);
    EXPECT_EQ(lap.MinSpd, 50.0L);
    EXPECT_EQ(lap.Elm[0].Dir, 270.0L);
}

// The drift work load over an eastward run at 20 km/h, one fix a second (no
// smoothing), whose samples from index 5 carry a heading off the course.
TEST_F(LoadedLapsTest, DriftWorkLoad) {
    struct Case {
        const char* name;
        long double firstDir;
        int from, count;      // samples with the heading off the course
        long double off;      // degrees
        bool drift;
        long double top;
    };
    const Case cases[] = {
        {"six samples at 12 degrees", 270, 5, 6, 12, true, 12},
        {"five samples at 12 degrees", 270, 5, 5, 12, false, 12},
        {"six samples at -12 degrees", 270, 5, 6, -12, true, -12},
        {"six at 10 degrees are not over 10", 270, 5, 6, 10, false, 10},
        {"a run reaching the last sample counts without it", 270, 14, 6, 12, false, 12},
        {"first heading 0: no real heading", 0, 5, 10, 40, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVector<TLapElmRec> recs = EastRun(20, 20, 1);
        for (int i = c.from; i < c.from + c.count; ++i) recs[i].Dir += c.off;
        recs[0].Dir = c.firstDir;
        TLapDtRec work;
        bool drift = true;
        long double top = 99;
        ASSERT_TRUE(LoadLapFileBinForDAngle(Write(4, recs), work, drift, top));
        EXPECT_EQ(drift, c.drift);
        EXPECT_NEAR(static_cast<double>(top), static_cast<double>(c.top), 1e-9);
        EXPECT_EQ(work.ElmNum, 20);
        EXPECT_EQ(work.DElm.size(), 20);
        EXPECT_FALSE(work.driftAct);
    }
}

TEST_F(LoadedLapsTest, DriftSmoothingTakesNeighboursWithin210Ms) {
    // One sample 20 degrees off; its neighbours get weight x 20 / sum of weights.
    struct Case {
        int hz;
        double sum;                 // weights used at the spike
        double weight[4];           // at 0, +-1, +-2, +-3
    };
    const Case cases[] = {
        {5, 1.6, {1, 0.3, 0, 0}},
        {10, 2.0, {1, 0.3, 0.2, 0}},
        {20, 2.2, {1, 0.3, 0.2, 0.1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        QVector<TLapElmRec> recs = EastRun(40, 40, c.hz);
        recs[20].Dir += 20;
        TLapDtRec work;
        bool drift = false;
        long double top = 0;
        ASSERT_TRUE(LoadLapFileBinForDAngle(Write(5, recs), work, drift, top));
        for (int j = 0; j <= 3; ++j) {
            SCOPED_TRACE(j);
            const double want = c.weight[j] * 20 / c.sum;
            EXPECT_NEAR(static_cast<double>(work.DElm[20 + j].DAngle), want, 1e-9);
            EXPECT_NEAR(static_cast<double>(work.DElm[20 - j].DAngle), want, 1e-9);
        }
        EXPECT_NEAR(static_cast<double>(top), 20 / c.sum, 1e-9);
        EXPECT_FALSE(drift);
    }
}

TEST_F(LoadedLapsTest, SectorWorkLoad) {
    const QVector<TLapElmRec> recs = EastRun(50, 25);
    TLapDtRec work;
    work.MaxSpd = 200;
    work.IdoMin = 1;
    work.LapTim = 3;
    work.GElm.resize(3);
    ASSERT_TRUE(LoadLapFileBinForSects(Write(7, recs), work));
    EXPECT_EQ(work.DtName, "0007");
    EXPECT_EQ(work.ElmNum, 25);
    EXPECT_EQ(work.Elm.size(), 25);
    EXPECT_EQ(work.Elm[24].Kdo, recs[24].Kdo);
    EXPECT_EQ(work.MaxSpd, 0.0L);
    EXPECT_EQ(work.IdoMin, 90.0L);
    EXPECT_EQ(work.LapTim, 0.0);
    EXPECT_EQ(work.GElm.size(), 3);   // left for the sector timing as it was
}

TEST_F(LoadedLapsTest, FailedWorkLoadsLeaveTheWorkLap) {
    const QString empty = Write(2, {});
    const QString odd = dir.path() + "/temp0003.dtb";
    test::WriteFile(odd, QByteArray(129, '\0'));
    for (const QString& fn : {empty, odd, dir.path() + "/temp0009.dtb"}) {
        SCOPED_TRACE(fn.toStdString());
        TLapDtRec work;
        work.DtName = "0042";
        work.ElmNum = 5;
        work.Elm.resize(5);
        bool drift = true;
        long double top = 7;
        QString error = "old";
        EXPECT_FALSE(LoadLapFileBinForDAngle(fn, work, drift, top, &error));
        EXPECT_FALSE(drift);
        EXPECT_EQ(top, 0.0L);
        EXPECT_TRUE(error.isEmpty());   // rows are judged one after another: no box each
        EXPECT_FALSE(LoadLapFileBinForSects(fn, work, &error));
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(work.DtName, "0042");
        EXPECT_EQ(work.ElmNum, 5);
        EXPECT_EQ(work.Elm.size(), 5);
    }
}

} // namespace
} // namespace vel
