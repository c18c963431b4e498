// How many frames one fuzz run decodes and skips. The counts come from file
// bytes 15 to 20, which the decoder never reads as header, so the fuzzer can
// vary the calling sequence without changing the stream the decoder sees.
// Each byte is XORed with a default, so a file with zeros there (as every
// well-formed file has) still gets a schedule that reaches every operation.
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace voice_fuzz {

inline constexpr size_t kScheduleOffset = 15;

struct Schedule {
  int first_decodes = 8;  // frames decoded right after the first restart
  int skip_forward = 10;
  int skip_backward = 5;
  int restart_count = 3;
  int second_decodes = 40;  // frames decoded after restarting with a count
  uint8_t extremes = 0;     // bits that swap counts for negative or huge ones
};

inline constexpr size_t kScheduleBytes = 6;

// Negative and huge counts reach the position arithmetic; they stay cheap
// because every read moves through the file, so a skip ends at its edge.
inline int widen(int count, uint8_t extremes, int bit) {
  switch ((extremes >> (2 * bit)) & 3) {
    case 1:
      return -count;
    case 2:
      return INT_MAX - count;
    case 3:
      return INT_MIN + count;
    default:
      return count;
  }
}

inline Schedule schedule_of(const uint8_t* data, size_t size) {
  const Schedule defaults;
  std::array<uint8_t, kScheduleBytes> b{};
  for (size_t i = 0; i < kScheduleBytes && kScheduleOffset + i < size; ++i)
    b[i] = data[kScheduleOffset + i];
  Schedule s;
  s.first_decodes = defaults.first_decodes ^ b[0];
  s.skip_forward = defaults.skip_forward ^ b[1];
  s.skip_backward = defaults.skip_backward ^ b[2];
  s.restart_count = defaults.restart_count ^ b[3];
  s.second_decodes = defaults.second_decodes ^ b[4];
  s.extremes = b[5];
  s.skip_forward = widen(s.skip_forward, s.extremes, 0);
  s.skip_backward = widen(s.skip_backward, s.extremes, 1);
  s.restart_count = widen(s.restart_count, s.extremes, 2);
  return s;
}

// The bytes that make schedule_of() return `s` (for the seed corpus); the
// counts must lie in 0..255 and `extremes` applies to them as above.
inline std::array<uint8_t, kScheduleBytes> schedule_bytes(const Schedule& s) {
  const Schedule d;
  return {static_cast<uint8_t>(s.first_decodes ^ d.first_decodes),
          static_cast<uint8_t>(s.skip_forward ^ d.skip_forward),
          static_cast<uint8_t>(s.skip_backward ^ d.skip_backward),
          static_cast<uint8_t>(s.restart_count ^ d.restart_count),
          static_cast<uint8_t>(s.second_decodes ^ d.second_decodes),
          s.extremes};
}

}  // namespace voice_fuzz
