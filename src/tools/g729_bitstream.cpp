#include "tools/g729_bitstream.h"

#include <array>
#include <cstring>

#include "celp/frame_layout.h"
#include "celp/unpack_frame_params.h"
#include "tools/standard_6k_codes.h"

namespace tools {

namespace {

// The field widths of a layout, in its order.
template <size_t N>
constexpr std::array<int, N> widths_of(const celp::FrameField (&layout)[N]) {
  std::array<int, N> widths{};
  for (size_t i = 0; i < N; ++i) widths[i] = layout[i].width;
  return widths;
}

// A standard frame holds the fields of the voice file's 80- and 64-bit frames.
constexpr auto kWidths8000 = widths_of(celp::kLayout80);
constexpr auto kWidths6400 = widths_of(celp::kLayout64);
constexpr size_t kMaxFields = kWidths8000.size();

int bit_at(const uint8_t* bytes, int position) {
  return (bytes[position / 8] >> (7 - position % 8)) & 1;
}

void set_bit(uint8_t* bytes, int position) {
  bytes[position / 8] |= static_cast<uint8_t>(0x80 >> (position % 8));
}

// Which bit of a field of `width` bits its k-th bit in the frame carries.
int value_bit(int k, int width, BitOrder order) {
  return order == BitOrder::MostSignificantFirst ? width - 1 - k : k;
}

}  // namespace

std::optional<G729Rate> g729_rate_from_bps(int bits_per_second) {
  if (bits_per_second == 8000) return G729Rate::k8000;
  if (bits_per_second == 6400) return G729Rate::k6400;
  return std::nullopt;
}

int g729_bps(G729Rate rate) {
  return rate == G729Rate::k8000 ? 8000 : 6400;
}

int g729_frame_bytes(G729Rate rate) {
  return rate == G729Rate::k8000 ? 10 : 8;
}

std::span<const int> g729_field_widths(G729Rate rate) {
  if (rate == G729Rate::k8000) return kWidths8000;
  return kWidths6400;
}

std::optional<G729Rate> g729_rate_of(voice::VoiceMode mode) {
  switch (mode) {
    case voice::VoiceMode::Celp80:
      return G729Rate::k8000;
    case voice::VoiceMode::Celp64:
    case voice::VoiceMode::Celp56:
      return G729Rate::k6400;
    default:
      return std::nullopt;
  }
}

voice::VoiceMode voice_mode_of(G729Rate rate) {
  return rate == G729Rate::k8000 ? voice::VoiceMode::Celp80 : voice::VoiceMode::Celp64;
}

void pack_fields(std::span<const int> widths, std::span<const int> values, BitOrder order,
                 uint8_t* out) {
  int position = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    for (int k = 0; k < widths[i]; ++k, ++position) {
      if (position % 8 == 0) out[position / 8] = 0;
      if ((values[i] >> value_bit(k, widths[i], order)) & 1) set_bit(out, position);
    }
  }
}

void unpack_fields(std::span<const int> widths, const uint8_t* in, BitOrder order,
                   std::span<int> values) {
  int position = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    values[i] = 0;
    for (int k = 0; k < widths[i]; ++k, ++position)
      values[i] |= bit_at(in, position) << value_bit(k, widths[i], order);
  }
}

void g729_frame_from_voice(voice::VoiceMode mode, const uint8_t* frame, uint8_t* out) {
  const G729Rate rate = g729_rate_of(mode).value_or(G729Rate::k8000);
  // The decoder's unpacking consumes its input and widens 56-bit frames.
  uint8_t copy[voice::kMaxFrameBytes];
  std::memcpy(copy, frame, static_cast<size_t>(voice::frame_bytes_of(mode)));
  celp::FrameParams prm{};
  StatusCode status = status::kSuccess;
  celp::unpack_frame_params(copy, prm, 8 * voice::frame_bytes_of(mode), status);
  if (mode == voice::VoiceMode::Celp56) {
    for (int s = 0; s < 2; ++s) {
      const int positions = celp::field_slot(celp::kLayout64, celp::Field::Positions, s);
      const int gain = celp::field_slot(celp::kLayout64, celp::Field::Gain, s);
      prm[positions] = standard_position_code(prm[positions]);
      prm[gain] = standard_gain_code(prm[gain]);
    }
  }
  const std::span<const int> widths = g729_field_widths(rate);
  pack_fields(widths, std::span<const int>(prm).subspan(celp::kFirstFieldSlot, widths.size()),
              BitOrder::MostSignificantFirst, out);
}

void voice_frame_from_g729(G729Rate rate, const uint8_t* in, uint8_t* frame) {
  const std::span<const int> widths = g729_field_widths(rate);
  std::array<int, kMaxFields> fields{};
  const std::span<int> values = std::span<int>(fields).first(widths.size());
  unpack_fields(widths, in, BitOrder::MostSignificantFirst, values);
  pack_fields(widths, values, BitOrder::LeastSignificantFirst, frame);
}

}  // namespace tools
