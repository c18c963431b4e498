// The audio device against a real sound server: a private PulseAudio
// daemon whose null sink is recorded through its monitor. The buffers hold
// a ramp whose values are their own sample indices, so the recording shows
// exactly which samples were heard.
#include "app/pulse_audio_device.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <numeric>

#include "monitor_recorder.h"
#include "posted_messages.h"
#include "pulse_server.h"
#include "qt_events.h"
#include "ramp_signal.h"

namespace sound_testing {
namespace {

using namespace std::chrono_literals;
using playback::MM_WOM_DONE;
using playback::MM_WOM_OPEN;
using playback::WaveHeader;
using playback::WM_WAVE_FAILED;
namespace wave_result = playback::wave_result;

constexpr int kRate = 8000;
constexpr int kBufferSamples = 3200;  // 0.4 s, as the player writes them
// Indices read back from a recording are exact to within the resamplers'
// smearing at the edges of the sound.
constexpr int kTolerance = 3;
// Pausing corks the server's stream, which drops what its resampler holds:
// a few samples, well under a millisecond.
constexpr int kResamplerHold = 8;

class PulseAudioDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      server_ = &PulseServer::Shared();
    } catch (const std::exception& e) {
      FAIL() << "These tests play through a PulseAudio daemon of their own, which did not "
                "start: "
             << e.what();
    }
    device_ = std::make_unique<app::PulseAudioDevice>();
  }

  // The next test finds the server running, whatever this one did to it.
  void TearDown() override {
    if (server_ != nullptr) server_->Start();
  }

  // Consecutive stretches of the ramp, `sizes` samples each.
  void MakeBuffers(const std::vector<int>& sizes) {
    int next = 0;
    for (int size : sizes) {
      data_.push_back(RampBytes(next, size));
      headers_.push_back(
          WaveHeader{data_.back().data(), static_cast<uint32_t>(data_.back().size()), 0, 0});
      next += size;
    }
    total_ = next;
  }

  // What the player does: once open, two buffers, then the next one each
  // time a buffer comes back. The position is read at each return.
  void StreamAll() {
    messages_.handler = [this](uint32_t id) {
      if (id == MM_WOM_OPEN) {
        WriteNext();
        WriteNext();
      } else if (id == MM_WOM_DONE) {
        uint32_t position = 0;
        device_->GetPosition(position);
        positionsAtDone_.push_back(position);
        WriteNext();
      }
    };
  }

  void WriteNext() {
    if (written_ == headers_.size()) return;
    WaveHeader& header = headers_[written_++];
    ASSERT_EQ(device_->Prepare(header), wave_result::kOk);
    ASSERT_EQ(device_->Write(header), wave_result::kOk);
  }

  bool AllDone(std::chrono::milliseconds timeout) {
    return RunEventsUntil(
        [this] { return messages_.count(MM_WOM_DONE) == static_cast<int>(headers_.size()); },
        timeout);
  }

  void ResetAndClose() {
    EXPECT_EQ(device_->Reset(), wave_result::kOk);
    for (WaveHeader& header : headers_) EXPECT_EQ(device_->Unprepare(header), wave_result::kOk);
    EXPECT_EQ(device_->Close(), wave_result::kOk);
  }

  // The end of each buffer in bytes from the start of the stream.
  std::vector<uint32_t> BufferEnds() const {
    std::vector<uint32_t> ends;
    uint32_t end = 0;
    for (const WaveHeader& header : headers_) ends.push_back(end += header.bufferLength);
    return ends;
  }

  PulseServer* server_ = nullptr;
  std::unique_ptr<app::PulseAudioDevice> device_;
  PostedMessages messages_;
  std::deque<std::vector<uint8_t>> data_;
  std::deque<WaveHeader> headers_;
  size_t written_ = 0;
  int total_ = 0;
  std::vector<uint32_t> positionsAtDone_;
};

