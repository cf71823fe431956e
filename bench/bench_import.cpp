// An import's cut and ranking as the log dialog's answer runs them: a log of
// 704 laps of a 1.2 km circuit (about 350,000 samples at 10 Hz, drifting in
// its tight corners) cut at a control line, every lap written as its working
// file and listed, then the best laps, sector times and drift columns with
// two sector lines. The figure is the process's CPU time (every thread).
// Aims: under 150 ms into an empty list; a second import into the list of
// 704 rows no slower than the first.
#include <ctime>
#include <benchmark/benchmark.h>
#include <QDir>
#include <QTemporaryDir>
#include "analysis/lap_ranking.h"
#include "import/lap_cutting.h"
#include "import/log_store_loaders.h"
#include "model/line_choice.h"
#include "model/session.h"
#include "support/lap_builder.h"

namespace {

constexpr int Laps = 704;

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct ImportSetup {
    QTemporaryDir tmp{qEnvironmentVariable("BENCH_TMP", QDir::tempPath()) + "/importXXXXXX"};
    vel::Session session;
    vel::LineChoice control;
    vel::SectorLines sectors;
    bool ok = true;

    ImportSetup() {
        if (!session.logStore.Allocate()) {
            ok = false;
            return;
        }
        vel::test::Drive d;
        d.spd = 110;
        const QVector<vel::TLapElmRec> recs = vel::test::CircuitLap(d, 1200, Laps, 20);
        // The samples as a run file's loader puts them into the store.
        for (const vel::TLapElmRec& r : recs) {
            vel::TLogItem it;
            if (vel::LogItemOfLapElm(r, it)) session.logStore.AppendLogItem(it, session.statusList);
        }
        for (vel::TLogBlock& b : session.logStore.LogBlock) b.Act = true;
        session.logStore.SetMbActAndRect();
        // The control line across the start straight a few metres on; the
        // sector lines across it further on, 40 m apart.
        const auto across = [&](int sample) {
            const vel::TLapElmRec& a = recs[sample];
            const vel::TLapElmRec& b = recs[sample + 1];
            const long double dIdo = b.Ido - a.Ido, dKdo = b.Kdo - a.Kdo;
            const long double mIdo = (a.Ido + b.Ido) / 2, mKdo = (a.Kdo + b.Kdo) / 2;
            return vel::LineEnds{mIdo - 8 * dKdo, mKdo + 8 * dIdo, mIdo + 8 * dKdo, mKdo - 8 * dIdo};
        };
        control.CtrlLine = across(3);
        control.CtrlLineSet = true;
        const vel::LineEnds s1 = across(12), s2 = across(14);
        sectors.SectNum = 2;
        sectors.Sect[0] = {s1.Kdo1, s1.Kdo2, s1.Ido1, s1.Ido2, 1};
        sectors.Sect[1] = {s2.Kdo1, s2.Kdo2, s2.Ido1, s2.Ido2, 1};
    }

    double cutCpu = 0;   // of the last import
    int runs = 0;

    // One import: false with the reason skipped.
    bool Import(vel::LapRanking& ranking, benchmark::State& state) {
        QString error;
        const double t0 = CpuSeconds();
        if (!vel::CutLapCircuit(session, control, &error, &ranking)) {
            state.SkipWithError(qPrintable(error));
            return false;
        }
        cutCpu = CpuSeconds() - t0;
        ++session.lapList.GrpNo;
        ranking.SetBestLapRank();
        ranking.SetSectTmList();
        ranking.SetDriftAngleList();
        return true;
    }
};

ImportSetup& Setup() {
    static ImportSetup s;
    return s;
}

void RunImport(benchmark::State& state, bool second) {
    ImportSetup& s = Setup();
    if (!s.ok) {
        state.SkipWithError("no memory for the store");
        return;
    }
    vel::LapRanking ranking(s.session, s.sectors);
    int rows = 0;
    double cut = 0, all = 0;
    for (auto _ : state) {
        // Each run into an empty working folder, as a session's first
        // import; the last run's folder goes first, outside the figures
        // (left to pile up, gigabytes of unwritten files slow the kernel).
        if (!s.session.folders.TempDir.isEmpty()) QDir(s.session.folders.TempDir).removeRecursively();
        s.session.lapList = vel::LapList{};
        s.session.folders.TempDir = QString("%1/run%2/temp/").arg(s.tmp.path()).arg(s.runs++);
        QDir().mkpath(s.session.folders.TempDir);
        if (second && !s.Import(ranking, state)) return;
        const double t0 = CpuSeconds();
        if (!s.Import(ranking, state)) return;
        const double cpu = CpuSeconds() - t0;
        state.SetIterationTime(cpu);
        all += cpu;
        cut += s.cutCpu;
        rows = s.session.lapList.LapStrLstNum();
    }
    const vel::LapList& list = s.session.lapList;
    if (rows != (second ? 2 : 1) * Laps) state.SkipWithError("not 704 laps a cut");
    else if (list.Rows.last().Cells[13] == "-" || list.Rows.last().Cells[9].isEmpty())
        state.SkipWithError("no drift or no sector times");
    state.counters["rows"] = rows;
    const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["cut_ms"] = 1000 * cut / n;
    state.counters["ranking_ms"] = 1000 * (all - cut) / n;
    state.counters["goal_ms"] = 150;
}

void BM_ImportCutAndRankCpu(benchmark::State& state) { RunImport(state, false); }
void BM_SecondImportCutAndRankCpu(benchmark::State& state) { RunImport(state, true); }
BENCHMARK(BM_ImportCutAndRankCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_SecondImportCutAndRankCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace

BENCHMARK_MAIN();
