#pragma once
// Services that record the order of the calls made into them.
#include <QStringList>
#include "model/services.h"
#include "app/app_services.h"
#include "views/graph_refresh.h"

namespace vel::test {

struct CallLog {
    QStringList calls;
};

// The panes' repaint steps, reached through the graph tab's own refresh
// rules, so a test sees the steps in the order each change runs them.
class RecordingPanes : public PaneSteps {
public:
    explicit RecordingPanes(CallLog& log) : log_(log) {}
    bool playing = false;
    bool IsPlaying() const override { return playing; }
    void SetDataStr() override { log_.calls << "SetDataStr"; }
    void PaintBoxSpdPaint() override { log_.calls << "PaintBoxSpdPaint"; }
    void PaintBoxSpdBarPaint() override { log_.calls << "PaintBoxSpdBarPaint"; }
    void PaintBoxZoomPaint() override { log_.calls << "PaintBoxZoomPaint"; }
    void SetPosMarker() override { log_.calls << "SetPosMarker"; }
    void DrawCurG() override { log_.calls << "DrawCurG"; }
    void DrawCurDrift() override { log_.calls << "DrawCurDrift"; }
    void PaintBoxGraphPaint() override { log_.calls << "PaintBoxGraphPaint"; }
    void PaintBoxGraphGPaint() override { log_.calls << "PaintBoxGraphGPaint"; }
    void PaintBoxGraphDriftPaint() override { log_.calls << "PaintBoxGraphDriftPaint"; }
    void SetGraphDirty() override { log_.calls << "GraphDirty"; }
    void SetGraphGDirty() override { log_.calls << "GraphGDirty"; }
    void SetGraphDriftDirty() override { log_.calls << "GraphDriftDirty"; }
    void StopPlayback() override { log_.calls << "StopPlayback"; }
    void CreateCachedBitmaps() override { log_.calls << "CreateCachedBitmaps"; }
    void SwitchPanelsChanged() override { log_.calls << "SwitchPanelsChanged"; }
private:
    CallLog& log_;
};

class RecordingLogger : public LoggerService {
public:
    explicit RecordingLogger(CallLog& log) : log_(log) {}
    bool portOpen = false;
    bool busy = false;
    bool IsPortOpen() const override { return portOpen; }
    bool IsBusy() const override { return busy; }
    void CloseComPort() override { log_.calls << "CloseComPort"; portOpen = false; }
    void CreateLists() override { log_.calls << "CreateLists"; }
    void FreeLists() override { log_.calls << "FreeLists"; }
private:
    CallLog& log_;
};

class RecordingVideo : public VideoService {
public:
    explicit RecordingVideo(CallLog& log) : log_(log) {}
    void Stop(bool wait) override { log_.calls << (wait ? "Stop(wait)" : "Stop"); }
    void DetachHandlers() override { log_.calls << "DetachHandlers"; }
    void Pause() override { log_.calls << "Pause"; }
    void CalVideoRange() override { log_.calls << "CalVideoRange"; }
    void ResetState() override { log_.calls << "ResetVideoState"; }
protected:
    CallLog& log() const { return log_; }
private:
    CallLog& log_;
};

class RecordingAnalysis : public AnalysisService {
public:
    explicit RecordingAnalysis(CallLog& log) : log_(log) {}
    void SetDispSlot(int slot, int lap) override { log_.calls << QString("SetDispSlot(%1,%2)").arg(slot).arg(lap); }
    void SetDElm(int lap) override { log_.calls << QString("SetDElm(%1)").arg(lap); }
    void SetGElm(int lap) override { log_.calls << QString("SetGElm(%1)").arg(lap); }
    void CalCurValLap(int lap) override { log_.calls << QString("CalCurValLap(%1)").arg(lap); }
    void TakeCurPosFromSlot0() override { log_.calls << "TakeCurPosFromSlot0"; }
    void CalCurValAll() override { log_.calls << "CalCurValAll"; }
private:
    CallLog& log_;
};

class RecordingRanking : public RankingService {
public:
    explicit RecordingRanking(CallLog& log) : log_(log) {}
    void SetBestLapRank() override { log_.calls << "SetBestLapRank"; }
    void SetSectTmList() override { log_.calls << "SetSectTmList"; }
    void SetDriftAngleList() override { log_.calls << "SetDriftAngleList"; }
    // The working files whose samples were handed over, in order.
    void RowWritten(const QString& file, const QVector<TLapElmRec>&) override { written << file; }
    QStringList written;
private:
    CallLog& log_;
};

// The recorders over one log.
struct RecordingServices {
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    RecordingLogger logger{log};
    RecordingVideo video{log};
    RecordingAnalysis analysis{log};
    RecordingRanking ranking{log};
    Services services() { return {&graphs, &logger, &video, &analysis, &ranking}; }
    // The recorders in place of the window's panes, logger and video.
    AppServices::Overrides overrides() { return {&graphs, &logger, &video}; }
};

} // namespace vel::test
