// Packs CELP frame fields into the frame bit string: fields follow each
// other from the top bit of byte 0 down, each field least significant bit
// first.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testing_support {

inline constexpr int kCelp80Widths[] = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};
inline constexpr int kCelp64Widths[] = {8, 10, 8, 9, 2, 6, 4, 9, 2, 6};
inline constexpr int kCelp56Widths[] = {8, 10, 8, 6, 2, 5, 4, 6, 2, 5};

template <size_t N>
std::vector<uint8_t> pack_celp_frame(const int (&widths)[N], std::initializer_list<int> values) {
  int total = 0;
  for (int w : widths) total += w;
  std::vector<uint8_t> frame(static_cast<size_t>(total / 8), 0);
  int bit = 0;
  auto value = values.begin();
  for (int w : widths) {
    const int v = value == values.end() ? 0 : *value++;
    for (int b = 0; b < w; ++b, ++bit)
      if ((v >> b) & 1) frame[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
  }
  return frame;
}

}  // namespace testing_support
