#pragma once
// What the frame, the run store and the analysis need of the graph panes,
// the logger link and the video player. Each method does nothing here; the
// subsystems that own the behaviour override it, and tests record the calls.
#include <QString>
#include <QVector>
#include "common/records.h"

namespace vel {

// Callers say what changed in data terms; the graph tab repaints its panes
// in the order each change asks for.
enum class LapsChange {
    Loaded,    // a lap entered the next display slot
    Removed,   // a lap left the slots and the others moved up
    Cleared,   // every lap and row cleared
    Clicked,   // a lap-list double click finished (loaded, removed or refused)
};

// What moved the play time (or what else of the cursor changed): each entry
// repaints the panes in its own order.
enum class PlayEntry {
    Other,
    PlaybackTick,      // Timer1
    VideoDrive,        // DrawCurSec: the video timer set the play time
    FrameStep,         // forward or back, button or key
    Jump,              // to the start or to the alignment line
    Align,             // alignment line chosen: the cursor moved to it
    AlignLineChanged,  // alignment line chosen: offsets and curve recomputed
    Clear,             // the whole display cleared
    SpeedGraphClick,
    CourseClick,
    MapClick,
};

class GraphsService {
public:
    virtual ~GraphsService() = default;
    virtual void LapsShownChanged(LapsChange change) {}
    // Sector lines loaded, set, edited, released or re-timed.
    virtual void SectorsChanged() {}
    virtual void PlayTimeMoved(PlayEntry entry) {}
    // Settings applied; lapsCleared when a unit change cleared every lap.
    virtual void SettingsChanged(bool lapsCleared) {}
    // The course map was loaded, made, moved or cleared.
    virtual void CourseMapChanged() {}
    virtual bool IsPlaying() const { return false; }
    // Timer1 off and the play button back to its play picture.
    virtual void StopPlayback() {}
    // The cached course, G and drift bitmaps, 1 x 1 pixel at start-up.
    virtual void CreateCachedBitmaps() {}
    // The sub-graph switch panels took new states from the settings.
    virtual void SwitchPanelsChanged() {}
};

class LoggerService {
public:
    virtual ~LoggerService() = default;
    virtual bool IsPortOpen() const { return false; }
    virtual void CloseComPort() {}
    // GpsReqQueue and ComPortList made empty at start-up and freed at shut-down.
    virtual void CreateLists() {}
    virtual void FreeLists() {}
    // Requests are being exchanged with the logger (its buttons are off):
    // the main tabs stay on the logger tab meanwhile.
    virtual bool IsBusy() const { return false; }
};

enum class TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };
// Seek flags of the player.
enum TSeekFlag : unsigned { sfAny = 1 };

class VideoService {
public:
    virtual ~VideoService() = default;
    // Stops the player; with wait, until its threads have ended.
    virtual void Stop(bool waitForStop) {}
    // OnPosition, OnState, OnVideoHook and OnAudioHook set to none.
    virtual void DetachHandlers() {}
    virtual void Pause() {}
    virtual TPlayState State() const { return TPlayState::psStop; }
    virtual long long VideoDuration() const { return 0; }
    virtual bool VideoSynced() const { return false; }
    virtual void CalVideoRange() {}
    // Filter values, duration and sync flag to 0, TimerVideoChk off.
    virtual void ResetState() {}

    // The video link's side of the play time; all do nothing without a video.
    // After the playback clock started or stopped: a synchronised video follows it.
    virtual void VideoFollowPlay() {}
    // The video is synchronised, shown, and the play time lies within it.
    virtual bool VideoInRange() const { return false; }
    virtual void VideoStepFwd() {}
    virtual void VideoStepBack() {}
    // The video seeks to the play time (a click while VideoInRange).
    virtual void VideoSeekToPlayTime() {}
    // Video times in microseconds: of PlayTm = 0, of the reference lap's end,
    // and of the picture shown now.
    virtual long long VideoOfsPts() const { return 0; }
    virtual long long VideoEndPts() const { return 0; }
    virtual long long CurrentPts() const { return 0; }
    virtual bool Paused() const { return true; }
    virtual void Seek(long long targetUs, unsigned flags, bool wait) {}
};

// The analysis of a lap that has just been loaded (display slot, drift, G,
// values at the cursor), which lives above the run store.
class AnalysisService {
public:
    virtual ~AnalysisService() = default;
    virtual void SetDispSlot(int slot, int lap) {}
    virtual void SetDElm(int lap) {}
    virtual void SetGElm(int lap) {}
    virtual void CalCurValLap(int lap) {}
    // CurIdo and CurKdo from the cursor values of slot 0.
    virtual void TakeCurPosFromSlot0() {}
    virtual void CalCurValAll() {}
};

// The lap list's ranking and its sector and drift columns, refreshed after
// rows are added.
class RankingService {
public:
    virtual ~RankingService() = default;
    virtual void SetBestLapRank() {}
    virtual void SetSectTmList() {}
    virtual void SetDriftAngleList() {}
    // A new row's working file was just written with these samples: the
    // next fill works the row out from them instead of reading the file back.
    virtual void RowWritten(const QString& file, const QVector<TLapElmRec>& samples) {}
};

struct Services {
    GraphsService* graphs;
    LoggerService* logger;
    VideoService* video;
    AnalysisService* analysis;
    RankingService* ranking;
};

// Services that do nothing, for a program or test without the real ones.
Services NullServices();

} // namespace vel
