// The measure the quality report and the speech guard tests share: it must
// find the codec's delay either way and score what it should score.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "support/speech_like.h"
#include "support/speech_quality.h"

namespace {

using testing_support::measure_speech_quality;
using testing_support::quality_at_lag;
using testing_support::SpeechQuality;

std::vector<int16_t> delayed(const std::vector<int16_t>& x, int lag) {
  std::vector<int16_t> out(x.size(), 0);
  for (size_t i = 0; i < x.size(); ++i) {
    const long from = static_cast<long>(i) - lag;
    if (from >= 0 && from < static_cast<long>(x.size())) out[i] = x[static_cast<size_t>(from)];
  }
  return out;
}

// Noise at a fixed power below the signal's.
std::vector<int16_t> with_noise(const std::vector<int16_t>& x, double snr_db) {
  double power = 0;
  for (int16_t s : x) power += double(s) * s;
  power /= static_cast<double>(x.size());
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0, std::sqrt(power / std::pow(10, snr_db / 10)));
  std::vector<int16_t> out;
  for (int16_t s : x) out.push_back(static_cast<int16_t>(std::lround(s + noise(rng))));
  return out;
}

TEST(SpeechQualityMeasure, FindsTheDelayEitherWayAndScoresTheNoise) {
  const std::vector<int16_t> speech = testing_support::speech_like_pcm(2.0);
  for (int lag : {0, 40, 117, -25}) {
    const SpeechQuality q = measure_speech_quality(speech, with_noise(delayed(speech, lag), 12));
    EXPECT_EQ(q.lag, lag);
    EXPECT_NEAR(q.snr_db, 12, 0.3) << lag;
  }
}

TEST(SpeechQualityMeasure, ExactCopyScoresTheSegmentCeiling) {
  const std::vector<int16_t> speech = testing_support::speech_like_pcm(1.0);
  const SpeechQuality q = measure_speech_quality(speech, speech);
  EXPECT_EQ(q.lag, 0);
  EXPECT_GT(q.snr_db, 90);
  EXPECT_DOUBLE_EQ(q.seg_snr_db, testing_support::kSegmentSnrCeilingDb);
}

// Loud and quiet halves coded with the same relative noise score alike per
// segment; silence in between neither counts nor drags the mean down, and
// a hopeless segment counts at the floor, not below.
TEST(SpeechQualityMeasure, SegmentsAreClampedAndSilenceSkipped) {
  constexpr int kSeg = testing_support::kSegmentSamples;
  std::vector<int16_t> reference, decoded;
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> tone(-8000, 8000);
  auto segment = [&](double level, double relative_error) {
    for (int i = 0; i < kSeg; ++i) {
      const double s = level * tone(rng);
      reference.push_back(static_cast<int16_t>(s));
      decoded.push_back(static_cast<int16_t>(s * (1 - relative_error)));
    }
  };
  segment(1.0, 0.1);   // 20 dB
  segment(0.05, 0.1);  // 20 dB, quiet but speech
  segment(0.0, 0.0);   // silence
  segment(1.0, 2.0);   // error twice the signal: -6 dB
  segment(0.1, 30.0);  // far below the floor
  const SpeechQuality q = quality_at_lag(reference, decoded, 0);
  EXPECT_EQ(q.segments, 4);
  EXPECT_NEAR(q.seg_snr_db, (20 + 20 - 6.02 - 10) / 4, 0.05);
}

}  // namespace
