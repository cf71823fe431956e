#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/log_import_commands.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_env.h"
#include "support/test_folders.h"
#include "views/graph_tab.h"
#include "views/speed_graph_pane.h"

using namespace vel;

namespace {

int CountColour(const QImage& img, QColor c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

} // namespace

// The shipped sample log cut into laps, the first two shown: both curves
// and the bars appear in the running window; pictures for people to look at.
TEST(SpeedGraphWindow, SampleLapsDrawBothCurves) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    AppServices services(session);
    test::FakePrompts prompts;
    auto dialog = std::make_unique<test::FakeLineDialog>();
    test::FakeLineDialog* lineDialog = dialog.get();
    TFormMain w(session, services, &prompts, nullptr, std::move(dialog));

    LineChoice line;
    line.CtrlLine = test::SampleControlLine();
    line.CtrlLineSet = true;
    lineDialog->scripts.push_back({true, std::nullopt, line});
    prompts.openResults.push_back({QString(VELMARIS_SOURCE_DATA_DIR) + "/Raw/sample.bnx4"});
    w.importCommands().SpeedButtonLdLogFileClick();
    ASSERT_GE(session.lapList.Rows.size(), 2);
    w.StringGridLapDataDblClick(1);
    w.StringGridLapDataDblClick(2);
    ASSERT_TRUE(session.comparison.DispSlot[1].Active);

    w.resize(1280, 720);
    w.PageControl1->setCurrentIndex(0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    GraphTab& tab = w.graphTab();
    auto* spd = qobject_cast<SpeedGraphPane*>(tab.PaintBoxSpd);
    ASSERT_NE(spd, nullptr);
    spd->MoveCursorTo(20, PlayEntry::Jump);
    QApplication::processEvents();

    const QImage pane = spd->Render();
    EXPECT_GT(CountColour(pane, QColor(255, 0, 0)), 200);
    EXPECT_GT(CountColour(pane, QColor(0, 0, 255)), 200);
    const QImage bars = tab.PaintBoxSpdBar->Render();
    EXPECT_GT(CountColour(bars, QColor(255, 0, 0)), 20);
    EXPECT_GT(CountColour(bars, QColor(0, 0, 255)), 20);

    const QString out = test::OutputDir();
    QDir().mkpath(out);
    EXPECT_TRUE(w.grab().save(out + "/speed_graph_window.png"));
    EXPECT_TRUE(pane.save(out + "/speed_graph_pane.png"));
    // The time axis with G traces and the altitude, zoomed in.
    session.graphView.Axis = AxisMode::Time;
    session.graphView.XYGOn = true;
    session.graphView.AltitudeOn = true;
    session.graphView.SpdZoom = 4;
    EXPECT_TRUE(spd->Render().save(out + "/speed_graph_time_g.png"));
}
