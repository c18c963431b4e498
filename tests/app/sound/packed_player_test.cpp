// A message made with `voiceplayer --pack`, run as its user runs it: without
// a display, playing through to the end into the test's PulseAudio server,
// whose sink's monitor is recorded. What is heard tells which recording the
// program found: the packed one, or after damage the built-in one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "monitor_recorder.h"
#include "playback/playback_test_files.h"
#include "pulse_server.h"
#include "signal_match.h"

namespace sound_testing {
namespace {

using playback_testing::Bytes;

constexpr int kRate = 8000;
constexpr int kOnsetThreshold = 300;
// Speech crosses the onset threshold less sharply than a test signal: the
// alignment searches 50 ms either side of the onsets' difference.
constexpr ptrdiff_t kSearch = 400;
constexpr char kDamageWarning[] = "warning: the recording packed into this program is damaged";

struct ProcessRun {
  int status = -1;
  std::string output;  // stdout and stderr
};

// `command` through the shell, bounded by `seconds`, its output captured.
ProcessRun RunCommand(const std::string& command, int seconds) {
  const std::string bounded =
      "timeout -k 5 " + std::to_string(seconds) + " " + command + " 2>&1 </dev/null";
  ProcessRun run;
  FILE* child = popen(bounded.c_str(), "r");
  char line[512];
  while (child != nullptr && fgets(line, sizeof line, child) != nullptr) run.output += line;
  const int status = child == nullptr ? -1 : pclose(child);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<int16_t> DecodedSamples(const std::string& voiceFile) {
  const Bytes pcm = playback_testing::DecodeWhole(testing_support::read_file(voiceFile));
  std::vector<int16_t> samples(pcm.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
  return samples;
}

class PackedPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      server_ = &PulseServer::Shared();
    } catch (const std::exception& e) {
      FAIL() << "This test plays through a PulseAudio daemon of its own, which did not start: "
             << e.what();
    }
  }

  // Packs the sample into a program named `name` in the scratch directory.
  std::string Pack(const std::string& name) {
    const std::string output = scratch_.path() + "/" + name;
    const ProcessRun packed = RunCommand(
        std::string(VOICEPLAYER_PATH) + " --pack " + SAMPLE_VOICE_PATH + " " + output, 30);
    EXPECT_EQ(packed.status, 0) << packed.output;
    return output;
  }

  // Runs `program --play` offscreen and returns what the sink played.
  std::vector<int16_t> PlayThrough(const std::string& program, ProcessRun& run) {
    MonitorRecorder recorder(*server_, kRate);
    run = RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen " + program + " --play", 60);
    usleep(300'000);
    return recorder.Stop();
  }

  // The recording's first second tells which one played; a gap later on (a
  // busy machine can starve the player) would not. The sound then lasts at
  // least as long as the recording.
  static void ExpectHeardAsDecoded(const std::vector<int16_t>& heard,
                                   const std::vector<int16_t>& reference) {
    const auto firstSecond = std::span(reference).first(std::min<size_t>(kRate, reference.size()));
    const size_t heardOnset = FirstAbove(heard, kOnsetThreshold);
    const size_t referenceOnset = FirstAbove(firstSecond, kOnsetThreshold);
    ASSERT_LT(heardOnset, heard.size()) << "nothing was heard";
    const auto guess = static_cast<ptrdiff_t>(heardOnset) - static_cast<ptrdiff_t>(referenceOnset);
    const Alignment alignment = Align(heard, firstSecond, guess - kSearch, guess + kSearch);
    EXPECT_GE(alignment.correlation, 0.9) << "another recording played";
    EXPECT_GE(static_cast<double>(heard.size()),
              alignment.delay + static_cast<double>(reference.size()))
        << "the sound stopped before the recording's end";
  }

  PulseServer* server_ = nullptr;
  playback_testing::ScratchDirectory scratch_;
};

TEST_F(PackedPlayerTest, PlaysTheRecordingItCarriesAndATruncatedCopyTheBuiltInOne) {
  const std::string packed = Pack("greeting");
  struct stat file {};
  ASSERT_EQ(stat(packed.c_str(), &file), 0);
  EXPECT_NE(file.st_mode & S_IXUSR, 0u) << "the packed program is not executable";
  std::cout << "A packed message of the " << std::filesystem::file_size(SAMPLE_VOICE_PATH)
            << "-byte sample: " << file.st_size << " bytes\n";
  RecordProperty("PackedMessageBytes", std::to_string(file.st_size));

  ProcessRun run;
  std::vector<int16_t> heard = PlayThrough(packed, run);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find(kDamageWarning), std::string::npos) << run.output;
  ExpectHeardAsDecoded(heard, DecodedSamples(SAMPLE_VOICE_PATH));

  // Cut inside the recording: its trailer is gone.
  const std::string truncated = scratch_.path() + "/truncated";
  std::filesystem::copy_file(packed, truncated);
  std::filesystem::resize_file(truncated, file.st_size - 100);
  heard = PlayThrough(truncated, run);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(kDamageWarning), std::string::npos) << run.output;
  ExpectHeardAsDecoded(heard, DecodedSamples(DEFAULT_RECORDING_PATH));
}

// Refused without touching an OUTPUT already there.
TEST_F(PackedPlayerTest, ARecordingThatIsNoVoiceFileIsRefused) {
  const std::string notVoice = scratch_.path() + "/notes.voc";
  const std::string output = scratch_.path() + "/message";
  std::ofstream(notVoice) << "Remember to buy milk, and call back before Friday.\n";
  std::ofstream(output) << "kept";
  const ProcessRun run =
      RunCommand(std::string(VOICEPLAYER_PATH) + " --pack " + notVoice + " " + output, 30);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("notes.voc: not a voice file"), std::string::npos) << run.output;
  EXPECT_EQ(testing_support::read_file(output), (Bytes{'k', 'e', 'p', 't'}));
  EXPECT_EQ(scratch_.entries().size(), 2u) << "a temporary file was left behind";
}

}  // namespace
}  // namespace sound_testing
