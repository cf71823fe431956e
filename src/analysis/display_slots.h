#pragma once
// The four display slots, the display ranges the panes scale to, the removal
// of a shown lap and the comparison of the compared laps with the reference
// lap: time and distance offsets at the alignment line and the time
// difference over distance.
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/services.h"

namespace vel {

// Empties the four slots, puts the play time and the cursor position to 0
// and resets the display ranges. Sector results, offsets and the
// time-difference curve are left as they are.
void ClrDispSlots(Comparison& cmp);
// Every display range back to its reset value.
void ResetDispRanges(Comparison& cmp);

// Shows loaded lap `lap` in slot `slot` and widens the ranges by it; slot 0
// also takes its reference latitude. Out-of-range arguments do nothing.
void SetDispSlot(const LoadedLaps& laps, Comparison& cmp, int slot, int lap);

// A time value in days as seconds, rounded to the millisecond; no wrap at a
// day and never below 0.
long double LapSeconds(long double days);

// Laps loaded and counted, at most four.
int LoadedCount(const LoadedLaps& laps);

// The alignment line SelSect can be used: laps loaded, it names one of the
// sectNum lines, and every loaded lap passes every line.
bool AlignmentValid(const LoadedLaps& laps, const Comparison& cmp, int sectNum);

// Time offsets of the compared laps at the alignment line and the length of
// the time axis. An alignment that is not valid becomes 0, offsets 0.
void CalCmpTmOfs(const LoadedLaps& laps, Comparison& cmp, int sectNum);
// Distance offsets at the alignment line, or SelSect 0 when it is not
// valid; then the values of the compared laps at the cursor distance.
void CalDistOfs(const LoadedLaps& laps, Comparison& cmp, int sectNum);
// Time difference of lap 1 against lap 0 per sample of lap 0, with lap 1's
// distances stretched onto lap 0's per sector (every sector of both laps of
// non-zero length) or over the whole lap.
void CalDeltaTm(const LoadedLaps& laps, Comparison& cmp, int sectNum);

// The comparison after the shown laps or the sector results changed: time
// offsets, time-difference curve, every shown lap's values at the cursor at
// its new offset, distance offsets and the values at the cursor distance.
void CalComparison(const LoadedLaps& laps, Comparison& cmp, int sectNum);

// Removes loaded lap n: playback stops, later laps move down one slot, the
// ranges and cursor values are rebuilt from the remaining laps and the
// cursor layers refreshed. The offsets stay as they were until the caller
// recomputes them. An n that is not loaded removes nothing.
void DelTrgDt(LoadedLaps& laps, Comparison& cmp, int n, GraphsService& graphs, VideoService& video);

} // namespace vel
