#include "tools/speech_input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

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

}  // namespace

SpeechInput::SpeechInput(const std::string& path, bool raw) {
  if (raw) {
    info_.samplerate = voice::kSampleRate;
    info_.channels = 1;
    info_.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
  }
  // libsndfile words a missing or unreadable file as a "System error".
  if (path != "-" && ::access(path.c_str(), R_OK) != 0) {
    error = std::strerror(errno);
    return;
  }
  file_ = path == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &info_, SF_FALSE)
                      : sf_open(path.c_str(), SFM_READ, &info_);
  if (!file_) {
    error = sf_strerror(nullptr);
    return;
  }
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
      sf_close(file_);
      file_ = nullptr;
    }
  }
}

SpeechInput::~SpeechInput() {
  if (resampler_) soxr_delete(resampler_);
  if (file_) sf_close(file_);
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

bool SpeechInput::refill() {
  if (input_done_) return false;
  std::vector<float> block(static_cast<size_t>(kBlockFrames * info_.channels));
  const sf_count_t got = sf_readf_float(file_, block.data(), kBlockFrames);
  if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
    error = sf_strerror(file_);
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
