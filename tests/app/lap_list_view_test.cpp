#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "app/app_services.h"
#include "app/lap_list_commands.h"
#include "app/lap_list_view.h"
#include "app/main_window.h"
#include "analysis/sector_dialogs.h"
#include "import/run_loaders.h"
#include "model/lap_file.h"
#include "model/lap_list_model.h"
#include "support/recording_analysis.h"
#include "support/fake_prompts.h"
#include "support/focus.h"
#include "support/lap_builder.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {


// The data tab as the window wires it: the lap list through the header
// model and the delegate, the two tables, the ranking, the sector and lap
// list commands over a session with rows and working files.
class DataTabTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Session s;
    SectorLines& lines = s.sectorLines;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    RecordingLogger logger{log};
    SettableVideo video{log};
    LapAnalysis analysis{s};
    LapRanking ranking{s, lines};
    Services sv{&graphs, &logger, &video, &analysis, &ranking};
    FakePrompts prompts;
    std::vector<std::pair<int, bool>> releaseCalls;
    SectRelease release;
    bool playing = false;
    SectReleaseAsk ask = [this](int n, bool all) { releaseCalls.push_back({n, all}); return release; };
    std::optional<QString> nameAnswer;
    QStringList nameCalls;

    LapListModel model{s.lapList};
    QTableView view;
    LapListHeaderModel& headerModel =
        *InstallLapListView(&view, &model, s.lapList, s.loadedLaps, ranking.State());
    QTableWidget sectGrid, driftGrid;
    SectorCommands sectors{s, lines, prompts, sv, {}, ask, [this] { return playing; }};
    LapListCommands data{s, lines, prompts, sv, ranking, ask,
                         [this](const QString& caption, const QString& text) {
                             nameCalls << caption << text;
                             return nameAnswer;
                         },
                         [this] { return playing; }};

    DataTabTest() {
        s.folders = FoldersUnder(dir.path());
        ClrDispSlots(s.comparison);
        ranking.onChanged = [this] {
            model.Reset();
            headerModel.Refresh();
        };
        const auto fill = [this] {
            ShowSectTables(&sectGrid, &driftGrid, SetSectGrid(lines, s.loadedLaps, s.comparison), lines.Count());
        };
        sectors.SetSectGrid = fill;
        data.SetSectGrid = fill;
        data.RepaintLapList = [this] { model.Reset(); };
    }

    // A row as a run loader leaves it, with its working file.
    void AddRow(const QVector<TLapElmRec>& recs, int group = 0) {
        const int number = static_cast<int>(s.lapList.Rows.size());
        ASSERT_TRUE(WriteWorkingFile(WorkingFileName(s.folders.TempDir, number), recs));
        LapRow row;
        row.Cells[0] = "run";
        row.Cells[1] = QString::asprintf("%.4d", number);
        row.Cells[19] = QString::number(group);
        s.lapList.Rows.append(row);
        s.lapList.LapStrLst.append(TLapStrLstRec{recs.back().Sec, recs.back().Spd});
    }
    void Trio() {
        ranking.SetBestLapRank();
        ranking.SetSectTmList();
        ranking.SetDriftAngleList();
    }
    void SetAt(long double sec) {
        s.comparison.PlayTm = sec;
        CalCurValLaps(s.loadedLaps, s.comparison);
        sectors.SpeedButtonSetSectClick();
    }
    QColor Painted(int row, int col) {
        view.resize(2400, 200);
        view.show();
        QApplication::processEvents();
        const QRect r = view.visualRect(headerModel.index(row, col));
        return view.viewport()->grab().toImage().pixelColor(r.left() + 2, r.bottom() - 2);
    }
};

Drive North(long double kmh) {
    Drive d;
    d.spd = kmh;
    return d;
}

} // namespace

