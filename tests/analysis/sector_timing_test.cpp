#include <cmath>
#include <numeric>
#include <gtest/gtest.h>
#include "analysis/sector_timing.h"
#include "sector_support.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr long double Tol = 1e-9L;

TDispSlotRec Timed(const TLapDtRec& lap, const SectorLines& lines, bool drift = false) {
    TDispSlotRec s;
    CalLapSects(lap, lines, s, drift);
    return s;
}

} // namespace

TEST(SectorTiming, StraightLapAtConstantSpeed) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = LapOf(StraightRun(d, 180, 101));   // 100 m in 10 s
    const SectorLines lines = Lines({LineAcross(d, 25.5L), LineAcross(d, 60.25L)});
    const TDispSlotRec s = Timed(lap, lines);

    EXPECT_NEAR(s.SectStaSec[0], 2.55L, Tol);
    EXPECT_NEAR(s.SectStaSec[1], 6.025L, Tol);
    EXPECT_EQ(s.SectStaSec[2], 0);   // the last sector ends at no line
    EXPECT_NEAR(s.SectStaDist[0], 0.0255L, Tol);
    EXPECT_NEAR(s.SectStaDist[1], 0.06025L, Tol);
    EXPECT_NEAR(s.SectTm[0] + s.SectTm[1] + s.SectTm[2], 10.0L, Tol);
    EXPECT_NEAR(s.SectLen[0] + s.SectLen[1] + s.SectLen[2], lap.Elm.back().Dist, Tol);
    EXPECT_NEAR(s.SectTm[2], 10.0L - 6.025L, Tol);
    for (int j = 0; j <= 2; ++j) {
        SCOPED_TRACE(j);
        EXPECT_NEAR(s.SectAveSpd[j], 36, 1e-6L);
        EXPECT_EQ(s.SectMaxSpd[j], 36);
        EXPECT_EQ(s.SectMinSpd[j], 36);
    }
    EXPECT_EQ(s.SectTm[3], 0);
    // Timing alone: no drift figures.
    EXPECT_EQ(s.SectJudge[0], 0);
    EXPECT_EQ(s.SectMaxAngIdx[0], -1);
    EXPECT_EQ(s.TotalScore, 0);
}

TEST(SectorTiming, PassNumbers) {
    Drive d = MetreDrive();
    // A circle of 50 m driven twice; the quarter point (50 m north, 50 m
    // east, heading east) is passed at a quarter and at one and a quarter laps.
    const QVector<TLapElmRec> circle = CircleLap(d, 50, Turn::Right, 2);
    const TLapDtRec twice = LapOf(circle);
    const long double lapSec = 2 * Pi * 50 / 10;
    const TSectRec quarter1 = LineAt(d, 40, 50, 60, 50, 1);
    TSectRec quarter2 = quarter1;
    quarter2.PassNo = 2;
    EXPECT_NEAR(Timed(twice, Lines({quarter1})).SectStaSec[0], lapSec / 4, 0.02L);
    EXPECT_NEAR(Timed(twice, Lines({quarter2})).SectStaSec[0], lapSec * 5 / 4, 0.02L);

    const TLapDtRec straight = LapOf(StraightRun(d, 180, 101));
    struct Case { const char* name; SectorLines lines; };
    const Case never[] = {
        {"PassNo 2 on a line crossed once", Lines({LineAcross(d, 30.5L, 2)})},
        {"PassNo 0 is never reached", Lines({LineAcross(d, 30.5L, 0)})},
        {"PassNo below 0 neither", Lines({LineAcross(d, 30.5L, -1)})},
        {"a line beside the course", Lines({LineAt(d, 30, 5, 30, 25)})},
    };
    for (const Case& c : never) {
        SCOPED_TRACE(c.name);
        const TDispSlotRec s = Timed(straight, c.lines);
        EXPECT_EQ(s.SectTm[0], 0);
        EXPECT_EQ(s.SectTm[1], 0);
        EXPECT_EQ(s.SectStaSec[0], 0);
    }
    // The second of two lines missed: the first sector timed, the rest reset.
    const TDispSlotRec s =
        Timed(straight, Lines({LineAcross(d, 30.5L), LineAcross(d, 60.5L, 2), LineAcross(d, 80.5L)}));
    EXPECT_NEAR(s.SectTm[0], 3.05L, Tol);
    EXPECT_EQ(s.SectTm[1], 0);
    EXPECT_EQ(s.SectTm[2], 0);
    EXPECT_EQ(s.SectTm[3], 0);
}

