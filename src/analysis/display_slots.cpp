#include "analysis/display_slots.h"

#include <algorithm>
#include <cmath>
#include "analysis/cursor_values.h"
#include "common/geometry.h"

namespace vel {

namespace {

constexpr long double SecPerDay = 86400.0L;

int ClampSectNum(int sectNum) { return std::clamp(sectNum, 0, SectArrNum - 1); }

} // namespace

void ResetDispRanges(Comparison& cmp) {
    const Comparison fresh;
    cmp.DispIdoMin = fresh.DispIdoMin;
    cmp.DispIdoMax = fresh.DispIdoMax;
    cmp.DispKdoMin = fresh.DispKdoMin;
    cmp.DispKdoMax = fresh.DispKdoMax;
    cmp.DispMinSpd = fresh.DispMinSpd;
    cmp.DispMaxSpd = fresh.DispMaxSpd;
    cmp.DispElvLo = fresh.DispElvLo;
    cmp.DispElvHi = fresh.DispElvHi;
    cmp.DispLapDist = fresh.DispLapDist;
    cmp.DispLapSec = fresh.DispLapSec;
}

void ClrDispSlots(Comparison& cmp) {
    for (TDispSlotRec& slot : cmp.DispSlot) {
        slot.Active = false;
        slot.LapIdx = -1;
    }
    cmp.PlayTm = 0;
    cmp.CurIdo = 0;
    cmp.CurKdo = 0;
    ResetDispRanges(cmp);
}

long double LapSeconds(long double days) {
    const long double s = std::round(days * SecPerDay * 1000.0L) / 1000.0L;
    return s > 0 ? s : 0;
}

int LoadedCount(const LoadedLaps& laps) {
    const qsizetype n = std::min<qsizetype>(laps.LapDtNum, laps.LapDt.size());
    return static_cast<int>(std::clamp<qsizetype>(n, 0, DispSlotNum));
}

void SetDispSlot(const LoadedLaps& laps, Comparison& cmp, int slot, int lap) {
    if (slot < 0 || slot >= DispSlotNum || lap < 0 || lap >= laps.LapDt.size()) return;
    const TLapDtRec& l = laps.LapDt[lap];
    cmp.DispSlot[slot].Active = true;
    cmp.DispSlot[slot].LapIdx = lap;
    if (slot == 0 && !l.Elm.isEmpty()) cmp.RefIdo = l.Elm.front().Ido;
    // The ranges only grow here; a reset shrinks them.
    if (l.IdoMin < cmp.DispIdoMin) cmp.DispIdoMin = l.IdoMin;
    if (l.IdoMax > cmp.DispIdoMax) cmp.DispIdoMax = l.IdoMax;
    if (l.KdoMin < cmp.DispKdoMin) cmp.DispKdoMin = l.KdoMin;
    if (l.KdoMax > cmp.DispKdoMax) cmp.DispKdoMax = l.KdoMax;
    if (l.MinSpd < cmp.DispMinSpd) cmp.DispMinSpd = l.MinSpd;
    if (l.MaxSpd > cmp.DispMaxSpd) cmp.DispMaxSpd = l.MaxSpd;
    if (l.ElvLo < cmp.DispElvLo) cmp.DispElvLo = l.ElvLo;
    if (l.ElvHi > cmp.DispElvHi) cmp.DispElvHi = l.ElvHi;
    if (l.LapDist > cmp.DispLapDist) cmp.DispLapDist = l.LapDist;
    const long double sec = LapSeconds(l.LapTim);
    if (sec > cmp.DispLapSec) cmp.DispLapSec = sec;
    cmp.SecRises[slot] = SecRises(l);
    cmp.DistRises[slot] = DistRises(l);
}

bool AlignmentValid(const LoadedLaps& laps, const Comparison& cmp, int sectNum) {
    const int count = LoadedCount(laps);
    if (count < 1 || sectNum <= 0 || sectNum >= SectArrNum) return false;
    if (cmp.SelSect < 1 || cmp.SelSect > sectNum) return false;
    for (int k = 0; k < count; ++k)
        for (int j = 0; j < sectNum; ++j)
            if (cmp.DispSlot[k].SectStaDist[j] == 0) return false;
    return true;
}

void CalCmpTmOfs(const LoadedLaps& laps, Comparison& cmp, int sectNum) {
    cmp.TmOfs.fill(0);
    if (cmp.SelSect >= 1) {
        // A lap that misses the line cannot be aligned in time any more than
        // in distance.
        if (!AlignmentValid(laps, cmp, sectNum)) {
            cmp.SelSect = 0;
        } else {
            const int j = cmp.SelSect - 1;
            for (int k = 1; k < DispSlotNum; ++k)
                if (cmp.DispSlot[k].Active)
                    cmp.TmOfs[k] = cmp.DispSlot[k].SectStaSec[j] - cmp.DispSlot[0].SectStaSec[j];
        }
    }
    const auto lapOf = [&](int k) -> const TLapDtRec* {
        const int i = cmp.DispSlot[k].LapIdx;
        return cmp.DispSlot[k].Active && i >= 0 && i < laps.LapDt.size() ? &laps.LapDt[i] : nullptr;
    };
    const TLapDtRec* ref = lapOf(0);
    if (!ref) return;
    cmp.DispLapSec = LapSeconds(ref->LapTim);
    for (int k = 1; k < DispSlotNum; ++k) {
        const TLapDtRec* lap = lapOf(k);
        if (!lap) continue;
        // In seconds, not as a time of day: a large offset neither wraps nor
        // turns negative.
        const long double sec = LapSeconds(lap->LapTim - cmp.TmOfs[k] / SecPerDay);
        if (sec > cmp.DispLapSec) cmp.DispLapSec = sec;
    }
}

void CalDistOfs(const LoadedLaps& laps, Comparison& cmp, int sectNum) {
    cmp.DistOfs.fill(0);
    if (AlignmentValid(laps, cmp, sectNum)) {
        const int j = cmp.SelSect - 1;
        const int count = LoadedCount(laps);
        for (int k = 1; k < count; ++k)
            cmp.DistOfs[k] = cmp.DispSlot[k].SectStaDist[j] - cmp.DispSlot[0].SectStaDist[j];
    } else {
        cmp.SelSect = 0;
    }
    CalCurValAll(laps, cmp);
}

void CalDeltaTm(const LoadedLaps& laps, Comparison& cmp, int sectNum) {
    cmp.DeltaTm.clear();
    cmp.DeltaTmMin = 0;
    cmp.DeltaTmMax = 0;
    if (LoadedCount(laps) < 2) return;
    const TLapDtRec& lap0 = laps.LapDt[0];
    const TLapDtRec& lap1 = laps.LapDt[1];
    const qsizetype m0 = lap0.Elm.size();
    const qsizetype m1 = lap1.Elm.size();
    if (m0 == 0 || m1 == 0) return;
    const TLapElmRec* e0 = lap0.Elm.constData();
    const TLapElmRec* e1 = lap1.Elm.constData();

    // Lap 1's distances stretched onto lap 0's.
    QVector<long double> dist(m1);
    long double* D = dist.data();
    const long double scale = lap1.LapDist != 0 ? lap0.LapDist / lap1.LapDist : 1.0L;
    for (qsizetype j = 0; j < m1; ++j) D[j] = e1[j].Dist * scale;

    const int sn = ClampSectNum(sectNum);
    const TDispSlotRec& s0 = cmp.DispSlot[0];
    const TDispSlotRec& s1 = cmp.DispSlot[1];
    bool perSector = sectNum > 0 && sn == sectNum;
    for (int j = 0; perSector && j <= sn; ++j)
        if (s0.SectLen[j] == 0 || s1.SectLen[j] == 0) perSector = false;
    if (perSector) {
        int s = 0;
        long double base0 = 0, base1 = 0;
        long double f = s0.SectLen[0] / s1.SectLen[0];
        for (qsizetype j = 0; j < m1; ++j) {
            if (s < sn && s1.SectStaDist[s] <= e1[j].Dist) {
                base0 = s0.SectStaDist[s];
                base1 = s1.SectStaDist[s];
                ++s;
                f = s0.SectLen[s] / s1.SectLen[s];
            }
            D[j] = base0 + f * (e1[j].Dist - base1);
        }
    }

    const long double ofs = cmp.TmOfs[1];
    cmp.DeltaTm.resize(m0);
    long double* dt = cmp.DeltaTm.data();
    long double lo = 1000, hi = -1000;
    dt[0] = -ofs;
    qsizetype j = 0;
    for (qsizetype i = 1; i < m0; ++i) {
        const long double d = e0[i].Dist;
        while (j < m1 - 1 && !(d <= D[j])) ++j;
        if (j >= m1 - 1) {
            // Lap 0 runs on past lap 1: the rest take the difference at the ends.
            const long double v = e1[m1 - 1].Sec - e0[m0 - 1].Sec - ofs;
            for (qsizetype k = i; k < m0; ++k) dt[k] = v;
            if (v < lo) lo = v;
            if (v > hi) hi = v;
            break;
        }
        long double t;
        if (D[j] == d) t = e1[j].Sec;
        else if (j == 0) t = e1[0].Sec;   // nothing before lap 1's first sample
        else t = InterpVal(d, D[j - 1], D[j], e1[j - 1].Sec, e1[j].Sec);
        const long double v = t - e0[i].Sec - ofs;
        dt[i] = v;
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    cmp.DeltaTmMin = lo;
    cmp.DeltaTmMax = hi;
}

void CalComparison(const LoadedLaps& laps, Comparison& cmp, int sectNum) {
    CalCmpTmOfs(laps, cmp, sectNum);
    CalDeltaTm(laps, cmp, sectNum);
    // Every shown lap again at its new offset, before the distance values.
    CalCurValLaps(laps, cmp);
    CalDistOfs(laps, cmp, sectNum);
}

void DelTrgDt(LoadedLaps& laps, Comparison& cmp, int n, GraphsService& graphs, VideoService& video) {
    graphs.StopPlayback();
    if (video.VideoDuration() > 0 && video.VideoSynced()) video.Pause();

    const int count = LoadedCount(laps);
    if (n >= 0 && n < count) {
        laps.LapDt.resize(count);
        laps.LapDt.remove(n);
        cmp.DispSlot[count - 1].Active = false;
        laps.LapDtNum = count - 1;
        cmp.PlayTm = 0;
        if (laps.LapDtNum > 0) {
            ResetDispRanges(cmp);
            for (int i = 0; i < laps.LapDtNum; ++i) {
                SetDispSlot(laps, cmp, i, i);
                CalCurValLap(laps, cmp, i);
                if (i == 0) TakeCurPosFromSlot0(cmp);
            }
        }
        CalCurValAll(laps, cmp);
        graphs.LapsShownChanged(LapsChange::Removed);
    }
    if (LoadedCount(laps) == 0) {
        cmp.PlayTm = 0;
        cmp.CurIdo = 0;
        cmp.CurKdo = 0;
        cmp.RefIdo = 0;
        ResetDispRanges(cmp);
    }
}

} // namespace vel
