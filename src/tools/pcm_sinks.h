// Where vocdec's decoded samples go: bare little-endian samples, or an audio
// file libsndfile writes (on a descriptor that seeks, or streamed one way to
// a pipe). A sink that fails keeps failing; `error` says why.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace tools {

class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual bool write(std::span<const int16_t> samples) = 0;
  // Flushes and closes; the output is complete only when this succeeds.
  virtual bool finish() = 0;
  std::string error;
  // Set by a finished sink whose output is complete but describes itself
  // wrongly (a header sent ahead with sizes the samples did not match).
  std::string stale_header;
};

class RawSink : public PcmSink {
 public:
  // Closes `out` at the end when `owned`.
  RawSink(std::FILE* out, bool owned) : out_(out), owned_(owned) {}
  ~RawSink() override;
  bool write(std::span<const int16_t> samples) override;
  bool finish() override;

 private:
  std::FILE* out_;
  bool owned_;
  std::vector<uint8_t> bytes_;
};

// The SF_FORMAT_* value for `type_format` (a major format and codec) given
// the frame count the voice file's header promises: WAV becomes RF64 when
// those frames would pass its 4 GiB.
int sndfile_format_for(int type_format, int64_t header_frames);

// Writes through an open SNDFILE; opening is the subclasses' job.
class SndfileSink : public PcmSink {
 public:
  ~SndfileSink() override;
  bool opened() const { return file_ != nullptr; }
  bool write(std::span<const int16_t> samples) override;
  bool finish() override;

 protected:
  SndfileSink() = default;
  // `file` null: the open failed and `error` should say why.
  void adopt(SNDFILE* file, int format);
  // Closes the file, if still open, without a word: for a subclass whose
  // members the closing writes through.
  void abandon();

 private:
  SNDFILE* file_ = nullptr;
  bool plain_wav_ = false;
  int64_t data_bytes_ = 0;
};

// A descriptor that seeks: libsndfile completes the header at the end.
class SeekableSndfileSink : public SndfileSink {
 public:
  // Takes over `fd` whether or not the open succeeds.
  SeekableSndfileSink(int fd, int format);
};

}  // namespace tools
