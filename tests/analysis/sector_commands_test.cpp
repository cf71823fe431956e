#include <cmath>
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "analysis/sector_commands.h"
#include "model/lap_file.h"
#include "sector_support.h"
#include "support/recording_analysis.h"
#include "support/fake_prompts.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

const QStringList Repaints = {"PaintBoxSpdBarPaint", "GraphDirty", "PaintBoxZoomPaint", "PaintBoxSpdPaint",
                              "GraphGDirty", "GraphDriftDirty", "SetDataStr", "SetSectGrid"};

class SectorCommandsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Session s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    RecordingLogger logger{log};
    RecordingVideo video{log};
    RecordingLapAnalysis analysis{s, log};
    RecordingRanking ranking{log};
    Services sv{&graphs, &logger, &video, &analysis, &ranking};
    SectorLines& lines = s.sectorLines;
    FakePrompts prompts;
    bool playing = false;
    std::vector<SelCircuitLists> chooserCalls;
    SelCircuitChoice choice;
    std::vector<std::pair<int, bool>> releaseCalls;
    SectRelease release;
    SectorCommands cmd{s, lines, prompts, sv,
                       [this](const SelCircuitLists& l) { chooserCalls.push_back(l); return choice; },
                       [this](int n, bool all) { releaseCalls.push_back({n, all}); return release; },
                       [this] { return playing; }};
    Drive d = MetreDrive();

    SectorCommandsTest() {
        s.folders = FoldersUnder(dir.path());
        ClrDispSlots(s.comparison);
        cmd.SetSectGrid = [this] { log.calls << "SetSectGrid"; };
    }

    Comparison& cmp() { return s.comparison; }

    // Shows each lap the way the program does: a row, its file, a double click.
    void Show(std::initializer_list<QVector<TLapElmRec>> runs) {
        for (const QVector<TLapElmRec>& recs : runs) {
            const int number = static_cast<int>(s.lapList.Rows.size());
            ASSERT_TRUE(WriteWorkingFile(WorkingFileName(s.folders.TempDir, number), recs));
            LapRow row;
            row.Cells[1] = QString::asprintf("%.4d", number);
            s.lapList.Rows.append(row);
            s.lapList.LapStrLst.append(TLapStrLstRec{});
            ASSERT_EQ(StringGridLapDataDblClick(analysis, sv, number + 1), LapClick::Loaded);
        }
        log.calls.clear();
    }
    void Cursor(long double sec) {
        cmp().PlayTm = sec;
        CalCurValLaps(s.loadedLaps, cmp());
    }
    void SetAt(long double sec) {
        Cursor(sec);
        cmd.SpeedButtonSetSectClick();
    }
    QString SciFile(const QString& name, const QStringList& content) {
        const QString path = dir.path() + "/sci/" + name;
        QByteArray bytes;
        for (const QString& l : content) bytes += l.toUtf8() + "\r\n";
        WriteFile(path, bytes);
        return path;
    }
};

} // namespace

