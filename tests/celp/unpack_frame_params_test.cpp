#include "celp/unpack_frame_params.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <random>
#include <vector>

namespace celp {
namespace {

const std::vector<int> kWidths80 = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};
const std::vector<int> kWidths64 = {8, 10, 8, 9, 2, 6, 4, 9, 2, 6};
const std::vector<int> kWidths56 = {8, 10, 8, 6, 2, 5, 4, 6, 2, 5};

// Writes fields the way the encoder side lays them out: each field's bit 0
// first, the frame filled from the top bit of byte 0 down.
std::array<uint8_t, 10> pack(const std::vector<int>& widths, const std::vector<int>& values) {
  std::array<uint8_t, 10> frame{};
  int bit = 0;
  for (size_t f = 0; f < widths.size(); ++f) {
    for (int b = 0; b < widths[f]; ++b, ++bit) {
      if ((values[f] >> b) & 1) frame[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    }
  }
  return frame;
}

FrameParams unpack(std::array<uint8_t, 10>& frame, int frame_bits) {
  FrameParams prm{};
  StatusCode status = 0;
  EXPECT_TRUE(unpack_frame_params(frame.data(), prm, frame_bits, status));
  EXPECT_EQ(status, 0);
  return prm;
}

TEST(ReadBits, FirstBitReadBecomesBitZero) {
  for (const auto& [byte, value] : {std::pair{0xA0, 5}, {0x01, 128}, {0xFF, 255}}) {
    std::array<uint8_t, 10> frame{static_cast<uint8_t>(byte)};
    EXPECT_EQ(unpack(frame, 80)[2], value) << "first byte " << byte;
  }
}

TEST(ReadBits, FieldStraddlingTwoBytes) {
  // Byte 1 gives bits 0..7 of the 10-bit field, the top two bits of byte 2
  // its bits 8 and 9.
  std::array<uint8_t, 10> frame{0, 0x80, 0x40};
  EXPECT_EQ(unpack(frame, 80)[3], 1 + 512);
  frame = {0, 0x01, 0x80};
  EXPECT_EQ(unpack(frame, 80)[3], 128 + 256);
}

TEST(ReadBits, AdvancesPositionAndShiftsBytesOut) {
  uint8_t frame[2] = {0xB5, 0xC3};
  int bit = 0;
  int byte = 0;
  EXPECT_EQ(read_bits(3, frame, bit, byte), 0b101);  // 1, 0, 1
  EXPECT_EQ(bit, 3);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(frame[0], static_cast<uint8_t>(0xB5 << 3));
  // 0x15 holds the remaining bits 1, 0, 1, 0, 1; then 1 from 0xC3.
  EXPECT_EQ(read_bits(6, frame, bit, byte), 0b110101);
  EXPECT_EQ(bit, 1);
  EXPECT_EQ(byte, 1);
  EXPECT_EQ(frame[0], 0);
  EXPECT_EQ(frame[1], static_cast<uint8_t>(0xC3 << 1));
  EXPECT_EQ(read_bits(7, frame, bit, byte), 0b1100001);
  EXPECT_EQ(byte, 2);
  EXPECT_EQ(frame[1], 0);
}

TEST(UnpackFrameParams, AllLayoutsRoundTripAndConsumeTheFrame) {
  std::mt19937 rng(7);
  for (const auto& [bits, widths] : {std::pair{80, kWidths80}, {64, kWidths64}}) {
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<int> values;
      for (int w : widths) values.push_back(static_cast<int>(rng() & ((1u << w) - 1)));
      auto frame = pack(widths, values);
      FrameParams prm{};
      prm[0] = 77;
      StatusCode status = 0;
      ASSERT_TRUE(unpack_frame_params(frame.data(), prm, bits, status));
      EXPECT_EQ(prm[0], 77) << "slot 0 is not unpacking's";
      EXPECT_EQ(prm[1], bits == 80 ? 3 : 2);
      for (size_t f = 0; f < widths.size(); ++f) EXPECT_EQ(prm[2 + f], values[f]) << "field " << f;
      for (int b = 0; b < bits / 8; ++b) EXPECT_EQ(frame[b], 0) << "byte " << b;
    }
  }
}

TEST(UnpackFrameParams, Widens56BitFramesToThe64BitForm) {
  std::vector<int> values = {0x9A, 0x2C5, 0x71, 0, 3, 31, 9, 63, 1, 0};
  auto frame = pack(kWidths56, values);
  const FrameParams prm = unpack(frame, 56);
  for (int b = 0; b < 7; ++b) EXPECT_EQ(frame[b], 0);
  EXPECT_EQ(prm[1], 2);
  EXPECT_EQ(prm[2], 0x9A);
  EXPECT_EQ(prm[3], 0x2C5);
  EXPECT_EQ(prm[4], 0x71);
  EXPECT_EQ(prm[5], 1);  // position code 0
  EXPECT_EQ(prm[6], 3);
  EXPECT_EQ(prm[7], 62);  // gain code 31
  EXPECT_EQ(prm[8], 9);
  EXPECT_EQ(prm[9], 351);  // position code 63
  EXPECT_EQ(prm[10], 1);
  EXPECT_EQ(prm[11], 0);

  // The two 3-bit halves of the position code land in separate digits.
  values[3] = 0b101'011;
  values[9] = 0b10101;
  frame = pack(kWidths56, values);
  const FrameParams spread = unpack(frame, 56);
  EXPECT_EQ(spread[5], 48 * 5 + 2 * 3 + 1);
  EXPECT_EQ(spread[11], 42);
}

TEST(UnpackFrameParams, OtherFrameSizeLatchesStatus8AndFillsNothing) {
  std::array<uint8_t, 16> frame;
  frame.fill(0x5A);
  FrameParams prm;
  prm.fill(-3);
  StatusCode status = 0;
  EXPECT_FALSE(unpack_frame_params(frame.data(), prm, 118, status));
  EXPECT_EQ(status, 8);
  for (int32_t v : prm) EXPECT_EQ(v, -3);
  for (uint8_t b : frame) EXPECT_EQ(b, 0x5A);

  status = 512;  // an earlier failure stays the reported one
  EXPECT_FALSE(unpack_frame_params(frame.data(), prm, 72, status));
  EXPECT_EQ(status, 512);
}

TEST(CheckParityPitch, CountsTheSixTopBitsOfTheIndex) {
  EXPECT_EQ(Check_Parity_Pitch(0, 0), 1);
  EXPECT_EQ(Check_Parity_Pitch(0, 1), 0);
  EXPECT_EQ(Check_Parity_Pitch(0xFC, 0), 1);
  EXPECT_EQ(Check_Parity_Pitch(0x03, 0), 1) << "bits 0 and 1 are not covered";
  for (int p1 = 0; p1 < 256; ++p1) {
    for (int p0 = 0; p0 < 2; ++p0) {
      EXPECT_EQ(Check_Parity_Pitch(p1, p0), (1 + std::popcount(unsigned(p1) >> 2) + p0) & 1);
    }
  }
}

TEST(CheckParityPitch, LeavesOverflowCleared) {
  Overflow = 1;
  Check_Parity_Pitch(0x55, 1);
  EXPECT_EQ(Overflow, 0);
}

}  // namespace
}  // namespace celp
