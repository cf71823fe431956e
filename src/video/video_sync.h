#pragma once
// The tie between the play time and the video time, and the video-sync file
// (".vsy"). Pure: no player, no widgets, so the rules are tested alone.
#include <QString>
#include <cstdint>

namespace vel {

// What the tie needs of the reference lap (display slot 0).
struct RefLap {
    bool Active = false;
    double StartDtTm = 0;      // date-time of its first sample, days
    long double EndSec = 0;    // Sec of its last sample
};

struct VideoSyncState {
    QString VideoFileName;
    int64_t VideoDuration = 0;     // us; 0 = no video
    bool VideoSynced = false;
    int64_t VideoSyncPts = 0;      // video position at the synchronising moment
    double VideoSyncDtTm = 0;      // log date-time of that moment
    double VideoStaDtTm = 0;       // date-time of video position 0
    double VideoEndDtTm = 0;
    int64_t VideoOfsPts = 0;       // video position of PlayTm = 0; -1 with no lap
    int64_t VideoEndPts = 0;       // video position of the lap's end; -1 with no lap
    int64_t VideoShownPts = 0;
    bool VideoSeekPending = false;
    bool VideoFirstSeekReq = false;
    bool VideoKeyStepReq = false;
    int64_t VideoKeyStep = 1000000;
};

// Seconds to whole microseconds, cut toward zero.
int64_t TruncUs(long double seconds);
// The video position of a play time.
int64_t VideoPtsOf(const VideoSyncState& s, long double playTm);

// A new reference lap: the range again from the synchronising moment. Only
// with an active lap, a video and synced mode.
void CalVideoRange(VideoSyncState& s, const RefLap& lap);
// Synchronises at the paused picture currentPts shown at play time playTm.
// False (nothing changed) without a lap or video, or past the lap's end.
bool SetVideoSync(VideoSyncState& s, const RefLap& lap, long double playTm, int64_t currentPts);
// The tie read from a video-sync file: video position 0 is at date-time start.
void TieFromStart(VideoSyncState& s, double start, const RefLap& lap);
// The play time lies within the video (the range is known).
bool PlayTmInVideo(const VideoSyncState& s, long double playTm);

// Video-sync file: line 1 the video's path, line 2 the date-time of its
// position 0 as "yyyy/mm/dd hh:nn:ss.zzz" (always "/" and ":").
struct VsyFile {
    QString VideoPath;
    double Start = 0;
};
enum class VsyRead {
    Ok,
    Ignored,     // not two lines (or not a text file at all): no message
    BadDate,     // line 2 is no date-time: refused with a message
    ReadError,   // the file could not be read: error holds why
};
QString VsyDateText(double dt);
bool ParseVsyDate(const QString& text, double& dt);
VsyRead ReadVsy(const QString& path, VsyFile& out, QString* error = nullptr);
bool WriteVsy(const QString& path, const VsyFile& f, QString* error = nullptr);

} // namespace vel
