#include "views/drift_view.h"

#include <cmath>
#include "views/map_projection.h"
#include "views/pen_rules.h"

namespace vel {

namespace {

constexpr double PiD = 3.14159265358979323846;
constexpr double Deg = PiD / 180;
constexpr uint32_t DialColor = 0x808080;

double D(long double v) { return static_cast<double>(v); }

void DrawCars(QPainter& p, const QSize& size, const PaneInput& in) {
    if (!in.view.DriftOn) return;
    const DriftGeom g = DriftGeomOf(size, TextHeight(p));
    FontSize fs(p, 11);
    const int wS = TextWidth(p, "999.99km/h");
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        const TLapDtRec* lap = SlotLap(in.laps, in.cmp, k);
        if (!lap || !lap->driftAct) continue;
        const DriftValues v = DriftValuesOf(in, k);
        const QColor c = ColorOf(SlotColor[k]);
        p.setBrush(Qt::NoBrush);
        p.setPen(MapPen(c));
        p.drawPolyline(DriftCarOutline(g, v.angle));
        p.setPen(MapPen(c, 2));
        p.drawLine(DriftHeadingLine(g, v.angle));
        p.setPen(c);
        const int y = g.h - (k + 1) * (g.th + 4);
        const QString spd = QString::asprintf("%.2fkm/h", v.speed);
        TextAt(p, wS - TextWidth(p, spd) + 4, y, spd);
        const QString ang = QString::number(v.number);
        TextAt(p, g.w - 4 - TextWidth(p, ang), y, ang);
    }
}

} // namespace

QPoint DriftGeom::P(double rho, double phi) const {
    return {cx + TruncPx(rho * std::sin(phi)), cy + TruncPx(rho * std::cos(phi))};
}

QPoint DriftGeom::Q(double rho, double phi) const {
    return {cx - TruncPx(rho * std::sin(phi)), cy - TruncPx(rho * std::cos(phi))};
}

DriftGeom DriftGeomOf(const QSize& size, int th) {
    DriftGeom g;
    g.w = size.width();
    g.h = size.height();
    g.th = th;
    g.V = std::min(g.w - 48, g.h - 48) - th;
    g.cx = g.w / 2;
    g.cy = g.h / 2;
    g.Ro = g.V / 2;
    g.Ri = (g.V - 32) / 2;
    g.Rm = (g.Ro - g.Ri) / 2 + g.Ri;
    g.Rl = g.Ro + th + 12;
    g.Ra = g.Ri - 16;
    return g;
}

QPolygon DriftCarOutline(const DriftGeom& g, double a) {
    const double th = (180 - a) / 180 * PiD;
    const double ra = g.Ra;
    return QPolygon{g.P(ra, th + 156 * Deg), g.Q(ra, th + 204 * Deg), g.Q(ra, th + 180 * Deg),
                    g.Q(ra, th + 156 * Deg), g.P(ra, th + 204 * Deg), g.P(ra, th + 156 * Deg)};
}

QLine DriftHeadingLine(const DriftGeom& g, double a) {
    const double th = (180 - a) / 180 * PiD;
    return QLine(g.P(g.Ri, th + PiD), g.Q(g.Ro, th + PiD));
}

DriftValues DriftValuesOf(const PaneInput& in, int slot) {
    const TCurValRec& c = in.cmp.CurVal[slot];
    const bool time = in.view.Axis == AxisMode::Time;
    DriftValues v;
    v.speed = D(time ? c.Spd : c.DistSpd);
    if (v.speed > 7) {
        v.angle = time ? D(c.Dir - c.GpsDir) : D(c.DistDir - c.DistGpsDir);
        v.number = TruncPx(D(time ? c.DAngle : c.DistDAngle));
    }
    return v;
}

void DrawDriftView(QPainter& p, const QRect& r, const PaneInput&) {
    PaneOrigin o(p, r);
    p.fillRect(QRect(QPoint(0, 0), r.size()), Qt::white);
    const DriftGeom g = DriftGeomOf(r.size(), TextHeight(p));
    if (g.Ri <= 0) return;
    const int cx = g.cx, cy = g.cy;
    p.setBrush(Qt::NoBrush);
    p.setPen(MapPen(DialColor));
    BoxEllipse(p, cx - g.Ro, cy - g.Ro, cx + g.Ro, cy + g.Ro);
    BoxEllipse(p, cx - g.Ri, cy - g.Ri, cx + g.Ri, cy + g.Ri);
    p.drawLine(cx, cy - g.Ro - 4, cx, cy + g.Ro + 4);
    p.drawLine(cx - g.Ro - 4, cy, cx + g.Ro + 4, cy);
    // Ticks in the four quadrants: from radius outer to radius Ri.
    const auto ticks = [&](int outer, std::initializer_list<int> angles) {
        for (int a : angles) {
            const double s = std::sin(a * Deg), c = std::cos(a * Deg);
            for (int sx : {1, -1})
                for (int sy : {-1, 1})
                    p.drawLine(cx + sx * TruncPx(outer * s), cy + sy * TruncPx(outer * c), cx + sx * TruncPx(g.Ri * s),
                               cy + sy * TruncPx(g.Ri * c));
        }
    };
    ticks(g.Ro, {30, 60});
    ticks(g.Rm, {10, 20, 40, 50, 70, 80});
    const int th = g.th;
    FontSize fs(p, 11);
    p.setPen(Qt::black);
    const int t0 = TextWidth(p, "0"), t30 = TextWidth(p, "30"), t120 = TextWidth(p, "120");
    const int Rl = g.Rl;
    const int s30 = TruncPx(Rl * std::sin(30 * Deg)), c30 = TruncPx(Rl * std::cos(30 * Deg));
    const int s60 = TruncPx(Rl * std::sin(60 * Deg)), c60 = TruncPx(Rl * std::cos(60 * Deg));
    TextAt(p, cx - t0 / 2, cy - Rl, "0");
    TextAt(p, cx - s30 - t30 / 4, cy - c30, "30");
    TextAt(p, cx + s30 - t30 * 3 / 4, cy - c30, "30");
    TextAt(p, cx - s60 - t30 / 5, cy - c60 - th / 5, "60");
    TextAt(p, cx + s60 - t30 * 4 / 5, cy - c60 - th / 5, "60");
    TextAt(p, cx - Rl, cy - th * 2 / 3, "90");
    TextAt(p, cx + Rl - t30, cy - th * 2 / 3, "90");
    TextAt(p, cx - s60 - t120 / 4, cy + c60 - th * 4 / 5, "120");
    TextAt(p, cx + s60 - t120 * 3 / 4, cy + c60 - th * 4 / 5, "120");
    TextAt(p, cx - s30 - t120 / 4, cy + c30 - th * 6 / 5, "150");
    TextAt(p, cx + s30 - t120 * 3 / 4, cy + c30 - th * 6 / 5, "150");
    TextAt(p, cx - t120 / 2, cy + Rl - th * 4 / 3, "180");
}

void DrawDriftCursor(QPainter& p, const QRect& r, const PaneInput& in) {
    PaneOrigin o(p, r);
    DrawCars(p, r.size(), in);
}

void DrawCurDriftPicture(QPainter& p, const QRect& r, const PaneInput& in) {
    DrawDriftView(p, r, in);
    PaneOrigin o(p, r);
    DrawCars(p, r.size(), in);
}

} // namespace vel
