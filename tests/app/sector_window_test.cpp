#include <gtest/gtest.h>
#include <QTableView>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include "analysis/cursor_values.h"
#include "analysis/lap_ranking.h"
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/run_loaders.h"
#include "support/fake_prompts.h"
#include "support/focus.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

using namespace vel;

// Laps shown, two sector lines set at the cursor from the graph tab's
// button: the sector table and the lap list's sector columns fill, the
// fastest lap's sectors ranked first.
TEST(MainWindowSectors, SettingTwoLinesFillsTheTablesAndRanksTheBest) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    AppServices services(session);
    test::FakePrompts prompts;
    TFormMain w(session, services, &prompts);

    const long double speeds[] = {60, 75, 50};
    for (int i = 0; i < 3; ++i) {
        test::Drive d;
        d.spd = speeds[i];
        const QString f = tmp.path() + QString("/lap%1.dtb").arg(i);
        ASSERT_TRUE(test::WriteWorkingFile(f, test::SquareLap(d, 200, test::Turn::Right)));
        ASSERT_TRUE(LoadLapFileToGrigBin(f, session).RowAdded);
    }
    services.services().ranking->SetBestLapRank();
    for (int row = 1; row <= 3; ++row) w.StringGridLapDataDblClick(row);
    ASSERT_EQ(session.loadedLaps.LapDtNum, 3);

    for (long double t : {10.0L, 30.0L}) {
        // The cursor moved as the graph tab's controls move it.
        session.comparison.PlayTm = t;
        CalCurValLaps(session.loadedLaps, session.comparison);
        CalCurValAll(session.loadedLaps, session.comparison);
        w.graphTab().SpeedButtonSetSect->click();
    }
    ASSERT_EQ(session.sectorLines.SectNum, 2);
    EXPECT_TRUE(prompts.calls.empty());

    // Three sectors per shown lap in the sector table.
    ASSERT_GT(w.dataTab().StringGridSectData->rowCount(), 3);
    bool filled = false;
    for (int c = 1; c < w.dataTab().StringGridSectData->columnCount(); ++c)
        if (auto* it = w.dataTab().StringGridSectData->item(1, c); it && !it->text().isEmpty()) filled = true;
    EXPECT_TRUE(filled);

    // Sector columns 8 to 10 of the lap list, the 75 km/h lap (row 2) best.
    const auto& rows = session.lapList.Rows;

    for (int r = 0; r < 3; ++r)
        for (int c = 8; c <= 10; ++c) EXPECT_FALSE(rows[r].Cells[c].isEmpty()) << r << "," << c;
    for (int c = 8; c <= 10; ++c) EXPECT_EQ(LapCellRank(w.ranking().State(), 2, c), 1) << c;

    // The tool bar's sector save: the focused table's current cell, the table
    // chosen by the lower page. Cell (1, 4) is sector 1 in the sector table
    // (five columns a sector) and sector 2 in the drift table (four).
    DataTab& d = w.dataTab();
    w.PageControl1->setCurrentIndex(1);
    d.StringGridSectData->setCurrentCell(1, 4);
    if (!d.StringGridDrift->item(1, 4)) d.StringGridDrift->setItem(1, 4, new QTableWidgetItem);
    d.StringGridDrift->item(1, 4)->setText("1");
    d.StringGridDrift->setCurrentCell(1, 4);
    auto saveAsked = [&]() -> QString {
        const int before = prompts.count("save");
        d.SpeedButtonSvRunSect->click();
        return prompts.count("save") > before ? prompts.lastSpec.fileName : QString();
    };
    ASSERT_TRUE(test::GiveFocus(d.StringGridLapData));
    EXPECT_EQ(saveAsked(), "");   // neither table focused
    d.PageControl3->setCurrentIndex(0);
    ASSERT_TRUE(test::GiveFocus(d.StringGridSectData));
    EXPECT_EQ(saveAsked(), "0000_Sector1.dtb");
    d.PageControl3->setCurrentIndex(1);
    ASSERT_TRUE(test::GiveFocus(d.StringGridDrift));
    EXPECT_EQ(saveAsked(), "0000_Sector2.dtb");
}
