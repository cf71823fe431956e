#include "import/course_map_view.h"

#include <algorithm>
#include <cmath>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QWheelEvent>
#include "common/geodesy.h"

namespace vel {

namespace {

const QColor TraceRed(255, 0, 0);
const QColor SlowBlue(0, 0, 255);
const QColor StopGrey(128, 128, 128);
const QColor StopFill(192, 192, 192);
const QColor CourseGrey(222, 222, 222);
const QColor FinGreen(0, 128, 0);

int ClampPix(long double v) {
    // NaN falls to the low end.
    if (!(v > -MaxPixelCoord)) return -MaxPixelCoord;
    if (!(v < MaxPixelCoord)) return MaxPixelCoord;
    return static_cast<int>(v);
}


bool Finite(const TLogRect& r) {
    return std::isfinite(r.IdoMin) && std::isfinite(r.IdoMax) && std::isfinite(r.KdoMin) &&
           std::isfinite(r.KdoMax);
}

void Widen(long double& lo, long double& hi) {
    if (hi - lo >= MinViewSpanDeg) return;
    const long double c = (lo + hi) / 2;
    lo = c - MinViewSpanDeg / 2;
    hi = c + MinViewSpanDeg / 2;
}

QPoint Rot90(QPoint v) { return QPoint(-v.y(), v.x()); }

QPoint RoundPt(long double x, long double y) {
    return QPoint(ClampPix(std::round(x)), ClampPix(std::round(y)));
}

// The grey cross-stroke of a line being moved: through its midpoint, at
// right angles, as long as the line.
void MovingLineStroke(QPainter& p, QPoint e1, QPoint e2) {
    const long double mx = (e1.x() + e2.x()) / 2.0L, my = (e1.y() + e2.y()) / 2.0L;
    const long double hx = (e2.x() - e1.x()) / 2.0L, hy = (e2.y() - e1.y()) / 2.0L;
    // (hx, hy) turned by 90 degrees is (-hy, hx), by 270 (hy, -hx).
    p.setPen(QPen(StopGrey, 3));
    p.drawLine(RoundPt(mx - hy, my + hx), RoundPt(mx + hy, my - hx));
}

void SetLine(QPainter& p, const QColor& c, QPoint e1, QPoint e2) {
    p.setPen(QPen(c, 1));
    p.setBrush(c);
    p.drawRect(QRect(e1.x() - 3, e1.y() - 3, 6, 6).adjusted(0, 0, -1, -1));
    p.drawLine(e1, e2);
    p.drawRect(QRect(e2.x() - 3, e2.y() - 3, 6, 6).adjusted(0, 0, -1, -1));
    p.setBrush(Qt::NoBrush);
}

// Text with a white background, its top left at pt.
void LabelAt(QPainter& p, QPoint pt, const QString& text) {
    const QRect box = p.fontMetrics().boundingRect(QRect(pt, QSize(2000, 200)), Qt::AlignLeft | Qt::AlignTop, text);
    p.fillRect(box, Qt::white);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
}

void DrawCourse(QPainter& p, const MapProjection& proj, const CoursePaths& paths) {
    QPen pen(CourseGrey, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    QPolygon stroke;
    auto flush = [&] {
        if (stroke.size() > 1) p.drawPolyline(stroke);
        stroke.clear();
    };
    for (const TPathRec& path : paths.CoursePath) {
        if (path.Elm.isEmpty()) continue;
        stroke.append(proj.ToPixel(path.Elm[0].Ido, path.Elm[0].Kdo));
        bool lifted = false;
        for (qsizetype k = 1; k < path.Elm.size(); ++k) {
            const TPathElmRec& e = path.Elm[k];
            if (!proj.Inside(e.Ido, e.Kdo)) {
                lifted = true;
                continue;
            }
            const QPoint pt = proj.ToPixel(e.Ido, e.Kdo);
            if (lifted) {
                flush();
                lifted = false;
            }
            if (stroke.isEmpty() || stroke.last() != pt) stroke.append(pt);
        }
        flush();
    }
}

void DrawTrace(QPainter& p, const MapProjection& proj, const LogStore& store, bool viewStop) {
    const int32_t cap = static_cast<int32_t>(store.LogItem.size);
    const int32_t n = store.LogItemNum < 0 ? 0 : (store.LogItemNum > cap ? cap : store.LogItemNum);
    if (n <= 0) return;
    int32_t f = n - 1;
    for (int32_t i = 0; i < n; ++i)
        if (store.LogItem[i].Act) {
            f = i;
            break;
        }
    int32_t l = f;
    for (int32_t i = n - 1; i > f; --i)
        if (store.LogItem[i].Act) {
            l = i;
            break;
        }

    // Slow (blue) or not (red), kept as a flag: comparing QColors per sample
    // is a call into Qt each time.
    bool slow = viewStop && store.LogItem[f].Spd < 2;
    QPoint last = proj.ToPixel(store.LogItem[f].Ido, store.LogItem[f].Kdo);
    // Samples that fall on the pixel before them add nothing to the stroke.
    QPolygon stroke;
    stroke.reserve(4096);
    stroke.append(last);
    auto flush = [&] {
        if (stroke.size() > 1) {
            p.setPen(QPen(slow ? SlowBlue : TraceRed, 1));
            p.drawPolyline(stroke);
        }
        stroke.clear();
        stroke.append(last);
    };
    std::optional<QPoint> circleAt;   // a stop mark with nothing drawn over it since
    int32_t lastDrawn = f;
    for (int32_t j = f; j <= l; ++j) {
        const TLogItem& it = store.LogItem[j];
        if (!it.Act) continue;
        // Of the slow samples only those at a whole second are drawn.
        if (!(it.Spd >= 2 || it.ms == 0)) continue;
        if (viewStop) {
            const bool want = it.Spd < 2;
            if (it.Spd <= 0.5f && circleAt != last) {
                flush();
                p.setPen(QPen(StopGrey, 1));
                p.setBrush(StopFill);
                p.drawEllipse(last, 4, 4);
                p.setBrush(Qt::NoBrush);
                circleAt = last;
            }
            if (want != slow) {
                flush();
                slow = want;
            }
        }
        const QPoint pt = proj.ToPixel(it.Ido, it.Kdo);
        if (pt != last) {
            stroke.append(pt);
            last = pt;
            circleAt.reset();
            // Keep the polylines short enough for the rasteriser.
            if (stroke.size() >= 4096) flush();
        }
        lastDrawn = j;
    }
    flush();
    if (lastDrawn != f) {
        LabelAt(p, proj.ToPixel(store.LogItem[f].Ido, store.LogItem[f].Kdo), QStringLiteral(" Start"));
        LabelAt(p, proj.ToPixel(store.LogItem[lastDrawn].Ido, store.LogItem[lastDrawn].Kdo),
                QStringLiteral(" End"));
    }
}

// Moves end 1 or 2 of a line to the position of pixel p.
void PlaceEnd(LineEnds& line, bool end1, QPoint p, const MapProjection& proj) {
    long double ido = 0, kdo = 0;
    proj.ToPos(p.x(), p.y(), ido, kdo);
    if (end1) {
        line.Ido1 = ido;
        line.Kdo1 = kdo;
    } else {
        line.Ido2 = ido;
        line.Kdo2 = kdo;
    }
}

void ClampAxis(long double& lo, long double& hi, long double curLo, long double curHi, long double fullLo,
               long double fullHi) {
    if (lo >= fullHi) lo = curLo;
    if (lo < fullLo) {
        hi += fullLo - lo;
        lo = fullLo;
    }
    if (hi <= fullLo) hi = curHi;
    if (hi > fullHi) {
        lo -= hi - fullHi;
        hi = fullHi;
        if (lo < fullLo) lo = fullLo;
    }
}

} // namespace

void MapProjection::ToPos(int x, int y, long double& ido, long double& kdo) const {
    if (!valid) {
        ido = view.IdoMin;
        kdo = view.KdoMin;
        return;
    }
    kdo = view.KdoMin + static_cast<long double>(x - x0) / Dw * dLon;
    ido = view.IdoMin + (1 - static_cast<long double>(y - y0) / Dh) * dLat;
}

bool MapProjection::Inside(long double ido, long double kdo) const {
    return kdo >= view.KdoMin && kdo <= view.KdoMax && ido >= view.IdoMin && ido <= view.IdoMax;
}

MapProjection MakeProjection(const TLogRect& rect, int W, int H) {
    MapProjection m;
    m.view = rect;
    if (!Finite(rect)) return m;
    Widen(m.view.IdoMin, m.view.IdoMax);
    Widen(m.view.KdoMin, m.view.KdoMax);
    m.dLat = m.view.IdoMax - m.view.IdoMin;
    m.dLon = m.view.KdoMax - m.view.KdoMin;
    const long double hm = EarthR * Pi * m.dLat / 180;
    const long double wm = std::cos(m.view.IdoMin * Pi / 180) * EarthR * Pi * m.dLon / 180;
    const int w0 = 16 * ((W - 49) / 16);
    const int h0 = 16 * ((H - 49) / 16);
    if (!(hm > 0) || !(wm > 0) || w0 <= 0 || h0 <= 0) return m;
    const int mx = (W - w0) / 2, my = (H - h0) / 2;
    const long double fitH = hm / wm * w0;
    // Trunc(fitH) > h0, compared before truncating so it can't overflow.
    if (fitH >= h0 + 1) {
        m.Dh = h0;
        m.Dw = static_cast<int>(std::trunc(wm / hm * h0));
        m.x0 = mx + (w0 - m.Dw) / 2;
        m.y0 = my;
    } else {
        m.Dw = w0;
        m.Dh = static_cast<int>(std::trunc(fitH));
        m.x0 = mx;
        m.y0 = my + (h0 - m.Dh) / 2;
    }
    // A log along one meridian or parallel still gets a line of pixels.
    m.Dw = std::max(m.Dw, 1);
    m.Dh = std::max(m.Dh, 1);
    m.px = PixelProjection::Fit(static_cast<double>(m.view.KdoMin), static_cast<double>(m.view.IdoMin),
                                static_cast<double>(m.dLon), static_cast<double>(m.dLat), m.x0, m.y0 + m.Dh, m.Dw,
                                m.Dh);
    m.valid = true;
    return m;
}

LinePixels SetLinePixels(const LineChoice& lines, const MapProjection& proj) {
    LinePixels lp;
    if (lines.CtrlLineSet || lines.StaLineSet) {
        lp.ctrl1 = proj.ToPixel(lines.CtrlLine.Ido1, lines.CtrlLine.Kdo1);
        lp.ctrl2 = proj.ToPixel(lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2);
    }
    if (lines.FinLineSet) {
        lp.fin1 = proj.ToPixel(lines.FinLine.Ido1, lines.FinLine.Kdo1);
        lp.fin2 = proj.ToPixel(lines.FinLine.Ido2, lines.FinLine.Kdo2);
    }
    return lp;
}

bool NearEnd(QPoint p, const std::optional<QPoint>& end) {
    return end && std::abs(p.x() - end->x()) <= 3 && std::abs(p.y() - end->y()) <= 3;
}

void MapPress(MapDrag& d, MapTool tool, QPoint p, LineChoice& lines, const MapProjection& proj) {
    const LinePixels lp = SetLinePixels(lines, proj);
    d.MbDragging = true;
    d.MbPressPt = d.MbEndPt1 = d.MbEndPt2 = p;
    switch (tool) {
    case MapTool::Rect:
        d.MbDragMode = 0;
        break;
    case MapTool::Ctrl:
        // Only a control line: a start line in CtrlLine belongs to the start tool.
        if (lines.CtrlLineSet && NearEnd(p, lp.ctrl1)) d.MbDragMode = 4;
        else if (lines.CtrlLineSet && NearEnd(p, lp.ctrl2)) d.MbDragMode = 5;
        else {
            d.MbDragMode = 1;
            lines.CtrlLineSet = lines.StaLineSet = lines.FinLineSet = false;
        }
        break;
    case MapTool::Sta:
        if (lines.StaLineSet && NearEnd(p, lp.ctrl1)) d.MbDragMode = 6;
        else if (lines.StaLineSet && NearEnd(p, lp.ctrl2)) d.MbDragMode = 7;
        else {
            d.MbDragMode = 2;
            lines.CtrlLineSet = lines.StaLineSet = false;
        }
        break;
    case MapTool::Fin:
        if (lines.FinLineSet && NearEnd(p, lp.fin1)) d.MbDragMode = 8;
        else if (lines.FinLineSet && NearEnd(p, lp.fin2)) d.MbDragMode = 9;
        else {
            d.MbDragMode = 3;
            lines.CtrlLineSet = lines.FinLineSet = false;
        }
        break;
    }
}

void MapMove(MapDrag& d, QPoint p, LineChoice& lines, const MapProjection& proj) {
    if (!d.MbDragging) return;
    switch (d.MbDragMode) {
    case 0:
        d.MbEndPt1 = p;
        break;
    case 1: case 2: case 3:
        // The press point stays the line's centre.
        d.MbEndPt1 = p;
        d.MbEndPt2 = 2 * d.MbPressPt - p;
        break;
    case 4: case 6:
        d.MbEndPt1 = p;
        PlaceEnd(lines.CtrlLine, true, p, proj);
        break;
    case 5: case 7:
        d.MbEndPt1 = p;
        PlaceEnd(lines.CtrlLine, false, p, proj);
        break;
    case 8:
        d.MbEndPt1 = p;
        PlaceEnd(lines.FinLine, true, p, proj);
        break;
    case 9:
        d.MbEndPt1 = p;
        PlaceEnd(lines.FinLine, false, p, proj);
        break;
    default:
        break;
    }
}

void MapRelease(MapDrag& d, QPoint p, LineChoice& lines, const MapProjection& proj, TLogRect& view) {
    if (!d.MbDragging) return;
    d.MbDragging = false;
    switch (d.MbDragMode) {
    case 0: {
        long double i1 = 0, k1 = 0, i2 = 0, k2 = 0;
        proj.ToPos(d.MbPressPt.x(), d.MbPressPt.y(), i1, k1);
        proj.ToPos(p.x(), p.y(), i2, k2);
        if (i1 != i2 && k1 != k2) {
            view.IdoMin = std::min(i1, i2);
            view.IdoMax = std::max(i1, i2);
            view.KdoMin = std::min(k1, k2);
            view.KdoMax = std::max(k1, k2);
        }
        break;
    }
    case 1: case 2: case 3: {
        d.MbEndPt1 = p;
        d.MbEndPt2 = 2 * d.MbPressPt - p;
        if (d.MbEndPt1 == d.MbEndPt2) break;
        LineEnds& line = d.MbDragMode == 3 ? lines.FinLine : lines.CtrlLine;
        PlaceEnd(line, true, d.MbEndPt1, proj);
        PlaceEnd(line, false, d.MbEndPt2, proj);
        if (d.MbDragMode == 1) lines.CtrlLineSet = true;
        else if (d.MbDragMode == 2) lines.StaLineSet = true;
        else lines.FinLineSet = true;
        break;
    }
    case 4: case 5: case 6: case 7: case 8: case 9: {
        const bool fin = d.MbDragMode >= 8;
        LineEnds& line = fin ? lines.FinLine : lines.CtrlLine;
        PlaceEnd(line, d.MbDragMode % 2 == 0, p, proj);
        if (line.Ido1 == line.Ido2 && line.Kdo1 == line.Kdo2) {
            if (d.MbDragMode <= 5) lines.CtrlLineSet = false;
            else if (d.MbDragMode <= 7) lines.StaLineSet = false;
            else lines.FinLineSet = false;
        }
        break;
    }
    default:
        break;
    }
}

std::optional<QPoint> WheelZoom(TLogRect& view, const TLogRect& full, const MapProjection& proj, QPoint p,
                                int delta, int W, int H) {
    if (!proj.valid || delta == 0) return std::nullopt;
    if (p.x() < 0 || p.y() < 0 || p.x() > W || p.y() > H) return std::nullopt;
    const int x = std::clamp(p.x(), proj.x0, proj.x0 + proj.Dw - 1);
    const int y = std::clamp(p.y(), proj.y0, proj.y0 + proj.Dh - 1);
    long double pIdo = 0, pKdo = 0;
    proj.ToPos(x, y, pIdo, pKdo);
    const long double spanLat = view.IdoMax - view.IdoMin;
    const long double spanLon = view.KdoMax - view.KdoMin;
    if (!(spanLat > 0) || !(spanLon > 0)) return std::nullopt;
    long double k = 0.45L;
    if (delta < 0) {
        k = 0.55L;
        if (view.IdoMin <= full.IdoMin && view.IdoMax >= full.IdoMax && view.KdoMin <= full.KdoMin &&
            view.KdoMax >= full.KdoMax)
            return std::nullopt;
    }
    TLogRect next;
    next.IdoMin = pIdo - k * spanLat;
    next.IdoMax = pIdo + k * spanLat;
    next.KdoMin = pKdo - k * spanLon;
    next.KdoMax = pKdo + k * spanLon;
    ClampAxis(next.IdoMin, next.IdoMax, view.IdoMin, view.IdoMax, full.IdoMin, full.IdoMax);
    ClampAxis(next.KdoMin, next.KdoMax, view.KdoMin, view.KdoMax, full.KdoMin, full.KdoMax);
    view = next;
    pIdo = std::clamp(pIdo, next.IdoMin, next.IdoMax);
    pKdo = std::clamp(pKdo, next.KdoMin, next.KdoMax);
    const MapProjection np = MakeProjection(next, W, H);
    if (!np.valid) return std::nullopt;
    const long double fx = (pKdo - np.view.KdoMin) / np.dLon * np.Dw;
    const long double fy = (pIdo - np.view.IdoMin) / np.dLat * np.Dh;
    return RoundPt(np.x0 + fx, np.y0 + np.Dh - fy);
}

void DrawMapBitmap(QImage& img, const MapProjection& proj, const LogStore& store, const CoursePaths& paths,
                   bool viewStop) {
    img.fill(Qt::white);
    if (!proj.valid || img.isNull()) return;
    QPainter p(&img);
    DrawCourse(p, proj, paths);
    DrawTrace(p, proj, store, viewStop);
}

void DrawMapOverlay(QPainter& p, const MapProjection& proj, const MapDrag& d, const LineChoice& lines,
                    const MbViewState& st) {
    if (!proj.valid) return;
    if (st.MarkSet > 0) {
        const QPoint m = proj.ToPixel(st.MarkIdo, st.MarkKdo);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(SlowBlue);
        p.drawEllipse(QRect(m.x() - 2, m.y() - 2, 4, 4));
        p.setBrush(Qt::NoBrush);
    }
    if (d.MbDragging) {
        switch (d.MbDragMode) {
        case 0: {
            const QPoint a(std::min(d.MbPressPt.x(), d.MbEndPt1.x()), std::min(d.MbPressPt.y(), d.MbEndPt1.y()));
            const QPoint b(std::max(d.MbPressPt.x(), d.MbEndPt1.x()), std::max(d.MbPressPt.y(), d.MbEndPt1.y()));
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(a, b));
            break;
        }
        case 1: case 2: case 3: {
            const QColor c = d.MbDragMode == 1 ? QColor(Qt::black) : (d.MbDragMode == 2 ? SlowBlue : FinGreen);
            p.setPen(QPen(c, 1));
            p.drawLine(d.MbEndPt1, d.MbEndPt2);
            p.setPen(QPen(StopGrey, 3));
            p.drawLine(d.MbPressPt, d.MbPressPt + Rot90(d.MbEndPt1 - d.MbPressPt));
            p.drawLine(d.MbPressPt, d.MbPressPt + Rot90(d.MbEndPt2 - d.MbPressPt));
            break;
        }
        case 4: case 5: case 6: case 7:
            MovingLineStroke(p, proj.ToPixel(lines.CtrlLine.Ido1, lines.CtrlLine.Kdo1),
                             proj.ToPixel(lines.CtrlLine.Ido2, lines.CtrlLine.Kdo2));
            break;
        case 8: case 9:
            MovingLineStroke(p, proj.ToPixel(lines.FinLine.Ido1, lines.FinLine.Kdo1),
                             proj.ToPixel(lines.FinLine.Ido2, lines.FinLine.Kdo2));
            break;
        default:
            break;
        }
    }
    const LinePixels lp = SetLinePixels(lines, proj);
    if (lines.CtrlLineSet) SetLine(p, Qt::black, *lp.ctrl1, *lp.ctrl2);
    if (lines.StaLineSet) SetLine(p, SlowBlue, *lp.ctrl1, *lp.ctrl2);
    if (lines.FinLineSet) SetLine(p, FinGreen, *lp.fin1, *lp.fin2);
}

CourseMapView::CourseMapView(const LogStore& store, const CoursePaths& paths, LineChoice& lines,
                             MbViewState& state, QWidget* parent)
    : QWidget(parent), store_(store), paths_(paths), lines_(lines), state_(state) {
    setObjectName("PaintBox2");
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 200);
}