TEST(SectorGate, PerpendicularWithEnd1OnTheLeft) {
    const long double lat = 35.37L, lon = 138.927L, mt = 15;
    const long double mPerDegKdo = EarthR * Pi / 180 * std::cos(lat * Pi / 180);
    const long double mPerDegIdo = EarthR * Pi / 180;
    struct Case { const char* name; long double heading; long double e1North, e1East; };
    const Case cases[] = {
        {"northbound: end 1 west", 180, 0, -mt},
        {"eastbound: end 1 north", 270, mt, 0},
        {"southbound: end 1 east", 0, 0, mt},
        {"westbound: end 1 south", 90, -mt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSectRec g;
        ASSERT_TRUE(SectGate(lat, lon, c.heading, mt, g));
        EXPECT_NEAR((g.Ido1 - lat) * mPerDegIdo, c.e1North, 1e-9L);
        EXPECT_NEAR((g.Kdo1 - lon) * mPerDegKdo, c.e1East, 1e-9L);
        EXPECT_NEAR((g.Ido2 - lat) * mPerDegIdo, -c.e1North, 1e-9L);
        EXPECT_NEAR((g.Kdo2 - lon) * mPerDegKdo, -c.e1East, 1e-9L);
        EXPECT_EQ(g.PassNo, 1);
    }
    TSectRec g;
    EXPECT_FALSE(SectGate(90, lon, 180, mt, g));
}

TEST_F(SectorCommandsTest, SetALineAtTheCursorOfANorthboundStraight) {
    Show({StraightRun(d, 180, 101)});
    lines.EdSectSel = 2;
    SetAt(3.05L);
    ASSERT_EQ(lines.SectNum, 1);
    const TSectRec& l = lines.Sect[0];
    const TCurValRec& cur = cmp().CurVal[0];
    EXPECT_NEAR(l.Ido1, cur.Ido, 1e-12L);
    EXPECT_NEAR(l.Ido2, cur.Ido, 1e-12L);
    EXPECT_LT(l.Kdo1, cur.Kdo);   // end 1 west, left of the way north
    const long double mPerDegKdo = MPerDegIdo() * std::cos(cur.Ido * Pi / 180);
    EXPECT_NEAR((cur.Kdo - l.Kdo1) * mPerDegKdo, s.settings.SectMt, 1e-9L);
    EXPECT_NEAR((l.Kdo2 - cur.Kdo) * mPerDegKdo, s.settings.SectMt, 1e-9L);
    EXPECT_EQ(l.PassNo, 1);
    EXPECT_EQ(lines.EdSectSel, -1);
    // The short refresh: slot 0's cursor values only.
    EXPECT_EQ(log.calls, QStringList({"CalCurValLap(0)", "SetSectTmList", "SetDriftAngleList"}) + Repaints);
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[0], 3.05L, 1e-9L);
    EXPECT_NEAR(cmp().DispSlot[0].SectTm[1], 10 - 3.05L, 1e-9L);

    // The cursor exactly at a sample: the step ending there holds it.
    SetAt(6.0L);
    ASSERT_EQ(lines.SectNum, 2);
    EXPECT_EQ(lines.Sect[1].PassNo, 1);
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[1], 6.0L, 1e-9L);
}

TEST_F(SectorCommandsTest, SettingALineIsRefused) {
    Show({StraightRun(d, 180, 101)});
    struct Case { const char* name; long double cursor; int linesBefore; bool play; };
    const Case cases[] = {
        {"play time 0", 0, 0, false},
        {"at the lap's end", 10, 0, false},
        {"beyond the lap's end", 12, 0, false},
        {"four lines already", 5, 4, false},
        {"playback running", 5, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.SectNum = c.linesBefore;
        playing = c.play;
        log.calls.clear();
        SetAt(c.cursor);
        EXPECT_EQ(lines.SectNum, c.linesBefore);
        EXPECT_TRUE(log.calls.isEmpty());
    }
    playing = false;
    lines.SectNum = 0;
    SetAt(5);
    ASSERT_EQ(lines.SectNum, 1);
    log.calls.clear();
    SetAt(5);   // the same line again
    EXPECT_EQ(lines.SectNum, 1);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(SectorCommandsTest, NoShownLapNoLine) {
    cmp().PlayTm = 3;
    cmd.SpeedButtonSetSectClick();
    EXPECT_EQ(lines.SectNum, 0);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(SectorCommandsTest, SecondPassageGivesPassNo2) {
    Show({CircleLap(d, 50, Turn::Right, 2)});
    const long double lapSec = 2 * Pi * 50 / 10;
    SetAt(lapSec * 5 / 4 + 0.05L);   // heading east at the quarter point, second time round
    ASSERT_EQ(lines.SectNum, 1);
    EXPECT_EQ(lines.Sect[0].PassNo, 2);
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[0], lapSec * 5 / 4 + 0.05L, 1e-6L);
}

TEST_F(SectorCommandsTest, ReSortKeepsTheAlignmentOnItsLine) {
    Show({StraightRun(d, 180, 101)});
    SetAt(6.05L);
    cmp().SelSect = 1;
    const TSectRec first = lines.Sect[0];
    SetAt(3.05L);   // reached before the first line
    ASSERT_EQ(lines.SectNum, 2);
    EXPECT_EQ(lines.Sect[1].Ido1, first.Ido1);
    EXPECT_LT(lines.Sect[0].Ido1, first.Ido1);
    EXPECT_EQ(cmp().SelSect, 2);
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[0], 3.05L, 1e-9L);
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[1], 6.05L, 1e-9L);
}

