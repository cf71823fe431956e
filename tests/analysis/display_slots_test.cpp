#include <cmath>
#include <gtest/gtest.h>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "shown_laps.h"

namespace vel {
namespace {

using test::Drive;
using test::Turn;

// A square of 900 m: at 36 km/h and 30 km/h, 10 fixes a second, every fix
// of both laps falls on the path's corners exactly, so both laps measure
// the same distance at the same places.
QVector<TLapElmRec> Square(long double kmh) {
    Drive d;
    d.spd = kmh;
    return test::SquareLap(d, 225, Turn::Right);
}

// recs with every time stretched by f.
QVector<TLapElmRec> Stretched(QVector<TLapElmRec> recs, long double f) {
    for (TLapElmRec& r : recs) {
        r.Sec *= f;
        r.Tm *= static_cast<double>(f);
        r.DtTm = recs.front().DtTm + r.Tm;
    }
    return recs;
}

class DisplaySlotsTest : public test::ShownLapsTest {
protected:
    // Sector results as the sector timing would leave them for one line.
    void PassLine(int slot, long double dist, long double sec, long double lapDist) {
        TDispSlotRec& s = cmp().DispSlot[slot];
        s.SectStaDist[0] = dist;
        s.SectStaSec[0] = sec;
        s.SectLen[0] = dist;
        s.SectLen[1] = dist == 0 ? 0 : lapDist - dist;
    }
};

TEST_F(DisplaySlotsTest, ClearedSlotsAndRanges) {
    Comparison c;
    c.DispSlot[2].Active = true;
    c.DispSlot[2].LapIdx = 2;
    c.DispSlot[2].SectTm[1] = 12.5L;
    c.PlayTm = 7;
    c.CurIdo = 35;
    c.DispIdoMin = 1;
    c.DispLapSec = 99;
    c.TmOfs[1] = 2;
    ClrDispSlots(c);
    for (const TDispSlotRec& s : c.DispSlot) {
        EXPECT_FALSE(s.Active);
        EXPECT_EQ(s.LapIdx, -1);
    }
    EXPECT_EQ(c.PlayTm, 0.0L);
    EXPECT_EQ(c.CurIdo, 0.0L);
    EXPECT_EQ(c.DispIdoMin, 90.0L);
    EXPECT_EQ(c.DispIdoMax, -90.0L);
    EXPECT_EQ(c.DispKdoMin, 180.0L);
    EXPECT_EQ(c.DispKdoMax, -180.0L);
    EXPECT_EQ(c.DispMinSpd, 9999.9L);
    EXPECT_EQ(c.DispMaxSpd, 0.0L);
    EXPECT_EQ(c.DispElvLo, 99999.0L);
    EXPECT_EQ(c.DispElvHi, -999.0L);
    EXPECT_EQ(c.DispLapSec, 0.0L);
    // Sector results and offsets belong to their own refreshes.
    EXPECT_EQ(c.DispSlot[2].SectTm[1], 12.5L);
    EXPECT_EQ(c.TmOfs[1], 2.0L);
}

// Three laps, each beyond the others in some range.
struct ThreeLaps {
    QVector<TLapElmRec> a, b, c;
    ThreeLaps() {
        Drive d;
        d.spd = 50;
        a = test::CircleLap(d, 80, Turn::Left);        // west of the start, the fastest
        d.spd = 30;
        d.elv = 700;
        b = test::CircleLap(d, 120, Turn::Right);      // east, higher, the longest
        d.spd = 40;
        d.ido = 35.371L;                               // further north, lower
        d.elv = 500;
        c = test::SquareLap(d, 60, Turn::Right);
    }
};

TEST_F(DisplaySlotsTest, SlotsShowTheLoadedLapsWithinTheirRanges) {
    const ThreeLaps t;
    Show({t.a, t.b, t.c});
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(cmp().DispSlot[k].Active, k < 3);
        EXPECT_EQ(cmp().DispSlot[k].LapIdx, k < 3 ? k : -1);
    }
    double idoMin = 90, idoMax = -90, kdoMin = 180, kdoMax = -180, lapSec = 0, lapDist = 0;
    for (const TLapDtRec& l : laps().LapDt) {
        idoMin = std::min(idoMin, l.IdoMin);
        idoMax = std::max(idoMax, l.IdoMax);
        kdoMin = std::min(kdoMin, l.KdoMin);
        kdoMax = std::max(kdoMax, l.KdoMax);
        lapSec = std::max(lapSec, l.Elm.back().Sec);
        lapDist = std::max(lapDist, l.LapDist);
    }
    EXPECT_EQ(cmp().DispIdoMin, idoMin);
    EXPECT_EQ(cmp().DispIdoMax, idoMax);
    EXPECT_EQ(cmp().DispKdoMin, kdoMin);
    EXPECT_EQ(cmp().DispKdoMax, kdoMax);
    EXPECT_EQ(cmp().DispMinSpd, 30.0L);
    EXPECT_EQ(cmp().DispMaxSpd, 50.0L);
    EXPECT_EQ(cmp().DispElvLo, 500.0L);
    EXPECT_EQ(cmp().DispElvHi, 700.0L);
    EXPECT_EQ(cmp().DispLapDist, lapDist);
    EXPECT_NEAR(static_cast<double>(cmp().DispLapSec), static_cast<double>(lapSec), 1e-3);
    EXPECT_EQ(cmp().RefIdo, t.a.front().Ido);
}

TEST_F(DisplaySlotsTest, RemovingTheReferenceShiftsTheSlotsAndRebuildsTheRanges) {
    const ThreeLaps t;
    Show({t.a, t.b, t.c});
    cmp().PlayTm = 5;
    EXPECT_EQ(Click(1), LapClick::Removed);

    EXPECT_EQ(log.calls, QStringList({"StopPlayback", "SetPosMarker", "SetDataStr", "DrawCurG", "DrawCurDrift",
                                      "CalSectTm", "SetDataStr", "SetSectGrid", "RepaintLapList",
                                      "CalVideoRange"}));
    ASSERT_EQ(laps().LapDtNum, 2);
    ASSERT_EQ(laps().LapDt.size(), 2);
    EXPECT_EQ(laps().LapDt[0].DtName, "0001");
    EXPECT_EQ(laps().LapDt[1].DtName, "0002");
    EXPECT_TRUE(cmp().DispSlot[0].Active);
    EXPECT_TRUE(cmp().DispSlot[1].Active);
    EXPECT_FALSE(cmp().DispSlot[2].Active);
    EXPECT_EQ(cmp().DispSlot[2].LapIdx, 2);
    EXPECT_EQ(cmp().PlayTm, 0.0L);
    // The fastest lap is gone: the speed axis shrinks to the remaining laps.
    EXPECT_EQ(cmp().DispMaxSpd, 40.0L);
    EXPECT_EQ(cmp().DispMinSpd, 30.0L);
    EXPECT_EQ(cmp().DispKdoMin, std::min(laps().LapDt[0].KdoMin, laps().LapDt[1].KdoMin));
    EXPECT_EQ(cmp().RefIdo, t.b.front().Ido);
    EXPECT_EQ(cmp().CurIdo, t.b.front().Ido);
    EXPECT_EQ(cmp().CurVal[0].Ido, t.b.front().Ido);
    EXPECT_EQ(cmp().CurVal[1].Ido, t.c.front().Ido);
}

TEST_F(DisplaySlotsTest, RemovingTheLastLapLeavesNothingShown) {
    Show({Square(36)});
    cmp().PlayTm = 3;
    EXPECT_EQ(Click(1), LapClick::Removed);
    EXPECT_EQ(laps().LapDtNum, 0);
    EXPECT_TRUE(laps().LapDt.isEmpty());
    EXPECT_FALSE(cmp().DispSlot[0].Active);
    EXPECT_EQ(cmp().PlayTm, 0.0L);
    EXPECT_EQ(cmp().CurIdo, 0.0L);
    EXPECT_EQ(cmp().CurKdo, 0.0L);
    EXPECT_EQ(cmp().RefIdo, 0.0L);
    EXPECT_EQ(cmp().DispIdoMin, 90.0L);
    EXPECT_EQ(cmp().DispKdoMax, -180.0L);
    EXPECT_EQ(cmp().DispMinSpd, 9999.9L);
    EXPECT_EQ(cmp().DispElvLo, 99999.0L);
    EXPECT_EQ(cmp().DispElvHi, -999.0L);
    EXPECT_EQ(cmp().DispLapSec, 0.0L);
    EXPECT_TRUE(cmp().DeltaTm.isEmpty());
}

TEST_F(DisplaySlotsTest, RemovalPausesOnlyAVideoTiedToTheLapTime) {
    const struct Case {
        long long duration;
        bool synced;
        bool pause;
    } cases[] = {{0, false, false}, {0, true, false}, {5'000'000, false, false}, {5'000'000, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.duration << (c.synced ? " synced" : ""));
        Show({Square(36)});
        video.duration = c.duration;
        video.synced = c.synced;
        DelTrgDt(laps(), cmp(), 0, graphs, video);
        ASSERT_FALSE(log.calls.isEmpty());
        EXPECT_EQ(log.calls.front(), "StopPlayback");
        EXPECT_EQ(log.calls.contains("Pause"), c.pause);
        EXPECT_EQ(laps().LapDtNum, 0);
        s.lapList.Rows.clear();
        log.calls.clear();
    }
}

TEST_F(DisplaySlotsTest, RemovingALapThatIsNotLoadedChangesNothing) {
    Show({Square(36), Square(30)});
    for (const int n : {-1, 2, 3}) {
        SCOPED_TRACE(n);
        DelTrgDt(laps(), cmp(), n, graphs, video);
        EXPECT_EQ(laps().LapDtNum, 2);
        EXPECT_TRUE(cmp().DispSlot[1].Active);
    }
}

// The time and distance offsets at the alignment line, for a reference lap
// of 90 s and a compared lap of 108 s on the same square.
TEST_F(DisplaySlotsTest, OffsetsAtTheAlignmentLine) {
    const struct Case {
        const char* name;
        int sectNum, selSect;
        long double dist0, dist1, sec0, sec1;
        int wantSel;
        long double wantTmOfs, wantDistOfs, wantLapSec;
    } cases[] = {
        {"no alignment line", 1, 0, 0.45L, 0.46L, 45, 47.5L, 0, 0, 0, 108},
        {"lap 1 passes 2.5 s later", 1, 1, 0.45L, 0.46L, 45, 47.5L, 1, 2.5L, 0.01L, 105.5L},
        {"lap 1 passes 30 s later", 1, 1, 0.45L, 0.45L, 45, 75, 1, 30, 0, 90},
        {"lap 1 passes earlier", 1, 1, 0.45L, 0.44L, 45, 40, 1, -5, -0.01L, 113},
        {"offset longer than the lap", 1, 1, 0.45L, 0.45L, 45, 200, 1, 155, 0, 90},
        {"lap 1 misses the line", 1, 1, 0.45L, 0, 45, 0, 0, 0, 0, 108},
        {"the reference misses the line", 1, 1, 0, 0.45L, 0, 54, 0, 0, 0, 108},
        {"alignment on a line that is gone", 1, 2, 0.45L, 0.46L, 45, 47.5L, 0, 0, 0, 108},
        {"no sector lines", 0, 1, 0.45L, 0.46L, 45, 47.5L, 0, 0, 0, 108},
    };
    Show({Square(36), Square(30)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PassLine(0, c.dist0, c.sec0, 0.9L);
        PassLine(1, c.dist1, c.sec1, 0.9L);
        cmp().SelSect = c.selSect;
        CalCmpTmOfs(laps(), cmp(), c.sectNum);
        // The time offsets drop an alignment the distance offsets would refuse.
        EXPECT_EQ(cmp().SelSect, c.wantSel);
        cmp().SelSect = c.selSect;
        CalDistOfs(laps(), cmp(), c.sectNum);
        EXPECT_EQ(cmp().SelSect, c.wantSel);
        EXPECT_EQ(cmp().TmOfs[0], 0.0L);
        EXPECT_EQ(cmp().DistOfs[0], 0.0L);
        EXPECT_NEAR(static_cast<double>(cmp().TmOfs[1]), static_cast<double>(c.wantTmOfs), 1e-12);
        EXPECT_NEAR(static_cast<double>(cmp().DistOfs[1]), static_cast<double>(c.wantDistOfs), 1e-12);
        EXPECT_NEAR(static_cast<double>(cmp().DispLapSec), static_cast<double>(c.wantLapSec), 1e-9);
    }
}

TEST_F(DisplaySlotsTest, LapSecondsNeitherWrapNorTurnNegative) {
    EXPECT_EQ(LapSeconds(90.0L / 86400), 90.0L);
    EXPECT_EQ(LapSeconds(1.5L), 129600.0L);           // beyond a day
    EXPECT_EQ(LapSeconds(-2.0L / 86400), 0.0L);
    EXPECT_EQ(LapSeconds(36.0996L / 86400), 36.1L);   // to the millisecond
}

// Time difference of lap 1 against lap 0 over lap 0's samples.
TEST_F(DisplaySlotsTest, TimeDifferenceOverDistance) {
    const QVector<TLapElmRec> ref = Square(36);
    // Lap 1 the same run, its distances 20 % long before the line at 450 m
    // and 10 % short after it: only stretching each sector undoes that.
    QVector<TLapElmRec> warped = ref;
    const qsizetype half = ref.size() / 2;
    const long double pivot = ref[half].Dist;
    for (qsizetype j = 0; j < warped.size(); ++j)
        warped[j].Dist = j <= half ? ref[j].Dist * 1.2L : pivot * 1.2L + (ref[j].Dist - pivot) * 0.9L;

    const struct Case {
        const char* name;
        QVector<TLapElmRec> lap1;
        bool line;                       // both laps pass the line at half distance
        long double lineSec1;
        long double perSec, constant;    // want: perSec * Sec + constant
        long double tolerance;
    } cases[] = {
        {"identical laps", ref, false, 0, 0, 0, 0},
        {"stretched by 1.1 in time", Stretched(ref, 1.1L), false, 0, 0.1L, 0, 1e-9L},
        {"slower on the same square", Square(30), false, 0, 0.2L, 0, 1e-3L},
        {"slower, aligned at the line", Square(30), true, 54, 0.2L, -9, 1e-3L},
        {"distances warped per sector", warped, true, 45, 0, 0, 1e-9L},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Show({ref, c.lap1});
        sectNum = c.line ? 1 : 0;
        cmp().SelSect = c.line ? 1 : 0;
        const TLapDtRec& l1 = laps().LapDt[1];
        PassLine(0, laps().LapDt[0].Elm[half].Dist, 45, laps().LapDt[0].LapDist);
        PassLine(1, c.line ? l1.Elm[l1.ElmNum / 2].Dist : 0, c.lineSec1, l1.LapDist);
        CalComparison(laps(), cmp(), sectNum);

        const TLapDtRec& l0 = laps().LapDt[0];
        ASSERT_EQ(cmp().DeltaTm.size(), l0.ElmNum);
        EXPECT_EQ(cmp().DeltaTm[0], -cmp().TmOfs[1]);
        long double lo = 1e9, hi = -1e9;
        for (qsizetype i = 0; i < l0.ElmNum; ++i) {
            SCOPED_TRACE(i);
            const long double want = c.perSec * l0.Elm[i].Sec + c.constant;
            ASSERT_NEAR(static_cast<double>(cmp().DeltaTm[i]), static_cast<double>(want),
                        static_cast<double>(c.tolerance));
            if (i > 0) {
                lo = std::min(lo, cmp().DeltaTm[i]);
                hi = std::max(hi, cmp().DeltaTm[i]);
            }
        }
        EXPECT_EQ(cmp().DeltaTmMin, lo);
        EXPECT_EQ(cmp().DeltaTmMax, hi);

        while (laps().LapDtNum > 0) DelTrgDt(laps(), cmp(), 0, graphs, video);
        sectNum = 0;
    }
}

TEST_F(DisplaySlotsTest, WarpedDistancesWithoutSectorsAreScaledAsAWhole) {
    QVector<TLapElmRec> warped = Square(36);
    for (TLapElmRec& r : warped)
        r.Dist = r.Dist <= 0.45L ? r.Dist * 1.2L : 0.54L + (r.Dist - 0.45L) * 0.9L;
    Show({Square(36), warped});
    // Whole-lap scaling puts lap 1 ahead in the first half.
    EXPECT_LT(cmp().DeltaTmMin, -4);
    EXPECT_NEAR(static_cast<double>(cmp().DeltaTm.back()), 0.0, 1e-9);
}

TEST_F(DisplaySlotsTest, OneLapHasNoTimeDifference) {
    Show({Square(36)});
    EXPECT_TRUE(cmp().DeltaTm.isEmpty());
    EXPECT_EQ(cmp().DeltaTmMin, 0.0L);
    EXPECT_EQ(cmp().DeltaTmMax, 0.0L);
}

} // namespace
} // namespace vel
