#include <cmath>
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include "analysis/sector_save_commands.h"
#include "analysis/sector_tables.h"
#include "analysis/sector_timing.h"
#include "common/datetime.h"
#include "import/run_loaders.h"
#include "model/lap_file.h"
#include "sector_support.h"
#include "shown_laps.h"
#include "support/fake_prompts.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr long double Eps = 1e-9L;

// A slot holding the passings sta of n lines, every sector timed.
TDispSlotRec SlotWith(std::initializer_list<long double> sta) {
    TDispSlotRec s;
    s.Active = true;
    s.LapIdx = 0;
    int j = 0;
    for (long double v : sta) s.SectStaSec[j++] = v;
    return s;
}

// 31 samples northwards: one metre, 0.1 s and 0.001 km apart.
QVector<TLapElmRec> Straight31() { return StraightRun(MetreDrive(), 180, 31); }

} // namespace

TEST(SectorSave, ColumnsAndProposedName) {
    struct Case { SectGrid grid; int col; int sector; };
    const Case cases[] = {
        {SectGrid::Sect, 0, 0}, {SectGrid::Sect, 4, 0}, {SectGrid::Sect, 9, 1}, {SectGrid::Sect, 24, 4},
        {SectGrid::Sect, 25, -1}, {SectGrid::Sect, -1, -1},
        {SectGrid::Drift, 3, 0}, {SectGrid::Drift, 9, 2}, {SectGrid::Drift, 19, 4}, {SectGrid::Drift, 20, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.grid == SectGrid::Sect ? "sect" : "drift") << " col " << c.col);
        EXPECT_EQ(SectorOfColumn(c.grid, c.col), c.sector);
    }
    EXPECT_EQ(SectorRunName("0007", 2), "0007_Sector3.dtb");
    EXPECT_EQ(SectorRunName("0000", 0), "0000_Sector1.dtb");
}

// The records of a sector for passings placed by hand on a 31-sample lap
// (Sec 0 to 3.0, Dist 0 to 0.030 km).
TEST(SectorSave, RecordsBetweenThePassings) {
    struct Case {
        const char* name;
        int n, s;
        std::initializer_list<long double> sta;
        int count;
        long double firstSec, lastSec, lastDist;
    };
    const Case cases[] = {
        {"sector 0 ends between samples", 1, 0, {1.05L}, 12, 0, 1.05L, 0.0105L},
        {"sector 0 ends at a sample", 1, 0, {1.0L}, 11, 0, 1.0L, 0.010L},
        {"sector 0 never reaches its line", 1, 0, {5.0L}, 31, 0, 3.0L, 0.030L},
        {"last sector starts between samples", 1, 1, {1.05L}, 21, 0, 1.95L, 0.0195L},
        {"last sector starts at a sample, held once", 1, 1, {1.0L}, 21, 0, 2.0L, 0.020L},
        {"middle sector ends between samples", 2, 1, {1.05L, 2.05L}, 12, 0, 1.0L, 0.010L},
        {"middle sector ends at a sample", 2, 1, {1.05L, 2.0L}, 11, 0, 0.95L, 0.0095L},
        {"middle sector whose end is never reached", 2, 1, {1.05L, 5.0L}, 21, 0, 1.95L, 0.0195L},
        {"start beyond the samples", 1, 1, {5.0L}, 0, 0, 0, 0},
        {"end not after the start", 2, 1, {2.0L, 1.0L}, 0, 0, 0, 0},
        {"sector beyond the lines", 1, 2, {1.05L}, 0, 0, 0, 0},
        {"no line", 0, 0, {1.05L}, 0, 0, 0, 0},
    };
    const TLapDtRec lap = LapOf(Straight31());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QVector<TLapElmRec> r = SectorRecords(lap, SlotWith(c.sta), c.s, c.n);
        ASSERT_EQ(r.size(), c.count);
        if (r.isEmpty()) continue;
        EXPECT_NEAR(double(r.front().Sec), double(c.firstSec), 1e-9);
        EXPECT_NEAR(double(r.front().Dist), 0.0, 1e-12);
        EXPECT_NEAR(double(r.back().Sec), double(c.lastSec), 1e-9);
        EXPECT_NEAR(double(r.back().Dist), double(c.lastDist), 1e-9);
        // Tm follows Sec through every record, rebased ones included.
        for (const TLapElmRec& e : r) EXPECT_NEAR(e.Tm * 86400.0, double(e.Sec), 1e-6);
        for (int i = 1; i < r.size(); ++i) EXPECT_GT(r[i].Sec, r[i - 1].Sec) << "record " << i;
    }
}

