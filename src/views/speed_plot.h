#pragma once
// What the speed graph and the layers drawn into its plot share: the plot
// geometry from the font's measures, the display window along the
// horizontal axis, pixel truncation with clamping, and one routine that
// joins a curve's samples (decimated per pixel column when the curve holds
// more samples than the plot has columns).
#include <functional>
#include <QColor>
#include <QFontMetrics>
#include <QPen>
#include <QRect>
#include <QString>
#include "views/pane.h"

class QPainter;

namespace vel {

// Pixel term of a real value: truncated toward zero after clamping to a
// range far beyond any picture (a NaN gives 0), so no cast is undefined.
int Tr(double v);

// The plot rectangle of the speed graph in a pane of the given size.
struct SpeedGeometry {
    int tw = 0, th = 0, tw9 = 0;   // widths of "999.9" and "9999", height of "999.9"
    int L = 0, T = 0, W = 0, H = 0;
    QRect plot() const { return QRect(L, T, W, H); }
    bool drawable() const { return W > 0 && H > 0; }
};
SpeedGeometry SpeedGeometryOf(const QFontMetrics& fm, QSize pane);
SpeedGeometry SpeedGeometryOf(int tw, int th, int tw9, QSize pane);

// The part of the horizontal axis the plot shows: [s, s + w] of an axis of
// length A, the cursor at p, zoom factor z.
struct AxisWindow {
    double A = 0, p = 0, s = 0, w = 0;
    bool zoomed = false;
    bool valid() const { return w > 0 && A > 0; }
};
AxisWindow AxisWindowOf(double A, double p, double z);
// The window of the shown laps: distance or time axis, cursor from CurVal[0].Dist or PlayTm.
AxisWindow AxisWindowOf(const PaneInput& in);
// x of axis value a in a plot of left gL and width gW (clamped).
int AxisX(const AxisWindow& win, int gL, int gW, double a);

// Where the curves go: the plot rectangle and the window.
struct CurveFrame {
    QRect plot;
    AxisWindow win;
    bool decimate = true;   // merge the samples of one pixel column
};
CurveFrame CurveFrameOf(const QRect& plot, const PaneInput& in);

// One curve's samples first..last: pos(i) the axis value, y(i) the pixel row,
// colour(i) the index into colours of the segment drawn to sample i.
// Whole lap: samples before 0 are skipped, the first placed at the left edge;
// when it is the last sample a line still goes to its own x. Zoomed: the
// samples inside the window are joined, the first beyond it ends the curve.
// keepLastColour: the segment to the last sample keeps the colour before it.
struct CurveData {
    int first = 0, last = -1;
    std::function<double(int)> pos;
    std::function<int(int)> y;
    std::function<int(int)> colour;   // empty: colour 0 throughout
    bool keepLastColour = false;
};
void PlotCurve(QPainter& p, const CurveFrame& f, const CurveData& c, const QVector<QColor>& colours, int penWidth);

// A text with its top-left at (x, y), opaque on the painter's background.
void TextOut(QPainter& p, int x, int y, const QString& s);
// Rotated to read from bottom to top, starting at (x, y).
void TextOutUp(QPainter& p, int x, int y, const QString& s);

// A pen of one colour and width that leaves a line's end pixel out.
QPen LinePen(const QColor& c, int width = 1, Qt::PenStyle style = Qt::SolidLine);

} // namespace vel
