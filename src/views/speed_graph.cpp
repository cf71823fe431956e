#include "views/speed_graph.h"

#include <algorithm>
#include <cmath>
#include <QPainter>
#include "model/colors.h"
#include "views/g_traces.h"
#include "views/sub_graph.h"

namespace vel {

namespace {

constexpr double KmPerFoot = 0.0003048;
constexpr double KmhPerMph = 1.609344;

double D(long double v) { return static_cast<double>(v); }

bool LapShown(const PaneInput& in, int n) { return n >= 0 && n < in.laps.LapDt.size() && n < DispSlotNum; }

// Nothing but the white pane: no laps, a flat speed range, no room, or an
// empty time axis.
bool PaneEmpty(const PaneInput& in, const SpeedGeometry& g) {
    const double R = D(in.cmp.DispMaxSpd - in.cmp.DispMinSpd);
    return !(R > 0) || !(D(in.cmp.DispLapDist) > 0) || !(D(in.cmp.DispLapSec) > 0) || !g.drawable();
}

void PrepareCanvas(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setBackground(Qt::white);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBrush(Qt::NoBrush);
    p.setPen(LinePen(Qt::black));
}

void DrawSpeedScale(QPainter& p, const SpeedGeometry& g, const PaneInput& in) {
    const bool kmh = in.settings.SpdKmh;
    double lo = D(in.cmp.DispMinSpd), hi = D(in.cmp.DispMaxSpd);
    if (!kmh) {
        lo /= KmhPerMph;
        hi /= KmhPerMph;
    }
    p.setPen(Qt::black);
    TextOut(p, 4, g.T + 2, QString::asprintf("%5.1f", hi));
    TextOut(p, 4, g.T + g.H - g.th - 2, QString::asprintf("%5.1f", lo));
    p.setPen(LinePen(spdcol::Grid));
    for (int y : SpeedGridRows(lo, hi, kmh, g.T, g.H)) p.drawLine(g.L + 1, y, g.L + g.W, y);
}

QString SectorLabelText(int j) { return QString::asprintf("[S%d] ", j); }

// Where the sector labels stand below the axis: the reference lap's sector
// starts on the distance axis, its sector ends on the time axis.
QVector<QRect> SectorLabelRects(const QFontMetrics& fm, const SpeedGeometry& g, const PaneInput& in,
                                const AxisWindow& win) {
    QVector<QRect> out;
    const double s = win.s, e = win.s + win.w;
    const bool dist = in.view.Axis == AxisMode::Dist;
    if (!dist && in.laps.LapDtNum < 1) return out;
    double sum = 0;
    for (int j = 1; j <= in.sectors.Count(); ++j) {
        double v = 0;
        if (dist) v = D(in.cmp.DispSlot[0].SectStaDist[j - 1]);
        else {
            sum += D(in.cmp.DispSlot[0].SectTm[j - 1]);
            v = sum - D(in.cmp.TmOfs[0]);
        }
        if (!(s <= v && v <= e)) continue;
        const QString label = SectorLabelText(j);
        const int w = fm.horizontalAdvance(label);
        out << QRect(AxisX(win, g.L, g.W, v) - w / 2, g.T + g.H + 2, w, fm.height());
    }
    return out;
}

// Ticks, their grid lines and labels; a tick label that would print over a
// sector label is left out (the sector label matters more to a driver).
void DrawAxis(QPainter& p, const SpeedGeometry& g, const PaneInput& in, const AxisWindow& win) {
    const bool dist = in.view.Axis == AxisMode::Dist;
    const bool km = in.settings.DistKm;
    double step = 0;
    if (!dist) step = TimeTickStep(win.w);
    else if (km) step = DistTickStepKm(win.w);
    else step = FeetTickStepFt(win.w / KmPerFoot) * KmPerFoot;
    const QFontMetrics fm = p.fontMetrics();
    const QVector<QRect> sectorLabels = SectorLabelRects(fm, g, in, win);
    for (double v : AxisTicks(win.s, win.w, step)) {
        const int x = AxisX(win, g.L, g.W, v);
        p.setPen(LinePen(spdcol::Grid));
        p.drawLine(x, g.T, x, g.T + g.H);
        QString text, shown;
        if (!dist) text = shown = TimeTickLabel(v, step);
        else if (km) {
            text = QString::asprintf("%.1f", v);
            shown = text + "km";
        } else text = shown = QString::asprintf("%.0f", v / KmPerFoot);
        const QRect r(x - fm.horizontalAdvance(text) / 2, g.T + g.H + 2, fm.horizontalAdvance(shown), fm.height());
        if (std::any_of(sectorLabels.begin(), sectorLabels.end(), [&](const QRect& l) { return l.intersects(r); }))
            continue;
        p.setPen(spdcol::TickLabel);
        TextOut(p, r.left(), r.top(), shown);
    }
    p.setPen(Qt::black);
}

void SectorLabel(QPainter& p, const SpeedGeometry& g, int x, int j, const QColor& c) {
    const QString label = SectorLabelText(j);
    p.setPen(c);
    TextOut(p, x - p.fontMetrics().horizontalAdvance(label) / 2, g.T + g.H + 2, label);
}

void DrawSectorLines(QPainter& p, const SpeedGeometry& g, const PaneInput& in, const AxisWindow& win) {
    const int sectNum = in.sectors.Count();
    const double s = win.s, e = win.s + win.w;
    const auto inside = [&](double v) { return s <= v && v <= e; };
    if (in.view.Axis == AxisMode::Dist) {
        for (int j = 1; j <= sectNum; ++j) {
            const double d = D(in.cmp.DispSlot[0].SectStaDist[j - 1]);
            if (!inside(d)) continue;
            const int x = AxisX(win, g.L, g.W, d);
            p.setPen(LinePen(Qt::black, 1, Qt::DotLine));
            p.drawLine(x, g.T, x, g.T + g.H);
            SectorLabel(p, g, x, j, Qt::black);
        }
    } else {
        for (int k = std::min<int>(in.laps.LapDtNum, DispSlotNum) - 1; k >= 0; --k) {
            const QColor c = ColorOf(SlotColor[k]);
            double sum = 0;
            for (int j = 1; j <= sectNum; ++j) {
                sum += D(in.cmp.DispSlot[k].SectTm[j - 1]);
                const double t = sum - D(in.cmp.TmOfs[k]);
                if (!inside(t)) continue;
                const int x = AxisX(win, g.L, g.W, t);
                p.setPen(LinePen(c, 1, Qt::DotLine));
                p.drawLine(x, g.T, x, g.T + g.H);
                if (k == 0) SectorLabel(p, g, x, j, c);
            }
        }
    }
    // The alignment mark: at the chosen line, or at the axis start without one.
    const int sel = in.cmp.SelSect;
    std::optional<int> x;
    if (sel >= 1 && sel <= SectArrNum) {
        const TDispSlotRec& d0 = in.cmp.DispSlot[0];
        const double v = D(in.view.Axis == AxisMode::Dist ? d0.SectStaDist[sel - 1] : d0.SectStaSec[sel - 1]);
        if (inside(v)) x = AxisX(win, g.L, g.W, v);
    } else if (sel <= 0 && s <= 0) {
        x = g.L;
    }
    if (x) {
        const QPoint tri[3] = {QPoint(*x, g.T - 1), QPoint(*x - 3, g.T - 8), QPoint(*x + 3, g.T - 8)};
        p.setPen(LinePen(Qt::black));
        p.setBrush(Qt::black);
        p.drawPolygon(tri, 3);
        p.setBrush(Qt::NoBrush);
    }
    p.setPen(LinePen(Qt::black));
}

// Steps from the frame on, shared by the pane and its picture.
void DrawPlot(QPainter& p, const SpeedGeometry& g, const PaneInput& in, const QString& unitLabel) {
    const AxisWindow win = AxisWindowOf(in);
    p.setPen(LinePen(spdcol::Frame));
    p.drawRect(g.L, g.T, g.W, g.H);
    p.setPen(Qt::black);
    TextOut(p, 4, 2, unitLabel);
    const QRect plot = g.plot();
    if (in.cmp.DispSlot[0].Active) {
        DrawSpeedScale(p, g, in);
        DrawAxis(p, g, in, win);
        DrawSectorLines(p, g, in, win);
        p.setPen(LinePen(Qt::black));
        DrawElv(p, plot, in, 0, spdcol::SubBase);
    }
    if (in.view.XYGOn) DrawGTraces(p, plot, in);
    if (in.view.DriftOn) {
        for (int k = DispSlotNum - 1; k >= 0; --k) {
            const TDispSlotRec& slot = in.cmp.DispSlot[k];
            if (!slot.Active || !LapShown(in, slot.LapIdx) || !in.laps.LapDt[slot.LapIdx].driftAct) continue;
            DrawDriftAngle(p, plot, in, slot.LapIdx, TraceColor(k));
        }
    }
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        const TDispSlotRec& slot = in.cmp.DispSlot[k];
        if (slot.Active) DrawSpd(p, plot, in, slot.LapIdx, ColorOf(SlotColor[k]));
    }
}

SpeedGeometry GeometryIn(QPainter& p, const QRect& r) { return SpeedGeometryOf(p.fontMetrics(), r.size()); }

} // namespace

