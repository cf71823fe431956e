#include "views/zoom_map.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>
#include <QPolygon>
#include "common/datetime.h"
#include "views/pen_rules.h"

namespace vel {

namespace {

constexpr double PiD = 3.14159265358979323846;
constexpr double Deg = PiD / 180;
constexpr uint32_t PathColor = 0xDEDEDE;
constexpr uint32_t SectColor = 0x808080;
constexpr uint32_t WeakSatColor = 0xC0C0C0;

double D(long double v) { return static_cast<double>(v); }

// A polyline through the visible points of a series: a point outside the
// view is skipped and the next one inside starts a new line. The first
// point is always the start, visible or not.
// penKey(i) names the pen of the segment into point i; setPen(key) sets it.
// Only the points of `points` (rising indices above 0, with every point of
// the series inside the view among them) are looked at: those left out are
// outside, so a point whose forerunner was not looked at starts a new line.
template <typename Points, typename PointAt, typename PenKey, typename SetPen>
void DrawClipped(QPainter& p, const ZoomView& v, int n, const Points& points, PointAt pointAt, PenKey penKey,
                 SetPen setPen) {
    if (n < 1) return;
    double ido = 0, kdo = 0;
    pointAt(0, ido, kdo);
    QPoint cur = v.Map(ido, kdo);
    // One buffer for every line of the series.
    thread_local std::vector<QPoint> run;
    run.clear();
    int runPen = -1;
    int lastInside = 0;   // point 0 starts the first line wherever it is
    const auto flush = [&] {
        if (run.size() > 1) p.drawPolyline(run.data(), static_cast<int>(run.size()));
        run.clear();
    };
    points([&](int i) {
        pointAt(i, ido, kdo);
        if (!v.Inside(ido, kdo)) return;
        const QPoint q = v.Map(ido, kdo);
        const bool newLine = lastInside != i - 1;
        lastInside = i;
        if (newLine) {
            flush();
            cur = q;
            return;
        }
        const int pen = penKey(i);
        if (run.empty() || pen != runPen) {
            flush();
            if (pen != runPen) setPen(pen);
            runPen = pen;
            run.push_back(cur);
        }
        if (q != run.back()) run.push_back(q);
        cur = q;
    });
    flush();
}

// Every point from 1 on.
auto AllPoints(int n) {
    return [n](const auto& visit) {
        for (int i = 1; i < n; ++i) visit(i);
    };
}

// A lap's samples filed by the cell of a grid over their bounds, so that a
// view near the cursor looks at the samples of its cells only. Samples of a
// position that is no number are looked at in every view.
struct SampleGrid {
    const TLapElmRec* data = nullptr;   // the samples it was made of
    int n = 0;
    std::array<double, 64> print{};     // positions spread over them
    int cells = 1;                      // per side
    double ido0 = 0, kdo0 = 0, cellIdo = 1, cellKdo = 1;
    QVector<int> start;                 // cell c holds order[start[c]] to order[start[c + 1] - 1]
    QVector<int> order;                 // rising within a cell
    QVector<int> always;

