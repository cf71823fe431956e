#pragma once
// A session with laps put straight into the display slots, a recording
// graph service and a clock the test moves by hand.
#include <gtest/gtest.h>
#include "analysis/display_slots.h"
#include "model/session.h"
#include "support/fake_prompts.h"
#include "support/lap_builder.h"
#include "support/recording_services.h"
#include "views/play_clock.h"

namespace vel::test {

class FakeClock : public MonotonicClock {
public:
    qint64 now = 1'000'000'000;
    qint64 NowNs() const override { return now; }
    void Advance(double seconds) { now += static_cast<qint64>(seconds * 1e9); }
};

// A video link whose answers the test sets.
class ScriptedVideo : public RecordingVideo {
public:
    using RecordingVideo::RecordingVideo;
    bool inRange = false, synced = false, paused = true;
    long long duration = 0, ofs = 0, end = 0, pts = 0;
    TPlayState state = TPlayState::psStop;
    bool VideoInRange() const override { return inRange; }
    bool VideoSynced() const override { return synced; }
    long long VideoDuration() const override { return duration; }
    long long VideoOfsPts() const override { return ofs; }
    long long VideoEndPts() const override { return end; }
    long long CurrentPts() const override { return pts; }
    bool Paused() const override { return paused; }
    TPlayState State() const override { return state; }
    void VideoFollowPlay() override { log().calls << "VideoFollowPlay"; }
    void VideoStepFwd() override { log().calls << "VideoStepFwd"; }
    void VideoStepBack() override { log().calls << "VideoStepBack"; }
    void Seek(long long t, unsigned flags, bool wait) override {
        log().calls << QString("Seek(%1,%2,%3)").arg(t).arg(flags).arg(wait);
    }
};

// A straight lap of `seconds` at 10 Hz and spd km/h, named name.
inline TLapDtRec StraightLap(const QString& name, double seconds, long double spd = 72) {
    Drive d;
    d.spd = spd;
    TLapDtRec lap;
    lap.DtName = name;
    lap.Elm = StraightRun(d, 180, static_cast<int>(seconds * d.hz) + 1);
    lap.ElmNum = lap.Elm.size();
    lap.LapTim = lap.Elm.back().Tm;
    lap.LapDist = lap.Elm.back().Dist;
    lap.MaxSpd = lap.MinSpd = lap.AveSpd = spd;
    for (const TLapElmRec& e : lap.Elm) {
        lap.IdoMin = std::min(lap.IdoMin, e.Ido);
        lap.IdoMax = std::max(lap.IdoMax, e.Ido);
        lap.KdoMin = std::min(lap.KdoMin, e.Kdo);
        lap.KdoMax = std::max(lap.KdoMax, e.Kdo);
    }
    return lap;
}

struct ViewFixture : ::testing::Test {
    Session s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    ScriptedVideo video{log};
    FakePrompts prompts;
    FakeClock clock;
    PlayClock play{s, graphs, video, prompts, &clock};
    QStringList glyphs;

    ViewFixture() {
        play.setGlyph = [this](bool running) { glyphs << (running ? "running" : "stopped"); };
        play.setSectGrid = [this] { log.calls << "SetSectGrid"; };
    }
    ~ViewFixture() override { play.Stop(); }

    // Shows laps of the given lengths (seconds) in slots 0, 1, ...
    void Show(std::initializer_list<double> seconds) {
        int k = 0;
        for (double sec : seconds) {
            s.loadedLaps.LapDt.push_back(StraightLap(QString("%1").arg(k, 4, 10, QChar('0')), sec));
            s.loadedLaps.LapDtNum = s.loadedLaps.LapDt.size();
            SetDispSlot(s.loadedLaps, s.comparison, k, k);
            ++k;
        }
    }
    long double& playTm() { return s.comparison.PlayTm; }
};

} // namespace vel::test
