#pragma once
// The video link: the "ビデオ" page's commands, the player's events and the
// tie between the play time and the video time (free and synced modes), and
// the video-sync file. It implements the VideoService hooks that the play
// clock and the panes call. Main thread only; every wait is a timer.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include "model/services.h"
#include "model/session.h"
#include "video/video_player.h"
#include "video/video_sync.h"

class QTimer;

namespace vel {

class Prompts;

inline const QString VideoOpenTitle = QStringLiteral("ビデオを開く");
inline const QString VidInfOpenTitle = QStringLiteral("ビデオ同期情報を開く");
inline const QString VidInfSaveTitle = QStringLiteral("ビデオ同期情報を保存");
inline const QString VidInfFilter = QStringLiteral("Video Info Files (*.vsy)");
inline const QString DllLoadFailedText = QStringLiteral("DLLの読み込みに失敗しました。");
inline const QString VideoNotFoundText = QStringLiteral("ビデオファイルが見つかりません。");
inline const QString VideoOpenFailedText = QStringLiteral("ビデオファイルの読み込みに失敗しました。");
inline const QString VsyBadDateText = QStringLiteral("ビデオ同期情報の日時が読み取れません。");

class VideoLink : public QObject, public VideoService {
    Q_OBJECT
public:
    VideoLink(Session& session, Prompts& prompts, std::unique_ptr<VideoPlayer> player);
    ~VideoLink() override;

    // What the window and the page supply.
    std::function<void()> drawCurSec;       // the play clock's DrawCurSec
    std::function<void()> playClick;        // the play clock's play/stop button
    std::function<void()> forceX1;          // select RadioButtonX1
    std::function<void()> repaintReadouts;  // bar, speed label, G box
    std::function<void(bool playing)> setPauseGlyph;
    std::function<void(const QString&)> setPtsText;  // LabelPTS
    std::function<void(bool synced)> modeChanged;    // buttons and LabelVideoDttm
    std::function<void()> clearPicture;              // the player stopped

    // Commands of the page.
    void SpeedButtonOpenVideoClick();
    void SpeedButtonOpenVidInfClick();
    void SpeedButtonSaveVidInfClick();
    void SpeedButtonClrVideoClick();
    void SpeedButtonVideoReloadClick();
    void SpeedButtonVideoToStaClick();
    void SpeedButtonPauseVideoClick();
    void SpeedButtonStepVideoClick();
    void SpeedButtonPTSbClick();
    void SpeedButtonSetStaClick();
    void PaintBoxVideoBarMouseDown(bool leftButton, int x, int width);
    void SetVideoSync();
    void ClrVideoSync();
    // LabelSpdWithVideo's text.
    QString SpdWithVideoText() const;
    // The G box shows the point.
    bool ShowsG() const;
    // Slot 0's G at the cursor.
    double LateG() const { return static_cast<double>(s_.comparison.CurVal[0].lateG3); }
    double LogiG() const { return static_cast<double>(s_.comparison.CurVal[0].logiG3); }

    // VideoService
    void Stop(bool waitForStop) override;
    void DetachHandlers() override;
    void Pause() override;
    TPlayState State() const override;
    long long VideoDuration() const override { return st_.VideoDuration; }
    bool VideoSynced() const override { return st_.VideoSynced; }
    void CalVideoRange() override;
    void ResetState() override;
    void VideoFollowPlay() override;
    bool VideoInRange() const override;
    void VideoStepFwd() override;
    void VideoStepBack() override;
    void VideoSeekToPlayTime() override;
    long long VideoOfsPts() const override { return st_.VideoOfsPts; }
    long long VideoEndPts() const override { return st_.VideoEndPts; }
    long long CurrentPts() const override;
    bool Paused() const override;
    void Seek(long long targetUs, unsigned flags, bool wait) override;

    // The player's events.
    void FFPlayerFileOpen(int64_t duration);
    void FFPlayerPosition(int64_t pos);
    void FFPlayerState(TPlayState state);
    void TimerVideoTimer();
    void TimerVideoChkTimer();

    const VideoSyncState& state() const { return st_; }
    VideoPlayer& player() { return *player_; }
    RefLap ReferenceLap() const;
    QTimer* TimerVideo;
    QTimer* TimerVideoChk;
    // Picture corrections (brightness, contrast, saturation, hue): no control
    // changes them.
    int VideoBright = 0, VideoContrast = 0, VideoSat = 0, VideoHue = 0;

private:
    bool EnsureLibs();
    bool OpenFile(const QString& path);
    void EnterSynced();
    bool PlayerPlaying() const;
    bool ClockRunning() const { return s_.graphView.Playing; }
    bool VideoPageShown() const { return s_.graphView.Page == InnerPage::Video; }
    void StartTimerVideo(int ms);
    // Runs f after ms unless the video was cleared or reopened meanwhile.
    void After(int ms, std::function<void()> f);
    void AttachHandlers();
    void Repaint();
    void SeekPlayer(int64_t pts, int flags, bool wait);
    // The link played, stepped or moved the video.
    void Moved();

    Session& s_;
    Prompts& prompts_;
    std::unique_ptr<VideoPlayer> player_;
    VideoSyncState st_;
    int generation_ = 0;
    bool atEnd_ = false;   // the player reported the end and was not moved since
    bool firstSeekSent_ = false;  // since the open
    int moves_ = 0;               // counts Moved()
};

} // namespace vel
