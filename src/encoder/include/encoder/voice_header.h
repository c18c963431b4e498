// The bytes of a voice file before its two leading frames: the magic, the
// duration fields and the mode byte, the rest zero.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "voice/voice_format.h"

namespace encoder {

// Hours, minutes, seconds and hundredths, in file order.
using DurationFields = std::array<uint8_t, 4>;

// The most frames (end marker included) the four one-byte fields can count:
// each field may hold up to 255, minutes and seconds included.
inline constexpr int64_t kMaxStoredFrames = 255 * (360000 + 6000 + 100 + 1);

// Fields that count `stored_frames` 10 ms frames, in the usual hours,
// minutes, seconds and hundredths while the hours fit; beyond that the
// minutes, then the seconds, then the hundredths take more than a clock
// would. Nothing when even that cannot count them.
std::optional<DurationFields> duration_fields(int64_t stored_frames);

struct HeaderFields {
  std::string_view magic = voice::kMagic;  // written as given, no terminator
  DurationFields duration{};
  uint8_t mode_byte = 0;
};

// The 511 - 2F bytes before the leading frames of a file whose frames are
// `frame_bytes` long.
std::vector<uint8_t> header_region(int frame_bytes, const HeaderFields& fields);

}  // namespace encoder
