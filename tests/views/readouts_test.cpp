#include "views/readouts.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

struct ReadoutsTest : ViewFixture {
    ReadoutsTest() {
        Show({92.415, 80});
        TLapDtRec& lap = s.loadedLaps.LapDt[0];
        lap.DtName = "0003";
        lap.LapTim = 92.415 / 86400;
        lap.LapDist = 2.031L;
        lap.AveSpd = 79.12L;
        lap.MaxSpd = 142.80L;
        s.comparison.CurVal[0].Dist = 0.512L;
        s.comparison.CurVal[0].Spd = 98.34L;
        s.comparison.DeltaTmMin = -1;
        s.comparison.DeltaTmMax = 2;
        s.comparison.CurDeltaTm = 0.25L;
    }
    ReadoutTexts Texts(bool diffTm = true) {
        return ReadoutTextsOf(s.loadedLaps, s.comparison, s.sectorLines.Count(), s.settings, diffTm);
    }
};

} // namespace

// The summary line of a known lap in each unit combination.
TEST_F(ReadoutsTest, SummaryInEachUnitCombination) {
    struct Case {
        bool kmh, km;
        const char* text;
    };
    const Case cases[] = {
        {true, true, "1:32.415 2.031km AVE=79.12km/h MAX=142.80km/h > 0.512km 98.34km/h +0.250sec"},
        {false, true, "1:32.415 2.031km AVE=49.16MPH MAX=88.73MPH > 0.512km 61.11MPH +0.250sec"},
        {true, false, "1:32.415 6663feet AVE=79.12km/h MAX=142.80km/h > 1680feet 98.34km/h +0.250sec"},
        {false, false, "1:32.415 6663feet AVE=49.16MPH MAX=88.73MPH > 1680feet 61.11MPH +0.250sec"},
    };
    for (const Case& c : cases) {
        s.settings.SpdKmh = c.kmh;
        s.settings.DistKm = c.km;
        EXPECT_EQ(Texts().summary[0], QString::fromUtf8(c.text));
    }
}

TEST_F(ReadoutsTest, SectorTimesAndTheTimeDifference) {
    s.sectorLines.SectNum = 2;
    TDispSlotRec& slot = s.comparison.DispSlot[0];
    slot.SectTm[0] = 31.02L;
    slot.SectTm[1] = 29.87L;
    slot.SectTm[2] = 31.525L;
    ReadoutTexts t = Texts();
    EXPECT_EQ(t.sectors[0], "[0003], 0:31.020, 0:29.870, 0:31.525");
    // Slot 1 did not time its sectors: 0:00.000 each.
    EXPECT_EQ(t.sectors[1], "[0001], 0:00.000, 0:00.000, 0:00.000");
    EXPECT_FALSE(t.summary[1].contains("sec"));
    EXPECT_EQ(t.summary[2], ".");
    EXPECT_EQ(t.sectors[3], ".");

    struct Case {
        long double delta;
        const char* tail;
    };
    for (const Case& c : {Case{0.25L, " +0.250sec"}, Case{0, " 0.000sec"}, Case{-1.5L, " -1.500sec"}}) {
        s.comparison.CurDeltaTm = c.delta;
        EXPECT_TRUE(Texts().summary[0].endsWith(c.tail)) << Texts().summary[0].toStdString();
    }
    EXPECT_TRUE(Texts(false).summary[0].endsWith("km/h"));
    // One lap alone: the curve's extremes are stale, no difference shown.
    s.comparison.DispSlot[1].Active = false;
    EXPECT_TRUE(Texts().summary[0].endsWith("km/h"));
    s.sectorLines.SectNum = 0;
    EXPECT_EQ(Texts().sectors[0], "[0003]");
}

TEST_F(ReadoutsTest, PlayTimeAndHourLongTimes) {
    s.comparison.PlayTm = 83.456L;
    EXPECT_EQ(Texts().playTm, "1:23.456");
    s.comparison.PlayTm = 3600;
    EXPECT_EQ(Texts().playTm, "1:00:00.000");
    s.loadedLaps.LapDt[0].LapTim = 1.0 / 24;
    EXPECT_TRUE(Texts().summary[0].startsWith("1:00:00.000 "));

    ClrDispSlots(s.comparison);
    const ReadoutTexts none = Texts();
    EXPECT_EQ(none.playTm, "0:00.000");
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(none.summary[k], ".");
        EXPECT_EQ(none.sectors[k], ".");
    }
}
