#include "tools/pcm_sinks.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tools/wav_size.h"
#include "voice/voice_format.h"

namespace tools {

RawSink::~RawSink() {
  if (owned_ && out_) std::fclose(out_);
}

bool RawSink::write(std::span<const int16_t> samples) {
  // Little-endian whatever the host's byte order.
  bytes_.clear();
  for (int16_t s : samples) {
    const auto u = static_cast<uint16_t>(s);
    bytes_.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes_.push_back(static_cast<uint8_t>(u >> 8));
  }
  if (std::fwrite(bytes_.data(), 1, bytes_.size(), out_) == bytes_.size()) return true;
  error = std::strerror(errno);
  return false;
}

bool RawSink::finish() {
  const bool ok = std::fflush(out_) == 0 && !std::ferror(out_);
  if (!ok && error.empty()) error = std::strerror(errno);
  const bool closed = !owned_ || std::fclose(std::exchange(out_, nullptr)) == 0;
  if (!closed && error.empty()) error = std::strerror(errno);
  return ok && closed;
}

int sndfile_format_for(int type_format, int64_t header_frames) {
  const bool wav = (type_format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
  if (wav && wav_needs_rf64(header_frames))
    return SF_FORMAT_RF64 | (type_format & SF_FORMAT_SUBMASK);
  return type_format;
}

SndfileSink::~SndfileSink() {
  if (file_) sf_close(file_);
}

void SndfileSink::adopt(SNDFILE* file, int format) {
  file_ = file;
  plain_wav_ = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
}

void SndfileSink::abandon() {
  if (file_) sf_close(std::exchange(file_, nullptr));
}

bool SndfileSink::write(std::span<const int16_t> samples) {
  const auto n = static_cast<sf_count_t>(samples.size());
  // A file decoding to more frames than its header counts could still
  // outgrow WAV; its sizes would wrap, so that is an error.
  data_bytes_ += 2 * n;
  if (plain_wav_ && !wav_fits(data_bytes_)) {
    error = "more frames than the header counts, too many for a WAV file (4 GiB)";
    return false;
  }
  if (sf_write_short(file_, samples.data(), n) == n) return true;
  error = sf_strerror(file_);
  return false;
}

bool SndfileSink::finish() {
  // The header is rewritten with the final length on close, which can
  // fail by itself.
  sf_write_sync(file_);
  const int before = sf_error(file_);
  if (before != SF_ERR_NO_ERROR) error = sf_error_number(before);
  const int closed = sf_close(std::exchange(file_, nullptr));
  if (closed != 0 && error.empty()) error = sf_error_number(closed);
  return before == SF_ERR_NO_ERROR && closed == 0;
}

SeekableSndfileSink::SeekableSndfileSink(int fd, int format) {
  SF_INFO info{};
  info.samplerate = voice::kSampleRate;
  info.channels = 1;
  info.format = format;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file) {
    close(fd);
    error = sf_strerror(nullptr);
  }
  adopt(file, format);
}

}  // namespace tools
