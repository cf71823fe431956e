#include "views/g_view.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <QPolygon>
#include "views/map_projection.h"
#include "views/pen_rules.h"
#include "views/zoom_map.h"

namespace vel {

namespace {

double D(long double v) { return static_cast<double>(v); }
double Cut1(double v) { return std::trunc(v * 10) / 10; }

constexpr uint32_t OuterColor = 0xE0E0E0;
constexpr uint32_t GreyColor = 0x808080;
// Scatter and accelerating bars of slots 0 to 3.
constexpr std::array<uint32_t, 4> SlotLightColor = {0x9090FF, 0xFF7070, 0x60C060, 0x40E0E0};

// A fraction num / den of the radius or of the full scale, in hundredths.
struct Mark {
    int num, den;
    const char* text;
};

// Per G range: full scale, rings and labels, all in hundredths of a G.
struct GRange {
    int F;
    std::vector<int> grey, light, dotted;
    std::vector<Mark> gLabels;      // num = G in hundredths
    std::vector<Mark> rLabels;      // num / den of the radius
    int barScale;                   // the G bar's full scale, hundredths
    const char* barMid;
};

const GRange& RangeOf(int32_t idx) {
    static const GRange ranges[7] = {
        {50, {10, 20, 30, 40, 50}, {}, {}, {{10, 1, "0.1G"}, {20, 1, "0.2G"}, {30, 1, "0.3G"}, {40, 1, "0.4G"}},
         {{2, 5, "120m"}, {4, 5, "240m"}}, 50, "0.25"},
        {150, {50, 100}, {25, 75, 125}, {120}, {{50, 1, "0.5G"}, {100, 1, "1.0G"}}, {{1, 3, "100m"}, {2, 3, "200m"}},
         150, "0.75"},
        {200, {50, 100, 150}, {}, {120}, {{100, 1, "1.0G"}, {150, 1, "1.5G"}}, {{1, 2, "150m"}, {3, 4, "225m"}}, 200,
         "1.0"},
        {250, {100, 150, 200}, {50}, {}, {{100, 1, "1.0G"}, {200, 1, "2.0G"}}, {{2, 5, "120m"}, {4, 5, "240m"}}, 300,
         "1.5"},
        {275, {100, 150, 200, 250}, {50}, {}, {{100, 1, "1.0G"}, {200, 1, "2.0G"}}, {{4, 11, "109m"}, {8, 11, "218m"}},
         350, "1.75"},
        {350, {100, 200, 300}, {50, 150, 250}, {}, {{100, 1, "1.0G"}, {200, 1, "2.0G"}}, {{2, 7, "86m"}, {4, 7, "171m"}},
         400, "2.0"},
        {500, {100, 200, 300, 400, 500}, {}, {}, {{100, 1, "1.0G"}, {200, 1, "2.0G"}, {300, 1, "3.0G"}, {400, 1, "4.0G"}},
         {{2, 5, "120m"}, {4, 5, "240m"}}, 600, "3.0"},
    };
    return ranges[(idx < 0 || idx > 6) ? 2 : idx];
}

// d x g / (2F) truncated, g and F in hundredths: exact for every ring.
int RingR(int d, int gH, int FH) { return int((long long)d * gH / (2LL * FH)); }

void Ring(QPainter& p, const GGeom& g, int rho) {
    BoxEllipse(p, g.cx - rho, g.cy - rho, g.cx + rho, g.cy + rho);
}

// The pixels of a 4 x 4 ring (an ellipse box from (x - 2, y - 2) to
// (x + 2, y + 2)), as offsets.
const QPoint RingDots[] = {{-1, -2}, {0, -2}, {-2, -1}, {1, -1}, {-2, 0}, {1, 0}, {-1, 1}, {0, 1}};

void DrawDotAndArrow(QPainter& p, const GGeom& g, int k, const GValues& v) {
    const QColor c = ColorOf(SlotColor[k]);
    p.setPen(MapPen(QColor(Qt::black)));
    p.setBrush(c);
    const QPoint at = g.Pixel(v.gx, v.gy);
    BoxEllipse(p, at.x() - 5, at.y() - 5, at.x() + 5, at.y() + 5);
    p.setBrush(Qt::NoBrush);
    if (!(v.R <= 600)) return;
    const int yR = g.RadiusY(v.R);
    const int cx = g.cx;
    p.setPen(MapPen(c, 2));
    p.drawPoint(cx, yR);
    p.drawPolyline(QPolygon{{cx - 1, yR}, {cx - 13, yR - 8}, {cx - 13, yR + 8}, {cx - 1, yR}});
    p.drawLine(cx - 13, yR - 9, cx - 13, yR + 9);
}

} // namespace

QPoint GGeom::Pixel(double gx, double gy) const {
    return {cx + NearestPx(d * (gx / F) / 2), cy + NearestPx(d * (gy / F) / 2)};
}

int GGeom::RadiusY(double radius) const { return cy + NearestPx(d * radius / 300 / 2); }

GGeom GGeomOf(const QSize& size, int32_t gRangeIdx) {
    GGeom g;
    g.w = size.width();
    g.h = size.height();
    g.d = std::min(g.w - 8, g.h - 8);
    g.cx = g.w / 2;
    g.cy = g.h / 2;
    g.r = g.d / 2;
    g.F = D(GFullScale(gRangeIdx));
    return g;
}

GValues GValuesOf(const PaneInput& in, int slot) {
    const TCurValRec& c = in.cmp.CurVal[slot];
    if (in.view.Axis == AxisMode::Time) return {D(c.lateG3), D(c.logiG3), D(c.r2_3), D(c.Spd)};
    return {D(c.DistLateG3), D(c.DistLogiG3), D(c.DistR2_3), D(c.DistSpd)};
}

QVector<int> ScatterIndices(const TLapDtRec& lap) {
    const int n = std::min<int>(lap.ElmNum, lap.Elm.size());
    double m = 9.9;
    for (int i = 1; i <= n - 3; ++i) m = std::min(m, D(lap.Elm[i + 1].Sec - lap.Elm[i].Sec));
    const bool thin = m <= 0.1 && lap.LapDist > 7.5L;
    QVector<int> out;
    for (int i = 1; i <= n - 2; ++i)
        if (!thin || i % 2 == 1 || i == n - 2) out << i;
    return out;
}

void DrawFricCir(QPainter& p, const GGeom& g, const PaneInput& in, int slot, QColor c) {
    const TLapDtRec* lap = SlotLap(in.laps, in.cmp, slot);
    if (!lap || g.d <= 0) return;
    const int nG = lap->GElm.size();
    // The rings' pixels, each position once, drawn in one call.
    const int w = g.w + 4, h = g.h + 4;
    std::vector<bool> seen(size_t(std::max(w, 0)) * size_t(std::max(h, 0)), false);
    QPolygon dots;
    for (int i : ScatterIndices(*lap)) {
        if (i >= nG) break;
        const QPoint at = g.Pixel(D(lap->GElm[i].lateG3), D(lap->GElm[i].logiG3));
        const int sx = at.x() + 2, sy = at.y() + 2;
        if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
            const size_t key = size_t(sy) * size_t(w) + size_t(sx);
            if (seen[key]) continue;
            seen[key] = true;
        }
        for (const QPoint& o : RingDots) dots << at + o;
    }
    p.setPen(MapPen(c));
    p.drawPoints(dots);
}

