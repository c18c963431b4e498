#include "ramp_signal.h"

#include <cstdlib>

namespace sound_testing {

namespace {

// Below the ramp's lowest value, above the resamplers' ripple in silence.
constexpr int kSoundThreshold = kRampBase / 2;
// How far inside a run its values are trusted, and how long a quiet stretch
// must be to end it.
constexpr int kEdge = 16;
constexpr int kQuietToEnd = 40;

bool Loud(int16_t sample) {
  return std::abs(sample) > kSoundThreshold;
}

size_t EndOfRun(const std::vector<int16_t>& recording, size_t start) {
  size_t quiet = 0, i = start;
  for (; i < recording.size() && quiet < kQuietToEnd; ++i)
    quiet = Loud(recording[i]) ? 0 : quiet + 1;
  return i - quiet;  // just past the last loud sample
}

}  // namespace

std::vector<uint8_t> RampBytes(int firstIndex, int count) {
  std::vector<uint8_t> bytes;
  for (int i = firstIndex; i < firstIndex + count; ++i) {
    const auto value = static_cast<uint16_t>(kRampBase + i);
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
  }
  return bytes;
}

std::vector<HeardRun> HeardRuns(const std::vector<int16_t>& recording) {
  std::vector<HeardRun> runs;
  for (size_t i = 0; i < recording.size(); ++i) {
    if (!Loud(recording[i])) continue;
    const size_t end = EndOfRun(recording, i);
    if (end - i > 2 * kEdge) {
      const int first = recording[i + kEdge] - kRampBase - kEdge;
      const int last = recording[end - 1 - kEdge] - kRampBase + kEdge;
      runs.push_back({first, last});
    }
    i = end;
  }
  return runs;
}

}  // namespace sound_testing
