#pragma once
// The G traces drawn over the speed graph: lateral, longitudinal or combined
// G of a lap, full scale by the G range step.
#include <QColor>
#include <QRect>
#include "views/pane.h"
#include "views/speed_plot.h"

class QPainter;

namespace vel {

// Rows of G values in a plot of top gT and height gH at full scale S:
// combined G from the three-quarter line up, the others around mid-height.
class GTraceRows {
public:
    GTraceRows(double S, bool combined, int gT, int gH)
        : S_(S), combined_(combined), gH_(gH), base_(gT + (3 * gH) / 4), perScale_(combined ? 2 * S : 4 * S) {}
    int operator()(double v) const {
        if (!(S_ > 0)) return base_;
        return base_ - perScale_(combined_ ? gH_ * v : gH_ * (v + S_));
    }

private:
    double S_;
    bool combined_;
    int gH_, base_;
    TrDiv perScale_;
};
inline int GTraceY(double v, double S, bool combined, int gT, int gH) { return GTraceRows(S, combined, gT, gH)(v); }

void DrawXG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
void DrawYG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
void DrawXYG2(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
// The dotted guide lines (slot 0 shown) and the traces of slots 3 to 0 in
// the trace colours, as ComboBoxG chooses.
void DrawGTraces(QPainter& p, const QRect& plot, const PaneInput& in);

} // namespace vel
