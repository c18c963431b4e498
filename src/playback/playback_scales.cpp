#include "playback/playback_scales.h"

#include "voice/voice_format.h"

namespace playback {

uint32_t DurationSecondsFor(int32_t frameCount, int32_t sampleRate) {
  // In 64 bits: a header can claim more frames than 32 bits can multiply.
  return static_cast<uint32_t>(int64_t{frameCount} * voice::kSamplesPerFrame / sampleRate);
}

uint32_t SliderUnitsForSeconds(uint32_t seconds, uint32_t durationSeconds) {
  if (durationSeconds == 0) return 0;
  return seconds * kSliderUnits / durationSeconds;
}

uint32_t SecondsForSliderUnits(uint32_t units, uint32_t durationSeconds) {
  return units * durationSeconds / kSliderUnits;
}

double BytesForSliderUnits(uint32_t units, uint32_t durationSeconds, int32_t sampleRate) {
  return static_cast<double>(units) * durationSeconds * sampleRate * 2 /
         static_cast<double>(kSliderUnits);
}

uint32_t DeviceVolumeForLevel(int level) {
  if (level == kVolumeSliderMax) return 0xFFFFFFFFu;
  const auto channel = static_cast<uint32_t>(level) * 1023u;
  return channel << 16 | channel;
}

int VolumeSliderPositionFor(uint32_t deviceVolume) {
  return 63 - static_cast<int>((deviceVolume >> 10) & 63);
}

}  // namespace playback
