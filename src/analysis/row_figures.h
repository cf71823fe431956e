#pragma once
// Sector times and drift figures of one lap-list row's lap, computed on the
// work lap (a row's working file loaded by a work load) into a work record.
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"

namespace vel {

// SectTm and SectStaSec of workSect from workLap; zero times without lines.
// Every other field of workSect keeps its value.
void MakeSectTmList(const TLapDtRec& workLap, const SectorLines& lines, TDispSlotRec& workSect);

// Every sector field of workSect: the timing and the drift figures,
// judgements and scores of workLap, whatever its drift flag; all reset
// values without lines.
void CalDriftScore(const TLapDtRec& workLap, const SectorLines& lines, TDispSlotRec& workSect);

} // namespace vel
