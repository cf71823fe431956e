#include <gtest/gtest.h>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include "app/main_window.h"
#include "sample_window.h"
#include "support/test_env.h"
#include "views/graph_tab.h"
#include "views/map_projection.h"

using namespace vel;

namespace {

// The main window with the shipped sample log cut into laps, the first two
// laps shown and the sample course map loaded.
struct MapWindow : test::ShippedSampleWindow {
    bool LoadSample() {
        return ShippedSampleWindow::LoadSample() &&
               ReadCoursePathFile(QString(VELMARIS_SOURCE_DATA_DIR) + "/Circuit/sample.pth", session.coursePaths);
    }
};

QRgb Red() { return QColor(255, 0, 0).rgb(); }

} // namespace

// Both maps show the sample session: the reference lap in red where its
// samples project on the course view, the course map and the cars on the
// zoom map. Screenshots of the running window go to the test output.
TEST(MapWindow, SampleSessionOnBothMaps) {
    MapWindow g;
    ASSERT_TRUE(g.LoadSample());
    TFormMain& w = *g.w;
    GraphTab& tab = w.graphTab();
    w.resize(1280, 720);
    w.PageControl1->setCurrentIndex(0);
    tab.PageControl2->setCurrentIndex(0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Halfway round the lap, a little zoomed in.
    const Comparison& cmp = g.session.comparison;
    g.session.graphView.MapZoom = 2;
    tab.PaintBoxGraph->MoveCursorTo(cmp.DispLapSec / 2, PlayEntry::Other);
    QTest::qWait(50);

    PaneWidget* course = tab.PaintBoxGraph;
    ASSERT_EQ(course->objectName(), "PaintBoxGraph");
    const QImage img = course->Render();
    const CourseFit fit = CourseFitOf(course->size(), cmp);
    ASSERT_TRUE(fit.ok);
    const TLapDtRec& ref = g.session.loadedLaps.LapDt[0];
    for (int i : {ref.ElmNum / 4, ref.ElmNum / 2, ref.ElmNum * 3 / 4}) {
        SCOPED_TRACE(i);
        const QPoint at = fit.Map(double(ref.Elm[i].Ido), double(ref.Elm[i].Kdo));
        EXPECT_EQ(img.pixel(at), Red());
    }

    PaneWidget* zoom = tab.PaintBoxZoom;
    ASSERT_EQ(zoom->objectName(), "PaintBoxZoom");
    const QImage map = zoom->Render();
    EXPECT_EQ(map.pixel(zoom->width() / 2, zoom->height() / 2), Red());
    int pathPixels = 0, bluePixels = 0;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x) {
            pathPixels += map.pixel(x, y) == QColor(0xDE, 0xDE, 0xDE).rgb();
            bluePixels += map.pixel(x, y) == QColor(0, 0, 255).rgb();
        }
    EXPECT_GT(pathPixels, 1000);
    EXPECT_GT(bluePixels, 20);

    // A click on the course view moves the cursor and the zoom map follows.
    const int i = ref.ElmNum / 3;
    QTest::mouseClick(course, Qt::LeftButton, {}, fit.Map(double(ref.Elm[i].Ido), double(ref.Elm[i].Kdo)));
    EXPECT_EQ(cmp.PlayTm, ref.Elm[i].Sec);
    QTest::qWait(50);
    EXPECT_NE(zoom->Render(), map);
    EXPECT_TRUE(w.grab().save(test::OutputDir() + "/map_panes.png"));

    // The G page: scatter and cursor layer; the mouse over the zoom map
    // reads its distance from the car and the laps' G at the nearest samples.
    tab.PageControl2->setCurrentIndex(1);
    QTest::qWait(50);
    const QImage gView = tab.PaintBoxGraphG->Render();
    int scatter = 0;
    for (int y = 0; y < gView.height(); ++y)
        for (int x = 0; x < gView.width(); ++x) scatter += gView.pixel(x, y) == QColor(0xFF, 0x90, 0x90).rgb();
    EXPECT_GT(scatter, 50);
    QTest::mouseMove(zoom, QPoint(zoom->width() / 2 + 20, zoom->height() / 2));
    QTest::qWait(50);
    EXPECT_EQ(tab.LabelZoomDist->text(), "10.0m");
    EXPECT_TRUE(w.grab().save(test::OutputDir() + "/g_view_page.png"));

    tab.PageControl2->setCurrentIndex(3);
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(test::OutputDir() + "/drift_page.png"));
    w.close();
}
