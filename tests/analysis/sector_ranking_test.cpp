#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "analysis/lap_ranking.h"
#include "model/lap_file.h"
#include "model/lap_rows.h"
#include "model/session.h"
#include "sector_support.h"

using namespace vel;
using namespace vel::test;

namespace {

LapList ListOf(int rows) {
    LapList list;
    for (int r = 0; r < rows; ++r) {
        LapRow row;
        row.Cells[1] = QString::asprintf("%.4d", r);
        list.Rows.append(row);
        list.LapStrLst.append(TLapStrLstRec{});
    }
    return list;
}

// A straight lap whose samples sit at the given seconds, one metre apart.
QVector<TLapElmRec> TimedStraight(const Drive& d, std::initializer_list<long double> secs) {
    QVector<TLapElmRec> recs = StraightRun(d, 180, static_cast<int>(secs.size()));
    int i = 0;
    for (long double s : secs) {
        recs[i].Sec = s;
        recs[i].Tm = static_cast<double>(s / 86400);
        ++i;
    }
    return recs;
}

} // namespace

TEST(LapRank, BestTimesAndSpeedsWithTies) {
    struct Case {
        const char* name;
        std::vector<long double> secs, spds;
        RankIdx time, speed;
    };
    const Case cases[] = {
        {"equal times rank in row order", {70, 70, 65}, {100, 120, 120}, {2, 0, 1}, {1, 2, 0}},
        {"speed 0 never ranks", {60, 61}, {0, 0}, {0, 1, -1}, {-1, -1, -1}},
        {"three equal", {50, 50, 50, 50}, {90, 90, 90, 90}, {0, 1, 2}, {0, 1, 2}},
        {"a value not a number never ranks", {NAN, 80}, {NAN, 80}, {1, -1, -1}, {1, -1, -1}},
        {"no rows", {}, {}, {-1, -1, -1}, {-1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LapList list = ListOf(static_cast<int>(c.secs.size()));
        for (size_t i = 0; i < c.secs.size(); ++i) list.LapStrLst[i] = {c.secs[i], c.spds[i]};
        LapRankState st;
        SetBestLapRank(list, st);
        EXPECT_EQ(st.BestTmIdx, c.time);
        EXPECT_EQ(st.BestSpdIdx, c.speed);
    }
}

TEST(LapRank, SectorTimesRankByTheirValue) {
    struct Case {
        const char* name;
        std::vector<long long> ms;   // column 8 of each row; -1 empty
        RankIdx want;
    };
    const Case cases[] = {
        {"an hour ranks after 59:59.999", {3600000, 3599999, 59999}, {2, 1, 0}},
        {"59.999 before a minute", {60000, 59999}, {1, 0, -1}},
        {"empty cells never rank", {-1, 70000, -1}, {1, -1, -1}},
        {"ties in row order", {5000, 4000, 5000, 4000}, {1, 3, 0}},
        {"times not above 0 never rank", {0, -3000, 1000}, {2, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LapList list = ListOf(static_cast<int>(c.ms.size()));
        LapRankState st;
        for (long long v : c.ms) st.SectMs.append({v, -1, -1, -1, -1});
        SetBestSectRank(list, st);
        for (int p = 0; p < 3; ++p) EXPECT_EQ(st.BestSectTmIdx[p][0], c.want[p]) << p;
        EXPECT_EQ(st.BestSectTmIdx[0][1], -1);
    }
    // Numbers kept for rows that are gone rank nothing.
    LapRankState st;
    st.SectMs.append({1000, -1, -1, -1, -1});
    SetBestSectRank(ListOf(0), st);
    EXPECT_EQ(st.BestSectTmIdx[0][0], -1);
}

TEST(LapRank, DriftScoresRankAbove0) {
    const LapList list = ListOf(4);
    LapRankState st;
    st.DriftTenths = {{0, 5, 0, 0, 0, 0}, {123, 0, 0, 0, 0, 0}, {123, 5, 0, 0, 0, 0}, {99, 7, 0, 0, 0, 0}};
    SetBestDriftRank(list, st);
    EXPECT_EQ(st.BestDrIdx, (RankIdx{1, 2, 3}));
    EXPECT_EQ(st.BestSectDrIdx[0][0], 3);
    EXPECT_EQ(st.BestSectDrIdx[1][0], 0);
    EXPECT_EQ(st.BestSectDrIdx[2][0], 2);
    EXPECT_EQ(st.BestSectDrIdx[0][1], -1);   // a blank score never ranks
}

TEST(LapRank, TextsAndDigits) {
    struct Time { long double sec; const char* text; long long ms; };
    const Time times[] = {
        {0, "", -1}, {59.5L, "59.500", 59500}, {59.9996L, "1:00.000", 60000}, {61.25L, "1:01.250", 61250},
        {3599.999L, "59:59.999", 3599999}, {3700, "1:01:40.000", 3700000},
    };
    for (const Time& t : times) {
        SCOPED_TRACE(t.text);
        EXPECT_EQ(SectTimeCellText(t.sec), t.text);
        EXPECT_EQ(SectTimeMs(t.sec), t.ms);
    }
    struct Digits { const char* text; long long v; };
    const Digits digits[] = {
        {"1:23.456", 123456}, {"", 0}, {"-", 0}, {"20 ( 12.3)", 20123},
        {"123:00:00:00.000", 123000000000LL}, {"99999999999999999999", 9223372036854775807LL},
    };
    for (const Digits& d : digits) {
        SCOPED_TRACE(d.text);
        EXPECT_EQ(DigitsToInt(d.text), d.v);
    }
    struct Cell { long double angle; long long tenths; int width; const char* text; };
    const Cell cells[] = {
        {20.2L, 123, 5, "20 ( 12.3)"},  {-35, 0, 5, "-35 (       )"}, {19.5L, 5, 4, "20 ( 0.5)"},
        {18.5L, 1234, 4, "18 (123.4)"}, {-7.6L, 0, 4, "-8 (      )"},
    };
    for (const Cell& c : cells) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DriftCellText(c.angle, c.tenths, c.width), c.text);
    }
    EXPECT_EQ(ScoreTenths(12.3L), 123);
    EXPECT_EQ(ScoreTenths(-1), 0);
    EXPECT_EQ(ScoreTenths(NAN), 0);
}

class LapListColumns : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString temp() const { return dir.path() + "/temp/"; }
    Drive d = MetreDrive();
    LapList list;

    // 50 km/h, and a straight east at it whose nose points 35 degrees off
    // for two seconds (a drift).
    static constexpr long double FastStep = 50 / 3.6L / 10;
    Drive Fast() const {
        Drive fast = d;
        fast.spd = 50;
        return fast;
    }
    QVector<TLapElmRec> Drifting() const {
        QVector<TLapElmRec> recs = StraightRun(Fast(), 270, 100);
        for (int i = 20; i <= 40; ++i) recs[i].Dir = 305;
        return recs;
    }
    // Two lines across that straight, after 10.5 and 60.5 steps.
    SectorLines TwoLinesAcross() const {
        const auto across = [&](long double eastM) { return LineAt(Fast(), -20, eastM, 20, eastM, 1); };
        return Lines({across(10.5L * FastStep), across(60.5L * FastStep)});
    }
    // A session whose working files go to temp(), and its ranking.
    struct Ranked {
        Session session;
        LapRanking ranking;
        Ranked(const QString& tempDir, const SectorLines& lines) : ranking(session, lines) {
            session.folders.TempDir = tempDir;
            QDir().mkpath(tempDir);
        }
    };

    void AddRow(const QVector<TLapElmRec>& recs, bool writeFile = true) {
        const int number = static_cast<int>(list.Rows.size());
        if (writeFile) {
            ASSERT_TRUE(WriteWorkingFile(WorkingFileName(temp(), number), recs));
        }
        LapRow row;
        row.Cells[1] = QString::asprintf("%.4d", number);
        list.Rows.append(row);
        list.LapStrLst.append(TLapStrLstRec{});
    }
    QStringList Cells(int row, int first, int last) const {
        QStringList out;
        for (int c = first; c <= last; ++c) out << list.Rows[row].Cells[c];
        return out;
    }
};

TEST_F(LapListColumns, SectorTimeCellsHeadersAndRanking) {
    // A line half way through the first step: 59.5 s, then 3700 s to the end.
    AddRow(TimedStraight(d, {0, 119, 3759.5L}));
    AddRow(TimedStraight(d, {0, 100, 200}));     // 50 s and 150 s
    AddRow({}, false);                           // working file missing
    AddRow(TimedStraight(d, {0, 100, 200}));     // equal to row 2
    const SectorLines lines = Lines({LineAcross(d, 0.5L)});
    LapRankState st;
    EXPECT_TRUE(SetSectTmList(list, temp(), lines, st).isEmpty());

    EXPECT_EQ(Cells(0, 8, 12), QStringList({"59.500", "1:01:40.000", "", "", ""}));
    EXPECT_EQ(Cells(1, 8, 12), QStringList({"50.000", "2:30.000", "", "", ""}));
    EXPECT_EQ(Cells(2, 8, 12), QStringList({"", "", "", "", ""}));
    EXPECT_EQ(LapListHeader(st, 8), "セクタ1");
    EXPECT_EQ(LapListHeader(st, 9), "セクタ2");
    EXPECT_EQ(LapListHeader(st, 10), "");
    EXPECT_EQ(LapListHeader(st, 13), "ドリフト(スコア)");
    EXPECT_EQ(st.BestSectTmIdx[0][0], 1);
    EXPECT_EQ(st.BestSectTmIdx[1][0], 3);
    EXPECT_EQ(st.BestSectTmIdx[2][0], 0);
    EXPECT_EQ(st.BestSectTmIdx[0][1], 1);
    EXPECT_EQ(st.BestSectTmIdx[2][1], 0);
    EXPECT_EQ(LapCellRank(st, 2, 8), 1);
    EXPECT_EQ(LapCellRank(st, 3, 8), 0);

    // Without lines: only "セクタ" and empty cells, no file needed.
    SetSectTmList(list, temp(), SectorLines{}, st);
    EXPECT_EQ(Cells(0, 8, 12), QStringList({"", "", "", "", ""}));
    EXPECT_EQ(LapListHeader(st, 8), "セクタ");
    EXPECT_EQ(LapListHeader(st, 9), "");
    EXPECT_EQ(st.BestSectTmIdx[0][0], -1);
}

TEST_F(LapListColumns, EmptyDataNumberStopsWithoutRanking) {
    AddRow(TimedStraight(d, {0, 10, 20}));
    AddRow(TimedStraight(d, {0, 10, 20}));
    list.Rows[1].Cells[1].clear();
    AddRow(TimedStraight(d, {0, 10, 20}));
    LapRankState st;
    SetSectTmList(list, temp(), Lines({LineAcross(d, 0.5L)}), st);
    EXPECT_EQ(list.Rows[0].Cells[8], "05.000");
    EXPECT_EQ(list.Rows[2].Cells[8], "");
    EXPECT_EQ(st.BestSectTmIdx[0][0], -1);
    SetDriftAngleList(list, temp(), Lines({LineAcross(d, 0.5L)}), st);
    EXPECT_EQ(list.Rows[0].Cells[13], "-");
    EXPECT_EQ(list.Rows[2].Cells[13], "");
    EXPECT_EQ(st.BestDrIdx[0], -1);
}

TEST_F(LapListColumns, DriftCells) {
    Drive fast = d;
    fast.spd = 50;
    const long double step = 50 / 3.6L / 10;   // metres per sample
    // Eastbound with the heading on the course, 35 degrees off over samples 20 to 40.
    QVector<TLapElmRec> drifting = StraightRun(fast, 270, 100);
    for (int i = 20; i <= 40; ++i) drifting[i].Dir = 305;
    AddRow(drifting);
    AddRow(StraightRun(fast, 180, 100));   // heading 180 throughout: no real heading, no drift
    AddRow({}, false);                     // working file missing: no drift either

    LapRankState st;
    SetDriftAngleList(list, temp(), SectorLines{}, st);
    EXPECT_EQ(Cells(0, 13, 18), QStringList({"35", "", "", "", "", ""}));
    EXPECT_EQ(Cells(1, 13, 18), QStringList({"-", "-", "", "", "", ""}));
    EXPECT_EQ(Cells(2, 13, 18), QStringList({"-", "-", "", "", "", ""}));
    EXPECT_EQ(LapListHeader(st, 14), "セクタ(スコア)");
    EXPECT_EQ(st.BestDrIdx[0], -1);   // no scores without lines

    // Lines across the course before and after the drift: it is held in sector 1.
    const auto across = [&](long double eastM) { return LineAt(fast, -20, eastM, 20, eastM); };
    const SectorLines lines = Lines({across(10.5L * step), across(60.5L * step)});
    SetDriftAngleList(list, temp(), lines, st);
    const QStringList row0 = Cells(0, 13, 18);
    ASSERT_GT(st.DriftTenths[0][0], 0);
    ASSERT_GT(st.DriftTenths[0][2], 0);
    EXPECT_EQ(row0[0], DriftCellText(35, st.DriftTenths[0][0], 5));
    EXPECT_EQ(row0[1], "");   // no drift angle in sector 0
    EXPECT_EQ(row0[2], DriftCellText(35, st.DriftTenths[0][2], 4));
    EXPECT_EQ(row0[2].size(), 9);   // "35 (dd.d)"
    EXPECT_EQ(row0[3], "");
    EXPECT_EQ(row0[4], "");
    EXPECT_EQ(row0[5], "");
    EXPECT_EQ(Cells(1, 13, 18), QStringList({"-", "-", "-", "-", "", ""}));
    EXPECT_EQ(LapListHeader(st, 14), "セクタ1(スコア)");
    EXPECT_EQ(LapListHeader(st, 16), "セクタ3(スコア)");
    EXPECT_EQ(LapListHeader(st, 17), "");
    EXPECT_EQ(st.BestDrIdx, (RankIdx{0, -1, -1}));
    EXPECT_EQ(st.BestSectDrIdx[0][1], 0);
    EXPECT_EQ(st.BestSectDrIdx[0][0], -1);
}

// A row's figures are worked out once from its working file: a later fill
// with the same lines reads no file again (a file rewritten under the row
// does not show), while any change of the lines works them out afresh.
TEST_F(LapListColumns, FiguresKeptUntilTheLinesChange) {
    const Drive fast = Fast();
    const long double step = FastStep;
    const QVector<TLapElmRec> drifting = Drifting();
    const QVector<TLapElmRec> plain = StraightRun(fast, 180, 100);   // no real heading, no drift
    const auto across = [&](long double eastM, int32_t pass = 1) { return LineAt(fast, -20, eastM, 20, eastM, pass); };
    const SectorLines base = Lines({across(10.5L * step), across(60.5L * step)});

    SectorLines moved = base;
    moved.Sect[1].Kdo2 += 1e-7L;
    SectorLines passed = base;
    passed.Sect[0].PassNo = 2;
    SectorLines more = Lines({across(10.5L * step), across(60.5L * step), across(80.5L * step)});
    SectorLines picked = base;
    picked.EdSectSel = 1;   // which line is picked is no part of the figures
    struct Case { const char* what; SectorLines lines; bool afresh; };
    const Case cases[] = {
        {"same lines", base, false},       {"a line picked", picked, false}, {"a line end moved", moved, true},
        {"a pass number", passed, true},   {"a line added", more, true},     {"no lines", SectorLines{}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list = LapList{};
        AddRow(drifting);
        LapRankState st;
        ASSERT_TRUE(SetSectTmList(list, temp(), base, st).isEmpty());
        ASSERT_TRUE(SetDriftAngleList(list, temp(), base, st).isEmpty());
        ASSERT_EQ(list.Rows[0].Cells[13].left(3), "35 ");
        const QString sect1 = list.Rows[0].Cells[9];
        ASSERT_FALSE(sect1.isEmpty());

        // The same file name now holds a lap without drift, and a new row is added.
        ASSERT_TRUE(WriteWorkingFile(WorkingFileName(temp(), 0), plain));
        AddRow(plain);
        SetSectTmList(list, temp(), c.lines, st);
        SetDriftAngleList(list, temp(), c.lines, st);
        EXPECT_EQ(list.Rows[1].Cells[13], "-");   // the new row is worked out in any case
        if (c.afresh) {
            EXPECT_EQ(list.Rows[0].Cells[13], "-");
        } else {
            EXPECT_EQ(list.Rows[0].Cells[13].left(3), "35 ");
            EXPECT_EQ(list.Rows[0].Cells[9], sect1);
            EXPECT_EQ(st.BestDrIdx[0], 0);
        }
    }
}

// An import's ranking works the new rows' figures out from the samples the
// rows were written with, reading none of their files back, and they are the
// figures the files give.
TEST_F(LapListColumns, NewRowsAreWorkedOutFromWhatWasWritten) {
    const Drive fast = Fast();
    const QVector<TLapElmRec> drifting = Drifting();
    QVector<TLapElmRec> odd = drifting;   // values the file format stores in other forms
    odd[50].Elv = std::numeric_limits<double>::denorm_min();
    odd[51].Elv = -0.0;
    odd[52].Elv = std::nan("");
    const QVector<TLapElmRec> plain = StraightRun(fast, 180, 100);
    const SectorLines lines = TwoLinesAcross();
    Ranked r(temp(), lines);
    Session& session = r.session;
    LapRanking& ranking = r.ranking;
    QStringList errors;
    ranking.onError = [&](const QString& e) { errors << e; };
    for (const QVector<TLapElmRec>* lap : {&drifting, &plain, &std::as_const(odd)}) {
        QString error;
        ASSERT_TRUE(AddLapRow(session, *lap, "run", std::nullopt, 1, &error, nullptr, &ranking)) << error.toStdString();
    }

    // From the files: the same rows as a list loaded later would hold them.
    LapList fromFiles = session.lapList;
    LapRankState st;
    ASSERT_TRUE(SetSectTmList(fromFiles, temp(), lines, st).isEmpty());
    ASSERT_TRUE(SetDriftAngleList(fromFiles, temp(), lines, st).isEmpty());
    ASSERT_EQ(fromFiles.Rows[0].Cells[13].left(3), "35 ");

    // From memory, with the files gone.
    ASSERT_TRUE(QDir(temp()).removeRecursively());
    ranking.SetSectTmList();
    ranking.SetDriftAngleList();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        for (int c = 8; c <= 18; ++c) EXPECT_EQ(session.lapList.Rows[r].Cells[c], fromFiles.Rows[r].Cells[c]) << c;
    }
    EXPECT_TRUE(ranking.State().Written.isEmpty());   // let go once used
}

// Samples kept from an import belong to the file they were written to: a
// fill that reads the rows' files from another folder works each row out
// from the file it finds there.
TEST_F(LapListColumns, WrittenSamplesServeOnlyTheFileTheyWereWrittenTo) {
    const Drive fast = Fast();
    const SectorLines lines = TwoLinesAcross();
    const QString written = dir.path() + "/written/", other = dir.path() + "/other/";
    // The same data number in the other folder: the same drive, no drift.
    ASSERT_TRUE(WriteWorkingFile(WorkingFileName(other, 0), StraightRun(fast, 270, 100)));
    LapList fromOther = ListOf(1);
    LapRankState st;
    ASSERT_TRUE(SetSectTmList(fromOther, other, lines, st).isEmpty());
    ASSERT_TRUE(SetDriftAngleList(fromOther, other, lines, st).isEmpty());
    ASSERT_EQ(fromOther.Rows[0].Cells[13], "-");

    Ranked r(written, lines);
    QString error;
    ASSERT_TRUE(AddLapRow(r.session, Drifting(), "run", std::nullopt, 1, &error, nullptr, &r.ranking))
        << error.toStdString();
    r.session.folders.TempDir = other;
    r.ranking.SetSectTmList();
    r.ranking.SetDriftAngleList();
    for (int c = 8; c <= 18; ++c) EXPECT_EQ(r.session.lapList.Rows[0].Cells[c], fromOther.Rows[0].Cells[c]) << c;
}

// Cleared rows take what the ranking kept for them along: a row added later
// under the same data number is worked out from its own file.
TEST_F(LapListColumns, ClearedRowsLeaveNothingKeptBehind) {
    const SectorLines lines = TwoLinesAcross();
    Ranked r(temp(), lines);
    Session& session = r.session;
    LapRanking& ranking = r.ranking;
    const auto add = [&](bool fill) {
        QString error;
        ASSERT_TRUE(AddLapRow(session, Drifting(), "run", std::nullopt, 1, &error, nullptr, &ranking))
            << error.toStdString();
        if (fill) {
            ranking.SetSectTmList();
            ranking.SetDriftAngleList();
            ASSERT_EQ(session.lapList.Rows[0].Cells[13].left(3), "35 ");
        }
    };
    for (const bool filled : {true, false}) {   // figures kept, or the written samples
        SCOPED_TRACE(filled);
        add(filled);
        session.lapList = LapList{};   // every row cleared
        ranking.SetBestLapRank();
        // A row of the same number whose file holds a lap without drift.
        ASSERT_TRUE(WriteWorkingFile(WorkingFileName(temp(), 0), StraightRun(Fast(), 270, 100)));
        LapRow row;
        row.Cells[1] = "0000";
        session.lapList.Rows.append(row);
        session.lapList.LapStrLst.append(TLapStrLstRec{});
        ranking.SetSectTmList();
        ranking.SetDriftAngleList();
        EXPECT_EQ(session.lapList.Rows[0].Cells[13], "-");
        session.lapList = LapList{};
        ranking.SetBestLapRank();
    }
}

TEST(LapCellColour, SlotGroupRankAndGroupColumn) {
    LapList list = ListOf(3);
    list.Rows[0].Cells[19] = "1";
    list.Rows[1].Cells[19] = "2";
    list.Rows[2].Cells[19] = "x";
    LoadedLaps laps;
    laps.LapDt.resize(2);
    laps.LapDt[0].DtName = "0002";
    laps.LapDt[1].DtName = "0000";
    laps.LapDtNum = 2;
    LapRankState st;
    st.BestTmIdx = {1, 0, -1};
    st.BestSectDrIdx[2][4] = 2;

    struct Case { int row, col; uint32_t brush, font; };
    const Case cases[] = {
        {1, 0, GroupShade, SlotColor[1]},     // odd group, shown in slot 1
        {1, 4, RankColor[1], SlotColor[1]},   // 2nd lap time over the shading
        {1, 19, ColorWhite, ColorWhite},
        {2, 4, RankColor[0], ColorBlack},
        {2, 5, ColorWhite, ColorBlack},
        {3, 18, RankColor[2], SlotColor[0]},
        {3, 7, ColorWhite, SlotColor[0]},     // a group that is no number counts 0
        {4, 0, ColorWhite, ColorBlack},       // no such row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("row %1 col %2").arg(c.row).arg(c.col).toStdString());
        const CellColours got = LapCellColours(list, laps, st, c.row, c.col);
        EXPECT_EQ(got.brush, c.brush);
        EXPECT_EQ(got.font, c.font);
    }
}

// With no thread to be had (the user's process limit reached), the fill runs
// on the calling thread alone and every row is still done.
TEST_F(LapListColumns, FillWithoutSpareThreads) {
    for (int r = 0; r < 6; ++r) AddRow(TimedStraight(d, {0, 10, 20}));
    // The child below may run as another user: it must still read the files.
    const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(dir.path(), open));
    ASSERT_TRUE(QFile::setPermissions(temp(), open));
    for (int r = 0; r < 6; ++r) ASSERT_TRUE(QFile::setPermissions(WorkingFileName(temp(), r), open));
    const SectorLines lines = Lines({LineAcross(d, 0.5L)});
    const auto fillAlone = [&] {
        // Root is not held to the process limit.
        if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(3);
        const rlimit one{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &one) != 0) std::_Exit(4);
        LapRankState st;
        SetSectTmList(list, temp(), lines, st);
        SetDriftAngleList(list, temp(), lines, st);
        for (const LapRow& row : list.Rows)
            if (row.Cells[8] != "05.000" || row.Cells[13] != "-") std::_Exit(5);
        std::_Exit(0);
    };
    EXPECT_EXIT(fillAlone(), ::testing::ExitedWithCode(0), "");
}