TEST(SectorTiming, TwoLinesInOneStepPassOnlyTheCurrentOne) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = LapOf(StraightRun(d, 180, 101));
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 10.3L), LineAcross(d, 10.6L), LineAcross(d, 50)}));
    EXPECT_NEAR(s.SectStaSec[0], 1.03L, Tol);
    EXPECT_NEAR(s.SectTm[0], 1.03L, Tol);
    // Line 2's crossing was counted before it became current.
    for (int j = 1; j <= 3; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(s.SectTm[j], 0);
        EXPECT_EQ(s.SectStaSec[j], 0);
    }
}

TEST(SectorTiming, ValuesAtALineAcrossAStepMiddleAndSpeedExtremes) {
    const Drive d = MetreDrive();
    QVector<TLapElmRec> recs = StraightRun(d, 180, 21);
    for (int i = 0; i < recs.size(); ++i) recs[i].Spd = 40 + i;   // 40 .. 60 km/h
    const TLapDtRec lap = LapOf(recs);
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 10.5L)}));
    EXPECT_NEAR(s.SectStaSec[0], (recs[10].Sec + recs[11].Sec) / 2, Tol);
    EXPECT_NEAR(s.SectStaDist[0], (recs[10].Dist + recs[11].Dist) / 2, Tol);
    EXPECT_NEAR(s.SectStaSpd[0], 50.5L, Tol);
    // Sector 0: from sample 0's speed to the line's; sector 1 from the line on.
    EXPECT_EQ(s.SectMinSpd[0], 40);
    EXPECT_NEAR(s.SectMaxSpd[0], 50.5L, Tol);
    EXPECT_NEAR(s.SectMinSpd[1], 50.5L, Tol);
    EXPECT_EQ(s.SectMaxSpd[1], 60);

    // Samples all between the speeds at the two lines: the line speeds.
    for (int i = 0; i < recs.size(); ++i) recs[i].Spd = 46;
    recs[5].Spd = 40;
    recs[6].Spd = 44;    // line 1 at 42
    recs[14].Spd = 50;
    recs[15].Spd = 56;   // line 2 at 53
    const TDispSlotRec m = Timed(LapOf(recs), Lines({LineAcross(d, 5.5L), LineAcross(d, 14.5L)}));
    EXPECT_NEAR(m.SectMinSpd[1], 42, Tol);
    EXPECT_NEAR(m.SectMaxSpd[1], 53, Tol);
}

TEST(SectorTiming, TooFewSamplesPassNothing) {
    const Drive d = MetreDrive();
    for (int n : {0, 1}) {
        SCOPED_TRACE(n);
        const TDispSlotRec s = Timed(LapOf(StraightRun(d, 180, n)), Lines({LineAcross(d, 0)}), true);
        EXPECT_EQ(s.SectTm[0], 0);
        EXPECT_EQ(s.SectMaxAngIdx[0], -1);
    }
    // ElmNum larger than the samples held reads only what is there.
    TLapDtRec lap = LapOf(StraightRun(d, 180, 11));
    lap.ElmNum = 1000;
    lap.DElm.clear();   // no drift values: the drift figures are skipped
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 5.5L)}), true);
    EXPECT_NEAR(s.SectTm[0], 0.55L, Tol);
    EXPECT_NEAR(s.SectTm[1], 0.45L, Tol);
    EXPECT_EQ(s.SectJudge[0], 0);
}