// The player ends its stream, resetting the device, as soon as the last
// buffer comes back: that buffer must have been heard to its last sample by
// then, short as it is.
TEST_F(PulseAudioDeviceTest, EveryBufferIsHeardWholeBeforeItComesBackInWriteOrder) {
  MakeBuffers({kBufferSamples, kBufferSamples, kBufferSamples, 1200});
  MonitorRecorder recorder(*server_, kRate);
  StreamAll();
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  ASSERT_TRUE(AllDone(10s)) << messages_.count(MM_WOM_DONE) << " buffers came back";
  ResetAndClose();
  RunEventsFor(300ms);  // anything cut off would have been heard by now
  const std::vector<int16_t> recording = recorder.Stop();

  EXPECT_EQ(messages_.delivered().front(), MM_WOM_OPEN);
  EXPECT_EQ(messages_.count(MM_WOM_OPEN), 1);
  EXPECT_EQ(messages_.count(MM_WOM_DONE), 4);  // the reset found nothing left to give back
  const std::vector<uint32_t> ends = BufferEnds();
  ASSERT_EQ(positionsAtDone_.size(), ends.size());
  for (size_t i = 0; i < ends.size(); ++i)
    EXPECT_GE(positionsAtDone_[i], ends[i]) << "buffer " << i << " came back before it was played";
  EXPECT_EQ(positionsAtDone_.back(), ends.back());

  const std::vector<HeardRun> runs = HeardRuns(recording);
  ASSERT_EQ(runs.size(), 1u) << "the sound broke off and started again";
  EXPECT_NEAR(runs[0].first, 0, kTolerance);
  EXPECT_NEAR(runs[0].last, total_ - 1, kTolerance);
}

// A recording that ends on a buffer boundary ends with a buffer of no bytes;
// it comes back after the one before it, and only once that one has played.
TEST_F(PulseAudioDeviceTest, AnEmptyBufferComesBackRightAfterTheOneBeforeIt) {
  MakeBuffers({kBufferSamples, 0});
  StreamAll();
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  ASSERT_TRUE(AllDone(5s));
  EXPECT_EQ(positionsAtDone_, (std::vector<uint32_t>{6400, 6400}));
  ResetAndClose();
}

// Pausing and continuing keeps every queued sample and the position: the
// sound stops and goes on from the very next sample.
TEST_F(PulseAudioDeviceTest, PauseAndRestartLoseNothingAndHoldThePosition) {
  MakeBuffers({kBufferSamples, kBufferSamples});
  MonitorRecorder recorder(*server_, kRate);
  StreamAll();
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  uint32_t position = 0;
  ASSERT_TRUE(RunEventsUntil(
      [&] { return device_->GetPosition(position) == wave_result::kOk && position >= 4000; }, 5s));
  ASSERT_EQ(device_->Pause(), wave_result::kOk);
  uint32_t pausedAt = 0, stillAt = 0;
  device_->GetPosition(pausedAt);
  const int doneBeforePause = messages_.count(MM_WOM_DONE);
  RunEventsFor(600ms);
  device_->GetPosition(stillAt);
  EXPECT_EQ(messages_.count(MM_WOM_DONE), doneBeforePause);
  ASSERT_EQ(device_->Restart(), wave_result::kOk);
  ASSERT_TRUE(AllDone(5s));
  ResetAndClose();
  RunEventsFor(200ms);
  const std::vector<HeardRun> runs = HeardRuns(recorder.Stop());

  EXPECT_NEAR(stillAt, pausedAt, 2 * kTolerance);
  ASSERT_EQ(runs.size(), 2u) << "the pause should show as one silent gap";
  SCOPED_TRACE(::testing::Message() << "heard " << runs[0].first << " to " << runs[0].last
                                    << ", then " << runs[1].first << " to " << runs[1].last);
  EXPECT_NEAR(runs[0].first, 0, kTolerance);
  EXPECT_NEAR(runs[1].first, runs[0].last + 1, kTolerance);
  EXPECT_NEAR(runs[1].last, total_ - 1, kTolerance + kResamplerHold);
}

