// A recording that sounds to its very last frame, so that a lost or cut
// final buffer would be missed in a recording of the playback: random
// frames of a coding mode, and what a fresh decoder makes of them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "playback/embedded_recording.h"
#include "voice/voice_format.h"

namespace sound_testing {

struct LoudRecording {
  std::vector<uint8_t> file;
  std::vector<int16_t> decoded;  // from the first frame to the last
};

// `frames` random frames (the same for the same seed) and the end marker.
LoudRecording MakeLoudRecording(voice::VoiceMode mode, int frames, unsigned seed);

// The quietest stretch of `block` samples, as an RMS level.
double QuietestBlockRms(std::span<const int16_t> samples, size_t block);

// The recording carried by the player's executable, held in memory.
class RecordingInMemory : public playback::EmbeddedRecording {
 public:
  explicit RecordingInMemory(std::vector<uint8_t> file) : file_(std::move(file)) {}
  std::optional<std::span<const uint8_t>> FindResource(const std::string& type,
                                                       int id) const override;
  std::string ApplicationName() const override { return "voiceplayer"; }

 private:
  std::vector<uint8_t> file_;
};

}  // namespace sound_testing