void DrawZoomGBar(QPainter& p, const QSize& size, const PaneInput& in, int n, int pn) {
    const int W = size.width(), H = size.height();
    const int L = int(std::trunc((H / 2.0) * 2 / 3)) - 2;
    const int b = -16 * pn;
    const GRange& range = RangeOf(in.view.GRangeIdx);
    if (n == 4) {
        const int x0 = W - 4 + b;
        p.setPen(MapPen(GreyColor));
        p.drawPolyline(QPolygon{{x0 - 4, 2}, {x0, 2}, {x0, 2 + L}, {x0 - 5, 2 + L}});
        p.drawLine(x0 - 4, 2 + L / 2, x0, 2 + L / 2);
        const QString mid = QString::fromLatin1(range.barMid);
        TextAt(p, x0 - TextWidth(p, "XY-G") - 1, 3, "XY-G");
        TextAt(p, x0 - TextWidth(p, mid) - 1, L / 2 + 3, mid);
        return;
    }
    if (n < 0 || n > 3) return;
    const GValues v = GValuesOf(in, n);
    const double S = range.barScale / 100.0;
    const double c = std::min(std::sqrt(v.gx * v.gx + v.gy * v.gy), S);
    const double sum = std::fabs(v.gx) + std::fabs(v.gy);
    const double share = sum == 0 ? 0 : std::fabs(v.gy) / sum;
    const int u = TruncPx(L * c / S);
    const int f = TruncPx(L * (c / S) * share);
    p.fillRect(QRect(W + b - 17, 0, 16, u + 4), Qt::white);
    p.fillRect(QRect(W + b - 16, 2, 14, f), ColorOf(v.gy > 0 ? SlotLightColor[n] : SlotColor[n]));
    p.setPen(MapPen(SlotColor[n]));
    p.drawPolyline(QPolygon{{W + b - 16, 2}, {W + b - 3, 2}, {W + b - 3, 2 + u}, {W + b - 16, 2 + u}, {W + b - 16, 2}});
}

