#include <gtest/gtest.h>
#include <QFrame>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include "app/main_window.h"
#include "sample_window.h"
#include "platform/tool_buttons.h"
#include "support/test_env.h"
#include "support/recording_services.h"
#include "views/g_info_dialog.h"
#include "views/graph_tab.h"

using namespace vel;

namespace {

// The main window with the shipped sample log cut into laps and the first
// two laps shown.
struct GraphWindow : test::ShippedSampleWindow {
    GraphTab& tab() { return w->graphTab(); }
    // The graph tab at the smallest window size the program supports.
    TFormMain& ShowSmall() {
        w->resize(1280, 720);
        w->PageControl1->setCurrentIndex(0);
        w->show();
        return *w;
    }
};

} // namespace

// Play, Space and the axis pair in the running window, and a picture of the
// tab at the smallest window size the program supports.
TEST(GraphTabWindow, PlaysStepsAndSwitchesWithSampleLaps) {
    GraphWindow g;
    ASSERT_TRUE(g.LoadSample());
    TFormMain& w = g.ShowSmall();
    GraphTab& tab = g.tab();
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

    // The wheel over the zoom map zooms the map only.
    const QPoint c = tab.PaintBoxZoom->rect().center();
    QWheelEvent wheel(QPointF(c), QPointF(tab.PaintBoxZoom->mapToGlobal(c)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(tab.PaintBoxZoom, &wheel);
    EXPECT_EQ(g.session.graphView.MapZoom, 1.25L);
    EXPECT_EQ(g.session.graphView.SpdZoom, 1.0L);

    QTest::qWait(50);
    const QString png = test::OutputDir() + "/graph_tab.png";
    EXPECT_TRUE(w.grab().save(png));
    w.close();
}

// Paint events by widget.
class PaintLog : public QObject {
public:
    QStringList painted;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted << (o->objectName().isEmpty() ? QString(o->metaObject()->className()) : o->objectName());
        return false;
    }
};

// The read-outs change on every playback tick: a new text repaints the
// read-out alone, and what it paints around its text is what the widgets
// under it would show there.
TEST(GraphTabWindow, ReadoutsRepaintAloneOverTheirBackdrop) {
    GraphWindow g;
    ASSERT_TRUE(g.LoadSample());
    TFormMain& w = g.ShowSmall();
    GraphTab& tab = g.tab();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(50);

    QList<QLabel*> readouts{tab.LabelPlayTm};
    for (int k = 0; k < 4; ++k) readouts << tab.LabelSlot[k] << tab.LabelSect[k];
    for (QLabel* l : readouts) {
        SCOPED_TRACE(l->objectName().toStdString());
        ASSERT_TRUE(l->isVisible());
        const QRect at(l->mapTo(&w, QPoint(0, 0)), l->size());

        QTest::qWait(30);   // what is still to paint from before
        PaintLog log;
        qApp->installEventFilter(&log);
        l->setText(l->text() + "0");
        QTest::qWait(30);
        qApp->removeEventFilter(&log);
        EXPECT_EQ(log.painted.join(' ').toStdString(), l->objectName().toStdString());

        l->setText(QString());
        const QImage blank = w.grab(at).toImage();
        l->hide();
        const QImage under = w.grab(at).toImage();
        l->show();
        EXPECT_EQ(blank, under);
    }
}

// The main tabs stay put while the logger is busy; entering the graph tab
// marks the cached panes for a redraw.
TEST(GraphTabWindow, TabChangeRefusedWhileLoggerBusy) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::CallLog log;
    test::RecordingLogger logger(log);
    AppServices services(session, {nullptr, &logger, nullptr});
    test::FakePrompts prompts;
    TFormMain w(session, services, &prompts);
    w.resize(1280, 720);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTabBar* bar = w.PageControl1->tabBar();
    logger.busy = true;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    // Nor from the keyboard inside the page (the tab widget's own keys).
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_PageDown, Qt::Key_PageUp}) {
        QTest::keyClick(w.PageControl1->currentWidget(), key, Qt::ControlModifier);
        EXPECT_EQ(w.PageControl1->currentIndex(), 0) << key;
    }
    logger.busy = false;
    QTest::keyClick(w.PageControl1->currentWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
    w.PageControl1->setCurrentIndex(0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);

    GraphTab& tab = w.graphTab();
    tab.PaintBoxGraph->Render();
    tab.PaintBoxGraphG->Render();
    ASSERT_FALSE(tab.PaintBoxGraph->IsDirty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(tab.PaintBoxGraph->IsDirty());
    EXPECT_TRUE(tab.PaintBoxGraphG->IsDirty());
    EXPECT_TRUE(tab.PaintBoxGraphDrift->IsDirty());

    TOKBottomDlgGInfo info(&w);
    EXPECT_EQ(info.windowTitle(), "G、旋回半径について");
    EXPECT_NE(info.findChild<QPushButton*>("OKBtn"), nullptr);
    EXPECT_EQ(info.findChild<QPushButton*>("OKBtn")->text(), "閉じる");
    w.close();
}

// A right click on each pane opens the picture menu for that pane.
TEST(GraphTabWindow, RightClickOnEachPaneOpensThePictureMenu) {
    GraphWindow g;
    ASSERT_TRUE(g.LoadSample());
    TFormMain& w = *g.w;
    w.resize(1280, 720);
    w.show();
    const std::pair<PaneSlot, int> panes[] = {{PaneSlot::SpeedGraph, 0}, {PaneSlot::Course, 1},
                                              {PaneSlot::ZoomMap, 2},    {PaneSlot::GView, 3},
                                              {PaneSlot::Drift, 4}};
    for (const auto& [slot, src] : panes) {
        SCOPED_TRACE(src);
        PaneWidget* pane = g.tab().Pane(slot);
        ASSERT_NE(pane, nullptr);
        g.session.graphView.PopupSrc = -1;
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(pane->width() / 2, pane->height() / 2),
                          pane->mapToGlobal(QPointF(pane->width() / 2, pane->height() / 2)), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(pane, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pane->width() / 2, pane->height() / 2),
                            pane->mapToGlobal(QPointF(pane->width() / 2, pane->height() / 2)), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pane, &release);
        EXPECT_EQ(g.session.graphView.PopupSrc, src);
        QMenu* shown = nullptr;
        for (QMenu* m : w.findChildren<QMenu*>())
            if (m->isVisible()) shown = m;
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->actions().size(), 2);   // PNG and BMP
        shown->hide();
    }
}