TEST(SectorJudgement, Table) {
    struct Case {
        const char* name;
        int sector;
        long double maxAng, minAng, aveAng, minSpd;
        int32_t judge;
    };
    const Case cases[] = {
        {"sector 0 below the swing-out angle", 0, 14.9L, -14.9L, 0, 50, JudgeNone},
        {"sector 0 swing-out to the right", 0, 15, 0, 0, 50, JudgeSwingOut},
        {"sector 0 swing-out to the left", 0, 0, -15, 0, 50, JudgeSwingOut},
        {"sector 0 with both sides stays a swing-out", 0, 20, -18, 0, 12, JudgeSwingOut},
        {"sector 0 never holds", 0, 35, 0, 20, 40, JudgeSwingOut},
        {"hold to the right", 1, 35, 0, 20, 40, JudgeHold},
        {"hold to the left", 3, 0, -30, -25, 10, JudgeHold},
        {"hold too slow", 1, 35, 0, 20, 9.9L, JudgeNone},
        {"hold beyond the angle limit", 1, 150, 0, 120, 40, JudgeNone},
        {"one side under the hold angle", 1, 29.9L, 0, 20, 40, JudgeNone},
        {"swing-back", 2, 20, -18, 1, 12, JudgeSwingBack},
        {"swing-back too slow", 2, 20, -18, 1, 9, JudgeNone},
        {"swing-back beyond the angle limit", 2, 100, -18, 1, 12, JudgeNone},
        {"swing-back with one side short", 2, 14, -18, 1, 12, JudgeNone},
        {"hold angle on one side, a little on the other", 1, 35, -1, 20, 40, JudgeNone},
        // The limits themselves count.
        {"hold at exactly 30 to the right", 1, 30, 0, 20, 40, JudgeHold},
        {"hold at exactly the slowest speed", 1, 30, 0, 20, 10, JudgeHold},
        {"hold with a mean of exactly the angle limit", 1, 120, 0, 99, 40, JudgeHold},
        {"swing-back at exactly 15 both sides", 2, 15, -15, 0, 10, JudgeSwingBack},
        {"swing-back at exactly the angle limit", 2, 99, -99, 0, 10, JudgeSwingBack},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SectJudgeOf(c.sector, c.maxAng, c.minAng, c.aveAng, c.minSpd), c.judge);
    }
}

TEST(SectorScore, FormulasAndTruncation) {
    TDispSlotRec s;
    s.SectAngRate[0] = 54;
    s.SectMaxSpd[0] = 36;
    s.SectPeakAng[0] = -120;   // capped at 99
    EXPECT_NEAR(SectScoreRaw(JudgeSwingOut, s, 0), 18 + 12 + 33, Tol);
    s.SectAveSpd[1] = 60;
    s.SectMinSpd[1] = 40;
    s.SectAveAng[1] = -20;
    s.SectDevAng[1] = 3;
    EXPECT_NEAR(SectScoreRaw(JudgeHold, s, 1), 25 + 20 - 3, Tol);
    s.SectMinAng[2] = -18;
    s.SectMaxAng[2] = 20;
    s.SectAngRate[2] = 30;
    s.SectAveSpd[2] = 50;
    // m 19, the smaller side 18, d 1/3.
    EXPECT_NEAR(SectScoreRaw(JudgeSwingBack, s, 2), (19 - 1.0L / 3) / 3 + 15 + 25, Tol);
    EXPECT_EQ(SectScoreRaw(JudgeNone, s, 2), 0);

    struct Case { long double s, want; };
    const Case cases[] = {
        {7.29L, 7.2L}, {-0.47L, -0.4L}, {0.05L, 0}, {-0.05L, 0}, {12.0L, 12.0L},
        {7.3L, 7.3L}, {0.1L + 0.2L, 0.3L}, {73 * 0.1L, 7.3L}, {NAN, 0}, {INFINITY, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.s));
        EXPECT_NEAR(TruncTenth(c.s), c.want, 1e-12L);
    }
}