void DrawGView(QPainter& p, const QRect& rect, const PaneInput& in) {
    PaneOrigin o(p, rect);
    p.fillRect(QRect(QPoint(0, 0), rect.size()), Qt::white);
    const GGeom g = GGeomOf(rect.size(), in.view.GRangeIdx);
    if (g.d <= 0) return;
    const GRange& range = RangeOf(in.view.GRangeIdx);
    const int tw = TextWidth(p, "X"), th = TextHeight(p);
    const int cx = g.cx, cy = g.cy, r = g.r, d = g.d;
    p.setBrush(Qt::NoBrush);
    p.setPen(MapPen(OuterColor));
    Ring(p, g, r);
    p.setPen(Qt::black);
    const auto text = [&](int x, int y, const QString& s) { TextAt(p, x, y, s, true); };
    text(cx - r, cy - th, "X");
    text(cx - tw - 2, cy - r, "Y");
    text(cx - r, cy + 2, "右");
    text(cx - r, cy + th + 2, "ターン");
    text(cx + r - tw, cy + 2, "左");
    text(cx + 4, cy - r, "ブレーキング");
    text(cx + 4, cy + r - th, "加速");
    text(cx - 2 - TextWidth(p, "旋回半径R"), cy + r - th, "旋回半径R");
    for (const Mark& m : range.gLabels) text(cx + 4, cy + RingR(d, m.num, range.F), m.text);
    for (const Mark& m : range.rLabels)
        text(cx - 2 - TextWidth(p, m.text), cy + int((long long)d * m.num / (2LL * m.den)), m.text);
    for (int k = DispSlotNum - 1; k >= 0; --k)
        if (in.cmp.DispSlot[k].Active) DrawFricCir(p, g, in, k, ColorOf(SlotLightColor[k]));
    p.setBrush(Qt::NoBrush);
    p.setPen(MapPen(GreyColor));
    for (int gH : range.grey) Ring(p, g, RingR(d, gH, range.F));
    p.setPen(MapPen(OuterColor));
    for (int gH : range.light) Ring(p, g, RingR(d, gH, range.F));
    p.setPen(MapPen(GreyColor, 1, Qt::DotLine));
    for (int gH : range.dotted) Ring(p, g, RingR(d, gH, range.F));
    p.setPen(MapPen(GreyColor));
    p.drawLine(cx - r - 4, cy, cx + r + 4, cy);
    p.drawLine(cx, cy - r - 4, cx, cy + d);
}

