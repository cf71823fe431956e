#pragma once
// The zoom map (PaintBoxZoom): a north-up map around the reference car at
// the cursor, MapZoom pixels per metre, with the course map, a scale bar,
// the sector lines, the tracks and one car marker per shown lap. No cached
// picture: the whole picture is drawn on every paint. Plain drawing functions of
// (painter, rectangle, state), shared by the pane, the tests and the
// picture export.
#include <optional>
#include <QPainter>
#include <QRect>
#include "views/map_projection.h"
#include "views/pane.h"

namespace vel {

// The whole map (PaintBoxZoomPaint).
void DrawZoomMap(QPainter& p, const QRect& r, const PaneInput& in);
// The picture export's zoom map (DrawZoomPicture): the map with
// "  Velmaris" after the scale label, the play time, and per shown lap its
// speed and distance at the cursor.
void DrawZoomPicture(QPainter& p, const QRect& r, const PaneInput& in);

// The view of a pane of this size around the cursor.
ZoomView ZoomViewOfPane(const QSize& size, const PaneInput& in);

// Parts of the map, in pane pixels.
void DrawZoomPath(QPainter& p, const ZoomView& v, const CoursePaths& course);
void DrawSectZoom(QPainter& p, const ZoomView& v, const SectorLines& sectors);
// The track of a slot's lap. A long lap is drawn through a grid of its
// samples made at its first drawing, so that only the samples near the view
// are looked at; everySample walks them all (the same picture).
void DrawZoom(QPainter& p, const ZoomView& v, const PaneInput& in, int slot, QColor c, bool everySample = false);
void DrawScaleBar(QPainter& p, const ZoomView& v, bool distKm, const QString& suffix = QString());
// Car markers at (x, y) pointing along heading dir (degrees, 180 up).
void DrawZoomCar(QPainter& p, QPoint at, double dir, QColor c);
void DrawZoomCarDrift(QPainter& p, QPoint at, double dir, QColor c);
// The marker points of a heading: forward angle (radians) and a point at
// angle a (radians) and radius r pixels from `at`.
double CarTheta(double dir);
QPoint CarPoint(QPoint at, double a, double r);

// The play time a left click at pixel `at` asks for: the reference lap's
// nearest sample, then the click projected onto the segment toward its
// nearer neighbour, its share of the segment's time. None without a
// reference lap, a usable view or samples. Playback is the caller's test.
std::optional<long double> ZoomClickTime(const QSize& size, QPoint at, const PaneInput& in);

} // namespace vel
