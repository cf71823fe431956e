#include "model/graph_view.h"

#include <algorithm>
#include <cmath>

namespace vel {

long double GFullScale(int32_t idx) {
    static constexpr long double scale[] = {0.5L, 1.5L, 2.0L, 2.5L, 2.75L, 3.5L, 5.0L};
    return idx >= GRangeIdxMin && idx <= GRangeIdxMax ? scale[idx] : 2.0L;
}

long double TickMultiplier(SpeedFactor f) {
    switch (f) {
    case SpeedFactor::X1: return 1.0L;
    case SpeedFactor::X2: return 2.0L;
    case SpeedFactor::X4: return 4.0L;
    case SpeedFactor::X8: return 8.0L;
    case SpeedFactor::X05: break;
    }
    return 0.5L;
}

long double FrameStep(SpeedFactor f) {
    switch (f) {
    case SpeedFactor::X1: return 0.1L;
    case SpeedFactor::X2: return 0.2L;
    case SpeedFactor::X4: return 0.4L;
    case SpeedFactor::X8: return 0.8L;
    case SpeedFactor::X05: break;
    }
    return 0.05L;
}

bool SpdZoomIn(long double& z) {
    if (z == SpdZoomMax) return false;
    z += z >= 2 ? 1.0L : 0.25L;
    if (z > SpdZoomMax) z = SpdZoomMax;
    return true;
}

bool SpdZoomOut(long double& z) {
    if (z == SpdZoomMin) return false;
    z -= z > 2 ? 1.0L : 0.25L;
    if (z < SpdZoomMin) z = SpdZoomMin;
    return true;
}

namespace {

// The map zoom counted in twentieths: its steps (0.1 and 0.25) and limits
// are whole numbers of them, so steps in and out cancel exactly, where
// adding and subtracting 0.1 would drift (1.0 five steps out and in, then
// one out, gave 0.75 for 0.9).
constexpr int MapZoomUnits = 20;
int MapZoomCount(long double z) { return int(std::lround(z * MapZoomUnits)); }
long double MapZoomOfCount(int n) { return static_cast<long double>(n) / MapZoomUnits; }
constexpr int MapZoomMinCount = 10, MapZoomMaxCount = 320;

} // namespace

bool MapZoomIn(long double& z) {
    if (z == MapZoomMax) return false;
    int n = MapZoomCount(z);
    n += n >= MapZoomUnits ? 5 : 2;
    z = MapZoomOfCount(std::min(n, MapZoomMaxCount));
    return true;
}

bool MapZoomOut(long double& z) {
    if (z == MapZoomMin) return false;
    int n = MapZoomCount(z);
    n -= n > MapZoomUnits ? 5 : 2;
    z = MapZoomOfCount(std::max(n, MapZoomMinCount));
    return true;
}

bool GRangeIn(int32_t& idx) {
    if (idx <= GRangeIdxMin) return false;
    --idx;
    return true;
}

bool GRangeOut(int32_t& idx) {
    if (idx >= GRangeIdxMax) return false;
    ++idx;
    return true;
}

} // namespace vel
