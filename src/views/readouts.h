#pragma once
// The cursor read-outs of the graph tab: the play time, one summary line per
// shown lap with its values at the cursor, and one line of sector times per
// shown lap.
#include <array>
#include <QString>
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/settings.h"

namespace vel {

struct ReadoutTexts {
    QString playTm;                   // LabelPlayTm
    std::array<QString, 4> summary;   // LabelA ... LabelD
    std::array<QString, 4> sectors;   // LabelSectA ... LabelSectD
};

// The texts SetDataStr puts into the nine labels. diffTmOn: PanelDiffTm is on.
ReadoutTexts ReadoutTextsOf(const LoadedLaps& laps, const Comparison& cmp, int sectNum, const Settings& settings,
                            bool diffTmOn);

} // namespace vel
