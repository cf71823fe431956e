#include <gtest/gtest.h>
#include "analysis/row_figures.h"
#include "analysis/sector_timing.h"
#include "sector_support.h"

using namespace vel;
using namespace vel::test;

namespace {

// Every sector field of two records, exactly.
void ExpectSameSectFields(const TDispSlotRec& a, const TDispSlotRec& b) {
    EXPECT_EQ(a.SectTm, b.SectTm);
    EXPECT_EQ(a.SectStaDist, b.SectStaDist);
    EXPECT_EQ(a.SectLen, b.SectLen);
    EXPECT_EQ(a.SectStaSec, b.SectStaSec);
    EXPECT_EQ(a.SectStaSpd, b.SectStaSpd);
    EXPECT_EQ(a.SectAveSpd, b.SectAveSpd);
    EXPECT_EQ(a.SectMaxSpd, b.SectMaxSpd);
    EXPECT_EQ(a.SectMinSpd, b.SectMinSpd);
    EXPECT_EQ(a.SectPeakAng, b.SectPeakAng);
    EXPECT_EQ(a.SectAveAng, b.SectAveAng);
    EXPECT_EQ(a.SectDevAng, b.SectDevAng);
    EXPECT_EQ(a.SectMaxAng, b.SectMaxAng);
    EXPECT_EQ(a.SectMinAng, b.SectMinAng);
    EXPECT_EQ(a.SectAngRate, b.SectAngRate);
    EXPECT_EQ(a.SectJudge, b.SectJudge);
    EXPECT_EQ(a.SectMaxAngIdx, b.SectMaxAngIdx);
    EXPECT_EQ(a.SectMinAngIdx, b.SectMinAngIdx);
    EXPECT_EQ(a.SectScore, b.SectScore);
    EXPECT_EQ(a.TotalScore, b.TotalScore);
}

// A lap that drifts left, right and left again along a straight.
TLapDtRec DriftingLap(const Drive& d) {
    TLapDtRec lap = LapOf(StraightRun(d, 180, 101));
    for (int i = 0; i < lap.ElmNum; ++i) {
        const int phase = (i / 10) % 4;
        lap.DElm[i].DAngle = phase == 0 ? 0 : phase == 1 ? 35 : phase == 2 ? -25 : 18;
    }
    lap.driftAct = true;
    return lap;
}

} // namespace

TEST(RowFigures, WithoutLinesEverythingIsReset) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = DriftingLap(d);
    TDispSlotRec w;
    w.SectTm.fill(9);
    w.SectStaSec.fill(9);
    w.SectLen.fill(9);
    MakeSectTmList(lap, SectorLines{}, w);
    EXPECT_EQ(w.SectTm, (std::array<long double, 5>{}));
    EXPECT_EQ(w.SectStaSec, (std::array<long double, 5>{}));
    EXPECT_EQ(w.SectLen[0], 9);   // not its field

    w.TotalScore = 3;
    CalDriftScore(lap, SectorLines{}, w);
    TDispSlotRec reset;
    ResetSectFields(reset);
    ExpectSameSectFields(w, reset);
}

TEST(RowFigures, SameFiguresAsTheShownLaps) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = DriftingLap(d);
    const SectorLines lines = Lines({LineAcross(d, 15.5L), LineAcross(d, 45.5L), LineAcross(d, 72.5L)});
    LoadedLaps laps;
    laps.LapDt = {lap};
    laps.LapDtNum = 1;
    Comparison cmp;
    cmp.DispSlot[0].Active = true;
    cmp.DispSlot[0].LapIdx = 0;
    CalSectTm(lines, laps, cmp);

    TDispSlotRec w;
    CalDriftScore(lap, lines, w);
    ExpectSameSectFields(w, cmp.DispSlot[0]);
    EXPECT_GT(w.TotalScore, 0);

    // The times alone replace only SectTm and SectStaSec.
    const SectorLines other = Lines({LineAcross(d, 50.5L)});
    MakeSectTmList(lap, other, w);
    EXPECT_NEAR(w.SectTm[0], 5.05L, 1e-9L);
    EXPECT_NEAR(w.SectTm[1], 4.95L, 1e-9L);
    EXPECT_EQ(w.SectTm[2], 0);
    EXPECT_NEAR(w.SectStaSec[0], 5.05L, 1e-9L);
    EXPECT_EQ(w.SectStaSec[1], 0);
    EXPECT_EQ(w.SectLen, cmp.DispSlot[0].SectLen);
    EXPECT_EQ(w.SectScore, cmp.DispSlot[0].SectScore);
}

TEST(RowFigures, SectorTimesStopAtALineNotPassed) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = LapOf(StraightRun(d, 180, 101));
    TDispSlotRec w;
    MakeSectTmList(lap, Lines({LineAcross(d, 20.5L), LineAt(d, 40, 5, 40, 30), LineAcross(d, 60.5L)}), w);
    EXPECT_NEAR(w.SectTm[0], 2.05L, 1e-9L);
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(w.SectTm[j], 0) << j;
}
