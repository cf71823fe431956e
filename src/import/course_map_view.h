#pragma once
// The control-line dialog's plan view: the trace of the active samples over
// the course map, the control, start and finish lines and the mark; a box or
// the wheel zooms, drags draw and move the lines. The projection, hit tests,
// drags and wheel steps are plain functions; the widget only routes events.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include "common/pixel_projection.h"
#include "model/course_path.h"
#include "model/line_choice.h"
#include "model/log_store.h"

class QPainter;

namespace vel {

// What the map shows and keeps between uses of the dialog.
struct MbViewState {
    TLogRect MbViewRect;       // latitude and longitude bounds of the view
    bool ViewStop = false;     // stop positions on the trace
    int32_t MarkSet = 0;       // 1 once a mark was entered
    long double MarkIdo = 0, MarkKdo = 0;
};

// A view narrower than this (degrees, about 11 m) is widened about its
// centre before it is projected, so a log standing at one place still draws.
constexpr long double MinViewSpanDeg = 1e-4L;

// The view fitted into a paint box of W x H pixels.
struct MapProjection {
    bool valid = false;        // a usable box and a view with extent
    TLogRect view;             // the view actually projected (widened when narrow)
    long double dLat = 0, dLon = 0;
    int x0 = 0, y0 = 0, Dw = 0, Dh = 0;
    PixelProjection px;        // the box's scales, worked out once

    // Pixel of a position, clamped to +-MaxPixelCoord (inline: the trace
    // projects hundreds of thousands of samples per drawing).
    QPoint ToPixel(double ido, double kdo) const {
        if (!valid) return QPoint(-MaxPixelCoord, -MaxPixelCoord);
        // NaN falls to the low end.
        const double fx = px.Dx(kdo), fy = px.Dy(ido);
        const int x = fx != fx ? -MaxPixelCoord : std::clamp(x0 + SnapPix(fx), -MaxPixelCoord, MaxPixelCoord);
        const int y = fy != fy ? -MaxPixelCoord : std::clamp(y0 + Dh - SnapPix(fy), -MaxPixelCoord, MaxPixelCoord);
        return QPoint(x, y);
    }
    // Truncation toward zero, with a millionth of a pixel of slack so that
    // the position of a pixel maps back onto that pixel. Clamped first, so a
    // far point can't overflow; not for NaN.
    static int SnapPix(double f) {
        f = std::min(std::max(f, -2.0 * MaxPixelCoord), 2.0 * MaxPixelCoord);
        return static_cast<int>(f + (f < 0 ? -1e-6 : 1e-6));
    }
    // Position of a pixel.
    void ToPos(int x, int y, long double& ido, long double& kdo) const;
    bool Inside(long double ido, long double kdo) const;
};

MapProjection MakeProjection(const TLogRect& view, int W, int H);

enum class MapTool { Rect, Ctrl, Sta, Fin };

// MbDragMode: 0 zoom box, 1-3 new control, start or finish line, 4/5 ends
// 1/2 of the control line, 6/7 of the start line, 8/9 of the finish line.
struct MapDrag {
    bool MbDragging = false;
    int MbDragMode = 0;
    QPoint MbPressPt, MbEndPt1, MbEndPt2;
};

// The pixel ends of a set line; none when its flag is clear.
struct LinePixels {
    std::optional<QPoint> ctrl1, ctrl2, fin1, fin2;
};
LinePixels SetLinePixels(const LineChoice& lines, const MapProjection& proj);
// Within 3 pixels both across and down.
bool NearEnd(QPoint p, const std::optional<QPoint>& end);

// Left press on the map: the drag mode by tool and pointer. A tool moves an
// end only of its own line when that line is set; a new line clears the
// flags its kind replaces.
void MapPress(MapDrag& d, MapTool tool, QPoint p, LineChoice& lines, const MapProjection& proj);
// Pointer moved while dragging: the drag's points, or the moved end.
void MapMove(MapDrag& d, QPoint p, LineChoice& lines, const MapProjection& proj);
// Release: the zoom box becomes the view, a new line is stored when its ends
// differ, a moved end is placed (the line's flag cleared when both ends meet).
void MapRelease(MapDrag& d, QPoint p, LineChoice& lines, const MapProjection& proj, TLogRect& view);

// One wheel step at pointer p (widget pixels): zoom in (delta > 0) or out
// about the position under p, kept inside full (LogRect). Returns the
// pixel where the pointer goes, none when nothing changed.
std::optional<QPoint> WheelZoom(TLogRect& view, const TLogRect& full, const MapProjection& proj, QPoint p,
                                int delta, int W, int H);

// The back buffer: white, the course map, the trace with its " Start" and
// " End" texts. img keeps its size.
void DrawMapBitmap(QImage& img, const MapProjection& proj, const LogStore& store, const CoursePaths& paths,
                   bool viewStop);
// The overlay: mark, drag feedback, set lines.
void DrawMapOverlay(QPainter& p, const MapProjection& proj, const MapDrag& d, const LineChoice& lines,
                    const MbViewState& st);

class CourseMapView : public QWidget {
    Q_OBJECT
public:
    CourseMapView(const LogStore& store, const CoursePaths& paths, LineChoice& lines, MbViewState& state,
                  QWidget* parent = nullptr);

    MapTool tool = MapTool::Ctrl;   // the tool button that is down

    // MbMapDirty: the next paint redraws the back buffer.
    void SetDirty() { MbMapDirty = true; }
    // Dirty, then repaint.
    void FullRepaint();
    MapProjection Projection() const { return MakeProjection(state_.MbViewRect, width(), height()); }
    const MapDrag& Drag() const { return drag_; }
    // How often the back buffer was drawn (a drag draws only the overlay).
    int BackBufferDraws() const { return draws_; }
    // Draws the map as a paint does, into img of the widget's size.
    void Render(QImage& img);

signals:
    // The pointer's position as "%.6f , %.6f" (latitude, longitude).
    void PointerText(const QString& text);
    // A drag ended: lines or view may have changed.
    void DragEnded();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void PaintBox1Paint(QPainter& p);
    void PaintBox2Paint(QPainter& p);

    const LogStore& store_;
    const CoursePaths& paths_;
    LineChoice& lines_;
    MbViewState& state_;
    MapDrag drag_;
    QImage MbBitmap;
    bool MbMapDirty = true;
    int draws_ = 0;
};

} // namespace vel