void CourseMapView::FullRepaint() {
    MbMapDirty = true;
    update();
}

void CourseMapView::PaintBox1Paint(QPainter& p) {
    if (MbMapDirty || MbBitmap.size() != size()) {
        MbMapDirty = false;
        MbBitmap = QImage(size(), QImage::Format_RGB32);
        DrawMapBitmap(MbBitmap, Projection(), store_, paths_, state_.ViewStop);
        ++draws_;
    }
    p.drawImage(0, 0, MbBitmap);
}

void CourseMapView::PaintBox2Paint(QPainter& p) { DrawMapOverlay(p, Projection(), drag_, lines_, state_); }

void CourseMapView::Render(QImage& img) {
    img = QImage(size(), QImage::Format_RGB32);
    QPainter p(&img);
    PaintBox1Paint(p);
    PaintBox2Paint(p);
}

void CourseMapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintBox1Paint(p);
    PaintBox2Paint(p);
}

void CourseMapView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const MapProjection proj = Projection();
    if (!proj.valid) return;
    MapPress(drag_, tool, e->position().toPoint(), lines_, proj);
    update();
}

void CourseMapView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    const MapProjection proj = Projection();
    if (drag_.MbDragging) {
        MapMove(drag_, pt, lines_, proj);
        update();
    }
    long double ido = 0, kdo = 0;
    proj.ToPos(pt.x(), pt.y(), ido, kdo);
    emit PointerText(QString::asprintf("%.6f , %.6f", static_cast<double>(ido), static_cast<double>(kdo)));
}

void CourseMapView::mouseReleaseEvent(QMouseEvent* e) {
    if (!drag_.MbDragging) return;
    MapRelease(drag_, e->position().toPoint(), lines_, Projection(), state_.MbViewRect);
    FullRepaint();
    emit DragEnded();
}

void CourseMapView::wheelEvent(QWheelEvent* e) {
    e->accept();
    const std::optional<QPoint> to = WheelZoom(state_.MbViewRect, store_.LogRect, Projection(),
                                               e->position().toPoint(), e->angleDelta().y(), width(), height());
    if (!to) return;
    QCursor::setPos(mapToGlobal(*to));
    FullRepaint();
}

} // namespace vel
