// The course view's cache rebuilt and its cursor layer, and one zoom-map
// repaint with a course map, with four one-hour laps of a real-shaped
// circuit (10 Hz, 36,000 samples each) shown in the main window at
// 1920 x 1080, each pane at the size the window gives it.
// Aim: course view cache under 15 ms.
#include <benchmark/benchmark.h>
#include <QImage>
#include <QPainter>
#include "analysis/display_slots.h"
#include "views/course_view.h"
#include "views/refresh_chain.h"
#include "views/zoom_map.h"
#include "window_laps.h"
#include "qt_main.h"

namespace {

using namespace vel;

struct Panes {
    bench::LapsWindow w;
    QSize course, zoom;
    Panes() {
        if (!w.error.isEmpty()) return;
        course = w.PaneSize(PaneSlot::Course, int(InnerPage::Course));
        zoom = w.tab().Pane(PaneSlot::ZoomMap)->size();
        // A course map beside the reference lap's first round, 1 m between points.
        Session& s = w.session;
        TPathRec path;
        const TLapDtRec& ref = s.loadedLaps.LapDt[0];
        for (int i = 0; i < 4000; ++i) {
            TPathElmRec p;
            p.Ido = ref.Elm[i % 1200].Ido + 0.00005L;
            p.Kdo = ref.Elm[i % 1200].Kdo;
            path.Elm << p;
        }
        path.ElmNum = path.Elm.size();
        s.coursePaths.CoursePath << path << path;
        s.coursePaths.CoursePathNum = 2;
        s.comparison.PlayTm = 100;
        CalCursorValues(s.loadedLaps, s.comparison);
        s.graphView.MapZoom = 2;
    }
};

Panes& Data() { return bench::Kept<Panes>(); }

bool Usable(benchmark::State& state) { return bench::Usable(state, Data().w); }

void BM_CourseViewCache(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    QImage img(Data().course, QImage::Format_RGB32);
    for (auto _ : state) {
        img.fill(Qt::white);
        QPainter p(&img);
        DrawCourseView(p, img.rect(), in);
    }
    state.counters["width"] = img.width();
    state.counters["height"] = img.height();
    state.counters["goal_ms"] = 15;
}
BENCHMARK(BM_CourseViewCache)->Unit(benchmark::kMillisecond);

void BM_CourseViewCursor(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    bench::CursorLayerLoop(
        state, Data().course, [&](QPainter& p, const QRect& r) { DrawCourseView(p, r, in); },
        [&](QPainter& p, const QRect& r) { DrawCourseCursor(p, r, in); });
}
BENCHMARK(BM_CourseViewCursor)->Unit(benchmark::kMicrosecond);

void BM_ZoomMapRepaint(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    QImage img(Data().zoom, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        DrawZoomMap(p, img.rect(), in);
    }
    state.counters["width"] = img.width();
    state.counters["height"] = img.height();
}
BENCHMARK(BM_ZoomMapRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