// The records at the passings: position, speed, heading (the short way
// across north), date-time, and elevation and satellites from the sample
// on the sector's side.
TEST(SectorSave, InterpolatedRecordsAtThePassings) {
    QVector<TLapElmRec> recs = Straight31();
    recs[10].Dir = 350;
    recs[11].Dir = 10;
    recs[10].Spd = 40;
    recs[11].Spd = 60;
    recs[10].Elv = 600;
    recs[11].Elv = 610;
    recs[10].UseSat = 9;
    recs[11].UseSat = 11;
    const TLapDtRec lap = LapOf(recs);
    const TDispSlotRec slot = SlotWith({1.05L});
    const TLapElmRec& a = recs[10];
    const TLapElmRec& b = recs[11];

    const TLapElmRec end = SectorRecords(lap, slot, 0, 1).back();
    const TLapElmRec start = SectorRecords(lap, slot, 1, 1).front();
    for (const TLapElmRec* r : {&end, &start}) {
        EXPECT_NEAR(double(r->Ido), double((a.Ido + b.Ido) / 2), 1e-12);
        EXPECT_NEAR(double(r->Kdo), double((a.Kdo + b.Kdo) / 2), 1e-12);
        EXPECT_NEAR(double(r->Spd), 50, 1e-9);
        EXPECT_NEAR(std::fmod(double(r->Dir) + 360, 360.0), 0, 1e-9);
        EXPECT_NEAR(r->DtTm, a.DtTm + 0.05 / 86400, 1e-10);
    }
    EXPECT_EQ(end.Elv, 610);
    EXPECT_EQ(end.UseSat, 11);
    EXPECT_EQ(start.Elv, 600);
    EXPECT_EQ(start.UseSat, 9);
    EXPECT_EQ(start.Sec, 0);
    EXPECT_EQ(start.Tm, 0);
}

// A passing before the lap's first sample (a lap whose Sec starts at 0.2):
// the first sample stands for it and nothing before it is read.
TEST(SectorSave, NeverInterpolatesBeforeTheFirstRecord) {
    const QVector<TLapElmRec> all = Straight31();
    const TLapDtRec lap = LapOf(all.mid(2));
    const TLapElmRec& first = all[2];

    const QVector<TLapElmRec> s0 = SectorRecords(lap, SlotWith({0.1L}), 0, 1);
    ASSERT_EQ(s0.size(), 1);
    EXPECT_EQ(s0[0].Sec, first.Sec);
    EXPECT_EQ(s0[0].Ido, first.Ido);

    const QVector<TLapElmRec> s1 = SectorRecords(lap, SlotWith({0.1L}), 1, 1);
    ASSERT_EQ(s1.size(), 29);
    EXPECT_EQ(s1[0].Sec, 0);
    EXPECT_EQ(s1[0].Dist, 0);
    EXPECT_EQ(s1[0].Ido, first.Ido);
    EXPECT_EQ(s1[0].DtTm, first.DtTm);
    EXPECT_NEAR(double(s1[1].Sec), 0.1, 1e-12);
    EXPECT_NEAR(double(s1.back().Sec), 2.8, 1e-12);
    EXPECT_NEAR(double(s1.back().Dist), 0.028, 1e-9);
}

namespace {

// One lap northwards through one line at 10.5 m, timed and tabled.
class SectorSaveFlow : public ShownLapsTest {
public:
    Drive d = MetreDrive();
    FakePrompts prompts;
    SectorSaveCommands cmd{s, prompts};
    QString out;

    SectorSaveFlow() {
        out = dir.path() + "/out/";
        QDir().mkpath(out);
        s.folders.DataDir = dir.path() + "/data/";
        s.sectorLines = Lines({LineAcross(d, 10.5L)});
        Show({Straight31()});
        CalSectTm(s.sectorLines, s.loadedLaps, s.comparison);
    }
    TDispSlotRec& slot0() { return s.comparison.DispSlot[0]; }
    QVector<QStringList> SectCells() { return SetSectGrid(s.sectorLines, s.loadedLaps, s.comparison).sect; }
};

} // namespace

