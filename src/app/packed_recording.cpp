#include "app/packed_recording.h"

#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace app {

namespace {

// ElfW picks this machine's structures; this is its class to match.
constexpr unsigned char kNativeElfClass = __ELF_NATIVE_CLASS == 64 ? ELFCLASS64 : ELFCLASS32;
constexpr size_t kSignatureSize = sizeof kPackSignature - 1;
static_assert(kSignatureSize == 16);
constexpr size_t kLengthOffset = 0;
constexpr size_t kChecksumOffset = 8;
constexpr size_t kSignatureOffset = kPackTrailerSize - kSignatureSize;

bool ReadAt(int fd, void* to, size_t size, uint64_t offset) {
  auto* bytes = static_cast<uint8_t*>(to);
  while (size > 0) {
    const ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

void PutLittleEndian(uint64_t value, size_t bytes, uint8_t* to) {
  for (size_t i = 0; i < bytes; ++i) to[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLittleEndian(const uint8_t* from, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value |= uint64_t{from[i]} << (8 * i);
  return value;
}

// The end of the furthest of `count` table entries that lie in the file.
template <typename Entry, typename EndOf>
std::optional<uint64_t> FurthestEnd(int fd, uint64_t tableOffset, size_t count, EndOf endOf) {
  std::vector<Entry> entries(count);
  if (count > 0 && !ReadAt(fd, entries.data(), count * sizeof(Entry), tableOffset))
    return std::nullopt;
  uint64_t end = tableOffset + count * sizeof(Entry);
  for (const Entry& entry : entries) end = std::max(end, endOf(entry));
  return end;
}

PackedRecording Damaged(std::string why) {
  return {std::nullopt, std::move(why)};
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes) {
  uint32_t crc = 0xffffffffu;
  for (const uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::array<uint8_t, kPackTrailerSize> PackTrailer(std::span<const uint8_t> recording) {
  std::array<uint8_t, kPackTrailerSize> trailer{};
  PutLittleEndian(recording.size(), 8, &trailer[kLengthOffset]);
  PutLittleEndian(Crc32(recording), 4, &trailer[kChecksumOffset]);
  std::memcpy(&trailer[kSignatureOffset], kPackSignature, kSignatureSize);
  return trailer;
}

std::optional<uint64_t> ProgramImageEnd(int fd) {
  ElfW(Ehdr) header{};
  if (!ReadAt(fd, &header, sizeof header, 0)) return std::nullopt;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != kNativeElfClass)
    return std::nullopt;
  if ((header.e_phnum > 0 && header.e_phentsize != sizeof(ElfW(Phdr))) ||
      (header.e_shnum > 0 && header.e_shentsize != sizeof(ElfW(Shdr))))
    return std::nullopt;
  // Sections and segments, and the tables that describe them: a linker puts
  // the section table last, but nothing requires it.
  const auto sections = FurthestEnd<ElfW(Shdr)>(
      fd, header.e_shoff, header.e_shnum, [](const ElfW(Shdr) & s) -> uint64_t {
        return s.sh_type == SHT_NOBITS ? 0 : s.sh_offset + s.sh_size;
      });
  const auto segments = FurthestEnd<ElfW(Phdr)>(
      fd, header.e_phoff, header.e_phnum,
      [](const ElfW(Phdr) & p) -> uint64_t { return p.p_offset + p.p_filesz; });
  if (!sections || !segments) return std::nullopt;
  return std::max({uint64_t{sizeof header}, *sections, *segments});
}

PackedRecording ReadPackedRecording(int fd) {
  struct stat file {};
  const auto imageEnd = ProgramImageEnd(fd);
  if (!imageEnd || ::fstat(fd, &file) != 0) return {};
  const auto size = static_cast<uint64_t>(file.st_size);
  if (size <= *imageEnd) return {};
  const uint64_t appended = size - *imageEnd;
  std::array<uint8_t, kPackTrailerSize> trailer{};
  if (appended < kPackTrailerSize ||
      !ReadAt(fd, trailer.data(), trailer.size(), size - trailer.size()) ||
      std::memcmp(&trailer[kSignatureOffset], kPackSignature, kSignatureSize) != 0)
    return Damaged("its trailer is missing");
  const uint64_t length = GetLittleEndian(&trailer[kLengthOffset], 8);
  if (length != appended - kPackTrailerSize) return Damaged("its length does not match");
  std::vector<uint8_t> recording(length);
  if (!ReadAt(fd, recording.data(), recording.size(), *imageEnd))
    return Damaged("it cannot be read");
  if (Crc32(recording) != GetLittleEndian(&trailer[kChecksumOffset], 4))
    return Damaged("its checksum does not match");
  return {std::move(recording), {}};
}

std::optional<std::vector<uint8_t>> LoadOwnPackedRecording(const char* program) {
  // Without /proc this is an ordinary player as far as it can tell.
  const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  PackedRecording packed = ReadPackedRecording(fd);
  ::close(fd);
  if (!packed.damage.empty())
    std::fprintf(stderr,
                 "%s: warning: the recording packed into this program is damaged (%s); "
                 "playing the built-in recording\n",
                 program, packed.damage.c_str());
  return std::move(packed.recording);
}

}  // namespace app
