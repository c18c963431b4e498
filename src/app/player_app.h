// The application: it runs the player dialog modally and ends when the
// dialog closes.
#pragma once

#include <string>

#include "playback/audio_device.h"
#include "playback/embedded_recording.h"

namespace app {

class PlayerDialog;

struct PlayerOptions {
  // --play: Play is pressed at start and the player ends with the stream.
  bool playThrough = false;
  // A voice file to play instead of the embedded recording.
  std::string file;
};

class PlayerApp {
 public:
  PlayerApp(playback::AudioDevice& device, const playback::EmbeddedRecording& recording,
            PlayerOptions options = {})
      : device_(device), recording_(recording), options_(options) {}

  // Returns false: once the dialog has closed there is nothing left to run.
  bool InitInstance();

  // Ends the running dialog as Escape does, also when a message box is open
  // over it, for a termination signal.
  void EndOnSignal(int signal);

  // 128 + the signal that ended the player; with --play, 0 when the
  // recording played to its end and 1 otherwise; else 0.
  int ExitStatus() const;

 private:
  void End(void (PlayerDialog::*button)());

  playback::AudioDevice& device_;
  const playback::EmbeddedRecording& recording_;
  const PlayerOptions options_;
  PlayerDialog* dialog_ = nullptr;  // while InitInstance runs it
  int endingSignal_ = 0;
  bool playedOut_ = false;
};

}  // namespace app
