#include <QApplication>

#include "app/player_app.h"
#include "app/pulse_audio_device.h"
#include "app/resource_recording.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  app::PulseAudioDevice device;
  app::ResourceRecording recording;
  app::PlayerApp player(device, recording);
  player.InitInstance();
  return 0;
}
