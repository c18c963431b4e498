// voice_quality REFERENCE DECODED: how close decoded speech is to the 8 kHz
// speech it was encoded from. Prints one line:
//   lag L snr S segsnr G segments N
// with the codec delay L in samples and both SNRs in dB.
#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "support/speech_quality.h"

namespace {

// A mono file's samples; nothing (and a message) for anything else.
std::optional<std::vector<int16_t>> read_mono(const char* path, int& rate) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path, SFM_READ, &info);
  if (!f) {
    std::fprintf(stderr, "voice_quality: %s: %s\n", path, sf_strerror(nullptr));
    return std::nullopt;
  }
  std::vector<int16_t> samples;
  if (info.channels == 1) {
    samples.resize(static_cast<size_t>(info.frames));
    samples.resize(static_cast<size_t>(sf_read_short(f, samples.data(), info.frames)));
  }
  sf_close(f);
  if (info.channels != 1) {
    std::fprintf(stderr, "voice_quality: %s: %d channels, not mono\n", path, info.channels);
    return std::nullopt;
  }
  rate = info.samplerate;
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: voice_quality REFERENCE DECODED\n");
    return 2;
  }
  int reference_rate = 0, decoded_rate = 0;
  const auto reference = read_mono(argv[1], reference_rate);
  const auto decoded = read_mono(argv[2], decoded_rate);
  if (!reference || !decoded) return 1;
  if (reference_rate != decoded_rate) {
    std::fprintf(stderr, "voice_quality: sample rates differ: %d and %d Hz\n", reference_rate,
                 decoded_rate);
    return 1;
  }
  const testing_support::SpeechQuality q =
      testing_support::measure_speech_quality(*reference, *decoded);
  std::printf("lag %d snr %.2f segsnr %.2f segments %d\n", q.lag, q.snr_db, q.seg_snr_db,
              q.segments);
  return 0;
}