TEST_F(DataTabTest, TwoSectorLinesFillTheTablesAndMarkTheBest) {
    AddRow(StraightRun(North(36), 180, 101));   // 10 m/s
    AddRow(StraightRun(North(45), 180, 101));   // 12.5 m/s, the better lap
    Trio();
    EXPECT_EQ(headerModel.headerData(8, Qt::Horizontal, Qt::DisplayRole).toString(), "セクタ");
    ASSERT_EQ(data.SpeedButtonGrpClick(1), LapClick::Loaded);
    ASSERT_EQ(data.SpeedButtonGrpClick(2), LapClick::Loaded);

    SetAt(3.05L);   // 30.5 m
    SetAt(6.05L);   // 60.5 m
    ASSERT_EQ(lines.SectNum, 2);

    // The sector table: slot 1 wins the first two sectors of the ideal lap,
    // slot 0 (whose lap ends 10 m from the line, slot 1's 64.5 m) the last.
    ASSERT_EQ(sectGrid.rowCount(), 6);
    ASSERT_EQ(sectGrid.columnCount(), 25);
    EXPECT_EQ(sectGrid.item(0, 0)->text(), "-S1区間タイム");
    EXPECT_EQ(sectGrid.item(1, 0)->text(), "0:03.050");
    EXPECT_EQ(sectGrid.item(2, 0)->text(), "*0:02.440");
    EXPECT_EQ(sectGrid.item(5, 0)->text(), "0:02.440");
    EXPECT_EQ(sectGrid.item(1, 10)->text(), "*0:03.950");
    EXPECT_EQ(sectGrid.item(5, 14)->text(), "0:08.790");
    EXPECT_EQ(sectGrid.item(1, 5)->background().color(), ColorOf(SectBlockShade));
    EXPECT_EQ(sectGrid.item(1, 0)->foreground().color(), ColorOf(SlotColor[0]));

    // The lap list's sector columns, headers and the best marked.
    EXPECT_EQ(s.lapList.Rows[0].Cells[8], "03.050");
    EXPECT_EQ(s.lapList.Rows[1].Cells[8], "02.440");
    EXPECT_EQ(s.lapList.Rows[1].Cells[9], "02.400");
    EXPECT_EQ(s.lapList.Rows[1].Cells[10], "05.160");
    EXPECT_EQ(s.lapList.Rows[0].Cells[11], "");
    EXPECT_EQ(headerModel.headerData(8, Qt::Horizontal, Qt::DisplayRole).toString(), "セクタ1");
    EXPECT_EQ(headerModel.headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), "セクタ3");
    EXPECT_EQ(headerModel.headerData(11, Qt::Horizontal, Qt::DisplayRole).toString(), "");
    EXPECT_EQ(Painted(1, 8), ColorOf(RankColor[0]));
    EXPECT_EQ(Painted(0, 8), ColorOf(RankColor[1]));
    EXPECT_EQ(Painted(0, 10), ColorOf(RankColor[0]));
    EXPECT_EQ(Painted(1, 4), ColorOf(RankColor[1]));   // equal lap times: the earlier row first
    EXPECT_EQ(Painted(1, 5), ColorOf(RankColor[0]));
    EXPECT_EQ(Painted(0, 11), ColorOf(ColorWhite));
}

