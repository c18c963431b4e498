// Extraction of the recording and the start of each playback stream.
#include <algorithm>
#include <system_error>

#include "playback/playback_engine.h"
#include "playback/playback_scales.h"
#include "playback/player_texts.h"
#include "voice/vdec.h"

namespace playback {

void PlaybackEngine::StartFromBeginning() {
  state_.seekBaseBytes = 0;
  state_.decodedFrame = 0;
  state_.paused = false;
  view_.SetSliderPosition(Control::kPosition, 0);
  if (state_.extracted) {
    state_.deviceOpen = false;
    StartStreamAt(tempFile_->path(), 0);
    return;
  }
  if (ExtractRecording()) {
    PrepareVoice(tempFile_->path());
    return;
  }
  // The next Play tries the extraction again.
  view_.ShowMessageBox("Voice file corrupted, can't play", "Warning");
}

bool PlaybackEngine::ExtractRecording() {
  const auto bytes = recording_.FindResource(kVoiceResourceType, kVoiceResourceId);
  if (bytes) tempFile_ = TempVoiceFile::Create(*bytes, tempRoot_);
  state_.extracted = tempFile_ != nullptr;
  return state_.extracted;
}

int PlaybackEngine::PrepareVoice(const std::string& path) {
  state_.voicePath = path;
  AllocateBuffers();
  block_.status = status::kSuccess;
  BusyCursor busy(view_);

  int mode = 0;
  StatusCode queried = status::kSuccess;
  state_.frameCount = vdec_query(decoder_, path.c_str(), &mode, &queried);
  block_.status = queried;
  state_.sampleRate = voice::kSampleRate;
  state_.seekBaseBytes = 0;
  state_.decodedFrame = 0;
  state_.durationSeconds = DurationSecondsFor(state_.frameCount, state_.sampleRate);
  if (state_.frameCount <= 0) {
    view_.ShowMessageBox(vdec_status_text(decoder_, queried), "Warning Decoding");
    return -1;
  }
  view_.SetText(Control::kDuration, DurationText(state_.durationSeconds));
  view_.SetText(Control::kElapsed, ElapsedText(0));
  view_.SetText(Control::kFileName, FileNameText(recording_.ApplicationName()));
  StartStreamAt(path, 0);
  return 0;
}

// Once per run: every later stream reuses them, so the decode thread never
// waits for memory.
void PlaybackEngine::AllocateBuffers() {
  if (bufferA_) return;
  bufferA_ = std::make_unique<uint8_t[]>(kPcmBufferBytes);
  bufferB_ = std::make_unique<uint8_t[]>(kPcmBufferBytes);
  block_.bufferA = bufferA_.get();
  block_.bufferB = bufferB_.get();
}

// Returns -1 when no stream could be started: the decoder could not be
// positioned, the thread not started or the device not opened.
int PlaybackEngine::StartStreamAt(const std::string& path, int frameDelta) {
  BusyCursor busy(view_);
  EndDecodeThread();
  const StatusCode positioned = PositionDecoder(path, frameDelta);
  if (positioned != status::kSuccess) {
    view_.ShowMessageBox(vdec_status_text(decoder_, positioned), "Warning Open Device");
    return -1;
  }

  block_.eventFillA.Reset();
  block_.eventFillB.Reset();
  block_.eventFilled.Reset();
  block_.run = 1;
  block_.notifyWindow = &view_;
  try {
    decodeThread_ = StartDecodeThread(block_);
  } catch (const std::system_error& e) {
    block_.run = 0;
    view_.ShowMessageBox(e.what(), "Warning Open Device");
    return -1;
  }

  const WaveResult opened = device_.Open(MonoPcm16(state_.sampleRate), view_);
  if (opened != wave_result::kOk) {
    view_.ShowMessageBox(DeviceErrorText(opened), "Warning open device");
    StopStream();
    return -1;
  }
  // Playing begins when the device's open notification reaches OnWaveOpen.
  state_.opening = true;
  return 0;
}

// A failed skip falls back on reading forwards from the first frame, which
// returns the status the skip latched unless the file has come back.
StatusCode PlaybackEngine::PositionDecoder(const std::string& path, int frameDelta) {
  if (frameDelta == 0) return vdec_restart_at(decoder_, path.c_str(), 0);
  if (frameDelta > 0) {
    const StatusCode skipped = vdec_skip_forward(decoder_, frameDelta);
    if (skipped == status::kSuccess) return skipped;
    return vdec_restart_at(decoder_, path.c_str(), state_.decodedFrame + frameDelta);
  }
  const StatusCode skipped = vdec_skip_backward(decoder_, -frameDelta);
  if (skipped == status::kSuccess) return skipped;
  return vdec_restart_at(decoder_, path.c_str(), std::max(0, state_.decodedFrame + frameDelta));
}

void PlaybackEngine::OnDestroy() {
  EndDecodeThread();
  vdec_close(decoder_);
  if (state_.extracted) {
    state_.extracted = false;
    tempFile_.reset();
  }
}

}  // namespace playback
