#pragma once
// A 16 MiB memcpy measured in the same process as a benchmark, so its
// figures can be read against what the machine does at that moment.
#include <algorithm>
#include <cstring>
#include <vector>
#include <benchmark/benchmark.h>

namespace vel::bench {

// With repetitions the fastest run is reported too ("_min"): the figure the
// rest of the machine disturbed least.
inline double Fastest(const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

inline void BM_Memcpy16MiBReference(benchmark::State& state) {
    constexpr size_t N = 16u << 20;
    std::vector<char> src(N, 1), dst(N, 0);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), N);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * N));
}
BENCHMARK(BM_Memcpy16MiBReference)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);

} // namespace vel::bench
