#include "playback/playback_scales.h"

#include <algorithm>

#include "voice/voice_format.h"

namespace playback {

uint32_t DurationSecondsFor(int32_t frameCount, int32_t sampleRate) {
  // In 64 bits: a header can claim more frames than 32 bits can multiply.
  return static_cast<uint32_t>(int64_t{frameCount} * voice::kSamplesPerFrame / sampleRate);
}

// In 64 bits: with 32, both products wrap for recordings of more than 33
// hours, which a header may claim. The results are those of the 32-bit
// arithmetic wherever that does not wrap, and never pass the slider's end
// or the recording's duration.
uint32_t SliderUnitsForSeconds(uint32_t seconds, uint32_t durationSeconds) {
  if (durationSeconds == 0) return 0;
  const uint64_t units = uint64_t{seconds} * kSliderUnits / durationSeconds;
  return static_cast<uint32_t>(std::min<uint64_t>(units, kSliderUnits));
}

uint32_t SecondsForSliderUnits(uint32_t units, uint32_t durationSeconds) {
  const uint64_t seconds = uint64_t{units} * durationSeconds / kSliderUnits;
  return static_cast<uint32_t>(std::min<uint64_t>(seconds, durationSeconds));
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
