#include "views/speed_bars.h"

#include <cmath>
#include <QPainter>
#include "model/colors.h"
#include "views/speed_plot.h"

namespace vel {

namespace {
double D(long double v) { return static_cast<double>(v); }
} // namespace

double CutG(double g) {
    // A hair toward the value's own side keeps 0.29 from becoming 0.28
    // through its binary representation; the cut stays toward zero.
    const double scaled = g * 100;
    return std::trunc(scaled + (scaled < 0 ? -1e-9 : 1e-9)) / 100;
}

void DrawSpeedBars(QPainter& p, const QRect& r, const PaneInput& in) {
    p.save();
    p.fillRect(r, Qt::white);
    p.translate(r.topLeft());
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm = p.fontMetrics();
    const int h = fm.height();
    const int top = h + 2, barH = r.height() - 2 * h - 4, bottom = top + barH;
    const double lo = D(in.cmp.DispMinSpd), R = D(in.cmp.DispMaxSpd - in.cmp.DispMinSpd);
    if (!(R > 0) || barH <= 0) {
        p.restore();
        return;
    }
    const bool dist = in.view.Axis == AxisMode::Dist;
    for (int k = 0; k < DispSlotNum; ++k) {
        if (!in.cmp.DispSlot[k].Active) continue;
        const TCurValRec& cv = in.cmp.CurVal[k];
        const int x0 = SpeedBarX0(k);
        const double v = D(dist ? cv.DistSpd : cv.Spd);
        const int barTop = bottom - Tr(barH * (v - lo) / R);
        double g = 0;
        if (in.view.XYGOn) {
            const double lat = D(dist ? cv.DistLateG3 : cv.lateG3), lon = D(dist ? cv.DistLogiG3 : cv.logiG3);
            g = in.view.GSel == GChoice::X ? lat : in.view.GSel == GChoice::Y ? lon : std::sqrt(lat * lat + lon * lon);
            g = CutG(g);
        }
        const QString spd = QString::asprintf("%6.2f", in.settings.SpdKmh ? v : v / 1.609344);
        const QString gText = QString::asprintf("%.2f G", g);
        const int gw = fm.horizontalAdvance(gText);
        p.setBackground(Qt::white);
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setPen(Qt::black);
        TextOutUp(p, x0 - 1, bottom - 2, spd);
        if (in.view.XYGOn) TextOutUp(p, x0 - 1, top + 2 + gw, gText);
        const QColor colour = ColorOf(SlotColor[k]);
        const QRect bar(x0, barTop, 14, bottom - barTop);
        if (bar.height() > 0) p.fillRect(bar, colour);
        // The part of each label inside the bar reads white on the slot colour.
        p.setBackgroundMode(Qt::TransparentMode);
        p.setPen(Qt::white);
        if (bar.height() > 0) {
            p.setClipRect(bar);
            TextOutUp(p, x0 - 1, bottom - 2, spd);
            p.setClipping(false);
        }
        if (in.view.XYGOn && top + 2 + gw > barTop) {
            p.setClipRect(QRect(x0, barTop, 14, top + 2 + gw - barTop));
            TextOutUp(p, x0 - 1, top + 2 + gw, QString::asprintf("%.2f", g));
            p.setClipping(false);
        }
    }
    p.restore();
}

} // namespace vel
