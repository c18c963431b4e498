#include "app/player_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "playback/player_harness.h"
#include "playback/simulated_audio_device.h"

namespace {

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

}  // namespace
