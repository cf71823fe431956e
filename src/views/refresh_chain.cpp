#include "views/refresh_chain.h"

#include "analysis/cursor_values.h"

namespace vel {

void CalCursorValues(const LoadedLaps& laps, Comparison& cmp) {
    if (cmp.DispSlot[0].Active) {
        CalCurValLap(laps, cmp, 0);
        TakeCurPosFromSlot0(cmp);
    }
    for (int k = 1; k < DispSlotNum; ++k)
        if (cmp.DispSlot[k].Active) CalCurValLap(laps, cmp, k);
    CalCurValAll(laps, cmp);
}

void RefreshChain(const LoadedLaps& laps, Comparison& cmp, GraphsService& graphs, PlayEntry entry) {
    CalCursorValues(laps, cmp);
    graphs.PlayTimeMoved(entry);
}

} // namespace vel
