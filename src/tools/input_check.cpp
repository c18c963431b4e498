#include "tools/input_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace tools {

namespace {

// What a writer of voice files puts in front; the decoder itself does not
// look at it, so a file without it can still play.
constexpr std::string_view kSignature = "ZKT790_VOC_File";

}  // namespace

std::optional<std::string> unreadable_input(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  if (S_ISREG(st.st_mode) && st.st_size == 0) return "empty file";
  return std::nullopt;
}

std::string open_failure(std::span<const uint8_t> head, const char* status_text) {
  if (head.empty()) return "empty file";
  const bool signed_file =
      head.size() >= kSignature.size() &&
      std::equal(kSignature.begin(), kSignature.end(), head.begin(),
                 [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
  if (signed_file) return status_text;
  return std::string("not a voice file: the signature is missing (") + status_text + ")";
}

std::string open_failure(const std::string& path, const char* status_text) {
  uint8_t head[kSignature.size()] = {};
  ssize_t got = 0;
  if (const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    got = read(fd, head, sizeof head);
    close(fd);
  }
  return open_failure(std::span<const uint8_t>(head, got > 0 ? static_cast<size_t>(got) : 0),
                      status_text);
}

}  // namespace tools
