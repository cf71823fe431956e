#pragma once
// Adjusting one sector line on a small map: the map's projection about a
// fixed centre, the zoom steps, picking an end of the line and dragging it,
// and OK, which stores the line, re-sorts the table and refreshes the
// sectors. The dialog only routes its events here.
#include <cstdint>
#include <functional>
#include <QPoint>
#include <QRect>
#include "model/comparison.h"
#include "model/graph_view.h"   // MapZoomMin: the main map's range, where the view starts
#include "model/loaded_laps.h"
#include "model/sector_lines.h"

namespace vel {

constexpr int EdSectBoxSize = 460;          // both paint boxes, pixels
constexpr long double EdSectZoomMax = 16;   // pixels per metre
constexpr long double EdSectZoomOutMin = 1; // zooming out stops here
constexpr int EdSectPickPx = 3;             // an end is picked this close, across and down
constexpr int EdSectPassMax = 99;           // largest pass number the field offers
// Pixel coordinates are kept within this, far outside any box.
constexpr int EdSectPixelLimit = 1000000;

// The view of W x H pixels about (lonC, latC) at zoom pixels per metre.
struct EdSectProjection {
    bool valid = false;   // a box, a zoom and a centre that give a finite view
    int W = 0, H = 0;
    long double dLon = 0, dLat = 0;   // view width and height, degrees
    long double left = 0, right = 0, bottom = 0, top = 0;

    // Pixel of a position, each term rounded to the nearest integer (a half
    // to the even one), clamped to +-EdSectPixelLimit.
    QPoint ToPixel(long double lon, long double lat) const;
    // The same without rounding, for drawing lines that leave the box.
    void ToPixelF(long double lon, long double lat, long double& x, long double& y) const;
    // Position of a pixel.
    void ToPos(int X, int Y, long double& lon, long double& lat) const;
    // Within left..right and bottom..top, edges included.
    bool Inside(long double lon, long double lat) const;
};

EdSectProjection MakeEdSectProjection(long double lonC, long double latC, long double zoom, int W, int H);

// One zoom step: in by 0.25 below 2 and by 1 from 2, at most 16; out by 1
// above 2 and by 0.25 from 2 down, at least 1. A zoom already at the limit
// stays.
long double EdSectZoomIn(long double zoom);
long double EdSectZoomOut(long double zoom);

enum class EdSectDrag { None, End1, End2 };

// The dialog's working state.
struct EdSectState {
    int sel = 0;            // the line being adjusted, 0-based
    TSectRec line;          // the working line (its PassNo unused)
    int32_t passNo = 1;     // the pass-number field
    long double lonC = 0, latC = 0;   // view centre, fixed while open
    long double zoom = 1;
    EdSectDrag drag = EdSectDrag::None;
    QPoint px1, px2;        // pixels of the ends at the last press
};

// The state for line sel of the table: its ends and pass number, the view
// centred on its midpoint, the zoom the main map's (kept within 0.5 to 16).
EdSectState OpenEdSect(const SectorLines& lines, int sel, long double mapZoom);

// The end a press at p picks: end 1 when within EdSectPickPx of it both
// ways, else end 2 likewise, else none.
EdSectDrag PickEnd(QPoint p, QPoint end1, QPoint end2);

// Left press at p: notes both ends' pixels and starts dragging the end it
// picks. False when it picks none.
bool EdSectPress(EdSectState& st, const EdSectProjection& proj, QPoint p);
// Pointer at p: the dragged end follows. False when not dragging.
bool EdSectMove(EdSectState& st, const EdSectProjection& proj, QPoint p);
// Release at p: the dragged end is placed there and the drag ends.
bool EdSectRelease(EdSectState& st, const EdSectProjection& proj, QPoint p);

// The cross cursor shows strictly inside the box (left and top its position
// in its panel), the last row and column excluded.
bool EdSectCrossCursor(QPoint p, const QRect& box);

// Ends that make a line: both coordinates differ and all are finite.
bool EdSectLineUsable(const TSectRec& line);

// OK: with a usable line, writes the working line and pass number into
// line st.sel of the table, re-sorts a table of two or more lines by the
// reference lap's passings (selSect follows its line) and runs refresh.
// Nothing is stored and nothing refreshed otherwise.
bool EdSectOk(SectorLines& lines, const EdSectState& st, const TLapDtRec& ref, int32_t& selSect,
              const std::function<void()>& refresh);

// The line the selection dialog starts on: the one adjusted last while it
// exists, else the last line.
int EdSectPreselect(const SectorLines& lines);

} // namespace vel