void DrawGViewCursor(QPainter& p, const QRect& rect, const PaneInput& in, std::optional<QPoint> mouse) {
    PaneOrigin o(p, rect);
    const GGeom g = GGeomOf(rect.size(), in.view.GRangeIdx);
    if (in.cmp.DispSlot[0].Active) {
        int pn = 0;
        for (int k = DispSlotNum - 1; k >= 0; --k)
            if (in.cmp.DispSlot[k].Active) DrawZoomGBar(p, rect.size(), in, k, pn++);
        DrawZoomGBar(p, rect.size(), in, 4, pn);
    }
    int th = 0;
    {
        FontSize fs(p, 11);
        th = TextHeight(p);
    }
    int compared = 0;
    for (int k = 1; k < DispSlotNum; ++k) compared += in.cmp.DispSlot[k].Active;
    for (int k = DispSlotNum - 1; k >= 0; --k)
        if (in.cmp.DispSlot[k].Active) DrawDotAndArrow(p, g, k, GValuesOf(in, k));
    FontSize fs(p, 11);
    // The G and radius under the mouse; nothing to scale to in a pane of no size.
    if (mouse && g.d > 0 && mouse->x() >= 0 && mouse->x() < g.w && mouse->y() >= 0 && mouse->y() < g.h) {
        const double half = g.d / 2.0;
        const double X = Cut1((mouse->x() - g.cx) / half * g.F), Y = Cut1((mouse->y() - g.cy) / half * g.F);
        p.setPen(Qt::black);
        TextAt(p, 4, 4, QString::asprintf("X= %3.1f , Y= %3.1f   ", X, Y));
        if (mouse->y() - g.cy > 0) {
            const double rm = (mouse->y() - g.cy) / half * 300;
            if (rm <= 600) TextAt(p, 4, th + 8, QString::asprintf("R= %dm   ", int(rm)));
        }
    }
    const int wR = TextWidth(p, "R= 999m");
    int y = g.h - th - 3 - (th + 2) * compared;
    for (int k = 0; k < DispSlotNum; ++k) {
        if (!in.cmp.DispSlot[k].Active) continue;
        const GValues v = GValuesOf(in, k);
        if (!(v.R > 0)) continue;
        p.setPen(ColorOf(SlotColor[k]));
        const int ri = TruncPx(v.R);
        TextAt(p, 4, y, ri > 300 ? QStringLiteral("R= -------") : QString::asprintf("R= %3dm", ri));
        TextAt(p, wR + 4, y, QString::asprintf(", %5.1fkm/h", Cut1(v.v)));
        const QString s = QString::asprintf("X= %4.1f, Y= %4.1f, XY= %3.1f", Cut1(v.gx), Cut1(v.gy),
                                            Cut1(std::sqrt(v.gx * v.gx + v.gy * v.gy)));
        TextAt(p, g.w - TextWidth(p, s) - 4, y, s);
        y += th + 2;
    }
}

void DrawGMouseMove(QPainter& p, const QRect& rect, const PaneInput& in, QPoint mouse) {
    const GGeom g = GGeomOf(rect.size(), in.view.GRangeIdx);
    if (g.d <= 0) return;
    PaneOrigin o(p, rect);
    FontSize fs(p, 11);
    const double half = g.d / 2.0;
    const int dx = mouse.x() - g.cx, dy = mouse.y() - g.cy;
    p.setPen(Qt::black);
    TextAt(p, 4, 4, QString::asprintf("X= %4.1f , Y= %4.1f   ", Cut1(dx / half * g.F), Cut1(dy / half * g.F)));
    const int y2 = TextHeight(p) + 8;
    const double rm = dy / half * 300;
    if (dy >= 1 && rm <= 600) TextAt(p, 4, y2, QString::asprintf("R= %dm   ", int(rm)));
    else TextAt(p, 4, y2, QString(25, QLatin1Char(' ')));
}

void DrawGPicture(QPainter& p, const QRect& rect, const PaneInput& in) {
    if (!in.cmp.DispSlot[0].Active) {
        p.fillRect(rect, Qt::white);
        return;
    }
    DrawGView(p, rect, in);
    PaneOrigin o(p, rect);
    const GGeom g = GGeomOf(rect.size(), in.view.GRangeIdx);
    p.setPen(Qt::black);
    TextAt(p, g.cx - g.r, g.cy - g.r, "Velmaris", true);
    for (int k = DispSlotNum - 1; k >= 0; --k)
        if (in.cmp.DispSlot[k].Active) DrawDotAndArrow(p, g, k, GValuesOf(in, k));
}

int HoverTrailLength(const TLapDtRec& lap) {
    if (std::min<int>(lap.ElmNum, lap.Elm.size()) < 2) return 0;
    const double first = D(lap.Elm[1].Sec - lap.Elm[0].Sec);
    return first <= 0.1 ? 20 : (first <= 0.2 ? 10 : 5);
}