QColor TraceColor(int slot) {
    static const QColor c[4] = {QColor(255, 176, 176), QColor(160, 160, 255), QColor(128, 192, 128),
                                QColor(224, 224, 64)};
    return c[slot < 0 || slot > 3 ? 0 : slot];
}

double DistTickStepKm(double w) {
    static const double lim[] = {1, 5, 10, 20, 50, 100, 200, 500};
    static const double step[] = {0.1, 0.5, 1, 2, 5, 10, 20, 50, 100};
    for (int i = 0; i < 8; ++i)
        if (w <= lim[i]) return step[i];
    return step[8];
}

double FeetTickStepFt(double w) {
    static const double lim[] = {1000, 5000, 10000, 20000, 50000, 100000, 200000, 500000, 1000000};
    static const double step[] = {100, 500, 1000, 2000, 5000, 10000, 20000, 50000, 100000, 200000};
    for (int i = 0; i < 9; ++i)
        if (w <= lim[i]) return step[i];
    return step[9];
}

double TimeTickStep(double w) {
    static const double lim[] = {60, 300, 600, 1800, 7200};
    static const double step[] = {10, 30, 60, 300, 600, 3600};
    for (int i = 0; i < 5; ++i)
        if (w <= lim[i]) return step[i];
    return step[5];
}