    int Row(double ido) const { return Cell((ido - ido0) / cellIdo); }
    int Col(double kdo) const { return Cell((kdo - kdo0) / cellKdo); }
    int Cell(double at) const {
        return static_cast<int>(std::clamp(std::floor(at), 0.0, static_cast<double>(cells - 1)));
    }
};

std::array<double, 64> PrintOf(const TLapElmRec* e, int n) {
    std::array<double, 64> f{};
    for (int k = 0; k < 32; ++k) {
        const int i = static_cast<int>(static_cast<int64_t>(n - 1) * k / 31);
        f[2 * k] = e[i].Ido;
        f[2 * k + 1] = e[i].Kdo;
    }
    return f;
}

bool SamePrint(const std::array<double, 64>& a, const std::array<double, 64>& b) {
    return std::memcmp(a.data(), b.data(), sizeof(a)) == 0;
}

std::shared_ptr<const SampleGrid> MakeGrid(const TLapElmRec* e, int n) {
    auto g = std::make_shared<SampleGrid>();
    g->data = e;
    g->n = n;
    g->print = PrintOf(e, n);
    double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
    for (int i = 1; i < n; ++i) {
        if (!std::isfinite(e[i].Ido) || !std::isfinite(e[i].Kdo)) continue;
        lo[0] = std::min(lo[0], e[i].Ido);
        hi[0] = std::max(hi[0], e[i].Ido);
        lo[1] = std::min(lo[1], e[i].Kdo);
        hi[1] = std::max(hi[1], e[i].Kdo);
    }
    g->cells = std::clamp(static_cast<int>(std::sqrt(n / 16.0)), 1, 128);
    g->ido0 = lo[0];
    g->kdo0 = lo[1];
    const double spanIdo = hi[0] - lo[0], spanKdo = hi[1] - lo[1];
    g->cellIdo = spanIdo > 0 && std::isfinite(spanIdo) ? spanIdo / g->cells : 1;
    g->cellKdo = spanKdo > 0 && std::isfinite(spanKdo) ? spanKdo / g->cells : 1;
    const int cells = g->cells * g->cells;
    QVector<int> cellOf(n, -1);
    g->start = QVector<int>(cells + 1, 0);
    for (int i = 1; i < n; ++i) {
        if (!std::isfinite(e[i].Ido) || !std::isfinite(e[i].Kdo)) {
            g->always.append(i);
            continue;
        }
        cellOf[i] = g->Row(e[i].Ido) * g->cells + g->Col(e[i].Kdo);
        ++g->start[cellOf[i] + 1];
    }
    for (int c = 0; c < cells; ++c) g->start[c + 1] += g->start[c];
    g->order = QVector<int>(g->start[cells]);
    QVector<int> fill(g->start.begin(), g->start.end() - 1);
    for (int i = 1; i < n; ++i)
        if (cellOf[i] >= 0) g->order[fill[cellOf[i]]++] = i;
    return g;
}

// The grid of a lap's samples, made at its first drawing and kept while the
// same samples are shown (a few laps at a time).
std::shared_ptr<const SampleGrid> GridOf(const QVector<TLapElmRec>& elm, int n) {
    static std::mutex lock;
    static std::vector<std::shared_ptr<const SampleGrid>> kept;
    const std::lock_guard<std::mutex> hold(lock);
    const TLapElmRec* e = elm.constData();
    const std::array<double, 64> print = PrintOf(e, n);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if ((*it)->data != e || (*it)->n != n) continue;
        if (SamePrint((*it)->print, print)) return *it;
        kept.erase(it);
        break;
    }
    auto g = MakeGrid(e, n);
    if (kept.size() >= 8) kept.erase(kept.begin());
    kept.push_back(g);
    return g;
}

// The samples of the grid's cells that meet the view, rising.
QVector<int> PointsInView(const SampleGrid& g, const ZoomView& v) {
    std::vector<uint64_t> marked((static_cast<size_t>(g.n) + 63) / 64, 0);
    const auto mark = [&](int i) { marked[static_cast<size_t>(i) >> 6] |= uint64_t(1) << (i & 63); };
    for (int i : g.always) mark(i);
    const int r0 = g.Row(v.latB), r1 = g.Row(v.latT), c0 = g.Col(v.lonL), c1 = g.Col(v.lonR);
    for (int r = r0; r <= r1; ++r)
        for (int j = g.start[r * g.cells + c0], end = g.start[r * g.cells + c1 + 1]; j < end; ++j) mark(g.order[j]);
    QVector<int> out;
    out.reserve(g.n);
    for (size_t w = 0; w < marked.size(); ++w)
        for (uint64_t bits = marked[w]; bits; bits &= bits - 1)
            out.append(static_cast<int>(w * 64 + static_cast<size_t>(std::countr_zero(bits))));
    return out;
}

} // namespace

ZoomView ZoomViewOfPane(const QSize& size, const PaneInput& in) {
    return ZoomViewOf(size, D(in.cmp.CurIdo), D(in.cmp.CurKdo), D(in.view.MapZoom));
}

void DrawZoomPath(QPainter& p, const ZoomView& v, const CoursePaths& course) {
    if (!v.ok) return;
    p.setPen(MapPen(PathColor, 5));
    const int paths = std::min<int>(course.CoursePathNum, course.CoursePath.size());
    for (int k = 0; k < paths; ++k) {
        const TPathRec& path = course.CoursePath[k];
        const int n = std::min<int>(path.ElmNum, path.Elm.size());
        DrawClipped(
            p, v, n, AllPoints(n),
            [&](int i, double& ido, double& kdo) {
                ido = D(path.Elm[i].Ido);
                kdo = D(path.Elm[i].Kdo);
            },
            [](int) { return 0; }, [](int) {});
    }
}

void DrawSectZoom(QPainter& p, const ZoomView& v, const SectorLines& sectors) {
    if (!v.ok) return;
    p.setPen(MapPen(SectColor));
    for (int i = 0; i < sectors.Count(); ++i) {
        const TSectRec& s = sectors.Sect[i];
        p.drawLine(v.Map(D(s.Ido1), D(s.Kdo1)), v.Map(D(s.Ido2), D(s.Kdo2)));
    }
}

