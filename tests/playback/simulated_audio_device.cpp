#include "simulated_audio_device.h"

#include <algorithm>

#include "playback/message.h"

namespace playback_testing {

namespace wave_result = playback::wave_result;

WaveResult SimulatedAudioDevice::Open(const playback::PcmFormat& format,
                                      playback::MessageSink& window) {
  calls_.push_back("open");
  if (const WaveResult failure = failOpen_) {
    failOpen_ = 0;
    return failure;
  }
  if (open_) return wave_result::kAllocated;
  if (format.avgBytesPerSecond != kBytesPerSecond || format.channels != 1)
    return wave_result::kError;
  open_ = true;
  paused_ = false;
  lost_ = false;
  window_ = &window;
  position_ = 0;
  prepares_ = writes_ = 0;
  ++opens_;
  Notify(playback::MM_WOM_OPEN);
  return wave_result::kOk;
}

void SimulatedAudioDevice::FailPrepare(int nth, WaveResult code) {
  failPrepareAt_ = nth;
  failPrepare_ = code;
}

void SimulatedAudioDevice::FailWrite(int nth, WaveResult code) {
  failWriteAt_ = nth;
  failWrite_ = code;
}

WaveResult SimulatedAudioDevice::Prepare(WaveHeader& header) {
  calls_.push_back("prepare");
  if (!open_) return wave_result::kInvalidHandle;
  if (++prepares_ == failPrepareAt_) {
    failPrepareAt_ = 0;
    return failPrepare_;
  }
  prepared_.insert(&header);
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Unprepare(WaveHeader& header) {
  calls_.push_back("unprepare");
  if (!open_) return wave_result::kInvalidHandle;
  for (const QueuedBuffer& q : queue_)
    if (q.header == &header) return wave_result::kStillPlaying;
  prepared_.erase(&header);
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Write(WaveHeader& header) {
  calls_.push_back("write");
  if (!open_) return wave_result::kInvalidHandle;
  if (lost_) return wave_result::kDeviceLost;
  if (++writes_ == failWriteAt_) {
    failWriteAt_ = 0;
    return failWrite_;
  }
  if (prepared_.count(&header) == 0) return wave_result::kUnprepared;
  queue_.push_back({&header, std::vector<uint8_t>(header.data, header.data + header.bufferLength)});
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Pause() {
  calls_.push_back("pause");
  if (!open_) return wave_result::kInvalidHandle;
  paused_ = true;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Restart() {
  calls_.push_back("restart");
  if (!open_) return wave_result::kInvalidHandle;
  if (lost_) return wave_result::kDeviceLost;
  paused_ = false;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Reset() {
  calls_.push_back("reset");
  if (!open_) return wave_result::kInvalidHandle;
  for (size_t i = 0; i < queue_.size(); ++i) Notify(playback::MM_WOM_DONE);
  queue_.clear();
  position_ = 0;
  paused_ = false;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::Close() {
  calls_.push_back("close");
  if (!open_) return wave_result::kInvalidHandle;
  if (!queue_.empty()) return wave_result::kStillPlaying;
  open_ = false;
  prepared_.clear();
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::GetPosition(uint32_t& bytes) {
  if (!open_) return wave_result::kInvalidHandle;
  bytes = position_;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::SetVolume(uint32_t volume) {
  volumeRequests_.push_back(volume);
  if (!open_) return wave_result::kInvalidHandle;
  volume_ = volume;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::GetVolume(uint32_t& volume) {
  if (!open_) return wave_result::kInvalidHandle;
  volume = volume_;
  return wave_result::kOk;
}

WaveResult SimulatedAudioDevice::GetCapabilities(uint32_t& supportFlags) {
  supportFlags = capabilities_;
  return wave_result::kOk;
}

std::string SimulatedAudioDevice::ErrorText(WaveResult code) {
  return playback::DescribeWaveResult(code);
}

void SimulatedAudioDevice::ClearRecords() {
  calls_.clear();
  volumeRequests_.clear();
  opens_ = 0;
}

void SimulatedAudioDevice::Lose() {
  if (!open_ || lost_) return;
  lost_ = true;
  window_->Post({playback::WM_WAVE_FAILED, wave_result::kDeviceLost, 0});
}

void SimulatedAudioDevice::Advance(uint32_t bytes) {
  if (open_ && !paused_ && !lost_) PlayFromHead(bytes);
}

bool SimulatedAudioDevice::PlayNextBuffer() {
  if (!open_ || paused_ || lost_ || queue_.empty()) return false;
  const QueuedBuffer& head = queue_.front();
  PlayFromHead(static_cast<uint32_t>(head.written.size()) - head.played);
  return true;
}

void SimulatedAudioDevice::PlayFromHead(uint32_t bytes) {
  while (!queue_.empty()) {
    QueuedBuffer& head = queue_.front();
    const auto length = static_cast<uint32_t>(head.written.size());
    const uint32_t take = std::min(bytes, length - head.played);
    for (uint32_t i = head.played; i < head.played + take; ++i) {
      played_.push_back(head.header->data[i]);
      if (head.header->data[i] != head.written[i]) ++changedWhileQueued_;
    }
    head.played += take;
    position_ += take;
    bytes -= take;
    if (head.played < length) return;
    queue_.pop_front();
    Notify(playback::MM_WOM_DONE);
  }
}

void SimulatedAudioDevice::Notify(uint32_t message) {
  window_->Post({message, 0, 0});
}

}  // namespace playback_testing
