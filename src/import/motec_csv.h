#pragma once
// MoTeC CSV exports as runs of the lap list, and their G channels onto a
// loaded lap of such a run.
#include <QString>
#include "import/run_loaders.h"
#include "model/loaded_laps.h"

namespace vel {

// A MoTeC CSV file as one row of the lap list, column 7 holding fn so that
// the row finds its file again. Without GPS columns the samples borrow their
// place from loaded lap 0 and, when close, its distance. Nothing is added and
// nothing said for a file that is missing or not laid out as an export; a
// log date or time in no known format, a read error or a file without a
// usable data line give error text.
LoadResult LoadLapFileToGrigMotecCsv(const QString& fn, Session& session, RankingService* ranking = nullptr);

// Overwrites lateG3, logiG3 and XYG of the lap's samples with the file's
// "G Force Lat" and "G Force Long" channels, sample j taking the j-th data
// line the row import took. false when nothing was applied: the file
// missing, not laid out as an export or without both G channels (error left
// empty), or unreadable (error says why).
bool LoadMotecGCsv(TLapDtRec& lap, const QString& fn, QString* error = nullptr);

} // namespace vel
