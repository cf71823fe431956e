#include <gtest/gtest.h>
#include <QTableView>
#include <QTemporaryDir>
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/run_loaders.h"
#include "support/fake_prompts.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

using namespace vel;

// The lap list's double click in the running window: laps load into the next
// slot with their analysis, a second click removes one, a fifth is refused.
TEST(MainWindowLapClick, LoadsAndRemovesLapsWithTheirAnalysis) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    AppServices services(session);
    test::FakePrompts prompts;
    TFormMain w(session, services, &prompts);

    for (int i = 0; i < 5; ++i) {
        test::Drive d;
        d.spd = 60 + 5 * i;
        const QString f = tmp.path() + QString("/lap%1.dtb").arg(i);
        ASSERT_TRUE(test::WriteWorkingFile(f, test::CircleLap(d, 80, test::Turn::Right)));
        ASSERT_TRUE(LoadLapFileToGrigBin(f, session).RowAdded);
    }
    for (int row = 1; row <= 5; ++row) w.StringGridLapDataDblClick(row);
    const LoadedLaps& laps = session.loadedLaps;
    ASSERT_EQ(laps.LapDtNum, 4);
    EXPECT_EQ(laps.LapDt[3].DtName, "0003");
    // G derived on load: a right turn at 60 km/h on 80 m gives about 0.35 G.
    const TLapDtRec& lap0 = laps.LapDt[0];
    EXPECT_NEAR(std::fabs(double(lap0.GElm[lap0.ElmNum / 2].lateG3)), 0.354, 0.03);
    EXPECT_TRUE(session.comparison.DispSlot[3].Active);

    w.StringGridLapDataDblClick(2);   // row 2 is loaded: removed
    ASSERT_EQ(laps.LapDtNum, 3);
    EXPECT_EQ(laps.LapDt[1].DtName, "0002");
    EXPECT_FALSE(session.comparison.DispSlot[3].Active);
    EXPECT_TRUE(prompts.calls.empty());
}
