// What the player keeps from one run to the next in the user's
// configuration ($XDG_CONFIG_HOME/voiceplayer/voiceplayer.ini): the volume
// slider's level and where the window stood.
#pragma once

#include <QSettings>

namespace app {

class PlayerDialog;

class RememberedSettings {
 public:
  RememberedSettings();

  // Before the dialog shows: back where it was, if that is on a screen still.
  void RestoreWindowPosition(PlayerDialog& dialog) const;
  // After the start-up probe has set the volume slider from the device; a
  // slider the probe left disabled (no device, or no volume) stays as it is.
  void ApplyVolume(PlayerDialog& dialog) const;
  // When the dialog has ended.
  void Remember(const PlayerDialog& dialog);

 private:
  QSettings settings_;
};

}  // namespace app
