#pragma once
// The real lap analysis with each call recorded, and a video the test sets.
#include <functional>
#include "analysis/lap_analysis.h"
#include "support/recording_services.h"

namespace vel::test {

// The analysis as the program runs it, each call recorded first.
class RecordingLapAnalysis : public LapAnalysis {
public:
    RecordingLapAnalysis(Session& s, CallLog& log) : LapAnalysis(s), log_(log) {}
    void SetDispSlot(int slot, int lap) override {
        log_.calls << QString("SetDispSlot(%1,%2)").arg(slot).arg(lap);
        LapAnalysis::SetDispSlot(slot, lap);
    }
    void SetDElm(int lap) override {
        log_.calls << QString("SetDElm(%1)").arg(lap);
        LapAnalysis::SetDElm(lap);
    }
    void SetGElm(int lap) override {
        log_.calls << QString("SetGElm(%1)").arg(lap);
        LapAnalysis::SetGElm(lap);
    }
    void CalCurValLap(int lap) override {
        log_.calls << QString("CalCurValLap(%1)").arg(lap);
        LapAnalysis::CalCurValLap(lap);
    }
    void TakeCurPosFromSlot0() override {
        log_.calls << "TakeCurPosFromSlot0";
        LapAnalysis::TakeCurPosFromSlot0();
    }
    void CalCurValAll() override {
        log_.calls << "CalCurValAll";
        LapAnalysis::CalCurValAll();
    }
    // Recorded only; sectTm, when set, stands for the sector timing.
    void CalSectTm() override {
        if (sectTm) {
            sectTm();
            return;
        }
        log_.calls << "CalSectTm";
    }
    std::function<void()> sectTm;
private:
    CallLog& log_;
};

// A video whose duration, state and tie to the lap time the test sets.
class SettableVideo : public RecordingVideo {
public:
    using RecordingVideo::RecordingVideo;
    long long duration = 0;
    bool synced = false;
    TPlayState state = TPlayState::psStop;
    long long VideoDuration() const override { return duration; }
    bool VideoSynced() const override { return synced; }
    TPlayState State() const override { return state; }
};

} // namespace vel::test
