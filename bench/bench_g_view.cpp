// The G view's cache rebuilt and one cursor-layer update (the cache copied,
// the bars, dots, arrows and read-outs drawn over it), and the drift view's
// cursor layer, with four one-hour laps of a real-shaped circuit (10 Hz,
// 36,000 samples each, G and drift derived as the lap list's double-click
// loads them) shown in the main window at 1920 x 1080, each pane at the
// size the window gives it. Aim: G view cache under 10 ms.
#include <benchmark/benchmark.h>
#include <QImage>
#include <QPainter>
#include "analysis/display_slots.h"
#include "views/drift_view.h"
#include "views/g_view.h"
#include "views/refresh_chain.h"
#include "window_laps.h"
#include "qt_main.h"

namespace {

using namespace vel;

struct Panes {
    bench::LapsWindow w;
    QSize g, drift;
    Panes() {
        if (!w.error.isEmpty()) return;
        g = w.PaneSize(PaneSlot::GView, int(InnerPage::GView));
        drift = w.PaneSize(PaneSlot::Drift, int(InnerPage::Drift));
        Session& s = w.session;
        for (TLapDtRec& lap : s.loadedLaps.LapDt) lap.driftAct = true;
        s.comparison.PlayTm = 100;
        CalCursorValues(s.loadedLaps, s.comparison);
        s.graphView.GRangeIdx = 1;
    }
};

Panes& Data() { return bench::Kept<Panes>(); }

bool Usable(benchmark::State& state) { return bench::Usable(state, Data().w); }

void BM_GViewCache(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    QImage img(Data().g, QImage::Format_RGB32);
    for (auto _ : state) {
        img.fill(Qt::white);
        QPainter p(&img);
        DrawGView(p, img.rect(), in);
    }
    state.counters["samples"] = double(Data().w.session.loadedLaps.LapDt[0].ElmNum);
    state.counters["width"] = img.width();
    state.counters["height"] = img.height();
    state.counters["goal_ms"] = 10;
}
BENCHMARK(BM_GViewCache)->Unit(benchmark::kMillisecond);

void BM_GViewCursorLayer(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    const QPoint mouse(Data().g.width() * 5 / 8, Data().g.height() * 5 / 8);
    bench::CursorLayerLoop(
        state, Data().g, [&](QPainter& p, const QRect& r) { DrawGView(p, r, in); },
        [&](QPainter& p, const QRect& r) { DrawGViewCursor(p, r, in, mouse); });
}
BENCHMARK(BM_GViewCursorLayer)->Unit(benchmark::kMicrosecond);

void BM_DriftViewCursorLayer(benchmark::State& state) {
    if (!Usable(state)) return;
    const PaneInput in = PaneInputOf(Data().w.session);
    bench::CursorLayerLoop(
        state, Data().drift, [&](QPainter& p, const QRect& r) { DrawDriftView(p, r, in); },
        [&](QPainter& p, const QRect& r) { DrawDriftCursor(p, r, in); });
}
BENCHMARK(BM_DriftViewCursorLayer)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
