#pragma once
// The main() of the benchmarks that need a Qt application object: App is
// QApplication for widgets or QGuiApplication for fonts and pictures (both
// on the offscreen platform: no display needed), QCoreApplication for event
// loops alone.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <functional>
#include <type_traits>
#include <vector>

namespace vel::bench {

// What goes before the application object does, last made first.
inline std::vector<std::function<void()>>& Disposals() {
    static std::vector<std::function<void()>> d;
    return d;
}

// The benchmarks' one T, made on first use and destroyed at the end of
// RunWithQt, before the application object: a window left to the static
// destructors would outlive it.
template <class T>
T& Kept() {
    static T* t = [] {
        T* p = new T;
        Disposals().push_back([p] { delete p; });
        return p;
    }();
    return *t;
}

template <class App>
int RunWithQt(int argc, char** argv) {
    if constexpr (!std::is_same_v<App, QCoreApplication>) qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto it = Disposals().rbegin(); it != Disposals().rend(); ++it) (*it)();
    Disposals().clear();
    return 0;
}

} // namespace vel::bench
