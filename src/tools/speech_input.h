// The input of the encoder: any audio file libsndfile reads, or bare 16-bit
// little-endian mono samples at 8000 Hz, delivered as 80-sample frames of
// mono at 8000 Hz whatever the file's channels and rate.
#pragma once

#include <sndfile.h>
#include <soxr.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/standard_input_audio.h"

namespace tools {

class SpeechInput {
 public:
  // `path` "-" reads standard input. `raw`: the input has no header and
  // holds 16-bit little-endian mono samples at 8000 Hz.
  SpeechInput(const std::string& path, bool raw);
  ~SpeechInput();
  SpeechInput(const SpeechInput&) = delete;
  SpeechInput& operator=(const SpeechInput&) = delete;

  bool opened() const { return file_ != nullptr || raw_fd_ >= 0; }
  // The input's length in seconds, or 0 when it is not known beforehand.
  double seconds() const;

  // The next 80 samples; the last frame is padded with zeros. False at the
  // end of the input, and also on a read error (then `error` says why).
  bool next_frame(int16_t* frame);
  // Samples of the input delivered so far, the padding of the last frame
  // not counted.
  int64_t samples_delivered() const { return delivered_; }
  // Samples read so far (each channel's counted) that lay beyond full scale,
  // were infinite or NaN, and were clipped to full scale or, NaN, to 0.
  int64_t out_of_range() const { return out_of_range_; }
  // Whether bare samples ended in half a sample, which is left out.
  bool odd_trailing_byte() const { return odd_byte_; }
  std::string error;

 private:
  void open_raw(const std::string& path);
  void open_audio_file(const std::string& path);
  int64_t read_raw(float* samples, int64_t count);
  bool refill();
  void push_mono(const float* interleaved, int64_t frames);
  void resample(bool end_of_input);

  StandardInputAudio standard_input_;  // what file_ reads when it reads standard input
  SNDFILE* file_ = nullptr;
  int raw_fd_ = -1;  // bare samples are read here rather than by libsndfile
  std::vector<uint8_t> raw_bytes_;
  bool odd_byte_ = false;
  SF_INFO info_{};
  soxr_t resampler_ = nullptr;  // none when the input is at 8000 Hz already
  bool input_done_ = false;
  std::vector<float> mono_;   // read but not yet resampled
  std::vector<float> ready_;  // at 8000 Hz, not yet delivered
  size_t ready_from_ = 0;
  int64_t delivered_ = 0;
  int64_t out_of_range_ = 0;
};

}  // namespace tools
