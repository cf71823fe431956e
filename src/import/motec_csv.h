#pragma once
// MoTeC CSV exports as runs of the lap list.
#include <QString>
#include "import/run_loaders.h"

namespace vel {

// A MoTeC CSV file as one row of the lap list.
LoadResult LoadLapFileToGrigMotecCsv(const QString& fn, Session& session);

} // namespace vel
