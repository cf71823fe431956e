#include "views/speed_plot.h"

#include <algorithm>
#include <cmath>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QTransform>

namespace vel {

SpeedGeometry SpeedGeometryOf(int tw, int th, int tw9, QSize pane) {
    SpeedGeometry g;
    g.tw = tw;
    g.th = th;
    g.tw9 = tw9;
    g.L = tw + 8;
    g.T = th + 2;
    g.W = pane.width() - tw - tw9 - 16;
    g.H = pane.height() - 2 * th - 4;
    return g;
}

SpeedGeometry SpeedGeometryOf(const QFontMetrics& fm, QSize pane) {
    return SpeedGeometryOf(fm.horizontalAdvance("999.9"), fm.height(), fm.horizontalAdvance("9999"), pane);
}

AxisWindow AxisWindowOf(double A, double p, double z) {
    AxisWindow win;
    win.A = A;
    win.p = p;
    if (!(A > 0) || !std::isfinite(A)) return win;   // w stays 0: nothing to show
    if (!(z > 1)) {
        win.s = 0;
        win.w = A;
        return win;
    }
    win.zoomed = true;
    win.w = A / z;
    if (p <= win.w / 2) win.s = 0;
    else if (win.w / 2 >= A - p) win.s = A - win.w;
    else win.s = p - win.w / 2;
    return win;
}

AxisWindow AxisWindowOf(const PaneInput& in) {
    const bool dist = in.view.Axis == AxisMode::Dist;
    const double A = static_cast<double>(dist ? in.cmp.DispLapDist : in.cmp.DispLapSec);
    const double p = static_cast<double>(dist ? in.cmp.CurVal[0].Dist : in.cmp.PlayTm);
    return AxisWindowOf(A, p, static_cast<double>(in.view.SpdZoom));
}

CurveFrame CurveFrameOf(const QRect& plot, const PaneInput& in) { return {plot, AxisWindowOf(in), true}; }

namespace detail {

namespace {

// One-pixel-wide rectangles written straight into a 32-bit picture, where
// the painter draws on it opaquely without scaling: the pixels drawRects
// gives, without its cost per rectangle (most of a dense curve's drawing).
// false where that does not hold; the caller then paints them.
bool FillSpansInto(QPainter& p, const QVector<QRect>& spans, const QColor& c) {
    QPaintDevice* dev = p.device();
    if (!dev || dev->devType() != QInternal::Image || c.alpha() != 255 || p.opacity() != 1.0) return false;
    if (p.compositionMode() != QPainter::CompositionMode_SourceOver &&
        p.compositionMode() != QPainter::CompositionMode_Source)
        return false;
    auto* img = static_cast<QImage*>(dev);
    const QImage::Format f = img->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied) return false;
    const QTransform t = p.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::trunc(t.dx()) || t.dy() != std::trunc(t.dy())) return false;
    const int dx = static_cast<int>(t.dx()), dy = static_cast<int>(t.dy());
    QRect bounds = img->rect();
    if (p.hasClipping()) {
        const QRegion clip = p.clipRegion();
        if (clip.rectCount() != 1) return false;
        bounds &= clip.boundingRect().translated(dx, dy);
    }
    if (bounds.isEmpty()) return true;
    const uint32_t px = c.rgba();   // opaque: the same in all three formats
    uchar* bits = const_cast<uchar*>(img->constBits());   // the painter's own buffer; no detach while it paints
    const qsizetype bpl = img->bytesPerLine();
    for (const QRect& r0 : spans) {
        const QRect r = r0.translated(dx, dy) & bounds;
        if (r.isEmpty()) continue;
        uchar* row = bits + r.top() * bpl;
        for (int y = r.top(); y <= r.bottom(); ++y, row += bpl) {
            auto* line = reinterpret_cast<uint32_t*>(row);
            for (int x = r.left(); x <= r.right(); ++x) line[x] = px;
        }
    }
    return true;
}

// Where the second pixel of a 2-pixel line from a to b lies: below a line
// that runs flat, right of one that runs steep, so the band is two pixels
// across in rows and in columns alike.
QPoint SecondPixel(QPoint a, QPoint b) {
    return std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y()) ? QPoint(0, 1) : QPoint(1, 0);
}

// The second pixels of a 1-pixel polyline: the copies of its segments,
// shifted each by its own SecondPixel, joined while the shift stays.
void DrawSecondPixel(QPainter& p, const QPolygon& line) {
    QPolygon copy;
    QPoint shift;
    for (int i = 1; i < line.size(); ++i) {
        const QPoint a = line[i - 1], b = line[i];
        if (a == b) continue;
        const QPoint s = SecondPixel(a, b);
        if (copy.isEmpty() || s != shift) {
            if (copy.size() >= 2) p.drawPolyline(copy);
            copy.clear();
            copy << a + s;
            shift = s;
        }
        copy << b + s;
    }
    if (copy.size() >= 2) p.drawPolyline(copy);
}

} // namespace