TEST(SectorDrift, FiguresJudgementsAndScoresOfADriftingLap) {
    const Drive d = MetreDrive();
    TLapDtRec lap = LapOf(StraightRun(d, 180, 21));
    lap.driftAct = true;
    const long double a[21] = {0,  5,   10,  20,  25,  20,  10,  5,   0,   -3, -6,
                               -4, -10, -20, -30, -35, -35, -30, -20, -10, -5};
    for (int i = 0; i < 21; ++i) lap.DElm[i].DAngle = a[i];
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 10.5L)}), true);

    // Sector 0: sample 0, samples 1..10, the line at -5 (half way from -6 to -4).
    EXPECT_EQ(s.SectPeakAng[0], 25);
    EXPECT_EQ(s.SectMaxAng[0], 25);
    EXPECT_EQ(s.SectMaxAngIdx[0], 4);
    EXPECT_EQ(s.SectMinAng[0], -6);
    EXPECT_EQ(s.SectMinAngIdx[0], 10);
    const long double mean0 = (0 + 5 + 10 + 20 + 25 + 20 + 10 + 5 + 0 - 3 - 6 - 5.0L) / 12;
    EXPECT_NEAR(s.SectAveAng[0], mean0, Tol);
    EXPECT_EQ(s.SectJudge[0], JudgeSwingOut);
    // Steps ending at samples 2..10, all 0.1 s; rates 50 100 50 50 100 50 50 30 30.
    EXPECT_NEAR(s.SectAngRate[0], 510.0L / 9, 1e-6L);
    EXPECT_NEAR(s.SectScore[0], TruncTenth(510.0L / 9 / 3 + 12 + 25.0L / 3), Tol);

    // Sector 1: the line at -5, then samples 11..20, all negative.
    EXPECT_EQ(s.SectMaxAng[1], 0);
    EXPECT_EQ(s.SectMaxAngIdx[1], -1);
    EXPECT_EQ(s.SectMinAng[1], -35);
    EXPECT_EQ(s.SectMinAngIdx[1], 15);
    EXPECT_EQ(s.SectPeakAng[1], -35);
    const std::vector<long double> v1 = {-5, -4, -10, -20, -30, -35, -35, -30, -20, -10, -5};
    const long double mean1 = std::accumulate(v1.begin(), v1.end(), 0.0L) / v1.size();
    long double q = 0;
    for (long double x : v1) q += (x - mean1) * (x - mean1);
    const long double dev1 = std::sqrt(q / v1.size());
    EXPECT_NEAR(s.SectAveAng[1], mean1, Tol);
    EXPECT_NEAR(s.SectDevAng[1], dev1, Tol);
    EXPECT_EQ(s.SectJudge[1], JudgeHold);
    EXPECT_EQ(s.SectAngRate[1], 0);   // only swing-out and swing-back have a rate
    EXPECT_NEAR(s.SectScore[1], TruncTenth((36 + 36) / 4.0L + std::fabs(mean1) - dev1), Tol);
    EXPECT_NEAR(s.TotalScore, s.SectScore[0] + s.SectScore[1], Tol);
    EXPECT_EQ(s.SectJudge[2], 0);
}

TEST(SectorDrift, FinalSectorRateLeavesOutTheStepIntoTheLastSample) {
    const Drive d = MetreDrive();
    TLapDtRec lap = LapOf(StraightRun(d, 180, 16));
    lap.driftAct = true;
    // Sector 1 (from the line at 5.5 m): swinging +20 / -20, and a big jump
    // into the last sample that must not count.
    const long double a[16] = {0, 0, 0, 0, 0, 0, 0, 20, -20, 20, -20, 20, -20, 20, -20, 90};
    for (int i = 0; i < 16; ++i) lap.DElm[i].DAngle = a[i];
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 5.5L)}), true);
    EXPECT_EQ(s.SectMaxAng[1], 90);
    EXPECT_EQ(s.SectMaxAngIdx[1], 15);
    EXPECT_EQ(s.SectMinAng[1], -20);
    EXPECT_EQ(s.SectMinAngIdx[1], 8);
    EXPECT_EQ(s.SectJudge[1], JudgeSwingBack);
    // Steps ending at samples 7..14: the first jumps 0 -> 20 (200/s), the
    // rest swing 40 per 0.1 s (400/s).
    EXPECT_NEAR(s.SectAngRate[1], (200 + 7 * 400.0L) / 8, 1e-6L);
}

// A step counts for the angle rate from exactly 20 degrees a second; times in
// eighths of a second keep the rates exact.
TEST(SectorDrift, RateCountsStepsOfExactlyTheSmallestRate) {
    const Drive d = MetreDrive();
    TLapDtRec lap = LapOf(StraightRun(d, 180, 16));
    lap.driftAct = true;
    for (int i = 0; i < 16; ++i) lap.Elm[i].Sec = i * 0.125L;
    // Steps into samples 7 and 8: 2.5 deg (20/s); 9: 30 deg (240/s);
    // 10 and 11: 2.4375 deg (19.5/s, too slow); then none.
    const long double a[16] = {0, 0, 0, 0, 0, 0, 20, 17.5L, 15, -15, -12.5625L, -15, -15, -15, -15, -15};
    for (int i = 0; i < 16; ++i) lap.DElm[i].DAngle = a[i];
    const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 5.5L)}), true);
    ASSERT_EQ(s.SectJudge[1], JudgeSwingBack);
    EXPECT_NEAR(s.SectAngRate[1], (20 + 20 + 240) / 3.0L, 1e-9L);
}

