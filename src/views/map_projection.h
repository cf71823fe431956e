#pragma once
// Positions in degrees to pane pixels and back, for the course view (the
// whole shown laps fitted into the pane) and the zoom map (a north-up view
// around the reference car at a scale in pixels per metre). Done in double
// with the scales worked out once per picture; every pixel is clamped
// before it is truncated, so far-off points never overflow an int.
#include <QPoint>
#include <QSize>
#include "model/comparison.h"
#include "model/loaded_laps.h"

namespace vel {

// Pixel coordinates are kept well inside int; a line to a clamped point
// only matters off the pane.
constexpr double PxLimit = 1.0e6;

// Truncation toward zero of a clamped value; NaN gives 0. Inline: the maps
// call it twice for every sample they draw.
inline int TruncPx(double v) {
    if (v != v) return 0;
    return static_cast<int>(v < -PxLimit ? -PxLimit : (v > PxLimit ? PxLimit : v));
}
// Nearest integer, halves to even, of a clamped value; NaN gives 0.
int NearestPx(double v);

// The course view's fit of the shown laps' frame into a pane.
struct CourseFit {
    // Grid frame (always valid for a pane of at least 49 x 49 pixels).
    int aw = 0, ah = 0, gridLeft = 0, gridTop = 0;
    // Plot rectangle of the tracks; only when ok.
    int left = 0, top = 0, pw = 0, ph = 0;
    // False when the laps' frame has no extent in one direction (no lap,
    // a lap of one point, all points equal) or the pane is too small:
    // tracks, dots and clicks are then skipped.
    bool ok = false;

    double idoMin = 0, kdoMin = 0, idoRange = 0, kdoRange = 0;
    double sx = 0, sy = 0;   // pixels per degree, for a first estimate only

    // The share of the frame first, then pixels, so the frame's edges land
    // exactly on the plot's edges.
    QPoint Map(double ido, double kdo) const {
        return {left + Share(kdo - kdoMin, kdoRange, sx, pw), top + ph - Share(ido - idoMin, idoRange, sy, ph)};
    }
    // The position under pane pixel (x, y); only when ok.
    void Unmap(int x, int y, double& ido, double& kdo) const;

private:
    // Trunc(d / range x px). d x perDeg lies within a few units in the last
    // place of it and is cheaper than the division: it is taken where it is
    // clear of a whole number (a pixel-per-degree product alone puts the
    // frame's far edge a pixel short in about a tenth of frames).
    static int Share(double d, double range, double perDeg, int px) {
        const double q = d * perDeg;
        if (q > -PxLimit && q < PxLimit) {
            const int t = static_cast<int>(q);
            const double f = q > t ? q - t : t - q;
            if (f > 1e-7 && f < 1 - 1e-7) return t;
        }
        return TruncPx(d / range * px);
    }
};
CourseFit CourseFitOf(const QSize& size, const Comparison& cmp);

// The zoom map's view: size.width() x size.height() pixels around
// (CurIdo, CurKdo) at zoom pixels per metre.
struct ZoomView {
    int W = 0, H = 0;
    double zoom = 1;
    double wm = 0, hm = 0;       // view in metres
    double wdeg = 0, hdeg = 0;   // view in degrees
    double lonL = 0, lonR = 0, latB = 0, latT = 0;
    double sx = 0, sy = 0;       // pixels per degree
    // False for a pane of no size, a zoom of 0 or a centre at a pole:
    // nothing but the scale bar is drawn and clicks do nothing.
    bool ok = false;

    bool Inside(double ido, double kdo) const {
        return !(kdo < lonL || kdo > lonR || ido < latB || ido > latT);
    }
    QPoint Map(double ido, double kdo) const {
        return {TruncPx((kdo - lonL) * sx), H - TruncPx((ido - latB) * sy)};
    }
    // The position under pane pixel (x, y), not limited to the pane.
    void Unmap(int x, int y, double& ido, double& kdo) const;
};
ZoomView ZoomViewOf(const QSize& size, double curIdo, double curKdo, double mapZoom);

// The zoom map's scale bar: length in its unit, in metres, in pixels, and
// its label ("100m", "500feet").
struct ScaleBar {
    int length = 0;
    double metres = 0;
    int pixels = 0;
    const char* unit = "m";
};
ScaleBar ScaleBarOf(int width, double mapZoom, bool distKm);

// The lap's sample nearest to (ido, kdo) taken as plain plane coordinates
// in degrees; of equal distances the first wins. -1 for a lap without samples.
int NearestSample(const TLapDtRec& lap, double ido, double kdo);

// The lap shown in display slot k, or null when the slot is off or its lap
// is missing.
const TLapDtRec* SlotLap(const LoadedLaps& laps, const Comparison& cmp, int k);

} // namespace vel
