#include "app/sink_volume.h"

#include <cmath>

namespace app {

float SinkVolumeFor(uint32_t deviceVolume) {
  return static_cast<float>(deviceVolume & 0xFFFFu) / 65535.0f;
}

void ScaleSamples(std::span<uint8_t> samples, float gain) {
  if (gain >= 1.0f) return;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    const auto sample = static_cast<int16_t>(samples[i] | (samples[i + 1] << 8));
    const auto scaled = static_cast<int16_t>(std::lround(sample * gain));
    samples[i] = static_cast<uint8_t>(scaled & 0xFF);
    samples[i + 1] = static_cast<uint8_t>((scaled >> 8) & 0xFF);
  }
}

}  // namespace app
