#include "views/g_traces.h"

#include <algorithm>
#include <QPainter>
#include "model/graph_view.h"
#include "views/speed_graph.h"
#include "views/speed_plot.h"

namespace vel {

namespace {

double D(long double v) { return static_cast<double>(v); }

enum class GKind { Lateral, Longitudinal, Combined };

void DrawTrace(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c, GKind kind) {
    if (D(in.cmp.DispLapDist) == 0 || D(in.cmp.DispLapSec) == 0) return;
    if (n < 0 || n >= in.laps.LapDt.size() || n >= DispSlotNum) return;
    const TLapDtRec& lap = in.laps.LapDt[n];
    const int N = std::min<int>({lap.ElmNum, static_cast<int>(lap.Elm.size()), static_cast<int>(lap.GElm.size())});
    // The first and last samples carry no G of their own.
    if (N < 3) return;
    const double S = D(GFullScale(in.view.GRangeIdx));
    const bool dist = in.view.Axis == AxisMode::Dist;
    const double ofs = D(dist ? in.cmp.DistOfs[n] : in.cmp.TmOfs[n]);
    const TLapElmRec* e = lap.Elm.constData();
    const TGCalRec* g = lap.GElm.constData();
    const GTraceRows row(S, kind == GKind::Combined, plot.top(), plot.height());
    const auto curve = MakeCurve(1, N - 2, [=](int i) { return D(dist ? e[i].Dist : e[i].Sec) - ofs; },
                                 [=](int i) {
                                     return row(D(kind == GKind::Lateral        ? g[i].lateG3
                                                  : kind == GKind::Longitudinal ? g[i].logiG3
                                                                                : g[i].XYG));
                                 });
    PlotCurve(p, CurveFrameOf(plot, in), curve, {c}, 2);
}

} // namespace

void DrawXG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    DrawTrace(p, plot, in, n, c, GKind::Lateral);
}
void DrawYG(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    DrawTrace(p, plot, in, n, c, GKind::Longitudinal);
}
void DrawXYG2(QPainter& p, const QRect& plot, const PaneInput& in, int n, const QColor& c) {
    DrawTrace(p, plot, in, n, c, GKind::Combined);
}

void DrawGTraces(QPainter& p, const QRect& plot, const PaneInput& in) {
    const int gL = plot.left(), gT = plot.top(), gW = plot.width(), gH = plot.height();
    if (in.cmp.DispSlot[0].Active) {
        p.setPen(LinePen(QColor(160, 160, 160), 1, Qt::DotLine));
        if (in.view.GSel != GChoice::XY) p.drawLine(gL, gT + gH / 2, gL + gW - 1, gT + gH / 2);
        p.drawLine(gL, gT + (3 * gH) / 4, gL + gW - 1, gT + (3 * gH) / 4);
        p.drawLine(gL, gT + gH / 4, gL + gW - 1, gT + gH / 4);
        p.setPen(LinePen(Qt::black));
    }
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        const TDispSlotRec& slot = in.cmp.DispSlot[k];
        if (!slot.Active) continue;
        switch (in.view.GSel) {
        case GChoice::X: DrawXG(p, plot, in, slot.LapIdx, TraceColor(k)); break;
        case GChoice::Y: DrawYG(p, plot, in, slot.LapIdx, TraceColor(k)); break;
        default: DrawXYG2(p, plot, in, slot.LapIdx, TraceColor(k)); break;
        }
    }
}

} // namespace vel
