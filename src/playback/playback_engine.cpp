#include "playback/playback_engine.h"

#include <algorithm>

#include "playback/playback_scales.h"
#include "playback/player_texts.h"

namespace playback {

namespace {
// Device error texts are shown as fetched into a buffer of 200 characters.
constexpr size_t kMaxErrorText = 199;
}  // namespace

PlaybackEngine::PlaybackEngine(voice::DecoderState& decoder, AudioDevice& device, PlayerView& view,
                               const EmbeddedRecording& recording, std::string tempRoot)
    : decoder_(decoder),
      device_(device),
      view_(view),
      recording_(recording),
      tempRoot_(std::move(tempRoot)) {
  block_.decoder = &decoder_;
}

PlaybackEngine::~PlaybackEngine() {
  if (state_.deviceOpen || state_.opening) StopStream();
  // The buffers and the decoder outlive the thread only if it is joined here.
  EndDecodeThread();
}

void PlaybackEngine::InitControls() {
  view_.SetSliderRange(Control::kVolume, 0, kVolumeSliderMax);
  view_.SetTickFrequency(Control::kVolume, kVolumeSliderTicks);
  view_.SetSliderRange(Control::kPosition, 0, kPositionSliderMax);

  // The probe's open notification is ignored like any that no stream asked for.
  const WaveResult opened = device_.Open(MonoPcm16(state_.sampleRate), view_);
  if (opened != wave_result::kOk) {
    view_.ShowMessageBox(DeviceErrorText(opened), "Warning open device");
    return;
  }
  uint32_t support = 0;
  if (device_.GetCapabilities(support) == wave_result::kOk && (support & kVolumeSupported) != 0) {
    uint32_t volume = 0;
    device_.GetVolume(volume);
    view_.SetSliderPosition(Control::kVolume, VolumeSliderPositionFor(volume));
    view_.Enable(Control::kVolume, true);
  }
  device_.Close();
}

void PlaybackEngine::WakeDecodeThread() {
  block_.eventFillA.Set();
  block_.eventFillB.Set();
}

// The decoder and the buffers are the thread's while it runs: whoever moves
// or closes the decoder, or releases the buffers, ends the thread first.
void PlaybackEngine::EndDecodeThread() {
  block_.run = 0;
  WakeDecodeThread();
  if (decodeThread_.joinable()) decodeThread_.join();
}

std::string PlaybackEngine::DeviceErrorText(WaveResult code) {
  std::string text = device_.ErrorText(code);
  if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
  return text;
}

void PlaybackEngine::ShowTransportIdle() {
  view_.SetText(Control::kPlay, kPlayCaption);
  view_.Enable(Control::kStop, false);
}

uint32_t PlaybackEngine::PlayedBytes() {
  uint32_t bytes = 0;
  device_.GetPosition(bytes);
  return bytes;
}

uint32_t PlaybackEngine::ElapsedSeconds(uint32_t playedBytes) const {
  const auto seconds = (static_cast<uint64_t>(state_.seekBaseBytes) + playedBytes) /
                       static_cast<uint64_t>(state_.sampleRate * 2);
  return static_cast<uint32_t>(std::min<uint64_t>(seconds, UINT32_MAX));
}

int64_t PlaybackEngine::PositionMicroseconds() {
  const bool underWay = state_.playing || state_.paused || state_.opening || state_.seekInProgress;
  if (!underWay) return 0;
  const int64_t bytes = state_.seekBaseBytes + (state_.deviceOpen ? PlayedBytes() : 0);
  return bytes * 1'000'000 / (static_cast<int64_t>(state_.sampleRate) * 2);
}

}  // namespace playback
