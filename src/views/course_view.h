#pragma once
// The course view ("コース" page, PaintBoxGraph): the whole track of every
// shown lap fitted into the pane with its true aspect ratio, on a light
// 16-pixel grid, with the sector lines and a start tick on the reference
// lap; the cursor dots are a layer over the cached picture. Plain drawing
// functions of (painter, rectangle, state), shared by the pane, the tests
// and the picture export.
#include <optional>
#include <vector>
#include <QPainter>
#include <QRect>
#include "views/map_projection.h"
#include "views/pane.h"

namespace vel {

// The cached picture: white, grid, sector lines (with a reference lap),
// tracks of slots 3, 2, 1, 0.
void DrawCourseView(QPainter& p, const QRect& r, const PaneInput& in);
// The cursor layer (SetPosMarker): one dot per shown lap at the cursor.
void DrawCourseCursor(QPainter& p, const QRect& r, const PaneInput& in);
// Appends what the cursor layer of a pane of this size draws: slot and
// pixel of each dot.
void CourseCursorPixels(QSize size, const PaneInput& in, std::vector<double>& out);
// The picture export's course view (DrawGeneralPicture): the title
// "Velmaris", the cached picture and the dots.
void DrawGeneralPicture(QPainter& p, const QRect& r, const PaneInput& in);

// Parts of the cached picture, for the picture above and the tests.
void DrawCourseGrid(QPainter& p, const CourseFit& fit);
void DrawLap(QPainter& p, const CourseFit& fit, const PaneInput& in, int slot, QColor c);
void DrawSectLap(QPainter& p, const CourseFit& fit, const PaneInput& in);

// The play time a left click at pixel `at` of a pane of `size` asks for:
// the Sec of the reference lap's sample nearest to the click (in plain
// degrees; of equal distances the first sample). None without a reference
// lap, samples or a usable fit.
std::optional<long double> CourseClickTime(const QSize& size, QPoint at, const PaneInput& in);

} // namespace vel
