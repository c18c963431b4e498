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
  if (!state_.voicePath.empty()) {
    ClearReadingFailure(state_.voicePath);
    StartStreamAt(state_.voicePath, 0);
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
  if (!LoadVoice(path)) return -1;
  StartStreamAt(path, 0);
  return 0;
}

// Reads the frame count and shows the duration and the file name; a file
// the decoder cannot open shows the decoder's message instead.
bool PlaybackEngine::LoadVoice(const std::string& path) {
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
    return false;
  }
  view_.SetText(Control::kDuration, DurationText(state_.durationSeconds));
  view_.SetText(Control::kElapsed, ElapsedText(0));
  view_.SetText(Control::kFileName, FileNameText(RecordingName()));
  return true;
}

std::string PlaybackEngine::RecordingName() const {
  if (!state_.fileName.empty()) return state_.fileName;
  return recording_.ApplicationName() + ".VOC";
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
  // One stream at a time: a stream still under way (a Play pressed while
  // the position slider was held, say) ends before the new one starts.
  StopStream();
  const StatusCode positioned = PositionDecoder(path, frameDelta);
  if (positioned != status::kSuccess)
    return FailStreamStart(vdec_status_text(decoder_, positioned), "Warning Open Device");

  block_.eventFillA.Reset();
  block_.eventFillB.Reset();
  block_.run = 1;
  block_.notifyWindow = &view_;
  try {
    decodeThread_ = StartDecodeThread(block_);
  } catch (const std::system_error& e) {
    block_.run = 0;
    return FailStreamStart(e.what(), "Warning Open Device");
  }

  const WaveResult opened = device_.Open(MonoPcm16(state_.sampleRate), view_);
  if (opened != wave_result::kOk)
    return FailStreamStart(DeviceErrorText(opened), "Warning open device");
  // Playing begins when the device's open notification reaches OnWaveOpen.
  state_.opening = true;
  return 0;
}

// The stream is over, and the Play button ready to start one again, before
// the message box lets other handlers run: nothing may follow the box.
int PlaybackEngine::FailStreamStart(const std::string& text, const char* caption) {
  StopStream();
  ShowTransportIdle();
  view_.ShowMessageBox(text, caption);
  return -1;
}

// A reading failure stays latched in the decoder until it is reset; a new
// Play starts from the first frame of a freshly opened file, so that what
// could be read before the failure plays again. The end of the recording
// needs no reset: going back to the first frame clears it.
void PlaybackEngine::ClearReadingFailure(const std::string& path) {
  EndDecodeThread();
  if (!IsReadingFailure(decoder_.status)) return;
  vdec_reset_status(decoder_);
  int mode = 0;
  vdec_open(decoder_, path.c_str(), &mode);
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
