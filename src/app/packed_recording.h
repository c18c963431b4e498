// A copy of the player made by --pack carries its recording after its own
// program image: the voice file's bytes, then a trailer of 32 bytes that
// ends the file:
//   the recording's length   8 bytes, little-endian
//   its CRC-32               4 bytes, little-endian (the zlib/PNG checksum)
//   reserved, zero           4 bytes
//   kPackSignature           16 bytes
// The image ends where its ELF headers say its last part ends, so bytes past
// it without a valid trailer are a packed recording that was damaged (a
// truncated copy loses its trailer first), not a plain player.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace app {

inline constexpr char kPackSignature[] = "VoicePlayerPack1";
inline constexpr size_t kPackTrailerSize = 32;

uint32_t Crc32(std::span<const uint8_t> bytes);
std::array<uint8_t, kPackTrailerSize> PackTrailer(std::span<const uint8_t> recording);

// Where the ELF program image in `fd` ends; none when `fd` holds no ELF file
// of this machine's class.
std::optional<uint64_t> ProgramImageEnd(int fd);

struct PackedRecording {
  std::optional<std::vector<uint8_t>> recording;  // from a valid trailer
  std::string damage;                             // why the bytes past the image were not taken
};

// What the program open as `fd` carries past its image.
PackedRecording ReadPackedRecording(int fd);

// The running player's packed recording, read through /proc/self/exe; a
// damaged one is reported on stderr, after `program`, and left out.
std::optional<std::vector<uint8_t>> LoadOwnPackedRecording(const char* program);

}  // namespace app