// Which sample an extreme belongs to when it is the angle at a line: the
// sample before the start line, the sample after the end line, and in the
// final sector the sample before its start line.
TEST(SectorDrift, ExtremeIndicesAtTheLines) {
    const Drive d = MetreDrive();
    {
        TLapDtRec lap = LapOf(StraightRun(d, 180, 16));
        lap.driftAct = true;
        const long double a[16] = {0, 0, 0, 0, 0, 40, 20, 10, 5, 0, -5, -15, -15, -10, -5, 0};
        for (int i = 0; i < 16; ++i) lap.DElm[i].DAngle = a[i];
        const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 5.5L), LineAcross(d, 10.5L)}), true);
        EXPECT_EQ(s.SectMaxAng[0], 40);
        EXPECT_EQ(s.SectMaxAngIdx[0], 5);
        // Sector 1: 30 at its start line, -10 at its end line.
        EXPECT_NEAR(s.SectMaxAng[1], 30, Tol);
        EXPECT_EQ(s.SectMaxAngIdx[1], 5);
        EXPECT_NEAR(s.SectMinAng[1], -10, Tol);
        EXPECT_EQ(s.SectMinAngIdx[1], 11);
        // Final sector: the first of two equal samples.
        EXPECT_EQ(s.SectMinAng[2], -15);
        EXPECT_EQ(s.SectMinAngIdx[2], 11);
        EXPECT_EQ(s.SectMaxAng[2], 0);
        EXPECT_EQ(s.SectMaxAngIdx[2], -1);
    }
    {
        TLapDtRec lap = LapOf(StraightRun(d, 180, 16));
        lap.driftAct = true;
        const long double a[16] = {0, 0, 0, 0, 0, 40, 20, 10, 5, 0, -5, -5, -4, -3, -2, -1};
        for (int i = 0; i < 16; ++i) lap.DElm[i].DAngle = a[i];
        const TDispSlotRec s = Timed(lap, Lines({LineAcross(d, 5.5L)}), true);
        // The final sector's largest angle is the one at its start line.
        EXPECT_NEAR(s.SectMaxAng[1], 30, Tol);
        EXPECT_EQ(s.SectMaxAngIdx[1], 5);
        EXPECT_EQ(s.SectMinAng[1], -5);
        EXPECT_EQ(s.SectMinAngIdx[1], 10);
    }
}

TEST(SectorTimingOfSlots, ActiveSlotsOnlyAndDriftByFlag) {
    const Drive d = MetreDrive();
    LoadedLaps laps;
    laps.LapDt = {LapOf(StraightRun(d, 180, 101), "0000"), LapOf(StraightRun(d, 180, 101), "0001")};
    laps.LapDtNum = 2;
    for (TDriftRec& r : laps.LapDt[1].DElm) r.DAngle = 40;
    laps.LapDt[1].driftAct = true;
    Comparison cmp;
    cmp.DispSlot[0].Active = true;
    cmp.DispSlot[0].LapIdx = 0;
    cmp.DispSlot[1].Active = true;
    cmp.DispSlot[1].LapIdx = 1;
    cmp.DispSlot[2].SectTm[0] = 77;   // an empty slot keeps what it held
    cmp.DispSlot[0].SectScore[0] = 5;

    CalSectTm(SectorLines{}, laps, cmp);   // no line: nothing changes
    EXPECT_EQ(cmp.DispSlot[0].SectScore[0], 5);

    CalSectTm(Lines({LineAcross(d, 50)}), laps, cmp);
    const TDispSlotRec& plain = cmp.DispSlot[0];
    EXPECT_NEAR(plain.SectTm[0], 5, Tol);
    EXPECT_EQ(plain.SectJudge[0], 0);
    EXPECT_EQ(plain.SectScore[0], 0);
    EXPECT_EQ(plain.TotalScore, 0);
    EXPECT_EQ(plain.SectMaxAngIdx[0], -1);
    EXPECT_EQ(plain.SectMinAngIdx[1], -1);
    const TDispSlotRec& drifting = cmp.DispSlot[1];
    EXPECT_EQ(drifting.SectMaxAng[0], 40);
    EXPECT_EQ(drifting.SectJudge[0], JudgeSwingOut);
    EXPECT_EQ(drifting.SectJudge[1], JudgeHold);
    EXPECT_GT(drifting.TotalScore, 0);
    EXPECT_EQ(cmp.DispSlot[2].SectTm[0], 77);
}
