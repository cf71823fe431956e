#pragma once
// Lap cutting: the active samples of the log store become laps, each with a
// working file and a row of the lap list. All rows of one cut carry the lap
// list's current group number; the caller advances it afterwards.
#include <QString>
#include "model/line_choice.h"

namespace vel {

class RankingService;
struct Session;

// Laps at the control line lines.CtrlLine: every crossing ends a lap and
// starts the next, the first lap starts at the first active sample and the
// last ends at the last one. A lap is kept when its top speed is 4 km/h or
// more, its distance and time reach the settings' MinLapDist and MinLapTime,
// and its mean speed is 2 km/h or more. A line that is never crossed makes
// the whole selection one lap. false with error text when a working file
// can't be written; the rows added before stay. Each lap's samples go to
// ranking as its file is written.
bool CutLapCircuit(Session& session, const LineChoice& lines, QString* error = nullptr,
                   RankingService* ranking = nullptr);

// Runs from the start line lines.CtrlLine to the goal line lines.FinLine,
// kept without a test; a second start restarts the run, a goal without a
// start counts for nothing, a run without a goal is not kept. With
// lines.RallySta a run's time counts from the whole minute of its first
// sample. Errors as above.
bool CutLapStaGoal(Session& session, const LineChoice& lines, QString* error = nullptr,
                   RankingService* ranking = nullptr);

} // namespace vel
