#include "analysis/lap_analysis.h"

#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "analysis/lap_derive.h"
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

LapClick StringGridLapDataDblClick(Session& s, const Services& sv, int row,
                                   const LapRefreshHooks& hooks, QString* error) {
    if (error) error->clear();
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
        if (LoadLapFileBin(fn, laps, *sv.analysis, *sv.graphs, error)) {
            result = LapClick::Loaded;
            if (source.toUpper().contains(QStringLiteral(".CSV")) && hooks.LoadMotecGCsv)
                hooks.LoadMotecGCsv(laps.LapDtNum - 1, source);
        } else {
            result = LapClick::NotLoaded;
        }
    }

    if (hooks.CalSectTm) hooks.CalSectTm();
    CalComparison(laps, s.comparison, hooks.SectNum ? hooks.SectNum() : 0);
    sv.graphs->LapsShownChanged(LapsChange::Clicked);
    if (hooks.SetSectGrid) hooks.SetSectGrid();
    if (hooks.RepaintLapList) hooks.RepaintLapList();
    sv.video->CalVideoRange();
    return result;
}

} // namespace vel