TEST(SectorSort, SameStepKeepsTableOrderAndUnpassedLinesGoLast) {
    const Drive d = MetreDrive();
    const TLapDtRec lap = LapOf(StraightRun(d, 180, 101));
    struct Case {
        const char* name;
        SectorLines lines;
        int32_t selBefore;
        std::vector<long double> northAfter;   // metres of each line after sorting
        int32_t selAfter;
    };
    const Case cases[] = {
        {"two lines in one step keep their order", Lines({LineAcross(d, 10.6L), LineAcross(d, 10.3L)}), 2,
         {10.6L, 10.3L}, 2},
        {"reverse order", Lines({LineAcross(d, 50.5L), LineAcross(d, 20.5L), LineAcross(d, 30.5L)}), 1,
         {20.5L, 30.5L, 50.5L}, 3},
        {"a line not passed often enough goes last",
         Lines({LineAcross(d, 70.5L, 2), LineAcross(d, 40.5L), LineAcross(d, 20.5L)}), 1,
         {20.5L, 40.5L, 70.5L}, 3},
        {"no alignment stays none", Lines({LineAcross(d, 50.5L), LineAcross(d, 20.5L)}), 0, {20.5L, 50.5L}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SectorLines l = c.lines;
        int32_t sel = c.selBefore;
        SortSectsByPassing(l, lap, sel);
        ASSERT_EQ(l.SectNum, static_cast<int32_t>(c.northAfter.size()));
        for (size_t i = 0; i < c.northAfter.size(); ++i)
            EXPECT_NEAR((l.Sect[i].Ido1 - d.ido) * MPerDegIdo(), c.northAfter[i], 1e-6L) << i;
        EXPECT_EQ(sel, c.selAfter);
    }
}

TEST(SectorRemove, LinesMoveForwardAndTheAlignmentFollows) {
    const Drive d = MetreDrive();
    const SectorLines four = Lines({LineAcross(d, 10), LineAcross(d, 20), LineAcross(d, 30), LineAcross(d, 40)});
    struct Case {
        const char* name;
        std::array<bool, 4> ticked;
        int32_t selBefore;
        std::vector<long double> left;
        int32_t selAfter;
    };
    const Case cases[] = {
        {"lines 1 and 3 of four, alignment on 4", {true, false, true, false}, 4, {20, 40}, 2},
        {"alignment on a removed line", {true, false, true, false}, 3, {20, 40}, 0},
        {"alignment before the removed line", {false, false, true, false}, 2, {10, 20, 40}, 2},
        {"nothing ticked", {false, false, false, false}, 1, {10, 20, 30, 40}, 1},
        {"all four", {true, true, true, true}, 1, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SectorLines l = four;
        int32_t sel = c.selBefore;
        RemoveSects(l, c.ticked, &sel);
        ASSERT_EQ(l.SectNum, static_cast<int32_t>(c.left.size()));
        for (size_t i = 0; i < c.left.size(); ++i)
            EXPECT_NEAR((l.Sect[i].Ido1 - d.ido) * MPerDegIdo(), c.left[i], 1e-6L) << i;
        EXPECT_EQ(sel, c.selAfter);
    }
    // Boxes of lines that do not exist remove nothing.
    SectorLines two = Lines({LineAcross(d, 10), LineAcross(d, 20)});
    RemoveSects(two, {false, false, true, true}, nullptr);
    EXPECT_EQ(two.SectNum, 2);
}

TEST_F(SectorCommandsTest, Release) {
    Show({StraightRun(d, 180, 101), StraightRun(d, 180, 101)});
    const QStringList full = QStringList({"CalCurValLap(0)", "TakeCurPosFromSlot0", "CalCurValLap(1)", "CalCurValAll",
                                          "SetSectTmList", "SetDriftAngleList"}) + Repaints;

    lines = Lines({LineAcross(d, 20.5L)});
    cmp().SelSect = 1;
    cmd.SpeedButtonClrSectClick();   // one line: no dialog
    EXPECT_TRUE(releaseCalls.empty());
    EXPECT_EQ(lines.SectNum, 0);
    EXPECT_EQ(cmp().SelSect, 0);
    EXPECT_EQ(log.calls, full);

    lines = Lines({LineAcross(d, 20.5L), LineAcross(d, 40.5L), LineAcross(d, 60.5L), LineAcross(d, 80.5L)});
    log.calls.clear();
    release = SectRelease{};   // Cancel
    cmd.SpeedButtonClrSectClick();
    ASSERT_EQ(releaseCalls.size(), 1u);
    EXPECT_EQ(releaseCalls[0], std::make_pair(4, false));
    EXPECT_EQ(lines.SectNum, 4);
    EXPECT_TRUE(log.calls.isEmpty());

    release.ok = true;
    release.lines = {true, false, true, false};
    cmd.SpeedButtonClrSectClick();
    ASSERT_EQ(lines.SectNum, 2);
    EXPECT_NEAR((lines.Sect[1].Ido1 - d.ido) * MPerDegIdo(), 80.5L, 1e-6L);
    EXPECT_EQ(log.calls, full);
    EXPECT_NEAR(cmp().DispSlot[1].SectStaSec[1], 8.05L, 1e-9L);

    release.all = true;
    release.lines = {false, true, false, false};
    cmd.SpeedButtonClrSectClick();
    EXPECT_EQ(lines.SectNum, 0);

    lines = Lines({LineAcross(d, 20.5L), LineAcross(d, 40.5L)});
    playing = true;
    log.calls.clear();
    cmd.SpeedButtonClrSectClick();
    EXPECT_EQ(lines.SectNum, 2);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(SectorCommandsTest, LoadFromAFile) {
    Show({StraightRun(d, 180, 101)});
    const TSectRec a = LineAcross(d, 20.5L), b = LineAcross(d, 40.5L);
    const QString path = SciFile("course.sci", SectFileLines(Lines({a, b})));
    cmp().SelSect = 1;

    prompts.openResults.push_back({dir.path() + "/sci/course.txt"});   // the extension is forced
    cmd.SpeedButtonLdSectClick();
    EXPECT_EQ(prompts.lastSpec.title, "セクタを開く");
    EXPECT_EQ(prompts.lastSpec.folder, FoldersUnder(dir.path()).SectDir);
    EXPECT_EQ(prompts.lastSpec.filters, QStringList({"Sector files (*.sci)"}));
    ASSERT_EQ(lines.SectNum, 2);
    EXPECT_NEAR(lines.Sect[1].Ido1, b.Ido1, 1e-6L);
    EXPECT_EQ(s.folders.SectDir, dir.path() + "/sci/");
    EXPECT_EQ(cmp().SelSect, 0);
    EXPECT_FALSE(s.FileDlgOpen);
    EXPECT_EQ(log.calls.first(), "CalCurValLap(0)");
    EXPECT_EQ(log.calls.last(), "SetSectGrid");
    EXPECT_NEAR(cmp().DispSlot[0].SectStaSec[1], 4.05L, 0.02L);   // six decimals: about 0.1 m

    // Missing file, Cancel, playback: nothing changes.
    log.calls.clear();
    prompts.openResults.push_back({dir.path() + "/sci/none.sci"});
    cmd.SpeedButtonLdSectClick();
    cmd.SpeedButtonLdSectClick();   // nothing scripted: Cancel
    playing = true;
    cmd.SpeedButtonLdSectClick();
    EXPECT_EQ(prompts.count("open"), 3);
    EXPECT_EQ(lines.SectNum, 2);
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_FALSE(s.FileDlgOpen);
}

TEST_F(SectorCommandsTest, SaveToAFile) {
    cmd.SpeedButtonSvSectClick();   // no line: no dialog
    EXPECT_EQ(prompts.count("save"), 0);

    lines = Lines({LineAcross(d, 20.5L, 2)});
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/out"));
    prompts.saveResults.push_back(dir.path() + "/out/mine.txt");
    cmd.SpeedButtonSvSectClick();
    EXPECT_EQ(prompts.lastSpec.title, "セクタに名前をつけて保存");
    const QString target = dir.path() + "/out/mine.sci";
    EXPECT_EQ(ReadFile(target), (SectFileLines(lines)[0] + "\r\n").toUtf8());
    EXPECT_TRUE(SectFileLines(lines)[0].endsWith(",2"));
    EXPECT_EQ(s.folders.SectDir, dir.path() + "/out/");

    // An existing file is asked about; No keeps it.
    lines = Lines({LineAcross(d, 30.5L)});
    prompts.saveResults.push_back(target);
    prompts.answers.push_back(Answer::No);
    cmd.SpeedButtonSvSectClick();
    EXPECT_EQ(prompts.texts("warnyesno"), QStringList({"mine.sci は既に存在します。\r上書きしますか?"}));
    EXPECT_TRUE(ReadFile(target).endsWith(",2\r\n"));
    prompts.saveResults.push_back(target);
    prompts.answers.push_back(Answer::Yes);
    cmd.SpeedButtonSvSectClick();
    EXPECT_TRUE(ReadFile(target).endsWith(",1\r\n"));
    EXPECT_FALSE(s.FileDlgOpen);
}

TEST_F(SectorCommandsTest, SearchNearTheReferenceLap) {
    cmd.SpeedButtonSelSectClick();   // no reference lap
    EXPECT_TRUE(prompts.calls.empty());

    Show({StraightRun(d, 180, 101)});
    const QString far = SciFile("far.sci", {"36.5,139.5,36.6,139.6,1"});
    LoadSciFileTbl(s.catalogue, {far});
    cmd.SpeedButtonSelSectClick();
    EXPECT_EQ(prompts.texts("inform"), QStringList({"セクタが見つかりません。"}));

    const QString near1 = SciFile("near1.sci", SectFileLines(Lines({LineAcross(d, 20.5L)})));
    const QString near2 = SciFile("near2.sci", SectFileLines(Lines({LineAcross(d, 30.5L), LineAcross(d, 60.5L)})));
    LoadSciFileTbl(s.catalogue, {far, near1});
    cmd.SpeedButtonSelSectClick();   // one candidate: taken without asking
    EXPECT_TRUE(chooserCalls.empty());
    EXPECT_EQ(lines.SectNum, 1);
    EXPECT_EQ(s.folders.SectDir, dir.path() + "/sci/");

    LoadSciFileTbl(s.catalogue, {far, near1, near2});
    choice.ok = true;
    choice.sci = 0;   // the nearest first: near1 starts at 20.5 m, near2 at 30.5 m
    cmd.SpeedButtonSelSectClick();
    ASSERT_EQ(chooserCalls.size(), 1u);
    EXPECT_TRUE(chooserCalls[0].useSci);
    EXPECT_FALSE(chooserCalls[0].usePth);
    EXPECT_EQ(chooserCalls[0].sci, QStringList({"near1", "near2"}));
    EXPECT_EQ(lines.SectNum, 1);
    choice.sci = 1;
    cmd.SpeedButtonSelSectClick();
    EXPECT_EQ(lines.SectNum, 2);
    choice.sci = -1;   // "-- NONE --"
    log.calls.clear();
    cmd.SpeedButtonSelSectClick();
    EXPECT_EQ(lines.SectNum, 2);
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_FALSE(s.FileDlgOpen);
}
