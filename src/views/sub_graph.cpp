#include "views/sub_graph.h"

#include <algorithm>
#include <QPainter>
#include "model/graph_view.h"
#include "views/speed_plot.h"

namespace vel {

namespace {

double D(long double v) { return static_cast<double>(v); }

bool AxesShown(const PaneInput& in) { return D(in.cmp.DispLapDist) != 0 && D(in.cmp.DispLapSec) != 0; }

bool LapOk(const PaneInput& in, int n) { return n >= 0 && n < in.laps.LapDt.size() && n < DispSlotNum; }

int TextH(QPainter& p) { return p.fontMetrics().height(); }

void PrintGScale(QPainter& p, const QRect& plot, const PaneInput& in) {
    const int xR = plot.left() + plot.width() + 4, gT = plot.top(), gH = plot.height();
    const int h = TextH(p);
    const double S = D(GFullScale(in.view.GRangeIdx));
    p.setPen(Qt::black);
    TextOut(p, xR, 2, "G");
    TextOut(p, xR, gT + gH / 4 - h / 2, QString::asprintf("%.2f", S));
    if (in.view.GSel != GChoice::XY) {
        TextOut(p, xR, gT + (3 * gH) / 4 - h / 2, QString::asprintf("%.2f", -S));
        TextOut(p, xR, gT + gH / 2 - h / 2, "0.0");
    } else {
        TextOut(p, xR, gT + (3 * gH) / 4 - h / 2, "0.0");
    }
    if (in.view.GSel == GChoice::X) {
        const QFont saved = p.font();
        QFont small = saved;
        small.setPointSize(8);
        p.setFont(small);
        p.setPen(QColor(128, 128, 128));
        TextOut(p, xR, gT + gH / 4 - h / 2 - h, "左");
        TextOut(p, xR, gT + (3 * gH) / 4 - h / 2 + h + 1, "右");
        p.setFont(saved);
        p.setPen(Qt::black);
    }
}

void PrintDriftScale(QPainter& p, const QRect& plot, const PaneInput& in) {
    const int xR = plot.left() + plot.width() + 4, gT = plot.top(), gH = plot.height(), gL = plot.left();
    const int h = TextH(p);
    const int ym = gT + gH / 2;
    p.setPen(LinePen(QColor(160, 160, 160), 1, Qt::DotLine));
    p.drawLine(gL, ym, gL + plot.width() - 1, ym);
    p.setPen(Qt::black);
    TextOut(p, xR, ym - h / 2 - h, "Drift");
    TextOut(p, xR, ym - h / 2, "0");
    if (!in.view.AltitudeOn) {
        TextOut(p, xR, gT + 2 - h, "deg");
        TextOut(p, xR, gT + 2, "90");
        TextOut(p, xR, gT + gH - h - 2, "-90");
    }
}

void PrintAltitudeLabels(QPainter& p, const QRect& plot, const PaneInput& in) {
    const int xR = plot.left() + plot.width() + 4, gT = plot.top(), gH = plot.height();
    const int h = TextH(p);
    const bool metres = in.settings.DistKm;
    double hi = D(in.cmp.DispElvHi), lo = D(in.cmp.DispElvLo);
    p.setPen(Qt::black);
    TextOut(p, xR, 2, metres ? "m" : "feet");
    const QFont saved = p.font();
    if (!metres) {
        hi /= 0.3048;
        lo /= 0.3048;
        // Five-digit feet get a smaller font to stay within the margin.
        if (hi > 9999) {
            QFont small = saved;
            small.setPointSize(8);
            p.setFont(small);
        }
    }
    TextOut(p, xR, gT + 2, QString::asprintf("%.0f", hi));
    TextOut(p, xR, gT + gH - h - 2, QString::asprintf("%.0f", lo));
    p.setFont(saved);
}

void DrawAltitude(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    if (!LapOk(in, n)) return;
    const TLapDtRec& lap = in.laps.LapDt[n];
    const int N = std::min<int>(lap.ElmNum, lap.Elm.size());
    const bool dist = in.view.Axis == AxisMode::Dist;
    const double lo = D(in.cmp.DispElvLo), R = D(in.cmp.DispElvHi - in.cmp.DispElvLo);
    const TLapElmRec* e = lap.Elm.constData();
    const int gT = plot.top(), gH = plot.height();
    const ValueRows row(gT, gH, lo, R);
    const auto curve = MakeCurve(0, N - 1, [=](int i) { return D(dist ? e[i].Dist : e[i].Sec); },
                                 [=](int i) { return row(D(e[i].Elv)); });
    PlotCurve(p, CurveFrameOf(plot, in), curve, {c}, 1);
}

} // namespace

bool DiffTmDrawable(const PaneInput& in) {
    return in.view.Axis == AxisMode::Dist && in.view.DiffTmOn && AxesShown(in) && in.laps.LapDtNum >= 2 &&
           D(in.cmp.DeltaTmMax - in.cmp.DeltaTmMin) != 0;
}

SubGraphChoice ChooseSubGraph(const PaneInput& in) {
    SubGraphChoice c;
    c.diffTm = DiffTmDrawable(in);
    for (int k = 0; k < DispSlotNum; ++k) {
        const TDispSlotRec& s = in.cmp.DispSlot[k];
        if (s.Active && LapOk(in, s.LapIdx) && in.laps.LapDt[s.LapIdx].driftAct) {
            c.driftSlot = k;
            break;
        }
    }
    c.gScale = !c.diffTm && in.view.XYGOn;
    c.driftScale = !c.diffTm && !in.view.XYGOn && in.view.DriftOn && c.driftSlot >= 0;
    c.driftDegLabels = c.driftScale && !in.view.AltitudeOn;
    c.altCurve = in.view.AltitudeOn && D(in.cmp.DispElvHi - in.cmp.DispElvLo) != 0 && AxesShown(in);
    c.altLabels = c.altCurve && !c.diffTm && !in.view.XYGOn;
    return c;
}

void DrawElv(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    const SubGraphChoice ch = ChooseSubGraph(in);
    if (ch.diffTm) DrawDiffTim(p, plot, in, n, Qt::black);
    if (ch.gScale) PrintGScale(p, plot, in);
    if (ch.driftScale) PrintDriftScale(p, plot, in);
    if (ch.altLabels) PrintAltitudeLabels(p, plot, in);
    if (ch.altCurve) DrawAltitude(p, plot, in, n, c);
    p.setPen(Qt::black);
}

bool DrawDiffTim(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    const Comparison& cmp = in.cmp;
    if (!AxesShown(in) || in.laps.LapDtNum < 2 || D(cmp.DeltaTmMax - cmp.DeltaTmMin) == 0 || !LapOk(in, n))
        return false;
    const double lo = D(cmp.DeltaTmMin), hi = D(cmp.DeltaTmMax), R = hi - lo;
    const int gL = plot.left(), gT = plot.top(), gW = plot.width(), gH = plot.height();
    const int xR = gL + gW + 4;
    const ValueRows yOf(gT, gH, lo, R);
    const int h = p.fontMetrics().height();   // of "99.9"
    p.setPen(Qt::black);
    TextOut(p, xR, 2, "sec");
    TextOut(p, xR, gT + 2, QString::asprintf(hi >= 100 ? "%.1f" : "%.2f", hi));
    TextOut(p, xR, gT + gH - h - 2, QString::asprintf(lo > -10 ? "%.2f" : lo > -100 ? "%.1f" : "%.0f", lo));
    const int y0 = yOf(0);
    if (y0 - h / 2 > gT + h + 2 && y0 + h / 2 < gT + gH - h - 2) TextOut(p, xR, y0 - h / 2, "0.00");
    p.setPen(LinePen(c));
    p.drawLine(gL, y0, gL + gW, y0);

    const TLapDtRec& lap = in.laps.LapDt[n];
    const int N = std::min<int>({lap.ElmNum, static_cast<int>(lap.Elm.size()), static_cast<int>(cmp.DeltaTm.size())});
    const TLapElmRec* e = lap.Elm.constData();
    const auto* dt = cmp.DeltaTm.constData();
    const auto curve = MakeCurve(0, N - 1, [=](int i) { return D(e[i].Dist); }, [=](int i) { return yOf(D(dt[i])); });
    PlotCurve(p, CurveFrameOf(plot, in), curve, {c}, 1);
    return true;
}

void DrawDriftAngle(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    if (!AxesShown(in) || !LapOk(in, n)) return;
    const TLapDtRec& lap = in.laps.LapDt[n];
    const int N = std::min<int>({lap.ElmNum, static_cast<int>(lap.Elm.size()), static_cast<int>(lap.DElm.size())});
    const bool dist = in.view.Axis == AxisMode::Dist;
    const double ofs = D(dist ? in.cmp.DistOfs[n] : in.cmp.TmOfs[n]);
    const TLapElmRec* e = lap.Elm.constData();
    const TDriftRec* de = lap.DElm.constData();
    const int gT = plot.top(), gH = plot.height();
    const ValueRows row(gT, gH, -90, 180);
    const auto curve = MakeCurve(0, N - 1, [=](int i) { return D(dist ? e[i].Dist : e[i].Sec) - ofs; },
                                 [=](int i) { return row(D(de[i].DAngle)); });
    PlotCurve(p, CurveFrameOf(plot, in), curve, {c}, 2);
}

} // namespace vel
