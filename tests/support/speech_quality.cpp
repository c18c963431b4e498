#include "support/speech_quality.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace testing_support {

namespace {

// The samples of each that line up at `lag`, as two spans of one length.
template <typename Sample>
struct Overlap {
  std::span<const Sample> reference, decoded;
};

template <typename Sample>
Overlap<Sample> overlap_at(std::span<const Sample> reference, std::span<const Sample> decoded,
                           int lag) {
  const size_t ref_from = lag < 0 ? static_cast<size_t>(-lag) : 0;
  const size_t dec_from = lag > 0 ? static_cast<size_t>(lag) : 0;
  if (ref_from >= reference.size() || dec_from >= decoded.size()) return {};
  const size_t n = std::min(reference.size() - ref_from, decoded.size() - dec_from);
  return {reference.subspan(ref_from, n), decoded.subspan(dec_from, n)};
}

struct Energies {
  double reference = 0, error = 0;
};

Energies energies(std::span<const int16_t> reference, std::span<const int16_t> decoded) {
  Energies e;
  for (size_t i = 0; i < reference.size(); ++i) {
    const double r = reference[i], d = decoded[i];
    e.reference += r * r;
    e.error += (r - d) * (r - d);
  }
  return e;
}

// SNR in dB; an exact match counts as the ceiling rather than infinity.
double snr_of(const Energies& e, double ceiling_db) {
  if (e.error == 0) return ceiling_db;
  if (e.reference == 0) return -ceiling_db;
  return 10 * std::log10(e.reference / e.error);
}

template <typename Sample>
int best_lag_of(std::span<const Sample> reference, std::span<const Sample> decoded, int max_lag) {
  int best = 0;
  double best_score = -2;
  for (int lag = -max_lag; lag <= max_lag; ++lag) {
    const Overlap o = overlap_at(reference, decoded, lag);
    double rd = 0, rr = 0, dd = 0;
    for (size_t i = 0; i < o.reference.size(); ++i) {
      const double r = o.reference[i], d = o.decoded[i];
      rd += r * d;
      rr += r * r;
      dd += d * d;
    }
    if (rr == 0 || dd == 0) continue;
    const double score = rd / std::sqrt(rr * dd);
    if (score > best_score) {
      best_score = score;
      best = lag;
    }
  }
  return best;
}

}  // namespace

int best_lag(std::span<const int16_t> reference, std::span<const int16_t> decoded, int max_lag) {
  return best_lag_of(reference, decoded, max_lag);
}

int best_lag(std::span<const double> reference, std::span<const double> decoded, int max_lag) {
  return best_lag_of(reference, decoded, max_lag);
}

SpeechQuality quality_at_lag(std::span<const int16_t> reference, std::span<const int16_t> decoded,
                             int lag) {
  SpeechQuality q;
  q.lag = lag;
  const Overlap o = overlap_at(reference, decoded, lag);
  q.snr_db = snr_of(energies(o.reference, o.decoded), 100);

  std::vector<Energies> segments;
  for (size_t at = 0; at + kSegmentSamples <= o.reference.size(); at += kSegmentSamples)
    segments.push_back(
        energies(o.reference.subspan(at, kSegmentSamples), o.decoded.subspan(at, kSegmentSamples)));
  double loudest = 0;
  for (const Energies& e : segments) loudest = std::max(loudest, e.reference);
  const double silent = loudest * std::pow(10.0, -kSilenceBelowLoudestDb / 10);
  double sum = 0;
  for (const Energies& e : segments) {
    if (e.reference <= silent) continue;
    sum += std::clamp(snr_of(e, kSegmentSnrCeilingDb), kSegmentSnrFloorDb, kSegmentSnrCeilingDb);
    ++q.segments;
  }
  q.seg_snr_db = q.segments ? sum / q.segments : 0;
  return q;
}

SpeechQuality measure_speech_quality(std::span<const int16_t> reference,
                                     std::span<const int16_t> decoded, int max_lag) {
  return quality_at_lag(reference, decoded, best_lag(reference, decoded, max_lag));
}

}  // namespace testing_support
