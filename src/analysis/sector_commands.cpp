#include "analysis/sector_commands.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <QFileInfo>
#include "analysis/display_slots.h"
#include "analysis/sector_timing.h"
#include "common/geodesy.h"
#include "common/geometry.h"
#include "common/file_names.h"

namespace vel {

namespace {

const QString SciExt = QStringLiteral(".sci");

FileDialogSpec SectDialog(const QString& title, const QString& folder) {
    return OneFilterDialog(title, folder, SectFileFilter);
}

int SampleCount(const TLapDtRec& lap) {
    return static_cast<int>(std::max<qsizetype>(0, std::min<qsizetype>(lap.ElmNum, lap.Elm.size())));
}

bool Crosses(const TSectRec& s, const TLapElmRec& p, const TLapElmRec& q) {
    long double x = 0, y = 0;
    return SegCross(x, y, s.Kdo1, s.Ido1, s.Kdo2, s.Ido2, p.Kdo, p.Ido, q.Kdo, q.Ido);
}

const TLapDtRec* ReferenceLap(const LoadedLaps& laps, const Comparison& cmp) {
    const TDispSlotRec& s = cmp.DispSlot[0];
    if (!s.Active || s.LapIdx < 0 || s.LapIdx >= laps.LapDt.size()) return nullptr;
    return &laps.LapDt[s.LapIdx];
}

bool SameEnds(const TSectRec& a, const TSectRec& b) {
    return a.Kdo1 == b.Kdo1 && a.Ido1 == b.Ido1 && a.Kdo2 == b.Kdo2 && a.Ido2 == b.Ido2;
}

} // namespace

bool SectGate(long double lat, long double lon, long double heading, long double sectMt, TSectRec& out) {
    // At a pole (or beyond) no east-west width exists.
    if (!(std::fabs(lat) < 90)) return false;
    const long double cosLat = std::cos(lat * Pi / 180);
    const long double dLon = sectMt / (Pi * EarthR * cosLat) * 180;
    const long double dLat = sectMt / (Pi * EarthR) * 180;
    const long double a = heading * Pi / 180;
    TSectRec g;
    g.Kdo1 = lon + dLon * std::sin(a + Pi / 2);
    g.Ido1 = lat + dLat * std::cos(a + Pi / 2);
    g.Kdo2 = lon + dLon * std::sin(a + 3 * Pi / 2);
    g.Ido2 = lat + dLat * std::cos(a + 3 * Pi / 2);
    g.PassNo = 1;
    if (!std::isfinite(g.Kdo1) || !std::isfinite(g.Ido1) || !std::isfinite(g.Kdo2) || !std::isfinite(g.Ido2))
        return false;
    out = g;
    return true;
}

int32_t PassNoAtCursor(const TLapDtRec& ref, const TSectRec& line, long double playTm) {
    const int m = SampleCount(ref);
    const TLapElmRec* e = ref.Elm.constData();
    int32_t count = 0;
    for (int k = 1; k < m; ++k) {
        if (!Crosses(line, e[k - 1], e[k])) continue;
        ++count;
        if (e[k].Sec == playTm || (e[k - 1].Sec <= playTm && e[k].Sec >= playTm)) return count;
    }
    return 1;
}

void SortSectsByPassing(SectorLines& lines, const TLapDtRec& ref, int32_t& selSect) {
    const int n = lines.Count();
    if (n < 2) return;
    std::array<int, MaxSectLines> rank{-1, -1, -1, -1};
    std::array<int32_t, MaxSectLines> count{};
    int next = 0;
    const int m = SampleCount(ref);
    const TLapElmRec* e = ref.Elm.constData();
    for (int k = 1; k < m && next < n; ++k) {
        for (int i = 0; i < n; ++i) {
            if (rank[i] >= 0 || !Crosses(lines.Sect[i], e[k - 1], e[k])) continue;
            if (++count[i] == lines.Sect[i].PassNo) rank[i] = next++;
        }
    }
    // Ranked lines in rank order, then the others in their old order.
    std::array<int, MaxSectLines> order{};
    int placed = 0;
    for (int r = 0; r < next; ++r)
        for (int i = 0; i < n; ++i)
            if (rank[i] == r) order[placed++] = i;
    for (int i = 0; i < n; ++i)
        if (rank[i] < 0) order[placed++] = i;
    const std::array<TSectRec, MaxSectLines> old = lines.Sect;
    int32_t newSel = selSect;
    for (int p = 0; p < n; ++p) {
        lines.Sect[p] = old[order[p]];
        if (order[p] + 1 == selSect) newSel = p + 1;
    }
    selSect = newSel;
}

void RemoveSects(SectorLines& lines, const std::array<bool, MaxSectLines>& ticked, int32_t* selSect) {
    for (int k = MaxSectLines - 1; k >= 0; --k) {
        const int n = lines.Count();
        if (!ticked[k] || k >= n) continue;
        for (int i = k; i < MaxSectLines - 1; ++i) lines.Sect[i] = lines.Sect[i + 1];
        lines.SectNum = n - 1;
        if (selSect) {
            if (*selSect == k + 1) *selSect = 0;
            else if (*selSect > k + 1) --*selSect;
        }
    }
}

bool AddSectAtCursor(SectorLines& lines, const LoadedLaps& laps, Comparison& cmp, long double sectMt) {
    const TLapDtRec* ref = ReferenceLap(laps, cmp);
    const int n = lines.Count();
    if (!ref || n >= MaxSectLines) return false;
    const int m = SampleCount(*ref);
    const long double playTm = cmp.PlayTm;
    if (m < 1 || playTm == 0 || !(playTm < ref->Elm[m - 1].Sec)) return false;
    lines.EdSectSel = -1;

    const TCurValRec& cur = cmp.CurVal[0];
    TSectRec gate;
    if (!SectGate(cur.Ido, cur.Kdo, ref->driftAct ? cur.GpsDir : cur.Dir, sectMt, gate)) return false;
    for (int i = 0; i < n; ++i)
        if (SameEnds(lines.Sect[i], gate)) return false;
    gate.PassNo = PassNoAtCursor(*ref, gate, playTm);
    lines.Sect[n] = gate;
    lines.SectNum = n + 1;
    SortSectsByPassing(lines, *ref, cmp.SelSect);
    return true;
}

SectorCommands::SectorCommands(Session& session, SectorLines& lines, Prompts& prompts, const Services& services,
                               CircuitChooser chooser, SectReleaseAsk release, std::function<bool()> playing)
    : session_(session), lines_(lines), prompts_(prompts), services_(services), chooser_(std::move(chooser)),
      release_(std::move(release)), playing_(std::move(playing)) {}

void SectorCommands::SectRefresh(bool full) {
    LoadedLaps& laps = session_.loadedLaps;
    Comparison& cmp = session_.comparison;
    CalSectTm(lines_, laps, cmp);
    const int n = lines_.Count();
    CalCmpTmOfs(laps, cmp, n);
    CalDeltaTm(laps, cmp, n);
    AnalysisService& analysis = *services_.analysis;
    if (cmp.DispSlot[0].Active) {
        analysis.CalCurValLap(0);
        if (full) {
            analysis.TakeCurPosFromSlot0();
            for (int k = 1; k < DispSlotNum; ++k)
                if (cmp.DispSlot[k].Active) analysis.CalCurValLap(k);
            analysis.CalCurValAll();
        }
    }
    services_.ranking->SetSectTmList();
    services_.ranking->SetDriftAngleList();
    CalDistOfs(laps, cmp, n);
    services_.graphs->SectorsChanged();
    if (SetSectGrid) SetSectGrid();
}

bool SectorCommands::LoadFrom(const QString& path) {
    QString error;
    if (!LoadSectFile(path, lines_, session_.comparison.SelSect, &error)) {
        prompts_.Error(error);
        return false;
    }
    SectRefresh(true);
    return true;
}

void SectorCommands::SpeedButtonLdSectClick() {
    if (Playing()) return;
    QString path;
    {
        DialogFlag flag(session_.FileDlgOpen);
        const QStringList files = prompts_.OpenFiles(SectDialog(SectOpenTitle, session_.folders.SectDir));
        if (files.isEmpty() || files.first().isEmpty()) return;
        path = files.first();
    }
    // "X.SCI" opens as it is named.
    if (ExtensionOf(path).compare(SciExt, Qt::CaseInsensitive) != 0) path = ChangeExt(path, SciExt);
    if (!QFileInfo(path).isFile()) return;
    session_.folders.SectDir = FolderOf(path);
    LoadFrom(path);
}

void SectorCommands::SpeedButtonSvSectClick() {
    if (lines_.Count() == 0) return;
    DialogFlag flag(session_.FileDlgOpen);
    SaveTargetSteps steps;
    steps.chosen = [this](const QString& target) { session_.folders.SectDir = FolderOf(target); };
    const QString target = AskSaveTarget(prompts_, SectDialog(SectSaveTitle, session_.folders.SectDir), SciExt, steps);
    if (target.isEmpty()) return;
    QString error;
    if (!WriteSectFile(target, lines_, &error)) prompts_.Error(error);
}

void SectorCommands::SpeedButtonSelSectClick() {
    if (Playing()) return;
    const TLapDtRec* ref = ReferenceLap(session_.loadedLaps, session_.comparison);
    if (!ref || SampleCount(*ref) < 1) return;
    Catalogue& cat = session_.catalogue;
    CalSciGap(cat, ref->Elm[0].Kdo, ref->Elm[0].Ido);
    SetSelCirLstSci(cat, SelCircuitRadiusKm);
    const QVector<TSelCirDat> found = cat.SelCirLstSci;
    if (found.isEmpty()) {
        prompts_.Inform(SectNotFound);
        return;
    }
    int pick = 0;
    if (found.size() > 1) {
        DialogFlag flag(session_.FileDlgOpen);
        SelCircuitLists lists;
        lists.sci = CandidateNames(found);
        lists.useSci = true;
        const SelCircuitChoice c = chooser_ ? chooser_(lists) : SelCircuitChoice();
        if (!c.ok || c.sci < 0 || c.sci >= found.size()) return;
        pick = c.sci;
    }
    const QString path = CandidatePath(found, cat.SciDat, pick);
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    session_.folders.SectDir = FolderOf(path);
    LoadFrom(path);
}

void SectorCommands::SpeedButtonSetSectClick() {
    if (Playing()) return;
    if (AddSectAtCursor(lines_, session_.loadedLaps, session_.comparison, session_.settings.SectMt))
        SectRefresh(false);
}

void SectorCommands::SpeedButtonClrSectClick() {
    const int n = lines_.Count();
    if (n == 0 || Playing()) return;
    Comparison& cmp = session_.comparison;
    if (n == 1) {
        lines_.SectNum = 0;
        cmp.SelSect = 0;
        SectRefresh(true);
        return;
    }
    if (!release_) return;
    const SectRelease r = release_(n, false);
    if (!r.ok) return;
    if (r.all) {
        lines_.SectNum = 0;
        cmp.SelSect = 0;
    } else {
        RemoveSects(lines_, r.lines, &cmp.SelSect);
    }
    SectRefresh(true);
}

} // namespace vel
