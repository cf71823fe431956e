// The control-line dialog's map: the back buffer redrawn over 400,000
// selected samples (100 laps of a 10 km oval at 10 Hz) with a course map,
// and the overlay alone, which is all a drag redraws.
#include <benchmark/benchmark.h>
#include "memcpy_reference.h"
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include "import/course_map_view.h"
#include "model/session.h"
#include "support/image_builder.h"
#include "qt_main.h"

namespace {

constexpr int Samples = 400000;
constexpr int W = 1500, H = 900;   // a maximised dialog's map

struct MapData {
    vel::Session session;
    bool ok = false;

    MapData() {
        if (!session.logStore.Allocate()) return;
        vel::test::ImageCircuit c;
        c.shape = vel::test::CircuitShape::Oval;
        c.sizeM = 2800;
        vel::LogStore& st = session.logStore;
        for (const vel::test::ImageSample& s : vel::test::ImageCircuitSamples(c, Samples)) {
            vel::TLogItem it;
            it.DtTm = 45000 + s.utcSec / 86400.0 + s.ms / 86400000.0;
            it.Ido = s.lat;
            it.Kdo = s.lon;
            // Some slow stretches, so that both colours and stop marks are drawn.
            it.Spd = (st.LogItemNum / 1000) % 50 == 0 ? 0.3f : s.spd;
            it.ms = s.ms;
            st.AppendLogItem(it, session.statusList);
        }
        for (vel::TLogBlock& b : st.LogBlock) b.Act = true;
        st.SetMbActAndRect();
        // The oval's outline as a course map.
        vel::TPathRec path;
        for (int i = 0; i < 4000; i += 2) {
            const vel::TLogItem& it = st.LogItem[i];
            path.Elm.push_back(vel::TPathElmRec{it.Ido, it.Kdo});
        }
        path.ElmNum = static_cast<int32_t>(path.Elm.size());
        session.coursePaths.CoursePath = {path};
        session.coursePaths.CoursePathNum = 1;
        ok = true;
    }
};

MapData& Data() {
    static MapData d;
    return d;
}

void BM_MapBackBuffer(benchmark::State& state) {
    MapData& d = Data();
    if (!d.ok) {
        state.SkipWithError("no memory for the store");
        return;
    }
    const bool viewStop = state.range(0) != 0;
    const vel::MapProjection proj = vel::MakeProjection(d.session.logStore.LogRect, W, H);
    QImage img(W, H, QImage::Format_RGB32);
    for (auto _ : state) {
        vel::DrawMapBitmap(img, proj, d.session.logStore, d.session.coursePaths, viewStop);
        benchmark::DoNotOptimize(img.constBits());
    }
}
BENCHMARK(BM_MapBackBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", vel::bench::Fastest);

// One pointer move of a drag: the cached picture copied, the overlay drawn.
void BM_MapDragFrame(benchmark::State& state) {
    MapData& d = Data();
    if (!d.ok) {
        state.SkipWithError("no memory for the store");
        return;
    }
    const vel::MapProjection proj = vel::MakeProjection(d.session.logStore.LogRect, W, H);
    QImage cache(W, H, QImage::Format_RGB32);
    vel::DrawMapBitmap(cache, proj, d.session.logStore, d.session.coursePaths, false);
    QImage screen(W, H, QImage::Format_RGB32);
    vel::LineChoice lines;
    vel::MapDrag drag;
    vel::MbViewState st;
    vel::MapPress(drag, vel::MapTool::Ctrl, QPoint(700, 450), lines, proj);
    int dy = 0;
    for (auto _ : state) {
        vel::MapMove(drag, QPoint(700, 400 + (dy++ % 40)), lines, proj);
        QPainter p(&screen);
        p.drawImage(0, 0, cache);
        vel::DrawMapOverlay(p, proj, drag, lines, st);
        p.end();
        benchmark::DoNotOptimize(screen.constBits());
    }
}
BENCHMARK(BM_MapDragFrame)->Unit(benchmark::kMillisecond);

} // namespace

// Text needs the font database of a GUI application.
int main(int argc, char** argv) { return vel::bench::RunWithQt<QGuiApplication>(argc, argv); }