void DrawZoom(QPainter& p, const ZoomView& v, const PaneInput& in, int slot, QColor c, bool everySample) {
    const TLapDtRec* lap = SlotLap(in.laps, in.cmp, slot);
    if (!v.ok || !lap) return;
    const int n = std::min<int>(lap->ElmNum, lap->Elm.size());
    if (n < 1) return;
    const QVector<TLapElmRec>& e = lap->Elm;
    if (slot == 0) {
        // Start tick: 15 m to each side, across the direction of travel.
        const QPoint p0 = v.Map(D(e[0].Ido), D(e[0].Kdo));
        const double th = (360 - D(e[0].Dir)) * Deg;
        const double r = 15 * v.zoom;
        p.setPen(MapPen(QColor(Qt::black)));
        p.drawLine(p0.x() + TruncPx(r * std::sin(th + 90 * Deg)), p0.y() + TruncPx(r * std::cos(th + 90 * Deg)),
                   p0.x() + TruncPx(r * std::sin(th + 270 * Deg)), p0.y() + TruncPx(r * std::cos(th + 270 * Deg)));
    }
    const QColor weak = ColorOf(WeakSatColor);
    const int minSat = in.settings.MinUseSat;
    const bool rdu = in.view.ViewRduOn;
    // A lap of a few hundred samples is walked whole; a longer one through
    // its grid, the view's cells only.
    QVector<int> near;
    const bool whole = everySample || n < 1024 ||
                       !(std::isfinite(v.latB) && std::isfinite(v.latT) && std::isfinite(v.lonL) && std::isfinite(v.lonR));
    if (!whole) near = PointsInView(*GridOf(e, n), v);
    const auto points = [&](const auto& visit) {
        if (whole) AllPoints(n)(visit);
        else
            for (int i : near) visit(i);
    };
    DrawClipped(
        p, v, n, points,
        [&](int i, double& ido, double& kdo) {
            ido = D(e[i].Ido);
            kdo = D(e[i].Kdo);
        },
        [&](int i) {
            // The segment into a sample shows its satellites and whether the car slowed into it.
            const bool strong = e[i].UseSat >= minSat;
            const bool slowing = rdu && e[i - 1].Spd > e[i].Spd;
            return (strong ? 1 : 0) | (slowing ? 2 : 0);
        },
        [&](int key) { p.setPen(MapPen((key & 1) ? c : weak, 1, (key & 2) ? Qt::DotLine : Qt::SolidLine)); });
}

void DrawScaleBar(QPainter& p, const ZoomView& v, bool distKm, const QString& suffix) {
    const ScaleBar b = ScaleBarOf(v.W, v.zoom, distKm);
    p.setPen(MapPen(QColor(Qt::black)));
    p.drawLine(8, v.H - 8, 8 + b.pixels, v.H - 8);
    TextAt(p, 8, v.H - 22, QString::asprintf("%d%s", b.length, b.unit) + suffix);
}

double CarTheta(double dir) { return (360 - dir) * Deg; }

QPoint CarPoint(QPoint at, double a, double r) {
    return {at.x() + TruncPx(r * std::sin(a)), at.y() + TruncPx(r * std::cos(a))};
}

void DrawZoomCar(QPainter& p, QPoint at, double dir, QColor c) {
    const double th = CarTheta(dir);
    p.setPen(MapPen(c));
    p.setBrush(c);
    BoxEllipse(p, at.x() - 2, at.y() - 2, at.x() + 3, at.y() + 3);
    p.setBrush(Qt::NoBrush);
    const QPolygon wedge{at, CarPoint(at, th + 150 * Deg, 16), CarPoint(at, th + 210 * Deg, 16), at};
    p.drawPolyline(wedge);
}

void DrawZoomCarDrift(QPainter& p, QPoint at, double dir, QColor c) {
    const double th = CarTheta(dir);
    p.setPen(MapPen(c));
    p.setBrush(c);
    BoxEllipse(p, at.x() - 2, at.y() - 2, at.x() + 3, at.y() + 3);
    p.setBrush(Qt::NoBrush);
    const QPoint rear = CarPoint(at, th + 150 * Deg, 16);
    const QPolygon body{rear,
                        CarPoint(at, th + 30 * Deg, 16),
                        CarPoint(at, th, 17),
                        CarPoint(at, th - 30 * Deg, 16),
                        CarPoint(at, th + 210 * Deg, 16),
                        rear};
    p.drawPolyline(body);
    p.drawLine(CarPoint(at, th + 180 * Deg, 17), CarPoint(at, th, 23));
}

