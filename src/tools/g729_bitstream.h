// Standard packed G.729 frames (10 bytes at 8 kbit/s, 8 bytes at 6.4 kbit/s
// under Annex D) and the CELP frames of a voice file. Both hold the same
// fields in the same order with no padding; they differ only in that a
// standard frame sends each field most significant bit first, while a voice
// file stores it least significant bit first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "voice/voice_format.h"

namespace tools {

enum class G729Rate { k8000, k6400 };

std::optional<G729Rate> g729_rate_from_bps(int bits_per_second);
int g729_bps(G729Rate rate);
int g729_frame_bytes(G729Rate rate);  // 10 or 8

// Field widths, in the order the fields follow each other in a frame.
std::span<const int> g729_field_widths(G729Rate rate);

// The rate a voice mode's frames are exported at: Celp80 at 8000, Celp64 and
// Celp56 at 6400. Nothing for Adpcm40.
std::optional<G729Rate> g729_rate_of(voice::VoiceMode mode);
// The voice mode that stores a rate's frames unchanged: Celp80 or Celp64.
voice::VoiceMode voice_mode_of(G729Rate rate);

enum class BitOrder { MostSignificantFirst, LeastSignificantFirst };

// One bit string from the top bit of byte 0 down; `out` is cleared first and
// must hold the widths' total in bits.
void pack_fields(std::span<const int> widths, std::span<const int> values, BitOrder order,
                 uint8_t* out);
void unpack_fields(std::span<const int> widths, const uint8_t* in, BitOrder order,
                   std::span<int> values);

// A CELP frame of `mode` (7, 8 or 10 bytes) as the standard frame of
// g729_rate_of(mode), read by the decoder's own unpacking. A 56-bit frame
// becomes the 6.4 kbit/s frame that decodes to the same pulses and gains.
void g729_frame_from_voice(voice::VoiceMode mode, const uint8_t* frame, uint8_t* out);
// A standard frame as the frame of voice_mode_of(rate).
void voice_frame_from_g729(G729Rate rate, const uint8_t* in, uint8_t* frame);

}  // namespace tools