void PolylineSink::Start(QPoint pt) {
    Flush();
    runColour_ = -1;
    last_ = pt;
    started_ = true;
}

void PolylineSink::To(QPoint pt, int colour) {
    if (!started_) return;
    if (colour != runColour_) {
        Flush();
        run_ << last_;
        runColour_ = colour;
    }
    run_ << pt;
    last_ = pt;
}

void PolylineSink::Finish() {
    Flush();
    started_ = false;
}

void PolylineSink::Flush() {
    if (run_.size() >= 2 && runColour_ >= 0 && runColour_ < colours_.size()) {
        if (width_ == 2) {
            // The 1-pixel polyline and a copy a pixel beside it: the band of
            // a 2-pixel pen without the general stroker (many times faster
            // over tens of thousands of short segments).
            p_.setPen(LinePen(colours_[runColour_], 1));
            p_.drawPolyline(run_);
            DrawSecondPixel(p_, run_);
        } else {
            p_.setPen(LinePen(colours_[runColour_], width_));
            p_.drawPolyline(run_);
        }
    }
    run_.clear();
}

void ColumnSink::Start(QPoint pt) {
    Flush();
    runColour_ = -1;
    open_ = false;
    prev_ = pt;
    started_ = true;
}

void ColumnSink::Span(int x, int y1, int y2) {
    spans_ << QRect(QPoint(x, std::min(y1, y2)), QPoint(x, std::max(y1, y2)));
}

void ColumnSink::CloseColumn() {
    if (!open_) return;
    open_ = false;
    Span(x_, min_, max_);
    prev_ = QPoint(x_, lastY_);
}

void ColumnSink::NewColumn(QPoint pt, int colour) {
    CloseColumn();
    if (colour != runColour_) {
        Flush();
        runColour_ = colour;
    }
    // The join from where the curve left the last column, in the colour of
    // the sample it goes to.
    const int a = prev_.y(), b = pt.y();
    endShown_ = true;
    if (pt.x() == prev_.x()) {
        Span(pt.x(), a, b);
    } else if (pt.x() == prev_.x() + 1) {
        // As a one-pixel line from one column to the next falls: all of it
        // in the left column but the row it reaches, which is the new
        // column's own (and which a line up two rows or more paints even
        // as its end).
        Span(prev_.x(), a, b > a ? b - 1 : b < a ? b + 1 : a);
        endShown_ = b <= a - 2;
    } else {
        lines_ << QLine(prev_, pt);
        endShown_ = false;
    }
    open_ = true;
    merged_ = false;
    x_ = pt.x();
    colour_ = colour;
    min_ = max_ = lastY_ = b;
}

void ColumnSink::Finish() {
    // A line mostly leaves its end pixel out: so does a last column of one
    // sample (at the end of the axis it falls on the frame).
    if (open_ && !merged_ && !endShown_) open_ = false;
    CloseColumn();
    Flush();
    started_ = false;
}

void ColumnSink::Flush() {
    if (runColour_ >= 0 && runColour_ < colours_.size() && (!spans_.isEmpty() || !lines_.isEmpty())) {
        const QColor& c = colours_[runColour_];
        // A 2-pixel curve is the 1-pixel one with every column a pixel
        // wider and a pixel taller: two pixels across however steep.
        if (width_ == 2)
            for (QRect& r : spans_) r.setBottomRight(r.bottomRight() + QPoint(1, 1));
        if (!spans_.isEmpty() && !FillSpansInto(p_, spans_, c)) {
            p_.setPen(Qt::NoPen);
            p_.setBrush(c);
            p_.drawRects(spans_);
            p_.setBrush(Qt::NoBrush);
        }
        if (!lines_.isEmpty()) {
            p_.setPen(LinePen(c, width_ == 2 ? 1 : width_));
            p_.drawLines(lines_);
            if (width_ == 2) {
                for (QLine& l : lines_) l.translate(SecondPixel(l.p1(), l.p2()));
                p_.drawLines(lines_);
            }
        }
    }
    spans_.clear();
    lines_.clear();
}

} // namespace detail

void TextOut(QPainter& p, int x, int y, const QString& s) {
    const QFontMetrics fm = p.fontMetrics();
    if (p.backgroundMode() == Qt::OpaqueMode)
        p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), p.background());
    p.drawText(x, y + fm.ascent(), s);
}

void TextOutUp(QPainter& p, int x, int y, const QString& s) {
    const QFontMetrics fm = p.fontMetrics();
    p.save();
    p.translate(x, y);
    p.rotate(-90);
    if (p.backgroundMode() == Qt::OpaqueMode)
        p.fillRect(QRect(0, 0, fm.horizontalAdvance(s), fm.height()), p.background());
    p.drawText(0, fm.ascent(), s);
    p.restore();
}

QPen LinePen(const QColor& c, int width, Qt::PenStyle style) {
    QPen pen(c);
    pen.setWidth(width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (style == Qt::DotLine) pen.setDashPattern({1.0, 1.0});
    else pen.setStyle(style);
    return pen;
}

} // namespace vel
