#pragma once
// The main() of the benchmarks that need a Qt application object: App is
// QApplication for widgets or QGuiApplication for fonts and pictures (both
// on the offscreen platform: no display needed), QCoreApplication for event
// loops alone.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <type_traits>

namespace vel::bench {

template <class App>
int RunWithQt(int argc, char** argv) {
    if constexpr (!std::is_same_v<App, QCoreApplication>) qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace vel::bench
