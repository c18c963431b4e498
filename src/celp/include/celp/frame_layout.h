// The layout of the three CELP frames: their fields in frame order, each
// with its width, packed with no padding. The decoder's unpacking, the
// encoder's packing and the standard-bitstream conversion all read it here.
#pragma once

#include <span>

namespace celp {

enum class Field { L1, L2, Pitch, Parity, Positions, Signs, Gain };

struct FrameField {
  Field field;
  int subframe;  // 0 or 1; 0 for the frame's LSP and parity fields
  int width;     // bits
};

// 8 kbit/s: the first pitch field has a parity bit after it.
inline constexpr FrameField kLayout80[] = {
    {Field::L1, 0, 8},         {Field::L2, 0, 10},   {Field::Pitch, 0, 8}, {Field::Parity, 0, 1},
    {Field::Positions, 0, 13}, {Field::Signs, 0, 4}, {Field::Gain, 0, 7},  {Field::Pitch, 1, 5},
    {Field::Positions, 1, 13}, {Field::Signs, 1, 4}, {Field::Gain, 1, 7}};
// 6.4 kbit/s.
inline constexpr FrameField kLayout64[] = {
    {Field::L1, 0, 8},    {Field::L2, 0, 10},  {Field::Pitch, 0, 8}, {Field::Positions, 0, 9},
    {Field::Signs, 0, 2}, {Field::Gain, 0, 6}, {Field::Pitch, 1, 4}, {Field::Positions, 1, 9},
    {Field::Signs, 1, 2}, {Field::Gain, 1, 6}};
// The 56-bit frame: the 6.4 kbit/s fields with shorter position and gain codes.
inline constexpr FrameField kLayout56[] = {
    {Field::L1, 0, 8},    {Field::L2, 0, 10},  {Field::Pitch, 0, 8}, {Field::Positions, 0, 6},
    {Field::Signs, 0, 2}, {Field::Gain, 0, 5}, {Field::Pitch, 1, 4}, {Field::Positions, 1, 6},
    {Field::Signs, 1, 2}, {Field::Gain, 1, 5}};

// Slot 2 + i of the decoder's parameter vector holds field i of the layout.
inline constexpr int kFirstFieldSlot = 2;

// The layout of a frame of 56, 64 or 80 bits; empty for any other size.
constexpr std::span<const FrameField> frame_layout(int frame_bits) {
  switch (frame_bits) {
    case 80:
      return kLayout80;
    case 64:
      return kLayout64;
    case 56:
      return kLayout56;
    default:
      return {};
  }
}

// The parameter vector slot of a field of a subframe; -1 when the layout has
// no such field.
constexpr int field_slot(std::span<const FrameField> layout, Field field, int subframe) {
  for (size_t i = 0; i < layout.size(); ++i)
    if (layout[i].field == field && layout[i].subframe == subframe)
      return kFirstFieldSlot + static_cast<int>(i);
  return -1;
}

}  // namespace celp
