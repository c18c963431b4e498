// The one recording the player carries inside its executable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace playback {

// The recording is the resource of this type and id.
inline constexpr char kVoiceResourceType[] = "VOICE";
inline constexpr int kVoiceResourceId = 136;

class EmbeddedRecording {
 public:
  virtual ~EmbeddedRecording() = default;
  // The bytes of the resource, or none when the executable lacks it.
  virtual std::optional<std::span<const uint8_t>> FindResource(const std::string& type,
                                                               int id) const = 0;
  // The executable's file name without its directory and its extension.
  virtual std::string ApplicationName() const = 0;
};

}  // namespace playback
