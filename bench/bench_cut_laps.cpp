// Cutting a full log at a control line: 400,000 samples of an oval at 10 Hz
// (100 laps of 10 km), every lap written as its working file and listed.
#include <cmath>
#include <benchmark/benchmark.h>
#include "memcpy_reference.h"
#include <QDir>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "import/lap_cutting.h"
#include "model/line_choice.h"
#include "model/session.h"
#include "support/image_builder.h"

namespace {

constexpr int Samples = 400000;
constexpr double JstEpoch = 25569.0 + 9.0 / 24.0;

void BM_CutLapCircuit(benchmark::State& state) {
    QTemporaryDir tmp(qEnvironmentVariable("BENCH_TMP", QDir::tempPath()) + "/cutXXXXXX");
    vel::Session session;
    session.folders.TempDir = tmp.path() + "/temp/";
    QDir().mkpath(session.folders.TempDir);
    if (!session.logStore.Allocate()) {
        state.SkipWithError("no memory for the store");
        return;
    }
    vel::test::ImageCircuit c;
    c.shape = vel::test::CircuitShape::Oval;
    c.hz = 10;
    c.kmh = 90;
    c.sizeM = 2800;   // straights of 2.8 km: a lap of 10 km, 400 s
    vel::LogStore& store = session.logStore;
    for (const vel::test::ImageSample& s : vel::test::ImageCircuitSamples(c, Samples)) {
        vel::TLogItem it;
        it.DtTm = s.utcSec / 86400.0 + JstEpoch + s.ms / 86400000.0;
        it.Ido = s.lat;
        it.Kdo = s.lon;
        it.Elv = s.elv;
        it.Spd = s.spd;
        it.sat_used = s.satUsed;
        it.sat_view = s.satView;
        store.AppendLogItem(it, session.statusList);
    }
    for (vel::TLogBlock& b : store.LogBlock) b.Act = true;
    store.SetMbActAndRect();

    // A line across the south straight, 10.3 m after the first sample.
    const double degPerRad = 180.0 / static_cast<double>(vel::Pi);
    const double r = static_cast<double>(vel::EarthR);
    const double lon = c.centreLon + 10.3 / (r * std::cos(c.centreLat / degPerRad)) * degPerRad;
    const double south = -c.sizeM / 4;
    vel::LineChoice lines;
    lines.CtrlLine = {c.centreLat + (south - 20) / r * degPerRad, lon, c.centreLat + (south + 20) / r * degPerRad, lon};
    lines.CtrlLineSet = true;

    QString error;
    for (auto _ : state) {
        session.lapList = vel::LapList{};
        if (!vel::CutLapCircuit(session, lines, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    state.counters["samples"] = Samples;
    state.counters["laps"] = session.lapList.LapStrLstNum();
}

BENCHMARK(BM_CutLapCircuit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->ComputeStatistics("min", vel::bench::Fastest);

} // namespace

BENCHMARK_MAIN();
