#include "encoder/adpcm_encoder.h"

#include <compare>
#include <cstdlib>
#include <limits>

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
constexpr int64_t kInternalScale = 64;

// How far a code's result lies from the input: at the output, then inside.
struct Miss {
  int output;
  int64_t internal;
  auto operator<=>(const Miss&) const = default;
};

}  // namespace

AdpcmEncoder::AdpcmEncoder() {
  voice::adpcm_reset(state_);
}

// Greedy search: every code is tried on a copy of the decoder state, and the
// one whose decoded sample lands nearest the input is kept together with the
// state it leaves behind. Where the output clamps, many codes give the same
// sample; among those the one whose reconstruction inside the predictor lies
// nearest wins, or the predictor, left far beyond full scale, rings on there.
int AdpcmEncoder::EncodeSample(int16_t sample) {
  int best_code = kLastCode;
  Miss best{std::numeric_limits<int>::max(), std::numeric_limits<int64_t>::max()};
  voice::AdpcmState best_state;
  for (int code = kFirstCode; code <= kLastCode; ++code) {
    voice::AdpcmState trial = state_;
    const int decoded = voice::adpcm_decode(code, trial);
    const Miss miss{std::abs(decoded - sample),
                    std::abs(int64_t{trial.sr0} - kInternalScale * sample)};
    if (miss < best) {
      best = miss;
      best_code = code;
      best_state = trial;
    }
  }
  state_ = best_state;
  return best_code;
}

// The decoder reads the low nibble of each byte first.
void AdpcmEncoder::EncodeFrame(const int16_t* pcm, uint8_t* frame) {
  for (int i = 0; i < voice::kSamplesPerFrame / 2; ++i) {
    const int low = EncodeSample(pcm[2 * i]);
    const int high = EncodeSample(pcm[2 * i + 1]);
    frame[i] = static_cast<uint8_t>(low | high << 4);
  }
}

}  // namespace encoder
