#pragma once
// Plane geometry and interpolation over extended reals. Callers pass
// positions unprojected: x = longitude, y = latitude, both in degrees, so
// distances here serve ratios and crossing tests, never lengths in metres.

namespace vel {

// Tolerance of the crossing tests.
constexpr long double GeomEps = 1e-15L;

// Plane distance of two points, in the unit of the arguments.
long double PtDist(long double x1, long double y1, long double x2, long double y2);

// Crossing of line A (a control, start, goal or sector line) by step B
// (earlier sample to later sample). On true, (x, y) is the crossing point;
// otherwise x and y are left alone. A line or a step of no length never
// crosses.
bool SegCross(long double& x, long double& y,
              long double xa1, long double ya1, long double xa2, long double ya2,
              long double xb1, long double yb1, long double xb2, long double yb2);

// Line A's extent widened by far more than SegCross's tolerance and rounding
// (1e-7, about a centimetre in degrees): a step clear of it never crosses A,
// which tells most steps of a lap apart without the intersection.
struct SegmentBox {
    double xMin, xMax, yMin, yMax;
    SegmentBox(long double xa1, long double ya1, long double xa2, long double ya2);
    bool Clear(double xb1, double yb1, double xb2, double yb2) const {
        return (xb1 < xMin && xb2 < xMin) || (xb1 > xMax && xb2 > xMax) || (yb1 < yMin && yb2 < yMin) ||
               (yb1 > yMax && yb2 > yMax);
    }
};

// The point at v between (xa, ya) at va and (xb, yb) at vb; not clamped, so
// a v outside [va, vb] extrapolates. Equal va and vb give the first point.
void InterpPt(long double v, long double va, long double vb,
              long double xa, long double ya, long double xb, long double yb,
              long double& x, long double& y);
// The value at v between ya at va and yb at vb; equal va and vb give ya.
long double InterpVal(long double v, long double va, long double vb, long double ya, long double yb);
// The heading at v between ha at va and hb at vb, going the short way across
// 0/360; equal va and vb give ha.
long double InterpDir(long double v, long double va, long double vb, long double ha, long double hb);

} // namespace vel
