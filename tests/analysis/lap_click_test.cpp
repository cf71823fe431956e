#include <cmath>
#include <gtest/gtest.h>
#include <QFile>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
#include "shown_laps.h"

namespace vel {
namespace {

using test::Drive;

// 60 samples at 10 Hz eastwards, 1 m apart, Spd 30 + k tells the sample.
QVector<TLapElmRec> EastRun(int samples = 60) {
    Drive d;
    d.spd = 36;
    QVector<TLapElmRec> recs = test::StraightRun(d, 270, samples);
    for (qsizetype k = 0; k < recs.size(); ++k) recs[k].Spd = 30 + k;
    return recs;
}

using LapClickTest = test::ShownLapsTest;

TEST_F(LapClickTest, DoubleClicksLoadUpToFourLaps) {
    int rows[5];
    for (int& r : rows) r = AddRow(EastRun());

    const QStringList refresh = {"CalSectTm", "SetDataStr", "SetSectGrid", "RepaintLapList", "CalVideoRange"};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        log.calls.clear();
        ASSERT_EQ(Click(rows[k]), LapClick::Loaded);
        QStringList want = {QString("SetDispSlot(%1,%1)").arg(k), QString("SetDElm(%1)").arg(k),
                            QString("SetGElm(%1)").arg(k), QString("CalCurValLap(%1)").arg(k)};
        if (k == 0) want << "TakeCurPosFromSlot0";
        want << "SetDataStr" << "CalCurValAll" << refresh;
        EXPECT_EQ(log.calls, want);
        EXPECT_EQ(laps().LapDtNum, k + 1);
        EXPECT_EQ(laps().LapDt[k].DtName, s.lapList.Rows[rows[k] - 1].Cells[1]);
        EXPECT_TRUE(cmp().DispSlot[k].Active);
        // The analysis ran on the lap.
        EXPECT_NEAR(static_cast<double>(laps().LapDt[k].DElm[10].GpsDir), 270.0, 1e-9);
        EXPECT_EQ(laps().LapDt[k].GElm[10].r, MaxRadius);
    }
    EXPECT_EQ(cmp().CurIdo, laps().LapDt[0].Elm[0].Ido);

    log.calls.clear();
    EXPECT_EQ(Click(rows[4]), LapClick::Nothing);   // a fifth lap
    EXPECT_EQ(laps().LapDtNum, 4);
    EXPECT_TRUE(log.calls.isEmpty());

    // A second double click removes the lap; its slot is free again.
    EXPECT_EQ(Click(rows[2]), LapClick::Removed);
    EXPECT_EQ(laps().LapDtNum, 3);
    EXPECT_EQ(laps().LapDt[2].DtName, "0003");
    EXPECT_EQ(Click(rows[4]), LapClick::Loaded);
    EXPECT_EQ(laps().LapDt[3].DtName, "0004");
}

// From data number 10000 on the name has five digits: a second double click
// still finds the loaded lap and removes it.
TEST_F(LapClickTest, FiveDigitDataNumbersLoadAndRemove) {
    const int row = AddRow(EastRun());
    const QString temp = s.folders.TempDir;
    ASSERT_TRUE(QFile::rename(WorkingFileName(temp, 0), temp + "temp10000.dtb"));
    s.lapList.Rows[row - 1].Cells[1] = "10000";
    ASSERT_EQ(Click(row), LapClick::Loaded);
    EXPECT_EQ(laps().LapDt[0].DtName, "10000");
    EXPECT_EQ(Click(row), LapClick::Removed);
    EXPECT_EQ(laps().LapDtNum, 0);
}

TEST_F(LapClickTest, ClicksOnNoLapDoNothing) {
    const int row = AddRow(EastRun());
    s.lapList.Rows.append(LapRow{});   // a row without a data number
    for (const int r : {0, -1, row + 1, row + 2}) {
        SCOPED_TRACE(r);
        EXPECT_EQ(Click(r), LapClick::Nothing);
    }
    EXPECT_EQ(laps().LapDtNum, 0);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(LapClickTest, MissingWorkingFileStillRefreshes) {
    const int row = AddRow(EastRun());
    ASSERT_TRUE(QFile::remove(WorkingFileName(s.folders.TempDir, 0)));
    EXPECT_EQ(Click(row), LapClick::NotLoaded);
    EXPECT_EQ(laps().LapDtNum, 0);
    EXPECT_EQ(log.calls, QStringList({"CalSectTm", "SetDataStr", "SetSectGrid", "RepaintLapList", "CalVideoRange"}));
}

TEST_F(LapClickTest, MotecRowsGetTheirGChannels) {
    QStringList read;
    hooks.LoadMotecGCsv = [&](int lap, const QString& fn) { read << QString("%1 %2").arg(lap).arg(fn); };
    const int plain = AddRow(EastRun(), "run0001");
    const int motec = AddRow(EastRun(), "/data/motec/lap.csv");
    Click(plain);
    Click(motec);
    EXPECT_EQ(read, QStringList({"1 /data/motec/lap.csv"}));
}

// The sector timing finds lap 1 passing the line 2.5 s and 5 m later than
// lap 0: after the double click the compared lap is read at its new offsets.
TEST_F(LapClickTest, ComparedLapsReadAtTheOffsetsOfTheRefresh) {
    analysis.sectTm = [this] {
        for (int k = 0; k < laps().LapDtNum; ++k) {
            TDispSlotRec& slot = cmp().DispSlot[k];
            slot.SectStaDist[0] = 0.02L + 0.005L * k;
            slot.SectStaSec[0] = 2 + 2.5L * k;
            slot.SectLen[0] = slot.SectStaDist[0];
            slot.SectLen[1] = laps().LapDt[k].LapDist - slot.SectStaDist[0];
        }
    };
    sectNum = 1;
    cmp().SelSect = 1;
    const int r0 = AddRow(EastRun());
    const int r1 = AddRow(EastRun());
    const int r2 = AddRow(EastRun());
    Click(r0);
    cmp().PlayTm = 1.0L;
    Click(r1);
    EXPECT_EQ(cmp().SelSect, 1);
    EXPECT_NEAR(static_cast<double>(cmp().TmOfs[1]), 2.5, 1e-12);
    EXPECT_NEAR(static_cast<double>(cmp().DistOfs[1]), 0.005, 1e-12);
    // At lap time 1.0 + 2.5 s: sample 35.
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[1].Spd), 65.0, 1e-9);
    // At the reference distance 10 m plus 5 m: sample 15.
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[1].DistSpd), 45.0, 1e-6);

    // Removing the reference: lap 1 becomes the reference, lap 2 compared.
    Click(r2);
    cmp().PlayTm = 1.0L;
    Click(r0);
    ASSERT_EQ(laps().LapDtNum, 2);
    EXPECT_EQ(cmp().PlayTm, 0.0L);
    EXPECT_NEAR(static_cast<double>(cmp().TmOfs[1]), 2.5, 1e-12);
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[0].Spd), 30.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[1].Spd), 55.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[1].DistSpd), 35.0, 1e-6);

    // A lap that misses the line drops the alignment for times and distances.
    analysis.sectTm = [this] { cmp().DispSlot[1].SectStaDist[0] = 0; };
    Click(r0);
    EXPECT_EQ(cmp().SelSect, 0);
    EXPECT_EQ(cmp().TmOfs[1], 0.0L);
    EXPECT_EQ(cmp().TmOfs[2], 0.0L);
    EXPECT_EQ(cmp().DistOfs[1], 0.0L);
    EXPECT_NEAR(static_cast<double>(cmp().CurVal[1].Spd), 30.0, 1e-9);
}

