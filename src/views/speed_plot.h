#pragma once
// What the speed graph and the layers drawn into its plot share: the plot
// geometry from the font's measures, the display window along the
// horizontal axis, pixel truncation with clamping, and one routine that
// joins a curve's samples (decimated per pixel column when the curve holds
// more samples than the plot has columns).
#include <QColor>
#include <QLine>
#include <QFontMetrics>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <QString>
#include "views/pane.h"

class QPainter;

namespace vel {

// Pixel term of a real value: truncated toward zero after clamping to a
// range far beyond any picture (a NaN gives 0), so no cast is undefined.
inline int Tr(double v) {
    constexpr double lim = 1 << 20;
    if (v != v) return 0;
    if (v > lim) return static_cast<int>(lim);
    if (v < -lim) return static_cast<int>(-lim);
    return static_cast<int>(v);
}

// Tr(num / den) for many numerators over one denominator. A multiplication
// by the reciprocal stands in for the division, which is done only where
// the quotient lies so near a whole number that the two might truncate
// differently: the pixels stay those of the division.
class TrDiv {
public:
    explicit TrDiv(double den) : den_(den), inv_(1.0 / den) {
        exactOnly_ = !(inv_ > -1e300 && inv_ < 1e300);   // 0, a denormal, inf or NaN
    }
    int operator()(double num) const {
        const double q = num * inv_;
        // Below 1e6 the product is within 1e-9 of the rounded quotient.
        if (!exactOnly_ && q > -1e6 && q < 1e6) {
            const int t = static_cast<int>(q);
            const double f = q > t ? q - t : t - q;
            if (f > 1e-8 && f < 1 - 1e-8) return t;
        }
        return Tr(num / den_);
    }

private:
    double den_, inv_;
    bool exactOnly_ = false;
};

// Rows of values in a plot of top gT and height gH whose bottom edge is lo
// and whose height spans range: gT + gH - Tr(gH * (v - lo) / range).
class ValueRows {
public:
    ValueRows(int gT, int gH, double lo, double range) : bottom_(gT + gH), gH_(gH), lo_(lo), perRange_(range) {}
    int operator()(double v) const { return bottom_ - perRange_(gH_ * (v - lo_)); }

private:
    int bottom_, gH_;
    double lo_;
    TrDiv perRange_;
};

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
inline int AxisX(const AxisWindow& win, int gL, int gW, double a) {
    if (!(win.w > 0)) return gL;
    return gL + Tr(gW * (a - win.s) / win.w);
}

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
// The accessors are plain callables (lambdas) so that the loop over tens of
// thousands of samples inlines them.
struct OneColour {
    int operator()(int) const { return 0; }
};
template <class Pos, class Y, class Colour = OneColour>
struct CurveData {
    int first = 0, last = -1;
    Pos pos;
    Y y;
    Colour colour{};
    bool keepLastColour = false;
};
template <class Pos, class Y, class Colour = OneColour>
CurveData<Pos, Y, Colour> MakeCurve(int first, int last, Pos pos, Y y, Colour colour = {}) {
    return {first, last, pos, y, colour, false};
}

namespace detail {

// Every sample joined by lines, in runs of one colour (a curve with fewer
// samples than the plot has columns).
class PolylineSink {
public:
    PolylineSink(QPainter& p, const QVector<QColor>& colours, int width) : p_(p), colours_(colours), width_(width) {}
    PolylineSink(const PolylineSink&) = delete;
    PolylineSink& operator=(const PolylineSink&) = delete;
    void Start(QPoint pt);
    void To(QPoint pt, int colour);
    void Finish();

private:
    void Flush();
    QPainter& p_;
    const QVector<QColor>& colours_;
    int width_;
    bool started_ = false;
    QPolygon run_;
    int runColour_ = -1;
    QPoint last_;
};

// A curve with more samples than columns, one pixel column at a time: each
// column is painted from its lowest to its highest sample, with the join to
// the next column where a line from one to the other falls, so every column
// is one rectangle one pixel wide and each pixel is painted once. Every
// sample's pixel is covered (but a lone last one, as a line leaves out its
// end) and no peak is lost. The per-sample step stays inline; columns and
// runs of one colour close out of line.
class ColumnSink {
public:
    ColumnSink(QPainter& p, const QVector<QColor>& colours, int width) : p_(p), colours_(colours), width_(width) {}
    ColumnSink(const ColumnSink&) = delete;
    ColumnSink& operator=(const ColumnSink&) = delete;
    void Start(QPoint pt);
    void To(QPoint pt, int colour) {
        if (open_ && x_ == pt.x() && colour_ == colour) {
            const int y = pt.y();
            min_ = y < min_ ? y : min_;   // without branches: noisy samples would mispredict them
            max_ = y > max_ ? y : max_;
            lastY_ = y;
            merged_ = true;
            return;
        }
        if (started_) NewColumn(pt, colour);
    }
    void Finish();

private:
    void NewColumn(QPoint pt, int colour);
    void CloseColumn();
    void Span(int x, int y1, int y2);
    void Flush();
    QPainter& p_;
    const QVector<QColor>& colours_;
    int width_;
    bool started_ = false, open_ = false, merged_ = false;
    bool endShown_ = false;   // the join into the open column paints its first sample
    int x_ = 0, colour_ = 0, min_ = 0, max_ = 0, lastY_ = 0;
    QPoint prev_;   // where the curve left the last closed column
    int runColour_ = -1;
    QVector<QRect> spans_;
    QVector<QLine> lines_;   // joins across a gap of columns
};

// Steps through the samples of one curve into a sink.
template <class Sink, class XOf, class Pos, class Y, class Colour>
void WalkCurve(Sink& sink, const CurveFrame& f, const CurveData<Pos, Y, Colour>& c, const XOf& xOf) {
    int i = c.first;
    if (!f.win.zoomed) {
        while (i <= c.last && c.pos(i) < 0) ++i;
        if (i > c.last) return;
        const int y0 = c.y(i);
        sink.Start(QPoint(f.plot.left(), y0));
        if (i == c.last) {
            sink.To(QPoint(xOf(c.pos(i)), y0), c.keepLastColour ? 0 : c.colour(i));
        } else {
            const int end = c.keepLastColour ? c.last - 1 : c.last;
            int cur = 0;
            for (++i; i <= end; ++i) {
                cur = c.colour(i);
                sink.To(QPoint(xOf(c.pos(i)), c.y(i)), cur);
            }
            if (end < c.last) sink.To(QPoint(xOf(c.pos(c.last)), c.y(c.last)), cur);
        }
    } else {
        const double end = f.win.s + f.win.w;
        while (i <= c.last && c.pos(i) < f.win.s) ++i;
        if (i > c.last) return;
        sink.Start(QPoint(xOf(c.pos(i)), c.y(i)));
        for (++i; i <= c.last; ++i) {
            const double a = c.pos(i);
            if (a > end) break;
            sink.To(QPoint(xOf(a), c.y(i)), c.colour(i));
        }
    }
    sink.Finish();
}

} // namespace detail

template <class Pos, class Y, class Colour>
void PlotCurve(QPainter& p, const CurveFrame& f, const CurveData<Pos, Y, Colour>& c, const QVector<QColor>& colours,
               int penWidth) {
    if (c.last < c.first || !f.win.valid() || colours.isEmpty()) return;
    const int gL = f.plot.left(), gW = f.plot.width();
    const TrDiv perWidth(f.win.w);
    const double s = f.win.s;
    const auto xOf = [&](double a) { return gL + perWidth(gW * (a - s)); };   // AxisX
    if (f.decimate && (c.last - c.first + 1) > gW) {
        detail::ColumnSink sink(p, colours, penWidth);
        detail::WalkCurve(sink, f, c, xOf);
    } else {
        detail::PolylineSink sink(p, colours, penWidth);
        detail::WalkCurve(sink, f, c, xOf);
    }
}

// A text with its top-left at (x, y), opaque on the painter's background.
void TextOut(QPainter& p, int x, int y, const QString& s);
// Rotated to read from bottom to top, starting at (x, y).
void TextOutUp(QPainter& p, int x, int y, const QString& s);

// A pen of one colour and width that leaves a line's end pixel out.
QPen LinePen(const QColor& c, int width = 1, Qt::PenStyle style = Qt::SolidLine);

} // namespace vel
