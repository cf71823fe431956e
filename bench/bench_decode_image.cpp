// Decoding full logger memory images: a 16 MiB ".bnx4" (4 KiB blocks, with
// the speed smoothing) and an 8 MiB ".binx" (64 KiB sectors), against a
// plain copy of the same buffer.
#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include "memcpy_reference.h"
#include "import/memory_image.h"
#include "model/log_store.h"
#include "model/status_list.h"
#include "support/image_builder.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;

LogStore& Store() {
    static LogStore store;
    static const bool ok = store.Allocate();
    (void)ok;
    return store;
}

// A square at 20 Hz, as many samples as the image holds.
QByteArray FullImage(LogImageLayout layout) {
    ImageCircuit c;
    c.hz = 20;
    const std::vector<ImageSample> samples = ImageCircuitSamples(c, 420000);
    return layout == LogImageLayout::Blocks4K ? BlockImage(samples, BlockWord, LogDumpSize / LogBlockSize)
                                              : SectorImage(samples, SectorWord, 128);
}

void Decode(benchmark::State& state, LogImageLayout layout) {
    const QByteArray image = FullImage(layout);
    LogStore& store = Store();
    store.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
    const int unit = layout == LogImageLayout::Blocks4K ? LogBlockSize : LogSectorSize;
    for (auto _ : state) {
        StatusList status;
        DecodeLogImage(store, layout, static_cast<int32_t>(image.size() / unit), Jst, status);
        benchmark::DoNotOptimize(store.LogItemNum);
    }
    state.SetBytesProcessed(state.iterations() * image.size());
    state.counters["samples"] = store.LogItemNum;
    state.counters["MiB"] = static_cast<double>(image.size()) / (1024 * 1024);
}

void BM_DecodeBnx4Full16MiB(benchmark::State& state) { Decode(state, LogImageLayout::Blocks4K); }
void BM_DecodeBinxFull8MiB(benchmark::State& state) { Decode(state, LogImageLayout::Sectors64K); }

// The block walk alone, without smoothing, selection and bounds.
void BM_WalkBnx4Blocks16MiB(benchmark::State& state) {
    const QByteArray image = FullImage(LogImageLayout::Blocks4K);
    LogStore& store = Store();
    store.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
    for (auto _ : state) {
        StatusList status;
        store.Clear();
        store.SettleCnt = 0;
        LogImageDecoder dec(store, Jst, status);
        for (int32_t k = 0; k < image.size() / LogBlockSize; ++k) dec.DecLogBlock(k);
        benchmark::DoNotOptimize(store.LogItemNum);
    }
    state.SetBytesProcessed(state.iterations() * image.size());
}

// The speed smoothing alone, over the walked image's samples.
void BM_SmoothBnx4Speeds(benchmark::State& state) {
    const QByteArray image = FullImage(LogImageLayout::Blocks4K);
    LogStore& store = Store();
    store.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
    StatusList status;
    store.Clear();
    store.SettleCnt = 0;
    LogImageDecoder dec(store, Jst, status);
    for (int32_t k = 0; k < image.size() / LogBlockSize; ++k) dec.DecLogBlock(k);
    std::vector<float> raw(static_cast<size_t>(store.LogItemNum));
    for (int32_t i = 0; i < store.LogItemNum; ++i) raw[static_cast<size_t>(i)] = store.LogItem[i].Spd;
    for (auto _ : state) {
        state.PauseTiming();
        for (int32_t i = 0; i < store.LogItemNum; ++i) store.LogItem[i].Spd = raw[static_cast<size_t>(i)];
        state.ResumeTiming();
        store.SmoothLogSpd();
        benchmark::DoNotOptimize(store.LogItem[0].Spd);
    }
    state.counters["samples"] = store.LogItemNum;
}

void BM_Memcpy(benchmark::State& state) {
    const int64_t n = state.range(0);
    LogStore& store = Store();
    std::vector<uint8_t> dst(static_cast<size_t>(n));
    for (auto _ : state) {
        std::memcpy(dst.data(), store.LogDump.data(), static_cast<size_t>(n));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * n);
}

long ResidentKiB() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// What a fresh store costs in resident memory before any log is read.
void BM_StoreResidentBeforeLog(benchmark::State& state) {
    long grown = 0;
    for (auto _ : state) {
        const long before = ResidentKiB();
        LogStore store;
        benchmark::DoNotOptimize(store.Allocate());
        grown = ResidentKiB() - before;
    }
    state.counters["resident_KiB"] = static_cast<double>(grown);
}

} // namespace

BENCHMARK(BM_DecodeBnx4Full16MiB)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", vel::bench::Fastest);
BENCHMARK(BM_WalkBnx4Blocks16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothBnx4Speeds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBinxFull8MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Arg(8 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", vel::bench::Fastest);
BENCHMARK(BM_StoreResidentBeforeLog)->Iterations(3);

BENCHMARK_MAIN();
