#include "encoder/frame_packer.h"

#include <algorithm>
#include <bit>

namespace encoder {
namespace {

class BitWriter {
 public:
  explicit BitWriter(uint8_t* frame) : frame_(frame) {}
  void put(int value, int width) {
    for (int b = 0; b < width; ++b, ++bit_)
      if ((value >> b) & 1) frame_[bit_ / 8] |= static_cast<uint8_t>(0x80 >> (bit_ % 8));
  }

 private:
  uint8_t* frame_;
  int bit_ = 0;
};

// Widened 56-bit position code 48 hi + 2 lo + 1 back to its six bits.
int narrow_positions(int positions) {
  const int lo = ((positions & 15) - 1) / 2;
  const int hi = (positions >> 4) / 3;
  return (hi << 3) | lo;
}

}  // namespace

int celp_frame_bytes(voice::VoiceMode mode) {
  return voice::frame_bytes_of(mode);
}

int pitch_parity(int pitch_index) {
  return (1 + std::popcount(static_cast<unsigned>(pitch_index >> 2) & 0x3Fu)) & 1;
}

void pack_celp_frame(voice::VoiceMode mode, const CelpFields& f, uint8_t* frame) {
  std::fill(frame, frame + celp_frame_bytes(mode), 0);
  BitWriter w(frame);
  w.put(f.L1, 8);
  w.put(f.L2, 10);
  for (int s = 0; s < 2; ++s) {
    const SubframeFields& sf = f.sub[s];
    switch (mode) {
      case voice::VoiceMode::Celp80:
        w.put(sf.pitch, s == 0 ? 8 : 5);
        if (s == 0) w.put(f.parity, 1);
        w.put(sf.positions, 13);
        w.put(sf.signs, 4);
        w.put(sf.gain, 7);
        break;
      case voice::VoiceMode::Celp64:
        w.put(sf.pitch, s == 0 ? 8 : 4);
        w.put(sf.positions, 9);
        w.put(sf.signs, 2);
        w.put(sf.gain, 6);
        break;
      default:  // Celp56
        w.put(sf.pitch, s == 0 ? 8 : 4);
        w.put(narrow_positions(sf.positions), 6);
        w.put(sf.signs, 2);
        w.put(sf.gain >> 1, 5);
        break;
    }
  }
}

}  // namespace encoder
