// How closely the cursor follows a synced video that plays: a 10 s 25 fps
// clip tied to a 12 s lap, played by the play clock at x1. At every tick the
// cursor's video position is compared with the picture shown at that moment;
// prints the mean and largest distance in frames and the number of ticks.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cmath>
#include "analysis/display_slots.h"
#include "platform/prompts.h"
#include "support/fake_prompts.h"
#include "support/lap_builder.h"
#include "support/pump_until.h"
#include "video/engine/ff_loader.h"
#include "video/video_link.h"
#include "views/graph_refresh.h"
#include "views/play_clock.h"
#include "qt_main.h"

using namespace vel;

namespace {

constexpr int64_t FrameUs = 40000;

const QString& Clip() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath("clip.mkv");
        QProcess::execute("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=320x240:r=25:d=10", "-c:v", "mpeg4", "-q:v", "3", p});
        return p;
    }();
    return path;
}

// The main thread's messages pumped every millisecond while the video
// plays.
template <class F>
bool PumpUntil(F cond, int ms) {
    return test::PumpUntil(cond, ms, std::chrono::milliseconds(1));
}

void CursorFollowsVideo(benchmark::State& state) {
    video::FFLoader().SetLibraryPath(QString());
    if (!video::FFLoader().Load(video::PlayerLibraries)) {
        state.SkipWithError("libraries did not load");
        return;
    }
    qputenv("SDL_AUDIODRIVER", "dummy");
    double sum = 0, worst = 0;
    int64_t ticks = 0;
    for (auto _ : state) {
        Session s;
        s.graphView.Page = InnerPage::Video;
        test::Drive d;
        TLapDtRec lap;
        lap.Elm = test::StraightRun(d, 180, 121);
        lap.ElmNum = lap.Elm.size();
        lap.LapTim = lap.Elm.back().Tm;
        lap.LapDist = lap.Elm.back().Dist;
        s.loadedLaps.LapDt = {lap};
        s.loadedLaps.LapDtNum = 1;
        SetDispSlot(s.loadedLaps, s.comparison, 0, 0);
        GraphRefresh graphs;
        vel::test::FakePrompts prompts;
        prompts.openResults.push_back({Clip()});
        std::atomic<int64_t> shown{-1};
        auto player = std::make_unique<FFVideoPlayer>(
            [&shown](std::shared_ptr<const video::TVideoPicture> p) { shown = p->PTS; }, video::TAudioDriver::adDummy);
        VideoLink link(s, prompts, std::move(player));
        PlayClock play(s, graphs, link, prompts);
        link.drawCurSec = [&] { play.DrawCurSec(); };
        link.SpeedButtonOpenVideoClick();
        if (!PumpUntil([&] { return !link.state().VideoKeyStepReq && link.Paused(); }, 10000)) {
            state.SkipWithError("video did not settle");
            break;
        }
        link.Seek(0, video::sfAny, true);
        s.comparison.PlayTm = 0;
        link.SpeedButtonSetStaClick();
        QObject::connect(play.Timer1, &QTimer::timeout, [&] {
            if (link.Paused() || shown < 0) return;
            const double off = std::fabs(double(link.VideoOfsPts() + TruncUs(s.comparison.PlayTm) - shown)) / FrameUs;
            sum += off;
            worst = std::max(worst, off);
            ++ticks;
        });
        play.SpeedButtonPlayClick();
        PumpUntil([&] { return !s.graphView.Playing; }, 30000);
        link.Stop(true);
    }
    state.counters["mean_frames"] = ticks ? sum / double(ticks) : 0;
    state.counters["max_frames"] = worst;
    state.counters["ticks"] = double(ticks);
}
BENCHMARK(CursorFollowsVideo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QCoreApplication>(argc, argv); }
