#include <gtest/gtest.h>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include "analysis/cursor_values.h"
#include "analysis/lap_ranking.h"
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/run_loaders.h"
#include "support/fake_prompts.h"
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
}