namespace {

void DrawMap(QPainter& p, const ZoomView& v, const PaneInput& in, const QString& scaleSuffix) {
    const bool ref = in.cmp.DispSlot[0].Active;
    if (ref && in.course.CoursePathNum > 0) DrawZoomPath(p, v, in.course);
    DrawScaleBar(p, v, in.settings.DistKm, scaleSuffix);
    if (ref) DrawSectZoom(p, v, in.sectors);
    for (int k = DispSlotNum - 1; k >= 0; --k)
        if (in.cmp.DispSlot[k].Active) DrawZoom(p, v, in, k, ColorOf(SlotColor[k]));
    if (!v.ok) return;
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        const TLapDtRec* lap = SlotLap(in.laps, in.cmp, k);
        if (!lap) continue;
        const TCurValRec& cv = in.cmp.CurVal[k];
        const QPoint at = v.Map(D(cv.Ido), D(cv.Kdo));
        const QColor c = ColorOf(SlotColor[k]);
        if (lap->driftAct && in.view.DriftOn) DrawZoomCarDrift(p, at, D(cv.Dir), c);
        else if (lap->driftAct) DrawZoomCar(p, at, D(cv.GpsDir), c);
        else DrawZoomCar(p, at, D(cv.Dir), c);
    }
}

} // namespace

void DrawZoomMap(QPainter& p, const QRect& r, const PaneInput& in) {
    PaneOrigin o(p, r);
    p.fillRect(QRect(QPoint(0, 0), r.size()), Qt::white);
    DrawMap(p, ZoomViewOfPane(r.size(), in), in, QString());
}

void DrawZoomPicture(QPainter& p, const QRect& r, const PaneInput& in) {
    PaneOrigin o(p, r);
    const int W = r.width(), H = r.height();
    p.fillRect(QRect(QPoint(0, 0), r.size()), Qt::white);
    DrawMap(p, ZoomViewOfPane(r.size(), in), in, QStringLiteral("  Velmaris"));
    FontSize size(p, 11);
    p.setPen(Qt::black);
    TextAt(p, 8, 8, LapTimeText(in.cmp.PlayTm));
    const bool kmh = in.settings.SpdKmh, km = in.settings.DistKm;
    const int dRight = W - 8 - TextWidth(p, kmh ? QStringLiteral("  999.99km/h") : QStringLiteral("  999.99MPH"));
    int y = H - 8;
    for (int k = DispSlotNum - 1; k >= 0; --k) {
        if (!in.cmp.DispSlot[k].Active) continue;
        const TCurValRec& cv = in.cmp.CurVal[k];
        p.setPen(ColorOf(SlotColor[k]));
        const QString spd = kmh ? QString::asprintf("%.2fkm/h", D(cv.Spd))
                                : QString::asprintf("%.2fMPH", D(cv.Spd) / 1.609344);
        const QString dist = km ? QString::asprintf("%.3fkm", D(cv.Dist))
                                : QString::asprintf("%.0ffeet", D(cv.Dist) / 0.0003048);
        y -= TextHeight(p);
        TextAt(p, W - 8 - TextWidth(p, spd), y, spd);
        TextAt(p, dRight - TextWidth(p, dist), y, dist);
        y -= 2;
    }
}

std::optional<long double> ZoomClickTime(const QSize& size, QPoint at, const PaneInput& in) {
    if (!in.cmp.DispSlot[0].Active) return std::nullopt;
    const TLapDtRec* ref = SlotLap(in.laps, in.cmp, 0);
    const ZoomView v = ZoomViewOfPane(size, in);
    if (!ref || !v.ok) return std::nullopt;
    double ido = 0, kdo = 0;
    v.Unmap(at.x(), at.y(), ido, kdo);
    const int a = NearestSample(*ref, ido, kdo);
    if (a < 0) return std::nullopt;
    const int n = std::min<int>(ref->ElmNum, ref->Elm.size());
    const QVector<TLapElmRec>& e = ref->Elm;
    if (a == 0 || a == n - 1) return e[a].Sec;
    const auto dist = [&](int i) { return std::hypot(D(e[i].Kdo) - kdo, D(e[i].Ido) - ido); };
    const int s = dist(a + 1) < dist(a - 1) ? a : a - 1;
    const TLapElmRec& S = e[s];
    const TLapElmRec& E = e[s + 1];
    const double ex = D(E.Kdo) - D(S.Kdo), ey = D(E.Ido) - D(S.Ido);
    const double len2 = ex * ex + ey * ey;
    const double t = len2 == 0 ? 0 : ((kdo - D(S.Kdo)) * ex + (ido - D(S.Ido)) * ey) / len2;
    // The foot point on the line through S and E, not clamped to the segment.
    const double fx = D(S.Kdo) + t * ex, fy = D(S.Ido) + t * ey;
    const double b = std::hypot(fx - D(S.Kdo), fy - D(S.Ido));
    const double d = std::hypot(fx - D(E.Kdo), fy - D(E.Ido));
    const double q = b + d == 0 ? 0 : b / (b + d);
    const long double tm = S.Sec + static_cast<long double>(q) * (E.Sec - S.Sec);
    if (!std::isfinite(static_cast<double>(tm))) return S.Sec;
    return tm;
}

} // namespace vel
