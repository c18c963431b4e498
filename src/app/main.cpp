#include <QApplication>

#include "app/command_line.h"
#include "app/pack_command.h"
#include "app/packed_recording.h"
#include "app/player_app.h"
#include "app/pulse_audio_device.h"
#include "app/resource_recording.h"
#include "app/termination_signals.h"
#include "playback/temp_voice_file.h"

namespace {

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[]) {
  const app::CommandLine line = app::ParseCommandLine(argc, argv);
  if (line.exitStatus) return *line.exitStatus;
  if (line.pack) return app::RunPackCommand(argv[0], *line.pack);
  // Played through without a display, the player needs no window system at
  // all; a platform the user chose is kept.
  if (line.options.playThrough && !HasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication application(argc, argv);
  // Copies left by players that were killed; this one's own goes with it.
  playback::RemoveStaleVoiceDirectories(playback::SystemTempDirectory());
  app::PulseAudioDevice device;
  app::ResourceRecording recording(app::LoadOwnPackedRecording(argv[0]));
  app::PlayerApp player(device, recording, line.options);
  const app::TerminationSignals termination([&player](int signal) { player.EndOnSignal(signal); });
  player.InitInstance();
  return player.ExitStatus();
}
