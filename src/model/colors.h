#pragma once
// Colours kept as 0x00BBGGRR values, as the program's files and tables
// state them, and their conversion for drawing.
#include <array>
#include <cstdint>
#include <QColor>

namespace vel {

// The laps shown in slots 0 to 3: red, blue, teal, olive. Panes draw slot 3
// first and slot 0 on top.
constexpr std::array<uint32_t, 4> SlotColor = {0x0000FF, 0xFF0000, 0x808000, 0x008080};

// 0x00BBGGRR as a colour.
inline QColor ColorOf(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

} // namespace vel
