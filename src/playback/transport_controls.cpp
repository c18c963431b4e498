// What the Play/Pause and Stop buttons and the two sliders do to playback.
#include "playback/playback_engine.h"
#include "playback/playback_scales.h"
#include "playback/player_texts.h"
#include "playback/scroll_codes.h"
#include "voice/vdec.h"

namespace playback {

namespace {

using namespace scroll_code;

// Home and End (codes 6 and 7) move the position slider without seeking.
bool BeginsSeek(int code) {
  return code == kLineUp || code == kLineDown || code == kPageUp || code == kPageDown ||
         code == kThumbTrack;
}

bool CommitsSeek(int code) {
  return code == kThumbPosition || code == kEndScroll;
}

// Paging and Home/End take effect with the end-of-scroll code that follows.
bool SetsVolume(int code) {
  return code == kLineUp || code == kLineDown || code == kThumbPosition || code == kThumbTrack ||
         code == kEndScroll;
}

}  // namespace

void PlaybackEngine::OnPlay() {
  // A second stream would run a second decode thread on the one decoder.
  if (state_.opening) return;
  if (!state_.playing) {
    StartFromBeginning();
    return;
  }
  const uint32_t played = PlayedBytes();
  if (state_.paused) {
    state_.paused = false;
    device_.Restart();
    view_.SetText(Control::kElapsed, ElapsedText(ElapsedSeconds(played)));
    view_.SetText(Control::kPlay, kPauseCaption);
  } else {
    state_.paused = true;
    device_.Pause();
    const uint32_t seconds = ElapsedSeconds(played);
    view_.SetText(Control::kElapsed, PausedAtText(seconds));
    view_.SetSliderPosition(Control::kPosition, static_cast<int>(SliderUnitsForSeconds(
                                                    seconds, state_.durationSeconds)));
    view_.SetText(Control::kPlay, kPlayCaption);
  }
}

void PlaybackEngine::OnStop() {
  if (state_.playing) {
    if (state_.paused) device_.Restart();
    state_.paused = false;
    StopStream();
    view_.SetText(Control::kPlay, kPlayCaption);
  }
  view_.Enable(Control::kStop, false);
  view_.SetSliderPosition(Control::kPosition, 0);
  view_.SetText(Control::kElapsed, ElapsedText(0));
  view_.Enable(Control::kPosition, false);
  block_.status = status::kSuccess;
  // Stop also ends a seek the user has begun: its release starts nothing.
  state_.seekInProgress = false;
}

void PlaybackEngine::OnHScroll(int code, int /*position: read from the slider*/, Control control) {
  if (control != Control::kPosition) return;
  if (BeginsSeek(code) && state_.playing) BeginSeek();
  if (CommitsSeek(code) && state_.seekInProgress) CommitSeek();
}

void PlaybackEngine::OnVScroll(int code, int /*position: read from the slider*/, Control control) {
  if (control != Control::kVolume || !SetsVolume(code)) return;
  const int level = kVolumeSliderMax - view_.SliderPosition(Control::kVolume);
  if (level == state_.lastVolumeLevel) return;
  // Without an open device this fails and changes nothing; the next stream
  // sets the volume from the slider when its device opens.
  device_.SetVolume(DeviceVolumeForLevel(level));
  state_.lastVolumeLevel = level;
}

void PlaybackEngine::BeginSeek() {
  state_.seekInProgress = true;
  if (const StatusCode ended = block_.status; ended != status::kSuccess) {
    // The thread has met the end (or a failure): there is nothing left to
    // seek in, so the stream ends as if it had played out.
    state_.seekInProgress = false;
    ShowTransportIdle();
    view_.Enable(Control::kPosition, false);
    StopStream();
    view_.SetText(Control::kElapsed, ElapsedText(state_.durationSeconds));
    view_.SetSliderPosition(Control::kPosition, static_cast<int>(kSliderUnits));
    ReportReadingFailure(ended);
    return;
  }
  // The sound stops while the user moves the slider; paused, it stays paused.
  if (!state_.paused) StopStream();
}

void PlaybackEngine::CommitSeek() {
  // Paused, the device stayed open through the gesture; and a Play pressed
  // during the gesture has started a stream since. Either ends here, so
  // that the decoder stands still when it is read and one stream follows.
  StopStream();
  state_.seekInProgress = false;
  const auto units = static_cast<uint32_t>(view_.SliderPosition(Control::kPosition));
  const double target = BytesForSliderUnits(units, state_.durationSeconds, state_.sampleRate);
  // The stopped thread has returned, so the decoder stands where it really
  // is; the frames it decoded after the last buffer handed to the device
  // are not in decodedFrame.
  state_.decodedFrame = decoder_.position;
  // In 64 bits: the offsets of a long recording pass 2^31 bytes.
  const auto deltaBytes = static_cast<int64_t>(target - static_cast<double>(state_.decodedFrame) *
                                                            voice::kPcmFrameBytes);
  state_.seekBaseBytes = static_cast<int64_t>(target);
  const uint32_t seconds = SecondsForSliderUnits(units, state_.durationSeconds);
  const int frameDelta = static_cast<int>(deltaBytes / voice::kPcmFrameBytes);
  if (state_.paused) {
    // The paused stream has ended: the label shows the chosen point, and the
    // next Play starts from the beginning.
    view_.SetText(Control::kElapsed, PausedAtText(seconds));
    return;
  }
  StartSeekStream(frameDelta, seconds);
}

// The slider comes back when the new stream's device opens. The label shows
// the target before the stream starts: a failure's message box lets other
// handlers run, and nothing here may undo what they did.
void PlaybackEngine::StartSeekStream(int frameDelta, uint32_t seconds) {
  view_.Enable(Control::kPosition, false);
  view_.SetText(Control::kElapsed, ElapsedText(seconds));
  StartStreamAt(state_.voicePath, frameDelta);
}

}  // namespace playback
