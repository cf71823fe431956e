#include "analysis/sector_adjust.h"

#include <algorithm>
#include <cmath>
#include "analysis/sector_commands.h"
#include "common/geodesy.h"
#include "common/geometry.h"

namespace vel {

namespace {

// A rounded pixel term kept where an int holds it; not a number lies far off.
long double Clamped(long double v) {
    if (std::isnan(v)) return EdSectPixelLimit;
    return std::clamp<long double>(v, -EdSectPixelLimit, EdSectPixelLimit);
}

int RoundPx(long double v) { return static_cast<int>(Clamped(std::nearbyint(Clamped(v)))); }

void SetEnd(EdSectState& st, EdSectDrag end, long double lon, long double lat) {
    if (end == EdSectDrag::End1) {
        st.line.Kdo1 = lon;
        st.line.Ido1 = lat;
    } else if (end == EdSectDrag::End2) {
        st.line.Kdo2 = lon;
        st.line.Ido2 = lat;
    }
}

} // namespace

QPoint EdSectProjection::ToPixel(long double lon, long double lat) const {
    if (!valid) return {EdSectPixelLimit, EdSectPixelLimit};
    const int x = RoundPx((lon - left) / dLon * W);
    const int y = H - RoundPx((lat - bottom) / dLat * H);
    return {x, y};
}

void EdSectProjection::ToPixelF(long double lon, long double lat, long double& x, long double& y) const {
    x = valid ? (lon - left) / dLon * W : EdSectPixelLimit;
    y = valid ? H - (lat - bottom) / dLat * H : EdSectPixelLimit;
}

void EdSectProjection::ToPos(int X, int Y, long double& lon, long double& lat) const {
    if (!valid) return;
    lon = left + dLon * X / W;
    lat = bottom + dLat * (1 - static_cast<long double>(Y) / H);
}

bool EdSectProjection::Inside(long double lon, long double lat) const {
    return valid && left <= lon && lon <= right && bottom <= lat && lat <= top;
}

EdSectProjection MakeEdSectProjection(long double lonC, long double latC, long double zoom, int W, int H) {
    EdSectProjection p;
    p.W = W;
    p.H = H;
    const long double cosLat = std::fabs(std::cos(latC * Pi / 180));
    // At a pole, or from a line read out of a damaged file, there is no view.
    if (W <= 0 || H <= 0 || !(zoom > 0) || !std::isfinite(zoom) || !std::isfinite(lonC) ||
        !std::isfinite(latC) || !(cosLat > 1e-9L))
        return p;
    p.dLon = (W / zoom) / (Pi * EarthR * cosLat) * 180;
    p.dLat = (H / zoom) / (Pi * EarthR) * 180;
    p.left = lonC - p.dLon / 2;
    p.right = lonC + p.dLon / 2;
    p.bottom = latC - p.dLat / 2;
    p.top = latC + p.dLat / 2;
    p.valid = std::isfinite(p.dLon) && p.dLon > 0 && p.dLat > 0;
    return p;
}

long double EdSectZoomIn(long double z) {
    if (z == EdSectZoomMax) return z;
    z += z >= 2 ? 1 : 0.25L;
    return z > EdSectZoomMax ? EdSectZoomMax : z;
}

long double EdSectZoomOut(long double z) {
    if (z == EdSectZoomOutMin) return z;
    z -= z > 2 ? 1 : 0.25L;
    return z < EdSectZoomOutMin ? EdSectZoomOutMin : z;
}

EdSectState OpenEdSect(const SectorLines& lines, int sel, long double mapZoom) {
    EdSectState st;
    st.sel = std::clamp(sel, 0, MaxSectLines - 1);
    st.line = lines.Sect[st.sel];
    st.passNo = st.line.PassNo;
    st.lonC = (st.line.Kdo1 + st.line.Kdo2) / 2;
    st.latC = (st.line.Ido1 + st.line.Ido2) / 2;
    st.zoom = std::isfinite(mapZoom) ? std::clamp(mapZoom, MapZoomMin, EdSectZoomMax) : 1.0L;
    return st;
}

EdSectDrag PickEnd(QPoint p, QPoint end1, QPoint end2) {
    const auto near = [p](QPoint e) {
        return std::abs(p.x() - e.x()) <= EdSectPickPx && std::abs(p.y() - e.y()) <= EdSectPickPx;
    };
    if (near(end1)) return EdSectDrag::End1;
    if (near(end2)) return EdSectDrag::End2;
    return EdSectDrag::None;
}

bool EdSectPress(EdSectState& st, const EdSectProjection& proj, QPoint p) {
    if (!proj.valid) return false;
    st.px1 = proj.ToPixel(st.line.Kdo1, st.line.Ido1);
    st.px2 = proj.ToPixel(st.line.Kdo2, st.line.Ido2);
    st.drag = PickEnd(p, st.px1, st.px2);
    return st.drag != EdSectDrag::None;
}

bool EdSectMove(EdSectState& st, const EdSectProjection& proj, QPoint p) {
    if (st.drag == EdSectDrag::None || !proj.valid) return false;
    long double lon = 0, lat = 0;
    proj.ToPos(p.x(), p.y(), lon, lat);
    SetEnd(st, st.drag, lon, lat);
    return true;
}

bool EdSectRelease(EdSectState& st, const EdSectProjection& proj, QPoint p) {
    const bool moved = EdSectMove(st, proj, p);
    st.drag = EdSectDrag::None;
    return moved;
}

bool EdSectCrossCursor(QPoint p, const QRect& box) {
    return box.left() < p.x() && p.x() < box.left() + box.width() - 1 && box.top() < p.y() &&
           p.y() < box.top() + box.height() - 1;
}

bool EdSectLineUsable(const TSectRec& l) {
    for (long double v : {l.Kdo1, l.Kdo2, l.Ido1, l.Ido2})
        if (!std::isfinite(v)) return false;
    // A north-south or east-west line is a line; only ends that coincide (as
    // the crossing test sees them) make none.
    return std::fabs(l.Kdo1 - l.Kdo2) >= GeomEps || std::fabs(l.Ido1 - l.Ido2) >= GeomEps;
}

bool EdSectOk(SectorLines& lines, const EdSectState& st, const TLapDtRec& ref, int32_t& selSect,
              const std::function<void()>& refresh) {
    if (st.sel < 0 || st.sel >= lines.Count() || !EdSectLineUsable(st.line)) return false;
    TSectRec& s = lines.Sect[st.sel];
    s.Kdo1 = st.line.Kdo1;
    s.Kdo2 = st.line.Kdo2;
    s.Ido1 = st.line.Ido1;
    s.Ido2 = st.line.Ido2;
    s.PassNo = st.passNo;
    SortSectsByPassing(lines, ref, selSect);
    if (refresh) refresh();
    return true;
}

int EdSectPreselect(const SectorLines& lines) {
    const int n = lines.Count();
    if (lines.EdSectSel >= 0 && lines.EdSectSel < n) return lines.EdSectSel;
    return n - 1;
}

} // namespace vel
