// A signal that says which of its samples was heard: sample i is 1000 + i,
// a slow ramp that the sound server's resamplers pass nearly unchanged, so
// every recorded sample reads back as the index it came from. Lost,
// repeated or truncated stretches show as breaks in the indices.
#pragma once

#include <cstdint>
#include <vector>

namespace sound_testing {

inline constexpr int kRampBase = 1000;

std::vector<uint8_t> RampBytes(int firstIndex, int count);  // 16-bit little-endian

// One stretch of sound in a recording of the ramp, as ramp indices.
struct HeardRun {
  int first;
  int last;
};

// The stretches of sound, each read from samples a little inside its edges
// (where the resamplers smear the step from and to silence).
std::vector<HeardRun> HeardRuns(const std::vector<int16_t>& recording);

}  // namespace sound_testing
