#include <algorithm>
#include "common/geometry.h"

#include <cmath>

namespace vel {

namespace {

// The one tolerance test of the crossing code: a value this close to 0 is 0.
bool Small(long double v) { return std::fabs(v) < GeomEps; }

// f of the interpolations; 0 when the two ends coincide, so the first end wins.
long double Fraction(long double v, long double va, long double vb) {
    return vb == va ? 0.0L : (v - va) / (vb - va);
}

} // namespace

long double PtDist(long double x1, long double y1, long double x2, long double y2) {
    const long double dx = x2 - x1;
    const long double dy = y2 - y1;
    return std::sqrt(dx * dx + dy * dy);
}

bool SegCross(long double& x, long double& y,
              long double xa1, long double ya1, long double xa2, long double ya2,
              long double xb1, long double yb1, long double xb2, long double yb2) {
    if (xb1 == xb2 && yb1 == yb2) return false;

    // Line A as a*x + b*y = c, step B as d*x + e*y = f.
    const long double a = ya2 - ya1;
    const long double b = xa1 - xa2;
    const long double d = yb2 - yb1;
    const long double e = xb1 - xb2;
    // A line of no length would make the end test below true for every step.
    if (Small(a) && Small(b)) return false;

    const long double s1 = ((xa1 - xa2) * (yb1 - ya1) + (ya1 - ya2) * (xa1 - xb1)) *
                           ((xa1 - xa2) * (yb2 - ya1) + (ya1 - ya2) * (xa1 - xb2));
    if (s1 < 0) {
        const long double s2 = ((xb1 - xb2) * (ya1 - yb1) + (yb1 - yb2) * (xb1 - xa1)) *
                               ((xb1 - xb2) * (ya2 - yb1) + (yb1 - yb2) * (xb1 - xa2));
        if (s2 < 0) {
            const long double c = a * xa1 + b * ya1;
            const long double f = d * xb1 + e * yb1;
            const long double det = a * e - d * b;
            if ((Small(d) && Small(e)) || (Small(a) && Small(d)) || (Small(b) && Small(e)) || Small(det))
                return false;
            long double py = 0;
            if (!Small(a)) {
                const long double den = e - d * b / a;
                // den is det / a; should it cancel to 0, take the quotient of det.
                py = den != 0 ? (f - d * c / a) / den : (a * f - d * c) / det;
                x = (c - b * py) / a;
            } else {
                // a is small, so d is not (both small was refused above).
                const long double den = b - a * e / d;
                py = den != 0 ? (c - a * f / d) / den : (a * f - d * c) / det;
                x = (f - e * py) / d;
            }
            y = py;
            return true;
        }
    }

    // No proper crossing: an end of the step lying on the line A itself. A
    // point on the line's extension beyond its ends is no crossing (a lap
    // would otherwise be cut wherever the track meets that extension).
    const auto onA = [&](long double px, long double py) {
        return px >= std::min(xa1, xa2) - GeomEps && px <= std::max(xa1, xa2) + GeomEps &&
               py >= std::min(ya1, ya2) - GeomEps && py <= std::max(ya1, ya2) + GeomEps;
    };
    const long double t1 = (xa2 - xb1) * ya1 + (xb1 - xa1) * ya2 + (xa1 - xa2) * yb1;
    if (Small(t1) && onA(xb1, yb1)) {
        x = xb1;
        y = yb1;
        return true;
    }
    const long double t2 = (xa2 - xb2) * ya1 + (xb2 - xa1) * ya2 + (xa1 - xa2) * yb2;
    if (Small(t2) && onA(xb2, yb2)) {
        x = xb2;
        y = yb2;
        return true;
    }
    return false;
}

SegmentBox::SegmentBox(long double xa1, long double ya1, long double xa2, long double ya2) {
    constexpr double Margin = 1e-7;
    xMin = static_cast<double>(std::min(xa1, xa2)) - Margin;
    xMax = static_cast<double>(std::max(xa1, xa2)) + Margin;
    yMin = static_cast<double>(std::min(ya1, ya2)) - Margin;
    yMax = static_cast<double>(std::max(ya1, ya2)) + Margin;
}

void InterpPt(long double v, long double va, long double vb,
              long double xa, long double ya, long double xb, long double yb,
              long double& x, long double& y) {
    const long double f = Fraction(v, va, vb);
    x = xa + f * (xb - xa);
    y = ya + f * (yb - ya);
}

long double InterpVal(long double v, long double va, long double vb, long double ya, long double yb) {
    return ya + Fraction(v, va, vb) * (yb - ya);
}

long double InterpDir(long double v, long double va, long double vb, long double ha, long double hb) {
    const long double f = Fraction(v, va, vb);
    if (std::fabs(hb - ha) <= 180.0L) return ha + f * (hb - ha);
    if (ha >= hb) {
        long double h = ha + f * (hb + 360.0L - ha);
        if (h >= 360.0L) h -= 360.0L;
        return h;
    }
    long double h = ha - f * (ha + 360.0L - hb);
    if (h < 0) h += 360.0L;
    return h;
}

} // namespace vel
