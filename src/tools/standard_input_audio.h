// Audio on standard input, opened with libsndfile. A file redirected to
// standard input is read as that file. From a pipe, WAV and AU, which
// libsndfile reads as they come, stream without limit; any other format
// (libsndfile reads them with seeks: CAF and RF64 come out short from a
// pipe, FLAC not at all) is read whole into memory first, up to
// kStandardInputLimit.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

class StandardInputAudio {
 public:
  StandardInputAudio() = default;
  StandardInputAudio(const StandardInputAudio&) = delete;
  StandardInputAudio& operator=(const StandardInputAudio&) = delete;

  // The open file, to close with sf_close before this object goes; null
  // when standard input cannot be read as audio (then `error` says why).
  SNDFILE* open(SF_INFO& info, std::string& error);

 private:
  SNDFILE* open_in_memory(SF_INFO& info, std::string& error);

  static sf_count_t length(void* self);
  static sf_count_t seek(sf_count_t offset, int whence, void* self);
  static sf_count_t read(void* to, sf_count_t count, void* self);
  static sf_count_t tell(void* self);

  std::vector<uint8_t> bytes_;  // what has been read; all of it, in memory
  sf_count_t position_ = 0;
};

}  // namespace tools
