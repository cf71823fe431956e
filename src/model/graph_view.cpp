#include "model/graph_view.h"

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

bool MapZoomIn(long double& z) {
    if (z == MapZoomMax) return false;
    z += z >= 1 ? 0.25L : 0.1L;
    if (z > MapZoomMax) z = MapZoomMax;
    return true;
}

bool MapZoomOut(long double& z) {
    if (z == MapZoomMin) return false;
    z -= z > 1 ? 0.25L : 0.1L;
    if (z < MapZoomMin) z = MapZoomMin;
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
