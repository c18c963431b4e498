// The player's scales: seconds, position-slider units, PCM bytes and
// volume levels, in the integer arithmetic the labels and sliders show.
#pragma once

#include <cstdint>

namespace playback {

// The position slider's 36,000 units span the whole recording; its range
// stops one short, so the end sets it to its maximum.
inline constexpr uint32_t kSliderUnits = 36000;
inline constexpr int kPositionSliderMax = 35999;
// The volume slider runs from 0 (top, loudest) to 64 (silent).
inline constexpr int kVolumeSliderMax = 64;
inline constexpr int kVolumeSliderTicks = 8;

// Whole seconds, the fraction dropped.
uint32_t DurationSecondsFor(int32_t frameCount, int32_t sampleRate);

// A recording shorter than a second has nowhere to go on the slider: it
// stays at 0 rather than dividing by its zero duration.
uint32_t SliderUnitsForSeconds(uint32_t seconds, uint32_t durationSeconds);
uint32_t SecondsForSliderUnits(uint32_t units, uint32_t durationSeconds);
// In floating point: the product outgrows 32 bits for recordings of a few
// minutes.
double BytesForSliderUnits(uint32_t units, uint32_t durationSeconds, int32_t sampleRate);

// The device volume for a level of 0 to 64: level × 1023 in both channels,
// except that the top level is the full 0xFFFF.
uint32_t DeviceVolumeForLevel(int level);
// The volume slider position that shows a device volume, from the top six
// bits of its left channel.
int VolumeSliderPositionFor(uint32_t deviceVolume);

}  // namespace playback