// A sector saved from a lap with one line loads again as a run whose lap
// time is the sector time the table shows, starting at Sec 0 and Dist 0.
TEST_F(SectorSaveFlow, SavedSectorReloadsWithTheSectorTime) {
    ASSERT_NEAR(double(slot0().SectTm[0]), 1.05, 1e-9);
    ASSERT_NEAR(double(slot0().SectTm[1]), 1.95, 1e-9);
    const QVector<QStringList> cells = SectCells();
    for (int sector : {0, 1}) {
        SCOPED_TRACE(sector);
        const QString file = out + QString("s%1.dtb").arg(sector);
        const QString startFolder = s.folders.DataDir;
        prompts.saveResults.push_back(file);
        ASSERT_EQ(cmd.StringGridSectDataDblClick(1, 5 * sector + 2, cells), SectSaveOutcome::Written);
        EXPECT_EQ(prompts.lastSpec.title, "セクタを走行データとして保存");
        EXPECT_EQ(prompts.lastSpec.fileName, QString("0000_Sector%1.dtb").arg(sector + 1));
        EXPECT_EQ(prompts.lastSpec.folder, startFolder);
        EXPECT_EQ(s.folders.DataDir, out);

        Session again;
        QTemporaryDir tmp;
        again.folders = FoldersUnder(tmp.path());
        again.folders.TempDir = tmp.path() + "/temp/";
        QDir().mkpath(again.folders.TempDir);
        const LoadResult loaded = LoadLapFileToGrigBin(file, again);
        ASSERT_TRUE(loaded.RowAdded) << loaded.Error.toStdString();
        EXPECT_EQ(again.lapList.Rows[0].Cells[4], cells[1][5 * sector]);
        EXPECT_NEAR(double(again.lapList.LapStrLst[0].Sec), double(slot0().SectTm[sector]), 1e-4);

        QVector<TLapElmRec> recs;
        ASSERT_EQ(ReadLapFile(file, recs), LapFileStatus::Ok);
        EXPECT_EQ(recs.front().Sec, 0);
        EXPECT_EQ(recs.front().Dist, 0);
        EXPECT_NEAR(double(recs.back().Sec), double(slot0().SectTm[sector]), 1e-9);
    }
    EXPECT_TRUE(prompts.texts("warnyesno").isEmpty());
    EXPECT_FALSE(s.FileDlgOpen);
}

