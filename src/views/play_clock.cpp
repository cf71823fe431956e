#include "views/play_clock.h"

#include <cmath>
#include <QTimer>
#include "analysis/cursor_values.h"
#include "analysis/display_slots.h"
#include "platform/prompts.h"
#include "views/refresh_chain.h"

namespace vel {

namespace {

// Every shown lap passes every sector line, so a line can align them.
bool AllLapsPassAllLines(const LoadedLaps& laps, const Comparison& cmp, int sectNum) {
    const int n = LoadedCount(laps);
    if (n <= 0 || sectNum <= 0) return false;
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < sectNum && i < SectArrNum; ++i)
            if (cmp.DispSlot[k].SectStaDist[i] == 0) return false;
    return true;
}

// Slot 0's passing time at the alignment line, 0 without one.
long double AlignTime(const Comparison& cmp) {
    const int sel = cmp.SelSect;
    return sel >= 1 && sel <= SectArrNum ? cmp.DispSlot[0].SectStaSec[sel - 1] : 0;
}

} // namespace

PlayClock::PlayClock(Session& session, GraphsService& graphs, VideoService& video, Prompts& prompts,
                     MonotonicClock* clock)
    : s_(session), graphs_(graphs), video_(video), prompts_(prompts) {
    if (!clock) {
        ownClock_ = std::make_unique<SteadyClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(Timer1IntervalMs);
    connect(Timer1, &QTimer::timeout, this, &PlayClock::Timer1Timer);
    s_.graphView.Playing = false;
}

PlayClock::~PlayClock() { s_.graphView.Playing = false; }

bool PlayClock::Playing() const { return Timer1->isActive(); }
bool PlayClock::RefActive() const { return s_.comparison.DispSlot[0].Active; }

void PlayClock::Start() {
    lastTick_ = clock_->NowNs();
    Timer1->start();
    s_.graphView.Playing = true;
    if (setGlyph) setGlyph(true);
}

void PlayClock::Stop() {
    Timer1->stop();
    s_.graphView.Playing = false;
    if (setGlyph) setGlyph(false);
}

void PlayClock::Timer1Timer() {
    Comparison& cmp = s_.comparison;
    const qint64 now = clock_->NowNs();
    // The whole time since the last tick counts, however long the stall.
    const long double dt = now > lastTick_ ? (now - lastTick_) / 1e9L : 0;
    lastTick_ = now;
    const long long ofs = video_.VideoOfsPts();
    const long long end = video_.VideoEndPts();
    const long long dur = video_.VideoDuration();
    const long long pts = video_.CurrentPts();
    if (s_.graphView.Page == InnerPage::Video && dur > 0 && video_.VideoSynced() && end > 0 && ofs < dur &&
        !video_.Paused() && pts >= ofs && pts <= end)
        cmp.PlayTm = (pts - ofs) / 1e6L;
    else
        cmp.PlayTm += dt * TickMultiplier(s_.graphView.Speed);
    if (cmp.PlayTm < 0) cmp.PlayTm = 0;
    if (cmp.PlayTm > cmp.DispLapSec) {
        cmp.PlayTm = cmp.DispLapSec;
        Stop();
        video_.VideoFollowPlay();
    }
    RefreshChain(s_.loadedLaps, cmp, graphs_, PlayEntry::PlaybackTick);
}

void PlayClock::SpeedButtonPlayClick() {
    if (!RefActive()) return;
    Comparison& cmp = s_.comparison;
    if (cmp.PlayTm >= cmp.DispLapSec) cmp.PlayTm = 0;
    if (!Playing()) Start();
    else Stop();
    video_.VideoFollowPlay();
}

void PlayClock::SpeedButtonFWDClick() {
    if (!RefActive()) return;
    Comparison& cmp = s_.comparison;
    cmp.PlayTm += FrameStep(s_.graphView.Speed);
    if (video_.VideoInRange()) {
        video_.VideoStepFwd();
        return;
    }
    if (cmp.PlayTm > cmp.DispLapSec) {
        cmp.PlayTm = cmp.DispLapSec;
        Stop();
    }
    RefreshChain(s_.loadedLaps, cmp, graphs_, PlayEntry::FrameStep);
}

void PlayClock::SpeedButtonBWDClick() {
    if (!RefActive()) return;
    Comparison& cmp = s_.comparison;
    cmp.PlayTm -= FrameStep(s_.graphView.Speed);
    if (cmp.PlayTm < 0) cmp.PlayTm = 0;
    if (video_.VideoInRange()) {
        video_.VideoStepBack();
        return;
    }
    RefreshChain(s_.loadedLaps, cmp, graphs_, PlayEntry::FrameStep);
}

void PlayClock::SeekVideoToPlayTime() {
    if (!video_.VideoSynced()) return;
    const long long target = video_.VideoOfsPts() + static_cast<long long>(std::trunc(s_.comparison.PlayTm * 1e6L));
    if (target >= 0 && target <= video_.VideoDuration()) video_.Seek(target, sfAny, false);
}

void PlayClock::SpeedButtonToStartClick() {
    Comparison& cmp = s_.comparison;
    if (Playing()) Stop();
    // Repeated presses alternate between the lap start and the alignment line.
    if (cmp.PlayTm == 0 && RefActive() && cmp.SelSect >= 1) cmp.PlayTm = AlignTime(cmp);
    else cmp.PlayTm = 0;
    RefreshChain(s_.loadedLaps, cmp, graphs_, PlayEntry::Jump);
    if (video_.VideoDuration() != 0) {
        const TPlayState st = video_.State();
        if (st == TPlayState::psPlay || st == TPlayState::psResume) video_.Pause();
        SeekVideoToPlayTime();
    }
}

void PlayClock::SpeedButtonDistOfsClick() {
    if (Playing()) return;
    Comparison& cmp = s_.comparison;
    const LoadedLaps& laps = s_.loadedLaps;
    const int sectNum = s_.sectorLines.Count();
    if (AllLapsPassAllLines(laps, cmp, sectNum)) {
        cmp.SelSect = cmp.SelSect + 1 > sectNum ? 0 : cmp.SelSect + 1;
        CalDistOfs(laps, cmp, sectNum);
    } else {
        CalCurValAll(laps, cmp);
        cmp.SelSect = 0;
    }
    CalCmpTmOfs(laps, cmp, sectNum);
    CalDeltaTm(laps, cmp, sectNum);
    graphs_.PlayTimeMoved(PlayEntry::AlignLineChanged);
    if (RefActive() && sectNum != 0) {
        cmp.PlayTm = AlignTime(cmp);
        RefreshChain(laps, cmp, graphs_, PlayEntry::Align);
        // The video shows the moment the cursor shows.
        if (video_.VideoDuration() != 0) SeekVideoToPlayTime();
    }
}

void PlayClock::SpeedButtonResetClick() {
    if (!RefActive()) return;
    if (prompts_.AskYesCancel(ClearDisplayQuestion) != Answer::Yes) return;
    if (Playing()) Stop();
    LoadedLaps& laps = s_.loadedLaps;
    Comparison& cmp = s_.comparison;
    laps.LapDtNum = 0;
    laps.LapDt.clear();
    ClrDispSlots(cmp);
    cmp.RefIdo = 0;
    CalDistOfs(laps, cmp, s_.sectorLines.Count());
    graphs_.PlayTimeMoved(PlayEntry::Clear);
    if (setSectGrid) setSectGrid();
    if (video_.VideoDuration() != 0) {
        const TPlayState st = video_.State();
        if (st == TPlayState::psPlay || st == TPlayState::psResume) video_.Pause();
    }
}

void PlayClock::DrawCurSec() {
    Comparison& cmp = s_.comparison;
    if (cmp.PlayTm > cmp.DispLapSec) {
        cmp.PlayTm = cmp.DispLapSec;
        Stop();
    }
    if (cmp.PlayTm < 0) cmp.PlayTm = 0;
    RefreshChain(s_.loadedLaps, cmp, graphs_, PlayEntry::VideoDrive);
}

} // namespace vel