// Laps of one and two samples, as reference and as compared laps, through
// loading, comparison and cursor moves: every read stays inside the laps.
TEST_F(LapClickTest, TinyLapsStayInsideTheirSamples) {
    const int sizes[][2] = {{1, 60}, {60, 1}, {2, 1}, {1, 2}, {2, 60}, {60, 2}, {1, 1}};
    analysis.sectTm = [this] {
        for (int k = 0; k < laps().LapDtNum; ++k) {
            cmp().DispSlot[k].SectStaDist[0] = 0.001L;
            cmp().DispSlot[k].SectStaSec[0] = 0.1L * (k + 1);
            cmp().DispSlot[k].SectLen.fill(0.001L);
        }
    };
    sectNum = 1;
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " and " << size[1] << " samples");
        cmp().SelSect = 1;
        Show({EastRun(size[0]), EastRun(size[1])});
        ASSERT_EQ(laps().LapDtNum, 2);
        for (const long double t : {-1.0L, 0.0L, 0.05L, 0.1L, 0.15L, 3.0L, 1000.0L}) {
            SCOPED_TRACE(static_cast<double>(t));
            cmp().PlayTm = t;
            CalComparison(laps(), cmp(), sectNum);
            for (int k = 0; k < 2; ++k) {
                const TCurValRec& v = cmp().CurVal[k];
                EXPECT_TRUE(std::isfinite(v.Spd) && std::isfinite(v.Dist) && std::isfinite(v.DistSpd));
                if (laps().LapDt[k].ElmNum == 1) {
                    EXPECT_EQ(v.lateG, 0.0L);
                    EXPECT_EQ(v.r2_3, 0.0L);
                    EXPECT_EQ(v.DistLateG3, k == 0 ? v.lateG3 : 0.0L);
                }
            }
            EXPECT_EQ(cmp().DeltaTm.size(), laps().LapDt[0].ElmNum);
            for (const long double d : cmp().DeltaTm) EXPECT_TRUE(std::isfinite(d));
        }
        while (laps().LapDtNum > 0) DelTrgDt(laps(), cmp(), laps().LapDtNum - 1, graphs, video);
    }
}

// A compared lap whose distance ends at 0 (a broken last sample) is taken
// at its own scale rather than stretched without bound.
TEST_F(LapClickTest, ComparedLapWithoutDistance) {
    QVector<TLapElmRec> broken = EastRun();
    broken.back().Dist = 0;
    Show({EastRun(), broken});
    ASSERT_EQ(cmp().DeltaTm.size(), 60);
    for (const long double d : cmp().DeltaTm) EXPECT_TRUE(std::isfinite(d));
    EXPECT_NEAR(static_cast<double>(cmp().DeltaTm[30]), 0.0, 1e-9);
}

// Reference distances before lap 1's first one have no earlier sample of
// lap 1 to interpolate from: they take lap 1's first time.
TEST_F(LapClickTest, ComparedLapStartingFurtherOn) {
    QVector<TLapElmRec> later = EastRun();
    for (TLapElmRec& r : later) r.Dist += 0.01L;
    Show({EastRun(), later});
    ASSERT_EQ(cmp().DeltaTm.size(), 60);
    EXPECT_NEAR(static_cast<double>(cmp().DeltaTm[1]), -0.1, 1e-9);
    for (const long double d : cmp().DeltaTm) EXPECT_TRUE(std::isfinite(d));
}

} // namespace
} // namespace vel
