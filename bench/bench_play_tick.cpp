// One playback tick with four one-hour laps shown at 10 Hz: the clock step
// and the refresh chain's cursor values, without the panes' painting. It
// runs 15 times a second while playing. Aim: under 100 us.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include "analysis/display_slots.h"
#include "analysis/lap_analysis.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "support/fake_prompts.h"
#include "support/lap_builder.h"
#include "views/graph_refresh.h"
#include "views/play_clock.h"
#include "qt_main.h"

namespace {

class StepClock : public vel::MonotonicClock {
public:
    qint64 now = 0;
    qint64 NowNs() const override { return now; }
};

// An hour of rounds of a 500 m circle at 70 to 85 km/h.
vel::TLapDtRec HourLap(int k) {
    vel::test::Drive d;
    d.spd = 70 + 5 * k;
    vel::TLapDtRec lap;
    lap.DtName = QString("%1").arg(k, 4, 10, QChar('0'));
    lap.Elm = vel::test::CircleLap(d, 500, vel::test::Turn::Right, 30);
    lap.Elm.resize(36000);
    lap.ElmNum = lap.Elm.size();
    lap.LapTim = lap.Elm.back().Tm;
    lap.LapDist = lap.Elm.back().Dist;
    lap.MaxSpd = lap.MinSpd = lap.AveSpd = d.spd;
    for (const vel::TLapElmRec& e : lap.Elm) {
        lap.IdoMin = std::min(lap.IdoMin, e.Ido);
        lap.IdoMax = std::max(lap.IdoMax, e.Ido);
        lap.KdoMin = std::min(lap.KdoMin, e.Kdo);
        lap.KdoMax = std::max(lap.KdoMax, e.Kdo);
    }
    return lap;
}

void BM_PlaybackTick(benchmark::State& state) {
    vel::Session s;
    vel::LapAnalysis analysis(s);
    for (int k = 0; k < 4; ++k) {
        s.loadedLaps.LapDt.push_back(HourLap(k));
        s.loadedLaps.LapDtNum = k + 1;
        analysis.SetDElm(k);
        analysis.SetGElm(k);
        vel::SetDispSlot(s.loadedLaps, s.comparison, k, k);
    }
    vel::CalComparison(s.loadedLaps, s.comparison, 0);
    vel::GraphRefresh graphs;   // no panes: the chain's own cost
    vel::VideoService video;
    vel::test::FakePrompts prompts;
    StepClock clock;
    vel::PlayClock play(s, graphs, video, prompts, &clock);
    play.SpeedButtonPlayClick();
    for (auto _ : state) {
        clock.now += 66'000'000;
        play.Timer1Timer();
        if (!play.Playing()) play.SpeedButtonPlayClick();   // at the end: again from 0
        benchmark::DoNotOptimize(s.comparison.CurVal);
    }
    play.Stop();
}
BENCHMARK(BM_PlaybackTick)->Unit(benchmark::kMicrosecond);

} // namespace

// Timer1 is a QTimer: it needs an application object.
int main(int argc, char** argv) { return vel::bench::RunWithQt<QCoreApplication>(argc, argv); }
