// The wave-out volume word on a mono sink: the sink has one linear volume,
// taken from the left channel's half (the low 16 bits), 0 silent to 0xFFFF
// full.
#pragma once

#include <cstdint>

namespace app {

float SinkVolumeFor(uint32_t deviceVolume);

}  // namespace app
