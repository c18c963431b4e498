// A whole recording through the simulated device: what it shows, and that
// every byte the decoder makes is played, the last buffer's included.
#include <gtest/gtest.h>

#include <algorithm>

#include "playback/player_texts.h"
#include "player_harness.h"
#include "voice/vdec.h"

namespace playback_testing {
namespace {

using voice::VoiceMode;

// The elapsed label at each returned buffer: the whole buffers played, in
// whole seconds; after the last one, the duration.
std::vector<std::string> ExpectedElapsedLabels(int frames) {
  const int duration = frames * 80 / 8000;
  std::vector<std::string> labels{"Elapsed time: 00:00:00"};  // when the recording is prepared
  for (int buffers = 1; buffers <= frames / 40; ++buffers)
    labels.push_back(playback::ElapsedText(std::min(buffers * 6400 / 16000, duration)));
  labels.push_back(playback::ElapsedText(duration));
  return labels;
}

void ExpectPlaysThrough(VoiceMode mode, int frames) {
  const Bytes file = MakeRecording(mode, frames);
  PlayerHarness h(file);
  h.engine.InitControls();
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayToEnd());

  const Bytes decoded = DecodeWhole(file);
  ASSERT_EQ(decoded.size(), static_cast<size_t>(frames) * 160);
  EXPECT_TRUE(h.device.played() == decoded);
  EXPECT_EQ(h.device.changed_while_queued(), 0);

  EXPECT_EQ(h.view.history(Control::kElapsed), ExpectedElapsedLabels(frames));
  EXPECT_EQ(h.view.history(Control::kPlay), (std::vector<std::string>{"&Pause", "&Play"}));
  EXPECT_EQ(h.view.history(Control::kDuration),
            std::vector<std::string>{playback::DurationText(frames * 80 / 8000)});
  EXPECT_EQ(h.view.history(Control::kFileName),
            std::vector<std::string>{"Voice filename: voiceplayer.VOC"});
  EXPECT_EQ(h.view.position(Control::kPosition), 35999);
  EXPECT_FALSE(h.view.enabled(Control::kStop));
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
  EXPECT_TRUE(h.view.message_boxes().empty());
  EXPECT_FALSE(h.device.is_open());
  EXPECT_FALSE(h.state().playing);
}

TEST(WholeRecording, AnAdpcmRecordingPlaysToItsLastFrame) {
  ExpectPlaysThrough(VoiceMode::Adpcm40, 1234);
}

TEST(WholeRecording, ACelpRecordingPlaysToItsLastFrame) {
  ExpectPlaysThrough(VoiceMode::Celp80, 1017);
}

TEST(WholeRecording, ARecordingEndingOnABufferBoundaryEndsWithAnEmptyBuffer) {
  ExpectPlaysThrough(VoiceMode::Adpcm40, 400);
}

// The decoder resets its memories only when it opens the file: a second
// playback carries on from where the first one left them.
TEST(WholeRecording, PlayAfterTheEndPlaysItAgainWithTheDecoderMemoriesKept) {
  const Bytes file = MakeRecording(VoiceMode::Celp80, 230);
  PlayerHarness h(file);
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayToEnd());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayToEnd());

  const testing_support::TempFile voice(file);
  voice::DecoderState st;
  int mode = 0;
  ASSERT_EQ(vdec_open(st, voice.c_str(), &mode), 0);
  Bytes twice;
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(vdec_restart_at(st, voice.c_str(), 0), 0);
    uint8_t pcm[160];
    int32_t position = 0;
    while (vdec_decode_frame(st, pcm, &position) == 0) twice.insert(twice.end(), pcm, pcm + 160);
  }
  EXPECT_TRUE(h.device.played() == twice);
  EXPECT_NE(Bytes(twice.begin(), twice.begin() + 6400),
            Bytes(twice.begin() + 230 * 160, twice.begin() + 230 * 160 + 6400));
}

}  // namespace
}  // namespace playback_testing
