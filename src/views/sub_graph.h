#pragma once
// The sub-graph of the speed graph: time difference, altitude and drift
// angle, drawn into the speed graph's plot with one scale in its right
// margin (the G scale too, for the G traces).
#include <QColor>
#include <QRect>
#include "views/pane.h"

class QPainter;

namespace vel {

// Which scale the right margin shows and which sub-graph curves are drawn.
struct SubGraphChoice {
    bool diffTm = false;          // time difference drawn, its scale printed
    bool gScale = false;
    bool driftScale = false;      // dotted zero line, "Drift" and "0"
    bool driftDegLabels = false;  // "deg", "90", "-90"
    int driftSlot = -1;           // first shown slot with drift data
    bool altLabels = false;
    bool altCurve = false;
};
// Whether the time difference can be drawn (distance axis, switch on, two
// laps, a curve that is not flat).
bool DiffTmDrawable(const PaneInput& in);
SubGraphChoice ChooseSubGraph(const PaneInput& in);

// The scales and the altitude of lap n in colour c; the time difference
// through DrawDiffTim.
void DrawElv(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
// The time difference of lap 1 against lap n; false when nothing was drawn.
bool DrawDiffTim(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
// The drift angle of lap n in colour c, width 2.
void DrawDriftAngle(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);

} // namespace vel
