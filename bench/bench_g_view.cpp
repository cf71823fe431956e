// The G view's cache rebuilt with four 1-hour laps (10 Hz, 36,000 samples
// each, G derived) in an 800 x 800 pane, and one cursor-layer update: the
// cache copied and the bars, dots, arrows and read-outs drawn over it.
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
#include "model/session.h"
#include "support/lap_builder.h"
#include "views/drift_view.h"
#include "views/g_view.h"
#include "views/refresh_chain.h"

namespace {

using namespace vel;

struct Laps {
    Session s;
    Laps() {
        for (int k = 0; k < 4; ++k) {
            test::Drive d;
            d.spd = 60 + 10 * k;
            TLapDtRec lap;
            // Circles of several radii, so the scatter spreads over the diagram.
            lap.Elm = test::CircleLap(d, 40 + 15 * k, k % 2 ? test::Turn::Right : test::Turn::Left, 300);
            lap.Elm.resize(std::min<qsizetype>(lap.Elm.size(), 36000));
            for (qsizetype i = 0; i < lap.Elm.size(); i += 7) lap.Elm[i].Spd += (i % 5) - 2;   // some longitudinal G
            lap.ElmNum = lap.Elm.size();
            lap.LapTim = lap.Elm.back().Tm;
            lap.LapDist = lap.Elm.back().Dist;
            lap.GElm.resize(lap.ElmNum);
            lap.DElm.resize(lap.ElmNum);
            SetDElm(lap);
            SetGElm(lap);
            lap.driftAct = true;
            s.loadedLaps.LapDt.push_back(lap);
            s.loadedLaps.LapDtNum = k + 1;
            SetDispSlot(s.loadedLaps, s.comparison, k, k);
        }
        s.comparison.PlayTm = 100;
        CalCursorValues(s.loadedLaps, s.comparison);
        s.graphView.GRangeIdx = 1;
    }
};

Laps& Data() {
    static Laps laps;
    return laps;
}

void BM_GViewCache(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    state.counters["samples"] = double(Data().s.loadedLaps.LapDt[0].ElmNum);
    QImage img(800, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        DrawGView(p, img.rect(), in);
    }
}
BENCHMARK(BM_GViewCache)->Unit(benchmark::kMillisecond);

void BM_GViewCursorLayer(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    QImage cache(800, 800, QImage::Format_RGB32);
    {
        QPainter p(&cache);
        DrawGView(p, cache.rect(), in);
    }
    QImage pane(800, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&pane);
        p.drawImage(0, 0, cache);
        DrawGViewCursor(p, pane.rect(), in, QPoint(500, 500));
    }
}
BENCHMARK(BM_GViewCursorLayer)->Unit(benchmark::kMicrosecond);

void BM_DriftViewCursorLayer(benchmark::State& state) {
    const PaneInput in = PaneInputOf(Data().s);
    QImage cache(800, 800, QImage::Format_RGB32);
    {
        QPainter p(&cache);
        DrawDriftView(p, cache.rect(), in);
    }
    QImage pane(800, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&pane);
        p.drawImage(0, 0, cache);
        DrawDriftCursor(p, pane.rect(), in);
    }
}
BENCHMARK(BM_DriftViewCursorLayer)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Text needs the font database of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
