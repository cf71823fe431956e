#include <gtest/gtest.h>
#include "analysis/lap_ranking.h"
#include "analysis/sector_tables.h"
#include "analysis/sector_timing.h"
#include "sector_support.h"

using namespace vel;
using namespace vel::test;

namespace {

// n sector lines (their positions do not matter to the tables).
SectorLines LinesOf(int n) {
    SectorLines s;
    s.SectNum = n;
    return s;
}

class SectTablesTest : public ::testing::Test {
protected:
    LoadedLaps laps;
    Comparison cmp;

    // Shows a lap of lapSec seconds in slot k with the given sector times.
    TDispSlotRec& Show(int k, long double lapSec, std::initializer_list<long double> times) {
        if (laps.LapDt.size() <= k) laps.LapDt.resize(k + 1);
        laps.LapDt[k].LapTim = static_cast<double>(lapSec / 86400);
        laps.LapDtNum = static_cast<int>(laps.LapDt.size());
        TDispSlotRec& s = cmp.DispSlot[k];
        ResetSectFields(s);
        s.Active = true;
        s.LapIdx = k;
        int i = 0;
        for (long double t : times) s.SectTm[i++] = t;
        return s;
    }
};

} // namespace

TEST_F(SectTablesTest, NoLineEmptiesEverything) {
    Show(0, 100, {50, 50});
    const SectTables t = SetSectGrid(LinesOf(0), laps, cmp);
    ASSERT_EQ(t.sect.size(), SectGridRows);
    ASSERT_EQ(t.drift.size(), DriftGridRows);
    for (const QStringList& row : t.sect) EXPECT_EQ(row.join(""), "");
    for (const QStringList& row : t.drift) EXPECT_EQ(row.join(""), "");
    EXPECT_EQ(t.sect[0].size(), SectGridCols);
    EXPECT_EQ(t.drift[0].size(), DriftGridCols);
}

TEST_F(SectTablesTest, HeadersOfTwoLines) {
    const SectTables t = SetSectGrid(LinesOf(2), laps, cmp);
    EXPECT_EQ(t.sect[0].mid(0, 16),
              QStringList({"-S1区間タイム", "-S1区間キョリ", "-S1平均速度", "-S1最高/低速", "S1通過タイム",
                           "S1-2区間タイム", "S1-2区間キョリ", "S1-2平均速度", "S1-2最高/低速", "S2通過タイム",
                           "S2-区間タイム", "S2-区間キョリ", "S2-平均速度", "S2-最高/低速", "タイム", ""}));
    EXPECT_EQ(t.sect[0].mid(15).join(""), "");
    EXPECT_EQ(t.drift[0].mid(0, 13),
              QStringList({"-S1最大角+/-", "-S1平均角/偏差", "-S1角速(区間)", "-S1スコア(合計)",
                           "S1-2最大角+/-", "S1-2平均/偏差", "S1-2角速(区間)", "S1-2スコア(合計)",
                           "S2-最大角+/-", "S2-平均角/偏差", "S2-角速(区間)", "S2-スコア(合計)", ""}));
    // Nothing shown: only the headers.
    for (int r = 1; r < SectGridRows; ++r) EXPECT_EQ(t.sect[r].join(""), "") << r;
}

TEST_F(SectTablesTest, SlotRowTexts) {
    TDispSlotRec& s = Show(0, 4300, {59.5L, 600, 3640.5L});
    s.SectStaSec[0] = 3100;
    s.SectStaSec[1] = 3700;
    s.SectLen = {0.5L, 1.2346L, 2, 0, 0};
    s.SectAveSpd = {30.125L, 7.4L, 0, 0, 0};
    s.SectMaxSpd = {88.25L, 0, 0, 0, 0};
    s.SectMinSpd = {12.75L, 0, 0, 0, 0};
    const SectTables t = SetSectGrid(LinesOf(2), laps, cmp);
    const QStringList& r = t.sect[1];
    EXPECT_EQ(r[0], "0:59.500");
    EXPECT_EQ(r[1], "0.500");
    EXPECT_EQ(r[2], "30.12");
    EXPECT_EQ(r[3], "88.2 / 12.8");   // each rounded to tenths, a half to the even one
    EXPECT_EQ(r[4], "51:40.000");
    EXPECT_EQ(r[5], "10:00.000");
    EXPECT_EQ(r[6], "1.235");
    EXPECT_EQ(r[9], "1:01:40.000");   // a passing at 3700 s
    EXPECT_EQ(r[10], "1:00:40.500");
    EXPECT_EQ(r[14], "1:11:40.000");  // the lap time in the last block
    EXPECT_EQ(r.mid(15).join(""), "");
    EXPECT_EQ(t.sect[5].join(""), "");   // no compared lap: no ideal lap
    EXPECT_EQ(t.drift[1].join(""), "");  // no drift flag: no drift row
}

