#pragma once
// The G traces drawn over the speed graph: lateral, longitudinal or combined
// G of a lap, full scale by the G range step.
#include <QColor>
#include <QRect>
#include "views/pane.h"

class QPainter;

namespace vel {

// Row of a G value v in a plot of top gT and height gH at full scale S:
// combined G from the three-quarter line up, the others around mid-height.
int GTraceY(double v, double S, bool combined, int gT, int gH);

void DrawXG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
void DrawYG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
void DrawXYG2(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
// The dotted guide lines (slot 0 shown) and the traces of slots 3 to 0 in
// the trace colours, as ComboBoxG chooses.
void DrawGTraces(QPainter& p, const QRect& plot, const PaneInput& in);

} // namespace vel
