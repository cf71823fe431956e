#include <cmath>
#include <gtest/gtest.h>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "shown_laps.h"

namespace vel {
namespace {

using test::Drive;

double Gap(long double a, long double b) {
    const double d = std::fmod(std::fabs(static_cast<double>(a - b)), 360.0);
    return std::min(d, 360.0 - d);
}

// 50 samples at 10 Hz eastwards, 1 m apart; Spd 30 + k tells sample k.
QVector<TLapElmRec> Marked(long double spdBase = 30, int samples = 50) {
    Drive d;
    d.spd = 36;
    QVector<TLapElmRec> recs = test::StraightRun(d, 270, samples);
    for (qsizetype k = 0; k < recs.size(); ++k) recs[k].Spd = spdBase + k;
    return recs;
}

// Derived values that tell their sample too: drift angle k / 10, lateG
// k / 100, r2 100 + k and so on.
void MarkDerived(TLapDtRec& lap) {
    for (qsizetype k = 0; k < lap.ElmNum; ++k) {
        lap.DElm[k].DAngle = k / 10.0L;
        lap.DElm[k].GpsDir = 270;
        lap.GElm[k].lateG = k / 100.0L;
        lap.GElm[k].lateG3 = k / 50.0L;
        lap.GElm[k].r2 = 100 + k;
        lap.GElm[k].r2_3 = 200 + k;
        lap.GElm[k].logiG = -k / 100.0L;
    }
}

class CursorValuesTest : public test::ShownLapsTest {
protected:
    void ShowMarked(std::initializer_list<QVector<TLapElmRec>> runs) {
        Show(runs);
        for (TLapDtRec& l : laps().LapDt) MarkDerived(l);
    }
    const TCurValRec& At(int k, long double playTm) {
        cmp().PlayTm = playTm;
        CalCurValLap(laps(), cmp(), k);
        return cmp().CurVal[k];
    }
};

TEST_F(CursorValuesTest, ValuesOfTheReferenceLapAtThePlayTime) {
    ShowMarked({Marked()});
    const struct Case {
        const char* name;
        long double playTm;
        long double sec;       // the record's Sec
        long double sample;    // where the values come from (fractional: between two)
        long double gSample;   // where the G values come from
    } cases[] = {
        {"on a sample", 1.2L, 1.2L, 12, 12},
        {"between two samples", 1.25L, 1.25L, 12.5L, 12.5L},
        {"at the first sample", 0, 0, 0, 1},
        {"before the first sample", -1, 0, 0, 1},
        {"before sample 1", 0.05L, 0.05L, 0.5L, 1},
        {"past sample n - 2", 4.85L, 4.85L, 48.5L, 48},
        {"on the last sample", 4.9L, 4.9L, 49, 48},
        {"past the end", 60, 4.9L, 49, 48},
    };
    const TLapDtRec& lap = laps().LapDt[0];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TCurValRec& v = At(0, c.playTm);
        EXPECT_NEAR(static_cast<double>(v.Sec), static_cast<double>(c.sec), 1e-12);
        EXPECT_NEAR(static_cast<double>(v.Spd), static_cast<double>(30 + c.sample), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.DAngle), static_cast<double>(c.sample / 10), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.Dist), static_cast<double>(c.sample / 1000), 1e-9);
        const qsizetype i = static_cast<qsizetype>(c.sample);
        const long double f = c.sample - i;
        const long double kdo = i + 1 < lap.ElmNum ? lap.Elm[i].Kdo + f * (lap.Elm[i + 1].Kdo - lap.Elm[i].Kdo)
                                                   : lap.Elm[i].Kdo;
        EXPECT_NEAR(static_cast<double>(v.Kdo), static_cast<double>(kdo), 1e-12);
        EXPECT_EQ(v.Ido, lap.Elm[0].Ido);
        EXPECT_NEAR(static_cast<double>(v.lateG), static_cast<double>(c.gSample / 100), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.lateG3), static_cast<double>(c.gSample / 50), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.r2), static_cast<double>(100 + c.gSample), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.r2_3), static_cast<double>(200 + c.gSample), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.logiG), static_cast<double>(-c.gSample / 100), 1e-9);
    }
}

TEST_F(CursorValuesTest, HeadingsGoTheShortWay) {
    QVector<TLapElmRec> recs = Marked();
    recs[12].Dir = 350;
    recs[13].Dir = 10;
    ShowMarked({recs});
    laps().LapDt[0].DElm[12].GpsDir = 10;
    laps().LapDt[0].DElm[13].GpsDir = 350;
    const TCurValRec& v = At(0, 1.25L);
    EXPECT_LT(Gap(v.Dir, 0), 1e-9);
    EXPECT_LT(Gap(v.GpsDir, 0), 1e-9);
}

TEST_F(CursorValuesTest, ComparedLapIsReadAtItsTimeOffset) {
    ShowMarked({Marked(), Marked(60)});
    cmp().TmOfs[1] = 3.0L;
    const TCurValRec& v = At(1, 0);
    EXPECT_EQ(v.Sec, 0.0L);   // the play time, not the lap's own
    EXPECT_NEAR(static_cast<double>(v.Spd), 90.0, 1e-9);
    // Beyond its end: the last sample with that sample's own time.
    const TCurValRec& end = At(1, 2.5L);
    EXPECT_NEAR(static_cast<double>(end.Sec), 4.9, 1e-12);
    EXPECT_NEAR(static_cast<double>(end.Spd), 109.0, 1e-9);
}

