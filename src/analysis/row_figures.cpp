#include "analysis/row_figures.h"

#include "analysis/sector_timing.h"

namespace vel {

void MakeSectTmList(const TLapDtRec& workLap, const SectorLines& lines, TDispSlotRec& workSect) {
    CalLapSectTimes(workLap, lines, workSect);
}

void CalDriftScore(const TLapDtRec& workLap, const SectorLines& lines, TDispSlotRec& workSect) {
    CalLapSects(workLap, lines, workSect, true);
}

} // namespace vel