// Reset gives every queued buffer back at once and starts the position
// over; the buffers can then be released and the device closed, or written
// again.
TEST_F(PulseAudioDeviceTest, ResetGivesBackEveryQueuedBufferAndStartsOver) {
  MakeBuffers({kBufferSamples, kBufferSamples});
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  ASSERT_TRUE(RunEventsUntil([&] { return messages_.count(MM_WOM_OPEN) == 1; }, 5s));
  WriteNext();
  WriteNext();
  EXPECT_EQ(device_->Unprepare(headers_[0]), wave_result::kStillPlaying);
  EXPECT_EQ(device_->Close(), wave_result::kStillPlaying);
  RunEventsFor(100ms);
  ASSERT_EQ(device_->Reset(), wave_result::kOk);
  uint32_t position = 1;
  EXPECT_EQ(device_->GetPosition(position), wave_result::kOk);
  EXPECT_EQ(position, 0u);
  ASSERT_TRUE(RunEventsUntil([&] { return messages_.count(MM_WOM_DONE) == 2; }, 1s));

  // Played again after the reset: counted from 0 again.
  ASSERT_EQ(device_->Write(headers_[1]), wave_result::kOk);
  ASSERT_TRUE(RunEventsUntil([&] { return messages_.count(MM_WOM_DONE) == 3; }, 5s));
  EXPECT_EQ(device_->GetPosition(position), wave_result::kOk);
  EXPECT_EQ(position, headers_[1].bufferLength);
  ResetAndClose();
  EXPECT_EQ(messages_.count(MM_WOM_DONE), 3);
}

double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// The left channel's half of the volume word is the sink's linear volume;
// the setting outlives the open device, so the player's start-up probe
// reads the volume the last stream left.
TEST_F(PulseAudioDeviceTest, TheVolumeScalesTheSoundLinearlyAndIsKeptWhileClosed) {
  MakeBuffers({kBufferSamples * 2});
  MonitorRecorder recorder(*server_, kRate);
  StreamAll();
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  ASSERT_EQ(device_->SetVolume(0x40008000), wave_result::kOk);
  ASSERT_TRUE(AllDone(5s));
  ResetAndClose();
  RunEventsFor(200ms);
  const std::vector<int16_t> recording = recorder.Stop();
  std::vector<int16_t> heard;
  for (int16_t s : recording)
    if (s != 0) heard.push_back(s);
  std::vector<int16_t> played(kBufferSamples * 2);
  std::iota(played.begin(), played.end(), static_cast<int16_t>(kRampBase));
  EXPECT_NEAR(Rms(heard) / Rms(played), 0x8000 / 65535.0, 0.02);

  uint32_t volume = 0;
  EXPECT_EQ(device_->SetVolume(0xFFFFFFFF), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->GetVolume(volume), wave_result::kInvalidHandle);
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  EXPECT_EQ(device_->GetVolume(volume), wave_result::kOk);
  EXPECT_EQ(volume, 0x40008000u);
  EXPECT_EQ(device_->Close(), wave_result::kOk);
}

TEST_F(PulseAudioDeviceTest, RefusesWhatTheWaveOutputRefuses) {
  uint32_t flags = 0, value = 0;
  EXPECT_EQ(device_->GetCapabilities(flags), wave_result::kOk);
  EXPECT_EQ(flags, playback::kVolumeSupported);

  MakeBuffers({kBufferSamples});
  EXPECT_EQ(device_->Prepare(headers_[0]), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->Write(headers_[0]), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->Pause(), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->Restart(), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->Reset(), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->GetPosition(value), wave_result::kInvalidHandle);
  EXPECT_EQ(device_->Close(), wave_result::kInvalidHandle);

  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  EXPECT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kAllocated);
  EXPECT_EQ(device_->Write(headers_[0]), wave_result::kUnprepared);
  EXPECT_EQ(device_->Close(), wave_result::kOk);
  playback::PcmFormat eightBit = playback::MonoPcm16(kRate);
  eightBit.bitsPerSample = 8;
  EXPECT_NE(device_->Open(eightBit, messages_), wave_result::kOk);
  EXPECT_EQ(device_->ErrorText(wave_result::kBadDevice), "There is no audio output device.");
  RunEventsFor(50ms);
  EXPECT_EQ(messages_.count(MM_WOM_OPEN), 1);  // the refused opens announce nothing
}