QVector<double> AxisTicks(double s, double w, double step) {
    QVector<double> ticks;
    if (!(step > 0) || !(w > 0) || !std::isfinite(s + w)) return ticks;
    // Every table step keeps a window within a few hundred ticks; the cap
    // only guards against a window far beyond the tables.
    constexpr int MaxTicks = 2000;
    for (double v = std::trunc((s + step) / step) * step; v < s + w && ticks.size() < MaxTicks; v += step)
        ticks << v;
    return ticks;
}

QString TimeTickLabel(double v, double step) {
    if (step <= 60) {
        const int m = Tr(v / 60);
        return QString::asprintf("%d:%.2d", m, Tr(v - 60.0 * m));
    }
    const int h = Tr(v / 3600);
    return QString::asprintf("%d:%.2d", h, Tr((v - 3600.0 * h) / 60));
}

int SpeedGridStep(double R, bool kmh) {
    if (R > 500) return 100;
    if (kmh && R > 200) return 20;
    if (R > 10) return 10;
    return 1;
}

QVector<int> SpeedGridRows(double lo, double hi, bool kmh, int T, int H) {
    QVector<int> rows;
    const double R = hi - lo;
    if (!(R > 0)) return rows;
    const int step = SpeedGridStep(R, kmh);
    for (int i = Tr(lo) / step + 1; i <= Tr(hi) / step; ++i) rows << T + H - Tr(H * (i * step - lo) / R);
    return rows;
}

void DrawSpd(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    const Comparison& cmp = in.cmp;
    const double lo = D(cmp.DispMinSpd), R = D(cmp.DispMaxSpd - cmp.DispMinSpd);
    if (!(R > 0) || !(D(cmp.DispLapDist) > 0) || !(D(cmp.DispLapSec) > 0) || !LapShown(in, n)) return;
    const TLapDtRec& lap = in.laps.LapDt[n];
    const int N = std::min<int>(lap.ElmNum, lap.Elm.size());
    const bool dist = in.view.Axis == AxisMode::Dist;
    const double ofs = D(dist ? cmp.DistOfs[n] : cmp.TmOfs[n]);
    const TLapElmRec* e = lap.Elm.constData();
    const int gT = plot.top(), gH = plot.height();
    const int minSat = in.settings.MinUseSat;
    const ValueRows row(gT, gH, lo, R);
    auto curve = MakeCurve(
        0, N - 1, [=](int i) { return D(dist ? e[i].Dist : e[i].Sec) - ofs; },
        [=](int i) { return row(D(e[i].Spd)); },
        [=](int i) { return e[i].UseSat >= minSat ? 0 : 1; });
    curve.keepLastColour = true;
    PlotCurve(p, CurveFrameOf(plot, in), curve, {c, spdcol::FewSats}, 1);
}