TEST_F(SectTablesTest, IdealLap) {
    struct Case {
        const char* name;
        std::vector<std::vector<long double>> times;   // sector times per shown slot
        QStringList ideal;    // columns 0, 5, 10 and the sum in 14
        std::vector<int> marked;   // the slot marked in sectors 0, 1, 2; -1 none
    };
    const Case cases[] = {
        {"equal times: the lower slot", {{30, 40, 50}, {30, 41, 49}}, {"0:30.000", "0:40.000", "0:49.000", "1:59.000"},
         {0, 0, 1}},
        {"a lap that missed a line does not win there", {{30, 40, 50}, {29, 0, 0}, {31, 39, 0}},
         {"0:29.000", "0:39.000", "0:50.000", "1:58.000"}, {1, 2, 0}},
        {"a sector nobody completed leaves the sum empty", {{30, 0, 0}, {31, 0, 0}},
         {"0:30.000", "", "", ""}, {0, -1, -1}},
        {"sum over an hour", {{1200, 1200, 1300}, {1250, 1250, 1350}}, {"20:00.000", "20:00.000", "21:40.000", "1:01:40.000"},
         {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cmp = Comparison{};
        laps = LoadedLaps{};
        for (size_t k = 0; k < c.times.size(); ++k) {
            TDispSlotRec& s = Show(static_cast<int>(k), 3000, {});
            for (size_t i = 0; i < c.times[k].size(); ++i) s.SectTm[i] = c.times[k][i];
        }
        const SectTables t = SetSectGrid(LinesOf(2), laps, cmp);
        const QStringList& ideal = t.sect[IdealRow];
        EXPECT_EQ(QStringList({ideal[0], ideal[5], ideal[10], ideal[14]}), c.ideal);
        for (int col : {1, 2, 3, 4, 6, 9, 11, 13}) EXPECT_EQ(ideal[col], "") << col;
        for (int i = 0; i < 3; ++i) {
            for (size_t k = 0; k < c.times.size(); ++k) {
                const bool starred = t.sect[1 + k][5 * i].startsWith('*');
                EXPECT_EQ(starred, c.marked[i] == static_cast<int>(k)) << "sector " << i << " slot " << k;
            }
        }
    }
}

TEST_F(SectTablesTest, DriftRow) {
    TDispSlotRec& s = Show(0, 100, {30, 30, 40});
    laps.LapDt[0].driftAct = true;
    s.SectMaxAng = {25.25L, 0, 35, 0, 0};
    s.SectMinAng = {-6, -35, 0, 0, 0};
    s.SectAveAng = {7.05L, -18.75L, 20, 0, 0};
    s.SectDevAng = {9.96L, 11, 2, 0, 0};
    s.SectJudge = {JudgeSwingOut, JudgeHold, JudgeSwingBack, 0, 0};
    s.SectAngRate = {56.666L, 0, 30.04L, 0, 0};
    s.SectScore = {39.2L, 0, 12.5L, 0, 0};
    s.TotalScore = 51.7L;
    Show(1, 100, {30, 30, 40});   // no drift flag
    const SectTables t = SetSectGrid(LinesOf(2), laps, cmp);
    EXPECT_EQ(t.drift[1].mid(0, 13),
              QStringList({"25.2 / -6.0", "7.0 / 10.0", "56.7 (振り出し)", "39.2 (51.7)",
                           "-.- / -35.0", "-18.8 / 11.0", "-.- (角度維持)", "-.- (51.7)",
                           "35.0 / -.-", "20.0 / 2.0", "30.0 (振り返し)", "12.5 (51.7)", ""}));
    EXPECT_EQ(t.drift[2].join(""), "");

    s.SectJudge[0] = JudgeNone;
    EXPECT_EQ(SetSectGrid(LinesOf(2), laps, cmp).drift[1][2], "-.- (--)");
}

TEST(SectCellLooks, BlocksAndLapTimeColumn) {
    struct Case { int n, row, col; bool shaded; };
    const Case cases[] = {
        {1, 1, 4, false}, {1, 1, 5, true}, {1, 1, 8, true}, {1, 1, 9, false},    // odd last block, lap time white
        {2, 2, 9, true}, {2, 2, 14, true}, {2, 2, 13, false}, {2, 2, 15, false},  // even last block, lap time shaded
        {4, 5, 24, true}, {4, 5, 19, true}, {4, 5, 20, false},
        {3, 3, 19, false}, {3, 3, 18, true},
        {0, 1, 5, false}, {2, 0, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("n %1 row %2 col %3").arg(c.n).arg(c.row).arg(c.col).toStdString());
        EXPECT_EQ(SectCellLook(c.n, c.row, c.col).brush == SectBlockShade, c.shaded);
    }
    EXPECT_TRUE(SectCellLook(2, 0, 3).header);
    EXPECT_EQ(SectCellLook(2, 3, 3).font, SlotColor[2]);
    EXPECT_EQ(SectCellLook(2, 5, 3).font, ColorBlack);
    EXPECT_EQ(DriftCellLook(2, 1, 4).brush, SectBlockShade);
    EXPECT_EQ(DriftCellLook(2, 1, 8).brush, ColorWhite);
    EXPECT_EQ(DriftCellLook(1, 1, 12).brush, ColorWhite);   // a block beyond the last sector
    EXPECT_EQ(DriftCellLook(2, 4, 0).font, SlotColor[3]);
}
