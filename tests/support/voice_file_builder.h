// Composes voice files for tests, fuzz seeds and samples: header fields, the
// two leading frames, speech frames, zero frames, jump records and end
// markers, in any order and with any (also malformed) values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "voice/voice_format.h"

namespace testing_support {

using Bytes = std::vector<uint8_t>;

class VoiceFileBuilder {
 public:
  explicit VoiceFileBuilder(voice::VoiceMode mode);

  int frame_bytes() const { return frame_bytes_; }

  // Header fields. Without duration() the duration counts the frames stored
  // from the first frame offset to the end, end marker included.
  VoiceFileBuilder& magic(std::string_view text);
  VoiceFileBuilder& mode_byte(uint8_t value);
  VoiceFileBuilder& duration(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t hundredths);
  VoiceFileBuilder& playable_frames(int32_t n);  // duration of n + 2 frames
  VoiceFileBuilder& leading_frames(const Bytes& two_frames);

  // The frame run.
  VoiceFileBuilder& frame(const Bytes& bytes);  // one frame, as given
  VoiceFileBuilder& speech_frames(int count);   // non-zero, distinct frames
  VoiceFileBuilder& zero_frame();
  VoiceFileBuilder& jump_frame(int32_t distance);  // distance in bytes 0..3, rest non-zero
  // A zero frame and a jump frame that lands `distance` bytes after the
  // jump frame's start: a one-way forward jump record.
  VoiceFileBuilder& forward_jump(int32_t distance);
  // Bytes that both reading directions pass over: zero frame, forward jump,
  // the bytes, backward jump, zero frame.
  VoiceFileBuilder& skipped_region(const Bytes& bytes);
  // ADPCM: a frame whose one half is zero (the second half when
  // `zero_second_half`), the other half non-zero.
  VoiceFileBuilder& half_zero_frame(bool zero_second_half = true);
  VoiceFileBuilder& raw(const Bytes& bytes);
  VoiceFileBuilder& end_marker();

  // The next speech frame speech_frames() would write (for expectations).
  Bytes make_speech_frame(int index) const;

  Bytes bytes() const;
  void write(const std::string& path) const;

 private:
  int frame_bytes_;
  uint8_t mode_byte_;
  std::string magic_ = std::string(voice::kMagic);
  std::optional<Bytes> duration_;
  Bytes leading_;
  Bytes run_;
  int speech_written_ = 0;
};

// A file in the system's temporary directory, removed with the object.
class TempFile {
 public:
  explicit TempFile(const Bytes& contents, std::string_view suffix = ".voc");
  TempFile();  // a fresh name, nothing written
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }

 private:
  std::string path_;
};

Bytes read_file(const std::string& path);

}  // namespace testing_support
