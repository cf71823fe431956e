#include "views/course_view.h"

#include <cmath>
#include <QPolygon>
#include "common/geodesy.h"
#include "views/pen_rules.h"

namespace vel {

namespace {

constexpr double PiD = 3.14159265358979323846;
constexpr double Deg = PiD / 180;
constexpr uint32_t GridColor = 0xE0E0E0;
constexpr uint32_t SectColor = 0x808080;

void DrawDots(QPainter& p, const CourseFit& fit, const PaneInput& in) {
    if (!fit.ok) return;
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        if (!in.cmp.DispSlot[k].Active) continue;
        const QColor c = ColorOf(SlotColor[k]);
        p.setPen(MapPen(c));
        p.setBrush(c);
        const TCurValRec& cv = in.cmp.CurVal[k];
        const QPoint at = fit.Map(static_cast<double>(cv.Ido), static_cast<double>(cv.Kdo));
        BoxEllipse(p, at.x() - 4, at.y() - 4, at.x() + 4, at.y() + 4);
    }
    p.setBrush(Qt::NoBrush);
}

void DrawCached(QPainter& p, const QSize& size, const PaneInput& in) {
    const CourseFit fit = CourseFitOf(size, in.cmp);
    DrawCourseGrid(p, fit);
    if (!in.cmp.DispSlot[0].Active) return;
    DrawSectLap(p, fit, in);
    for (int k = DispSlotNum - 1; k >= 0; --k)
        if (in.cmp.DispSlot[k].Active) DrawLap(p, fit, in, k, ColorOf(SlotColor[k]));
}

} // namespace

void DrawCourseGrid(QPainter& p, const CourseFit& fit) {
    if (fit.aw <= 0 || fit.ah <= 0) return;
    p.setPen(MapPen(GridColor));
    p.setBrush(Qt::NoBrush);
    const int l = fit.gridLeft, t = fit.gridTop;
    // A frame rectangle covers (l, t) to (l + aw - 1, t + ah - 1).
    p.drawRect(l, t, fit.aw - 1, fit.ah - 1);
    for (int x = l + 16; x < l + fit.aw; x += 16) p.drawLine(x, t, x, t + fit.ah);
    for (int y = t + 16; y < t + fit.ah; y += 16) p.drawLine(l, y, l + fit.aw, y);
}

void DrawLap(QPainter& p, const CourseFit& fit, const PaneInput& in, int slot, QColor c) {
    const TLapDtRec* lap = SlotLap(in.laps, in.cmp, slot);
    if (!fit.ok || !lap) return;
    const int n = std::min<int>(lap->ElmNum, lap->Elm.size());
    if (n < 1) return;
    const TLapElmRec& e0 = lap->Elm[0];
    const QPoint p0 = fit.Map(static_cast<double>(e0.Ido), static_cast<double>(e0.Kdo));
    if (slot == 0) {
        // Start tick across the direction of travel, 8 pixels to each side.
        const double th = (360 - static_cast<double>(e0.Dir)) * Deg;
        p.setPen(MapPen(QColor(Qt::black)));
        p.drawLine(p0.x() + TruncPx(8 * std::sin(th + 90 * Deg)), p0.y() + TruncPx(8 * std::cos(th + 90 * Deg)),
                   p0.x() + TruncPx(8 * std::sin(th + 270 * Deg)), p0.y() + TruncPx(8 * std::cos(th + 270 * Deg)));
    }
    p.setPen(MapPen(c));
    // Consecutive samples on one pixel add nothing to a one-pixel line.
    QPolygon line;
    line.reserve(n);
    line << p0;
    for (int i = 1; i < n; ++i) {
        const QPoint q = fit.Map(static_cast<double>(lap->Elm[i].Ido), static_cast<double>(lap->Elm[i].Kdo));
        if (q != line.back()) line << q;
    }
    if (line.size() > 1) p.drawPolyline(line);
}

