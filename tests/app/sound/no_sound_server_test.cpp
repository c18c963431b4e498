// Without any audio output the device refuses to open with a wave-out code
// and offers no volume. Qt finds its sound server once per process, so the
// check runs in a child process of this program that is pointed at a server
// that does not exist.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/qt_audio_device.h"
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
  EnsureApplication();
  app::QtAudioDevice device;
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

TEST(WithoutASoundServer, TheDeviceDoesNotOpenAndOffersNoVolume) {
  if (std::getenv(kChildFlag) != nullptr) {
    ExpectNoOutput();
    return;
  }
  int status = 0;
  const std::string output = RunChildWithoutServer(status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

}  // namespace
}  // namespace sound_testing
