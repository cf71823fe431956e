#pragma once
// Positions to pixels for the maps and every pane that draws positions:
// in double with the scale worked out once, clamped before the truncation
// (a cast of an out-of-range double to int is undefined behaviour).
#include <QPoint>

namespace vel {

// Pixel coordinates are kept within this before they are drawn.
constexpr int MaxPixelCoord = 30000;

// v truncated toward zero after clamping into [-limit, limit]; NaN gives -limit.
inline int ClampTrunc(double v, int limit = MaxPixelCoord) {
    if (!(v > -limit)) return -limit;
    if (!(v < limit)) return limit;
    return static_cast<int>(v);
}

// A view of lat0.. north and lon0.. east whose corner (lon0, lat0) falls on
// pixel (left, bottom); y grows downwards.
struct PixelProjection {
    double lon0 = 0, lat0 = 0;
    double sx = 0, sy = 0;      // pixels per degree east and north
    int left = 0, bottom = 0;

    static PixelProjection Fit(double lon0, double lat0, double dLon, double dLat, int left, int bottom,
                               int widthPx, int heightPx) {
        PixelProjection p;
        p.lon0 = lon0;
        p.lat0 = lat0;
        p.sx = dLon != 0 ? widthPx / dLon : 0;
        p.sy = dLat != 0 ? heightPx / dLat : 0;
        p.left = left;
        p.bottom = bottom;
        return p;
    }
    // Pixel offsets east and north of the corner, not yet truncated.
    double Dx(double lon) const { return (lon - lon0) * sx; }
    double Dy(double lat) const { return (lat - lat0) * sy; }
    QPoint ToPixel(double lat, double lon) const {
        return QPoint(ClampTrunc(left + Dx(lon)), ClampTrunc(bottom - Dy(lat)));
    }
};

} // namespace vel
