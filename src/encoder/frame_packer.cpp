#include "encoder/frame_packer.h"

#include <algorithm>
#include <bit>

#include "celp/frame_layout.h"

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
  const bool short_codes = mode == voice::VoiceMode::Celp56;
  BitWriter w(frame);
  for (const celp::FrameField& field : celp::frame_layout(8 * celp_frame_bytes(mode))) {
    const SubframeFields& sf = f.sub[field.subframe];
    switch (field.field) {
      case celp::Field::L1:
        w.put(f.L1, field.width);
        break;
      case celp::Field::L2:
        w.put(f.L2, field.width);
        break;
      case celp::Field::Parity:
        w.put(f.parity, field.width);
        break;
      case celp::Field::Pitch:
        w.put(sf.pitch, field.width);
        break;
      case celp::Field::Positions:
        w.put(short_codes ? narrow_positions(sf.positions) : sf.positions, field.width);
        break;
      case celp::Field::Signs:
        w.put(sf.signs, field.width);
        break;
      case celp::Field::Gain:
        // The 56-bit gain code drops the lowest second-stage bit.
        w.put(short_codes ? sf.gain >> 1 : sf.gain, field.width);
        break;
    }
  }
}

}  // namespace encoder
