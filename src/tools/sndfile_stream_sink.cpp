#include "tools/sndfile_stream_sink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "voice/voice_format.h"

namespace tools {

namespace {

// How much of the start of a stream is kept to compare the rewrite at the
// end with: far more than any header libsndfile writes.
constexpr size_t kHeaderWindow = size_t{1} << 16;

bool streams_by_itself(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG;
}

SF_INFO speech_info(int format) {
  SF_INFO info{};
  info.samplerate = voice::kSampleRate;
  info.channels = 1;
  info.format = format;
  return info;
}

// The state of virtual I/O: a position libsndfile moves, and the end.
struct Position {
  sf_count_t at = 0;
  sf_count_t end = 0;
  sf_count_t advance(sf_count_t n) {
    at += n;
    end = std::max(end, at);
    return n;
  }
};

template <typename Io>
sf_count_t length_of(void* user) {
  return static_cast<Io*>(user)->position.end;
}

template <typename Io>
sf_count_t seek_in(sf_count_t offset, int whence, void* user) {
  Position& p = static_cast<Io*>(user)->position;
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? p.at : p.end;
  if (base + offset < 0) return -1;
  return p.at = base + offset;
}

template <typename Io>
sf_count_t tell_in(void* user) {
  return static_cast<Io*>(user)->position.at;
}

sf_count_t read_nothing(void*, sf_count_t, void*) {
  return 0;
}

template <typename Io>
SF_VIRTUAL_IO virtual_io() {
  return {length_of<Io>, seek_in<Io>, read_nothing, Io::write, tell_in<Io>};
}

// Keeps the first bytes written at their places and only counts the rest.
struct HeaderRecorder {
  Position position;
  std::vector<uint8_t> head;
  static sf_count_t write(const void* data, sf_count_t n, void* user) {
    auto& self = *static_cast<HeaderRecorder*>(user);
    const auto from = static_cast<size_t>(self.position.at);
    if (from < kHeaderWindow) {
      const size_t kept = std::min(static_cast<size_t>(n), kHeaderWindow - from);
      if (self.head.size() < from + kept) self.head.resize(from + kept);
      std::memcpy(self.head.data() + from, data, kept);
    }
    return self.position.advance(n);
  }
};

// The first bytes of the file libsndfile finishes after `frames` frames of
// silence; empty when the trial fails.
std::vector<uint8_t> finished_header(int format, int64_t frames) {
  HeaderRecorder recorder;
  SF_VIRTUAL_IO io = virtual_io<HeaderRecorder>();
  SF_INFO info = speech_info(format);
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &recorder);
  if (!file) return {};
  static const int16_t kSilence[8192] = {};
  bool ok = true;
  for (int64_t left = frames * voice::kSamplesPerFrame; ok && left > 0;) {
    const auto n = static_cast<sf_count_t>(std::min<int64_t>(left, std::size(kSilence)));
    ok = sf_write_short(file, kSilence, n) == n;
    left -= n;
  }
  if (sf_close(file) != 0 || !ok) return {};
  return recorder.head;
}

bool write_all(int fd, const uint8_t* data, size_t n, std::string& error) {
  while (n > 0) {
    const ssize_t put = ::write(fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      error = std::strerror(errno);
      return false;
    }
    data += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

// Holds what is written until release(), then sends it on in order. A write
// behind what was sent (libsndfile rewrites its header on the first samples
// and on closing) goes to a copy of the start instead, which in the end
// shows whether the file libsndfile finished starts as the stream did.
struct OneWayOutput {
  int fd = -1;
  Position position;
  bool released = false;
  std::vector<uint8_t> held;      // until release
  std::vector<uint8_t> sent;      // the first kHeaderWindow bytes sent
  std::vector<uint8_t> finished;  // the same as libsndfile has rewritten them
  sf_count_t sent_bytes = 0;
  std::string error;

  bool rewrite_differs() const { return finished != sent; }

  bool send(const uint8_t* data, size_t n) {
    if (!write_all(fd, data, n, error)) return false;
    if (sent.size() < kHeaderWindow) {
      const size_t kept = std::min(n, kHeaderWindow - sent.size());
      sent.insert(sent.end(), data, data + kept);
      finished.insert(finished.end(), data, data + kept);
    }
    sent_bytes += static_cast<sf_count_t>(n);
    return true;
  }

  // `header`, where it has bytes, replaces what was written while opening.
  bool release(const std::vector<uint8_t>& header) {
    std::copy_n(header.begin(), std::min(header.size(), held.size()), held.begin());
    released = true;
    return send(held.data(), held.size());
  }

  static sf_count_t write(const void* data, sf_count_t n, void* user) {
    auto& self = *static_cast<OneWayOutput*>(user);
    const auto* bytes = static_cast<const uint8_t*>(data);
    const sf_count_t at = self.position.at;
    if (!self.released) {
      if (self.held.size() < static_cast<size_t>(at + n)) self.held.resize(at + n);
      std::memcpy(self.held.data() + at, bytes, static_cast<size_t>(n));
      return self.position.advance(n);
    }
    if (at == self.sent_bytes) {
      if (!self.send(bytes, static_cast<size_t>(n))) return 0;
      return self.position.advance(n);
    }
    if (at + n <= static_cast<sf_count_t>(self.finished.size())) {
      std::memcpy(self.finished.data() + at, bytes, static_cast<size_t>(n));
      return self.position.advance(n);
    }
    self.error = "cannot write behind what was already sent (standard output does not seek)";
    return 0;
  }
};

class StreamSink : public SndfileSink {
 public:
  StreamSink(int fd, int format, int64_t header_frames) {
    out_.fd = fd;
    const bool sized_header = !streams_by_itself(format) && header_frames >= 0;
    const std::vector<uint8_t> header =
        sized_header ? finished_header(format, header_frames) : std::vector<uint8_t>{};
    io_ = virtual_io<OneWayOutput>();
    SF_INFO info = speech_info(format);
    SNDFILE* file = sf_open_virtual(&io_, SFM_WRITE, &info, &out_);
    if (!file) {
      error = sf_strerror(nullptr);
    } else if (!out_.release(header)) {
      error = out_.error;
      sf_close(std::exchange(file, nullptr));
    }
    checks_rewrite_ = !streams_by_itself(format);
    adopt(file, format);
  }
  ~StreamSink() override {
    abandon();
    ::close(out_.fd);
  }

  bool write(std::span<const int16_t> samples) override {
    if (SndfileSink::write(samples)) return true;
    if (!out_.error.empty()) error = out_.error;
    return false;
  }

  bool finish() override {
    bool ok = SndfileSink::finish();
    if (!out_.error.empty()) {
      error = out_.error;
      ok = false;
    }
    if (ok && checks_rewrite_ && out_.rewrite_differs())
      stale_header = "the header sent ahead of the samples does not match them";
    return ok;
  }

 private:
  OneWayOutput out_;
  SF_VIRTUAL_IO io_{};
  bool checks_rewrite_ = false;
};

}  // namespace

std::unique_ptr<SndfileSink> make_stream_sink(int fd, int format, int64_t header_frames) {
  return std::make_unique<StreamSink>(fd, format, header_frames);
}

}  // namespace tools
