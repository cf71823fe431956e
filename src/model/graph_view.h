#pragma once
// What the graph tab shows and how: switches, axis mode, zoom values and the
// playback state. Panes and exports read it without a widget; the graph
// tab's controls are the only writers. The cursor itself (PlayTm, CurVal)
// is in Comparison.
#include <cstdint>

namespace vel {

// Horizontal axis of the speed graph: PanelDist without bevel = distance.
enum class AxisMode { Dist, Time };

// The speed factor radio buttons, RadioButtonX05 ... RadioButtonX8.
enum class SpeedFactor { X05, X1, X2, X4, X8 };

// Inner pages of the graph tab (PageControl2).
enum class InnerPage { Course = 0, GView = 1, Video = 2, Drift = 3 };

// What ComboBoxG chooses for the G traces and speed bars.
enum class GChoice { XY = 0, X = 1, Y = 2 };

constexpr long double SpdZoomMin = 1.0L, SpdZoomMax = 16.0L;
constexpr long double MapZoomMin = 0.5L, MapZoomMax = 16.0L;
constexpr int32_t GRangeIdxMin = 0, GRangeIdxMax = 6;

struct GraphView {
    // Toggle panels (lowered bevel = on). DiffTm, Altitude and Drift are
    // taken from the settings at start-up and written back at exit.
    bool DiffTmOn = true;      // PanelDiffTm
    bool AltitudeOn = false;   // PanelAltitude
    bool XYGOn = false;        // PanelXYG
    bool DriftOn = true;       // PanelDrift
    bool ViewRduOn = true;     // PanelViewRdu
    AxisMode Axis = AxisMode::Dist;   // PanelDist / PanelTime
    GChoice GSel = GChoice::XY;       // ComboBoxG

    long double SpdZoom = 1.0L;   // speed graph, horizontal, 1 to 16
    long double MapZoom = 1.0L;   // zoom map, pixels per metre, 0.5 to 16
    int32_t GRangeIdx = 2;        // G full scale, see GFullScale

    SpeedFactor Speed = SpeedFactor::X1;
    bool Playing = false;          // Timer1 runs
    InnerPage Page = InnerPage::Course;   // PageControl2's current page
    int32_t PopupSrc = 0;          // pane whose right click opened the picture menu
};

// Full scale in G of a G range index; any index outside 0..6 gives 2.0.
long double GFullScale(int32_t idx);

// Tick multiplier and frame step (s) of a speed factor.
long double TickMultiplier(SpeedFactor f);
long double FrameStep(SpeedFactor f);

// One step of each zoom. Each returns false (value unchanged) when the
// value already sits at its limit, so the caller knows to repaint nothing.
bool SpdZoomIn(long double& z);
bool SpdZoomOut(long double& z);
bool MapZoomIn(long double& z);
bool MapZoomOut(long double& z);
bool GRangeIn(int32_t& idx);
bool GRangeOut(int32_t& idx);

} // namespace vel
