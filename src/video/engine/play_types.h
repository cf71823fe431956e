#pragma once
// Public types of the player shared by the engine's components.
#include <cstdint>
#include "model/services.h"

namespace vel::video {

using vel::TPlayState;

// Bit for bit FFmpeg's seek flags.
enum TSeekFlag : int { sfBackward = 1, sfByte = 2, sfAny = 4, sfFrame = 8 };
using TSeekFlags = int;

// The engine's "no time" value.
constexpr int64_t NoTime = INT64_MIN;

} // namespace vel::video
