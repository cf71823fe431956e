#pragma once
// The drift view ("ドリフト" page, PaintBoxGraphDrift): a dial read from
// the top (0 up, 90 to either side, 180 down) with, per shown lap that
// drifts, a car outline turned by its drift angle, its heading line, and
// its speed (km/h whatever the unit setting) and drift angle as numbers.
// The dial is cached; the cars are the cursor layer. Plain drawing
// functions of (painter, rectangle, state), shared by the pane, the tests
// and the picture export.
#include <QPainter>
#include <QPolygon>
#include <QRect>
#include "views/pane.h"

namespace vel {

// Geometry of a dial of w x h pixels; th: height of "X" in the font in use.
struct DriftGeom {
    int w = 0, h = 0, th = 0;
    int V = 0, cx = 0, cy = 0, Ro = 0, Ri = 0, Rm = 0, Rl = 0, Ra = 0;
    QPoint P(double rho, double phi) const;   // phi in radians
    QPoint Q(double rho, double phi) const;
};
DriftGeom DriftGeomOf(const QSize& size, int th);

// The car of a drift angle a (degrees, heading minus course; positive
// turns clockwise): the outline's six points and the heading line's ends.
QPolygon DriftCarOutline(const DriftGeom& g, double a);
QLine DriftHeadingLine(const DriftGeom& g, double a);

// The values one slot shows, by the speed graph's axis: the car's angle
// (0 at 7 km/h or less), the speed, and the drift number.
struct DriftValues {
    double angle = 0, speed = 0;
    int number = 0;
};
DriftValues DriftValuesOf(const PaneInput& in, int slot);

// The cached dial (PaintBoxGraphDriftPaint).
void DrawDriftView(QPainter& p, const QRect& r, const PaneInput& in);
// The cursor layer (DrawCurDrift): cars, heading lines and numbers while
// the drift switch is on.
void DrawDriftCursor(QPainter& p, const QRect& r, const PaneInput& in);
// The picture export's drift view (DrawCurDriftPicture).
void DrawCurDriftPicture(QPainter& p, const QRect& r, const PaneInput& in);

} // namespace vel
