#pragma once
// The speed graph: the speed of every shown lap over distance or time, with
// its grid, axis, sector lines, alignment mark and the layers drawn into the
// same plot (sub-graph, G traces, drift angle). Plain drawing functions of
// (painter, rectangle, state), shared by the pane, the picture export and
// the tests; the position bar is drawn apart, over the last picture.
#include <optional>
#include <QColor>
#include <QVector>
#include "views/pane.h"
#include "views/speed_plot.h"

namespace vel {

// Colours of the speed graph.
namespace spdcol {
inline const QColor Frame(192, 192, 192);
inline const QColor Grid(224, 224, 224);
inline const QColor TickLabel(128, 128, 128);
inline const QColor SubBase(160, 160, 160);
inline const QColor FewSats(192, 192, 192);
} // namespace spdcol
// G and drift traces of slot k.
QColor TraceColor(int slot);

// Tick steps of the horizontal axis for a window of width w.
double DistTickStepKm(double wKm);
double FeetTickStepFt(double wFt);
double TimeTickStep(double wSec);
// Ticks v of a window [s, s + w]: the first multiple of step above s, then
// every step while v < s + w.
QVector<double> AxisTicks(double s, double w, double step);
// The time label of a tick ("m:ss" for steps up to 60 s, else "h:mm").
QString TimeTickLabel(double v, double step);
// Step of the speed grid for a range R in the shown unit.
int SpeedGridStep(double range, bool kmh);
// Rows y of the speed grid lines of a range [lo, hi] in the shown unit.
QVector<int> SpeedGridRows(double lo, double hi, bool kmh, int T, int H);

// The whole pane without the position bar, drawn into r (filled white first).
void DrawSpeedGraph(QPainter& p, const QRect& r, const PaneInput& in);
// The export picture: r is filled by the caller; nothing at all is drawn
// without shown laps; the unit label carries the program's name.
void DrawSpdPicture(QPainter& p, const QRect& r, const PaneInput& in);
// The speed curve of lap n in colour c into the plot rectangle.
void DrawSpd(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c);
// The position bar of a pane drawn into r: red on the distance axis, black on time.
void DrawPosBar(QPainter& p, const QRect& r, const PaneInput& in);
// The same with the geometry the picture under it was drawn with.
void DrawPosBar(QPainter& p, const QRect& r, const PaneInput& in, const SpeedGeometry& g);

// The reference lap's time at distance d (km): exact sample, else linear
// between the samples around it; before the first or beyond the last sample
// that sample's time.
double LapSecAtDist(const TLapDtRec& lap, double d);
// The play time a left click at pt in a pane of the given size asks for;
// none when the click lies outside the plot or nothing is shown.
std::optional<double> SpeedGraphClickTime(const PaneInput& in, const SpeedGeometry& g, QPoint pt);

// An axis-mode tab ("キョリ" or "時間") reading upward, open towards the graph
// when selected.
void DrawAxisTab(QPainter& p, QSize box, const QString& caption, bool distTab, bool selected);

} // namespace vel
