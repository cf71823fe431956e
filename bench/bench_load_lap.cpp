// Loading a working file of an hour at 10 Hz (36,000 samples) as a loaded
// lap: read, statistics, headings from positions. Aim: under 20 ms.
#include <benchmark/benchmark.h>
#include "memcpy_reference.h"
#include <QTemporaryDir>
#include "analysis/lap_derive.h"
#include "model/lap_file.h"
#include "model/loaded_laps.h"
#include "support/lap_builder.h"

namespace {

constexpr int Samples = 36000;

// An hour at 10 Hz round a 300 m circle at 100 km/h, written as a working
// file of a Bluetooth run without motion data (every heading 180, so every
// heading is worked out from positions). Empty, with the benchmark skipped,
// when it cannot be written.
QString WriteLap(benchmark::State& state, const QTemporaryDir& dir) {
    vel::test::Drive drive;
    drive.spd = 100;
    QVector<vel::TLapElmRec> recs = vel::test::CircleLap(drive, 300, vel::test::Turn::Right, 54);
    recs.resize(Samples);
    for (vel::TLapElmRec& r : recs) r.Dir = 180;
    const QString fn = vel::WorkingFileName(dir.path() + "/", 0);
    if (vel::test::WriteWorkingFile(fn, recs)) return fn;
    state.SkipWithError("working file not written");
    return QString();
}

// Loads of the working file as a loaded lap, each handed on to then.
template <class Then>
void LoadLaps(benchmark::State& state, Then then) {
    QTemporaryDir dir;
    const QString fn = WriteLap(state, dir);
    if (fn.isEmpty()) return;
    for (auto _ : state) {
        vel::TLapDtRec lap;
        QString error;
        if (!vel::ReadLapFileBin(fn, lap, &error)) {
            state.SkipWithError("lap not read");
            break;
        }
        then(lap);
    }
    state.SetItemsProcessed(state.iterations() * Samples);
}

void BM_ReadLapFileBin(benchmark::State& state) {
    LoadLaps(state, [](vel::TLapDtRec& lap) { benchmark::DoNotOptimize(lap.Elm.data()); });
}
BENCHMARK(BM_ReadLapFileBin)->Unit(benchmark::kMillisecond);

// All in, as the graph tab shows a lap: the load and its derive.
void BM_LoadLapWithDerive(benchmark::State& state) {
    LoadLaps(state, [](vel::TLapDtRec& lap) {
        vel::SetDElm(lap);
        vel::SetGElm(lap);
        benchmark::DoNotOptimize(lap.GElm.data());
    });
}
BENCHMARK(BM_LoadLapWithDerive)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", vel::bench::Fastest);

// The file read alone, for the share of the load it takes.
void BM_ReadLapFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString fn = WriteLap(state, dir);
    if (fn.isEmpty()) return;
    for (auto _ : state) {
        QVector<vel::TLapElmRec> recs;
        if (vel::ReadLapFile(fn, recs) != vel::LapFileStatus::Ok) {
            state.SkipWithError("file not read");
            break;
        }
        benchmark::DoNotOptimize(recs.data());
    }
    state.SetItemsProcessed(state.iterations() * Samples);
}
BENCHMARK(BM_ReadLapFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
