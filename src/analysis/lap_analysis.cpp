#include "analysis/lap_analysis.h"

#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
#include "analysis/sector_timing.h"
#include "model/lap_file.h"

namespace vel {

namespace {

TLapDtRec* LapAt(Session& s, int lap) {
    return lap >= 0 && lap < s.loadedLaps.LapDt.size() ? &s.loadedLaps.LapDt[lap] : nullptr;
}

constexpr int DataNumberColumn = 1;
constexpr int SourceColumn = 7;

} // namespace

void LapAnalysis::SetDispSlot(int slot, int lap) {
    vel::SetDispSlot(session_.loadedLaps, session_.comparison, slot, lap);
}

void LapAnalysis::SetDElm(int lap) {
    if (TLapDtRec* l = LapAt(session_, lap)) vel::SetDElm(*l);
}

void LapAnalysis::SetGElm(int lap) {
    if (TLapDtRec* l = LapAt(session_, lap)) vel::SetGElm(*l);
}

void LapAnalysis::CalCurValLap(int lap) {
    vel::CalCurValLap(session_.loadedLaps, session_.comparison, lap);
}

void LapAnalysis::TakeCurPosFromSlot0() { vel::TakeCurPosFromSlot0(session_.comparison); }

void LapAnalysis::CalCurValAll() { vel::CalCurValAll(session_.loadedLaps, session_.comparison); }

void LapAnalysis::CalSectTm() { vel::CalSectTm(session_.sectorLines, session_.loadedLaps, session_.comparison); }

bool LoadLapFileBin(const QString& fn, LapAnalysis& analysis, GraphsService& graphs, QString* error) {
    if (error) error->clear();
    LoadedLaps& laps = analysis.session().loadedLaps;
    const int k = laps.LapDtNum;
    if (k < 0 || k >= LoadedLaps::MaxLaps) return false;
    TLapDtRec lap;
    if (!ReadLapFileBin(fn, lap, error)) return false;

    // The analysis reads the lap from LapDt, so it goes in before the steps;
    // LapDtNum counts it only once they are done.
    laps.LapDt.resize(k);
    laps.LapDt.append(std::move(lap));
    analysis.SetDispSlot(k, k);
    analysis.SetDElm(k);
    analysis.SetGElm(k);
    analysis.CalCurValLap(k);
    if (k == 0) analysis.TakeCurPosFromSlot0();
    graphs.LapsShownChanged(LapsChange::Loaded);
    analysis.CalCurValAll();
    laps.LapDtNum = k + 1;
    return true;
}

LapClick StringGridLapDataDblClick(Session& s, const Services& sv, int row,
                                   const LapRefreshHooks& hooks, QString* error) {
    LapAnalysis analysis(s);
    return StringGridLapDataDblClick(analysis, sv, row, hooks, error);
}

LapClick StringGridLapDataDblClick(LapAnalysis& analysis, const Services& sv, int row,
                                   const LapRefreshHooks& hooks, QString* error) {
    if (error) error->clear();
    Session& s = analysis.session();
    const QVector<LapRow>& rows = s.lapList.Rows;
    if (row < 1 || row > rows.size()) return LapClick::Nothing;
    const LapRow& r = rows[row - 1];
    const QString number = r.Cells[DataNumberColumn];
    if (number.isEmpty()) return LapClick::Nothing;

    LoadedLaps& laps = s.loadedLaps;
    LapClick result = LapClick::Nothing;
    for (int k = 0; k < LoadedCount(laps); ++k) {
        if (laps.LapDt[k].DtName == number) {
            DelTrgDt(laps, s.comparison, k, *sv.graphs, *sv.video);
            result = LapClick::Removed;
            break;
        }
    }
    if (result == LapClick::Nothing) {
        if (laps.LapDtNum >= LoadedLaps::MaxLaps) return LapClick::Nothing;
        const QString source = r.Cells[SourceColumn];
        const QString fn = FindWorkingFile(s.folders.TempDir, number);
        if (LoadLapFileBin(fn, analysis, *sv.graphs, error)) {
            result = LapClick::Loaded;
            if (source.toUpper().contains(QStringLiteral(".CSV")) && hooks.LoadMotecGCsv)
                hooks.LoadMotecGCsv(laps.LapDtNum - 1, source);
        } else {
            result = LapClick::NotLoaded;
        }
    }

    analysis.CalSectTm();
    CalComparison(laps, s.comparison, s.sectorLines.Count());
    sv.graphs->LapsShownChanged(LapsChange::Clicked);
    if (hooks.SetSectGrid) hooks.SetSectGrid();
    if (hooks.RepaintLapList) hooks.RepaintLapList();
    sv.video->CalVideoRange();
    return result;
}

} // namespace vel
