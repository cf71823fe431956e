#include "video/video_link.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include "platform/prompts.h"

namespace vel {

namespace {

QString VideoFilter() {
    static const char* const exts[] = {"3GP", "ASF", "AVI", "AVM", "AVS",  "DAT", "FLV", "MKV", "MOV", "MP4",
                                       "MPEG", "MPG", "NSV", "OGM", "RM", "RMVB", "TP", "TS", "VOB", "WMV"};
    QStringList pats;
    for (const char* e : exts) {
        pats << QStringLiteral("*.") + QLatin1String(e);
        pats << QStringLiteral("*.") + QString::fromLatin1(e).toLower();
    }
    return QStringLiteral("Video Files (") + pats.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString FolderOf(const QString& file) { return QFileInfo(file).absolutePath() + QLatin1Char('/'); }

} // namespace

VideoLink::VideoLink(Session& session, Prompts& prompts, std::unique_ptr<VideoPlayer> player)
    : s_(session), prompts_(prompts), player_(std::move(player)) {
    TimerVideo = new QTimer(this);
    TimerVideo->setSingleShot(true);
    connect(TimerVideo, &QTimer::timeout, this, &VideoLink::TimerVideoTimer);
    TimerVideoChk = new QTimer(this);
    TimerVideoChk->setInterval(100);
    connect(TimerVideoChk, &QTimer::timeout, this, &VideoLink::TimerVideoChkTimer);
    AttachHandlers();
}

VideoLink::~VideoLink() {
    player_->Stop(true);
    DetachHandlers();
}

void VideoLink::AttachHandlers() {
    player_->onFileOpen = [this](int64_t d) { FFPlayerFileOpen(d); };
    player_->onPosition = [this](int64_t p) { FFPlayerPosition(p); };
    player_->onState = [this](TPlayState st) { FFPlayerState(st); };
}

RefLap VideoLink::ReferenceLap() const {
    RefLap r;
    const auto& slot = s_.comparison.DispSlot[0];
    const auto& laps = s_.loadedLaps.LapDt;
    if (!slot.Active || slot.LapIdx < 0 || slot.LapIdx >= laps.size()) return r;
    const TLapDtRec& lap = laps[slot.LapIdx];
    const int n = std::min<int>(lap.ElmNum, lap.Elm.size());
    if (n <= 0) return r;
    r.Active = true;
    r.StartDtTm = lap.Elm[0].DtTm;
    r.EndSec = lap.Elm[n - 1].Sec;
    return r;
}

bool VideoLink::PlayerPlaying() const {
    const TPlayState st = player_->PlayState();
    return st == TPlayState::psPlay || st == TPlayState::psResume;
}

void VideoLink::After(int ms, std::function<void()> f) {
    const int gen = generation_;
    QTimer::singleShot(ms, this, [this, gen, f = std::move(f)] {
        if (gen == generation_) f();
    });
}

void VideoLink::StartTimerVideo(int ms) {
    TimerVideo->setInterval(ms);
    TimerVideo->start();
}

void VideoLink::SeekPlayer(int64_t pts, int flags, bool wait) {
    Moved();
    atEnd_ = false;
    player_->Seek(pts, flags, wait);
}

// The key step is measured from the first seek's own picture only: from a
// video played or moved before it, it would be measured from wherever the
// video stopped, and the default stays.
void VideoLink::Moved() {
    st_.VideoKeyStepReq = false;
    ++moves_;
}

void VideoLink::Repaint() {
    if (repaintReadouts) repaintReadouts();
}

// --- opening ---

bool VideoLink::EnsureLibs() {
    if (player_->AVLibLoaded()) return true;
    return player_->LoadAVLib(s_.folders.AppDir + QStringLiteral("LibAV"));
}

bool VideoLink::OpenFile(const QString& path) {
    player_->SetPictureParams(VideoBright, VideoContrast, VideoHue, VideoSat);
    ++generation_;
    atEnd_ = false;
    if (!player_->Open(path, true)) return false;
    firstSeekSent_ = false;
    st_.VideoFirstSeekReq = true;
    st_.VideoKeyStepReq = true;
    st_.VideoKeyStep = 1000000;
    return true;
}

void VideoLink::SpeedButtonOpenVideoClick() {
    if (!EnsureLibs()) return;
    FileDialogSpec dlg;
    dlg.title = VideoOpenTitle;
    dlg.folder = s_.folders.VideoDir;
    dlg.filters = {VideoFilter(), QStringLiteral("Any Files (*)")};
    QStringList files;
    {
        DialogFlag flag(s_.FileDlgOpen);
        files = prompts_.OpenFiles(dlg);
    }
    if (files.isEmpty()) return;
    const QString file = files.first();
    s_.folders.VideoDir = FolderOf(file);
    if (!OpenFile(file)) return;
    st_.VideoFileName = file;
}

void VideoLink::SpeedButtonOpenVidInfClick() {
    FileDialogSpec dlg = OneFilterDialog(VidInfOpenTitle, s_.folders.VidInfDir, VidInfFilter);
    QStringList files;
    {
        DialogFlag flag(s_.FileDlgOpen);
        files = prompts_.OpenFiles(dlg);
    }
    if (files.isEmpty()) return;
    const QString path = files.first();
    if (!QFileInfo(path).isFile()) return;
    // Read and checked whole before anything is opened or changed.
    VsyFile f;
    QString readError;
    switch (ReadVsy(path, f, &readError)) {
    case VsyRead::Ignored:
        return;
    case VsyRead::ReadError:
        prompts_.Error(readError);
        return;
    case VsyRead::BadDate:
        prompts_.Warn(VsyBadDateText);
        return;
    case VsyRead::Ok:
        break;
    }
    s_.folders.VidInfDir = FolderOf(path);
    if (!EnsureLibs()) {
        prompts_.Warn(DllLoadFailedText);
        return;
    }
    if (!QFileInfo(f.VideoPath).isFile()) {
        prompts_.Warn(VideoNotFoundText);
        return;
    }
    if (!OpenFile(f.VideoPath)) {
        prompts_.Warn(VideoOpenFailedText);
        return;
    }
    st_.VideoFileName = f.VideoPath;
    TieFromStart(st_, f.Start, ReferenceLap());
    EnterSynced();
}

void VideoLink::SpeedButtonSaveVidInfClick() {
    if (!st_.VideoSynced || st_.VideoDuration == 0) return;
    FileDialogSpec dlg = OneFilterDialog(VidInfSaveTitle, s_.folders.VidInfDir, VidInfFilter);
    dlg.defaultSuffix = QStringLiteral("vsy");
    SaveTargetSteps steps;
    steps.dialogOpen = &s_.FileDlgOpen;
    steps.chosen = [this](const QString& target) { s_.folders.VidInfDir = FolderOf(target); };
    const QString target = AskSaveTarget(prompts_, dlg, QStringLiteral(".vsy"), steps);
    if (target.isEmpty()) return;
    QString err;
    if (!WriteVsy(target, {st_.VideoFileName, st_.VideoStaDtTm}, &err))
        prompts_.Error(QFileInfo(target).fileName() + QStringLiteral(" を保存できませんでした。\r") + err);
}

void VideoLink::SpeedButtonClrVideoClick() {
    ++generation_;
    st_.VideoFileName.clear();
    st_.VideoDuration = 0;
    TimerVideoChk->stop();
    TimerVideo->stop();
    st_.VideoSeekPending = false;
    st_.VideoSynced = false;
    player_->Stop(true);
    ClrVideoSync();
    Repaint();
    if (setPtsText) setPtsText(QStringLiteral("."));
    if (setPauseGlyph) setPauseGlyph(false);
}

void VideoLink::SpeedButtonVideoReloadClick() {
    if (st_.VideoFileName.isEmpty() || !QFileInfo(st_.VideoFileName).isFile()) return;
    auto reopen = [this] {
        player_->Stop(true);
        if (setPauseGlyph) setPauseGlyph(false);
        OpenFile(st_.VideoFileName);
    };
    if (ClockRunning()) {
        if (playClick) playClick();
        After(200, reopen);
    } else {
        reopen();
    }
}

// --- the page's video buttons ---

void VideoLink::SpeedButtonVideoToStaClick() {
    if (st_.VideoDuration == 0) return;
    const TPlayState st = player_->PlayState();
    if (st != TPlayState::psPause && st != TPlayState::psStep) return;
    SeekPlayer(0, video::sfAny, false);
    player_->Resume();
    After(66, [this] { player_->Pause(); });
}

void VideoLink::SpeedButtonPauseVideoClick() {
    if (st_.VideoDuration == 0) return;
    if (player_->Paused()) Moved();
    player_->TogglePause();
    After(10, [this] {
        if (setPauseGlyph) setPauseGlyph(!player_->Paused());
    });
}

void VideoLink::SpeedButtonStepVideoClick() {
    if (st_.VideoDuration == 0 || !player_->Paused()) return;
    Moved();
    player_->StepToNextFrame();
}

void VideoLink::SpeedButtonPTSbClick() {
    if (st_.VideoDuration == 0 || !player_->Paused()) return;
    const int64_t target = std::max<int64_t>(player_->CurrentPTS(), -1) - st_.VideoKeyStep;
    if (target < 0)
        SeekPlayer(0, video::sfAny, false);
    else
        SeekPlayer(target, 0, false);
}

void VideoLink::SpeedButtonSetStaClick() {
    if (st_.VideoDuration == 0 || !player_->Paused()) return;
    if (st_.VideoSynced)
        ClrVideoSync();
    else
        SetVideoSync();
}

void VideoLink::PaintBoxVideoBarMouseDown(bool leftButton, int x, int width) {
    if (!leftButton || st_.VideoDuration == 0 || st_.VideoSynced) return;
    // A bar too narrow to have a track takes no click.
    if (width - 8 <= 0 || x < 4 || x > width - 4) return;
    SeekPlayer(st_.VideoDuration * (x - 4) / (width - 8), 0, false);
}

void VideoLink::SetVideoSync() {
    if (vel::SetVideoSync(st_, ReferenceLap(), s_.comparison.PlayTm, player_->CurrentPTS())) EnterSynced();
}

void VideoLink::EnterSynced() {
    st_.VideoSynced = true;
    if (modeChanged) modeChanged(true);
}

void VideoLink::ClrVideoSync() {
    st_.VideoSynced = false;
    if (modeChanged) modeChanged(false);
}

QString VideoLink::SpdWithVideoText() const {
    const RefLap lap = ReferenceLap();
    const TPlayState st = player_->PlayState();
    if (!lap.Active || st_.VideoDuration == 0 || !st_.VideoSynced || st == TPlayState::psStop ||
        st == TPlayState::psEnd)
        return QStringLiteral(".");
    const double spd = static_cast<double>(s_.comparison.CurVal[0].Spd);
    if (s_.settings.SpdKmh) return QString::asprintf("%.2fkm/h", spd);
    return QString::asprintf("%.2fMPH", spd / 1.609344);
}

bool VideoLink::ShowsG() const {
    return ReferenceLap().Active && st_.VideoDuration > 0 && st_.VideoSynced &&
           static_cast<int>(player_->PlayState()) < static_cast<int>(TPlayState::psStop);
}

// --- VideoService ---

void VideoLink::Stop(bool waitForStop) { player_->Stop(waitForStop); }

void VideoLink::DetachHandlers() {
    player_->onFileOpen = nullptr;
    player_->onPosition = nullptr;
    player_->onState = nullptr;
}

void VideoLink::Pause() { player_->Pause(); }
TPlayState VideoLink::State() const { return player_->PlayState(); }
long long VideoLink::CurrentPts() const { return player_->CurrentPTS(); }
bool VideoLink::Paused() const { return player_->Paused(); }
void VideoLink::Seek(long long targetUs, unsigned flags, bool wait) {
    SeekPlayer(targetUs, static_cast<int>(flags), wait);
}

void VideoLink::CalVideoRange() { vel::CalVideoRange(st_, ReferenceLap()); }

void VideoLink::ResetState() {
    VideoBright = VideoContrast = VideoSat = VideoHue = 0;
    st_.VideoDuration = 0;
    st_.VideoSynced = false;
    TimerVideoChk->stop();
}

void VideoLink::VideoFollowPlay() {
    if (st_.VideoDuration == 0 || !st_.VideoSynced || !VideoPageShown()) return;
    const long double playTm = s_.comparison.PlayTm;
    if (!PlayTmInVideo(st_, playTm)) return;
    if (!ClockRunning()) {
        st_.VideoSeekPending = true;
        player_->Pause();
        return;
    }
    // The video plays only at x1.
    if (forceX1) forceX1();
    if (playTm != 0) {
        const int64_t cur = std::max<int64_t>(player_->CurrentPTS(), -1);
        const long double v = static_cast<long double>(cur - st_.VideoOfsPts) / 1000000.0L;
        if (std::fabs(v - playTm) > 0.1L) SeekPlayer(VideoPtsOf(st_, playTm), 0, false);
    } else {
        SeekPlayer(st_.VideoOfsPts, video::sfAny, false);
    }
    Moved();
    player_->Resume();
}

bool VideoLink::VideoInRange() const {
    if (!ReferenceLap().Active || st_.VideoDuration == 0 || !st_.VideoSynced) return false;
    if (VideoPageShown() && PlayTmInVideo(st_, s_.comparison.PlayTm)) return true;
    if (PlayerPlaying()) player_->Pause();
    return false;
}

void VideoLink::VideoSeekToPlayTime() {
    if (!st_.VideoSynced || st_.VideoDuration == 0) return;
    const int64_t target = VideoPtsOf(st_, s_.comparison.PlayTm);
    if (ClockRunning()) {
        SeekPlayer(target, video::sfAny, false);
        if (!PlayerPlaying()) player_->Resume();
        StartTimerVideo(264);
    } else {
        st_.VideoSeekPending = true;
        SeekPlayer(target, 0, false);
    }
}

void VideoLink::VideoStepBack() {
    if (!st_.VideoSynced || st_.VideoDuration == 0 || PlayerPlaying()) return;
    const int64_t cur = player_->CurrentPTS();
    if (cur < 0 || cur < st_.VideoOfsPts) return;
    if (cur - st_.VideoKeyStep < st_.VideoOfsPts)
        SeekPlayer(st_.VideoOfsPts, video::sfAny, false);
    else
        SeekPlayer(cur - st_.VideoKeyStep, 0, false);
    st_.VideoSeekPending = true;
}

void VideoLink::VideoStepFwd() {
    if (!st_.VideoSynced || st_.VideoDuration == 0 || PlayerPlaying()) return;
    if (player_->CurrentPTS() >= st_.VideoEndPts) return;
    Moved();
    player_->StepToNextFrame();
    st_.VideoSeekPending = true;
}

// --- events and timers ---

void VideoLink::FFPlayerFileOpen(int64_t duration) {
    st_.VideoDuration = duration;
    TimerVideoChk->start();
}

void VideoLink::FFPlayerPosition(int64_t pos) {
    if (pos < 0 || st_.VideoDuration <= 0) return;
    st_.VideoShownPts = player_->CurrentPTS();
    if (setPtsText)
        setPtsText(QString::asprintf("%.2f / %.2f sec", st_.VideoShownPts / 1000000.0, st_.VideoDuration / 1000000.0));
    if (!PlayerPlaying()) {
        if (st_.VideoSeekPending) StartTimerVideo(264);
        if (st_.VideoFirstSeekReq) {
            st_.VideoFirstSeekReq = false;
            After(100, [this] {
                atEnd_ = false;
                firstSeekSent_ = true;
                player_->Seek(std::max<int64_t>(player_->CurrentPTS(), 0) + 66000, 0, false);
            });
        } else if (st_.VideoKeyStepReq && firstSeekSent_) {
            st_.VideoKeyStepReq = false;
            After(300, [this, moves = moves_] {
                if (moves != moves_) return;
                const int64_t step = ((std::max<int64_t>(player_->CurrentPTS(), 0) + 100000) / 100000) * 100000;
                st_.VideoKeyStep = std::max<int64_t>(step, 330000);
            });
        }
    }
    // The stop point: the video does not run past the lap's end.
    const RefLap lap = ReferenceLap();
    if (PlayerPlaying() && lap.Active && st_.VideoSynced && s_.comparison.PlayTm >= lap.EndSec &&
        pos >= st_.VideoEndPts)
        player_->Pause();
}

void VideoLink::FFPlayerState(TPlayState state) {
    if ((state == TPlayState::psPause || state == TPlayState::psStep) && st_.VideoSeekPending &&
        player_->PlayState() != TPlayState::psPlay)
        StartTimerVideo(66);
    // Stopped: the panel shows itself again, not the last picture.
    if (state == TPlayState::psStop && clearPicture) clearPicture();
    if (state == TPlayState::psEnd) {
        atEnd_ = true;
        player_->Pause();
        if (setPauseGlyph) setPauseGlyph(false);
    }
    Repaint();
}

void VideoLink::TimerVideoTimer() {
    TimerVideo->stop();
    st_.VideoSeekPending = false;
    if (st_.VideoDuration == 0) return;
    const int64_t cur = player_->CurrentPTS();
    // No picture time yet reads as the start.
    long double t = cur < 0 ? 0 : static_cast<long double>(cur - st_.VideoOfsPts) / 1000000.0L;
    s_.comparison.PlayTm = t < 0 ? 0 : t;
    if (drawCurSec) drawCurSec();
}

void VideoLink::TimerVideoChkTimer() {
    Repaint();
    if (st_.VideoDuration == 0) return;
    const TPlayState st = player_->PlayState();
    if (st != TPlayState::psPause && st != TPlayState::psStep) return;
    const int64_t cur = player_->CurrentPTS();
    if (cur != st_.VideoShownPts) {
        st_.VideoShownPts = cur;
        if (setPtsText)
            setPtsText(QString::asprintf("%.2f / %.2f sec", cur / 1000000.0, st_.VideoDuration / 1000000.0));
    }
    const RefLap lap = ReferenceLap();
    const long double playTm = s_.comparison.PlayTm;
    // A video that played to its end stays paused until it is moved:
    // resumed there it would hold the play time at its last picture.
    if (!atEnd_ && ClockRunning() && lap.Active && st_.VideoSynced && VideoPageShown() && st_.VideoEndPts >= 0 &&
        st_.VideoOfsPts <= st_.VideoDuration && playTm > 0 && playTm < lap.EndSec) {
        Moved();
        player_->Resume();
    }
}

} // namespace vel
