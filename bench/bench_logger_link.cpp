// The logger link against the in-process logger simulator on a pty: the
// host's turnaround from a reply's last byte to the next request's first
// byte, and the CPU the link takes while connected and idle.
#include <benchmark/benchmark.h>
#include <ctime>
#include <thread>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>
#include <QThread>
#include "logger/logger_link.h"
#include "logger_sim/sim.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "support/fake_prompts.h"
#include "qt_main.h"

namespace {

struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<velsim::Logger> sim;
    std::thread simThread;
    vel::Session session;
    vel::test::FakePrompts prompts;
    std::unique_ptr<vel::LoggerLink> link;

    bool Start() {
        velsim::Options o;
        o.model = velsim::Model::QK4;
        o.link = dir.filePath("bench-logger").toStdString();
        sim = std::make_unique<velsim::Logger>(o);
        std::string err;
        if (!sim->Open(&err)) return false;
        simThread = std::thread([this] { sim->Run(); });
        link = std::make_unique<vel::LoggerLink>(session, prompts);
        link->Probe = vel::ProbeFlags::All();
        link->AcptMTKGPSreq = [] {};   // the connection stays open between batches
        return link->OpenComPort(QString::fromStdString(o.link));
    }
    ~Rig() {
        link.reset();
        if (sim) sim->Stop();
        if (simThread.joinable()) simThread.join();
    }
    bool RunAndWait(const QList<QByteArray>& bodies) {
        int done = 0;
        QObject ctx;
        QObject::connect(link.get(), &vel::LoggerLink::ComQueueDone, &ctx, [&] { ++done; });
        link->QueueSentences(bodies);
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done > 0;
    }
};

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void BM_ReplyToNextRequest(benchmark::State& state) {
    Rig rig;
    if (!rig.Start()) {
        state.SkipWithError("no simulator");
        return;
    }
    const QList<QByteArray> batch(200, QByteArray("PMTK400"));
    const auto before = rig.sim->GetStats();
    for (auto _ : state) {
        if (!rig.RunAndWait(batch)) {
            state.SkipWithError("no reply");
            return;
        }
    }
    const auto after = rig.sim->GetStats();
    const double n = double(after.turnarounds - before.turnarounds);
    state.counters["turnaround_mean_us"] = n > 0 ? (after.turnaroundSumUs - before.turnaroundSumUs) / n : 0;
    state.counters["turnaround_max_us"] = after.turnaroundMaxUs;
    state.SetItemsProcessed(state.iterations() * batch.size());
}
BENCHMARK(BM_ReplyToNextRequest)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_IdleConnected(benchmark::State& state) {
    Rig rig;
    if (!rig.Start() || !rig.RunAndWait({"PMTK400"})) {
        state.SkipWithError("no simulator");
        return;
    }
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["cpu_percent"] = (CpuSeconds() - cpu0) / (double(t.elapsed()) / 1000.0) * 100.0;
    }
}
BENCHMARK(BM_IdleConnected)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) { return vel::bench::RunWithQt<QCoreApplication>(argc, argv); }
