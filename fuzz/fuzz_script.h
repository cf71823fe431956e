#pragma once
// Reading a fuzz input as a script: bytes taken from the front, zero once
// it is used up, and a small generator for long payloads made from one byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <QByteArray>

namespace vel::fuzz {

class Script {
public:
    Script(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool Done() const { return p_ >= end_; }
    uint8_t Byte() { return Done() ? 0 : *p_++; }
    uint16_t Word() { return uint16_t(Byte() << 8 | Byte()); }
    // Up to n bytes as they come.
    QByteArray Bytes(size_t n) {
        n = std::min(n, size_t(end_ - p_));
        QByteArray b(reinterpret_cast<const char*>(p_), qsizetype(n));
        p_ += n;
        return b;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A sentence body from a printf format of up to two numbers.
__attribute__((format(printf, 1, 0))) inline QByteArray Fmt(const char* f, long long a, long long b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

// n bytes of a fixed pseudo-random sequence picked by seed.
inline QByteArray Payload(uint32_t seed, int n) {
    QByteArray b(n, Qt::Uninitialized);
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

inline QByteArray Hex(const QByteArray& bytes) { return bytes.toHex().toUpper(); }

// A broken promise of the code under test: reported with its reason.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "oracle: %s\n", what);
    std::abort();
}

} // namespace vel::fuzz
