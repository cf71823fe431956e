// Playback as a user runs it: the main window at 1920 x 1080 (offscreen)
// with four one-hour laps shown plays 30 s at x1; the figure is the
// process's CPU time over that time, in per cent of one core. Aim: under 8 %
// (a laptop on battery at the circuit).
#include <cstdio>
#include <ctime>
#include <benchmark/benchmark.h>
#include <string>
#include <QElapsedTimer>
#include <QHash>
#include <QEventLoop>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include "window_laps.h"
#include "qt_main.h"

namespace {

// Paint events by widget name: what a tick repaints.
class PaintCounter : public QObject {
public:
    QHash<QString, int> paints;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints[o->objectName().isEmpty() ? o->metaObject()->className() : o->objectName()];
        return false;
    }
};

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

vel::bench::LapsWindow& Window() { return vel::bench::Kept<vel::bench::LapsWindow>(); }

void BM_PlaybackCpu(benchmark::State& state) {
    vel::bench::LapsWindow& w = Window();
    if (!vel::bench::Usable(state, w)) return;
    // BENCH_PICTURE=file.png saves the window at a fixed play time instead
    // (to compare pictures between builds).
    if (qEnvironmentVariableIsSet("BENCH_PICTURE")) {
        w.session.comparison.PlayTm = 1234.5L;
        w.tab().SpeedButtonFWD->click();
        vel::bench::LapsWindow::Settle();
        w.w->grab().save(qEnvironmentVariable("BENCH_PICTURE"));
        state.SkipWithError("picture");
        return;
    }
    const int seconds = static_cast<int>(state.range(0));
    vel::GraphTab& tab = w.tab();
    tab.RadioButtonX1->click();
    double percent = 0;
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    for (auto _ : state) {
        w.session.comparison.PlayTm = 0;
        tab.SpeedButtonPlay->click();
        if (!w.session.graphView.Playing) {
            state.SkipWithError("playback did not start");
            return;
        }
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = CpuSeconds();
        loop.exec();
        const double cpu = CpuSeconds() - cpu0;
        const double elapsed = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        tab.SpeedButtonPlay->click();
        percent = 100 * cpu / elapsed;
        state.SetIterationTime(cpu);
    }
    qApp->removeEventFilter(&counter);
    // BENCH_PAINTS=1 lists the paints of every widget.
    if (qEnvironmentVariableIsSet("BENCH_PAINTS"))
        for (auto it = counter.paints.begin(); it != counter.paints.end(); ++it)
            fprintf(stderr, "%s %d\n", qPrintable(it.key()), it.value());
    for (const char* name : {"PaintBoxZoom", "PaintBoxGraph", "PaintBoxSpd", "PaintBoxSpdBar", "LabelA", "LabelSectA",
                             "LabelPlayTm", "PanelData", "FormMain", "PageControl1", "Splitter1"})
        state.counters[std::string("paints_") + name] = counter.paints.value(name);
    if (w.session.comparison.PlayTm < seconds / 2) state.SkipWithError("the cursor did not move");
    state.counters["cpu_percent"] = percent;
    state.counters["goal_percent"] = 8;
}
BENCHMARK(BM_PlaybackCpu)->Arg(30)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(1);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
