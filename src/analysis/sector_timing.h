#pragma once
// Sector timing of the shown laps at the sector lines, with the drift of
// each sector measured, judged and scored for laps that drift.
#include <cstdint>
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"

namespace vel {

// Drift judgement limits.
constexpr int32_t DrAngLim = 99;          // largest angle (deg) that counts for hold and swing-back
constexpr long double DrHoldAng = 30.0L;  // one-sided angle for an angle hold
constexpr long double DrInitAng = 15.0L;  // angle of a swing-out in sector 0
constexpr long double DrSwingAng = 15.0L; // angle both sides reach in a swing-back
constexpr long double DrRateMin = 20.0L;  // smallest angle rate (deg/s) that counts
constexpr long double DrSpdMin = 10.0L;   // smallest sector speed (km/h) for hold and swing-back
constexpr long double DrRateStepMin = 0.01L;   // s; shorter steps give no rate

enum SectJudgement : int32_t { JudgeNone = 0, JudgeSwingOut = 1, JudgeHold = 2, JudgeSwingBack = 3 };

// Every sector field back to its reset value: figures 0, judgements 0,
// angle indices -1.
void ResetSectFields(TDispSlotRec& slot);

// Times lap at the lines into the sector fields of out (reset first), and
// with drift also measures, judges and scores each sector's drift angles
// (DElm of the lap; skipped when the lap lacks them). A line not passed
// leaves its sector and every later one at the reset values.
void CalLapSects(const TLapDtRec& lap, const SectorLines& lines, TDispSlotRec& out, bool drift);
// Only SectTm and SectStaSec (reset first); every other field keeps its value.
void CalLapSectTimes(const TLapDtRec& lap, const SectorLines& lines, TDispSlotRec& out);

// Sector timing of every active display slot from its loaded lap; the drift
// figures only for laps with the drift flag. No sector line: nothing changes.
void CalSectTm(const SectorLines& lines, const LoadedLaps& laps, Comparison& cmp);

// The judgement of finished sector figures; sector 0 is judged for a
// swing-out, later sectors for an angle hold or a swing-back.
int32_t SectJudgeOf(int sector, long double maxAng, long double minAng, long double aveAng,
                    long double minSpd);
// The score of a judged sector before truncation; 0 for judgement 0.
long double SectScoreRaw(int32_t judge, const TDispSlotRec& s, int sector);
// s as a multiple of 0.1 truncated toward zero (7.29 gives 7.2, -0.47 gives
// -0.4); a value a rounding error below a tenth keeps that tenth. Not a
// number gives 0.
long double TruncTenth(long double s);

} // namespace vel
