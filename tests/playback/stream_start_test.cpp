// The first Play extracts the recording, queries it and shows it; every
// Play starts a stream from the first frame; closing removes the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "player_harness.h"

namespace playback_testing {
namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

TEST(StreamStart, FirstPlayExtractsTheRecordingIntoAPrivateDirectoryAndShowsIt) {
  const Bytes file = MakeRecording(VoiceMode::Adpcm40, 250);
  PlayerHarness h(file);
  ASSERT_TRUE(h.Play());

  const std::vector<std::string> made = h.scratch.entries();
  ASSERT_EQ(made.size(), 1u);
  const fs::path directory = fs::path(h.scratch.path()) / made[0];
  EXPECT_EQ(fs::status(directory).permissions(), fs::perms::owner_all);
  EXPECT_EQ(h.state().voicePath, (directory / "temp.voc").string());
  EXPECT_EQ(read_file(h.state().voicePath), file);

  EXPECT_EQ(h.view.text(Control::kDuration), "Voice duration: 00:00:02");
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:00");
  EXPECT_EQ(h.view.text(Control::kFileName), "Voice filename: voiceplayer.VOC");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");
  EXPECT_TRUE(h.view.enabled(Control::kStop));
  EXPECT_TRUE(h.view.enabled(Control::kPosition));
  EXPECT_EQ(h.view.busy_depth(), 0);
  EXPECT_TRUE(h.view.message_boxes().empty());
}

TEST(StreamStart, LaterPlaysReuseTheFileAndStartFromTheFirstFrame) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayBuffer());
  const auto written = fs::last_write_time(h.state().voicePath);
  h.engine.OnStop();
  ASSERT_GT(h.decoder.position, 0);

  h.engine.OnPlay();
  EXPECT_EQ(h.decoder.position, 0) << "positioned before the new thread decodes";
  ASSERT_TRUE(h.PumpUntil([&] { return h.state().playing; }));
  EXPECT_EQ(h.recording.lookups(), 1);
  EXPECT_EQ(fs::last_write_time(h.state().voicePath), written);
}

TEST(StreamStart, ClosingWhilePlayingStopsTheSoundAndRemovesTheFile) {
  PlayerHarness h(MakeRecording(VoiceMode::Celp80, 300));
  ASSERT_TRUE(h.Play());
  h.engine.StopStream();  // the Exit button
  EXPECT_FALSE(h.device.is_open());
  h.engine.OnDestroy();
  EXPECT_EQ(h.decoder.file, nullptr);
  EXPECT_FALSE(h.state().extracted);
  EXPECT_TRUE(h.scratch.entries().empty());
}

void ExpectEachPlayFailsToExtract(PlayerHarness& h) {
  for (int play = 1; play <= 2; ++play) {
    h.engine.OnPlay();
    h.Pump();
    ASSERT_EQ(h.view.message_boxes().size(), static_cast<size_t>(play));
    EXPECT_EQ(h.view.message_boxes().back().text, "Voice file corrupted, can't play");
    EXPECT_EQ(h.view.message_boxes().back().caption, "Warning");
  }
  EXPECT_FALSE(h.state().extracted);
  EXPECT_EQ(h.decoder.file, nullptr) << "no decoder call";
  EXPECT_EQ(h.device.opens(), 0);
  EXPECT_EQ(h.view.text(Control::kDuration), "Voice Duration:");
}

TEST(StreamStart, WithoutTheResourceEveryPlayWarns) {
  PlayerHarness h(std::nullopt);
  ExpectEachPlayFailsToExtract(h);
  EXPECT_EQ(h.recording.lookups(), 2);
}

TEST(StreamStart, AnUnwritableTemporaryDirectoryMakesEveryPlayWarn) {
  ScratchDirectory elsewhere;
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 100), elsewhere.path() + "/missing");
  ExpectEachPlayFailsToExtract(h);
  EXPECT_TRUE(elsewhere.entries().empty());
}

TEST(StreamStart, ARecordingTheDecoderRejectsWarnsAndLeavesTheLabels) {
  PlayerHarness h(Bytes(10, 0x55));  // a header with no playable frame
  h.engine.OnPlay();
  h.Pump();
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].text, "Framesize is negative value");
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Warning Decoding");
  EXPECT_EQ(h.view.text(Control::kDuration), "Voice Duration:");
  EXPECT_EQ(h.view.text(Control::kFileName), "Voice filename:");
  EXPECT_TRUE(h.state().extracted);

  h.engine.OnPlay();  // straight to the start of a stream, which fails
  h.Pump();
  ASSERT_EQ(h.view.message_boxes().size(), 2u);
  EXPECT_EQ(h.view.message_boxes()[1].text, "Framesize is negative value");
  EXPECT_EQ(h.view.message_boxes()[1].caption, "Warning Open Device");
  EXPECT_TRUE(h.view.message_boxes()[1].busy);
  EXPECT_EQ(h.device.opens(), 0);
}

TEST(StreamStart, TheDurationLabelDropsFractionsOfASecond) {
  const struct {
    int frames;
    const char* label;
  } cases[] = {{30000, "Voice duration: 00:05:00"},
               {30099, "Voice duration: 00:05:00"},
               {372300, "Voice duration: 01:02:03"}};
  for (const auto& c : cases) {
    // The header claims the frames; a few stored ones are enough to query.
    PlayerHarness h(VoiceFileBuilder(VoiceMode::Celp80)
                        .playable_frames(c.frames)
                        .speech_frames(3)
                        .end_marker()
                        .bytes());
    h.engine.OnPlay();
    EXPECT_EQ(h.view.text(Control::kDuration), c.label);
  }
}

TEST(StreamStart, AFailedDeviceOpenWarnsAndTheNextPlayTriesAgain) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 200));
  h.device.FailOpen(playback::wave_result::kNoDriver);
  h.engine.OnPlay();
  h.Pump();
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].text, "There is no driver for the audio output device.");
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Warning open device");
  EXPECT_FALSE(h.state().playing);
  EXPECT_FALSE(h.state().opening);
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");

  ASSERT_TRUE(h.Play());
  EXPECT_EQ(h.device.opens(), 1);
}

}  // namespace
}  // namespace playback_testing
