#pragma once
// The imported log: samples, motion-sensor samples, blocks and the image buffer.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <QVector>
#include "common/records.h"

namespace vel {

constexpr int32_t LogItemMax = 630000;
constexpr int64_t LogDumpSize = 16 * 1024 * 1024;

// calloc'ed storage: no page is touched before a log is read into it.
template <typename T>
struct CallocArray {
    struct Free { void operator()(T* p) const { std::free(p); } };
    std::unique_ptr<T, Free> ptr;
    int64_t size = 0;

    bool Allocate(int64_t n) {
        ptr.reset(static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T))));
        size = ptr ? n : 0;
        return ptr != nullptr;
    }
    T* data() { return ptr.get(); }
    const T* data() const { return ptr.get(); }
    T& operator[](int64_t i) { return ptr.get()[i]; }
    const T& operator[](int64_t i) const { return ptr.get()[i]; }
};

struct LogStore {
    CallocArray<TLogItem> LogItem;        // LogItemMax places once at start-up
    CallocArray<TMotionSens> MotionSens;  // parallel to LogItem
    int32_t LogItemNum = 0;
    QVector<TLogBlock> LogBlock;
    CallocArray<uint8_t> LogDump;         // 16 MiB logger memory image

    // Gives the arrays their fixed capacity; false when memory is short.
    bool Allocate();
};

} // namespace vel
