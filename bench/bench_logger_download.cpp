// A QK4 memory download from the tab's command to the hand-over, against the
// in-process simulator on a pty: paced at the real byte rate (115,200 bit/s,
// 1 MiB, compared with the wire time of what the logger sends), paced with
// one second of lost output halfway (64 KiB: the re-reads weigh), and
// unpaced (the full 16 MiB).
#include <benchmark/benchmark.h>
#include <random>
#include <thread>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include "logger/logger_commands.h"
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "logger_sim/sim.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "support/fake_prompts.h"
#include "qt_main.h"

namespace {

// A message ends the download: it is kept for the failure report.
// Seconds for a download of `used` bytes; 0 on failure, with the reason.
// muteMs > 0: the logger's output is lost for that long once half the
// blocks have come.
double Download(long long used, bool pace, std::string* failure, int muteMs = 0, long long* requests = nullptr) {
    QTemporaryDir dir;
    const QString imagePath = dir.filePath("memory.bnx4");
    {
        std::mt19937 rng(7);
        QByteArray image(int(used), '\0');
        for (char& c : image) c = char(rng() & 0xFF);
        QFile f(imagePath);
        if (!f.open(QIODevice::WriteOnly)) return 0;
        f.write(image);
    }
    velsim::Options o;
    o.model = velsim::Model::QK4;
    o.link = dir.filePath("bench-logger").toStdString();
    o.image = imagePath.toStdString();
    o.used = used;
    o.pace = pace;
    velsim::Logger sim(o);
    std::string err;
    if (!sim.Open(&err)) return 0;
    int control[2] = {-1, -1};
    if (muteMs > 0 && ::pipe(control) != 0) return 0;
    std::thread simThread([&] { sim.Run(control[0], -1); });
    bool muted = muteMs <= 0;

    vel::Session session;
    vel::test::FakePrompts prompts;
    double seconds = 0;
    {
        vel::LoggerLink link(session, prompts);
        link.scanUsbPorts = false;
        link.SetExtraPorts({QString::fromStdString(o.link)});
        vel::LoggerControls controls;
        controls.Attach(link);
        vel::LoggerCommands cmds(link, controls);
        bool loaded = false;
        QObject::connect(&link, &vel::LoggerLink::LogLoaded, [&] { loaded = true; });
        QElapsedTimer t;
        t.start();
        cmds.SpeedButtonLdGPSClick();
        while (!loaded && prompts.calls.empty() && t.elapsed() < 600000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::msleep(1);
            if (!muted && link.QK4BlocksDone() >= int(used / 4096)) {
                const std::string line = "mute " + std::to_string(muteMs) + "\n";
                muted = ::write(control[1], line.data(), line.size()) == ssize_t(line.size());
            }
        }
        if (loaded) {
            seconds = t.elapsed() / 1000.0;
        } else {
            QString why = prompts.calls.empty() ? QStringLiteral("no hand-over in 600 s") : prompts.calls.back().text;
            const QStringList log = session.statusList.Lines();
            why += " | " + log.mid(0, 8).join(" | ");
            *failure = why.toStdString();
        }
    }
    sim.Stop();
    simThread.join();
    if (requests) *requests = sim.GetStats().requests;
    for (int fd : control)
        if (fd >= 0) ::close(fd);
    return seconds;
}

// Bytes the logger sends for `used` bytes: data lines of 2,048 bytes
// ("$PMTK182,8,AAAAAAAA," + hex + "*hh" CR LF) and the sentinel's line.
double WireSeconds(long long used) {
    const long long lines = used / 2048;
    const long long bytes = lines * (20 + 4096 + 5) + (20 + 32 + 5);
    return double(bytes) * 10.0 / 115200.0;
}

// A download's time as the iteration's; false, with the benchmark skipped
// for the reason, on failure.
bool Timed(benchmark::State& state, double s, const std::string& failure) {
    if (s <= 0) {
        state.SkipWithError(failure.c_str());
        return false;
    }
    state.SetIterationTime(s);
    state.counters["seconds"] = s;
    return true;
}

// A paced download's time against the wire time of what the logger sends.
void WireCounters(benchmark::State& state, double s, long long used) {
    state.counters["wire_seconds"] = WireSeconds(used);
    state.counters["ratio"] = s / WireSeconds(used);
}

void BM_PacedDownload1MiB(benchmark::State& state) {
    const long long used = 1 << 20;
    for (auto _ : state) {
        std::string failure;
        const double s = Download(used, true, &failure);
        if (!Timed(state, s, failure)) break;
        WireCounters(state, s, used);
        state.counters["full_memory_scaled_s"] = s / WireSeconds(used) * WireSeconds(16769024);
    }
}
BENCHMARK(BM_PacedDownload1MiB)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BM_PacedDownloadSilence64KiB(benchmark::State& state) {
    const long long used = 64 * 1024;
    for (auto _ : state) {
        std::string failure;
        long long requests = 0;
        const double s = Download(used, true, &failure, 1000, &requests);
        if (!Timed(state, s, failure)) break;
        WireCounters(state, s, used);
        state.counters["requests"] = double(requests);
    }
}
BENCHMARK(BM_PacedDownloadSilence64KiB)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BM_UnpacedDownloadFull(benchmark::State& state) {
    for (auto _ : state) {
        std::string failure;
        const double s = Download(16769024, false, &failure);
        if (!Timed(state, s, failure)) break;
    }
}
BENCHMARK(BM_UnpacedDownloadFull)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QApplication>(argc, argv); }
