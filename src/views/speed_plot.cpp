#include "views/speed_plot.h"

#include <cmath>
#include <QPainter>
#include <QPolygon>

namespace vel {

int Tr(double v) {
    constexpr double lim = 1 << 20;
    if (std::isnan(v)) return 0;
    if (v > lim) return static_cast<int>(lim);
    if (v < -lim) return static_cast<int>(-lim);
    return static_cast<int>(v);
}

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

int AxisX(const AxisWindow& win, int gL, int gW, double a) {
    if (!(win.w > 0)) return gL;
    return gL + Tr(gW * (a - win.s) / win.w);
}

CurveFrame CurveFrameOf(const QRect& plot, const PaneInput& in) { return {plot, AxisWindowOf(in), true}; }

namespace {

// Collects the joined points as runs of one colour; with decimation the
// points of one pixel column become its first, lowest, highest and last.
class CurveSink {
public:
    CurveSink(QPainter& p, const QVector<QColor>& colours, int width, bool decimate)
        : p_(p), colours_(colours), width_(width), decimate_(decimate) {}

    void Start(QPoint pt) {
        Flush();
        run_.clear();
        runColour_ = -1;
        last_ = pt;
        col_ = {};
        started_ = true;
    }
    void To(QPoint pt, int colour) {
        if (!started_) return;
        if (decimate_ && col_.open && col_.x == pt.x() && col_.colour == colour) {
            col_.last = pt.y();
            col_.merged = true;
            if (pt.y() < col_.min) { col_.min = pt.y(); col_.minAt = ++col_.n; }
            if (pt.y() > col_.max) { col_.max = pt.y(); col_.maxAt = ++col_.n; }
            return;
        }
        CloseColumn();
        if (colour != runColour_) {
            Flush();
            run_.clear();
            run_ << last_;
            runColour_ = colour;
        }
        run_ << pt;
        last_ = pt;
        if (decimate_) col_ = {true, pt.x(), colour, pt.y(), pt.y(), pt.y(), 0, 0, 0, false};
    }
    void Finish() {
        CloseColumn();
        Flush();
        started_ = false;
    }

private:
    struct Column {
        bool open = false;
        int x = 0, colour = 0, min = 0, max = 0, last = 0;
        int minAt = 0, maxAt = 0, n = 0;
        bool merged = false;
    };
    void Add(int y) {
        const QPoint pt(col_.x, y);
        if (run_.isEmpty() || run_.back() != pt) run_ << pt;
        last_ = pt;
    }
    // The column's first point is in the run already; its extremes in the
    // order they came, then its last point.
    void CloseColumn() {
        if (!col_.open) return;
        col_.open = false;
        if (!col_.merged) return;
        if (col_.minAt && col_.maxAt) {
            if (col_.minAt < col_.maxAt) { Add(col_.min); Add(col_.max); }
            else { Add(col_.max); Add(col_.min); }
        } else if (col_.minAt) Add(col_.min);
        else if (col_.maxAt) Add(col_.max);
        Add(col_.last);
    }
    void Flush() {
        if (run_.size() >= 2 && runColour_ >= 0 && runColour_ < colours_.size()) {
            if (width_ == 2) {
                // Two 1-pixel polylines a pixel apart: the same band as a
                // 2-pixel pen, without the general stroker (many times faster
                // over tens of thousands of short segments).
                p_.setPen(LinePen(colours_[runColour_], 1));
                p_.drawPolyline(run_);
                run_.translate(0, 1);
                p_.drawPolyline(run_);
            } else {
                p_.setPen(LinePen(colours_[runColour_], width_));
                p_.drawPolyline(run_);
            }
        }
        run_.clear();
    }

    QPainter& p_;
    const QVector<QColor>& colours_;
    int width_;
    bool decimate_;
    bool started_ = false;
    QPolygon run_;
    int runColour_ = -1;
    QPoint last_;
    Column col_;
};

} // namespace

void PlotCurve(QPainter& p, const CurveFrame& f, const CurveData& c, const QVector<QColor>& colours, int penWidth) {
    if (c.last < c.first || !f.win.valid() || colours.isEmpty()) return;
    const int gL = f.plot.left(), gW = f.plot.width();
    const auto colourOf = [&](int i) { return c.colour ? c.colour(i) : 0; };
    const bool decimate = f.decimate && (c.last - c.first + 1) > gW;
    CurveSink sink(p, colours, penWidth, decimate);
    int i = c.first;
    if (!f.win.zoomed) {
        while (i <= c.last && c.pos(i) < 0) ++i;
        if (i > c.last) return;
        const int y0 = c.y(i);
        sink.Start(QPoint(gL, y0));
        if (i == c.last) {
            sink.To(QPoint(AxisX(f.win, gL, gW, c.pos(i)), y0), c.keepLastColour ? 0 : colourOf(i));
        } else {
            int cur = 0;
            for (++i; i <= c.last; ++i) {
                cur = (c.keepLastColour && i == c.last) ? cur : colourOf(i);
                sink.To(QPoint(AxisX(f.win, gL, gW, c.pos(i)), c.y(i)), cur);
            }
        }
    } else {
        const double end = f.win.s + f.win.w;
        while (i <= c.last && c.pos(i) < f.win.s) ++i;
        if (i > c.last) return;
        sink.Start(QPoint(AxisX(f.win, gL, gW, c.pos(i)), c.y(i)));
        for (++i; i <= c.last; ++i) {
            const double a = c.pos(i);
            if (a > end) break;
            sink.To(QPoint(AxisX(f.win, gL, gW, a), c.y(i)), colourOf(i));
        }
    }
    sink.Finish();
}

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
