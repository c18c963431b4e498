// Writes a voice file as its frames arrive: the header region and the two
// leading frames first, each frame as it is encoded, and at the end the end
// marker and the duration, written back into the header. Nothing but the
// header is kept in memory, however long the recording.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "voice/voice_format.h"

namespace encoder {

// Whether the reader would take `frame` for the start of an end marker, a
// jump record or (ADPCM) a half-frame realignment, reading either way,
// instead of as speech.
bool reads_as_record(voice::VoiceMode mode, std::span<const uint8_t> frame);

// The two leading frames a new file gets: silence, coded by an encoder of the
// mode fresh from its reset. The decoder starts after them, but a backward
// seek that overshoots the first frame plays them, and they must read as
// ordinary frames, not records. Nothing when the mode has no encoder.
std::optional<std::vector<uint8_t>> silent_leading_frames(voice::VoiceMode mode);

class VoiceFileWriter {
 public:
  // `out` must be seekable and empty; it stays the caller's to close, after
  // finish() has succeeded.
  VoiceFileWriter(std::FILE* out, voice::VoiceMode mode);

  int frame_bytes() const { return frame_bytes_; }
  int64_t frames() const { return frames_; }
  // Why the last call failed.
  const std::string& error() const { return error_; }

  // The header region and the two leading frames (2F bytes), which the
  // decoder skips when it starts but a backward seek may reach.
  bool begin(std::span<const uint8_t> leading_frames);
  // One frame of F bytes. A frame the reader would take for a record, or one
  // more than the duration fields can count, is refused and nothing is
  // written.
  bool append(std::span<const uint8_t> frame);
  // The end marker and the final duration; the file is complete once this
  // succeeds. At least one frame is needed: the decoder refuses a file
  // without one.
  bool finish();

 private:
  bool write(std::span<const uint8_t> bytes);
  bool fail(std::string why);

  std::FILE* out_;
  voice::VoiceMode mode_;
  int frame_bytes_;
  int64_t frames_ = 0;
  std::string error_;
};

}  // namespace encoder
