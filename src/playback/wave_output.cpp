// The double-buffered wave output of a stream, and its end.
#include <algorithm>

#include "playback/playback_engine.h"
#include "playback/playback_scales.h"
#include "playback/player_texts.h"
#include "voice/vdec.h"

namespace playback {

void PlaybackEngine::OnWaveOpen() {
  // Only the device of a stream being started counts: the start-up probe's
  // notification, and one for a stream stopped while opening, are ignored.
  if (!state_.opening) return;
  state_.opening = false;
  headerA_ = WaveHeader{block_.bufferA, kPcmBufferBytes, 0, 0};
  headerB_ = WaveHeader{block_.bufferB, kPcmBufferBytes, 0, 0};
  state_.nextDoneIsB = false;
  state_.buffersInDevice = 0;
  state_.lastBufferWritten = false;

  if (const WaveResult r = device_.Prepare(headerA_); r != wave_result::kOk) {
    AbandonOpenedDevice(r, "Error prepare A");
    return;
  }
  if (const WaveResult r = device_.Prepare(headerB_); r != wave_result::kOk) {
    device_.Unprepare(headerA_);
    AbandonOpenedDevice(r, "Error prepare B");
    return;
  }

  state_.playing = true;
  state_.deviceOpen = true;
  block_.run = 1;
  view_.SetText(Control::kPlay, kPauseCaption);
  view_.Enable(Control::kStop, true);
  view_.Enable(Control::kPosition, true);
  // Both at once: the thread fills A and then B without waiting in between.
  block_.eventFillA.Set();
  block_.eventFillB.Set();
  const int level = kVolumeSliderMax - view_.SliderPosition(Control::kVolume);
  device_.SetVolume(DeviceVolumeForLevel(level));
}

// A stream that failed to start leaves the Play button ready to start one
// again, also after a seek, whose stream was playing until then.
void PlaybackEngine::AbandonOpenedDevice(WaveResult failure, const char* caption) {
  const std::string text = DeviceErrorText(failure);
  device_.Close();
  state_.deviceOpen = false;
  block_.run = 0;
  WakeDecodeThread();
  ShowTransportIdle();
  view_.ShowMessageBox(text, caption);
}

void PlaybackEngine::OnBufferAReady(uint32_t bytes, int32_t frame) {
  OnBufferReady(headerA_, bytes, frame, "Error A!");
}

void PlaybackEngine::OnBufferBReady(uint32_t bytes, int32_t frame) {
  OnBufferReady(headerB_, bytes, frame, "Error B!");
}

void PlaybackEngine::OnBufferReady(WaveHeader& header, uint32_t bytes, int32_t frame,
                                   const char* caption) {
  // A buffer finished after its stream was stopped is dropped unheard.
  if (!state_.playing) return;
  header.bufferLength = bytes;
  state_.decodedFrame = frame;
  if (const WaveResult r = device_.Write(header); r != wave_result::kOk) {
    const std::string text = DeviceErrorText(r);
    StopStream();
    view_.ShowMessageBox(text, caption);
    return;
  }
  ++state_.buffersInDevice;
  // Only a frame that failed, the end of the recording among them, leaves a
  // buffer short, and the thread ends after it.
  if (bytes < kPcmBufferBytes) state_.lastBufferWritten = true;
}

void PlaybackEngine::OnWaveDone() {
  const uint32_t played = PlayedBytes();
  if (state_.playing) --state_.buffersInDevice;
  if (!state_.playing || state_.paused) return;
  if (state_.lastBufferWritten && state_.buffersInDevice == 0) {
    EndOfStream(played);
    return;
  }
  ShowPlayedTime(std::min(ElapsedSeconds(played), state_.durationSeconds));
  // Once the thread has ended there is nothing to refill: the stream goes on
  // until its last buffer, written or still to come, has played.
  if (block_.status != status::kSuccess) return;
  // Never a wait for the thread here: a message box's event loop may run
  // this handler while the thread waits for a fill. The returned buffer may
  // be refilled at once even if the thread is still on the other one: it
  // takes the fills in turn, and a buffer's fill is asked for only after
  // its ready message, so no request is ever lost.
  RequestRefill();
}

// The device can no longer play (its sound server went away, or it stopped
// playing): the stream ends as a failed write ends it, in the device's own
// words, with the controls back to idle and the elapsed time where the
// sound stopped.
void PlaybackEngine::OnWaveFailed(WaveResult code) {
  if (!state_.deviceOpen && !state_.opening) return;  // that stream is over already
  const std::string text = DeviceErrorText(code);
  const char* caption = state_.nextDoneIsB ? "Error B!" : "Error A!";
  state_.paused = false;
  state_.seekInProgress = false;
  view_.Enable(Control::kPosition, false);
  ShowTransportIdle();
  StopStream();
  view_.ShowMessageBox(text, caption);
}

void PlaybackEngine::RequestRefill() {
  if (state_.nextDoneIsB) {
    block_.eventFillB.Set();
    state_.nextDoneIsB = false;
  } else {
    block_.eventFillA.Set();
    state_.nextDoneIsB = true;
  }
}

// The last buffer has been heard: the elapsed time reads the full duration,
// the slider stands at the end, and the controls are back to idle. A
// recording that could not be read to its end shows where it stopped, and
// says why once the stream is over.
void PlaybackEngine::EndOfStream(uint32_t playedBytes) {
  state_.playing = false;
  const StatusCode ended = block_.status;
  // Disabled first: a thumb still held is let go before it is moved.
  view_.Enable(Control::kPosition, false);
  ShowPlayedTime(IsReadingFailure(ended)
                     ? std::min(ElapsedSeconds(playedBytes), state_.durationSeconds)
                     : state_.durationSeconds);
  ShowTransportIdle();
  StopStream();
  ReportReadingFailure(ended);
}

void PlaybackEngine::ReportReadingFailure(StatusCode ended) {
  if (IsReadingFailure(ended))
    view_.ShowMessageBox(vdec_status_text(decoder_, ended), "Warning Decoding");
}

void PlaybackEngine::ShowPlayedTime(uint32_t seconds) {
  view_.SetText(Control::kElapsed, ElapsedText(seconds));
  const uint32_t units = SliderUnitsForSeconds(seconds, state_.durationSeconds);
  // Never backwards: the user may have moved it on.
  if (units > static_cast<uint32_t>(view_.SliderPosition(Control::kPosition)))
    view_.SetSliderPosition(Control::kPosition, static_cast<int>(units));
}

WaveResult PlaybackEngine::StopStream() {
  state_.playing = false;
  block_.run = 0;
  WaveResult closed = wave_result::kOk;
  if (state_.deviceOpen) {
    state_.deviceOpen = false;
    // The done notifications of the reset buffers arrive later and are
    // ignored, as the stream is no longer playing.
    device_.Pause();
    device_.Reset();
    device_.Unprepare(headerA_);
    device_.Unprepare(headerB_);
    closed = device_.Close();
  } else if (state_.opening) {
    closed = device_.Close();  // open but not announced yet: no headers to release
  }
  state_.opening = false;
  // Only now: a woken thread clears the buffer it wakes for, and the device
  // no longer holds any.
  EndDecodeThread();
  return closed;
}

}  // namespace playback