TEST_F(DataTabTest, HeaderAlignmentFollowsTheSectorHeader) {
    const auto align = [this](int col) {
        return headerModel.headerData(col, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(align(8), Qt::AlignLeft);
    EXPECT_EQ(align(2), Qt::AlignHCenter);
    EXPECT_EQ(align(13), Qt::AlignRight);
    EXPECT_EQ(headerModel.headerData(13, Qt::Horizontal, Qt::FontRole).value<QFont>().pointSize(), 9);
    lines.SectNum = 1;
    ranking.SetSectTmList();
    EXPECT_EQ(align(8), Qt::AlignRight);
    EXPECT_EQ(headerModel.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), "最高速 km/h");
}

TEST_F(DataTabTest, ClearAllWithNoRowsAsksNothing) {
    EXPECT_FALSE(data.SpeedButtonClrDtClick());
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(DataTabTest, ClearAllWithRowsButNoShownLap) {
    AddRow(StraightRun(North(36), 180, 11), 1);
    s.lapList.GrpNo = 2;
    lines.SectNum = 2;
    prompts.answers = {Answer::Cancel};
    EXPECT_FALSE(data.SpeedButtonClrDtClick());
    EXPECT_EQ(s.lapList.Rows.size(), 1);

    prompts.answers = {Answer::Yes};
    release.ok = true;
    release.all = true;
    EXPECT_TRUE(data.SpeedButtonClrDtClick());
    // A question with Yes and Cancel.
    EXPECT_EQ(prompts.texts("yescancel"), QStringList(2, "すべての走行データをクリアしますか？"));
    EXPECT_EQ(prompts.count("yesno"), 0);
    EXPECT_TRUE(s.lapList.Rows.isEmpty());
    EXPECT_TRUE(s.lapList.LapStrLst.isEmpty());
    EXPECT_EQ(s.lapList.GrpNo, 0);
    ASSERT_EQ(releaseCalls.size(), 1u);
    EXPECT_EQ(releaseCalls[0], std::make_pair(2, true));
    EXPECT_EQ(lines.SectNum, 0);
    EXPECT_TRUE(log.calls.isEmpty());   // the slots and panes were not touched
    EXPECT_EQ(ranking.State().BestTmIdx[0], -1);
    EXPECT_EQ(sectGrid.rowCount(), 6);
    EXPECT_EQ(sectGrid.item(0, 0)->text(), "");
}

TEST_F(DataTabTest, ClearAllWithShownLapsKeepsLinesOnCancel) {
    AddRow(StraightRun(North(36), 180, 101));
    AddRow(StraightRun(North(45), 180, 101));
    Trio();
    data.SpeedButtonGrpClick(1);
    SetAt(3.05L);
    s.comparison.SelSect = 1;
    playing = true;
    video.duration = 1000;
    video.state = TPlayState::psResume;
    log.calls.clear();
    prompts.answers = {Answer::Yes};
    release = SectRelease{};   // Cancel
    EXPECT_TRUE(data.SpeedButtonClrDtClick());
    EXPECT_EQ(log.calls, QStringList({"StopPlayback", "GraphDirty", "PaintBoxZoomPaint", "PaintBoxSpdPaint",
                                      "PaintBoxSpdBarPaint", "GraphGDirty", "GraphDriftDirty", "SetDataStr",
                                      "Pause"}));
    EXPECT_EQ(s.loadedLaps.LapDtNum, 0);
    EXPECT_TRUE(s.loadedLaps.LapDt.isEmpty());
    EXPECT_FALSE(s.comparison.DispSlot[0].Active);
    EXPECT_EQ(s.comparison.PlayTm, 0);
    EXPECT_EQ(s.comparison.SelSect, 0);
    EXPECT_EQ(s.comparison.DispIdoMin, 90);
    EXPECT_EQ(lines.SectNum, 1);
    EXPECT_TRUE(s.lapList.Rows.isEmpty());
    EXPECT_EQ(sectGrid.item(1, 0)->text(), "");   // no shown lap: empty slot rows
}

TEST_F(DataTabTest, EditDataName) {
    AddRow(StraightRun(North(36), 180, 11));
    AddRow(StraightRun(North(36), 180, 11));
    s.lapList.Rows[1].Cells[1].clear();
    nameAnswer = QString("morning");
    struct Case { const char* name; int row, col; bool focused; };
    const Case refused[] = {
        {"not column 0", 1, 3, true}, {"no focus", 1, 0, false}, {"no data number", 2, 0, true},
        {"no such row", 3, 0, true}, {"header row", 0, 0, true},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(data.SpeedButtonEdiDataNameClick(c.row, c.col, c.focused));
    }
    EXPECT_TRUE(nameCalls.isEmpty());
    EXPECT_TRUE(data.SpeedButtonEdiDataNameClick(1, 0, true));
    EXPECT_EQ(nameCalls, QStringList({"データ名編集 0000", "run"}));
    EXPECT_EQ(s.lapList.Rows[0].Cells[0], "morning");
    nameAnswer.reset();   // Cancel
    EXPECT_FALSE(data.SpeedButtonEdiDataNameClick(1, 0, true));
    EXPECT_EQ(s.lapList.Rows[0].Cells[0], "morning");
}

TEST(ReleaseDialog, BoxesOfMissingLinesAreDisabled) {
    TOKBottomDlgRelSect dlg;
    EXPECT_EQ(dlg.windowTitle(), "セクタ解除");
    EXPECT_EQ(dlg.CheckBoxAll->text(), "すべて解除");
    EXPECT_EQ(dlg.CheckBoxSect[2]->text(), "セクタ 3 解除");
    struct Case { int n; bool all; std::array<bool, 4> enabled; };
    const Case cases[] = {
        {2, false, {true, true, false, false}},
        {3, false, {true, true, true, false}},
        {1, true, {true, false, false, false}},
        {4, true, {true, true, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        dlg.Setup(c.n, c.all);
        EXPECT_EQ(dlg.CheckBoxAll->isChecked(), c.all);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(dlg.CheckBoxSect[i]->isEnabled(), c.enabled[i]) << i;
            EXPECT_FALSE(dlg.CheckBoxSect[i]->isChecked()) << i;
        }
    }
    dlg.Setup(2, false);
    dlg.CheckBoxSect[0]->setChecked(true);
    dlg.CheckBoxSect[3]->setChecked(true);   // disabled: names no line
    const SectRelease r = dlg.Result(true);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.all);
    EXPECT_EQ(r.lines, (std::array<bool, 4>{true, false, false, false}));
}

// The lap list's current cell, which the run-file save and the row exports
// act on, shows a dotted frame over the cell's own painting while the list
// has the focus, also after the list is filled again, and none once the
// focus has gone; the cell keeps its colours.
TEST(MainWindowLapList, CurrentCellIsFramedWhileTheListHasTheFocus) {
    QTemporaryDir tmp;
    Session session;
    session.folders = FoldersUnder(tmp.path());
    AppServices services(session);
    FakePrompts prompts;
    TFormMain w(session, services, &prompts);
    for (int i = 0; i < 3; ++i) {
        const QString f = tmp.path() + QString("/lap%1.dtb").arg(i);
        ASSERT_TRUE(WriteWorkingFile(f, StraightRun(North(40 + 10 * i), 180, 101)));
        ASSERT_TRUE(LoadLapFileToGrigBin(f, session).RowAdded);
    }
    services.services().ranking->SetBestLapRank();
    w.PageControl1->setCurrentIndex(1);
    QTableView* grid = w.dataTab().StringGridLapData;
    const QModelIndex current = grid->model()->index(2, 5);   // the top speed: 1st place
    grid->setCurrentIndex(current);

    struct Look {
        int dark = 0, edge = 0;   // dark pixels on the cell's outermost ring, and its length
        QColor inside;
    };
    const auto look = [&](const QModelIndex& i) {
        const QImage img = grid->viewport()->grab().toImage();
        const QRect r = grid->visualRect(i);
        Look l;
        const auto at = [&](int x, int y) {
            const QColor c = img.pixelColor(x, y);
            l.dark += c.red() < 90 && c.green() < 90 && c.blue() < 90;
            ++l.edge;
        };
        for (int x = r.left(); x <= r.right(); ++x) {
            at(x, r.top());
            at(x, r.bottom());
        }
        for (int y = r.top() + 1; y < r.bottom(); ++y) {
            at(r.left(), y);
            at(r.right(), y);
        }
        l.inside = img.pixelColor(r.left() + 2, r.bottom() - 2);
        return l;
    };

    ASSERT_TRUE(GiveFocus(grid));
    ASSERT_EQ(grid->currentIndex(), current);
    const Look focused = look(current);
    EXPECT_GE(focused.dark, focused.edge / 3);
    EXPECT_EQ(focused.inside, ColorOf(RankColor[0]));
    const Look other = look(grid->model()->index(1, 5));
    EXPECT_EQ(other.dark, 0);
    EXPECT_EQ(other.inside, ColorOf(RankColor[1]));

    // The list filled again (the ranking after an import or a shown lap):
    // the same cell stays current and framed, the one the commands act on.
    services.services().ranking->SetBestLapRank();
    QApplication::processEvents();
    EXPECT_EQ(grid->currentIndex(), current);
    EXPECT_EQ(w.dataTab().CurrentLapRow(), 3);
    EXPECT_GE(look(current).dark, focused.edge / 3);
    // ... and the list stays where the user scrolled it, the cell out of sight.
    QScrollBar* across = grid->horizontalScrollBar();
    ASSERT_GT(across->maximum(), 0);
    across->setValue(across->maximum());
    ASSERT_FALSE(grid->viewport()->rect().intersects(grid->visualRect(current)));
    services.services().ranking->SetBestLapRank();
    QApplication::processEvents();
    EXPECT_EQ(across->value(), across->maximum());
    EXPECT_EQ(w.dataTab().CurrentLapRow(), 3);
    across->setValue(0);

    ASSERT_TRUE(GiveFocus(w.dataTab().StringGridSectData));
    const Look away = look(current);
    EXPECT_EQ(away.dark, 0);
    EXPECT_EQ(away.inside, ColorOf(RankColor[0]));
}
