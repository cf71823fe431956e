#pragma once
// The values of every shown lap at the cursor: in time at the play time plus
// the slot's time offset, and for the compared laps in distance at the
// reference lap's cursor distance plus the slot's distance offset.
#include "model/comparison.h"
#include "model/loaded_laps.h"

namespace vel {

// Time-domain values of loaded lap k (shown in slot k) into CurVal[k] at lap
// time PlayTm + TmOfs[k]; lap 0 also sets CurDeltaTm while the curve exists.
// A lap without the sample G values are read from gives G 0.
void CalCurValLap(const LoadedLaps& laps, Comparison& cmp, int k);
// CurIdo and CurKdo from the cursor values of slot 0.
void TakeCurPosFromSlot0(Comparison& cmp);
// CalCurValLap for every active slot, the cursor position after slot 0.
void CalCurValLaps(const LoadedLaps& laps, Comparison& cmp);
// Distance-domain values of every active slot; nothing unless slot 0 is active.
void CalCurValAll(const LoadedLaps& laps, Comparison& cmp);

// True when every Sec (rises = Sec) or every Dist (rises = Dist) of the lap
// is a number not below the one before, so searches may bisect.
bool SecRises(const TLapDtRec& lap);
bool DistRises(const TLapDtRec& lap);

} // namespace vel
