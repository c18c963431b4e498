#include "encoder/adpcm_encoder.h"

#include <algorithm>

namespace encoder {
namespace {

// Codes 0 and 15 decode identically: both lie below the quantiser's floor
// whatever the scale factor, so both reconstruct a zero difference and adapt
// the scale and the predictor alike. Only 15 is ever written, which keeps
// every byte of a frame non-zero. The reader takes a frame with a zero half
// (in either reading direction) for an end marker, a jump or a half-frame
// realignment; with no zero byte no frame can be any of these, and avoiding
// them costs nothing.
constexpr int kFirstCode = 1;
constexpr int kLastCode = 15;

// The predictor's reconstructed signal is the output sample times 64 (times
// 256 for the fraction bits, a quarter for its 14-bit range), unclamped.
constexpr double kInternalScale = 64;

// Where the output clamps, many codes give the same sample; among those the
// one whose reconstruction inside the predictor lies nearest must win, or
// the predictor, left far beyond full scale, rings on there. A small share of
// the inner miss settles such ties and nothing else.
constexpr double kInnerWeight = 1e-3;

double CodeCost(const voice::AdpcmState& s, int code, int16_t sample) {
  const int32_t dq = voice::adpcm_reconstruct_dq(code, s.y);
  const double out = voice::adpcm_output(s.se, dq) - sample;
  const double inner =
      std::clamp<double>(static_cast<double>(s.se) + dq, -0x800000, 0x7FFFFF) / kInternalScale -
      sample;
  return out * out + kInnerWeight * inner * inner;
}

}  // namespace

AdpcmEncoder::AdpcmEncoder() {
  voice::adpcm_reset(state_);
}

// Every live path tried with every code; the cheapest extensions survive,
// each with its own decoder state. Only the survivors pay for the decoder's
// full update. Returns how many paths live on.
int AdpcmEncoder::Extend(int16_t sample, int n, int live) {
  const auto& from = paths_[static_cast<size_t>(current_)];
  auto& to = paths_[static_cast<size_t>(1 - current_)];
  // Ties go to the earlier path and the higher code, so that with one path
  // this is the plain nearest-code choice.
  const auto cheaper = [](const Candidate& a, const Candidate& b) {
    if (a.cost != b.cost) return a.cost < b.cost;
    return a.path != b.path ? a.path < b.path : a.code > b.code;
  };
  // The cheapest extensions so far, in order; most candidates cost more
  // than the last of them and are passed over with one comparison.
  std::array<Candidate, kPaths> best;
  int keep = 0;
  for (int p = 0; p < live; ++p) {
    const Path& path = from[static_cast<size_t>(p)];
    for (int code = kFirstCode; code <= kLastCode; ++code) {
      const Candidate c{path.cost + CodeCost(path.state, code, sample), p, code};
      if (keep == kPaths && !cheaper(c, best[kPaths - 1])) continue;
      int at = keep < kPaths ? keep++ : kPaths - 1;
      for (; at > 0 && cheaper(c, best[static_cast<size_t>(at - 1)]); --at)
        best[static_cast<size_t>(at)] = best[static_cast<size_t>(at - 1)];
      best[static_cast<size_t>(at)] = c;
    }
  }
  for (int i = 0; i < keep; ++i) {
    const Candidate& c = best[static_cast<size_t>(i)];
    const Path& parent = from[static_cast<size_t>(c.path)];
    Path& child = to[static_cast<size_t>(i)];
    child.state = parent.state;
    voice::adpcm_decode(c.code, child.state);
    child.cost = c.cost;
    std::copy_n(parent.codes.begin(), n, child.codes.begin());
    child.codes[static_cast<size_t>(n)] = static_cast<uint8_t>(c.code);
  }
  current_ = 1 - current_;
  return keep;
}

// The decision is taken once per frame: the cheapest path's codes are
// written, and the next frame starts from that path alone. The decoder reads
// the low nibble of each byte first.
void AdpcmEncoder::EncodeFrame(const int16_t* pcm, uint8_t* frame) {
  Path& start = paths_[static_cast<size_t>(current_)][0];
  start.state = state_;
  start.cost = 0;
  int live = 1;
  for (int n = 0; n < voice::kSamplesPerFrame; ++n) live = Extend(pcm[n], n, live);
  // Extend leaves the paths sorted by cost.
  const Path& best = paths_[static_cast<size_t>(current_)][0];
  for (int i = 0; i < voice::kSamplesPerFrame / 2; ++i)
    frame[i] = static_cast<uint8_t>(best.codes[static_cast<size_t>(2 * i)] |
                                    best.codes[static_cast<size_t>(2 * i + 1)] << 4);
  state_ = best.state;
}

}  // namespace encoder
