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

void GraphRefresh::PlayTimeMoved(PlayEntry) {
    PaneSteps& p = *steps_;
    p.PaintBoxSpdPaint();
    p.SetPosMarker();
    p.PaintBoxZoomPaint();
    p.DrawCurG();
    p.DrawCurDrift();
    p.PaintBoxSpdBarPaint();
    p.SetDataStr();
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
