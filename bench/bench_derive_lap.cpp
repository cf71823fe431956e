// The analysis of an hour at 10 Hz (36,000 samples): drift and G of one
// lap (aim: under 10 ms), the time difference with four such laps shown,
// and one cursor move over four shown laps (aim: under 50 us, so playback
// at 66 ms ticks never stalls).
#include <cmath>
#include <benchmark/benchmark.h>
#include "memcpy_reference.h"
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
#include "support/lap_builder.h"

namespace {

constexpr int Samples = 36000;

// Round a 200 m circle with the speed and the heading swinging, so the
// drift and filter passes have work to do; lap k a little slower.
vel::TLapDtRec MakeLap(int k) {
    vel::test::Drive drive;
    drive.spd = 60 - 2 * k;
    QVector<vel::TLapElmRec> recs = vel::test::CircleLap(drive, 200, vel::test::Turn::Left, 50);
    recs.resize(Samples);
    for (qsizetype i = 0; i < recs.size(); ++i) {
        recs[i].Spd += 15 * std::sin(i / 80.0L);
        recs[i].Dir = std::fmod(recs[i].Dir + 360 + 25 * std::sin(i / 120.0L), 360.0L);
    }
    vel::TLapDtRec lap;
    lap.DtName = QString::asprintf("%.4d", k);
    lap.ElmNum = Samples;
    lap.Elm = recs;
    lap.LapTim = recs.back().Tm;
    lap.LapDist = recs.back().Dist;
    lap.GElm.resize(Samples);
    lap.DElm.resize(Samples);
    return lap;
}

// The lap as the loader hands it over: arrays sized, derived in place.
void BM_SetDElmSetGElm(benchmark::State& state) {
    vel::TLapDtRec lap = MakeLap(0);
    for (auto _ : state) {
        vel::SetDElm(lap);
        vel::SetGElm(lap);
        benchmark::DoNotOptimize(lap.GElm.data());
    }
    state.SetItemsProcessed(state.iterations() * Samples);
}
BENCHMARK(BM_SetDElmSetGElm)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", vel::bench::Fastest);

// The two halves, for their shares.
void BM_SetDElm(benchmark::State& state) {
    vel::TLapDtRec lap = MakeLap(0);
    for (auto _ : state) {
        vel::SetDElm(lap);
        benchmark::DoNotOptimize(lap.DElm.data());
    }
}
BENCHMARK(BM_SetDElm)->Unit(benchmark::kMillisecond);

void BM_SetGElm(benchmark::State& state) {
    vel::TLapDtRec lap = MakeLap(0);
    for (auto _ : state) {
        vel::SetGElm(lap);
        benchmark::DoNotOptimize(lap.GElm.data());
    }
}
BENCHMARK(BM_SetGElm)->Unit(benchmark::kMillisecond);

struct FourLaps {
    vel::LoadedLaps laps;
    vel::Comparison cmp;
    FourLaps() {
        vel::ClrDispSlots(cmp);
        for (int k = 0; k < 4; ++k) {
            laps.LapDt.append(MakeLap(k));
            vel::SetDElm(laps.LapDt[k]);
            vel::SetGElm(laps.LapDt[k]);
            laps.LapDtNum = k + 1;
            vel::SetDispSlot(laps, cmp, k, k);
        }
        vel::CalComparison(laps, cmp, 0);
    }
};

void BM_CalDeltaTm(benchmark::State& state) {
    FourLaps f;
    for (auto _ : state) {
        vel::CalDeltaTm(f.laps, f.cmp, 0);
        benchmark::DoNotOptimize(f.cmp.DeltaTm.data());
    }
}
BENCHMARK(BM_CalDeltaTm)->Unit(benchmark::kMillisecond);

// One playback tick: every shown lap at the new play time, then the
// compared laps at the reference distance.
void BM_CursorMove(benchmark::State& state) {
    FourLaps f;
    const long double end = f.laps.LapDt[0].Elm.back().Sec;
    long double t = 0;
    for (auto _ : state) {
        t += 0.066L;
        if (t > end) t = 0;
        f.cmp.PlayTm = t;
        vel::CalCurValLaps(f.laps, f.cmp);
        vel::CalCurValAll(f.laps, f.cmp);
        benchmark::DoNotOptimize(f.cmp.CurVal.data());
    }
}
BENCHMARK(BM_CursorMove)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
