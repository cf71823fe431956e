#pragma once
// Turns "what changed" into the panes' repaint steps, in the order each
// change asks for. The graph tab's panes carry out the steps.
#include "model/services.h"

namespace vel {

// The repaint steps of the graph tab's panes.
class PaneSteps {
public:
    virtual ~PaneSteps() = default;
    virtual void SetDataStr() {}
    virtual void PaintBoxSpdPaint() {}
    virtual void PaintBoxSpdBarPaint() {}
    virtual void PaintBoxZoomPaint() {}
    virtual void SetPosMarker() {}
    virtual void DrawCurG() {}
    virtual void DrawCurDrift() {}
    // Full repaints of the cached panes (course view, G view, drift view).
    virtual void PaintBoxGraphPaint() {}
    virtual void PaintBoxGraphGPaint() {}
    virtual void PaintBoxGraphDriftPaint() {}
    // Marks the cached course, G and drift views for a redraw at their next paint.
    virtual void SetGraphDirty() {}
    virtual void SetGraphGDirty() {}
    virtual void SetGraphDriftDirty() {}
    virtual bool IsPlaying() const { return false; }
    virtual void StopPlayback() {}
    virtual void CreateCachedBitmaps() {}
    virtual void SwitchPanelsChanged() {}
};

class GraphRefresh : public GraphsService {
public:
    explicit GraphRefresh(PaneSteps* steps = nullptr) : steps_(steps ? steps : &none_) {}
    // The panes that carry out the steps; null for none.
    void SetSteps(PaneSteps* steps) { steps_ = steps ? steps : &none_; }

    void LapsShownChanged(LapsChange change) override;
    void SectorsChanged() override;
    void PlayTimeMoved(PlayEntry entry) override;
    void SettingsChanged(bool lapsCleared) override;
    void CourseMapChanged() override;
    bool IsPlaying() const override { return steps_->IsPlaying(); }
    void StopPlayback() override { steps_->StopPlayback(); }
    void CreateCachedBitmaps() override { steps_->CreateCachedBitmaps(); }
    void SwitchPanelsChanged() override { steps_->SwitchPanelsChanged(); }

private:
    PaneSteps none_;
    PaneSteps* steps_;
};

} // namespace vel
