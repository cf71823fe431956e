// The lap list's ranking trio (best lap times and speeds, sector-time
// columns, drift columns) over 200 rows whose working files each hold ten
// minutes at 10 Hz. It runs after every import. Aim: under 0.5 s.
#include <cmath>
#include <benchmark/benchmark.h>
#include <QTemporaryDir>
#include "analysis/lap_ranking.h"
#include "model/lap_file.h"
#include "model/session.h"
#include "support/lap_builder.h"

namespace {

constexpr int Rows = 200;
constexpr int Samples = 6000;

// Rounds of a 150 m circle at 60 km/h with a real heading that swings out
// 25 degrees for two seconds of every round, so every row drifts.
QVector<vel::TLapElmRec> DriftingLap(int row) {
    vel::test::Drive drive;
    drive.spd = 60 + row % 7;
    QVector<vel::TLapElmRec> recs = vel::test::CircleLap(drive, 150, vel::test::Turn::Right, 20);
    recs.resize(Samples);
    for (int i = 0; i < recs.size(); ++i)
        if (i % 500 >= 100 && i % 500 < 120) recs[i].Dir += 25;
    recs[0].Dir += 0.5L;   // a first heading of exactly 180 would mean no real heading
    return recs;
}

struct RankingSetup {
    QTemporaryDir dir;
    vel::Session session;
    vel::SectorLines lines;
    bool ok = true;

    RankingSetup() {
        session.folders.TempDir = dir.path() + "/temp/";
        for (int r = 0; r < Rows; ++r) {
            const QVector<vel::TLapElmRec> recs = DriftingLap(r);
            if (!vel::test::WriteWorkingFile(vel::WorkingFileName(session.folders.TempDir, r), recs)) ok = false;
            vel::LapRow row;
            row.Cells[1] = QString::asprintf("%.4d", r);
            session.lapList.Rows.append(row);
            session.lapList.LapStrLst.append({recs.back().Sec, recs.back().Spd});
        }
        // Two lines across the circle: at its start (heading north) and on
        // the far side (heading south), so each row has three sectors.
        vel::test::Drive drive;
        const long double mPerDegIdo = 6367444.5L * 3.14159265358979323846L / 180;
        const long double mPerDegKdo = mPerDegIdo * std::cos(drive.ido * 3.14159265358979323846L / 180);
        lines.SectNum = 2;
        lines.Sect[0] = {drive.kdo - 20 / mPerDegKdo, drive.kdo + 20 / mPerDegKdo, drive.ido + 5 / mPerDegIdo,
                         drive.ido + 5 / mPerDegIdo, 1};
        lines.Sect[1] = {drive.kdo + 280 / mPerDegKdo, drive.kdo + 320 / mPerDegKdo, drive.ido, drive.ido, 1};
    }
};

RankingSetup& Setup() {
    static RankingSetup s;
    return s;
}

void RunTrio(benchmark::State& state, bool withLines) {
    RankingSetup& s = Setup();
    if (!s.ok) {
        state.SkipWithError("working files not written");
        return;
    }
    vel::SectorLines none;
    vel::LapRanking ranking(s.session, withLines ? s.lines : none);
    for (auto _ : state) {
        ranking.SetBestLapRank();
        ranking.SetSectTmList();
        ranking.SetDriftAngleList();
    }
    if (withLines && s.session.lapList.Rows[0].Cells[9].isEmpty()) state.SkipWithError("no sector times");
    if (s.session.lapList.Rows[0].Cells[13] == "-") state.SkipWithError("no drift");
    state.SetItemsProcessed(state.iterations() * Rows);
}

void BM_RankingTrioTwoLines(benchmark::State& state) { RunTrio(state, true); }
void BM_RankingTrioNoLines(benchmark::State& state) { RunTrio(state, false); }
BENCHMARK(BM_RankingTrioTwoLines)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RankingTrioNoLines)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
