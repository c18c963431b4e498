// Without any audio output the device refuses to open with a wave-out code
// and offers no volume, and the player's dialog warns and opens anyway. The
// server's address is in the environment, which this process shares with
// the other tests, so the check runs in a child process of this program
// that is pointed at a server that does not exist.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/player_dialog.h"
#include "app/pulse_audio_device.h"
#include "loud_recording.h"
#include "posted_messages.h"
#include "qt_events.h"

namespace sound_testing {
namespace {

namespace wave_result = playback::wave_result;

constexpr char kChildFlag[] = "VOICEPLAYER_SOUND_TEST_WITHOUT_SERVER";

// Runs this one test again in a child process without a sound server;
// returns the child's output, and its exit status in `status`.
std::string RunChildWithoutServer(int& status) {
  const std::string command = std::string(kChildFlag) +
                              "=1 PULSE_SERVER=unix:/nonexistent/pulse/native "
                              "/proc/" +
                              std::to_string(getpid()) +
                              "/exe --gtest_filter=WithoutASoundServer.* 2>&1";
  FILE* child = popen(command.c_str(), "r");
  std::string output;
  char line[512];
  while (child != nullptr && fgets(line, sizeof line, child) != nullptr) output += line;
  status = child == nullptr ? -1 : pclose(child);
  return output;
}

void ExpectNoOutput() {
  app::PulseAudioDevice device;
  PostedMessages window;
  uint32_t flags = 1;
  EXPECT_EQ(device.GetCapabilities(flags), wave_result::kBadDevice);
  EXPECT_EQ(flags, 0u);
  const playback::WaveResult opened = device.Open(playback::MonoPcm16(8000), window);
  EXPECT_EQ(opened, wave_result::kBadDevice);
  EXPECT_EQ(device.ErrorText(opened), "There is no audio output device.");
  RunEventsFor(std::chrono::milliseconds(50));
  EXPECT_TRUE(window.delivered().empty());
}

// The dialog still opens, after telling why there will be no sound, and
// offers no volume.
void ExpectDialogWarns() {
  app::PulseAudioDevice device;
  RecordingInMemory embedded(MakeLoudRecording(voice::VoiceMode::Celp80, 10, 1).file);
  voice::DecoderState decoder;
  app::PlayerDialog dialog(device, embedded, decoder);
  std::vector<std::string> boxes;
  dialog.SetMessageBoxFunction([&](QWidget*, const QString& text, const QString& caption) {
    boxes.push_back(caption.toStdString() + ": " + text.toStdString());
  });
  dialog.show();
  RunEventsFor(std::chrono::milliseconds(100));
  EXPECT_EQ(boxes,
            std::vector<std::string>{"Warning open device: There is no audio output device."});
  const auto* volume = dialog.findChild<QWidget*>("IDC_VOLUME");
  ASSERT_NE(volume, nullptr);
  EXPECT_FALSE(volume->isEnabled());
  EXPECT_TRUE(dialog.isVisible());
}

TEST(WithoutASoundServer, TheDeviceDoesNotOpenAndTheDialogSaysSo) {
  if (std::getenv(kChildFlag) != nullptr) {
    ExpectNoOutput();
    ExpectDialogWarns();
    return;
  }
  int status = 0;
  const std::string output = RunChildWithoutServer(status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

}  // namespace
}  // namespace sound_testing
