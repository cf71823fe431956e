#pragma once
// The G view ("G / 旋回半径" page, PaintBoxGraphG): a G-G diagram, lateral G
// across, longitudinal G down (braking up), the lower vertical axis also a
// turning-radius scale (300 m at the outer circle). The cached picture holds
// the diagram and each shown lap's scatter; the cursor layer the G bars,
// one dot and radius arrow per lap, the read-out lines and the G under the
// mouse. Speeds are km/h whatever the unit setting. Plain drawing functions
// of (painter, rectangle, state), shared by the pane, the tests and the
// picture export.
#include <optional>
#include <QPainter>
#include <QRect>
#include "views/pane.h"

namespace vel {

// Geometry of a pane or picture of w x h pixels.
struct GGeom {
    int w = 0, h = 0, d = 0, cx = 0, cy = 0, r = 0;
    double F = 2;   // G at the outer circle
    // G (lateral gx, longitudinal gy) to a pixel: positive gx right, gy down.
    QPoint Pixel(double gx, double gy) const;
    // Pixel of a turning radius on the lower vertical axis.
    int RadiusY(double radius) const;
};
GGeom GGeomOf(const QSize& size, int32_t gRangeIdx);

// The values a slot shows at the cursor, by the speed graph's axis.
struct GValues {
    double gx = 0, gy = 0, R = 0, v = 0;
};
GValues GValuesOf(const PaneInput& in, int slot);

// The cached diagram (PaintBoxGraphGPaint).
void DrawGView(QPainter& p, const QRect& r, const PaneInput& in);
// The cursor layer (DrawCurG): bars (with a reference lap), dots, radius
// arrows and read-out lines; with a mouse position inside the pane also
// the G and radius under it.
void DrawGViewCursor(QPainter& p, const QRect& r, const PaneInput& in, std::optional<QPoint> mouse = std::nullopt);
// What a mouse move over the view writes (PaintBoxGraphGMouseMove): the G
// under the pointer at the top left and the radius below it, blanked above
// the centre; it stays over the cursor layer until that is drawn again.
void DrawGMouseMove(QPainter& p, const QRect& r, const PaneInput& in, QPoint mouse);
// The picture export's G view (DrawGPicture): diagram, title, dots and arrows.
void DrawGPicture(QPainter& p, const QRect& r, const PaneInput& in);

// Scatter of one slot's lap (DrawFricCir), into a picture of geometry g.
void DrawFricCir(QPainter& p, const GGeom& g, const PaneInput& in, int slot, QColor c);
// Sample indices DrawFricCir plots: 1 to ElmNum - 2, only the odd ones and
// the last for a lap logged at 10 Hz or faster and longer than 7.5 km.
QVector<int> ScatterIndices(const TLapDtRec& lap);
// G bar of slot n (0 to 3) or the bar scale (n = 4) at place pn from the
// right edge of a picture of the given size (DrawZoomGBar).
void DrawZoomGBar(QPainter& p, const QSize& size, const PaneInput& in, int n, int pn);

// The hover read-outs the zoom map puts on the G view.
struct GHoverRow {
    int slot = 0;
    int sample = 0;     // the lap's sample nearest to the mouse
    double gx = 0, gy = 0, v = 0;   // cut to one decimal; v in the unit shown
};
struct GHover {
    QString distText;   // LabelZoomDist
    bool drawRows = false;   // the G page is in front and playback stopped
    QVector<GHoverRow> rows;
};
// What a mouse at pixel `at` of a zoom map of `zoomSize` reads out;
// gPageShown: the G page is in front.
GHover GHoverAt(const QSize& zoomSize, QPoint at, const PaneInput& in, bool gPageShown);
// The rows, and the G points with their trails for slots 0 and 1, drawn
// over the G view's cursor layer.
void DrawGHover(QPainter& p, const QRect& r, const PaneInput& in, const GHover& hover);
// Trail length in samples by the lap's first sampling interval; 0 for a
// lap of fewer than two samples.
int HoverTrailLength(const TLapDtRec& lap);

} // namespace vel
