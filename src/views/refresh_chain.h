#pragma once
// The refresh chain that follows every move of the play time: the values of
// every shown lap at the cursor, then the panes repaint in the order of the
// entry that moved it.
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/services.h"

namespace vel {

// Slot 0's values at PlayTm and the cursor position from them, each active
// compared slot's values at PlayTm plus its offset, then the values at the
// reference lap's cursor distance. Inactive slots are skipped.
void CalCursorValues(const LoadedLaps& laps, Comparison& cmp);

// CalCursorValues, then graphs.PlayTimeMoved(entry).
void RefreshChain(const LoadedLaps& laps, Comparison& cmp, GraphsService& graphs, PlayEntry entry);

} // namespace vel
