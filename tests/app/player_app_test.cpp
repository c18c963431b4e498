#include "app/player_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <functional>

#include "app/player_dialog.h"
#include "playback/player_harness.h"
#include "playback/simulated_audio_device.h"

namespace {

// Runs the player until its dialog is up, looks at it, and closes it.
void RunAndLook(app::PlayerApp& player, const std::function<void(QDialog&)>& look) {
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    look(*dialog);
    dialog->reject();
  });
  closer.start();
  player.InitInstance();
}

// The application runs its dialog modally until the user closes it, and then
// has nothing more to run.
TEST(PlayerApp, RunsTheDialogModallyAndEndsWhenItCloses) {
  playback_testing::SimulatedAudioDevice device;
  const playback_testing::InMemoryRecording recording(std::nullopt);
  app::PlayerApp player(device, recording);

  QString caption;
  bool modal = false;
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    caption = dialog->windowTitle();
    modal = dialog->isModal() && dialog->parentWidget() == nullptr;
    dialog->reject();
  });
  closer.start();

  EXPECT_FALSE(player.InitInstance());
  EXPECT_EQ(caption.toStdString(), "Vantor Digital Voice Player");
  EXPECT_TRUE(modal);
  EXPECT_EQ(device.opens(), 1) << "the probe, and no stream";
  EXPECT_FALSE(device.is_open());
}

// The device's volume is read at start-up as always (full here), and then
// the remembered one replaces it; the window goes back where it was.
TEST(PlayerApp, RemembersTheVolumeAndTheWindowPositionForTheNextRun) {
  QSettings remembered(QSettings::IniFormat, QSettings::UserScope, "voiceplayer", "voiceplayer");
  ASSERT_TRUE(remembered.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
  remembered.clear();
  remembered.sync();
  const playback_testing::InMemoryRecording recording(std::nullopt);
  {
    playback_testing::SimulatedAudioDevice device;
    device.SetDeviceVolume(0xFFFFFFFF);
    app::PlayerApp player(device, recording);
    RunAndLook(player, [](QDialog& dialog) {
      dialog.move(140, 90);
      qobject_cast<app::PlayerDialog*>(&dialog)->MoveVolumeSlider(40);
    });
  }
  playback_testing::SimulatedAudioDevice device;
  device.SetDeviceVolume(0xFFFFFFFF);
  app::PlayerApp player(device, recording);
  QPoint position;
  int volume = -1;
  RunAndLook(player, [&](QDialog& dialog) {
    position = dialog.pos();
    volume = dialog.findChild<QSlider*>("IDC_VOLUME")->value();
  });
  EXPECT_EQ(position, QPoint(140, 90));
  EXPECT_EQ(volume, 40);
  EXPECT_EQ(device.opens(), 1) << "the probe";
}

}  // namespace
