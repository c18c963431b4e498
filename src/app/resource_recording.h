// The recording the player carries: a Qt resource compiled into the
// executable, found by its type and id as ":/<type>/<id>", unless a
// recording packed onto the executable (--pack) takes the voice resource's
// place.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "playback/embedded_recording.h"

namespace app {

class ResourceRecording : public playback::EmbeddedRecording {
 public:
  explicit ResourceRecording(const std::optional<std::vector<uint8_t>>& packedVoice = std::nullopt);
  std::optional<std::span<const uint8_t>> FindResource(const std::string& type,
                                                       int id) const override;
  // From the path the program was started from, so a renamed copy of the
  // player shows its new name.
  std::string ApplicationName() const override;

 private:
  // Loaded once, and kept for as long as the recording is: the returned
  // bytes stay valid.
  mutable std::map<std::string, QByteArray> loaded_;
};

}  // namespace app
