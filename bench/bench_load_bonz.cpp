// Loading a full-size BLE-Z log (630,000 records) as one run: read, decode,
// heading correction and the working file written. Cold in every iteration:
// the run's arrays (tens of MiB) are beyond malloc's mmap threshold, so each
// load faults in fresh pages.
#include <benchmark/benchmark.h>
#include "memcpy_reference.h"
#include <QDir>
#include <QTemporaryDir>
#include "import/bluetooth_records.h"
#include "import/run_loaders.h"
#include "model/log_store.h"
#include "support/bluetooth_builder.h"

namespace {

void BM_LoadBonzRun(benchmark::State& state) {
    QTemporaryDir tmp;
    vel::Session session;
    session.folders.TempDir = tmp.path() + "/temp/";
    QDir().mkpath(session.folders.TempDir);
    const QString fn = tmp.path() + "/run.bonz";
    if (!vel::test::WriteBtLog(fn, vel::BtKind::BonZ, vel::test::OvalRun(vel::LogItemMax, vel::BtKind::BonZ))) {
        state.SkipWithError("could not write the log");
        return;
    }
    for (auto _ : state) {
        session.lapList = vel::LapList{};
        const vel::LoadResult r = vel::LoadLapFileToGrigBonZ(fn, session);
        if (!r.RowAdded) {
            state.SkipWithError(qPrintable(r.Error));
            break;
        }
    }
    state.counters["records"] = vel::LogItemMax;
}

BENCHMARK(BM_LoadBonzRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->ComputeStatistics("min", vel::bench::Fastest);

} // namespace

BENCHMARK_MAIN();
