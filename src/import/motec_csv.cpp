#include "import/motec_csv.h"

namespace vel {

LoadResult LoadLapFileToGrigMotecCsv(const QString&, Session&) { return {}; }

} // namespace vel
