#include <gtest/gtest.h>
#include <QFrame>
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/log_import_commands.h"
#include "platform/tool_buttons.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_env.h"
#include "support/test_folders.h"
#include "views/graph_tab.h"

using namespace vel;

namespace {

// The main window with the shipped sample log cut into laps and the first
// two laps shown.
struct GraphWindow {
    QTemporaryDir tmp;
    Session session;
    std::unique_ptr<AppServices> services;
    test::FakePrompts prompts;
    test::FakeLineDialog* dialog = nullptr;
    std::unique_ptr<TFormMain> w;

    GraphWindow() {
        session.folders = test::FoldersUnder(tmp.path());
        services = std::make_unique<AppServices>(session);
        auto d = std::make_unique<test::FakeLineDialog>();
        dialog = d.get();
        w = std::make_unique<TFormMain>(session, *services, &prompts, nullptr, std::move(d));
    }
    GraphTab& tab() { return w->graphTab(); }
    bool LoadSample() {
        const QString data = VELMARIS_SOURCE_DATA_DIR;
        LineChoice line;
        line.CtrlLine = test::SampleControlLine();
        line.CtrlLineSet = true;
        dialog->scripts.push_back({true, std::nullopt, line});
        prompts.openResults.push_back({data + "/Raw/sample.bnx4"});
        w->importCommands().SpeedButtonLdLogFileClick();
        if (session.lapList.Rows.size() < 2) return false;
        w->StringGridLapDataDblClick(1);
        w->StringGridLapDataDblClick(2);
        return session.comparison.DispSlot[1].Active;
    }
};

} // namespace

// Play, Space and the axis pair in the running window, and a picture of the
// tab at the smallest window size the program supports.
TEST(GraphTabWindow, PlaysStepsAndSwitchesWithSampleLaps) {
    GraphWindow g;
    ASSERT_TRUE(g.LoadSample());
    TFormMain& w = *g.w;
    GraphTab& tab = g.tab();
    w.resize(1280, 720);
    w.PageControl1->setCurrentIndex(0);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    EXPECT_LE(w.minimumSizeHint().width(), 1280);
    EXPECT_LE(w.minimumSizeHint().height(), 720);
    // Every tool button shows a picture or a caption.
    for (QToolButton* b : tab.findChildren<QToolButton*>()) {
        if (!b->objectName().startsWith("SpeedButton")) continue;   // the tab bars' scroll arrows
        EXPECT_TRUE(!b->icon().isNull() || !b->text().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
    }

    const Comparison& cmp = g.session.comparison;
    tab.SpeedButtonPlay->click();
    EXPECT_TRUE(g.session.graphView.Playing);
    QTest::qWait(400);
    EXPECT_GT(cmp.PlayTm, 0.2L);
    EXPECT_NE(tab.LabelPlayTm->text(), ".");
    EXPECT_NE(tab.LabelPlayTm->text(), "0:00.000");
    const QString before = tab.LabelSlot[0]->text();
    EXPECT_TRUE(before.contains("km/h"));
    EXPECT_TRUE(tab.LabelSlot[1]->text().contains("km/h"));
    EXPECT_TRUE(tab.LabelSect[0]->text().startsWith("[0000]")) << tab.LabelSect[0]->text().toStdString();
    QTest::qWait(200);
    EXPECT_NE(tab.LabelSlot[0]->text(), before);

    // Space, whatever has the focus, stops and starts playback.
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
    QTest::keyPress(focus, Qt::Key_Space);
    QTest::qWait(150);
    QTest::keyRelease(focus, Qt::Key_Space);
    EXPECT_FALSE(g.session.graphView.Playing);
    const long double stopped = cmp.PlayTm;
    QTest::qWait(150);
    EXPECT_EQ(cmp.PlayTm, stopped);

    // F steps forward while stopped.
    QTest::keyPress(focus, Qt::Key_F);
    QTest::qWait(150);
    QTest::keyRelease(focus, Qt::Key_F);
    EXPECT_GT(cmp.PlayTm, stopped);

    // The axis pair: a click on the time tab selects time.
    QTest::mouseClick(tab.PaintBoxTime, Qt::LeftButton);
    EXPECT_EQ(g.session.graphView.Axis, AxisMode::Time);
    EXPECT_TRUE(SwitchPanelOn(tab.PanelDist));
    EXPECT_FALSE(SwitchPanelOn(tab.PanelTime));
    QTest::mouseClick(tab.PanelDist, Qt::LeftButton);
    EXPECT_EQ(g.session.graphView.Axis, AxisMode::Dist);

    // A toggle panel flips on a click of its picture.
    const bool xyg = g.session.graphView.XYGOn;
    QTest::mouseClick(tab.PanelXYG->findChild<QLabel*>(), Qt::LeftButton);
    EXPECT_NE(g.session.graphView.XYGOn, xyg);
    EXPECT_EQ(SwitchPanelOn(tab.PanelXYG), g.session.graphView.XYGOn);

    QTest::qWait(50);
    const QString png = test::OutputDir() + "/graph_tab.png";
    EXPECT_TRUE(w.grab().save(png));
    w.close();
}
