// The conversions between standard G.729 frames and voice-file CELP frames,
// judged by the decoder's own unpacking and codebook steps rather than by a
// second copy of the bit layout.
#include "tools/g729_bitstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "celp/fixed_codebook.h"
#include "celp/gain_decode.h"
#include "celp/unpack_frame_params.h"
#include "tools/standard_6k_codes.h"

namespace {

using tools::G729Rate;
using Bytes = std::vector<uint8_t>;
using voice::VoiceMode;

// The fields the decoder reads from a voice-file frame, slot 2 onwards.
std::vector<int> decoder_fields(VoiceMode mode, Bytes frame) {
  celp::FrameParams prm{};
  StatusCode status = status::kSuccess;
  celp::unpack_frame_params(frame.data(), prm, 8 * static_cast<int>(frame.size()), status);
  const size_t fields = mode == VoiceMode::Celp80 ? 11 : 10;
  return std::vector<int>(prm.begin() + 2, prm.begin() + 2 + static_cast<long>(fields));
}

// A standard frame's fields read the plain way: the frame as a string of
// '0' and '1', each field a binary number, most significant digit first.
std::vector<int> fields_as_binary_numbers(G729Rate rate, const Bytes& frame) {
  std::string bits;
  for (uint8_t byte : frame)
    for (int b = 7; b >= 0; --b) bits += (byte >> b) & 1 ? '1' : '0';
  std::vector<int> fields;
  size_t at = 0;
  for (int width : tools::g729_field_widths(rate)) {
    fields.push_back(std::stoi(bits.substr(at, static_cast<size_t>(width)), nullptr, 2));
    at += static_cast<size_t>(width);
  }
  return fields;
}

Bytes random_frame(std::mt19937& rng, size_t bytes) {
  Bytes frame(bytes);
  for (uint8_t& b : frame) b = static_cast<uint8_t>(rng());
  return frame;
}

Bytes to_voice(G729Rate rate, const Bytes& standard) {
  Bytes frame(standard.size());
  tools::voice_frame_from_g729(rate, standard.data(), frame.data());
  return frame;
}

Bytes to_standard(VoiceMode mode, const Bytes& frame) {
  Bytes standard(static_cast<size_t>(tools::g729_frame_bytes(*tools::g729_rate_of(mode))));
  tools::g729_frame_from_voice(mode, frame.data(), standard.data());
  return standard;
}

// Single fields at known places. At 8 kbit/s the MA predictor switch is the
// frame's first bit, the parity bit its 27th and the first position code
// ends at bit 40: the top bit of byte 0, 0x20 of byte 3 and the lowest bit
// of byte 4 in a standard frame.
TEST(G729Bitstream, SingleFieldsLandWhereEachFormatPutsThem) {
  struct Case {
    const char* name;
    Bytes standard, voice;
    int slot, value;
  };
  const Case cases[] = {
      {"predictor switch",
       {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       2,
       128},
      {"parity bit", {0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0}, 5, 1},
      {"position code 1",
       {0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0},
       {0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0},
       6,
       1},
      {"gain code 2",
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F},
       12,
       127},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(to_voice(G729Rate::k8000, c.standard), c.voice);
    EXPECT_EQ(to_standard(VoiceMode::Celp80, c.voice), c.standard);
    std::vector<int> fields = decoder_fields(VoiceMode::Celp80, c.voice);
    EXPECT_EQ(fields[static_cast<size_t>(c.slot - 2)], c.value);
  }
}

TEST(G729Bitstream, DecoderReadsTheStandardFieldsAndTheWayBackIsExact) {
  std::mt19937 rng(729);
  for (const auto& [rate, mode] :
       {std::pair{G729Rate::k8000, VoiceMode::Celp80}, {G729Rate::k6400, VoiceMode::Celp64}}) {
    EXPECT_EQ(tools::voice_mode_of(rate), mode);
    EXPECT_EQ(tools::g729_rate_of(mode), rate);
    for (int i = 0; i < 500; ++i) {
      const Bytes standard = random_frame(rng, static_cast<size_t>(tools::g729_frame_bytes(rate)));
      const Bytes frame = to_voice(rate, standard);
      ASSERT_EQ(decoder_fields(mode, frame), fields_as_binary_numbers(rate, standard));
      ASSERT_EQ(to_standard(mode, frame), standard);
    }
  }
}

TEST(G729Bitstream, RatesAndModes) {
  EXPECT_EQ(tools::g729_rate_from_bps(8000), G729Rate::k8000);
  EXPECT_EQ(tools::g729_rate_from_bps(6400), G729Rate::k6400);
  EXPECT_EQ(tools::g729_rate_from_bps(6300), std::nullopt);
  EXPECT_EQ(tools::g729_rate_of(VoiceMode::Celp56), G729Rate::k6400);
  EXPECT_EQ(tools::g729_rate_of(VoiceMode::Adpcm40), std::nullopt);
}

// Every widened 56-bit code against the standard code chosen for it, through
// the decoder's steps: once in direct-index mode, once reading Gray-coded
// and permuted indices as a standard 6.4 kbit/s frame has them.
TEST(Standard6kCodes, EveryPulsePairComesOutAlike) {
  for (int narrow = 0; narrow < 64; ++narrow) {
    const int widened = 48 * ((narrow >> 3) & 7) + 2 * (narrow & 7) + 1;
    for (int signs = 0; signs < 4; ++signs) {
      celp::ScaledShort direct[celp::L_SUBFR], standard[celp::L_SUBFR];
      celp::Decod_ACELP64(signs, widened, direct, 1);
      celp::Decod_ACELP64(signs, tools::standard_position_code(widened), standard, 0);
      ASSERT_TRUE(std::equal(direct, direct + celp::L_SUBFR, standard)) << narrow << " " << signs;
    }
  }
}

TEST(Standard6kCodes, EveryGainPairComesOutAlike) {
  celp::ScaledShort code[celp::L_SUBFR] = {};
  code[3] = 0x1FFF00;
  code[20] = -0x200000;
  for (int narrow = 0; narrow < 32; ++narrow) {
    const int widened = narrow << 1;
    celp::ScaledShort past_direct[4] = {-14336 * 256, -9000 * 256, -3000 * 256, 500 * 256};
    celp::ScaledShort past_standard[4] = {-14336 * 256, -9000 * 256, -3000 * 256, 500 * 256};
    celp::ScaledShort pit_d = 0, code_d = 0, pit_s = 0, code_s = 0;
    celp::Dec_gain_6k(widened, code, celp::L_SUBFR, past_direct, 1, pit_d, code_d);
    celp::Dec_gain_6k(tools::standard_gain_code(widened), code, celp::L_SUBFR, past_standard, 0,
                      pit_s, code_s);
    EXPECT_EQ(pit_d, pit_s) << narrow;
    EXPECT_EQ(code_d, code_s) << narrow;
    EXPECT_TRUE(std::equal(past_direct, past_direct + 4, past_standard)) << narrow;
  }
}

// The rest of a 56-bit frame passes unchanged: LSP, pitch and sign fields.
TEST(G729Bitstream, Celp56FramesKeepTheirOtherFields) {
  std::mt19937 rng(56);
  for (int i = 0; i < 200; ++i) {
    const Bytes frame = random_frame(rng, 7);
    const std::vector<int> widened = decoder_fields(VoiceMode::Celp56, frame);
    const std::vector<int> standard =
        fields_as_binary_numbers(G729Rate::k6400, to_standard(VoiceMode::Celp56, frame));
    for (size_t field : {0u, 1u, 2u, 4u, 6u, 8u}) ASSERT_EQ(standard[field], widened[field]);
    ASSERT_EQ(standard[3], tools::standard_position_code(widened[3]));
    ASSERT_EQ(standard[5], tools::standard_gain_code(widened[5]));
  }
}

}  // namespace
