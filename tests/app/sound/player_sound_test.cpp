// The whole player against a real sound server: the dialog, pressed Play on
// the offscreen platform, plays through the audio device into a private
// PulseAudio daemon's null sink, whose monitor is recorded. What was heard
// must be what the decoder makes of the recording, from its first sample to
// its last.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <iostream>
#include <memory>

#include "app/player_dialog.h"
#include "app/pulse_audio_device.h"
#include "loud_recording.h"
#include "monitor_recorder.h"
#include "pulse_server.h"
#include "qt_events.h"
#include "signal_match.h"

namespace sound_testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 8000;
constexpr size_t kBufferSamples = 3200;
// Where sound begins, in both the recording and the reference: well above
// the resamplers' ripple around silence.
constexpr int kOnsetThreshold = 300;
// How far the alignment search looks either side of the onsets' difference.
constexpr ptrdiff_t kSearch = 64;

// CPU time of this process (the dialog, the device, the decode thread), in
// seconds.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PlayerSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      server_ = &PulseServer::Shared();
    } catch (const std::exception& e) {
      FAIL() << "This test plays through a PulseAudio daemon of its own, which did not start: "
             << e.what();
    }
  }

  PulseServer* server_ = nullptr;
};

// 4.17 s of random Celp80 frames: the last buffer is a short one of 17
// frames, and every stretch of the recording is loud.
TEST_F(PlayerSoundTest, WhatIsHeardIsTheDecodedRecordingFromItsFirstSampleToItsLast) {
  const LoudRecording recording = MakeLoudRecording(voice::VoiceMode::Celp80, 417, 136);
  const std::vector<int16_t>& reference = recording.decoded;
  ASSERT_EQ(reference.size(), 417u * 80);
  ASSERT_GT(QuietestBlockRms(reference, kBufferSamples), 300.0)
      << "a stretch of the reference is quiet";
  ASSERT_GT(QuietestBlockRms(std::span(reference).last(800), 400), 300.0)
      << "the end of the reference is quiet";

  app::PulseAudioDevice device;
  RecordingInMemory embedded(recording.file);
  voice::DecoderState decoder;
  std::vector<std::string> boxes;
  auto dialog = std::make_unique<app::PlayerDialog>(device, embedded, decoder);
  dialog->SetMessageBoxFunction([&](QWidget*, const QString& text, const QString& caption) {
    boxes.push_back(caption.toStdString() + ": " + text.toStdString());
  });
  dialog->show();
  RunEventsFor(100ms);
  MonitorRecorder recorder(*server_, kRate);
  RunEventsFor(200ms);

  auto* play = dialog->findChild<QPushButton*>("IDC_PLAY");
  ASSERT_NE(play, nullptr);
  const auto pressed = MonitorRecorder::Clock::now();
  const double cpuAtPress = CpuSeconds();
  play->click();
  bool started = false;
  ASSERT_TRUE(RunEventsUntil(
      [&] {
        started = started || dialog->engine().state().playing;
        return started && !dialog->engine().state().playing;
      },
      20s))
      << "the stream did not end";
  const double cpuPlaying = CpuSeconds() - cpuAtPress;
  const double playingSeconds =
      std::chrono::duration<double>(MonitorRecorder::Clock::now() - pressed).count();
  RunEventsFor(300ms);
  const std::vector<int16_t> heard = recorder.Stop();
  const auto* elapsed = dialog->findChild<QLabel*>("IDC_ELAPSED");
  ASSERT_NE(elapsed, nullptr);
  EXPECT_EQ(elapsed->text().toStdString(), "Elapsed time: 00:00:04");
  EXPECT_EQ(play->text().toStdString(), "&Play");
  dialog.reset();

  EXPECT_EQ(boxes, std::vector<std::string>{});
  const size_t heardOnset = FirstAbove(heard, kOnsetThreshold);
  const size_t referenceOnset = FirstAbove(reference, kOnsetThreshold);
  ASSERT_LT(heardOnset, heard.size()) << "nothing was heard";
  const auto guess = static_cast<ptrdiff_t>(heardOnset) - static_cast<ptrdiff_t>(referenceOnset);
  const Alignment alignment = Align(heard, reference, guess - kSearch, guess + kSearch);
  EXPECT_GE(alignment.correlation, 0.95);
  EXPECT_GE(static_cast<double>(heard.size()),
            alignment.delay + static_cast<double>(reference.size()))
      << "the recording stopped before the sound could have ended";
  const std::vector<double> blocks = BlockCorrelations(heard, reference, alignment, kBufferSamples);
  for (size_t b = 0; b < blocks.size(); ++b)
    EXPECT_GE(blocks[b], 0.9) << "buffer " << b << " of " << blocks.size()
                              << " was not heard as decoded";

  // Measurements, not requirements of the test: the machine may be busy.
  const auto firstSound = recorder.ArrivalOf(heardOnset) -
                          std::chrono::duration_cast<MonitorRecorder::Clock::duration>(
                              std::chrono::duration<double>(double(referenceOnset) / kRate));
  const auto latency = std::chrono::duration<double, std::milli>(firstSound - pressed).count();
  const double cpuPercent = 100 * cpuPlaying / playingSeconds;
  std::cout << "Play to first sound: " << latency << " ms; CPU while playing: " << cpuPercent
            << " % of one core; correlation " << alignment.correlation << " at a delay of "
            << alignment.delay << " samples\n";
  RecordProperty("PlayToFirstSoundMs", std::to_string(latency));
  RecordProperty("CpuPercentWhilePlaying", std::to_string(cpuPercent));
}

}  // namespace
}  // namespace sound_testing
