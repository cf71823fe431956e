#include "views/view_commands.h"

namespace vel {

void ViewCommands::PanelDiffTmClick() {
    v_.DiffTmOn = !v_.DiffTmOn;
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
    p_.SetDataStr();
    p_.SetPosMarker();
    p_.DrawCurG();
    p_.DrawCurDrift();
}

void ViewCommands::PanelAltitudeClick() {
    v_.AltitudeOn = !v_.AltitudeOn;
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
    p_.SetPosMarker();
    p_.DrawCurG();
    p_.DrawCurDrift();
}

void ViewCommands::PanelXYGClick() {
    v_.XYGOn = !v_.XYGOn;
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
}

void ViewCommands::PanelDriftClick() {
    v_.DriftOn = !v_.DriftOn;
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
    p_.PaintBoxGraphDriftPaint();
    p_.PaintBoxZoomPaint();
}

void ViewCommands::PanelViewRduClick() {
    v_.ViewRduOn = !v_.ViewRduOn;
    if (!v_.Playing) p_.PaintBoxZoomPaint();
}

void ViewCommands::AxisChanged() {
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
    p_.SetPosMarker();
    p_.DrawCurG();
    p_.DrawCurDrift();
}

void ViewCommands::PanelDistClick() {
    if (v_.Axis == AxisMode::Dist) return;
    v_.Axis = AxisMode::Dist;
    AxisChanged();
}

void ViewCommands::PanelTimeClick() {
    if (v_.Axis == AxisMode::Time) return;
    v_.Axis = AxisMode::Time;
    AxisChanged();
}

void ViewCommands::ComboBoxGChange(GChoice choice) {
    v_.GSel = choice;
    if (!v_.XYGOn) return;
    p_.PaintBoxSpdPaint();
    p_.PaintBoxSpdBarPaint();
}

void ViewCommands::SpeedButtonSpdZinClick() {
    if (cmp_.DispSlot[0].Active && SpdZoomIn(v_.SpdZoom)) p_.PaintBoxSpdPaint();
}

void ViewCommands::SpeedButtonSpdZoutClick() {
    if (cmp_.DispSlot[0].Active && SpdZoomOut(v_.SpdZoom)) p_.PaintBoxSpdPaint();
}

void ViewCommands::SpeedButtonZinClick() {
    if (cmp_.DispSlot[0].Active && MapZoomIn(v_.MapZoom)) p_.PaintBoxZoomPaint();
}

void ViewCommands::SpeedButtonZoutClick() {
    if (cmp_.DispSlot[0].Active && MapZoomOut(v_.MapZoom)) p_.PaintBoxZoomPaint();
}

void ViewCommands::SpeedButtonGZinClick() {
    if (!GRangeIn(v_.GRangeIdx)) return;
    p_.SetGraphGDirty();
    p_.PaintBoxGraphGPaint();
    if (v_.XYGOn) p_.PaintBoxSpdPaint();
}

void ViewCommands::SpeedButtonGZoutClick() {
    if (!GRangeOut(v_.GRangeIdx)) return;
    p_.SetGraphGDirty();
    p_.PaintBoxGraphGPaint();
    if (v_.XYGOn) p_.PaintBoxSpdPaint();
}

void ViewCommands::MouseWheel(bool in, const WheelTargets& over) {
    if (over.speedGraph) in ? SpeedButtonSpdZinClick() : SpeedButtonSpdZoutClick();
    if (over.zoomMap) in ? SpeedButtonZinClick() : SpeedButtonZoutClick();
    if (over.gView && v_.Page == InnerPage::GView) in ? SpeedButtonGZinClick() : SpeedButtonGZoutClick();
}

void ViewCommands::GraphTabShown() {
    p_.SetGraphDirty();
    p_.SetGraphGDirty();
    p_.SetGraphDriftDirty();
}

bool Splitter1CanResize(int newSize, int tabHeight) {
    return newSize >= 132 && tabHeight >= 280 && newSize <= tabHeight - 160;
}

bool Splitter2CanResize(int newSize, int tabWidth) {
    return newSize >= 120 && tabWidth >= 520 && newSize <= tabWidth - 400;
}

} // namespace vel
