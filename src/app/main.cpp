#include <QApplication>

#include "app/player_app.h"
#include "app/qt_audio_device.h"
#include "app/resource_recording.h"
#include "app/termination_signals.h"
#include "playback/temp_voice_file.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Copies left by players that were killed; this one's own goes with it.
  playback::RemoveStaleVoiceDirectories(playback::SystemTempDirectory());
  app::QtAudioDevice device;
  app::ResourceRecording recording;
  app::PlayerApp player(device, recording);
  const app::TerminationSignals termination([&player](int signal) { player.EndOnSignal(signal); });
  player.InitInstance();
  return player.ExitStatus();
}
