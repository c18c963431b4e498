// The wave-out volume word on a mono sink: the sink has one linear volume,
// taken from the left channel's half (the low 16 bits), 0 silent to 0xFFFF
// full. It is applied to the samples themselves, so that the system's volume
// and every other stream stay as the user set them.
#pragma once

#include <cstdint>
#include <span>

namespace app {

float SinkVolumeFor(uint32_t deviceVolume);

// Multiplies 16-bit little-endian samples by `gain` (0 to 1), rounding to
// the nearest value.
void ScaleSamples(std::span<uint8_t> samples, float gain);

}  // namespace app
