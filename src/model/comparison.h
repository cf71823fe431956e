#pragma once
// Display slots and the comparison of the shown laps.

namespace vel {

struct Comparison {};

} // namespace vel
