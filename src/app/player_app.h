// The application: it runs the player dialog modally and ends when the
// dialog closes.
#pragma once

#include "playback/audio_device.h"
#include "playback/embedded_recording.h"

namespace app {

class PlayerApp {
 public:
  PlayerApp(playback::AudioDevice& device, const playback::EmbeddedRecording& recording)
      : device_(device), recording_(recording) {}

  // Returns false: once the dialog has closed there is nothing left to run.
  bool InitInstance();

 private:
  playback::AudioDevice& device_;
  const playback::EmbeddedRecording& recording_;
};

}  // namespace app
