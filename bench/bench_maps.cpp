// The course view's cache rebuilt with four 1-hour laps (10 Hz, 36,000
// samples each) in an 800 x 800 pane, and one zoom-map repaint of the same
// laps with a course map, clipped to the view.
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include "analysis/display_slots.h"
#include "model/session.h"
#include "support/lap_builder.h"
#include "views/course_view.h"
#include "views/refresh_chain.h"
#include "views/zoom_map.h"

namespace {

using namespace vel;

// Four laps of an hour each: rounds of a 1 km square, each lap a little
// larger, so the tracks lie side by side.
struct Laps {
    Session s;
    Laps() {
        for (int k = 0; k < 4; ++k) {
            test::Drive d;
            d.spd = 120;   // 3.33 m a sample: 36,000 samples make 120 km
            TLapDtRec lap;
            lap.Elm = test::SquareLap(d, 1000 + 20 * k, test::Turn::Right, 30);
            lap.Elm.resize(36000);
            lap.ElmNum = lap.Elm.size();
            lap.LapTim = lap.Elm.back().Tm;
            lap.LapDist = lap.Elm.back().Dist;
            for (const TLapElmRec& e : lap.Elm) {
                lap.IdoMin = std::min(lap.IdoMin, e.Ido);
                lap.IdoMax = std::max(lap.IdoMax, e.Ido);
                lap.KdoMin = std::min(lap.KdoMin, e.Kdo);
                lap.KdoMax = std::max(lap.KdoMax, e.Kdo);
            }
            s.loadedLaps.LapDt.push_back(lap);
            s.loadedLaps.LapDtNum = k + 1;
            SetDispSlot(s.loadedLaps, s.comparison, k, k);
        }
        // A course map around the square, 1 m between points.
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

Laps& Data() {
    static Laps laps;
    return laps;
}

void BM_CourseViewCache(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    QImage img(800, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        DrawCourseView(p, img.rect(), in);
    }
}
BENCHMARK(BM_CourseViewCache)->Unit(benchmark::kMillisecond);

void BM_CourseViewCursor(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    QImage cache(800, 800, QImage::Format_RGB32);
    {
        QPainter p(&cache);
        DrawCourseView(p, cache.rect(), in);
    }
    QImage pane(800, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&pane);
        p.drawImage(0, 0, cache);
        DrawCourseCursor(p, pane.rect(), in);
    }
}
BENCHMARK(BM_CourseViewCursor)->Unit(benchmark::kMicrosecond);

void BM_ZoomMapRepaint(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    for (auto _ : state) {
        QImage img(720, 400, QImage::Format_RGB32);
        QPainter p(&img);
        DrawZoomMap(p, img.rect(), in);
    }
}
BENCHMARK(BM_ZoomMapRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