void DrawSpeedGraph(QPainter& p, const QRect& r, const PaneInput& in) {
    p.save();
    p.fillRect(r, Qt::white);
    p.translate(r.topLeft());
    PrepareCanvas(p);
    const SpeedGeometry g = GeometryIn(p, r);
    if (!PaneEmpty(in, g)) DrawPlot(p, g, in, in.settings.SpdKmh ? "km/h" : "MPH");
    p.restore();
}

void DrawSpdPicture(QPainter& p, const QRect& r, const PaneInput& in) {
    p.save();
    p.translate(r.topLeft());
    PrepareCanvas(p);
    const SpeedGeometry g = GeometryIn(p, r);
    if (!PaneEmpty(in, g)) DrawPlot(p, g, in, in.settings.SpdKmh ? "km/h    Velmaris" : "MPH     Velmaris");
    p.restore();
}

void DrawPosBar(QPainter& p, const QRect& r, const PaneInput& in) { DrawPosBar(p, r, in, GeometryIn(p, r)); }

void DrawPosBar(QPainter& p, const QRect& r, const PaneInput& in, const SpeedGeometry& g) {
    if (!in.cmp.DispSlot[0].Active) return;
    if (PaneEmpty(in, g)) return;
    const AxisWindow win = AxisWindowOf(in);
    const int x = r.left() + AxisX(win, g.L, g.W, win.p);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(LinePen(in.view.Axis == AxisMode::Dist ? QColor(Qt::red) : QColor(Qt::black)));
    p.drawLine(x, r.top() + g.T, x, r.top() + g.T + g.H + 1);
    p.restore();
}

double LapSecAtDist(const TLapDtRec& lap, double d) {
    const int N = std::min<int>(lap.ElmNum, lap.Elm.size());
    if (N <= 0) return 0;
    const TLapElmRec* e = lap.Elm.constData();
    for (int i = 0; i < N; ++i) {
        const double di = D(e[i].Dist);
        if (di == d) return D(e[i].Sec);
        if (di > d) {
            if (i == 0) return D(e[0].Sec);
            const double d0 = D(e[i - 1].Dist);
            return D(e[i - 1].Sec) + (d - d0) / (di - d0) * D(e[i].Sec - e[i - 1].Sec);
        }
    }
    return D(e[N - 1].Sec);
}

std::optional<double> SpeedGraphClickTime(const PaneInput& in, const SpeedGeometry& g, QPoint pt) {
    const TDispSlotRec& ref = in.cmp.DispSlot[0];
    if (!ref.Active || PaneEmpty(in, g)) return std::nullopt;
    if (pt.x() < g.L || pt.x() > g.L + g.W || pt.y() < g.T || pt.y() > g.T + g.H) return std::nullopt;
    const AxisWindow win = AxisWindowOf(in);
    if (!win.valid()) return std::nullopt;
    const double a = win.s + (pt.x() - g.L) * win.w / g.W;
    if (in.view.Axis == AxisMode::Time) return a;
    if (!LapShown(in, ref.LapIdx)) return std::nullopt;
    return LapSecAtDist(in.laps.LapDt[ref.LapIdx], a);
}

void DrawAxisTab(QPainter& p, QSize box, const QString& caption, bool distTab, bool selected) {
    const QFontMetrics fm = p.fontMetrics();
    const int cw = fm.horizontalAdvance(caption), ch = fm.height();
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::TransparentMode);
    TextOutUp(p, (box.width() - ch) / 2, cw + (box.height() - cw) / 2, caption);
    const int Wb = box.width(), Hb = box.height();
    p.setPen(LinePen(Qt::black));
    if (selected) {
        if (distTab) {
            const QPoint pts[3] = {{0, 0}, {0, Hb - 1}, {Wb - 1, Hb - 1}};
            p.drawPolyline(pts, 3);
        } else {
            const QPoint pts[4] = {{Wb - 1, 0}, {0, 0}, {0, Hb - 1}, {Wb - 1, Hb - 1}};
            p.drawPolyline(pts, 4);
        }
    } else {
        p.drawLine(Wb - 1, 0, Wb - 1, Hb - 1);
    }
}

} // namespace vel
