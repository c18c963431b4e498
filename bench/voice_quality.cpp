// voice_quality REFERENCE DECODED [CLEAN]: how close decoded speech is to the
// 8 kHz speech it was encoded from. Prints one line:
//   lag L snr S segsnr G segments N
// with the codec delay L in samples and both SNRs in dB. With CLEAN (the
// speech before low-frequency interference was added to make REFERENCE) it
// adds the in-band measures against CLEAN, the strongest line between 20 and
// 100 Hz in REFERENCE and in DECODED (dBFS) and DECODED's peak sample:
//   ... band_segsnr B lsd D low_in I low_out O peak P
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/band_quality.h"
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
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: voice_quality REFERENCE DECODED [CLEAN]\n");
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
  std::printf("lag %d snr %.2f segsnr %.2f segments %d", q.lag, q.snr_db, q.seg_snr_db, q.segments);
  if (argc == 4) {
    int clean_rate = 0;
    const auto clean = read_mono(argv[3], clean_rate);
    if (!clean) return 1;
    const testing_support::BandQuality band =
        testing_support::measure_band_quality(*clean, *decoded);
    int peak = 0;
    for (int16_t s : *decoded) peak = std::max(peak, std::abs(static_cast<int>(s)));
    const double low_hz = testing_support::strongest_line_hz(*reference, 20, 100);
    std::printf(" band_segsnr %.2f lsd %.2f low_in %.1f low_out %.1f low_drop %.1f peak %d",
                band.seg_snr_db, band.log_spectral_db,
                testing_support::strongest_line_dbfs(*reference, 20, 100),
                testing_support::strongest_line_dbfs(*decoded, 20, 100),
                testing_support::line_dbfs(*reference, low_hz) -
                    testing_support::line_dbfs(*decoded, low_hz),
                peak);
  }
  std::printf("\n");
  return 0;
}