// The sound server going away: a crash, a hang, or none there yet. The
// stream fails once, the engine can still end it cleanly, and the next Open
// finds whatever server is there then.

TEST_F(PulseAudioDeviceTest, AKilledServerFailsTheStreamOnceAndARestartedOnePlaysAgain) {
  MakeBuffers({kBufferSamples, kBufferSamples, kBufferSamples, kBufferSamples});
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  for (int i = 0; i < 3; ++i) WriteNext();
  ASSERT_EQ(device_->Prepare(headers_[3]), wave_result::kOk);
  uint32_t position = 0;
  ASSERT_TRUE(RunEventsUntil([&] { return device_->GetPosition(position), position > 0; }, 5s));

  server_->Kill();
  ASSERT_TRUE(RunEventsUntil([&] { return messages_.count(WM_WAVE_FAILED) == 1; }, 3s));
  EXPECT_EQ(messages_.lastWparam(WM_WAVE_FAILED), wave_result::kDeviceLost);
  EXPECT_EQ(device_->ErrorText(wave_result::kDeviceLost), "The sound server went away.");
  EXPECT_EQ(device_->Write(headers_[3]), wave_result::kDeviceLost);
  EXPECT_EQ(device_->Restart(), wave_result::kDeviceLost);
  ASSERT_EQ(device_->GetPosition(position), wave_result::kOk);
  EXPECT_GT(position, 0u);
  EXPECT_EQ(device_->Pause(), wave_result::kOk);
  ResetAndClose();
  RunEventsFor(200ms);
  EXPECT_EQ(messages_.count(MM_WOM_DONE), 3);
  EXPECT_EQ(messages_.count(WM_WAVE_FAILED), 1);

  server_->Start();
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  ASSERT_EQ(device_->Prepare(headers_[3]), wave_result::kOk);
  ASSERT_EQ(device_->Write(headers_[3]), wave_result::kOk);
  EXPECT_TRUE(RunEventsUntil([&] { return messages_.count(MM_WOM_DONE) == 4; }, 5s));
  EXPECT_EQ(device_->Close(), wave_result::kOk);
}

// A server that stops answering, its socket still open: the stream fails
// once it has played nothing for two seconds, and nothing waits for the
// server for longer than that.
TEST_F(PulseAudioDeviceTest, AHungServerFailsTheStreamAndHoldsNoCallUp) {
  MakeBuffers({kBufferSamples, kBufferSamples});
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  WriteNext();
  WriteNext();
  uint32_t position = 0;
  ASSERT_TRUE(RunEventsUntil([&] { return device_->GetPosition(position), position > 0; }, 5s));

  server_->Freeze();
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunEventsUntil([&] { return messages_.count(WM_WAVE_FAILED) == 1; }, 3s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms) << "failed while still playing";
  EXPECT_EQ(device_->Write(headers_[0]), wave_result::kDeviceLost);

  app::PulseAudioDevice another;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(another.Open(playback::MonoPcm16(kRate), messages_), wave_result::kBadDevice);
  uint32_t flags = 0;
  EXPECT_EQ(another.GetCapabilities(flags), wave_result::kBadDevice);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4500ms);
  start = std::chrono::steady_clock::now();
  ResetAndClose();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

TEST_F(PulseAudioDeviceTest, WithoutAServerOpenFailsAndTheNextOpenFindsOneStartedSince) {
  server_->Kill();
  uint32_t flags = 1;
  EXPECT_EQ(device_->GetCapabilities(flags), wave_result::kBadDevice);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kBadDevice);

  server_->Start();
  EXPECT_EQ(device_->GetCapabilities(flags), wave_result::kOk);
  ASSERT_EQ(device_->Open(playback::MonoPcm16(kRate), messages_), wave_result::kOk);
  EXPECT_EQ(device_->Close(), wave_result::kOk);
}

}  // namespace
}  // namespace sound_testing