GHover GHoverAt(const QSize& zoomSize, QPoint at, const PaneInput& in, bool gPageShown) {
    GHover h;
    if (!in.cmp.DispSlot[0].Active) {
        h.distText = QStringLiteral(".");
        return h;
    }
    const double zoom = D(in.view.MapZoom);
    const int W = zoomSize.width(), H = zoomSize.height();
    const double dist = zoom > 0 ? std::hypot(double(at.x() - W / 2), double(at.y() - H / 2)) / zoom : 0;
    h.distText = in.settings.DistKm ? QString::asprintf("%.1fm", dist) : QString::asprintf("%.1ffeet", dist / 0.3048);
    if (in.view.Playing || !gPageShown) return h;
    h.drawRows = true;
    if (at.x() <= 16 || at.y() <= 16 || at.x() >= W - 16 || at.y() >= H - 16) return h;
    const ZoomView v = ZoomViewOfPane(zoomSize, in);
    if (!v.ok) return h;
    double ido = 0, kdo = 0;
    v.Unmap(at.x(), at.y(), ido, kdo);
    for (int k = 0; k < DispSlotNum; ++k) {
        const TLapDtRec* lap = SlotLap(in.laps, in.cmp, k);
        if (!lap) continue;
        const int i = NearestSample(*lap, ido, kdo);
        // A lap without G values for its samples reads nothing.
        if (i < 0 || i >= lap->GElm.size()) continue;
        const QPoint px = v.Map(D(lap->Elm[i].Ido), D(lap->Elm[i].Kdo));
        if (std::hypot(double(px.x() - at.x()), double(px.y() - at.y())) / zoom > 20) continue;
        const TGCalRec& gr = lap->GElm[i];
        const double spd = in.settings.SpdKmh ? D(gr.spd2) : D(gr.spd2) / 1.609344;
        h.rows << GHoverRow{k, i, Cut1(D(gr.lateG3)), Cut1(D(gr.logiG3)), Cut1(spd)};
    }
    return h;
}

void DrawGHover(QPainter& p, const QRect& rect, const PaneInput& in, const GHover& hover) {
    if (!hover.drawRows || hover.rows.isEmpty()) return;
    PaneOrigin o(p, rect);
    const GGeom g = GGeomOf(rect.size(), in.view.GRangeIdx);
    for (const GHoverRow& row : hover.rows) {
        const int k = row.slot;
        {
            FontSize fs(p, 11);
            const int c = TextHeight(p);
            const int wX = TextWidth(p, "X= -9.9 "), wY = TextWidth(p, ", Y= -9.9 ");
            const int y = 4 + k * (c + 2);
            const char* blank = k == 3 ? " " : "";
            p.setPen(ColorOf(SlotColor[k]));
            TextAt(p, 4, y, QString::asprintf("X= %4.1f%s", row.gx, blank));
            TextAt(p, wX + 4, y, QString::asprintf(", Y= %4.1f%s", row.gy, blank));
            TextAt(p, wX + wY + 4, y,
                   QString::asprintf(in.settings.SpdKmh ? ", %5.1fkm/h" : ", %5.1fMPH", row.v));
        }
        const TLapDtRec* lap = SlotLap(in.laps, in.cmp, k);
        if (k > 1 || !lap || g.d <= 0) continue;
        const auto point = [&](int i) {
            return QPoint(g.cx + NearestPx(g.d * D(lap->GElm[i].lateG3) / g.F / 2),
                          g.cy + NearestPx(g.d * D(lap->GElm[i].logiG3) / g.F / 2));
        };
        const QPoint at = point(row.sample);
        p.setBrush(Qt::NoBrush);
        p.setPen(MapPen(SlotColor[k], 2));
        BoxEllipse(p, at.x() - 5, at.y() - 5, at.x() + 5, at.y() + 5);
        const int n = HoverTrailLength(*lap);
        QPolygon trail{at};
        for (int i = row.sample - 1; i >= 0 && i >= row.sample - n; --i) trail << point(i);
        p.setPen(MapPen(k == 0 ? 0x5050FFu : 0xFF5050u, 2));
        if (trail.size() > 1) p.drawPolyline(trail);
    }
}

} // namespace vel
