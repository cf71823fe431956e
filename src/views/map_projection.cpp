#include "views/map_projection.h"

#include <algorithm>
#include <cmath>
#include "common/geodesy.h"

namespace vel {

namespace {

constexpr double PiD = 3.14159265358979323846;
constexpr double EarthRD = static_cast<double>(EarthR);

double Clamp(double v) {
    if (std::isnan(v)) return 0;
    return v < -PxLimit ? -PxLimit : (v > PxLimit ? PxLimit : v);
}

bool Usable(double v) { return std::isfinite(v) && v != 0; }

} // namespace

int NearestPx(double v) { return static_cast<int>(std::nearbyint(Clamp(v))); }

CourseFit CourseFitOf(const QSize& size, const Comparison& cmp) {
    CourseFit f;
    const int W = size.width(), H = size.height();
    f.aw = W < 49 ? 0 : (W - 49) / 16 * 16;
    f.ah = H < 49 ? 0 : (H - 49) / 16 * 16;
    f.gridLeft = f.left = (W - f.aw) / 2;
    f.gridTop = f.top = (H - f.ah) / 2;
    f.idoMin = static_cast<double>(cmp.DispIdoMin);
    f.kdoMin = static_cast<double>(cmp.DispKdoMin);
    f.idoRange = static_cast<double>(cmp.DispIdoMax) - f.idoMin;
    f.kdoRange = static_cast<double>(cmp.DispKdoMax) - f.kdoMin;
    const double ly = EarthRD * PiD * f.idoRange / 180;
    const double lx = std::cos(static_cast<double>(cmp.RefIdo) * PiD / 180) * EarthRD * PiD * f.kdoRange / 180;
    // A frame of no extent (or a reset one, min above max) has nothing to fit.
    if (!(f.idoRange > 0) || !(f.kdoRange > 0) || !Usable(lx) || !Usable(ly) || f.aw <= 0 || f.ah <= 0) return f;
    const double h = std::trunc(ly / lx * f.aw);
    if (f.ah < h) {
        f.pw = TruncPx(lx / ly * f.ah);
        f.ph = f.ah;
        f.left += (f.aw - f.pw) / 2;
    } else {
        f.pw = f.aw;
        f.ph = static_cast<int>(h);
        f.top += (f.ah - f.ph) / 2;
    }
    if (f.pw <= 0 || f.ph <= 0) return f;
    f.sx = f.pw / f.kdoRange;
    f.sy = f.ph / f.idoRange;
    f.ok = true;
    return f;
}

void CourseFit::Unmap(int x, int y, double& ido, double& kdo) const {
    ido = idoMin + double(ph - (y - top)) / ph * idoRange;
    kdo = kdoMin + double(x - left) / pw * kdoRange;
}

ZoomView ZoomViewOf(const QSize& size, double curIdo, double curKdo, double mapZoom) {
    ZoomView v;
    v.W = size.width();
    v.H = size.height();
    v.zoom = mapZoom;
    const double c = std::cos(curIdo * PiD / 180);
    // At a pole a metre east spans every longitude.
    if (v.W <= 0 || v.H <= 0 || !(mapZoom > 0) || !(std::fabs(c) > 1e-9) || !std::isfinite(curKdo)) return v;
    v.wm = v.W / mapZoom;
    v.hm = v.H / mapZoom;
    v.wdeg = v.wm / (PiD * EarthRD * c) * 180;
    v.hdeg = v.hm / (PiD * EarthRD) * 180;
    v.lonL = curKdo - v.wdeg / 2;
    v.lonR = curKdo + v.wdeg / 2;
    v.latB = curIdo - v.hdeg / 2;
    v.latT = curIdo + v.hdeg / 2;
    v.sx = v.W / v.wdeg;
    v.sy = v.H / v.hdeg;
    v.ok = Usable(v.sx) && Usable(v.sy);
    return v;
}

void ZoomView::Unmap(int x, int y, double& ido, double& kdo) const {
    ido = latB + hdeg * (H - y) / H;
    kdo = lonL + wdeg * x / W;
}

ScaleBar ScaleBarOf(int width, double mapZoom, bool distKm) {
    ScaleBar b;
    const double wm = mapZoom > 0 ? width / mapZoom : 0;
    const double s = std::trunc(wm / 5);
    if (distKm) {
        b.length = 100;
        for (int l : {1, 5, 10, 20, 50})
            if (l > s) {
                b.length = l;
                break;
            }
        b.metres = b.length;
    } else {
        const double f = s / 0.3048;
        b.length = 500;
        for (int l : {5, 10, 20, 50, 100, 200})
            if (l > f) {
                b.length = l;
                break;
            }
        b.metres = b.length * 0.3048;
        b.unit = "feet";
    }
    // W x Lm / wm, written without the division so a pane of no width gives 0.
    b.pixels = TruncPx(b.metres * mapZoom);
    return b;
}

int NearestSample(const TLapDtRec& lap, double ido, double kdo) {
    const int n = std::min<int>(lap.ElmNum, lap.Elm.size());
    double best = 99999.0 * 99999.0;
    int idx = -1;
    for (int i = 0; i < n; ++i) {
        const double dy = static_cast<double>(lap.Elm[i].Ido) - ido;
        const double dx = static_cast<double>(lap.Elm[i].Kdo) - kdo;
        const double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            idx = i;
        }
    }
    return idx;
}

const TLapDtRec* SlotLap(const LoadedLaps& laps, const Comparison& cmp, int k) {
    if (k < 0 || k >= DispSlotNum || !cmp.DispSlot[k].Active) return nullptr;
    const int idx = cmp.DispSlot[k].LapIdx;
    if (idx < 0 || idx >= laps.LapDt.size()) return nullptr;
    return &laps.LapDt[idx];
}

} // namespace vel
