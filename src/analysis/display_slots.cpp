#include "analysis/display_slots.h"

namespace vel {

void ClrDispSlots(Comparison&) {}

} // namespace vel
