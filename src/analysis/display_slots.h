#pragma once
#include "model/comparison.h"

namespace vel {

// Empties the four display slots and resets the display ranges.
void ClrDispSlots(Comparison& cmp);

} // namespace vel
