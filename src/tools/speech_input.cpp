#include "tools/speech_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include "voice/voice_format.h"

namespace tools {
namespace {

constexpr int64_t kBlockFrames = 4096;

// Clamped before rounding: lrint of a value beyond long is undefined.
int16_t to_pcm16(float x) {
  if (std::isnan(x)) return 0;
  const double scaled = std::clamp(static_cast<double>(x) * 32768.0, -32768.0, 32767.0);
  return static_cast<int16_t>(std::lrint(scaled));
}

// Within full scale, or else clipped to it, NaN to silence.
bool within_full_scale(float& x) {
  if (x >= -1.0f && x <= 1.0f) return true;
  x = std::isnan(x) ? 0.0f : x > 0 ? 1.0f : -1.0f;
  return false;
}

// libsndfile keeps the reason a file failed to open in one place for the
// whole process: opening files on several threads at once, each asks in turn.
std::mutex g_opening;

}  // namespace

void SpeechInput::open_raw(const std::string& path) {
  raw_fd_ = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (raw_fd_ < 0) {
    error = std::strerror(errno);
    return;
  }
  info_.samplerate = voice::kSampleRate;
  info_.channels = 1;
  // The length, for the progress line, where it is known beforehand.
  struct stat st {};
  if (::fstat(raw_fd_, &st) == 0 && S_ISREG(st.st_mode)) info_.frames = st.st_size / 2;
}

void SpeechInput::open_audio_file(const std::string& path) {
  if (path == "-") {
    file_ = standard_input_.open(info_, error);
    return;
  }
  const std::lock_guard lock(g_opening);
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (!file_) error = sf_strerror(nullptr);
}

SpeechInput::SpeechInput(const std::string& path, bool raw) {
  if (raw)
    open_raw(path);
  else
    open_audio_file(path);
  if (!opened()) return;
  if (info_.samplerate != voice::kSampleRate) {
    // High quality: flat to 95% of the 4 kHz band with 20 bits of precision,
    // far beyond what the codecs keep, at a small part of the encoding time.
    soxr_error_t failure = nullptr;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    resampler_ =
        soxr_create(info_.samplerate, voice::kSampleRate, 1, &failure, nullptr, &quality, nullptr);
    if (failure) {
      error = soxr_strerror(failure);
      soxr_delete(resampler_);
      resampler_ = nullptr;
      if (file_) sf_close(file_);
      file_ = nullptr;
      if (raw_fd_ > STDIN_FILENO) ::close(raw_fd_);
      raw_fd_ = -1;
    }
  }
}

SpeechInput::~SpeechInput() {
  if (resampler_) soxr_delete(resampler_);
  if (file_) sf_close(file_);
  if (raw_fd_ > STDIN_FILENO) ::close(raw_fd_);
}

double SpeechInput::seconds() const {
  // A pipe's length is not known; libsndfile reports it as the largest count.
  if (info_.frames <= 0 || info_.frames == SF_COUNT_MAX || info_.samplerate <= 0) return 0;
  return static_cast<double>(info_.frames) / info_.samplerate;
}

// Channels are averaged, so a stereo recording keeps its level. A float
// file can hold values beyond full scale, infinities and NaN: each is clipped
// here, before the resampler would spread it over its neighbours.
void SpeechInput::push_mono(const float* interleaved, int64_t frames) {
  const int channels = info_.channels;
  for (int64_t i = 0; i < frames; ++i) {
    float sum = 0;
    for (int c = 0; c < channels; ++c) {
      float x = interleaved[i * channels + c];
      if (!within_full_scale(x)) ++out_of_range_;
      sum += x;
    }
    mono_.push_back(sum / static_cast<float>(channels));
  }
}

void SpeechInput::resample(bool end_of_input) {
  if (!resampler_) {
    ready_.insert(ready_.end(), mono_.begin(), mono_.end());
    mono_.clear();
    return;
  }
  std::vector<float> out(static_cast<size_t>(kBlockFrames));
  size_t used = 0;
  for (;;) {
    // No input at all tells the resampler the input has ended, so that it
    // gives out the filter's tail.
    const bool drain = end_of_input && used == mono_.size();
    size_t taken = 0;
    size_t made = 0;
    if (const soxr_error_t failure =
            soxr_process(resampler_, drain ? nullptr : mono_.data() + used, mono_.size() - used,
                         &taken, out.data(), out.size(), &made)) {
      error = soxr_strerror(failure);
      break;
    }
    used += taken;
    ready_.insert(ready_.end(), out.begin(), out.begin() + static_cast<long>(made));
    // Done once the input is used up and, at the end, the tail is out too.
    if (made == 0 && (used == mono_.size() || taken == 0) && (!end_of_input || drain)) break;
  }
  mono_.clear();
}

// Bare 16-bit little-endian samples, read here so that half a sample at
// the end is noticed; returns how many samples, or -1 on a read error.
int64_t SpeechInput::read_raw(float* samples, int64_t count) {
  const size_t wanted = static_cast<size_t>(count) * 2;
  while (raw_bytes_.size() < wanted) {
    uint8_t chunk[1 << 14];
    const ssize_t got = ::read(raw_fd_, chunk, std::min(sizeof chunk, wanted - raw_bytes_.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      return -1;
    }
    if (got == 0) break;
    raw_bytes_.insert(raw_bytes_.end(), chunk, chunk + got);
  }
  const size_t whole = raw_bytes_.size() / 2;
  for (size_t i = 0; i < whole; ++i) {
    const auto sample = static_cast<int16_t>(raw_bytes_[2 * i] | raw_bytes_[2 * i + 1] << 8);
    samples[i] = static_cast<float>(sample) / 32768.0f;
  }
  // A byte left over at the end of the input is half a sample.
  odd_byte_ = whole < static_cast<size_t>(count) && raw_bytes_.size() % 2 == 1;
  raw_bytes_.erase(raw_bytes_.begin(), raw_bytes_.begin() + static_cast<long>(2 * whole));
  return static_cast<int64_t>(whole);
}

bool SpeechInput::refill() {
  if (input_done_) return false;
  std::vector<float> block(static_cast<size_t>(kBlockFrames * info_.channels));
  const sf_count_t got = raw_fd_ >= 0 ? read_raw(block.data(), kBlockFrames)
                                      : sf_readf_float(file_, block.data(), kBlockFrames);
  if (got < 0 || (file_ && sf_error(file_) != SF_ERR_NO_ERROR)) {
    if (file_) error = sf_strerror(file_);
    input_done_ = true;
    return false;
  }
  push_mono(block.data(), got);
  input_done_ = got == 0;
  resample(input_done_);
  return error.empty();
}

bool SpeechInput::next_frame(int16_t* frame) {
  const auto n = static_cast<size_t>(voice::kSamplesPerFrame);
  while (ready_.size() - ready_from_ < n && refill()) {
  }
  if (!error.empty()) return false;
  const size_t available = std::min(n, ready_.size() - ready_from_);
  if (available == 0) return false;
  for (size_t i = 0; i < n; ++i) frame[i] = i < available ? to_pcm16(ready_[ready_from_ + i]) : 0;
  ready_from_ += available;
  delivered_ += static_cast<int64_t>(available);
  // Keep the buffer from growing with the input.
  if (ready_from_ > 4 * static_cast<size_t>(kBlockFrames)) {
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<long>(ready_from_));
    ready_from_ = 0;
  }
  return true;
}

}  // namespace tools
