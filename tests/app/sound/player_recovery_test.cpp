// The real dialog and device against sound servers of the test's own, off
// the happy path: the server killed in the middle of a stream and another
// one started, and Play pressed while the position slider is held.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <memory>

#include "app/player_dialog.h"
#include "app/pulse_audio_device.h"
#include "app/seek_slider.h"
#include "loud_recording.h"
#include "monitor_recorder.h"
#include "playback/playback_test_files.h"
#include "pulse_server.h"
#include "qt_events.h"
#include "signal_match.h"
#include "support/voice_file_builder.h"
#include "voice/vdec.h"

namespace sound_testing {
namespace {

using namespace std::chrono_literals;

// What the player decodes on its second Play, after its first stream had
// decoded `frames` frames: the decoder's memories carry over to it.
std::vector<int16_t> SecondPlay(const std::vector<uint8_t>& file, int frames) {
  const testing_support::TempFile voice(file);
  voice::DecoderState decoder;
  int mode = 0;
  vdec_open(decoder, voice.c_str(), &mode);
  vdec_restart_at(decoder, voice.c_str(), 0);
  uint8_t pcm[160];
  int32_t position = 0;
  for (int i = 0; i < frames; ++i) vdec_decode_frame(decoder, pcm, &position);
  vdec_restart_at(decoder, voice.c_str(), 0);
  std::vector<int16_t> samples;
  while (vdec_decode_frame(decoder, pcm, &position) == 0)
    for (int i = 0; i < 160; i += 2)
      samples.push_back(static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8));
  return samples;
}

class PlayerRecoveryTest : public ::testing::Test {
 protected:
  void OpenDialog(const LoudRecording& recording) {
    embedded_ = std::make_unique<RecordingInMemory>(recording.file);
    dialog_ = std::make_unique<app::PlayerDialog>(device_, *embedded_, decoder_);
    dialog_->SetMessageBoxFunction([this](QWidget*, const QString& text, const QString& caption) {
      boxes_.push_back(caption.toStdString() + ": " + text.toStdString());
    });
    dialog_->show();
    RunEventsFor(100ms);
  }
  template <typename Widget>
  Widget* Find(const char* name) {
    return dialog_->findChild<Widget*>(QString::fromUtf8(name));
  }
  std::string Text(const char* name) {
    if (auto* label = Find<QLabel>(name)) return label->text().toStdString();
    return Find<QPushButton>(name)->text().toStdString();
  }
  const playback::PlaybackState& State() { return dialog_->engine().state(); }
  // Play pressed; true once the stream has played to its end.
  bool PlayToTheEnd() {
    Find<QPushButton>("IDC_PLAY")->click();
    bool started = false;
    return RunEventsUntil(
        [&] {
          started = started || State().playing;
          return started && !State().playing && !State().opening;
        },
        20s);
  }

  app::PulseAudioDevice device_;
  voice::DecoderState decoder_;
  std::unique_ptr<RecordingInMemory> embedded_;
  std::unique_ptr<app::PlayerDialog> dialog_;
  std::vector<std::string> boxes_;
};

// The server goes away 1.5 s into a 4 s recording: within 3 s the dialog
// is idle and says why, with the time where the sound stopped. A new server
// starts, and the next Play is heard on it from the first sample to the last.
TEST_F(PlayerRecoveryTest, AServerKilledMidStreamEndsItAndTheNextServerPlaysTheRecording) {
  auto first = std::make_unique<PulseServer>();
  UsePulseServer(*first);
  const LoudRecording recording = MakeLoudRecording(voice::VoiceMode::Celp80, 400, 7);
  OpenDialog(recording);
  Find<QPushButton>("IDC_PLAY")->click();
  ASSERT_TRUE(RunEventsUntil([&] { return State().playing; }, 5s));
  RunEventsFor(1500ms);

  first.reset();
  const auto killed = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunEventsUntil([&] { return !State().playing; }, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 3s);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(Text("IDC_PLAY"), "&Play");
  EXPECT_FALSE(Find<QPushButton>("IDC_STOP")->isEnabled());
  EXPECT_NE(Text("IDC_ELAPSED"), "Elapsed time: 00:00:00");
  EXPECT_NE(Text("IDC_ELAPSED"), "Elapsed time: 00:00:04");
  EXPECT_EQ(playback_testing::LiveDecodeThreads(), 0);
  const std::vector<int16_t> reference = SecondPlay(recording.file, decoder_.position);

  PulseServer second;
  UsePulseServer(second);
  MonitorRecorder recorder(second, 8000);
  ASSERT_TRUE(PlayToTheEnd());
  RunEventsFor(300ms);
  const std::vector<int16_t> heard = recorder.Stop();
  EXPECT_EQ(boxes_.size(), 1u) << boxes_.back();
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:04");
  const auto guess = static_cast<ptrdiff_t>(FirstAbove(heard, 300)) -
                     static_cast<ptrdiff_t>(FirstAbove(reference, 300));
  const Alignment alignment = Align(heard, reference, guess - 64, guess + 64);
  EXPECT_GE(alignment.correlation, 0.95);
}

// Play, hold the slider, press Return (Play again), let go: one stream, from
// the chosen point, and the dialog still answers.
TEST_F(PlayerRecoveryTest, PlayWhileTheSliderIsHeldLeavesOneStreamOnTheRealDevice) {
  UsePulseServer(PulseServer::Shared());
  OpenDialog(MakeLoudRecording(voice::VoiceMode::Adpcm40, 400, 11));
  Find<QPushButton>("IDC_PLAY")->click();
  ASSERT_TRUE(RunEventsUntil([&] { return State().playing; }, 5s));
  RunEventsFor(500ms);

  auto* slider = Find<app::SeekSlider>("IDC_POSITION");
  const QPoint point(slider->width() * 3 / 4, slider->Geometry().thumbHeight / 2);
  QTest::mousePress(slider, Qt::LeftButton, {}, point);
  RunEventsFor(100ms);
  QTest::keyClick(dialog_.get(), Qt::Key_Return);
  ASSERT_TRUE(RunEventsUntil([&] { return State().playing; }, 5s));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, point);
  ASSERT_TRUE(RunEventsUntil([&] { return !State().seekInProgress && State().playing; }, 5s));
  EXPECT_EQ(playback_testing::LiveDecodeThreads(), 1);
  const int seconds = slider->value() * 4 / 36000;
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:0" + std::to_string(seconds));

  EXPECT_TRUE(RunEventsUntil([&] { return !State().playing; }, 10s));
  EXPECT_TRUE(boxes_.empty()) << boxes_.front();
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:04");
}

}  // namespace
}  // namespace sound_testing