void DrawSectLap(QPainter& p, const CourseFit& fit, const PaneInput& in) {
    const int num = in.sectors.Count();
    if (!fit.ok || num == 0) return;
    p.setPen(MapPen(SectColor, 3));
    const double cosRef = std::cos(static_cast<double>(in.cmp.RefIdo) * Deg);
    const double m = static_cast<double>(EarthR) * PiD / 180;
    for (int i = 0; i < num; ++i) {
        const TSectRec& s = in.sectors.Sect[i];
        const double ido1 = static_cast<double>(s.Ido1), kdo1 = static_cast<double>(s.Kdo1);
        const double ido2 = static_cast<double>(s.Ido2), kdo2 = static_cast<double>(s.Kdo2);
        const QPoint a = fit.Map(ido1, kdo1), b = fit.Map(ido2, kdo2);
        const double len = std::hypot(double(b.x() - a.x()), double(b.y() - a.y()));
        int half = NearestPx(len) / 2;
        if (half < 8) half = 8;
        const QPoint c = fit.Map((ido1 + ido2) / 2, (kdo1 + kdo2) / 2);
        // The direction in metres; the cosine of the reference latitude in radians.
        const double dx = cosRef * m * (kdo2 - kdo1);
        const double dy = m * (ido2 - ido1);
        const double phi = dx == 0 ? 90 * Deg : std::atan(dy / dx);
        p.drawLine(c.x() + TruncPx(half * std::sin(phi + 90 * Deg)), c.y() + TruncPx(half * std::cos(phi + 90 * Deg)),
                   c.x() + TruncPx(half * std::sin(phi + 270 * Deg)),
                   c.y() + TruncPx(half * std::cos(phi + 270 * Deg)));
    }
}

void DrawCourseView(QPainter& p, const QRect& r, const PaneInput& in) {
    PaneOrigin o(p, r);
    p.fillRect(QRect(QPoint(0, 0), r.size()), Qt::white);
    DrawCached(p, r.size(), in);
}

void CourseCursorPixels(QSize size, const PaneInput& in, std::vector<double>& out) {
    if (!in.cmp.DispSlot[0].Active) return;
    const CourseFit fit = CourseFitOf(size, in.cmp);
    if (!fit.ok) return;
    for (int k = 0; k < DispSlotNum; ++k) {
        if (!in.cmp.DispSlot[k].Active) continue;
        const TCurValRec& cv = in.cmp.CurVal[k];
        const QPoint at = fit.Map(static_cast<double>(cv.Ido), static_cast<double>(cv.Kdo));
        out.insert(out.end(), {double(k), double(at.x()), double(at.y())});
    }
}

void DrawCourseCursor(QPainter& p, const QRect& r, const PaneInput& in) {
    if (!in.cmp.DispSlot[0].Active) return;
    PaneOrigin o(p, r);
    DrawDots(p, CourseFitOf(r.size(), in.cmp), in);
}

void DrawGeneralPicture(QPainter& p, const QRect& r, const PaneInput& in) {
    PaneOrigin o(p, r);
    p.fillRect(QRect(QPoint(0, 0), r.size()), Qt::white);
    p.setPen(Qt::black);
    p.drawText(QRect(8, 8, r.width(), r.height()), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Velmaris"));
    DrawCached(p, r.size(), in);
    DrawDots(p, CourseFitOf(r.size(), in.cmp), in);
}

std::optional<long double> CourseClickTime(const QSize& size, QPoint at, const PaneInput& in) {
    if (!in.cmp.DispSlot[0].Active) return std::nullopt;
    const TLapDtRec* ref = SlotLap(in.laps, in.cmp, 0);
    const CourseFit fit = CourseFitOf(size, in.cmp);
    if (!ref || !fit.ok) return std::nullopt;
    double ido = 0, kdo = 0;
    fit.Unmap(at.x(), at.y(), ido, kdo);
    const int i = NearestSample(*ref, ido, kdo);
    if (i < 0) return std::nullopt;
    return ref->Elm[i].Sec;
}

} // namespace vel
