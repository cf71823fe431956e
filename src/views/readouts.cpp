#include "views/readouts.h"

#include "analysis/display_slots.h"
#include "common/datetime.h"

namespace vel {

namespace {

constexpr double KmPerFoot = 0.0003048;
constexpr double KmhPerMph = 1.609344;

QString SummaryText(const TLapDtRec& lap, const TCurValRec& cur, const Settings& st) {
    QString t = LapTimeText(LapSeconds(lap.LapTim)) + ' ';
    const double dist = double(st.DistKm ? lap.LapDist : lap.LapDist / KmPerFoot);
    const double ave = double(st.SpdKmh ? lap.AveSpd : lap.AveSpd / KmhPerMph);
    const double max = double(st.SpdKmh ? lap.MaxSpd : lap.MaxSpd / KmhPerMph);
    const double curDist = double(st.DistKm ? cur.Dist : cur.Dist / KmPerFoot);
    const double curSpd = double(st.SpdKmh ? cur.Spd : cur.Spd / KmhPerMph);
    const char* spdUnit = st.SpdKmh ? "km/h" : "MPH";
    if (st.DistKm) {
        t += QString::asprintf("%.3fkm AVE=%.2f%s MAX=%.2f%s ", dist, ave, spdUnit, max, spdUnit);
        t += QString::asprintf("> %.3fkm %.2f%s", curDist, curSpd, spdUnit);
    } else {
        t += QString::asprintf("%.0ffeet AVE=%.2f%s MAX=%.2f%s ", dist, ave, spdUnit, max, spdUnit);
        t += QString::asprintf("> %.0ffeet %.2f%s", curDist, curSpd, spdUnit);
    }
    return t;
}

} // namespace

ReadoutTexts ReadoutTextsOf(const LoadedLaps& laps, const Comparison& cmp, int sectNum, const Settings& settings,
                            bool diffTmOn) {
    ReadoutTexts r;
    r.playTm = LapTimeText(cmp.PlayTm);
    // One lap alone has no curve; its extremes would be left over from before.
    const bool curve = diffTmOn && cmp.DeltaTmMax > cmp.DeltaTmMin && cmp.DispSlot[1].Active;
    const int lines = sectNum < 0 ? 0 : (sectNum > SectArrNum - 1 ? SectArrNum - 1 : sectNum);
    for (int k = 0; k < DispSlotNum; ++k) {
        const TDispSlotRec& slot = cmp.DispSlot[k];
        if (!slot.Active || slot.LapIdx < 0 || slot.LapIdx >= laps.LapDt.size()) {
            r.summary[k] = r.sectors[k] = QStringLiteral(".");
            continue;
        }
        const TLapDtRec& lap = laps.LapDt[slot.LapIdx];
        QString summary = SummaryText(lap, cmp.CurVal[k], settings);
        if (k == 0 && curve) {
            const double d = double(cmp.CurDeltaTm);
            summary += d > 0 ? QString::asprintf(" +%.3fsec", d) : QString::asprintf(" %.3fsec", d);
        }
        r.summary[k] = summary;
        QString sect = '[' + lap.DtName + ']';
        if (lines >= 1)
            for (int i = 0; i <= lines; ++i) sect += QStringLiteral(", ") + LapTimeText(slot.SectTm[i]);
        r.sectors[k] = sect;
    }
    return r;
}

} // namespace vel
