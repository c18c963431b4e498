// A voice file on disk opened in place of the current recording.
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "playback/playback_engine.h"
#include "voice/vdec.h"

namespace playback {

namespace {

// Why the decoder cannot open `path`, in its own words, or nothing when it
// can. Checked on a decoder of its own, so that the recording in use, and a
// stream playing it, stay as they are. Only a regular file is opened at
// all: opening a named pipe would wait for a writer for ever.
std::string ReasonNotPlayable(const std::string& path) {
  auto probe = std::make_unique<voice::DecoderState>();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return vdec_status_text(*probe, status::kOpenFailed);
  int mode = 0;
  StatusCode queried = status::kSuccess;
  const int32_t frames = vdec_query(*probe, path.c_str(), &mode, &queried);
  if (frames > 0) return {};
  return vdec_status_text(*probe, queried == status::kSuccess ? status::kNoFrames : queried);
}

}  // namespace

bool PlaybackEngine::OpenVoiceFile(const std::string& path) {
  if (const std::string reason = ReasonNotPlayable(path); !reason.empty()) {
    view_.ShowMessageBox(reason, "Warning Decoding");
    return false;
  }
  // As the Stop button stops it; a stream whose device has not opened yet
  // is stopped too, which the button, disabled until then, never meets.
  OnStop();
  StopStream();
  ShowTransportIdle();
  ForgetRecording();
  state_.fileName = std::filesystem::path(path).filename().string();
  ++state_.recordingNumber;
  return LoadVoice(path);
}

// The decoder lets go of the old file and of any failure it latched, and
// the embedded recording's temporary copy, if any, is deleted.
void PlaybackEngine::ForgetRecording() {
  vdec_close(decoder_);
  vdec_reset_status(decoder_);
  tempFile_.reset();
  state_.extracted = false;
  state_.voicePath.clear();
}

}  // namespace playback