// Clicks that do nothing, and the drift table's columns.
TEST_F(SectorSaveFlow, ClicksThatSaveNothing) {
    struct Case {
        const char* name;
        SectGrid grid;
        int row, col;
        std::function<void(QVector<QStringList>&, SectorSaveFlow&)> change;
        SectSaveOutcome outcome;
        QString proposed;   // the save dialog's name, empty when it never opens
    };
    const Case cases[] = {
        {"header row", SectGrid::Sect, 0, 0, {}, SectSaveOutcome::Nothing, ""},
        {"ideal-lap row", SectGrid::Sect, 5, 0, [](auto& c, auto&) { c[5][0] = "0:01.050"; },
         SectSaveOutcome::Nothing, ""},
        {"empty cell", SectGrid::Sect, 1, 12, {}, SectSaveOutcome::Nothing, ""},
        {"column past the table", SectGrid::Sect, 1, 25, {}, SectSaveOutcome::Nothing, ""},
        {"slot without lap", SectGrid::Sect, 2, 0, [](auto& c, auto&) { c[2][0] = "x"; },
         SectSaveOutcome::Nothing, ""},
        {"sector not timed", SectGrid::Sect, 1, 5, [](auto&, auto& f) { f.slot0().SectTm[1] = 0; },
         SectSaveOutcome::Nothing, ""},
        {"sector time below 0", SectGrid::Sect, 1, 5, [](auto&, auto& f) { f.slot0().SectTm[1] = -1; },
         SectSaveOutcome::Nothing, ""},
        {"sector beyond the lines", SectGrid::Sect, 1, 10, [](auto& c, auto& f) {
             c[1][10] = "x";
             f.slot0().SectTm[2] = 1;
         }, SectSaveOutcome::Nothing, ""},
        {"drift table: four columns a sector", SectGrid::Drift, 1, 4, [](auto& c, auto&) { c[1][4] = "x"; },
         SectSaveOutcome::Cancelled, "0000_Sector2.dtb"},
        {"sector table: five columns a sector", SectGrid::Sect, 1, 4, {}, SectSaveOutcome::Cancelled,
         "0000_Sector1.dtb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CalSectTm(s.sectorLines, s.loadedLaps, s.comparison);
        prompts = FakePrompts();
        QVector<QStringList> cells = c.grid == SectGrid::Sect
                                         ? SectCells()
                                         : QVector<QStringList>(DriftGridRows, QStringList(QList<QString>(DriftGridCols)));
        if (c.change) c.change(cells, *this);
        const SectSaveOutcome got = c.grid == SectGrid::Sect ? cmd.StringGridSectDataDblClick(c.row, c.col, cells)
                                                             : cmd.StringGridDriftDblClick(c.row, c.col, cells);
        EXPECT_EQ(got, c.outcome);
        EXPECT_EQ(prompts.count("save"), c.proposed.isEmpty() ? 0 : 1);
        if (!c.proposed.isEmpty()) {
            EXPECT_EQ(prompts.lastSpec.fileName, c.proposed);
        }
        EXPECT_EQ(prompts.calls.size(), c.proposed.isEmpty() ? 0u : 1u);
    }
    EXPECT_EQ(s.folders.DataDir, dir.path() + "/data/");
}

TEST_F(SectorSaveFlow, LapFromACsvFileIsRefused) {
    s.lapList.Rows[0].Cells[7] = "/home/u/motec/Run.CSV";
    EXPECT_EQ(cmd.StringGridSectDataDblClick(1, 0, SectCells()), SectSaveOutcome::Refused);
    EXPECT_EQ(prompts.texts("inform"), QStringList({"CSVファイルデータを\r走行データとして出力することはできません。"}));
    EXPECT_EQ(prompts.count("save"), 0);
}

// The chosen name without ".dtb" writes name.dtb, asking first when that
// exists; anything but Yes leaves the file as it was.
TEST_F(SectorSaveFlow, ExtensionForcedAndOverwriteAsked) {
    const QVector<QStringList> cells = SectCells();
    const QString target = out + "part.dtb";

    prompts.saveResults = {out + "part"};
    ASSERT_EQ(cmd.StringGridSectDataDblClick(1, 5, cells), SectSaveOutcome::Written);
    EXPECT_EQ(cmd.LastTarget(), target);
    EXPECT_EQ(prompts.count("warnyesno"), 0);
    const QByteArray written = ReadFile(target);
    ASSERT_EQ(written.size(), 21 * TLapElmRec::Size);

    prompts.saveResults = {out + "part.txt"};
    prompts.answers = {Answer::No};
    EXPECT_EQ(cmd.StringGridSectDataDblClick(1, 0, cells), SectSaveOutcome::Cancelled);
    EXPECT_EQ(prompts.texts("warnyesno"), QStringList({"part.dtb は既に存在します。\r上書きしますか?"}));
    EXPECT_EQ(ReadFile(target), written);

    prompts.saveResults = {out + "part"};
    prompts.answers = {Answer::Yes};
    EXPECT_EQ(cmd.StringGridSectDataDblClick(1, 0, cells), SectSaveOutcome::Written);
    EXPECT_EQ(ReadFile(target).size(), 12 * TLapElmRec::Size);
    EXPECT_FALSE(QFileInfo::exists(out + "part.txt"));

    prompts.saveResults = {QString()};
    EXPECT_EQ(cmd.StringGridSectDataDblClick(1, 0, cells), SectSaveOutcome::Cancelled);
}

TEST_F(SectorSaveFlow, WriteErrorIsReported) {
    WriteFile(out + "plain", "x");
    prompts.saveResults = {out + "plain/a.dtb"};
    EXPECT_EQ(cmd.StringGridSectDataDblClick(1, 0, SectCells()), SectSaveOutcome::Failed);
    EXPECT_EQ(prompts.count("error"), 1);
}
