#pragma once
// The speed bars beside the speed graph: each shown slot's speed at the
// cursor on the speed graph's scale, with its speed and, while the G switch
// is on, its G written upward in its column.
#include <QRect>
#include "views/pane.h"

class QPainter;

namespace vel {

// Column left of slot k's bar (4, 20, 36, 52).
constexpr int SpeedBarX0(int slot) { return 4 + 16 * slot; }
// A G value cut to two decimals toward zero.
double CutG(double g);

void DrawSpeedBars(QPainter& p, const QRect& r, const PaneInput& in);

} // namespace vel
