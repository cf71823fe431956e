#pragma once
// The graph tab's view switches and zooms: each changes the view state and
// repaints what shows it, in the order it asks for. The tab's controls show
// the state afterwards.
#include "model/comparison.h"
#include "model/graph_view.h"
#include "views/graph_refresh.h"

namespace vel {

class ViewCommands {
public:
    ViewCommands(GraphView& view, const Comparison& cmp, PaneSteps& steps) : v_(view), cmp_(cmp), p_(steps) {}

    void PanelDiffTmClick();
    void PanelAltitudeClick();
    void PanelXYGClick();
    void PanelDriftClick();
    void PanelViewRduClick();
    // Each acts only when its axis is not already the shown one.
    void PanelDistClick();
    void PanelTimeClick();
    void ComboBoxGChange(GChoice choice);

    void SpeedButtonSpdZinClick();
    void SpeedButtonSpdZoutClick();
    void SpeedButtonZinClick();
    void SpeedButtonZoutClick();
    void SpeedButtonGZinClick();
    void SpeedButtonGZoutClick();

    // Which panes the mouse is over when the wheel turns.
    struct WheelTargets {
        bool speedGraph = false;
        bool zoomMap = false;
        bool gView = false;
    };
    // in: the wheel turned away from the user. The G view counts only while
    // its page is shown.
    void MouseWheel(bool in, const WheelTargets& over);

    // The "グラフ" tab became the current tab: the cached panes redraw.
    void GraphTabShown();

private:
    void AxisChanged();

    GraphView& v_;
    const Comparison& cmp_;
    PaneSteps& p_;
};

// Splitter1 (height of the speed-graph band) and Splitter2 (width of the
// pages left of the zoom map): may the splitter go to newSize?
bool Splitter1CanResize(int newSize, int tabHeight);
bool Splitter2CanResize(int newSize, int tabWidth);

} // namespace vel