// A lap whose times run backwards once is searched from its start, as
// bisecting would land on the wrong pair of samples.
TEST_F(CursorValuesTest, LapWithTimesOutOfOrderIsScanned) {
    QVector<TLapElmRec> recs = Marked(30, 9);
    const long double secs[] = {0, 1, 2, 3, 0.5L, 0.6L, 0.7L, 4, 5};
    for (int k = 0; k < 9; ++k) recs[k].Sec = secs[k];
    ShowMarked({recs});
    EXPECT_FALSE(cmp().SecRises[0]);
    EXPECT_NEAR(static_cast<double>(At(0, 2.5L).Spd), 32.5, 1e-9);   // between samples 2 and 3

    ShowMarked({Marked()});
    EXPECT_TRUE(cmp().SecRises[1]);
    EXPECT_TRUE(cmp().DistRises[1]);
}

TEST_F(CursorValuesTest, ComparedLapAtTheReferenceDistance) {
    ShowMarked({Marked(), Marked(60, 120)});
    const struct Case {
        const char* name;
        long double playTm, distOfs;
        long double sample;    // of lap 1 (fractional: between two)
        long double gSample;
    } cases[] = {
        {"same distance", 2.0L, 0, 20, 20},
        {"reference distance plus 0.05 km", 2.0L, 0.05L, 70, 70},
        {"between two samples", 2.05L, 0.05L, 70.5L, 70.5L},
        {"before lap 1 starts", 0.5L, -0.01L, 0, 1},
        {"beyond lap 1's end", 4.0L, 0.1L, 119, 118},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cmp().PlayTm = c.playTm;
        cmp().DistOfs[1] = c.distOfs;
        CalCurValLaps(laps(), cmp());
        CalCurValAll(laps(), cmp());
        const TCurValRec& ref = cmp().CurVal[0];
        EXPECT_EQ(ref.DistSpd, ref.Spd);
        EXPECT_EQ(ref.DistLateG3, ref.lateG3);
        EXPECT_EQ(ref.DistDAngle, ref.DAngle);
        const TCurValRec& v = cmp().CurVal[1];
        EXPECT_NEAR(static_cast<double>(v.DistSpd), static_cast<double>(60 + c.sample), 1e-6);
        EXPECT_NEAR(static_cast<double>(v.DistDAngle), static_cast<double>(c.sample / 10), 1e-7);
        EXPECT_LT(Gap(v.DistDir, 270), 1e-9);
        EXPECT_NEAR(static_cast<double>(v.DistLateG), static_cast<double>(c.gSample / 100), 1e-8);
        EXPECT_NEAR(static_cast<double>(v.DistLateG3), static_cast<double>(c.gSample / 50), 1e-8);
        EXPECT_NEAR(static_cast<double>(v.DistR2_3), static_cast<double>(200 + c.gSample), 1e-6);
    }
}

// Between two samples of the compared lap whose headings straddle north, the
// course and heading at the reference distance go the short way.
TEST_F(CursorValuesTest, ComparedLapAtTheReferenceDistanceAcrossNorth) {
    QVector<TLapElmRec> other = Marked(60, 120);
    other[70].Dir = 350;
    other[71].Dir = 20;
    ShowMarked({Marked(), other});
    laps().LapDt[1].DElm[70].GpsDir = 20;
    laps().LapDt[1].DElm[71].GpsDir = 350;
    cmp().PlayTm = 2.05L;   // half way from sample 70 to 71, as above
    cmp().DistOfs[1] = 0.05L;
    CalCurValLaps(laps(), cmp());
    CalCurValAll(laps(), cmp());
    const TCurValRec& v = cmp().CurVal[1];
    EXPECT_LT(Gap(v.DistDir, 5), 1e-6);
    EXPECT_LT(Gap(v.DistGpsDir, 5), 1e-6);
}

TEST_F(CursorValuesTest, NothingAtADistanceWithoutAReference) {
    ShowMarked({Marked(), Marked(60)});
    cmp().CurVal[1].DistSpd = -1;
    cmp().DispSlot[0].Active = false;
    CalCurValAll(laps(), cmp());
    EXPECT_EQ(cmp().CurVal[1].DistSpd, -1.0L);
}

TEST_F(CursorValuesTest, TimeDifferenceAtTheCursorFromTheReferenceLapOnly) {
    // Lap 1 runs the same 50 m at 5/6 of the speed, in more samples.
    Drive d;
    d.spd = 36;
    const QVector<TLapElmRec> ref = test::StraightRun(d, 270, 51);
    d.spd = 30;
    const QVector<TLapElmRec> slow = test::StraightRun(d, 270, 61);
    Show({ref, slow});
    ASSERT_LT(cmp().DeltaTmMin, cmp().DeltaTmMax);
    At(0, 1.25L);
    EXPECT_NEAR(static_cast<double>(cmp().CurDeltaTm), 0.25, 1e-9);   // 1.5 s against 1.25 s
    // Lap 1 under the reference's name still never reads the curve with
    // its own sample numbers (which run past the curve's end).
    laps().LapDt[1].DtName = laps().LapDt[0].DtName;
    for (const long double t : {0.0L, 5.5L, 5.95L, 100.0L}) {
        SCOPED_TRACE(static_cast<double>(t));
        At(1, t);
        EXPECT_NEAR(static_cast<double>(cmp().CurDeltaTm), 0.25, 1e-9);
    }
    // With one lap there is no curve and nothing is written.
    DelTrgDt(laps(), cmp(), 1, graphs, video);
    CalComparison(laps(), cmp(), 0);
    cmp().CurDeltaTm = 7;
    At(0, 1.25L);
    EXPECT_EQ(cmp().CurDeltaTm, 7.0L);
}

} // namespace
} // namespace vel
