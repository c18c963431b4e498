// The recording the player carries: a Qt resource compiled into the
// executable, found by its type and id as ":/<type>/<id>".
#pragma once

#include <QByteArray>
#include <map>
#include <string>

#include "playback/embedded_recording.h"

namespace app {

class ResourceRecording : public playback::EmbeddedRecording {
 public:
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
