#include "analysis/sector_save_commands.h"

#include <algorithm>
#include <cmath>
#include <QFileInfo>
#include "common/geometry.h"
#include "model/lap_file.h"
#include "common/file_names.h"

namespace vel {

namespace {

constexpr long double SecPerDay = 86400.0L;
const QString DtbExt = QStringLiteral(".dtb");

int SampleCount(const TLapDtRec& lap) {
    return static_cast<int>(std::max<qsizetype>(0, std::min<qsizetype>(lap.ElmNum, lap.Elm.size())));
}

// A record at time x between samples a and b, built field by field; Tm, Sec
// and Dist are the caller's.
TLapElmRec InterpRec(const TLapElmRec& a, const TLapElmRec& b, long double x, const TLapElmRec& elvFrom) {
    TLapElmRec r;
    r.DtTm = a.DtTm + static_cast<double>((x - a.Sec) / SecPerDay);
    long double kdo = 0, ido = 0;
    InterpPt(x, a.Sec, b.Sec, a.Kdo, a.Ido, b.Kdo, b.Ido, kdo, ido);
    r.Kdo = static_cast<double>(kdo);
    r.Ido = static_cast<double>(ido);
    r.Spd = InterpVal(x, a.Sec, b.Sec, a.Spd, b.Spd);
    r.Dir = InterpDir(x, a.Sec, b.Sec, a.Dir, b.Dir);
    r.Elv = elvFrom.Elv;
    r.UseSat = elvFrom.UseSat;
    return r;
}

// Sample e with time and distance counted from (c, d0).
TLapElmRec Rebased(const TLapElmRec& e, long double c, long double d0) {
    TLapElmRec r = e;
    r.Tm = e.Tm - static_cast<double>(c / SecPerDay);
    r.Sec = e.Sec - c;
    r.Dist = e.Dist - d0;
    return r;
}

QVector<TLapElmRec> FirstSector(const TLapElmRec* e, int m, long double t) {
    QVector<TLapElmRec> out;
    out.reserve(m);
    for (int k = 0; k < m; ++k) {
        if (e[k].Sec < t) {
            out.append(e[k]);
            continue;
        }
        // The first sample at or past the passing ends the sector; one before
        // the passing would be needed to interpolate, so the first sample
        // stands for the passing itself.
        if (e[k].Sec == t || k == 0) {
            out.append(e[k]);
            return out;
        }
        TLapElmRec r = InterpRec(e[k - 1], e[k], t, e[k]);
        r.Tm = e[k - 1].Tm + static_cast<double>((t - e[k - 1].Sec) / SecPerDay);
        r.Sec = t;
        r.Dist = InterpVal(t, e[k - 1].Sec, e[k].Sec, e[k - 1].Dist, e[k].Dist);
        out.append(r);
        return out;
    }
    return out;
}

QVector<TLapElmRec> LaterSector(const TLapElmRec* e, int m, long double c, bool hasEnd, long double t) {
    QVector<TLapElmRec> out;
    int k = 0;
    while (k < m && !(e[k].Sec >= c)) ++k;
    if (k == m) return out;

    long double d0 = 0;
    TLapElmRec start;
    if (e[k].Sec == c || k == 0) {
        // The sample at the passing starts the sector; so does the first
        // sample when the passing lies before it, the time base moving to it.
        c = e[k].Sec;
        d0 = e[k].Dist;
        start = e[k];
        ++k;
    } else {
        start = InterpRec(e[k - 1], e[k], c, e[k - 1]);
        d0 = InterpVal(c, e[k - 1].Sec, e[k].Sec, e[k - 1].Dist, e[k].Dist);
    }
    if (hasEnd && !(t > c)) return out;
    start.Tm = 0;
    start.Sec = 0;
    start.Dist = 0;
    out.reserve(m);
    out.append(start);

    for (; k < m; ++k) {
        if (!hasEnd || !(e[k].Sec >= t)) {
            out.append(Rebased(e[k], c, d0));
            continue;
        }
        if (e[k].Sec == t) {
            out.append(Rebased(e[k], c, d0));
            return out;
        }
        // k is past the start record, so k - 1 exists.
        TLapElmRec r = InterpRec(e[k - 1], e[k], t, e[k]);
        r.Tm = static_cast<double>((t - c) / SecPerDay);
        r.Sec = t - c;
        r.Dist = InterpVal(t, e[k - 1].Sec, e[k].Sec, e[k - 1].Dist - d0, e[k].Dist - d0);
        out.append(r);
        return out;
    }
    return out;
}

const TLapDtRec* SlotLap(const Session& s, int slot) {
    if (slot < 0 || slot >= DispSlotNum) return nullptr;
    const TDispSlotRec& d = s.comparison.DispSlot[slot];
    if (!d.Active || d.LapIdx < 0 || d.LapIdx >= s.loadedLaps.LapDt.size()) return nullptr;
    return &s.loadedLaps.LapDt[d.LapIdx];
}

// Column 7 of the lap's row (the data number is the row's position).
QString SourceOf(const LapList& list, const QString& dtName) {
    bool ok = false;
    const int number = dtName.toInt(&ok);
    if (!ok || number < 0 || number >= list.Rows.size()) return {};
    return list.Rows[number].Cells[7];
}

} // namespace

int SectorOfColumn(SectGrid grid, int col) {
    const int per = grid == SectGrid::Sect ? 5 : 4;
    if (col < 0 || col >= per * SectArrNum) return -1;
    return col / per;
}

QString SectorRunName(const QString& dtName, int sector) {
    return dtName + QStringLiteral("_Sector") + QString::number(sector + 1) + DtbExt;
}

QVector<TLapElmRec> SectorRecords(const TLapDtRec& lap, const TDispSlotRec& slot, int s, int sectNum) {
    const int n = std::min(sectNum, SectArrNum - 1);
    if (n < 1 || s < 0 || s > n) return {};
    const int m = SampleCount(lap);
    if (m == 0) return {};
    const TLapElmRec* e = lap.Elm.constData();
    if (s == 0) return FirstSector(e, m, slot.SectStaSec[0]);
    return LaterSector(e, m, slot.SectStaSec[s - 1], s < n, s < n ? slot.SectStaSec[s] : 0.0L);
}

SectSaveOutcome SectorSaveCommands::StringGridSectDataDblClick(int row, int col, const QVector<QStringList>& cells) {
    return Save(SectGrid::Sect, row, col, cells);
}

SectSaveOutcome SectorSaveCommands::StringGridDriftDblClick(int row, int col, const QVector<QStringList>& cells) {
    return Save(SectGrid::Drift, row, col, cells);
}

SectSaveOutcome SectorSaveCommands::Save(SectGrid grid, int row, int col, const QVector<QStringList>& cells) {
    if (row < 1 || row > DispSlotNum || row >= cells.size()) return SectSaveOutcome::Nothing;
    const int s = SectorOfColumn(grid, col);
    if (s < 0 || col >= cells[row].size() || cells[row][col].isEmpty()) return SectSaveOutcome::Nothing;
    const TLapDtRec* lap = SlotLap(session_, row - 1);
    const int n = session_.sectorLines.Count();
    if (!lap || s > n) return SectSaveOutcome::Nothing;
    const TDispSlotRec& slot = session_.comparison.DispSlot[row - 1];
    // A sector not completed has no time; a time below 0 is no time either.
    if (!(slot.SectTm[s] > 0) || !std::isfinite(slot.SectTm[s])) return SectSaveOutcome::Nothing;
    if (SourceOf(session_.lapList, lap->DtName).toUpper().contains(".CSV")) {
        prompts_.Inform(CsvSectSaveRefused);
        return SectSaveOutcome::Refused;
    }

    Folders& dirs = session_.folders;
    FileDialogSpec dlg;
    dlg.title = SectRunSaveTitle;
    dlg.folder = RunSaveDialogFolder(dirs);
    dlg.fileName = SectorRunName(lap->DtName, s);
    dlg.filters = {SectRunFilter};
    SaveTargetSteps steps;
    steps.dialogOpen = &session_.FileDlgOpen;
    // The run dialogs open in the chosen folder next, overwrite declined or not.
    steps.chosen = [&dirs](const QString& target) {
        dirs.DataDir = FolderOf(target);
        TakeRunDialogFolder(dirs, dirs.DataDir);
    };
    const QString target = AskSaveTarget(prompts_, dlg, DtbExt, steps);
    if (target.isEmpty()) return SectSaveOutcome::Cancelled;

    const QVector<TLapElmRec> recs = SectorRecords(*lap, slot, s, n);
    if (recs.isEmpty()) return SectSaveOutcome::Empty;
    QString error;
    if (!WriteLapFile(target, recs, &error, false, &lap->Raw)) {
        prompts_.Error(error);
        return SectSaveOutcome::Failed;
    }
    lastTarget_ = target;
    return SectSaveOutcome::Written;
}

} // namespace vel
