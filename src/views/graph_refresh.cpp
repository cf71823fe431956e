#include "views/graph_refresh.h"

namespace vel {

void GraphRefresh::LapsShownChanged(LapsChange change) {
    PaneSteps& p = *steps_;
    switch (change) {
    case LapsChange::Loaded:
    case LapsChange::Clicked:
        p.SetDataStr();
        break;
    case LapsChange::Removed:
        p.SetPosMarker();
        p.SetDataStr();
        p.DrawCurG();
        p.DrawCurDrift();
        break;
    case LapsChange::Cleared:
        p.SetGraphDirty();
        p.PaintBoxZoomPaint();
        p.PaintBoxSpdPaint();
        p.PaintBoxSpdBarPaint();
        p.SetGraphGDirty();
        p.SetGraphDriftDirty();
        p.SetDataStr();
        break;
    }
}

void GraphRefresh::SectorsChanged() {
    PaneSteps& p = *steps_;
    p.PaintBoxSpdBarPaint();
    p.SetGraphDirty();
    p.PaintBoxZoomPaint();
    p.PaintBoxSpdPaint();
    p.SetGraphGDirty();
    p.SetGraphDriftDirty();
    p.SetDataStr();
}

void GraphRefresh::PlayTimeMoved(PlayEntry entry) {
    PaneSteps& p = *steps_;
    switch (entry) {
    case PlayEntry::AlignLineChanged:
        p.PaintBoxSpdPaint();
        p.PaintBoxSpdBarPaint();
        p.DrawCurG();
        p.DrawCurDrift();
        return;
    case PlayEntry::Clear:
        p.SetGraphDirty();
        p.PaintBoxGraphPaint();
        p.PaintBoxZoomPaint();
        p.PaintBoxSpdPaint();
        p.PaintBoxSpdBarPaint();
        p.SetGraphGDirty();
        p.PaintBoxGraphGPaint();
        p.SetGraphDriftDirty();
        p.PaintBoxGraphDriftPaint();
        p.SetDataStr();
        return;
    case PlayEntry::Other:
    case PlayEntry::PlaybackTick:
    case PlayEntry::VideoDrive:
        p.PaintBoxZoomPaint();
        p.PaintBoxSpdBarPaint();
        p.PaintBoxSpdPaint();
        break;
    case PlayEntry::FrameStep:
    case PlayEntry::Jump:
    case PlayEntry::Align:
    case PlayEntry::SpeedGraphClick:
    case PlayEntry::CourseClick:
    case PlayEntry::MapClick:
        // A step or a click paints the speed graph before its bars.
        p.PaintBoxZoomPaint();
        p.PaintBoxSpdPaint();
        p.PaintBoxSpdBarPaint();
        break;
    }
    p.SetPosMarker();
    p.SetDataStr();
    p.DrawCurG();
    p.DrawCurDrift();
}

void GraphRefresh::SettingsChanged(bool lapsCleared) {
    PaneSteps& p = *steps_;
    p.SetGraphGDirty();
    p.SetGraphDriftDirty();
    if (lapsCleared) {
        p.SetGraphDirty();
        p.SetPosMarker();
        p.PaintBoxZoomPaint();
    }
}

void GraphRefresh::CourseMapChanged() { steps_->PaintBoxZoomPaint(); }

} // namespace vel
