// Layout of a voice file: a header region, two leading frames and then a run
// of fixed-size frames of 80 samples each, closed by two all-zero frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace voice {

enum class VoiceMode : int { Celp56 = 0, Celp64 = 1, Celp80 = 2, Adpcm40 = 3 };

inline constexpr int kSampleRate = 8000;
inline constexpr int kSamplesPerFrame = 80;
inline constexpr int kPcmFrameBytes = 2 * kSamplesPerFrame;
// Decoding starts here in every mode; the two leading frames end here.
inline constexpr long kFirstFrameOffset = 511;
inline constexpr int kMagicSize = 15;
inline constexpr std::string_view kMagic = "ZKT790_VOC_File";

// Offsets of the meaningful header bytes in the file.
inline constexpr int kDurationOffset = 22;  // hours, minutes, seconds, hundredths
inline constexpr int kModeOffset = 26;      // low nibble: the mode value

// The decoder keeps file bytes 16 to 31 of the header.
inline constexpr int kHeaderKeptFrom = 16;
inline constexpr int kHeaderSize = 16;

inline constexpr int kMaxFrameBytes = 64;

// Mode value from the mode byte; values 4 to 15 name no mode.
inline int mode_value(uint8_t mode_byte) {
  return mode_byte & 0x0F;
}

inline std::optional<VoiceMode> mode_from_value(int value) {
  if (value < 0 || value > 3) return std::nullopt;
  return static_cast<VoiceMode>(value);
}

// Frame size in bytes of each mode: 7, 8, 10 and 40.
inline int frame_bytes_of(VoiceMode mode) {
  static constexpr int kBytes[] = {7, 8, 10, 40};
  return kBytes[static_cast<int>(mode)];
}

inline const char* mode_name(VoiceMode mode) {
  static constexpr const char* kNames[] = {"Celp56", "Celp64", "Celp80", "Adpcm40"};
  return kNames[static_cast<int>(mode)];
}

// The duration fields in hundredths of a second, which is also the number of
// 10 ms frames stored from the first frame offset on, end marker included.
inline int32_t duration_hundredths(uint8_t hours, uint8_t minutes, uint8_t seconds,
                                   uint8_t hundredths) {
  return hours * 360000 + minutes * 6000 + seconds * 100 + hundredths;
}

// Playable frames: the stored frames less the two of the end marker.
inline int32_t frame_count_from_duration(int32_t duration) {
  return duration - 2;
}

}  // namespace voice
