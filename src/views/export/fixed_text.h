#pragma once
// Numbers in export files: fixed decimals with a point whatever the
// process locale, as printf's "%.Nf" in the C locale writes them.
#include <charconv>
#include <cmath>
#include <string>

namespace vel {

// Appends v with decimals places ("%.<decimals>f"); a value that is not
// finite is written as 0.
inline void AppendFixed(std::string& out, double v, int decimals) {
    if (!std::isfinite(v)) v = 0;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec == std::errc()) out.append(buf, r.ptr);
    else out += '0';
}

// Appends a whole number.
inline void AppendInt(std::string& out, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Appends v as two digits or more, zero-padded.
inline void Append2(std::string& out, int v) {
    if (v < 10) out += '0';
    AppendInt(out, v);
}

inline void Append3(std::string& out, int v) {
    if (v < 100) out += '0';
    Append2(out, v);
}

// A real as a whole number, truncated toward zero; values beyond the int
// range are held at its ends, and values that are not finite give 0.
inline int TruncToInt(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

} // namespace vel
