// The speed graph over four 1-hour laps at 10 Hz on a 1600 x 400 pane: a
// full repaint with every layer on (time difference, altitude, G traces,
// drift angle), and a cursor move that only redraws the position bar.
#include <cmath>
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include "analysis/display_slots.h"
#include "model/session.h"
#include "views/refresh_chain.h"
#include "views/speed_graph.h"
#include "views/speed_graph_pane.h"
#include "qt_main.h"

namespace {

constexpr int Samples = 36001;   // one hour at 10 Hz
const QSize PaneSize(1600, 400);

vel::TLapDtRec HourLap(int k) {
    vel::TLapDtRec lap;
    lap.DtName = QString::asprintf("%.4d", k);
    lap.Elm.resize(Samples);
    lap.GElm.resize(Samples);
    lap.DElm.resize(Samples);
    double dist = 0;
    for (int i = 0; i < Samples; ++i) {
        vel::TLapElmRec& e = lap.Elm[i];
        e.Sec = i / 10.0;
        e.Tm = i / 864000.0;
        e.Spd = 120 + 80 * std::sin(i * 0.004 + k) + 5 * std::sin(i * 0.9);
        dist += static_cast<double>(e.Spd) / 36000.0;
        e.Dist = dist;
        e.Elv = 300 + 20 * std::sin(i * 0.0007);
        e.UseSat = i % 5000 < 100 ? 3 : 9;
        lap.GElm[i].lateG3 = 1.2 * std::sin(i * 0.01 + k);
        lap.GElm[i].logiG3 = 0.6 * std::cos(i * 0.013);
        lap.GElm[i].XYG = std::hypot(static_cast<double>(lap.GElm[i].lateG3), static_cast<double>(lap.GElm[i].logiG3));
        lap.DElm[i].DAngle = 15 * std::sin(i * 0.02);
        lap.MaxSpd = std::max<long double>(lap.MaxSpd, e.Spd);
        lap.MinSpd = std::min<long double>(lap.MinSpd, e.Spd);
        lap.ElvLo = std::min<long double>(lap.ElvLo, e.Elv);
        lap.ElvHi = std::max<long double>(lap.ElvHi, e.Elv);
    }
    lap.ElmNum = Samples;
    lap.LapTim = lap.Elm.back().Tm;
    lap.LapDist = lap.Elm.back().Dist;
    lap.driftAct = true;
    return lap;
}

void FourLaps(vel::Session& t) {
    {
        for (int k = 0; k < 4; ++k) {
            t.loadedLaps.LapDt.push_back(HourLap(k));
            t.loadedLaps.LapDtNum = k + 1;
            vel::SetDispSlot(t.loadedLaps, t.comparison, k, k);
        }
        t.comparison.DeltaTm.resize(Samples);
        for (int i = 0; i < Samples; ++i) t.comparison.DeltaTm[i] = 3 * std::sin(i * 0.001);
        t.comparison.DeltaTmMin = -3;
        t.comparison.DeltaTmMax = 3;
        t.sectorLines.SectNum = 2;
        t.comparison.DispSlot[0].SectStaDist[0] = 10;
        t.comparison.DispSlot[0].SectStaDist[1] = 60;
        t.graphView.DiffTmOn = t.graphView.AltitudeOn = t.graphView.XYGOn = t.graphView.DriftOn = true;
        t.comparison.PlayTm = 900;
        vel::CalCursorValues(t.loadedLaps, t.comparison);
    }
}

void FullRepaints(benchmark::State& state, const vel::Session& s) {
    QImage img(PaneSize, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&img);
        vel::DrawSpeedGraph(p, img.rect(), vel::PaneInputOf(s));
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
}

void BM_SpeedGraphFullRepaint(benchmark::State& state) {
    vel::Session s;
    FourLaps(s);
    FullRepaints(state, s);
}
BENCHMARK(BM_SpeedGraphFullRepaint)->Unit(benchmark::kMillisecond);

// The same, zoomed in 4 times on the time axis (a window of 15 minutes).
void BM_SpeedGraphFullRepaintZoomedTime(benchmark::State& state) {
    vel::Session s;
    FourLaps(s);
    s.graphView.Axis = vel::AxisMode::Time;
    s.graphView.SpdZoom = 4;
    FullRepaints(state, s);
}
BENCHMARK(BM_SpeedGraphFullRepaintZoomedTime)->Unit(benchmark::kMillisecond);

// A playback tick on the whole-lap axis: the pane's picture is kept and the
// bar drawn at the new cursor (the cursor values are computed apart).
void BM_SpeedGraphCursorMove(benchmark::State& state) {
    vel::Session s;
    FourLaps(s);
    vel::SpeedGraphPane pane;
    pane.resize(PaneSize);
    pane.SetHost({&s, nullptr, nullptr});
    QImage screen(PaneSize, QImage::Format_RGB32);
    {
        QPainter p(&screen);
        pane.render(&p);
    }
    double t = 900;
    for (auto _ : state) {
        state.PauseTiming();
        t += 0.066;
        s.comparison.PlayTm = t;
        vel::CalCursorValues(s.loadedLaps, s.comparison);
        state.ResumeTiming();
        pane.render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
    state.counters["plotDraws"] = pane.plotDraws();
}
BENCHMARK(BM_SpeedGraphCursorMove)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
