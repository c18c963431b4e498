// The alignment the sound tests rely on, checked on signals whose delay is
// known: a fractional delay must be found as such, and a stretch that went
// missing must show in its block.
#include "signal_match.h"

#include <gtest/gtest.h>

#include <random>

namespace sound_testing {
namespace {

// Noise low-passed to below 3.4 kHz at 8 kHz, as speech through the server.
std::vector<int16_t> BandLimitedNoise(size_t n) {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 4000);
  std::vector<double> white(n + 64);
  for (double& w : white) w = noise(random);
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i) {
    double sum = 0;
    for (int k = -16; k <= 16; ++k) {
      const double x = 0.85 * k;
      const double tap = k == 0 ? 1 : std::sin(M_PI * x) / (M_PI * x);
      sum += 0.85 * tap * (0.54 + 0.46 * std::cos(M_PI * k / 17)) * white[i + 32 + k];
    }
    out[i] = static_cast<int16_t>(std::clamp(sum, -32768.0, 32767.0));
  }
  return out;
}

// The reference, delayed by `delay` samples and scaled, after some silence.
std::vector<int16_t> Recorded(const std::vector<int16_t>& reference, double delay, double gain) {
  const auto whole = static_cast<size_t>(delay);
  const std::vector<float> shifted = Delayed(reference, delay - static_cast<double>(whole));
  std::vector<int16_t> out(whole + reference.size() + 500, 0);
  for (size_t i = 0; i < shifted.size(); ++i)
    out[whole + i] = static_cast<int16_t>(std::lround(gain * shifted[i]));
  return out;
}

TEST(SignalMatch, FindsAFractionalDelayAndMatchesBetterThanWholeSamplesCan) {
  const std::vector<int16_t> reference = BandLimitedNoise(16000);
  const std::vector<int16_t> recording = Recorded(reference, 1234.4, 0.5);

  const Alignment alignment = Align(recording, reference, 1200, 1270);
  EXPECT_NEAR(alignment.delay, 1234.4, 0.02);
  EXPECT_GT(alignment.correlation, 0.999);
  const double wholeOnly =
      Correlation(Excerpt(recording, 1234, reference.size()), Delayed(reference, 0));
  EXPECT_LT(wholeOnly, 0.99);
}

TEST(SignalMatch, ALostStretchShowsInItsBlockOnly) {
  const std::vector<int16_t> reference = BandLimitedNoise(16000);
  std::vector<int16_t> recording = Recorded(reference, 300.75, 1.0);
  std::fill(recording.begin() + 300 + 12800, recording.begin() + 300 + 16000, 0);

  const Alignment alignment = Align(recording, reference, 280, 320);
  const std::vector<double> blocks = BlockCorrelations(recording, reference, alignment, 3200);
  ASSERT_EQ(blocks.size(), 5u);
  for (size_t b = 0; b < 4; ++b) EXPECT_GT(blocks[b], 0.999) << b;
  EXPECT_LT(blocks[4], 0.1);
  EXPECT_LT(alignment.correlation, 0.95);
}

}  // namespace
}  // namespace sound_testing
