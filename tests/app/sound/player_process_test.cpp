// The built player as a user or a script runs it, without a display, against
// a private sound server and with a temporary directory of its own, which
// must be empty again once the player has ended, however it ended.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "pulse_server.h"

namespace sound_testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> Entries(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  return names;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempVoiceFileExists(const std::string& tmp, pid_t player) {
  const std::string prefix = "voiceplayer-" + std::to_string(player) + "-";
  for (const std::string& name : Entries(tmp))
    if (name.starts_with(prefix) && fs::exists(tmp + "/" + name + "/temp.voc")) return true;
  return false;
}

class PlayerProcessTest : public ::testing::Test {
 protected:
  // Everything lives in the server's directory, which goes with it.
  void Start(PulseServer::Output output) {
    server_.emplace(output);
    tmp_ = server_->directory() + "/tmp";
    log_ = server_->directory() + "/player.log";
    fs::create_directory(tmp_);
    // The run-player.sh tests must not start a real daemon if the private
    // one were not to answer.
    const std::string stubs = server_->directory() + "/bin";
    fs::create_directory(stubs);
    std::ofstream(stubs + "/pulseaudio") << "#!/bin/sh\nexit 1\n";
    fs::permissions(stubs + "/pulseaudio", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    environment_ = {{"PULSE_SERVER", server_->address()},
                    {"PULSE_RUNTIME_PATH", server_->directory()},
                    {"PULSE_COOKIE", server_->directory() + "/cookie"},
                    {"HOME", server_->directory()},
                    {"XDG_RUNTIME_DIR", server_->directory()},
                    {"TMPDIR", tmp_},
                    {"PATH", stubs + ":" + (path != nullptr ? path : "/usr/bin:/bin")},
                    {"DISPLAY", std::nullopt},
                    {"WAYLAND_DISPLAY", std::nullopt},
                    {"QT_QPA_PLATFORM", std::nullopt}};
  }

  std::optional<PulseServer> server_;
  std::string tmp_;
  std::string log_;
  EnvironmentChanges environment_;
};

TEST_F(PlayerProcessTest, ATerminationSignalEndsThePlayerAndItsTemporaryCopyGoesWithIt) {
  Start(PulseServer::Output::kNullSink);
  environment_.emplace_back("QT_QPA_PLATFORM", "offscreen");
  // What a player killed outright leaves: the first player removes it.
  pid_t gone = 0;
  {
    ChildProcess ended({"/bin/true"}, {}, log_);
    ASSERT_TRUE(ended.WaitFor(5s));
    gone = ended.pid();
  }
  const std::string stale = tmp_ + "/voiceplayer-" + std::to_string(gone) + "-a1B2c3";
  fs::create_directory(stale);
  std::ofstream(stale + "/temp.voc") << "voice";

  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    ChildProcess player({PLAYER_PATH, "--play"}, environment_, log_);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!TempVoiceFileExists(tmp_, player.pid()) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(TempVoiceFileExists(tmp_, player.pid())) << ReadText(log_);
    player.Signal(signal);
    const std::optional<int> status = player.WaitFor(5s);
    ASSERT_TRUE(status) << "still running 5 s after the signal";
    EXPECT_EQ(*status, 128 + signal) << ReadText(log_);
    EXPECT_EQ(Entries(tmp_), std::vector<std::string>{});
  }
}

// The script's bound is the recording's length plus 10 s.
constexpr auto kScriptBound = 13s;

TEST_F(PlayerProcessTest, RunPlayerWithoutADisplayPlaysTheRecordingOnceAndEnds) {
  Start(PulseServer::Output::kNullSink);
  ChildProcess script({RUN_PLAYER_SCRIPT, SHORT_PLAYER_BUILD}, environment_, log_);
  const std::optional<int> status = script.WaitFor(kScriptBound + 10s);
  ASSERT_TRUE(status) << "still running";
  EXPECT_EQ(*status, 0) << ReadText(log_);
  EXPECT_EQ(Entries(tmp_), std::vector<std::string>{});
}

TEST_F(PlayerProcessTest, RunPlayerWithoutAnAudioOutputSaysSoAndFails) {
  Start(PulseServer::Output::kNone);
  const auto started = std::chrono::steady_clock::now();
  ChildProcess script({RUN_PLAYER_SCRIPT, SHORT_PLAYER_BUILD}, environment_, log_);
  const std::optional<int> status = script.WaitFor(kScriptBound + 10s);
  ASSERT_TRUE(status) << "still running";
  EXPECT_LT(std::chrono::steady_clock::now() - started, kScriptBound);
  EXPECT_NE(*status, 0);
  EXPECT_NE(ReadText(log_).find("Warning open device: There is no audio output device.\n"),
            std::string::npos)
      << ReadText(log_);
}

}  // namespace
}  // namespace sound_testing
