#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QPainter>
#include "views/graph_tab.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

// A pane as a pane issue would write it: a drawing function of the state,
// counted, and a cursor layer.
struct CountingPane : PaneWidget {
    int draws = 0, cursors = 0;
    CountingPane(const char* name, bool cached) : PaneWidget(name, cached) {}
    void Draw(QPainter& p, const QRect& r, const PaneInput& in) override {
        ++draws;
        p.fillRect(r, in.view.Axis == AxisMode::Time ? Qt::blue : Qt::green);
    }
    void DrawCursor(QPainter& p, const QRect& r, const PaneInput& in) override {
        ++cursors;
        p.fillRect(QRect(0, 0, 2, 2), Qt::red);
    }
};

using PaneTest = ViewFixture;

} // namespace

// A pane dropped into its slot replaces the placeholder, gets the session
// and draws from it; a cached pane redraws its cache only when dirty or
// resized, its cursor layer on every paint.
TEST_F(PaneTest, DroppedInPaneDrawsFromTheSession) {
    GraphTab tab;
    tab.SetHost({&s, &graphs, &video});
    auto* course = new CountingPane("PaintBoxGraph", true);
    tab.SetPane(PaneSlot::Course, course);
    EXPECT_EQ(tab.PaintBoxGraph, course);
    EXPECT_EQ(tab.findChildren<PaneWidget*>("PaintBoxGraph").size(), 1);
    EXPECT_EQ(course->host().session, &s);
    course->resize(40, 30);

    QImage img = course->Render();
    EXPECT_EQ(img.pixelColor(20, 20), QColor(Qt::green));
    EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::red));
    course->Render();
    EXPECT_EQ(course->draws, 1);
    EXPECT_EQ(course->cursors, 2);

    s.graphView.Axis = AxisMode::Time;
    tab.SetGraphDirty();   // the refresh rules' GraphDirty step
    img = course->Render();
    EXPECT_EQ(course->draws, 2);
    EXPECT_EQ(img.pixelColor(20, 20), QColor(Qt::blue));
    course->resize(50, 30);
    course->Render();
    EXPECT_EQ(course->draws, 3);

    // An uncached pane draws everything every time.
    auto* spd = new CountingPane("PaintBoxSpd", false);
    tab.SetPane(PaneSlot::SpeedGraph, spd);
    spd->resize(20, 20);
    spd->Render();
    spd->Render();
    EXPECT_EQ(spd->draws, 2);
    EXPECT_EQ(spd->cursors, 0);
}

// A click puts the play time where the pane says and runs the chain in the
// click's order; inside a synchronised video the video seeks instead.
TEST_F(PaneTest, ClickMovesTheCursorThroughTheChain) {
    Show({30});
    auto* map = new CountingPane("PaintBoxZoom", false);
    GraphTab tab;
    tab.SetHost({&s, &graphs, &video});
    tab.SetPane(PaneSlot::ZoomMap, map);
    map->MoveCursorTo(12.5L, PlayEntry::MapClick);
    EXPECT_EQ(playTm(), 12.5L);
    EXPECT_EQ(log.calls, QStringList({"PaintBoxZoomPaint", "PaintBoxSpdPaint", "PaintBoxSpdBarPaint", "SetPosMarker",
                                      "SetDataStr", "DrawCurG", "DrawCurDrift"}));
    log.calls.clear();
    video.inRange = true;
    map->MoveCursorTo(-3, PlayEntry::MapClick);
    EXPECT_EQ(playTm(), 0);
    EXPECT_TRUE(log.calls.isEmpty());
}

namespace {

// A pane whose picture is the colour of its key.
struct KeyedPane : CountingPane {
    int key = 0;
    KeyedPane() : CountingPane("PaintBoxGraph", true) {}
    void DrawCursor(QPainter& p, const QRect&, const PaneInput&) override {
        ++cursors;
        p.fillRect(QRect(0, 0, 4, 4), key ? Qt::black : Qt::red);
    }
    bool PictureKey(const PaneInput&, QSize size, std::vector<double>& k) const override {
        k = {double(size.width()), double(key)};
        return true;
    }
};

} // namespace

// A repaint step paints a keyed pane only when its key moved from the one
// of the picture on screen, or when its cache is dirty; a pane without a
// key paints at every step.
TEST_F(PaneTest, RepaintStepsSkipAPictureThatDidNotChange) {
    KeyedPane keyed;
    CountingPane plain("PaintBoxZoom", false);
    for (PaneWidget* p : {static_cast<PaneWidget*>(&keyed), static_cast<PaneWidget*>(&plain)}) {
        p->SetHost({&s, &graphs, &video});
        p->resize(40, 30);
        p->show();
    }
    const auto settle = [] {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    };
    settle();
    ASSERT_GE(keyed.cursors, 1);
    const int shown = keyed.cursors, plainShown = plain.draws;

    struct Step { const char* what; int key; bool dirty; bool paints; };
    const Step steps[] = {
        {"same key", 0, false, false}, {"key moved", 1, false, true}, {"same again", 1, false, false},
        {"dirty cache", 1, true, true}, {"back", 0, false, true},
    };
    int paints = shown, plainPaints = plainShown;
    for (const Step& st : steps) {
        SCOPED_TRACE(st.what);
        keyed.key = st.key;
        if (st.dirty) keyed.SetDirty();
        keyed.Repaint();
        plain.Repaint();
        settle();
        paints += st.paints ? 1 : 0;
        EXPECT_EQ(keyed.cursors, paints);
        EXPECT_EQ(plain.draws, ++plainPaints);
    }
    EXPECT_EQ(keyed.Render().pixelColor(1, 1), QColor(Qt::red));
}
